// A stand-in for a product's desktop client, for the demo and the tests.
//
// Every start appends its command-line tail to "<exe name>.starts" beside the
// exe; every message that arrives on the pipe named by <Pipe> in the
// ProductConfig.xml beside it is appended to "<exe name>.messages". Both files
// hold records of a 4-byte little-endian length followed by the bytes (the
// tail as UTF-8, a message exactly as received). The message "__quit__" ends
// the client; so does its lifetime running out (120 s), so a test can never
// leave one behind for long. "--no-pipe" in its command line starts it
// without a pipe server.
#include <windows.h>

#include <string>
#include <vector>

#include <tinyxml2.h>

#include "common/win_handle.h"
#include "democlient/record_format.h"

namespace {

constexpr DWORD kLifetimeMs = 120000;
constexpr DWORD kChunk = 4096;

std::wstring ModulePath() {
    wchar_t buffer[32768] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer, 32768);
    return std::wstring(buffer, n < 32768 ? n : 0);
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                        nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

// Appends one record; retried briefly, since two copies may record at once.
void AppendRecord(const std::wstring& path, const std::string& bytes) {
    const std::string record = demo_records::Encode(bytes);
    for (int attempt = 0; attempt < 100; ++attempt) {
        quenda::unique_hfile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            DWORD written = 0;
            ::WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
            return;
        }
        ::Sleep(10);
    }
}

std::wstring PipeNameFromConfig(const std::wstring& folder) {
    std::wstring result = L"QuendaDemo";
    FILE* file = _wfopen((folder + L"\\ProductConfig.xml").c_str(), L"rb");
    if (!file) return result;
    tinyxml2::XMLDocument doc;
    if (doc.LoadFile(file) == tinyxml2::XML_SUCCESS && doc.FirstChildElement()) {
        const tinyxml2::XMLElement* pipe = doc.FirstChildElement()->FirstChildElement("Pipe");
        if (pipe && pipe->GetText()) {
            const char* text = pipe->GetText();
            const int n = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
            std::vector<wchar_t> wide(static_cast<std::size_t>(n > 0 ? n : 1), L'\0');
            ::MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), n);
            result = wide.data();
        }
    }
    std::fclose(file);
    return result;
}

quenda::unique_hfile NewPipeInstance(const std::wstring& pipe_path) {
    return quenda::unique_hfile(::CreateNamedPipeW(pipe_path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                                   PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                                   PIPE_UNLIMITED_INSTANCES, kChunk, kChunk, 0, nullptr));
}

// Serves the pipe until "__quit__" arrives or the lifetime ends. The next
// instance is created as soon as one is connected, so a launcher that comes
// while a message is being recorded still finds the pipe.
void ServePipe(const std::wstring& pipe_path, const std::wstring& messages_path, DWORD deadline) {
    quenda::unique_hfile next = NewPipeInstance(pipe_path);
    while (next && ::GetTickCount() < deadline) {
        quenda::unique_hfile pipe = std::move(next);
        quenda::unique_handle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        OVERLAPPED overlapped{};
        overlapped.hEvent = event.get();
        if (!::ConnectNamedPipe(pipe.get(), &overlapped)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_IO_PENDING) {
                const DWORD now = ::GetTickCount();
                if (::WaitForSingleObject(event.get(), deadline > now ? deadline - now : 0) != WAIT_OBJECT_0) {
                    ::CancelIo(pipe.get());
                    return;
                }
            } else if (error != ERROR_PIPE_CONNECTED) {
                next = NewPipeInstance(pipe_path);
                continue;
            }
        }
        next = NewPipeInstance(pipe_path);
        std::string message;
        char chunk[kChunk];
        for (;;) {
            DWORD got = 0;
            ::ResetEvent(event.get());
            OVERLAPPED read_ov{};
            read_ov.hEvent = event.get();
            BOOL ok = ::ReadFile(pipe.get(), chunk, kChunk, &got, &read_ov);
            if (!ok && ::GetLastError() == ERROR_IO_PENDING) ok = ::GetOverlappedResult(pipe.get(), &read_ov, &got, TRUE);
            if (!ok && ::GetLastError() != ERROR_MORE_DATA) break;  // the launcher closed its end
            message.append(chunk, got);
            if (ok && got == 0) break;
        }
        ::DisconnectNamedPipe(pipe.get());
        AppendRecord(messages_path, message);
        if (message == std::string("__quit__", 9)) return;
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR tail, int) {
    const DWORD deadline = ::GetTickCount() + kLifetimeMs;
    const std::wstring self = ModulePath();
    const std::wstring folder = self.substr(0, self.rfind(L'\\'));
    const std::wstring command_tail = tail ? tail : L"";

    AppendRecord(self + L".starts", ToUtf8(command_tail));

    if (command_tail.find(L"--no-pipe") != std::wstring::npos) {
        ::Sleep(kLifetimeMs);
        return 0;
    }
    ServePipe(L"\\\\.\\pipe\\" + PipeNameFromConfig(folder), self + L".messages", deadline);
    return 0;
}
