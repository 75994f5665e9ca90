// Keeps the product's all-users desktop shortcut pointed at this launcher.
#pragma once

// Each argument may be null (an absent name). Results: -1 no old name,
// -2 desktop folder not found, -3 neither shortcut exists, 0 the shell link
// could not be created or read, 1 processed.
int UpdateDesktopShortcut(const wchar_t* old_name, const wchar_t* new_name, const wchar_t* target_path,
                          const wchar_t* description, const wchar_t* icon_path, const wchar_t* working_folder);
