#include "integration/protocol_registration.h"

// Placeholder until protocol registration lands.
void WriteRegFun(const wchar_t*) {}
