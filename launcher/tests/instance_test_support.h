// Shared pieces of the running-instance and hand-over tests: copies of the
// demo client standing in for a running client, the restart prompt answered
// through Win32, and registry and process checks.
#pragma once

#include "tests/support/harness.h"

#include <tlhelp32.h>

#include <string>

#include "common/win_handle.h"

namespace it {

// A running copy of the demo client; terminated (by name) in the test's
// cleanup, the handle tells how it ended.
struct RunningCopy {
    quenda::unique_handle process;
    DWORD pid = 0;
};

inline RunningCopy StartCopy(const std::wstring& exe, const std::wstring& tail = L"") {
    const qt::Started started = qt::StartProcess(exe, tail, exe.substr(0, exe.rfind(L'\\')));
    RunningCopy copy;
    copy.process.reset(started.process);
    copy.pid = started.pid;
    return copy;
}

inline bool StillRunning(const RunningCopy& copy) {
    return copy.process && ::WaitForSingleObject(copy.process.get(), 0) == WAIT_TIMEOUT;
}

// Ended (within the timeout) with this exit code.
inline bool EndedWith(const RunningCopy& copy, DWORD expected, DWORD timeout_ms = 10000) {
    if (!copy.process || ::WaitForSingleObject(copy.process.get(), timeout_ms) != WAIT_OBJECT_0) return false;
    DWORD code = 0xFFFFFFFF;
    return ::GetExitCodeProcess(copy.process.get(), &code) && code == expected;
}

inline int CountProcesses(const std::wstring& exe_name) {
    quenda::unique_hfile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return -1;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL ok = ::Process32FirstW(snapshot.get(), &entry); ok; ok = ::Process32NextW(snapshot.get(), &entry)) {
        if (exe_name == entry.szExeFile) ++count;
    }
    return count;
}

// Until a server instance of the pipe waits for a connection.
inline bool WaitForPipe(const std::wstring& pipe, DWORD timeout_ms = 10000) {
    const std::wstring path = L"\\\\.\\pipe\\" + pipe;
    const DWORD start = ::GetTickCount();
    while (!::WaitNamedPipeW(path.c_str(), 100)) {
        if (::GetTickCount() - start > timeout_ms) return false;
        ::Sleep(20);
    }
    return true;
}

// A string value under HKEY_CURRENT_USER\<owner>\<sub_key> for the guard's
// lifetime; the whole <owner> key goes with the guard.
class ScopedUserValue {
public:
    ScopedUserValue(const std::wstring& owner, const std::wstring& sub_key, const wchar_t* name,
                    const std::wstring& text)
        : owner_(owner) {
        quenda::unique_hkey key;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, (owner_ + L"\\" + sub_key).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, key.put(), nullptr) == ERROR_SUCCESS) {
            ::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        }
    }
    ~ScopedUserValue() { ::RegDeleteTreeW(HKEY_CURRENT_USER, owner_.c_str()); }
    ScopedUserValue(const ScopedUserValue&) = delete;
    ScopedUserValue& operator=(const ScopedUserValue&) = delete;

private:
    std::wstring owner_;
};

// HKCU\SOFTWARE\<stem>\Language = "en-US" for the guard's lifetime.
class EnglishLanguage : public ScopedUserValue {
public:
    explicit EnglishLanguage(const std::wstring& stem)
        : ScopedUserValue(L"SOFTWARE\\" + stem, L"Language", nullptr, L"en-US") {}
};

inline bool ProtocolRegistered(const std::wstring& protocol) {
    quenda::unique_hkey key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, (protocol + L"\\shell\\open\\command").c_str(), 0, KEY_QUERY_VALUE,
                           key.put()) == ERROR_SUCCESS;
}

// Removes what a start path wrote for the protocol, so no test leaves it.
inline void ForgetProtocol(const std::wstring& protocol) { ::RegDeleteTreeW(HKEY_CLASSES_ROOT, protocol.c_str()); }

enum class Answer { Ok, Cancel, Escape };

struct PromptedRun {
    qt::RunResult run;
    int prompts = 0;  // restart prompts the launcher showed
    std::wstring caption;
    std::wstring text;
};

// Runs exe (a launcher) and answers every restart prompt it shows, in either
// language, until it ends.
inline PromptedRun RunAnswering(const std::wstring& exe, const std::wstring& tail, Answer answer) {
    PromptedRun result;
    result.run = qt::RunProcess(exe, tail, L"", 30000, [&](HANDLE process, DWORD pid) {
        const DWORD start = ::GetTickCount();
        while (::WaitForSingleObject(process, 20) == WAIT_TIMEOUT && ::GetTickCount() - start < 25000) {
            for (const wchar_t* caption : {L"提示", L"Prompt"}) {
                const HWND box = qt::WaitForDialog(caption, pid, 0);
                if (!box) continue;
                ++result.prompts;
                result.caption = caption;
                result.text = qt::DialogText(box);
                if (answer == Answer::Escape) {
                    qt::PressEscape(box);
                } else {
                    qt::AnswerDialog(box, answer == Answer::Ok ? IDOK : IDCANCEL);
                }
                // Counted once: wait until this box is gone.
                while (::IsWindow(box) && ::WaitForSingleObject(process, 20) == WAIT_TIMEOUT &&
                       ::GetTickCount() - start < 25000) {
                }
            }
        }
    });
    return result;
}

}  // namespace it
