// A stand-in for a product's desktop client, for the demo and the tests.
//
// Every start appends its command-line tail to "<exe name>.starts" beside the
// exe; every message that arrives on the pipe named by <Pipe> in the
// ProductConfig.xml beside it (served by the hand-over library, as a product
// client would) is appended to "<exe name>.messages", and whatever the
// library reports as a problem to "<exe name>.problems". The files hold
// records of a 4-byte little-endian length followed by the bytes: the tail
// as UTF-8; a message as the launcher sent it, its ANSI bytes and the
// terminating zero; a problem as its name, then a space and the Win32 error
// code when there is one (a pipe that could not be served at all is
// "start-failed <code>"). The message "__quit__" ends the client; so does its
// lifetime running out (120 s), so a test can never leave one behind for
// long. "--no-pipe" in its command line starts it without a pipe server.
#include <windows.h>

#include <string>
#include <vector>

#include <tinyxml2.h>

#include "common/module_path.h"
#include "common/win_handle.h"
#include "democlient/record_format.h"
#include "handover/quenda_handover.h"

namespace {

constexpr DWORD kLifetimeMs = 120000;

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

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR tail, int) {
    const DWORD started = ::GetTickCount();
    const std::wstring self = quenda::ModulePath();
    const std::wstring folder = self.substr(0, self.rfind(L'\\'));
    const std::wstring command_tail = tail ? tail : L"";

    AppendRecord(self + L".starts", ToUtf8(command_tail));

    if (command_tail.find(L"--no-pipe") != std::wstring::npos) {
        ::Sleep(kLifetimeMs);
        return 0;
    }

    const std::wstring messages_path = self + L".messages";
    const std::wstring problems_path = self + L".problems";
    quenda::unique_handle quit(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!quit) return 0;
    // The callbacks run on the server's thread; each record opens its file
    // anew, and the quit event is all they share with this thread.
    const auto on_message = [&](const quenda::handover::Message& message) {
        AppendRecord(messages_path, message.ansi + '\0');
        if (message.ansi == "__quit__") ::SetEvent(quit.get());
    };
    const auto on_problem = [&](quenda::handover::Problem problem, DWORD error) {
        std::string text = quenda::handover::ProblemName(problem);
        if (error != ERROR_SUCCESS) text += " " + std::to_string(error);
        AppendRecord(problems_path, text);
    };
    quenda::handover::Server server;
    const DWORD error = server.Start(PipeNameFromConfig(folder), on_message, on_problem);
    if (error != ERROR_SUCCESS) {
        AppendRecord(problems_path, "start-failed " + std::to_string(error));
        return 0;
    }
    const DWORD elapsed = ::GetTickCount() - started;
    ::WaitForSingleObject(quit.get(), elapsed < kLifetimeMs ? kLifetimeMs - elapsed : 0);
    server.Stop();
    return 0;
}
