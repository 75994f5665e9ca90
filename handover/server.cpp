#include "handover/quenda_handover.h"

#include <climits>
#include <system_error>
#include <thread>
#include <vector>

#include "common/win_handle.h"
#include "handover/message_buffer.h"

namespace quenda::handover {

namespace {

// One read asks for at most this much; a longer message takes several reads.
constexpr DWORD kChunk = 4096;
// After a failed wait for a client: a short pause, so that a pipe failing
// over and over does not keep a core busy.
constexpr DWORD kConnectRetryMs = 50;

std::wstring FromAnsi(const std::string& bytes) {
    // Start keeps max_bytes at INT_MAX or less, so the size fits an int.
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX)) return std::wstring();
    const int size = static_cast<int>(bytes.size());
    const int length = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    const int written = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, &text[0], length);
    text.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return text;
}

// A security descriptor whose DACL grants the current user (the user of the
// process token) and nobody else: no Everyone, no anonymous or network
// logons, and nothing merged in from elsewhere (the DACL is protected).
class UserOnlySecurity {
public:
    UserOnlySecurity() = default;
    UserOnlySecurity(const UserOnlySecurity&) = delete;
    UserOnlySecurity& operator=(const UserOnlySecurity&) = delete;

    DWORD Init() {
        quenda::unique_handle token;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return ::GetLastError();
        DWORD needed = 0;
        if (!::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &needed) &&
            ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            return ::GetLastError();
        }
        if (needed < sizeof(TOKEN_USER)) return ERROR_INVALID_DATA;
        user_.assign(needed, 0);
        if (!::GetTokenInformation(token.get(), TokenUser, user_.data(), needed, &needed)) return ::GetLastError();
        const PSID sid = reinterpret_cast<const TOKEN_USER*>(user_.data())->User.Sid;
        if (!::IsValidSid(sid)) return ERROR_INVALID_SID;

        const DWORD acl_size =
            (sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + ::GetLengthSid(sid) + 3) & ~DWORD{3};
        acl_.assign(acl_size, 0);
        PACL acl = reinterpret_cast<PACL>(acl_.data());
        if (!::InitializeAcl(acl, acl_size, ACL_REVISION) ||
            !::AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid) ||
            !::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
            !::SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) ||
            !::SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
            return ::GetLastError();
        }
        attributes_.nLength = sizeof(attributes_);
        attributes_.lpSecurityDescriptor = &descriptor_;
        attributes_.bInheritHandle = FALSE;
        return ERROR_SUCCESS;
    }

    SECURITY_ATTRIBUTES* attributes() { return &attributes_; }

private:
    std::vector<unsigned char> user_;  // TOKEN_USER with the SID it points to
    std::vector<unsigned char> acl_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
};

// How an overlapped call ended.
struct IoResult {
    bool stopped = false;  // the stop event came first; the call was cancelled
    bool ok = false;
    DWORD bytes = 0;
    DWORD error = 0;
};

// Completes an overlapped call on `pipe` that has just returned `started`:
// waits for it, or for the stop event, in which case the call is cancelled
// and waited for, since `overlapped` must outlive it.
IoResult Finish(HANDLE pipe, OVERLAPPED& overlapped, BOOL started, HANDLE stop) {
    IoResult result;
    if (!started) {
        result.error = ::GetLastError();
        if (result.error != ERROR_IO_PENDING) return result;
        const HANDLE events[] = {stop, overlapped.hEvent};
        if (::WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
            ::CancelIoEx(pipe, &overlapped);
            DWORD ignored = 0;
            ::GetOverlappedResult(pipe, &overlapped, &ignored, TRUE);
            result.stopped = true;
            return result;
        }
    }
    result.ok = ::GetOverlappedResult(pipe, &overlapped, &result.bytes, FALSE) != FALSE;
    result.error = result.ok ? ERROR_SUCCESS : ::GetLastError();
    return result;
}

}  // namespace

const char* ProblemName(Problem problem) {
    switch (problem) {
        case Problem::NothingSent: return "nothing-sent";
        case Problem::NoTerminator: return "no-terminator";
        case Problem::TooLong: return "too-long";
        case Problem::ReadFailed: return "read-failed";
        case Problem::ConnectFailed: return "connect-failed";
        case Problem::InstanceFailed: return "instance-failed";
    }
    return "unknown";
}

struct Server::State {
    std::wstring path;
    OnMessage on_message;
    OnProblem on_problem;
    std::size_t max_bytes = kDefaultMaxBytes;
    UserOnlySecurity security;
    quenda::unique_handle stop_event;
    quenda::unique_handle io_event;
    quenda::unique_hfile first_instance;
    std::vector<char> chunk;
    std::thread thread;

    bool stopping() const { return ::WaitForSingleObject(stop_event.get(), 0) == WAIT_OBJECT_0; }

    // On failure the reason is in GetLastError().
    quenda::unique_hfile NewInstance(bool first) {
        // Local clients only; the first instance must be the name's first, so
        // that a pipe of the same name served by another process makes Start
        // fail instead of sharing its clients.
        const DWORD open_mode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
        quenda::unique_hfile instance(::CreateNamedPipeW(path.c_str(), open_mode,
                                                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT |
                                                             PIPE_REJECT_REMOTE_CLIENTS,
                                                         PIPE_UNLIMITED_INSTANCES, 0, kChunk, 0,
                                                         security.attributes()));
        // Wine (8.0) ignores FILE_FLAG_FIRST_PIPE_INSTANCE and adds the
        // instance to the other server's pipe; the pipe's instance count
        // tells. The error is the one Windows gives for the flag.
        DWORD instances = 0;
        if (first && instance &&
            (!::GetNamedPipeHandleStateW(instance.get(), nullptr, &instances, nullptr, nullptr, nullptr, 0) ||
             instances != 1)) {
            instance.reset();
            ::SetLastError(ERROR_ACCESS_DENIED);
        }
        return instance;
    }

    void Report(Problem problem, DWORD error) {
        if (on_problem) on_problem(problem, error);
    }

    // Reads one message from a connected instance and hands it on. False
    // when the server is stopping.
    bool Receive(HANDLE pipe) {
        MessageBuffer buffer(max_bytes);
        for (;;) {
            const DWORD want = buffer.room() < kChunk ? static_cast<DWORD>(buffer.room()) : kChunk;
            OVERLAPPED overlapped{};
            overlapped.hEvent = io_event.get();
            ::ResetEvent(io_event.get());
            const IoResult read =
                Finish(pipe, overlapped, ::ReadFile(pipe, chunk.data(), want, nullptr, &overlapped), stop_event.get());
            if (read.stopped) return false;
            if (!read.ok && read.error != ERROR_MORE_DATA) {
                if (read.error == ERROR_BROKEN_PIPE || read.error == ERROR_PIPE_NOT_CONNECTED) {
                    Report(buffer.empty() ? Problem::NothingSent : Problem::NoTerminator, ERROR_SUCCESS);
                } else {
                    Report(Problem::ReadFailed, read.error);
                }
                return true;
            }
            switch (buffer.Add(chunk.data(), read.bytes)) {
                case MessageBuffer::State::Complete:
                    on_message(Message{FromAnsi(buffer.message()), buffer.message()});
                    return true;
                case MessageBuffer::State::TooLong:
                    Report(Problem::TooLong, ERROR_SUCCESS);
                    return true;
                case MessageBuffer::State::NeedMore:
                    break;
            }
        }
    }

    void Serve() {
        quenda::unique_hfile current = std::move(first_instance);
        bool instance_failed = false;
        while (!stopping()) {
            OVERLAPPED overlapped{};
            overlapped.hEvent = io_event.get();
            ::ResetEvent(io_event.get());
            const IoResult connect =
                Finish(current.get(), overlapped, ::ConnectNamedPipe(current.get(), &overlapped), stop_event.get());
            if (connect.stopped) return;
            // A client that came before the wait, even one that has already
            // written and closed (ERROR_NO_DATA), is read like any other.
            const bool connected =
                connect.ok || connect.error == ERROR_PIPE_CONNECTED || connect.error == ERROR_NO_DATA;

            // The next instance waits while this connection is handled, so a
            // launcher that comes meanwhile still finds the pipe.
            quenda::unique_hfile next = NewInstance(false);
            if (!next) {
                // Reported once per run of failures, not for every client.
                if (!instance_failed) Report(Problem::InstanceFailed, ::GetLastError());
                instance_failed = true;
            } else {
                instance_failed = false;
            }

            if (connected) {
                if (!Receive(current.get())) return;
            } else {
                Report(Problem::ConnectFailed, connect.error);
                if (::WaitForSingleObject(stop_event.get(), kConnectRetryMs) == WAIT_OBJECT_0) return;
            }
            ::DisconnectNamedPipe(current.get());
            // Without a new instance the disconnected one serves again, so
            // the name never goes free for another process to take.
            if (next) current = std::move(next);
        }
    }
};

Server::Server() = default;

Server::~Server() { Stop(); }

bool Server::running() const { return state_ && !state_->stopping(); }

DWORD Server::Start(const std::wstring& pipe_name, OnMessage on_message, OnProblem on_problem,
                    std::size_t max_bytes) {
    if (state_) {
        if (!state_->stopping()) return ERROR_ALREADY_INITIALIZED;
        Stop();  // asked to stop from a callback earlier: end that run first
        if (state_) return ERROR_ALREADY_INITIALIZED;
    }
    if (!IsValidPipeName(pipe_name)) return ERROR_INVALID_NAME;
    if (!on_message || max_bytes == 0 || max_bytes > static_cast<std::size_t>(INT_MAX)) return ERROR_INVALID_PARAMETER;

    auto state = std::make_unique<State>();
    state->path = L"\\\\.\\pipe\\" + pipe_name;
    state->on_message = std::move(on_message);
    state->on_problem = std::move(on_problem);
    state->max_bytes = max_bytes;
    state->chunk.assign(kChunk, '\0');
    if (const DWORD error = state->security.Init()) return error;
    state->stop_event.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    state->io_event.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!state->stop_event || !state->io_event) return ::GetLastError();
    state->first_instance = state->NewInstance(true);
    if (!state->first_instance) return ::GetLastError();

    try {
        state->thread = std::thread([s = state.get()] { s->Serve(); });
    } catch (const std::system_error&) {
        return ERROR_NOT_ENOUGH_MEMORY;  // no thread could be made
    }
    state_ = std::move(state);
    return ERROR_SUCCESS;
}

void Server::Stop() {
    if (!state_) return;
    ::SetEvent(state_->stop_event.get());
    // From a callback: the thread ends once the callback returns; the owner
    // waits for it later.
    if (state_->thread.get_id() == std::this_thread::get_id()) return;
    if (state_->thread.joinable()) state_->thread.join();
    state_.reset();
}

}  // namespace quenda::handover
