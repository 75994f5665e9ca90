// The invocation grammar: an optional "forcerun:" prefix, then free text in
// which the first occurrence of the protocol name and three separator
// characters mark where the client's parameters begin. Pure logic, no Win32.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

struct SplitInvocation {
    std::wstring invocation;
    bool force_run = false;
};

SplitInvocation SplitForceRun(const std::wstring& tail);

std::optional<std::size_t> FindProtocol(const std::wstring& invocation, const std::wstring& protocol);

// Text from three characters behind the protocol to the end; the whole
// invocation when the protocol was not found. Never reads past the end: fewer
// than three characters behind the protocol give an empty text.
std::wstring ExtractClientParams(const std::wstring& invocation, std::optional<std::size_t> protocol_pos,
                                 std::size_t protocol_length);

// Appends " IsAdmin" when both keys were held.
void AppendAdminFlagIfHeld(std::wstring& client_params, bool ctrl_and_alt_held);

// Appends each item not already found anywhere in the parameters.
void AppendConfiguredArgs(std::wstring& client_params, const std::vector<std::wstring>& args);
