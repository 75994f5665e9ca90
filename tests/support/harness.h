// End-to-end test support: scratch installations of the built launcher and
// demo client, process runs with captured stderr, and answering message boxes.
// Everything is read back through Win32 itself, never through launcher code.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace qt {

// Paths of the built programs (from the environment that ctest sets).
std::wstring LauncherExe();    // Quenda.exe
std::wstring DemoClientExe();  // DemoClient.exe
// Another built file that the test was given through FILES (empty if not).
std::wstring BuiltFile(const wchar_t* variable);

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

std::string ReadFileBytes(const std::wstring& path);          // empty when missing
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);                    // file or folder
void RemoveTree(const std::wstring& path);                    // best effort

// Checks done() every 20 ms until it holds; false when timeout_ms ran out first.
bool WaitUntil(const std::function<bool()>& done, DWORD timeout_ms);

// What the demo client at client_path recorded beside itself: one
// command-line tail per start ("<exe>.starts") and the bytes of each pipe
// message ("<exe>.messages").
std::vector<std::wstring> ClientStartsAt(const std::wstring& client_path);
std::vector<std::string> ClientMessagesAt(const std::wstring& client_path);

// A fresh, empty folder below the temp folder, removed when the object dies.
class ScratchDir {
public:
    explicit ScratchDir(const std::wstring& hint = L"qt");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

struct RunResult {
    DWORD exit_code = 0xFFFFFFFF;
    bool timed_out = false;
    std::string stderr_text;
    DWORD pid = 0;
};

// Runs exe with the given command-line tail (the exe path is quoted in front
// of it), in cwd (empty: the exe's folder). on_started is called once with the
// process handle and id while it runs, for instance to answer its dialogs.
RunResult RunProcess(const std::wstring& exe, const std::wstring& tail, const std::wstring& cwd = L"",
                     DWORD timeout_ms = 30000,
                     const std::function<void(HANDLE process, DWORD pid)>& on_started = {});

// Starts a program without waiting; the handle is the caller's to close.
struct Started {
    HANDLE process = nullptr;
    DWORD pid = 0;
};
Started StartProcess(const std::wstring& exe, const std::wstring& tail, const std::wstring& cwd = L"");

// A top-level message box ("#32770") with this caption, belonging to pid
// (0: any process), waited for up to timeout_ms. nullptr when none appears.
HWND WaitForDialog(const std::wstring& caption, DWORD pid, DWORD timeout_ms);
std::wstring DialogText(HWND dialog);  // the message text of a message box
void AnswerDialog(HWND dialog, int button_id);  // IDOK, IDCANCEL
void PressEscape(HWND dialog);

// An installation folder: the launcher, the demo client under a chosen name,
// and ProductConfig.xml.
class Installation {
public:
    explicit Installation(const std::wstring& hint = L"inst");
    const std::wstring& dir() const { return dir_.path(); }
    std::wstring launcher() const { return dir() + L"\\Quenda.exe"; }
    std::wstring path(const std::wstring& name) const { return dir() + L"\\" + name; }

    // Copies the demo client in as `name` (for instance "client.exe").
    void InstallClient(const std::wstring& name);
    // Writes ProductConfig.xml (UTF-8 text) beside the launcher.
    void WriteConfig(const std::string& xml);
    // A config with the usual fields; empty values are left out.
    static std::string MakeConfig(const std::string& prog, const std::string& protocol, const std::string& pipe,
                                  const std::vector<std::string>& args = {}, const std::string& extra = "");

    RunResult RunLauncher(const std::wstring& tail, DWORD timeout_ms = 30000,
                          const std::function<void(HANDLE process, DWORD pid)>& on_started = {}) const;

    // What the demo client called `client` (e.g. "client.exe") recorded:
    // one command-line tail per start, and the bytes of each pipe message.
    std::vector<std::wstring> ClientStarts(const std::wstring& client) const;
    std::vector<std::string> ClientMessages(const std::wstring& client) const;
    // Waits until the client recorded at least `count` starts / messages.
    bool WaitForClientStarts(const std::wstring& client, size_t count, DWORD timeout_ms = 10000) const;
    bool WaitForClientMessages(const std::wstring& client, size_t count, DWORD timeout_ms = 10000) const;

private:
    ScratchDir dir_;
};

// Ids of the running processes with this exe file name (whole, case-sensitive).
std::vector<DWORD> ProcessIds(const std::wstring& exe_name);
// Ends every process with this exe file name (test cleanup).
void KillAll(const std::wstring& exe_name);

}  // namespace qt
