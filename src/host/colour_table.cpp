// msapiFile_readColourTableToRGBArray: a colour table file is a bare run of red, green,
// blue byte triples; the first 256 of them (768 bytes) land in the host's array as they
// stand in the file, and nothing else of the array is touched.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

#include "orvane.h"

namespace {

constexpr std::size_t kTableBytes = 256 * 3;

// Read access that keeps writers out while the table is read: an open file description
// read lock, which every cooperating writer (one that locks) respects. False when a writer
// holds the file; file systems without locks are read unlocked.
bool lockAgainstWriters(int fd) noexcept {
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    int r;
    do r = ::fcntl(fd, F_OFD_SETLK, &lock);
    while (r != 0 && errno == EINTR);
    return r == 0 || (errno != EAGAIN && errno != EACCES);
}

}  // namespace

extern "C" TQ_API int msapiFile_readColourTableToRGBArray(unsigned char* rgb, const char* path) noexcept {
    if (!rgb || !path) return 0;
    int fd;
    // O_NONBLOCK: opening a pipe must not wait for a writer; only regular files are tables.
    do fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return 0;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && lockAgainstWriters(fd)) {
        // Straight into the array: each byte lands at its place in the file, so a short
        // table fills its entries (a last partial one only as far as its bytes go) and a
        // read error keeps what arrived before it.
        std::size_t got = 0;
        while (got < kTableBytes) {
            const ssize_t r = ::read(fd, rgb + got, kTableBytes - got);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;
            got += static_cast<std::size_t>(r);
        }
    }
    ::close(fd);  // also drops the lock
    return 0;
}
