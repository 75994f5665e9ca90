// The rules of one hand-over message, apart from the pipe calls: where the
// message ends, when it has grown too long, and which pipe names are served.
// No <windows.h> here, so this part also builds and runs anywhere.
#pragma once

#include <cstddef>
#include <string>

namespace quenda::handover {

// The bytes received on one connection so far. A message ends at its first
// zero byte; bytes after that zero are ignored. A message may take at most
// max_bytes, its zero included: beyond that, reading stops.
class MessageBuffer {
public:
    enum class State { NeedMore, Complete, TooLong };

    explicit MessageBuffer(std::size_t max_bytes) : max_bytes_(max_bytes) {}

    // How many bytes the next read may ask for without passing the maximum.
    std::size_t room() const { return max_bytes_ - received_.size(); }
    bool empty() const { return received_.empty(); }

    // Takes the bytes of one read; of those, only the first room() count.
    State Add(const char* data, std::size_t size);

    // The message without its zero, once Add answered Complete.
    const std::string& message() const { return received_; }

private:
    std::size_t max_bytes_;
    std::string received_;
};

// The longest name whose pipe path ("\\.\pipe\" + name) stays within the 256
// characters that the system allows for a pipe path.
constexpr std::size_t kLongestPipeName = 256 - 9;

// A bare pipe name (the part after "\\.\pipe\"): not empty, not too long, and
// with nothing that path normalisation would act on ("\", "/", a name of "."
// or "..") nor a zero, so the name cannot lead out of the pipe namespace.
bool IsValidPipeName(const std::wstring& name);

}  // namespace quenda::handover
