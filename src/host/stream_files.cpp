// The oxWinAPI_f stream family: stdio-shaped calls over the library's own buffered stream
// (host/stream.hpp), on a POSIX descriptor read and written with pread/pwrite at the
// stream's own position.
//
// What differs from stdio is part of the interface: text streams turn CR LF into LF and
// back on Linux too, counts are bytes, line input drops the line feed, and the end-of-file
// and failed flags are sticky for the life of the stream (no seek clears them).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "frame/boundary.hpp"
#include "host/stream.hpp"
#include "orvane.h"

namespace orvane::host {
namespace {

// Requests above this many bytes cannot be reported in an int count and are refused.
constexpr std::size_t kLargestRequest = INT_MAX;

bool contains(const char* text, const char* part) noexcept { return std::strstr(text, part) != nullptr; }

// pread until `n` bytes, the end of the file or an error: bytes read, or -1 when an error
// came before any byte.
ssize_t readAt(int fd, void* out, std::size_t n, off_t at) noexcept {
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fd, static_cast<char*>(out) + got, n - got, at + static_cast<off_t>(got));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return got ? static_cast<ssize_t>(got) : -1;
        if (r == 0) break;
        got += static_cast<std::size_t>(r);
    }
    return static_cast<ssize_t>(got);
}

// Writes all `n` bytes at `at` (or at the end for an append stream); false on any error.
bool writeAll(oxStream& s, const void* data, std::size_t n, off_t at) noexcept {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t r = s.append ? ::write(s.fd, p, n) : ::pwrite(s.fd, p, n, at);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        p += r;
        at += r;
        n -= static_cast<std::size_t>(r);
    }
    return true;
}

// Hands the pending output to the file. A failure drops it and fails the stream.
bool flushOut(oxStream& s) noexcept {
    if (s.io != oxStream::Io::writing || s.len == 0) return true;
    const std::size_t n = s.len;
    s.len = 0;
    if (!writeAll(s, s.buf, n, s.base)) {
        s.failed = true;
        return false;
    }
    s.base += static_cast<off_t>(n);
    if (s.append) {
        // Another writer may have appended too: the position is where our bytes ended.
        const off_t end = ::lseek(s.fd, 0, SEEK_CUR);
        if (end >= 0) s.base = end;
    }
    return true;
}

// Leaves reading or writing; the position stays where it is.
bool toIdle(oxStream& s) noexcept {
    if (s.io == oxStream::Io::writing) {
        if (!flushOut(s)) return false;
    } else if (s.io == oxStream::Io::reading) {
        s.base += static_cast<off_t>(s.idx);
    }
    s.idx = s.avail = s.len = 0;
    s.io = oxStream::Io::idle;
    return true;
}

bool toWriting(oxStream& s) noexcept {
    if (s.io == oxStream::Io::writing) return true;
    if (!toIdle(s)) return false;
    if (s.append) {
        const off_t end = ::lseek(s.fd, 0, SEEK_END);
        if (end < 0) return false;
        s.base = end;
    }
    s.io = oxStream::Io::writing;
    return true;
}

// Makes buf[idx] ready to read: 1 when it is, 0 at the end of the file, -1 on an error.
// In a text stream a carriage return that ends what the file gave so far is held back
// until the next byte is known, so a CR LF pair is never split between two fills.
int fill(oxStream& s) noexcept {
    if (s.io == oxStream::Io::reading && s.idx < s.avail) return 1;
    if (s.io != oxStream::Io::reading) {
        if (!toIdle(s)) return -1;
        s.io = oxStream::Io::reading;
    }
    if (!s.canRead) return 0;
    const std::size_t keep = s.len - s.idx;  // the held-back carriage return, if any
    if (keep) std::memmove(s.buf, s.buf + s.idx, keep);
    s.base += static_cast<off_t>(s.idx);
    s.idx = 0;
    s.len = keep;
    s.avail = 0;
    for (;;) {
        const ssize_t r = ::pread(s.fd, s.buf + s.len, s.cap - s.len, s.base + static_cast<off_t>(s.len));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) {
            s.avail = s.len;  // a held carriage return ends the file: an ordinary byte
            return s.avail ? 1 : 0;
        }
        s.len += static_cast<std::size_t>(r);
        if (!s.text || s.buf[s.len - 1] != '\r') {
            s.avail = s.len;
            return 1;
        }
        s.avail = s.len - 1;
        if (s.avail) return 1;
        // Only the carriage return so far: read on to learn what follows it.
    }
}

// True when the byte at buf[i] (i < avail) starts a CR LF pair of a text stream.
inline bool lineEndAt(const oxStream& s, std::size_t i) noexcept {
    return s.text && s.buf[i] == '\r' && i + 1 < s.len && s.buf[i + 1] == '\n';
}

// A read or write tried while a flag is set does nothing and fails the stream.
bool refuseFlagged(oxStream& s) noexcept {
    if (!s.eof && !s.failed) return false;
    s.failed = true;
    return true;
}

}  // namespace

bool parseStreamMode(const char* mode, StreamMode& m) noexcept {
    m = StreamMode{};
    if (!mode) return false;
    // The "+" forms are tried first, in this order, and are always text streams.
    if (contains(mode, "r+")) {
        m.read = m.write = true;
        return true;
    }
    if (contains(mode, "w+")) {
        m.read = m.write = m.create = m.truncate = true;
        return true;
    }
    if (contains(mode, "a+")) {
        m.read = m.write = m.append = m.create = true;
        return true;
    }
    // Otherwise each letter adds its part; anything else, "+" included, is ignored.
    bool r = false, w = false, a = false;
    for (const char* p = mode; *p; ++p) {
        switch (*p) {
            case 'r': r = true; break;
            case 'w': w = true; break;
            case 'a': a = true; break;
            case 'b': m.text = false; break;
            default: break;
        }
    }
    if (!r && !w && !a) return false;
    m.read = r;
    m.write = w || a;
    m.append = a;
    m.create = (w && !r) || a;  // "rw" needs an existing file; "a" creates it
    m.truncate = w && !r && !a;
    return true;
}

oxStream* openStream(const char* path, const char* mode, std::size_t bufferSize) {
    StreamMode m;
    if (!path || !parseStreamMode(mode, m) || bufferSize < 2) return nullptr;
    // The memory comes first: an open that runs out of it must not have created or
    // emptied the file.
    auto* s = new (std::nothrow) oxStream;
    auto* buf = static_cast<unsigned char*>(std::malloc(bufferSize));
    const auto fail = [&]() -> oxStream* {
        delete s;
        std::free(buf);
        return nullptr;
    };
    if (!s || !buf) return fail();
    int flags = O_CLOEXEC | O_NONBLOCK;  // O_NONBLOCK: a pipe must not hang the open
    flags |= m.read && m.write ? O_RDWR : m.write ? O_WRONLY : O_RDONLY;
    if (m.create) flags |= O_CREAT;
    if (m.truncate) flags |= O_TRUNC;
    if (m.append) flags |= O_APPEND;
    int fd;
    do fd = ::open(path, flags, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return fail();
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISCHR(st.st_mode))) {
        ::close(fd);
        return fail();
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    s->fd = fd;
    s->canRead = m.read;
    s->canWrite = m.write;
    s->append = m.append;
    s->text = m.text;
    s->buf = buf;
    s->cap = bufferSize;
    // A stream that only appends starts where its writes will go; one that also reads
    // starts at the beginning.
    if (m.append && !m.read) s->base = S_ISREG(st.st_mode) ? st.st_size : 0;
    return s;
}

void closeStream(oxStream* s) noexcept {
    if (!s) return;
    flushOut(*s);
    ::close(s->fd);
    std::free(s->buf);
    delete s;
}

std::size_t readBytes(oxStream& s, void* out, std::size_t n) noexcept {
    if (refuseFlagged(s)) return 0;
    if (n > kLargestRequest) {
        s.failed = true;
        return 0;
    }
    auto* dst = static_cast<unsigned char*>(out);
    std::size_t got = 0;
    int state = 1;
    while (got < n) {
        if (!s.text && s.canRead && n - got >= s.cap && (s.io != oxStream::Io::reading || s.idx == s.avail)) {
            // A large binary read goes straight into the host's buffer.
            if (!toIdle(s)) {
                state = -1;
                break;
            }
            s.io = oxStream::Io::reading;
            const ssize_t r = readAt(s.fd, dst + got, n - got, s.base);
            if (r < 0) {
                state = -1;
                break;
            }
            s.base += r;
            got += static_cast<std::size_t>(r);
            if (got < n) state = 0;
            break;
        }
        state = fill(s);
        if (state <= 0) break;
        if (!s.text) {
            const std::size_t take = std::min(n - got, s.avail - s.idx);
            std::memcpy(dst + got, s.buf + s.idx, take);
            s.idx += take;
            got += take;
            continue;
        }
        // Text: copy runs up to each carriage return, then decide what it is.
        while (got < n && s.idx < s.avail) {
            const std::size_t room = std::min(n - got, s.avail - s.idx);
            const void* cr = std::memchr(s.buf + s.idx, '\r', room);
            const std::size_t run = cr ? static_cast<const unsigned char*>(cr) - (s.buf + s.idx) : room;
            std::memcpy(dst + got, s.buf + s.idx, run);
            s.idx += run;
            got += run;
            if (!cr) break;
            if (lineEndAt(s, s.idx)) {
                dst[got++] = '\n';
                s.idx += 2;
            } else {
                dst[got++] = '\r';
                s.idx += 1;
            }
        }
    }
    if (got < n) {
        if (state == 0) s.eof = true;
        s.failed = true;
    }
    return got;
}

std::int64_t writeBytes(oxStream& s, const void* data, std::size_t n) noexcept {
    if (refuseFlagged(s)) return 0;
    const std::int64_t before = tell(s);
    bool ok = s.canWrite && n <= kLargestRequest && toWriting(s);
    // After a seek far past the end, a write whose end (each byte doubled on a text
    // stream) no position can hold cannot be made.
    if (ok && before > INT64_MAX - 2 * static_cast<std::int64_t>(n)) ok = false;
    const auto* src = static_cast<const unsigned char*>(data);
    std::size_t done = 0;
    while (ok && done < n) {
        if (!s.text) {
            if (s.len == 0 && n - done >= s.cap) {
                // A large binary write goes straight from the host's buffer.
                ok = writeAll(s, src + done, n - done, s.base);
                if (ok) {
                    s.base += static_cast<off_t>(n - done);
                    if (s.append) {
                        const off_t end = ::lseek(s.fd, 0, SEEK_CUR);
                        if (end >= 0) s.base = end;
                    }
                }
                done = n;
                break;
            }
            const std::size_t take = std::min(n - done, s.cap - s.len);
            std::memcpy(s.buf + s.len, src + done, take);
            s.len += take;
            done += take;
        } else {
            // Text: each line feed lands in the file as CR LF.
            while (done < n && s.cap - s.len >= 2) {
                const std::size_t room = std::min(n - done, s.cap - s.len - 1);
                const void* lf = std::memchr(src + done, '\n', room);
                const std::size_t run = lf ? static_cast<const unsigned char*>(lf) - (src + done) : room;
                std::memcpy(s.buf + s.len, src + done, run);
                s.len += run;
                done += run;
                if (lf) {
                    s.buf[s.len++] = '\r';
                    s.buf[s.len++] = '\n';
                    ++done;
                }
            }
        }
        if (s.len + 2 > s.cap && done < n) ok = flushOut(s);
    }
    if (!ok) s.failed = true;
    return tell(s) - before;
}

int getChar(oxStream& s) noexcept {
    if (refuseFlagged(s)) return -1;
    const int state = fill(s);
    if (state <= 0) {
        if (state == 0) s.eof = true;
        s.failed = true;
        return -1;
    }
    if (lineEndAt(s, s.idx)) {
        s.idx += 2;
        return '\n';
    }
    return s.buf[s.idx++];
}

std::size_t readLine(oxStream& s, char* out, std::size_t room) noexcept {
    out[0] = '\0';
    if (refuseFlagged(s)) return 0;
    std::size_t stored = 0, taken = 0;
    for (;;) {
        // Before each character: the end of the file, then a line feed, then a full buffer.
        const int state = fill(s);
        if (state <= 0) {
            if (state == 0) s.eof = true;
            if (state < 0 || taken == 0) s.failed = true;
            break;
        }
        const std::size_t want = room - stored;
        const std::size_t ready = s.avail - s.idx;
        // A line feed right after the last character that still fits is taken too; in a
        // text stream so is the CR LF pair there.
        const std::size_t window = std::min(ready, want + (s.text ? 2 : 1));
        const unsigned char* at = s.buf + s.idx;
        const void* lf = std::memchr(at, '\n', window);
        if (lf) {
            const std::size_t k = static_cast<const unsigned char*>(lf) - at;
            const std::size_t chars = (s.text && k > 0 && at[k - 1] == '\r') ? k - 1 : k;
            if (chars <= want) {
                std::memcpy(out + stored, at, chars);
                stored += chars;
                taken += chars + 1;
                s.idx += k + 1;
                break;
            }
        }
        if (ready > want) {
            // The buffer fills before the line ends: the next character stays.
            std::memcpy(out + stored, at, want);
            stored += want;
            taken += want;
            s.idx += want;
            s.failed = true;
            break;
        }
        std::memcpy(out + stored, at, ready);
        stored += ready;
        taken += ready;
        s.idx += ready;
    }
    out[stored] = '\0';
    return taken;
}

void seek(oxStream& s, std::int64_t offset, int origin) noexcept {
    if (s.failed || origin < 0 || origin > 2) return;
    std::int64_t from = 0;
    if (origin == 1) {
        from = tell(s);
    } else if (origin == 2) {
        struct stat st {};
        if (!flushOut(s) || ::fstat(s.fd, &st) != 0) {
            s.failed = true;
            return;
        }
        from = st.st_size;
    }
    std::int64_t target;
    if (__builtin_add_overflow(from, offset, &target) || target < 0) {
        s.failed = true;
        return;
    }
    // A target inside what is already read needs no new read.
    if (s.io == oxStream::Io::reading && target >= s.base && target - s.base <= static_cast<std::int64_t>(s.avail)) {
        s.idx = static_cast<std::size_t>(target - s.base);
        return;
    }
    if (!toIdle(s)) return;
    s.base = static_cast<off_t>(target);
}

std::int64_t tell(const oxStream& s) noexcept {
    if (s.failed) return -1;
    return s.base + static_cast<off_t>(s.io == oxStream::Io::writing ? s.len : s.idx);
}

void flush(oxStream& s) noexcept { flushOut(s); }

}  // namespace orvane::host

namespace {

using namespace orvane::host;

// Positions past what an int holds are reported as -1 (they are kept in full inside).
int narrowPosition(std::int64_t pos) noexcept { return pos > INT_MAX ? -1 : static_cast<int>(pos); }

int narrowCount(std::int64_t n) noexcept {
    return n > INT_MAX ? INT_MAX : n < INT_MIN ? INT_MIN : static_cast<int>(n);
}

void formatInto(oxStream* stream, const char* format, va_list args) {
    if (!stream || !format) return;
    char local[1024];
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(local, sizeof local, format, args);
    if (n < 0) {
        va_end(again);
        return;
    }
    if (static_cast<std::size_t>(n) < sizeof local) {
        va_end(again);
        writeBytes(*stream, local, static_cast<std::size_t>(n));
        return;
    }
    char* big = static_cast<char*>(std::malloc(static_cast<std::size_t>(n) + 1));
    if (big) std::vsnprintf(big, static_cast<std::size_t>(n) + 1, format, again);
    va_end(again);
    if (!big) {
        stream->failed = true;  // the text could not be made, so the write cannot be
        return;
    }
    writeBytes(*stream, big, static_cast<std::size_t>(n));
    std::free(big);
}

// The line input shared by oxWinAPI_fgets and oxWinAPI_readString.
char* lineInput(char* buffer, int size, oxStream* stream, int reserve, int keepNewline) noexcept {
    if (!stream) return buffer;
    if (!buffer || size < reserve + 1) return nullptr;
    const std::size_t taken = readLine(*stream, buffer, static_cast<std::size_t>(size - reserve - 1));
    if (taken == 0) return nullptr;
    if (keepNewline && !stream->eof) {
        buffer[taken - 1] = '\n';
        buffer[taken] = '\0';
    }
    return buffer;
}

}  // namespace

extern "C" {

TQ_API int oxWinAPI_fopen(oxStream** stream, const char* path, const char* mode) noexcept {
    return orvane::guarded(0, [&] {
        if (!stream) return 0;
        if (oxStream* s = openStream(path, mode, kStreamBuffer)) *stream = s;
        return 0;
    });
}

TQ_API int oxWinAPI_fclose(oxStream** stream) noexcept {
    if (!stream || !*stream) return 0;
    closeStream(*stream);
    *stream = nullptr;
    return 0;
}

TQ_API int oxWinAPI_fread(void* buffer, size_t size, size_t count, oxStream* stream) noexcept {
    if (!buffer || !stream) return 0;
    std::size_t n;
    if (__builtin_mul_overflow(size, count, &n)) n = SIZE_MAX;
    return static_cast<int>(readBytes(*stream, buffer, n));
}

TQ_API int oxWinAPI_fwrite(const void* buffer, size_t size, size_t count, oxStream* stream) noexcept {
    if (!buffer || !stream) return 0;
    std::size_t n;
    if (__builtin_mul_overflow(size, count, &n)) n = SIZE_MAX;
    return narrowCount(writeBytes(*stream, buffer, n));
}

TQ_API int oxWinAPI_vfprintfn(oxStream* stream, int, const char* format, va_list args) noexcept {
    return orvane::guarded(0, [&] {
        formatInto(stream, format, args);
        return 0;
    });
}

TQ_API int oxWinAPI_fprintfn(oxStream* stream, int unused, const char* format, ...) noexcept {
    va_list args;
    va_start(args, format);
    oxWinAPI_vfprintfn(stream, unused, format, args);
    va_end(args);
    return 0;
}

TQ_API int oxWinAPI_fseek(oxStream* stream, long offset, int origin) noexcept {
    if (stream) seek(*stream, offset, origin);
    return 0;
}

TQ_API int oxWinAPI_ftell(oxStream* stream) noexcept { return stream ? narrowPosition(tell(*stream)) : 0; }

TQ_API int oxWinAPI_feof(oxStream* stream) noexcept { return stream && stream->eof ? 1 : 0; }

TQ_API int oxWinAPI_fflush(oxStream* stream) noexcept {
    if (stream) flush(*stream);
    return 0;
}

TQ_API int oxWinAPI_fgetc(oxStream* stream) noexcept { return stream ? getChar(*stream) : 0; }

TQ_API char* oxWinAPI_fgets(char* buffer, int size, oxStream* stream) noexcept {
    return lineInput(buffer, size, stream, 0, 0);
}

TQ_API char* oxWinAPI_readString(char* buffer, int size, oxStream* stream, int keepNewline) noexcept {
    return lineInput(buffer, size, stream, 1, keepNewline);
}

}  // extern "C"
