// The tqServer_ family: frames buffers and files as segments for a plug-in server and
// reads its sized replies, over the socket layer of transport.cpp. The payload is never
// interpreted; the library only trusts the server's size prefix as far as it is safe to.
#include <sys/stat.h>

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frame/boundary.hpp"
#include "orvane.h"
#include "pluginclient/transport.hpp"

namespace orvane::plugin {
namespace {

// Used when the platform did not report a buffer size, so that chunking still advances.
constexpr int kFallbackBufferSize = 8192;
// A reply block starts at most this large and grows as the data actually arrives, so a
// server's size word alone never commits an absurd amount of memory.
constexpr std::size_t kInitialReplyBlock = std::size_t{16} << 20;

// Opens the debug log for one exported operation with its first line, and on every way
// out (early results and exceptions alike) writes its last line, if it has one, and
// closes the log.
class LogSession {
public:
    explicit LogSession(const char* first, const char* last = nullptr) noexcept : last_(last) {
        DebugLogBegin();
        DebugLogWrite("%s", first);
    }
    ~LogSession() {
        if (last_) DebugLogWrite("%s", last_);
        DebugLogEnd();
    }
    LogSession(const LogSession&) = delete;
    LogSession& operator=(const LogSession&) = delete;

private:
    const char* last_;
};

int usable(int bufferSize) noexcept { return bufferSize > 0 ? bufferSize : kFallbackBufferSize; }

// Decimal port text: leading blanks, an optional sign, digits up to the first non-digit;
// no digits give 0. Saturates instead of overflowing.
int parsePort(const char* text) noexcept {
    while (std::isspace(static_cast<unsigned char>(*text))) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    long long value = 0;
    while (*text >= '0' && *text <= '9') {
        if (value < INT_MAX) value = value * 10 + (*text - '0');
        ++text;
    }
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<int>(negative ? -value : value);
}

void putSize(unsigned char* out, std::int32_t size) noexcept {
    const auto u = static_cast<std::uint32_t>(size);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(u >> (8 * i));
}

std::int32_t getSize(const char* in) noexcept {
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(static_cast<unsigned char>(in[i])) << (8 * i);
    return static_cast<std::int32_t>(u);
}

// The one send of the segment header: type byte and little-endian size.
bool sendHeader(int socket, char type, std::int32_t size) noexcept {
    unsigned char header[5];
    header[0] = static_cast<unsigned char>(type);
    putSize(header + 1, size);
    return SendToServer(socket, header, 5) == 0;
}

// Receive buffer of the reply readers, released on every way out.
struct Block {
    char* bytes = nullptr;
    ~Block() { std::free(bytes); }
};

// Reads the first piece of a reply into `piece` (cap bytes) and returns its count as the
// trace shows it.
int firstPiece(const socketData* connection, Block& piece, int cap) noexcept {
    piece.bytes = static_cast<char*>(std::malloc(static_cast<std::size_t>(cap)));
    if (!piece.bytes) {
        DebugLogWrite("ERROR: No memory for a receive buffer of %d bytes.\n", cap);
        return -1;
    }
    const int n = ReceiveFromServer(connection->socket, piece.bytes, cap);
    DebugLogWrite("nBytesRead = %d\n", n);
    return n;
}

}  // namespace
}  // namespace orvane::plugin

using namespace orvane::plugin;

extern "C" {

TQ_API int tqServer_openConnectionToPlugin(socketData** connection, const char* host, const char* port,
                                           const char* initSequence, char* serverReply) noexcept {
    return orvane::guarded(3, [&]() -> int {
        LogSession log("###### tqServer_openConnectionToPlugin()\n", "tqServer_openConnectionToPlugin() Done\n");
        if (!connection || !host || !port || !initSequence) {
            DebugLogWrite("Could not send open socket to server %s port %s\n", host ? host : "", port ? port : "");
            return 3;
        }
        auto* record = static_cast<socketData*>(std::calloc(1, sizeof(socketData)));
        if (!record) {
            DebugLogWrite("Could not send open socket to server %s port %s\n", host, port);
            return 3;
        }
        record->socket = kInvalidSocket;
        const int rc = ConnectToServer(&record->socket, host, parsePort(port), &record->maxSendBufSize,
                                       &record->maxReceiveBufSize);
        if (rc != 0) {
            DebugLogWrite("Could not send open socket to server %s port %s\n", host, port);
            std::free(record);
            return rc;
        }
        *connection = record;
        DebugLogWrite("Socket open.\n");

        // '%', at most 10 characters and the terminator: a longer sequence is refused
        // rather than cut, so the server never sees a different request than was asked.
        const std::size_t initLength = strnlen(initSequence, TQ_SERVER_INIT_MAX_CHARS + 1);
        char message[TQ_SERVER_INIT_MAX_CHARS + 2] = {'%'};
        int result = 0;
        if (initLength > TQ_SERVER_INIT_MAX_CHARS) {
            DebugLogWrite("Could not send plugin init sequence '%s' to socket\n", initSequence);
            result = -1;
        } else {
            std::memcpy(message + 1, initSequence, initLength);
            message[initLength + 1] = '\0';
            if (SendToServer(record->socket, message, static_cast<int>(initLength) + 2) != 0) {
                DebugLogWrite("Could not send plugin init sequence '%s' to socket\n", initSequence);
                result = -1;
            } else {
                char answer[7];
                ReceiveFromServer(record->socket, answer, sizeof answer);
                if (answer[0] != 'O' || answer[1] != 'K') {
                    answer[2] = '\0';
                    DebugLogWrite("ERROR: Server did not like connection. Error (%s)\n", answer);
                    result = -1;
                }
                if (serverReply) {
                    std::memset(serverReply, 0, TQ_SERVER_REPLY_BYTES);
                    std::memcpy(serverReply, answer + 2, strnlen(answer + 2, 5));
                }
            }
        }
        return result;
    });
}

TQ_API void tqServer_closeConnectionToPlugin(socketData* connection) noexcept {
    if (!connection) return;
    LogSession log("##### tqServer_closeConnectionToPlugin()\n");
    if (SendToServer(connection->socket, "X", 1) != 0) DebugLogWrite("Could not send plugin close.\n");
    CloseServerConnection(connection->socket);
    std::free(connection);
}

TQ_API int tqServer_sendBufferToPlugin(socketData* connection, const void* buffer, int size) noexcept {
    if (!connection) return -1;
    return orvane::guarded(-1, [&]() -> int {
        LogSession log("##### tqServer_sendBufferToPlugin()\n", "tqServer_sendBufferToPlugin() Done\n");
        int result = 0;
        if (size < 0 || (!buffer && size > 0) || !sendHeader(connection->socket, 'B', size)) {
            DebugLogWrite("Failed to send start of segment.\n");
            result = -1;
        } else {
            const char* bytes = static_cast<const char*>(buffer);
            const int chunk = usable(connection->maxSendBufSize);
            for (int offset = 0; offset < size;) {
                const int n = size - offset < chunk ? size - offset : chunk;
                if (SendToServer(connection->socket, bytes + offset, n) != 0) break;
                offset += n;
            }
        }
        return result;
    });
}

TQ_API int tqServer_sendFileToPlugin(socketData* connection, const char* path) noexcept {
    if (!connection || !path) return -1;
    return orvane::guarded(-1, [&]() -> int {
        LogSession log("##### tqServer_sendFileToPlugin()\n", "tqServer_sendFileToPlugin() Done\n");
        const int result = [&]() -> int {
            struct stat st {};
            if (::stat(path, &st) != 0) {
                DebugLogWrite("Failed to get stats on file '%s'.\n", path);
                return -1;
            }
            // A segment size is a signed 32-bit number; a directory or device has no
            // length to announce.
            if (st.st_size > INT32_MAX) {
                DebugLogWrite("File '%s' is too large for one segment.\n", path);
                return -1;
            }
            std::FILE* file = S_ISREG(st.st_mode) ? std::fopen(path, "rbe") : nullptr;
            if (!file) {
                DebugLogWrite("Error opening file '%s'.\n", path);
                return -1;
            }
            const int length = static_cast<int>(st.st_size);
            const int chunk = usable(connection->maxSendBufSize);
            Block buffer;
            buffer.bytes = static_cast<char*>(std::malloc(static_cast<std::size_t>(chunk)));
            int status = 0;
            if (!buffer.bytes) {
                DebugLogWrite("ERROR: No memory for a chunk buffer of %d bytes.\n", chunk);
                status = -1;
            } else if (!sendHeader(connection->socket, 'F', length)) {
                DebugLogWrite("Failed to send start of segment.\n");
                status = -1;
            } else {
                for (int sent = 0; sent < length;) {
                    const int n = length - sent < chunk ? length - sent : chunk;
                    const std::size_t got = std::fread(buffer.bytes, 1, static_cast<std::size_t>(n), file);
                    if (got < static_cast<std::size_t>(n)) {
                        // The file shrank meanwhile: the header's count still goes out.
                        DebugLogWrite("Error in nBytes read from file.\n");
                        std::memset(buffer.bytes + got, 0, static_cast<std::size_t>(n) - got);
                    }
                    if (SendToServer(connection->socket, buffer.bytes, n) != 0) break;
                    sent += n;
                }
            }
            std::fclose(file);
            return status;
        }();
        return result;
    });
}

TQ_API int tqServer_getDataFromPlugin(socketData* connection, void** returnBuffer, int* returnBufferSize) noexcept {
    if (!connection || !returnBuffer || !returnBufferSize) return -1;
    return orvane::guarded(-1, [&]() -> int {
        LogSession log("##### tqServer_getDataFromPlugin()\n", "tqServer_getDataFromPlugin() Done\n");
        const int cap = usable(connection->maxReceiveBufSize);
        DebugLogWrite("socketData->maxReceiveBufSize  = %d\n", cap);
        Block piece;
        const int result = [&]() -> int {
            const int n = firstPiece(connection, piece, cap);
            if (n < 4) {
                DebugLogWrite("ERROR: Did not receive enough data for return buffer size.\n");
                return -1;
            }
            const std::int32_t size = getSize(piece.bytes);
            DebugLogWrite("*returnBufferSize = %d\n", size);
            if (size < 0) {
                DebugLogWrite("ERROR: Invalid return buffer size %d.\n", size);
                return -1;
            }
            const auto total = static_cast<std::size_t>(size);
            std::size_t capacity = total < kInitialReplyBlock ? total : kInitialReplyBlock;
            Block reply;
            reply.bytes = static_cast<char*>(std::malloc(capacity > 0 ? capacity : 1));
            if (!reply.bytes) {
                DebugLogWrite("ERROR: No memory for a reply of %d bytes.\n", size);
                return -1;
            }
            // Bytes beyond the announced size in the first piece are dropped; later
            // receives never ask for more than the reply still needs.
            std::size_t have = static_cast<std::size_t>(n - 4) < total ? static_cast<std::size_t>(n - 4) : total;
            std::memcpy(reply.bytes, piece.bytes + 4, have);
            while (have < total) {
                const std::size_t want = total - have < static_cast<std::size_t>(cap) ? total - have
                                                                                      : static_cast<std::size_t>(cap);
                if (have + want > capacity) {
                    std::size_t grown = capacity * 2 > have + want ? capacity * 2 : have + want;
                    if (grown > total) grown = total;
                    char* bigger = static_cast<char*>(std::realloc(reply.bytes, grown));
                    if (!bigger) {
                        DebugLogWrite("ERROR: No memory for a reply of %d bytes.\n", size);
                        return -1;
                    }
                    reply.bytes = bigger;
                    capacity = grown;
                }
                const int got = ReceiveFromServer(connection->socket, reply.bytes + have, static_cast<int>(want));
                DebugLogWrite("nBytesRead = %d\n", got);
                if (got < 1) {
                    DebugLogWrite("ERROR: Reply ended after %d of %d bytes.\n", static_cast<int>(have), size);
                    return -1;
                }
                have += static_cast<std::size_t>(got);
            }
            *returnBuffer = reply.bytes;
            *returnBufferSize = size;
            reply.bytes = nullptr;
            return 0;
        }();
        return result;
    });
}

TQ_API int tqServer_getFileFromPlugin(socketData* connection, const char* path) noexcept {
    if (!connection || !path) return -1;
    return orvane::guarded(-1, [&]() -> int {
        LogSession log("##### tqServer_getFileFromPlugin()\n", "tqServer_getFileFromPlugin() Done\n");
        const int cap = usable(connection->maxReceiveBufSize);
        DebugLogWrite("socketData->maxReceiveBufSize  = %d\n", cap);
        Block piece;
        const int result = [&]() -> int {
            const int n = firstPiece(connection, piece, cap);
            if (n < 4) {
                DebugLogWrite("ERROR: Did not receive enough data for return file size. %d\n", n);
                return -1;
            }
            const std::int32_t size = getSize(piece.bytes);
            DebugLogWrite("returnFileSize = %d\n", size);
            if (size < 0) {
                DebugLogWrite("ERROR: Invalid return file size %d.\n", size);
                return -1;
            }
            std::FILE* file = std::fopen(path, "wbe");
            if (!file) DebugLogWrite("Error opening return file '%s'.\n", path);
            // Pieces are large already; stdio's own buffer would only add a copy.
            if (file) std::setvbuf(file, nullptr, _IONBF, 0);
            bool writeFailed = false;
            auto put = [&](const char* bytes, std::size_t count) {
                if (!file || writeFailed || count == 0) return;
                if (std::fwrite(bytes, 1, count, file) != count) {
                    writeFailed = true;
                    DebugLogWrite("Error writing return file '%s'.\n", path);
                }
            };
            const auto total = static_cast<std::size_t>(size);
            std::size_t have = static_cast<std::size_t>(n - 4) < total ? static_cast<std::size_t>(n - 4) : total;
            put(piece.bytes + 4, have);
            bool cutShort = false;
            while (have < total) {
                const std::size_t want = total - have < static_cast<std::size_t>(cap) ? total - have
                                                                                      : static_cast<std::size_t>(cap);
                const int got = ReceiveFromServer(connection->socket, piece.bytes, static_cast<int>(want));
                DebugLogWrite("nBytesRead = %d\n", got);
                if (got < 1) {
                    DebugLogWrite("ERROR: Reply ended after %d of %d bytes.\n", static_cast<int>(have), size);
                    cutShort = true;
                    break;
                }
                put(piece.bytes, static_cast<std::size_t>(got));
                have += static_cast<std::size_t>(got);
            }
            if (!file) return cutShort ? -1 : 0;
            if (std::fclose(file) != 0 && !writeFailed) {
                writeFailed = true;
                DebugLogWrite("Error writing return file '%s'.\n", path);
            }
            // A partial file would look like a complete reply: remove it.
            if (cutShort || writeFailed) {
                std::remove(path);
                return -1;
            }
            return 0;
        }();
        return result;
    });
}

}  // extern "C"
