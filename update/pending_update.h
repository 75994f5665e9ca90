// Tidies the staging folder "temp" and moves a staged "temp\update.zip" into
// the launcher folder.
#pragma once

#include <string>

void ApplyPendingUpdate();

// The launcher's folder in the ANSI code page, with its trailing backslash.
bool GetLauncherFolderA(std::string& folder);
