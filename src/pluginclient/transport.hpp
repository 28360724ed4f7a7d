// The blocking TCP layer under the plug-in protocol, and its debug log. Nothing here is
// exported; the protocol functions (protocol.cpp) are the only users, and the tests.
#pragma once

#include <cstdint>

namespace orvane::plugin {

// Every receive of the plug-in client waits at most this long for data.
inline constexpr int kReceiveTimeoutSeconds = 20;
// A send that makes no progress for this long fails (a server that stops reading must
// not hold the host forever); the same bound limits a connect.
inline constexpr int kSendTimeoutSeconds = 20;
// The graceful shutdown drains what the server still sends for at most this long in
// total before it gives up and closes the socket anyway.
inline constexpr int kDrainLimitSeconds = 5;
inline constexpr int kBannerBytes = 1024;
inline constexpr std::uint32_t kNoAddress = 0xFFFFFFFFu;
inline constexpr int kInvalidSocket = -1;

// The log file; it is written only once somebody has created it.
inline constexpr const char* kDebugLogPath = "/tmp/debug_hubc.log";

// Last socket error of the calling thread, as a Windows Sockets number (errno values are
// mapped by name; resolver failures give 11001 / 11004).
int LastSocketError() noexcept;
void SetLastSocketError(int code) noexcept;
// Records the current errno as the thread's last socket error.
void RecordErrno() noexcept;
int SocketErrorFromErrno(int err) noexcept;
// Fixed English text for a Windows Sockets number; "Unknown error" for any other.
const char* SocketErrorText(int code) noexcept;
// Text of the calling thread's last socket error.
const char* SocketErrorText() noexcept;

std::uint32_t LookupAddress(const char* host) noexcept;
int EstablishConnection(std::uint32_t address, std::uint16_t port) noexcept;
bool SendRequest(int socket, const void* bytes, int length) noexcept;
int ReadReply(int socket, void* buffer, int length, int timeoutSeconds) noexcept;
bool ShutdownConnection(int socket) noexcept;

int ConnectToServer(int* socket, const char* host, int port, int* sendBufSize,
                    int* receiveBufSize) noexcept;
int SendToServer(int socket, const void* bytes, int length) noexcept;
int ReceiveFromServer(int socket, void* buffer, int length) noexcept;
int CloseServerConnection(int socket) noexcept;

void DebugLogBegin() noexcept;
void DebugLogWrite(const char* format, ...) noexcept __attribute__((format(printf, 1, 2)));
void DebugLogEnd() noexcept;

// Tests point the log at a file of their own so that parallel runs do not share one;
// NULL restores the fixed path. Also resets the switch to its load-time state (off).
void DebugLogUseFileForTesting(const char* path) noexcept;

}  // namespace orvane::plugin
