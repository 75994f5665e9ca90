// Hand-over of the invocation's parameters to a running client over its
// named pipe.
#pragma once

#include <string>

// Answers the launcher's exit code: 0 when the pipe opened, 1 when it did not.
int ForwardToRunningClient(const std::wstring& text, const std::wstring& pipe);
