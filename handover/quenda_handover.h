// Receiving what the Quenda launcher hands over to a running client.
//
// The launcher opens the client's named pipe "\\.\pipe\<name>", writes the
// text behind "<protocol>://" in the ANSI code page with a terminating zero,
// and closes it. A Server serves that pipe on a thread of its own and hands
// each message, converted to UTF-16, to the client's callback.
//
// The pipe takes local clients only, is served by this process alone (Start
// fails when another process already serves the name) and may be opened by
// the current user only.
//
// Callbacks run on the server's thread, one at a time, never after Stop has
// returned. They must not throw; a slow callback only delays the next
// message, since a new pipe instance already waits for the next launcher.
// Start, Stop and the destructor belong to the thread that owns the Server.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace quenda::handover {

// The most bytes one message may take, its terminating zero included.
constexpr std::size_t kDefaultMaxBytes = 64 * 1024;

struct Message {
    std::wstring text;  // the message converted from the ANSI code page (CP_ACP)
    std::string ansi;   // the bytes as received, up to the terminating zero (not included)
};

// What went wrong on one connection, or with the pipe. None of them stops
// the server: it goes on with the next connection.
enum class Problem {
    NothingSent,     // a client connected and closed without sending anything
    NoTerminator,    // the client closed before the terminating zero arrived
    TooLong,         // max_bytes arrived without a zero; the connection was dropped
    ReadFailed,      // reading failed otherwise (error: the Win32 code)
    ConnectFailed,   // waiting for a client failed (error: the Win32 code)
    InstanceFailed,  // no further pipe instance could be made; the current one is reused (error: the Win32 code)
};

// A short English name of the problem, for logs ("no-terminator", ...).
const char* ProblemName(Problem problem);

using OnMessage = std::function<void(const Message& message)>;
// error is 0 for the problems of the client's input.
using OnProblem = std::function<void(Problem problem, DWORD error)>;

class Server {
public:
    Server();
    ~Server();  // stops
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Creates the pipe's first instance and starts serving it. pipe_name is
    // the bare name, the part after "\\.\pipe\". Answers ERROR_SUCCESS, or:
    // ERROR_INVALID_NAME for an empty name or one with "\", "/", a zero, or
    // "."/"..", or too long; ERROR_INVALID_PARAMETER without on_message or
    // for max_bytes 0 or above INT_MAX; ERROR_ALREADY_INITIALIZED while
    // running; ERROR_ACCESS_DENIED (or another code of CreateNamedPipeW) when
    // some process already serves that name.
    DWORD Start(const std::wstring& pipe_name, OnMessage on_message, OnProblem on_problem = {},
                std::size_t max_bytes = kDefaultMaxBytes);

    // Cancels a pending wait or read, waits for the serving thread to end
    // and closes the pipe. Does nothing when not running. Called from a
    // callback, it only asks the server to stop after that callback; the
    // owner's next Stop (or the destructor) then waits for the thread.
    void Stop();

    bool running() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace quenda::handover
