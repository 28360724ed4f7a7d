// The buffered file stream behind the oxWinAPI_f functions: one open descriptor, one
// buffer, one position shared by reading and writing, and two sticky flags.
//
// Positions are 64-bit inside; only the exported interface narrows them to int.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

struct oxStream {
    int fd = -1;
    bool canRead = false;
    bool canWrite = false;
    bool append = false;  // every write goes to the end of the file
    bool text = false;    // CR LF in the file is LF to the host, and back
    bool eof = false;     // sticky: a read reached the end
    bool failed = false;  // sticky: something could not be done

    enum class Io : unsigned char { idle, reading, writing };
    Io io = Io::idle;

    // Reading: buf[idx, avail) are file bytes from offset base + idx on, ready to hand
    // out; a carriage return at buf[avail] (then len == avail + 1) is held back until
    // the next byte of the file shows whether it starts a line end.
    // Writing: buf[0, len) wait to be written at offset base (at the end for append).
    // The position is base + idx when reading or idle, base + len when writing.
    unsigned char* buf = nullptr;
    std::size_t cap = 0;
    off_t base = 0;
    std::size_t idx = 0;
    std::size_t avail = 0;
    std::size_t len = 0;
};

namespace orvane::host {

// Size of the buffer of every stream the host opens.
inline constexpr std::size_t kStreamBuffer = std::size_t{64} << 10;

// What a mode string asks for (see openStream for the rules).
struct StreamMode {
    bool read = false;
    bool write = false;
    bool append = false;
    bool create = false;
    bool truncate = false;
    bool text = true;
};

// Turns a mode string into open flags; false when it opens nothing.
bool parseStreamMode(const char* mode, StreamMode& out) noexcept;

// Opens `path` with a buffer of `bufferSize` bytes (at least 2); nullptr when the file
// cannot be opened in that mode or memory is short. Not a regular file or character
// device (a folder, a pipe, a socket) cannot be opened.
oxStream* openStream(const char* path, const char* mode, std::size_t bufferSize);

// Flushes, closes and frees; nullptr is ignored.
void closeStream(oxStream* s) noexcept;

// The stream operations behind the exported functions, without the NULL checks.
std::size_t readBytes(oxStream& s, void* out, std::size_t n) noexcept;
std::int64_t writeBytes(oxStream& s, const void* data, std::size_t n) noexcept;  // position delta
int getChar(oxStream& s) noexcept;
// Line input with room for `room` characters (room may be 0) plus the terminating zero.
// Returns the number of characters taken from the stream (a line end counts as one).
std::size_t readLine(oxStream& s, char* out, std::size_t room) noexcept;
void seek(oxStream& s, std::int64_t offset, int origin) noexcept;
std::int64_t tell(const oxStream& s) noexcept;  // -1 when failed
void flush(oxStream& s) noexcept;

}  // namespace orvane::host
