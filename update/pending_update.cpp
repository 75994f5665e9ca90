#include "update/pending_update.h"

#include <windows.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "common/module_path.h"

namespace {

constexpr DWORD kNarrowCapacity = 1024;

// The folder part (up to and including the last backslash) of the module's
// wide path, for comparison with the narrow one.
bool WideLauncherFolder(std::wstring& folder) {
    const std::wstring full = quenda::ModulePath(::GetModuleHandleW(nullptr));
    if (full.empty()) return false;
    const std::size_t slash = full.rfind(L'\\');
    if (slash == std::wstring::npos) return false;
    folder = full.substr(0, slash + 1);
    return true;
}

std::wstring AnsiToWide(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

}  // namespace

bool GetLauncherFolderA(std::string& folder) {
    char path[kNarrowCapacity] = {};
    const DWORD n = ::GetModuleFileNameA(::GetModuleHandleW(nullptr), path, kNarrowCapacity);
    // A full buffer means a cut path, whose folder is some other folder.
    if (n == 0 || n >= kNarrowCapacity) return false;
    const std::string full(path, n);
    const std::size_t slash = full.rfind('\\');
    if (slash == std::string::npos) return false;
    std::string narrow = full.substr(0, slash + 1);

    // Characters the ANSI code page lacks are replaced on the way, sometimes
    // by a look-alike ("best fit"), and the narrow path may then name a
    // different, existing folder. Only a path that converts back to the real
    // folder may be used for deleting and copying.
    std::wstring wide;
    if (!WideLauncherFolder(wide) || AnsiToWide(narrow) != wide) return false;
    folder = std::move(narrow);
    return true;
}

void ApplyPendingUpdate() {
    std::string folder;
    if (!GetLauncherFolderA(folder)) return;

    // Leftovers of an earlier update; a file still in use stays until a later
    // run.
    static const char* const kLeftovers[] = {"temp\\Updater.exe", "temp\\update.td0", "temp\\update.td1",
                                             "temp\\update.td2",  "temp\\update.td3", "temp\\update.td"};
    for (const char* name : kLeftovers) std::remove((folder + name).c_str());

    const std::string staged = folder + "temp\\" + "update.zip";
    if (::_access(staged.c_str(), 0) != 0) return;
    const std::string target = folder + "update.zip";
    // The staged archive is the only copy of the update: it goes only once it
    // has arrived in the launcher folder, otherwise the next start tries again.
    if (::CopyFileA(staged.c_str(), target.c_str(), FALSE)) std::remove(staged.c_str());
}
