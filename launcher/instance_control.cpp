#include "launcher/instance_control.h"

#include <windows.h>
#include <tlhelp32.h>

#include <iterator>
#include <utility>
#include <vector>

#include "common/win_handle.h"
#include "config/product_config.h"
#include "launcher/process_match.h"

namespace {

// PROCESS_ALL_ACCESS as Windows Vista and later define it; headers built for
// older targets carry a smaller mask.
constexpr DWORD kProcessAllAccess = 0x1FFFFF;

quenda::unique_hfile TakeProcessSnapshot() {
    return quenda::unique_hfile(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
}

// The launcher itself is never a copy of the client, also when it is
// configured under its own file name: it would otherwise ask about, or end,
// itself before it could start anything.
bool IsClientCopy(const PROCESSENTRY32W& entry, const std::wstring& name) {
    return entry.th32ProcessID != ::GetCurrentProcessId() &&
           ExeNameMatches(entry.szExeFile, std::size(entry.szExeFile), name);
}

ULONGLONG Ticks(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

ULONGLONG Now() {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    return Ticks(now);
}

// A process id from the snapshot may have been reused by an unrelated
// program by the time it is opened; only a process that already existed when
// the snapshot was taken is the copy that the snapshot named.
bool ExistedAt(HANDLE process, ULONGLONG snapshot_time) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return false;
    return Ticks(created) <= snapshot_time;
}

quenda::unique_handle OpenForTermination(DWORD pid) {
    quenda::unique_handle process(::OpenProcess(kProcessAllAccess, FALSE, pid));
    if (!process) {
        EnableDebugPrivilege();
        process.reset(::OpenProcess(kProcessAllAccess, FALSE, pid));
    }
    return process;
}

bool UserAgreesToRestart() {
    const bool chinese = ProductConfigFile::Instance().lang_cn;
    // The Chinese text uses a full-width comma and ends with an ASCII "!".
    const wchar_t* caption = chinese ? L"提示" : L"Prompt";
    const wchar_t* text = chinese ? L"检测到程序正在运行，是否重新打开!"
                                  : L"Another program is already in progress, start new one?";
    return ::MessageBoxW(nullptr, text, caption, MB_OKCANCEL) == IDOK;
}

}  // namespace

bool CheckRunningInstance(std::wstring client_name, bool force_run) {
    quenda::unique_hfile snapshot = TakeProcessSnapshot();
    if (!snapshot) {
        TerminateProcessesByName(client_name);
        return true;
    }

    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    bool running = false;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more && !running;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        running = IsClientCopy(entry, client_name);
    }
    snapshot.reset();
    if (!running) return true;

    if (!force_run && !UserAgreesToRestart()) return false;
    TerminateProcessesByName(client_name);
    return true;
}

void TerminateProcessesByName(const std::wstring& name) {
    quenda::unique_hfile snapshot = TakeProcessSnapshot();
    if (!snapshot) return;
    const ULONGLONG snapshot_time = Now();

    // Grows with the number of copies found: every match is terminated, never
    // only as many as a fixed table would hold.
    std::vector<quenda::unique_handle> copies;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        if (!IsClientCopy(entry, name)) continue;
        quenda::unique_handle process = OpenForTermination(entry.th32ProcessID);
        if (process && ExistedAt(process.get(), snapshot_time)) copies.push_back(std::move(process));
    }
    snapshot.reset();

    // Asynchronous: the copies may still be ending when this returns.
    for (quenda::unique_handle& process : copies) {
        ::TerminateProcess(process.get(), 0);
        process.reset();
    }
}

void EnableDebugPrivilege() {
    quenda::unique_handle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.put())) return;

    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // Without the identifier the adjustment would name no privilege at all.
    if (!::LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &privileges.Privileges[0].Luid)) return;
    ::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
}
