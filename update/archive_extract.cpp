#include "update/archive_extract.h"

// Placeholder until extraction lands.
void ExtractUpdateArchive() {}
