// Blocking IPv4 stream sockets for the plug-in client: lookup, connect with the banner,
// sends, waiting receives and the graceful shutdown. Every step reports to the debug log.
//
// Linux differences that matter to a host process: sends never raise SIGPIPE
// (MSG_NOSIGNAL), waits use poll (select cannot watch descriptors above FD_SETSIZE),
// signals interrupting a call are retried, and sends and connects are bounded in time
// so that a server that stops reading cannot hold the host forever.
#include "pluginclient/transport.hpp"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace orvane::plugin {

namespace {

// The calling thread's last socket error, the way the Windows socket library keeps it.
thread_local int tLastError = 0;

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline`, never negative.
int millisecondsLeft(Clock::time_point deadline) noexcept {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until `socket` has one of `events` or the deadline passes: 1 ready, 0 time-out,
// -1 error (errno set). Signals do not shorten the wait.
int waitFor(int socket, short events, Clock::time_point deadline) noexcept {
    for (;;) {
        pollfd pfd{socket, events, 0};
        const int r = ::poll(&pfd, 1, millisecondsLeft(deadline));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) return 0;
        if (pfd.revents & POLLNVAL) {
            errno = EBADF;
            return -1;
        }
        return 1;
    }
}

}  // namespace

int LastSocketError() noexcept { return tLastError; }
void SetLastSocketError(int code) noexcept { tLastError = code; }
void RecordErrno() noexcept { tLastError = SocketErrorFromErrno(errno); }

int SocketErrorFromErrno(int err) noexcept {
    switch (err) {
        case 0: return 0;
        case EINTR: return 10004;
        case EBADF: return 10009;
        case EACCES: return 10013;
        case EFAULT: return 10014;
        case EINVAL: return 10022;
        case EMFILE: return 10024;
        case EAGAIN: return 10035;
        case EINPROGRESS: return 10036;
        case EALREADY: return 10037;
        case ENOTSOCK: return 10038;
        case EDESTADDRREQ: return 10039;
        case EMSGSIZE: return 10040;
        case EPROTOTYPE: return 10041;
        case ENOPROTOOPT: return 10042;
        case EPROTONOSUPPORT: return 10043;
        case ESOCKTNOSUPPORT: return 10044;
        case EOPNOTSUPP: return 10045;
        case EPFNOSUPPORT: return 10046;
        case EAFNOSUPPORT: return 10047;
        case EADDRINUSE: return 10048;
        case EADDRNOTAVAIL: return 10049;
        case ENETDOWN: return 10050;
        case ENETUNREACH: return 10051;
        case ENETRESET: return 10052;
        case ECONNABORTED: return 10053;
        case ECONNRESET: return 10054;
        case ENOBUFS:
        case ENOMEM: return 10055;
        case EISCONN: return 10056;
        case ENOTCONN: return 10057;
        case ESHUTDOWN:
        case EPIPE: return 10058;  // Linux reports a send on a closed connection as EPIPE
        case ETOOMANYREFS: return 10059;
        case ETIMEDOUT: return 10060;
        case ECONNREFUSED: return 10061;
        case ELOOP: return 10062;
        case ENAMETOOLONG: return 10063;
        case EHOSTDOWN: return 10064;
        case EHOSTUNREACH: return 10065;
        case ENOTEMPTY: return 10066;
        case EUSERS: return 10068;
        case EDQUOT: return 10069;
        case ESTALE: return 10070;
        case EREMOTE: return 10071;
        default: return -1;  // "Unknown error"
    }
}

const char* SocketErrorText(int code) noexcept {
    switch (code) {
        case 0: return "No error";
        case 10004: return "Interrupted system call";
        case 10009: return "Bad file number";
        case 10013: return "Permission denied";
        case 10014: return "Bad address";
        case 10022: return "Invalid argument";
        case 10024: return "Too many open sockets";
        case 10035: return "Operation would block";
        case 10036: return "Operation now in progress";
        case 10037: return "Operation already in progress";
        case 10038: return "Socket operation on non-socket";
        case 10039: return "Destination address required";
        case 10040: return "Message too long";
        case 10041: return "Protocol wrong type for socket";
        case 10042: return "Bad protocol option";
        case 10043: return "Protocol not supported";
        case 10044: return "Socket type not supported";
        case 10045: return "Operation not supported on socket";
        case 10046: return "Protocol family not supported";
        case 10047: return "Address family not supported";
        case 10048: return "Address already in use";
        case 10049: return "Can't assign requested address";
        case 10050: return "Network is down";
        case 10051: return "Network is unreachable";
        case 10052: return "Net connection reset";
        case 10053: return "Software caused connection abort";
        case 10054: return "Connection reset by peer";
        case 10055: return "No buffer space available";
        case 10056: return "Socket is already connected";
        case 10057: return "Socket is not connected";
        case 10058: return "Can't send after socket shutdown";
        case 10059: return "Too many references, can't splice";
        case 10060: return "Connection timed out";
        case 10061: return "Connection refused";
        case 10062: return "Too many levels of symbolic links";
        case 10063: return "File name too long";
        case 10064: return "Host is down";
        case 10065: return "No route to host";
        case 10066: return "Directory not empty";
        case 10067: return "Too many processes";
        case 10068: return "Too many users";
        case 10069: return "Disc quota exceeded";
        case 10070: return "Stale NFS file handle";
        case 10071: return "Too many levels of remote in path";
        case 10091: return "Network system is unavailable";
        case 10092: return "Winsock version out of range";
        case 10093: return "WSAStartup not yet called";
        case 10101: return "Graceful shutdown in progress";
        case 11001: return "Host not found";
        case 11004: return "No host data of that type was found";
        default: return "Unknown error";
    }
}

const char* SocketErrorText() noexcept { return SocketErrorText(tLastError); }

std::uint32_t LookupAddress(const char* host) noexcept {
    if (!host) {
        SetLastSocketError(11001);
        DebugLogWrite("Unknown host.\n");
        return kNoAddress;
    }
    DebugLogWrite("Host: %s\n", host);
    const in_addr_t dotted = ::inet_addr(host);
    if (dotted != INADDR_NONE) return dotted;

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host, nullptr, &hints, &found);
    if (rc == 0 && found && found->ai_addr && found->ai_addrlen >= sizeof(sockaddr_in)) {
        const std::uint32_t address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
        ::freeaddrinfo(found);
        return address;
    }
    if (found) ::freeaddrinfo(found);
    switch (rc) {
        case EAI_NODATA:
        case EAI_ADDRFAMILY: SetLastSocketError(11004); break;
        case EAI_AGAIN: SetLastSocketError(11002); break;
        case EAI_MEMORY: SetLastSocketError(10055); break;
        case EAI_SYSTEM: RecordErrno(); break;
        default: SetLastSocketError(11001); break;
    }
    DebugLogWrite("Unknown host.\n");
    return kNoAddress;
}

int EstablishConnection(std::uint32_t address, std::uint16_t port) noexcept {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        RecordErrno();
        return kInvalidSocket;
    }
    // On Linux the send time-out also bounds a blocking connect.
    const timeval sendLimit{kSendTimeoutSeconds, 0};
    ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
    // Segment headers and their data go out in separate sends; with Nagle's algorithm the
    // data of a small request would wait for the server's delayed acknowledgement.
    const int noDelay = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = port;
    to.sin_addr.s_addr = address;
    if (::connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return s;

    int err = errno;
    if (err == EINTR) {
        // The connect goes on in the background; wait for its outcome.
        const auto deadline = Clock::now() + std::chrono::seconds(kSendTimeoutSeconds);
        const int ready = waitFor(s, POLLOUT, deadline);
        socklen_t len = sizeof err;
        if (ready == 1 && ::getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0) return s;
        if (ready == 0) err = ETIMEDOUT;
        if (ready < 0) err = errno;
    } else if (err == EINPROGRESS || err == EAGAIN) {
        err = ETIMEDOUT;  // the send time-out ran out before the handshake finished
    }
    ::close(s);
    SetLastSocketError(SocketErrorFromErrno(err));
    return kInvalidSocket;
}

bool SendRequest(int socket, const void* bytes, int length) noexcept {
    if (length < 0 || (!bytes && length > 0)) {
        SetLastSocketError(10014);
        return false;
    }
    // A blocking send returns short only when a signal or the send time-out cut it; the
    // rest still goes out so that the server receives what the segment header announced.
    const char* p = static_cast<const char*>(bytes);
    std::size_t left = static_cast<std::size_t>(length);
    while (left > 0) {
        const ssize_t n = ::send(socket, p, left, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) {
                SetLastSocketError(10060);
            } else {
                RecordErrno();
            }
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

int ReadReply(int socket, void* buffer, int length, int timeoutSeconds) noexcept {
    if (!buffer || length < 1) {
        SetLastSocketError(10022);
        DebugLogWrite("Receive: %s\n", SocketErrorText());
        return -1;
    }
    char* bytes = static_cast<char*>(buffer);
    const std::size_t size = static_cast<std::size_t>(length);
    const auto deadline = Clock::now() + std::chrono::seconds(timeoutSeconds > 0 ? timeoutSeconds : 0);
    const int ready = waitFor(socket, POLLIN, deadline);
    if (ready < 0) {
        RecordErrno();
        std::memset(bytes, 0, size);
        DebugLogWrite("Select : %s\n", SocketErrorText());
        return -1;
    }
    if (ready == 0) {
        std::memset(bytes, 0, size);
        DebugLogWrite("Select timeout.\n");
        return 0;
    }
    ssize_t n;
    do {
        n = ::recv(socket, bytes, size, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) RecordErrno();
    DebugLogWrite("nTotalBytes = %d\n", static_cast<int>(n));
    if (n < 0) {
        std::memset(bytes, 0, size);
        DebugLogWrite("Receive: %s\n", SocketErrorText());
        return -1;
    }
    // Bytes past those received read as zero; only the tail needs clearing.
    std::memset(bytes + n, 0, size - static_cast<std::size_t>(n));
    if (n == 0) {
        DebugLogWrite("Connection closed by peer.\n");
        return 0;
    }
    return static_cast<int>(n);
}

bool ShutdownConnection(int socket) noexcept {
    bool ok = true;
    if (::shutdown(socket, SHUT_WR) != 0) {
        RecordErrno();
        ok = false;
    } else {
        // Drain until the server closes its side, for a bounded time only.
        const auto deadline = Clock::now() + std::chrono::seconds(kDrainLimitSeconds);
        char sink[1024];
        for (;;) {
            const int ready = waitFor(socket, POLLIN, deadline);
            if (ready <= 0) {
                if (ready == 0) {
                    SetLastSocketError(10060);
                } else {
                    RecordErrno();
                }
                ok = false;
                break;
            }
            const ssize_t n = ::recv(socket, sink, sizeof sink, 0);
            if (n == 0) break;
            if (n < 0 && errno != EINTR) {
                RecordErrno();
                ok = false;
                break;
            }
        }
    }
    if (::close(socket) != 0 && ok) {
        RecordErrno();
        ok = false;
    }
    return ok;
}

int ConnectToServer(int* socket, const char* host, int port, int* sendBufSize, int* receiveBufSize) noexcept {
    const std::uint32_t address = LookupAddress(host);
    if (address == kNoAddress) {
        DebugLogWrite("LookupAddress failed: %s\n", SocketErrorText());
        return 3;
    }
    in_addr shown{};
    shown.s_addr = address;
    char dotted[INET_ADDRSTRLEN] = "";
    ::inet_ntop(AF_INET, &shown, dotted, sizeof dotted);
    DebugLogWrite("%s : %d\n", dotted, port);
    DebugLogWrite("Connecting to remote host...\n");

    // The port travels as a 16-bit number, as the socket address holds it.
    const int s = EstablishConnection(address, htons(static_cast<std::uint16_t>(port)));
    if (socket) *socket = s;
    if (s == kInvalidSocket) {
        DebugLogWrite("EstablishConnection failed: %s\n", SocketErrorText());
        return 3;
    }
    DebugLogWrite("Connected, socket %d\n", s);

    char banner[kBannerBytes];
    const int got = ReadReply(s, banner, kBannerBytes, kReceiveTimeoutSeconds);
    if (got < 1) {
        DebugLogWrite("Banner read failed ");
        ::close(s);
        if (socket) *socket = kInvalidSocket;
        return 3;
    }
    // A full banner has no terminator: print only what arrived.
    DebugLogWrite("Banner read: '%.*s'\n", static_cast<int>(strnlen(banner, static_cast<std::size_t>(got))), banner);

    socklen_t len = sizeof(int);
    if (sendBufSize) ::getsockopt(s, SOL_SOCKET, SO_SNDBUF, sendBufSize, &len);
    len = sizeof(int);
    if (receiveBufSize) ::getsockopt(s, SOL_SOCKET, SO_RCVBUF, receiveBufSize, &len);
    return 0;
}

int SendToServer(int socket, const void* bytes, int length) noexcept {
    if (!SendRequest(socket, bytes, length)) {
        DebugLogWrite("Sending request failed: %s\n", SocketErrorText());
        return -1;
    }
    return 0;
}

int ReceiveFromServer(int socket, void* buffer, int length) noexcept {
    const int n = ReadReply(socket, buffer, length, kReceiveTimeoutSeconds);
    if (n < 1) {
        DebugLogWrite("Response read failed\n");
        return -1;
    }
    if (n == length) DebugLogWrite("Buffer was totally full when received.\n");
    return n;
}

int CloseServerConnection(int socket) noexcept {
    DebugLogWrite("Shutting connection down...\n");
    if (!ShutdownConnection(socket)) {
        DebugLogWrite("Shut down failed: %s\n", SocketErrorText());
        return 3;
    }
    DebugLogWrite("Connection is down.\n");
    DebugLogWrite("All done!\n");
    return 0;
}

}  // namespace orvane::plugin
