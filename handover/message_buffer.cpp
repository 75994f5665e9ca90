#include "handover/message_buffer.h"

#include <algorithm>

namespace quenda::handover {

MessageBuffer::State MessageBuffer::Add(const char* data, std::size_t size) {
    const std::size_t taken = std::min(size, room());
    const char* end = data + taken;
    const char* zero = std::find(data, end, '\0');
    received_.append(data, zero);
    if (zero != end) return State::Complete;
    // Full without a zero: even the zero would not fit any more.
    return received_.size() >= max_bytes_ ? State::TooLong : State::NeedMore;
}

bool IsValidPipeName(const std::wstring& name) {
    if (name.empty() || name.size() > kLongestPipeName) return false;
    if (name == L"." || name == L"..") return false;
    return name.find_first_of(std::wstring(L"\\/\0", 3)) == std::wstring::npos;
}

}  // namespace quenda::handover
