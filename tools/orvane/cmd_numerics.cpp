// orvane subcommands of the numerics family: checksums of files and range-list canonical forms.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "command.hpp"
#include "orvane.h"

namespace cli {

namespace {

// Reads a file ("-": standard input) in chunks and hands each chunk to `sink`.
template <class Sink>
bool streamFile(const std::string& name, Sink&& sink) {
    std::FILE* in = name == "-" ? stdin : std::fopen(name.c_str(), "rb");
    if (!in) return false;
    std::vector<unsigned char> chunk(1 << 20);
    std::size_t got;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), in)) > 0) sink(chunk.data(), static_cast<unsigned>(got));
    const bool ok = !std::ferror(in);
    if (in != stdin) std::fclose(in);
    return ok;
}

int fail(const char* command, const std::string& name) {
    std::fprintf(stderr, "orvane: %s: %s: %s\n", command, name.c_str(), std::strerror(errno ? errno : EIO));
    return 1;
}

int runCrc32(const std::vector<std::string>& args) {
    if (args.empty()) return usageError("crc32: no FILE given");
    int status = 0;
    for (const std::string& name : args) {
        unsigned crc = 0;
        errno = 0;
        // The CRC chains across calls, so any size streams through in 1 MiB pieces.
        if (!streamFile(name, [&](const unsigned char* p, unsigned n) { crc = tqMath_calcCRC32(crc, p, n); })) {
            status = fail("crc32", name);
            continue;
        }
        std::printf("%08x  %s\n", crc, name.c_str());
    }
    return status;
}

// The digest covers one call: the library pads every call on its own and counts the
// message length in 32 bits, so a file is hashed whole, mapped into memory, and must be
// below 512 MiB for the digest to be the standard SHA-1 of the file.
constexpr unsigned long long kSha1Limit = 512ull << 20;

bool sha1File(const std::string& name, unsigned digest[5]) {
    if (name == "-") {
        const std::string all = readAll(stdin);
        if (std::ferror(stdin)) return false;
        if (all.size() >= kSha1Limit) {
            errno = EFBIG;
            return false;
        }
        tqMath_calcSHA1(digest, all.data(), static_cast<unsigned>(all.size()), 1);
        return true;
    }
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (ok && !S_ISREG(st.st_mode)) {
        errno = EINVAL;
        ok = false;
    }
    if (ok && static_cast<unsigned long long>(st.st_size) >= kSha1Limit) {
        errno = EFBIG;
        ok = false;
    }
    if (ok && st.st_size == 0) {
        tqMath_calcSHA1(digest, "", 0, 1);
    } else if (ok) {
        const std::size_t size = static_cast<std::size_t>(st.st_size);
        void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        ok = map != MAP_FAILED;
        if (ok) {
            tqMath_calcSHA1(digest, map, static_cast<unsigned>(size), 1);
            ::munmap(map, size);
        }
    }
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return ok;
}

int runSha1(const std::vector<std::string>& args) {
    if (args.empty()) return usageError("sha1: no FILE given");
    int status = 0;
    for (const std::string& name : args) {
        unsigned d[5] = {};
        errno = 0;
        if (!sha1File(name, d)) {
            status = fail("sha1", name);
            continue;
        }
        std::printf("%08x%08x%08x%08x%08x  %s\n", d[0], d[1], d[2], d[3], d[4], name.c_str());
    }
    return status;
}

// Largest number written in an integer list text, for the default window of `ranges`.
long long largestNumber(const std::string& list) {
    long long best = 0, cur = -1;
    for (char c : list + ' ') {
        if (c >= '0' && c <= '9') {
            cur = (cur < 0 ? 0 : cur) * 10 + (c - '0');
            if (cur > 1LL << 31) cur = 1LL << 31;
        } else if (cur >= 0) {
            best = cur > best ? cur : best;
            cur = -1;
        }
    }
    return best;
}

bool parseInt(const std::string& s, long long lo, long long hi, int& out) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(s.c_str(), &end, 10);
    if (s.empty() || *end || errno || v < lo || v > hi) return false;
    out = static_cast<int>(v);
    return true;
}

int runRanges(const std::vector<std::string>& args) {
    enum { Auto, Integer, Double } mode = Auto;
    int low = 0, high = -1, precision = 6;
    std::string list;
    bool haveList = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto number = [&](int& into, long long lo, long long hi) {
            return i + 1 < args.size() && parseInt(args[++i], lo, hi, into);
        };
        if (a == "--int") {
            mode = Integer;
        } else if (a == "--double") {
            mode = Double;
        } else if (a == "--low" || a == "--high") {
            if (!number(a == "--low" ? low : high, 0, 1 << 30)) return usageError("ranges: " + a + " needs a number from 0 to 2^30");
        } else if (a == "--precision") {
            if (!number(precision, 1, 15)) return usageError("ranges: --precision needs a number from 1 to 15");
        } else if (a.size() > 1 && a[0] == '-' && !(a[1] >= '0' && a[1] <= '9')) {
            return usageError("ranges: unknown option '" + a + "'");
        } else if (!haveList) {
            list = a;
            haveList = true;
        } else {
            return usageError("ranges: more than one LIST");
        }
    }
    if (!haveList) {
        list = readAll(stdin);
        while (!list.empty() && (list.back() == '\n' || list.back() == '\r')) list.pop_back();
    }
    if (mode == Auto) mode = list.find('.') != std::string::npos ? Double : Integer;
    // Room for the canonical form, which may be longer than the text it comes from.
    std::vector<char> buf(list.size() * 4 + 4096, '\0');
    std::memcpy(buf.data(), list.c_str(), list.size() + 1);
    if (mode == Double) {
        tqStringFixed_listFormatDoubleRangeA(buf.data(), precision);
    } else {
        if (high < 0) high = static_cast<int>(largestNumber(list) + 1);
        if (high > (1 << 30)) return usageError("ranges: numbers above 2^30 need --high");
        if (low >= high) return usageError("ranges: --low must be below --high");
        tqStringFixed_listFormatNumericRangeA(buf.data(), low, high);
    }
    std::printf("%s\n", buf.data());
    return 0;
}

const Command kCommands[] = {
    {"crc32", "FILE...", "CRC-32 of each file ('-': standard input), as 8 hex digits", runCrc32, "",
     "orvane crc32 plan.dgn\nprintf hello | orvane crc32 -"},
    {"sha1", "FILE...", "SHA-1 of each file below 512 MiB ('-': standard input), as 40 hex digits", runSha1, "",
     "orvane sha1 plan.dgn"},
    {"ranges", "[--int|--double] [--low N] [--high N] [--precision N] [LIST]",
     "canonical form of an integer or double range list (standard input without LIST)", runRanges,
     "--int\tread LIST as integers\n"
     "--double\tread LIST as doubles (the default when LIST holds a '.')\n"
     "--low N\tsmallest integer kept (default 0)\n"
     "--high N\tintegers from N up are dropped (default: one above the largest in LIST)\n"
     "--precision N\tdecimals of a double, 1 to 15 (default 6)\n",
     "orvane ranges '7-9,1-3,5,2'\norvane ranges --double '2.5-3,1'"},
};

}  // namespace

std::span<const Command> numericCommands() { return kCommands; }

}  // namespace cli
