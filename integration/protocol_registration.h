// Keeps the URL protocol's open command pointed at this launcher.
#pragma once

// sub_key: Protocol + "\shell\open\command", below HKEY_CLASSES_ROOT.
void WriteRegFun(const wchar_t* sub_key);
