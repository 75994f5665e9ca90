#include "launcher/invocation.h"

namespace {
const wchar_t kForceRunPrefix[] = L"forcerun:";
constexpr std::size_t kForceRunLength = sizeof(kForceRunPrefix) / sizeof(wchar_t) - 1;
constexpr std::size_t kSeparatorLength = 3;  // "://" in a URL, but never looked at
}  // namespace

SplitInvocation SplitForceRun(const std::wstring& tail) {
    SplitInvocation result;
    if (tail.compare(0, kForceRunLength, kForceRunPrefix) == 0) {
        result.invocation = tail.substr(kForceRunLength);
        result.force_run = true;
    } else {
        result.invocation = tail;
    }
    return result;
}

std::optional<std::size_t> FindProtocol(const std::wstring& invocation, const std::wstring& protocol) {
    const std::size_t pos = invocation.find(protocol);
    if (pos == std::wstring::npos) return std::nullopt;
    return pos;
}

std::wstring ExtractClientParams(const std::wstring& invocation, std::optional<std::size_t> protocol_pos,
                                 std::size_t protocol_length) {
    if (!protocol_pos) return invocation;
    const std::size_t start = *protocol_pos + protocol_length + kSeparatorLength;
    if (start >= invocation.size()) return std::wstring();
    return invocation.substr(start);
}

void AppendAdminFlagIfHeld(std::wstring& client_params, bool ctrl_and_alt_held) {
    if (ctrl_and_alt_held) client_params += L" IsAdmin";
}

void AppendConfiguredArgs(std::wstring& client_params, const std::vector<std::wstring>& args) {
    for (const std::wstring& item : args) {
        if (client_params.find(item) != std::wstring::npos) continue;  // an empty item is always found
        client_params += L' ';
        client_params += item;
    }
}
