#include "update/pending_update.h"

// Placeholder until the staging step lands.
void ApplyPendingUpdate() {}
bool GetLauncherFolderA(std::string&) { return false; }
