// Extraction of "update.zip" from the working directory over the installation.
#pragma once

void ExtractUpdateArchive();
