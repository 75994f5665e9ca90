#include "tests/support/harness.h"

#include <tlhelp32.h>

#include <atomic>
#include <cstdint>

#include "common/win_handle.h"
#include "democlient/record_format.h"

namespace qt {

namespace {

std::wstring EnvOrEmpty(const wchar_t* name) {
    wchar_t buffer[32768] = {};
    const DWORD n = ::GetEnvironmentVariableW(name, buffer, 32768);
    return (n > 0 && n < 32768) ? std::wstring(buffer, n) : std::wstring();
}

std::vector<std::string> ReadRecords(const std::wstring& path) { return demo_records::Decode(ReadFileBytes(path)); }

}  // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD timeout_ms) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > timeout_ms) return false;
        ::Sleep(20);
    }
    return true;
}

std::vector<std::wstring> ClientStartsAt(const std::wstring& client_path) {
    std::vector<std::wstring> starts;
    for (const std::string& record : ReadRecords(client_path + L".starts")) starts.push_back(FromUtf8(record));
    return starts;
}

std::vector<std::string> ClientMessagesAt(const std::wstring& client_path) {
    return ReadRecords(client_path + L".messages");
}

std::wstring LauncherExe() { return EnvOrEmpty(L"QUENDA_EXE"); }
std::wstring DemoClientExe() { return EnvOrEmpty(L"DEMOCLIENT_EXE"); }
std::wstring BuiltFile(const wchar_t* variable) { return EnvOrEmpty(variable); }

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                        nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

std::string ReadFileBytes(const std::wstring& path) {
    quenda::unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::string();
    std::string bytes;
    char chunk[65536];
    DWORD got = 0;
    while (::ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr) && got > 0) bytes.append(chunk, got);
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    quenda::unique_hfile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void RemoveTree(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        WIN32_FIND_DATAW data;
        quenda::unique_hfind find(::FindFirstFileW((path + L"\\*").c_str(), &data));
        if (find) {
            do {
                const std::wstring name = data.cFileName;
                if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
            } while (::FindNextFileW(find.get(), &data));
        }
        find.reset();
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::RemoveDirectoryW(path.c_str());
    } else {
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(path.c_str());
    }
}

ScratchDir::ScratchDir(const std::wstring& hint) {
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring base = temp;
    if (!base.empty() && base.back() == L'\\') base.pop_back();
    for (;;) {
        path_ = base + L"\\" + hint + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter++);
        if (::CreateDirectoryW(path_.c_str(), nullptr)) break;
    }
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

Started StartProcess(const std::wstring& exe, const std::wstring& tail, const std::wstring& cwd) {
    std::wstring command_line = L"\"" + exe + L"\"";
    if (!tail.empty()) command_line += L" " + tail;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    Started started;
    if (::CreateProcessW(exe.c_str(), &command_line[0], nullptr, nullptr, FALSE, 0, nullptr,
                         cwd.empty() ? nullptr : cwd.c_str(), &si, &pi)) {
        ::CloseHandle(pi.hThread);
        started.process = pi.hProcess;
        started.pid = pi.dwProcessId;
    }
    return started;
}

RunResult RunProcess(const std::wstring& exe, const std::wstring& tail, const std::wstring& cwd, DWORD timeout_ms,
                     const std::function<void(HANDLE, DWORD)>& on_started) {
    RunResult result;
    // Standard error goes to a file, not a pipe: a client that the launcher
    // starts may inherit the handle and outlive it.
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring capture_path = std::wstring(temp) + L"qt-stderr-" + std::to_wstring(::GetCurrentProcessId()) +
                                      L"-" + std::to_wstring(counter++) + L".txt";
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    quenda::unique_hfile capture(::CreateFileW(capture_path.c_str(), GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &sa,
                                               CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!capture) return result;

    std::wstring command_line = L"\"" + exe + L"\"";
    if (!tail.empty()) command_line += L" " + tail;
    std::wstring folder = cwd;
    if (folder.empty()) folder = exe.substr(0, exe.rfind(L'\\'));

    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = capture.get();
    si.hStdError = capture.get();
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exe.c_str(), &command_line[0], nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &si,
                          &pi)) {
        return result;
    }
    quenda::unique_handle process(pi.hProcess), thread(pi.hThread);
    capture.reset();
    result.pid = pi.dwProcessId;

    if (on_started) on_started(process.get(), pi.dwProcessId);
    if (::WaitForSingleObject(process.get(), timeout_ms) != WAIT_OBJECT_0) {
        result.timed_out = true;
        ::TerminateProcess(process.get(), 0xDEAD);
        ::WaitForSingleObject(process.get(), 5000);
    }
    ::GetExitCodeProcess(process.get(), &result.exit_code);
    result.stderr_text = ReadFileBytes(capture_path);
    ::DeleteFileW(capture_path.c_str());
    return result;
}

namespace {
struct DialogSearch {
    std::wstring caption;
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindDialogProc(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<DialogSearch*>(param);
    wchar_t class_name[64] = {};
    ::GetClassNameW(hwnd, class_name, 64);
    if (std::wstring(class_name) != L"#32770") return TRUE;
    if (!::IsWindowVisible(hwnd)) return TRUE;
    wchar_t caption[512] = {};
    ::GetWindowTextW(hwnd, caption, 512);
    if (search->caption != caption) return TRUE;
    if (search->pid != 0) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(hwnd, &owner);
        if (owner != search->pid) return TRUE;
    }
    search->found = hwnd;
    return FALSE;
}
}  // namespace

HWND WaitForDialog(const std::wstring& caption, DWORD pid, DWORD timeout_ms) {
    DialogSearch search{caption, pid, nullptr};
    WaitUntil(
        [&] {
            ::EnumWindows(FindDialogProc, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeout_ms);
    return search.found;
}

std::wstring DialogText(HWND dialog) {
    // A message box shows its text in a static control with the id 0xFFFF.
    wchar_t text[4096] = {};
    ::GetDlgItemTextW(dialog, 0xFFFF, text, 4096);
    return text;
}

void AnswerDialog(HWND dialog, int button_id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button_id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, button_id)));
}

void PressEscape(HWND dialog) {
    // What the dialog manager makes of Esc: IDCANCEL with no control.
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
}

Installation::Installation(const std::wstring& hint) : dir_(hint) {
    ::CopyFileW(LauncherExe().c_str(), launcher().c_str(), FALSE);
}

void Installation::InstallClient(const std::wstring& name) {
    ::CopyFileW(DemoClientExe().c_str(), path(name).c_str(), FALSE);
}

void Installation::WriteConfig(const std::string& xml) { WriteFileBytes(path(L"ProductConfig.xml"), xml); }

std::string Installation::MakeConfig(const std::string& prog, const std::string& protocol, const std::string& pipe,
                                     const std::vector<std::string>& args, const std::string& extra) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Product>\n";
    if (!prog.empty()) xml += "  <ProgName>" + prog + "</ProgName>\n";
    if (!protocol.empty()) xml += "  <Protocol>" + protocol + "</Protocol>\n";
    if (!pipe.empty()) xml += "  <Pipe>" + pipe + "</Pipe>\n";
    if (!args.empty()) {
        xml += "  <Args>\n";
        for (const std::string& a : args) xml += "    <Item Name=\"" + a + "\"/>\n";
        xml += "  </Args>\n";
    }
    xml += extra;
    xml += "</Product>\n";
    return xml;
}

RunResult Installation::RunLauncher(const std::wstring& tail, DWORD timeout_ms,
                                    const std::function<void(HANDLE, DWORD)>& on_started) const {
    return RunProcess(launcher(), tail, dir(), timeout_ms, on_started);
}

std::vector<std::wstring> Installation::ClientStarts(const std::wstring& client) const {
    return ClientStartsAt(path(client));
}

std::vector<std::string> Installation::ClientMessages(const std::wstring& client) const {
    return ClientMessagesAt(path(client));
}

bool Installation::WaitForClientStarts(const std::wstring& client, size_t count, DWORD timeout_ms) const {
    return WaitUntil([&] { return ClientStarts(client).size() >= count; }, timeout_ms);
}

bool Installation::WaitForClientMessages(const std::wstring& client, size_t count, DWORD timeout_ms) const {
    return WaitUntil([&] { return ClientMessages(client).size() >= count; }, timeout_ms);
}

std::vector<DWORD> ProcessIds(const std::wstring& exe_name) {
    std::vector<DWORD> ids;
    quenda::unique_hfile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = ::Process32FirstW(snapshot.get(), &entry); ok; ok = ::Process32NextW(snapshot.get(), &entry)) {
        if (exe_name == entry.szExeFile) ids.push_back(entry.th32ProcessID);
    }
    return ids;
}

void KillAll(const std::wstring& exe_name) {
    for (DWORD pid : ProcessIds(exe_name)) {
        quenda::unique_handle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
        if (process) {
            ::TerminateProcess(process.get(), 0);
            ::WaitForSingleObject(process.get(), 5000);
        }
    }
}

}  // namespace qt
