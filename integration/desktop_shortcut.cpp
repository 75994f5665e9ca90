#include "integration/desktop_shortcut.h"

#include <windows.h>
#include <shlobj.h>

#include <cwchar>
#include <string>

#include "common/win_handle.h"
#include "integration/shortcut_rules.h"

namespace {

using integration::IsPresent;
using integration::kPathUnits;

// The all-users desktop; empty when it cannot be located. A failed
// conversion counts as not found: an empty folder would turn the shortcut
// paths into "\<name>.lnk" in the root of the current drive.
std::wstring CommonDesktopPath() {
    PIDLIST_ABSOLUTE folder = nullptr;
    const HRESULT hr = ::SHGetFolderLocation(nullptr, CSIDL_COMMON_DESKTOPDIRECTORY, nullptr, 0, &folder);
    const quenda::unique_cotaskmem folder_owner(folder);
    if (FAILED(hr) || folder == nullptr) return std::wstring();
    wchar_t path[MAX_PATH] = {};
    if (!::SHGetPathFromIDListW(folder, path)) return std::wstring();
    return path;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Whether two paths are known to name different files. Names that differ
// by more than ASCII case may still be one file (the file system also folds
// the case of other letters, and knows short names), and deleting the "old"
// one would then delete the shortcut just saved; when in doubt they count as
// the same.
bool AreDistinctFiles(const std::wstring& a, const std::wstring& b) {
    BY_HANDLE_FILE_INFORMATION info_a{}, info_b{};
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    quenda::unique_hfile file_a(
        ::CreateFileW(a.c_str(), 0, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    quenda::unique_hfile file_b(
        ::CreateFileW(b.c_str(), 0, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file_a || !file_b) return false;
    if (!::GetFileInformationByHandle(file_a.get(), &info_a) || !::GetFileInformationByHandle(file_b.get(), &info_b)) {
        return false;
    }
    return info_a.dwVolumeSerialNumber != info_b.dwVolumeSerialNumber ||
           info_a.nFileIndexHigh != info_b.nFileIndexHigh || info_a.nFileIndexLow != info_b.nFileIndexLow;
}

// Some shell implementations (Wine's among them) hand back the stored long
// path despite SLGP_SHORTPATH; the launcher's name is compared with the
// short form, so an existing target is shortened here as well. A target that
// no longer exists keeps the form the shortcut stored.
void ToShortForm(wchar_t (&path)[MAX_PATH]) {
    wchar_t short_path[MAX_PATH] = {};
    const DWORD length = ::GetShortPathNameW(path, short_path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) std::wmemcpy(path, short_path, length + 1);
}

void SetIcon(IShellLinkW* link, const wchar_t* icon_path) {
    if (IsPresent(icon_path) && std::wcslen(icon_path) < kPathUnits &&
        ::GetFileAttributesW(icon_path) != INVALID_FILE_ATTRIBUTES) {
        link->SetIconLocation(icon_path, 0);
        return;
    }
    // Without the product's icon file the shortcut keeps the icon it has.
    wchar_t current[MAX_PATH] = {};
    int index = 0;
    if (SUCCEEDED(link->GetIconLocation(current, MAX_PATH, &index))) link->SetIconLocation(current, index);
}

// Everything that needs COM; the caller keeps COM initialised around it, so
// the interfaces here are released before it is uninitialised.
int RewriteShortcut(const wchar_t* old_name, const wchar_t* new_name, const std::wstring& old_path, bool old_exists,
                    const std::wstring& new_path, const wchar_t* target_path, const wchar_t* description,
                    const wchar_t* icon_path, const wchar_t* working_folder) {
    quenda::ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void()))) {
        return 0;
    }
    quenda::ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return 0;

    // The old target in its short form: the launcher's own file name is
    // compared with it below.
    wchar_t old_target[MAX_PATH] = {};
    if (old_exists) {
        // An unreadable old file is not a shortcut to update: going on would
        // save a blank link under the new name.
        if (FAILED(file->Load(old_path.c_str(), STGM_READWRITE))) return 0;
        if (FAILED(link->GetPath(old_target, MAX_PATH, nullptr, SLGP_SHORTPATH))) return 0;
        ToShortForm(old_target);
    } else if (FAILED(file->Load(new_path.c_str(), STGM_READWRITE))) {
        return 0;
    }

    // The launcher has no window to answer the shell's "shortcut target
    // missing" search dialog with, and the old target is usually gone (that
    // is why the shortcut is being repointed), so resolving must not ask;
    // the target is replaced right after anyway. The high word bounds the
    // search in milliseconds.
    link->Resolve(nullptr, MAKELONG(SLR_UPDATE | SLR_NO_UI, 1000));

    if (IsPresent(target_path)) link->SetPath(target_path);
    SetIcon(link.get(), icon_path);
    if (IsPresent(working_folder)) link->SetWorkingDirectory(working_folder);
    if (IsPresent(description)) link->SetDescription(description);

    const std::wstring& save_path = IsPresent(new_name) ? new_path : old_path;
    if (FAILED(file->Save(save_path.c_str(), TRUE))) return 1;

    integration::OldShortcutFacts facts;
    facts.old_existed = old_exists;
    facts.old_name = old_name;
    facts.new_name = new_name;
    facts.old_target = old_target;
    facts.launcher_path = target_path;
    if (integration::MayRemoveOldShortcut(facts) && AreDistinctFiles(old_path, new_path)) {
        ::DeleteFileW(old_path.c_str());
        // Explorer redraws the desktop on F5; the notification makes it drop
        // cached icons of the removed file.
        ::PostMessageW(::GetDesktopWindow(), WM_KEYDOWN, VK_F5, 0);
        ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH, nullptr, nullptr);
    }
    return 1;
}

}  // namespace

int UpdateDesktopShortcut(const wchar_t* old_name, const wchar_t* new_name, const wchar_t* target_path,
                          const wchar_t* description, const wchar_t* icon_path, const wchar_t* working_folder) {
    if (!IsPresent(old_name)) return -1;
    const std::wstring desktop = CommonDesktopPath();
    if (desktop.empty()) return -2;

    // A name whose path does not fit skips the whole step: working on one
    // shortcut of the pair only would update or rename something else than
    // what the configuration asks for.
    const std::wstring old_path = integration::ShortcutPath(desktop, old_name);
    if (old_path.empty()) return -3;
    std::wstring new_path;
    if (IsPresent(new_name)) {
        new_path = integration::ShortcutPath(desktop, new_name);
        if (new_path.empty()) return -3;
    }

    const bool old_exists = Exists(old_path);
    const bool new_exists = !new_path.empty() && Exists(new_path);
    if (!old_exists && !new_exists) return -3;

    const quenda::CoInitScope com;
    return RewriteShortcut(old_name, new_name, old_path, old_exists, new_path, target_path, description, icon_path,
                           working_folder);
}
