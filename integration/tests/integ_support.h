// Test-side helpers for the integration tests: unique names, registry and
// shell-link access through the Windows APIs themselves, and clean-up
// guards for what the tests create outside their scratch folders.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace it {

// A name no other test (or test process) sharing the Wine prefix uses.
std::wstring UniqueName(const std::wstring& prefix);

// The default or a named value of a key, as RegQueryValueExW returns it.
struct RegValue {
    LSTATUS status = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    // The text up to the first terminator.
    std::wstring Text() const;
};
RegValue ReadRegValue(HKEY root, const std::wstring& key, const wchar_t* name);
bool WriteRegString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& text);

// Deletes a key tree when the test ends, whatever way it ends.
class ScopedKeyTree {
public:
    ScopedKeyTree(HKEY root, std::wstring key) : root_(root), key_(std::move(key)) {}
    ~ScopedKeyTree() { ::RegDeleteTreeW(root_, key_.c_str()); ::RegDeleteKeyW(root_, key_.c_str()); }
    ScopedKeyTree(const ScopedKeyTree&) = delete;
    ScopedKeyTree& operator=(const ScopedKeyTree&) = delete;

private:
    HKEY root_;
    std::wstring key_;
};

// Ends every process of this exe name when the test ends.
class ScopedKill {
public:
    explicit ScopedKill(std::wstring exe) : exe_(std::move(exe)) {}
    ~ScopedKill();
    ScopedKill(const ScopedKill&) = delete;
    ScopedKill& operator=(const ScopedKill&) = delete;

private:
    std::wstring exe_;
};

std::wstring CommonDesktop();  // SHGetFolderPathW, CSIDL_COMMON_DESKTOPDIRECTORY
std::wstring UserDesktop();    // SHGetFolderPathW, CSIDL_DESKTOPDIRECTORY

// Removes "<folder>\<prefix>*" when the test ends.
class ScopedFiles {
public:
    ScopedFiles(std::wstring folder, std::wstring prefix) : folder_(std::move(folder)), prefix_(std::move(prefix)) {}
    ~ScopedFiles();
    ScopedFiles(const ScopedFiles&) = delete;
    ScopedFiles& operator=(const ScopedFiles&) = delete;

private:
    std::wstring folder_;
    std::wstring prefix_;
};

// Points the current user's desktop folder somewhere else for the length of
// a test (Wine links the real one to the host's home folder), and back.
class ScopedUserDesktop {
public:
    explicit ScopedUserDesktop(const std::wstring& folder);
    ~ScopedUserDesktop();
    ScopedUserDesktop(const ScopedUserDesktop&) = delete;
    ScopedUserDesktop& operator=(const ScopedUserDesktop&) = delete;

private:
    RegValue saved_;
};

// Shell links written and read through IShellLinkW / IPersistFile.
// The caller has COM initialised.
struct LinkInfo {
    bool loaded = false;
    std::wstring target, arguments, working_folder, description, icon;
    int icon_index = -1;
};
bool CreateLink(const std::wstring& path, const LinkInfo& info);
LinkInfo ReadLink(const std::wstring& path);

}  // namespace it
