#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "host/stream.hpp"
#include "orvane.h"

namespace {

struct Scratch {
    std::string dir;
    Scratch() {
        char name[] = "/tmp/orvane-streams-XXXXXX";
        dir = ::mkdtemp(name);
    }
    ~Scratch() { std::filesystem::remove_all(dir); }
    std::string put(const std::string& name, const std::string& bytes) const {
        std::ofstream(dir + "/" + name, std::ios::binary) << bytes;
        return dir + "/" + name;
    }
    std::string get(const std::string& name) const {
        std::ifstream in(dir + "/" + name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

oxStream* open(const std::string& path, const char* mode) {
    oxStream* s = nullptr;
    EXPECT_EQ(oxWinAPI_fopen(&s, path.c_str(), mode), 0);
    return s;
}

int formatted(oxStream* s, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int r = oxWinAPI_vfprintfn(s, 0, format, args);
    va_end(args);
    return r;
}

std::string readAll(oxStream* s) {
    std::string out(64, '\0');
    out.resize(static_cast<std::size_t>(oxWinAPI_fread(out.data(), 1, out.size(), s)));
    return out;
}

}  // namespace

TEST(StreamFiles, NullArgumentsDoNothing) {
    Scratch t;
    const std::string path = t.put("f", "abc");
    oxStream* s = reinterpret_cast<oxStream*>(0x1);  // a failed open must leave this alone
    EXPECT_EQ(oxWinAPI_fopen(&s, nullptr, "r"), 0);
    EXPECT_EQ(oxWinAPI_fopen(&s, path.c_str(), nullptr), 0);
    EXPECT_EQ(oxWinAPI_fopen(&s, (t.dir + "/missing").c_str(), "r"), 0);
    EXPECT_EQ(oxWinAPI_fopen(&s, t.dir.c_str(), "r"), 0);  // a folder is no stream
    EXPECT_EQ(s, reinterpret_cast<oxStream*>(0x1));
    EXPECT_EQ(oxWinAPI_fopen(nullptr, path.c_str(), "r"), 0);
    char buf[8] = "keep";
    EXPECT_EQ(oxWinAPI_fread(buf, 1, 4, nullptr), 0);
    EXPECT_EQ(oxWinAPI_fwrite(buf, 1, 4, nullptr), 0);
    EXPECT_EQ(oxWinAPI_fprintfn(nullptr, 0, "x"), 0);
    EXPECT_EQ(formatted(nullptr, "x"), 0);
    EXPECT_EQ(oxWinAPI_fseek(nullptr, 0, 0), 0);
    EXPECT_EQ(oxWinAPI_ftell(nullptr), 0);
    EXPECT_EQ(oxWinAPI_feof(nullptr), 0);
    EXPECT_EQ(oxWinAPI_fflush(nullptr), 0);
    EXPECT_EQ(oxWinAPI_fgetc(nullptr), 0);
    EXPECT_EQ(oxWinAPI_fgets(buf, 8, nullptr), buf);
    EXPECT_EQ(oxWinAPI_readString(buf, 8, nullptr, 1), buf);
    EXPECT_STREQ(buf, "keep");
    EXPECT_EQ(oxWinAPI_fclose(nullptr), 0);
    oxStream* none = nullptr;
    EXPECT_EQ(oxWinAPI_fclose(&none), 0);

    s = open(path, "r");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(oxWinAPI_fread(nullptr, 1, 4, s), 0);
    EXPECT_EQ(oxWinAPI_fwrite(nullptr, 1, 4, s), 0);
    EXPECT_EQ(oxWinAPI_fprintfn(s, 0, nullptr), 0);
    EXPECT_EQ(formatted(s, nullptr), 0);
    EXPECT_EQ(oxWinAPI_fgets(nullptr, 8, s), nullptr);
    EXPECT_EQ(oxWinAPI_readString(nullptr, 8, s, 1), nullptr);
    EXPECT_EQ(oxWinAPI_fgets(buf, 0, s), nullptr);
    EXPECT_EQ(oxWinAPI_readString(buf, 1, s, 1), nullptr);
    EXPECT_EQ(oxWinAPI_ftell(s), 0);  // none of these touched the stream
    EXPECT_EQ(oxWinAPI_fgetc(s), 'a');
    EXPECT_EQ(oxWinAPI_fclose(&s), 0);
    EXPECT_EQ(s, nullptr);
}

TEST(StreamFiles, ModeStrings) {
    struct Case {
        const char* mode;
        bool opensMissing;   // creates a missing file
        const char* reads;   // what reading the file "ab\r\ncd" gives (nullptr: no open)
        int writeCount;      // oxWinAPI_fwrite of "Z\n" right after opening
        const char* after;   // the file after that write
    };
    const Case cases[] = {
        {"r", false, "ab\ncd", -1, "ab\r\ncd"},
        {"rb", false, "ab\r\ncd", -1, "ab\r\ncd"},
        {"rb+", false, "ab\r\ncd", -1, "ab\r\ncd"},  // binary, read only
        {"r+", false, "ab\ncd", 3, "Z\r\n\ncd"},
        {"r+b", false, "ab\ncd", 3, "Z\r\n\ncd"},  // text after all
        {"rw", false, "ab\ncd", 3, "Z\r\n\ncd"},
        {"rwb", false, "ab\r\ncd", 2, "Z\n\r\ncd"},
        {"w", true, "", 3, "Z\r\n"},
        {"wb", true, "", 2, "Z\n"},
        {"wb+", true, "", 2, "Z\n"},
        {"w+b", true, "", 3, "Z\r\n"},
        {"a", true, "", 3, "ab\r\ncdZ\r\n"},
        {"ab", true, "", 2, "ab\r\ncdZ\n"},
        {"wa", true, "", 3, "ab\r\ncdZ\r\n"},   // never emptied with "a"
        {"a+", true, "ab\ncd", 9, "ab\r\ncdZ\r\n"},  // from position 0 to the end
        {"ra", true, "ab\ncd", 9, "ab\r\ncdZ\r\n"},
        {"a+r+", false, "ab\ncd", 3, "Z\r\n\ncd"},  // "r+" is tried first
        {"a+w+", true, "", 3, "Z\r\n"},            // then "w+"
        {"b", false, nullptr, 0, "ab\r\ncd"},
        {"+", false, nullptr, 0, "ab\r\ncd"},
        {"", false, nullptr, 0, "ab\r\ncd"},
        {"RW", false, nullptr, 0, "ab\r\ncd"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        Scratch t;
        oxStream* s = open(t.dir + "/missing", c.mode);
        EXPECT_EQ(s != nullptr, c.opensMissing);
        oxWinAPI_fclose(&s);
        const std::string path = t.put("f", "ab\r\ncd");
        s = open(path, c.mode);
        ASSERT_EQ(s != nullptr, c.reads != nullptr);
        if (!s) continue;
        EXPECT_EQ(readAll(s), c.reads);
        oxWinAPI_fclose(&s);
        t.put("f", "ab\r\ncd");
        s = open(path, c.mode);
        EXPECT_EQ(oxWinAPI_fwrite("Z\n", 1, 2, s), c.writeCount);
        if (c.writeCount < 0) {
            EXPECT_EQ(oxWinAPI_ftell(s), -1);
        }
        oxWinAPI_fclose(&s);
        EXPECT_EQ(t.get("f"), c.after);
    }
}

TEST(StreamFiles, FlagsAreSticky) {
    Scratch t;
    oxStream* s = open(t.put("f", "abcd"), "rb");
    char buf[16];
    EXPECT_EQ(oxWinAPI_fread(buf, 2, 5, s), 4);  // bytes, not items
    EXPECT_EQ(oxWinAPI_feof(s), 1);
    oxWinAPI_fseek(s, 0, 0);  // no seek clears a flag
    EXPECT_EQ(oxWinAPI_ftell(s), -1);
    EXPECT_EQ(oxWinAPI_fgetc(s), -1);
    EXPECT_EQ(oxWinAPI_fgets(buf, 16, s), nullptr);
    EXPECT_EQ(oxWinAPI_fread(buf, 1, 1, s), 0);
    oxWinAPI_fclose(&s);

    // A last line without a line feed sets end-of-file alone: seeks still move, reads stop.
    s = open(t.put("g", "one\ntwo"), "r");
    EXPECT_STREQ(oxWinAPI_fgets(buf, 16, s), "one");
    EXPECT_STREQ(oxWinAPI_fgets(buf, 16, s), "two");
    EXPECT_EQ(oxWinAPI_feof(s), 1);
    EXPECT_EQ(oxWinAPI_ftell(s), 7);
    oxWinAPI_fseek(s, 1, 0);
    EXPECT_EQ(oxWinAPI_ftell(s), 1);
    EXPECT_EQ(oxWinAPI_fwrite("x", 1, 1, s), 0);  // refused, and now failed
    EXPECT_EQ(oxWinAPI_ftell(s), -1);
    oxWinAPI_fclose(&s);

    s = open(t.put("h", "abc"), "r");
    oxWinAPI_fseek(s, -1, 0);
    EXPECT_EQ(oxWinAPI_ftell(s), -1);
    oxWinAPI_fclose(&s);

    s = open(t.put("i", "abc"), "a");  // nothing to read on a write-only stream: the end
    EXPECT_EQ(oxWinAPI_fgetc(s), -1);
    EXPECT_EQ(oxWinAPI_feof(s), 1);
    EXPECT_EQ(oxWinAPI_ftell(s), -1);
    oxWinAPI_fclose(&s);
}

TEST(StreamFiles, WriteReadBackAndCounts) {
    Scratch t;
    oxStream* s = open(t.dir + "/f", "w+");
    EXPECT_EQ(oxWinAPI_fwrite("hello", 1, 5, s), 5);
    oxWinAPI_fseek(s, 0, 0);
    char buf[8] = {};
    EXPECT_EQ(oxWinAPI_fread(buf, 1, 5, s), 5);
    EXPECT_STREQ(buf, "hello");
    EXPECT_EQ(oxWinAPI_fwrite("a\nb", 1, 3, s), 4);  // the line feed lands as CR LF
    const std::string big(10000, 'q');
    oxWinAPI_fprintfn(s, 99, "%s|%d\n", big.c_str(), 7);
    EXPECT_EQ(oxWinAPI_ftell(s), 9 + 10000 + 4);
    oxWinAPI_fclose(&s);
    EXPECT_EQ(t.get("f"), "helloa\r\nb" + big + "|7\r\n");
    s = open(t.dir + "/long-format", "wb");
    const std::string format(10000, 'f');  // a format text of 10 000 characters
    formatted(s, format.c_str());
    oxWinAPI_fclose(&s);
    EXPECT_EQ(t.get("long-format"), format);

    s = open(t.dir + "/f", "r");
    oxWinAPI_fseek(s, 3, 0);
    EXPECT_EQ(oxWinAPI_fwrite("x", 1, 1, s), -4);  // read-only: fails at once
    EXPECT_EQ(oxWinAPI_ftell(s), -1);
    oxWinAPI_fclose(&s);

    s = open(t.dir + "/f", "a+");  // reading, then every write at the end
    EXPECT_EQ(oxWinAPI_fgetc(s), 'h');
    EXPECT_EQ(oxWinAPI_fwrite("E", 1, 1, s), 10013);
    oxWinAPI_fclose(&s);
    EXPECT_EQ(t.get("f").back(), 'E');

    // /dev/full takes buffered bytes and refuses them at the flush.
    s = open("/dev/full", "wb");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(oxWinAPI_fwrite("abc", 1, 3, s), 3);
    oxWinAPI_fflush(s);
    EXPECT_EQ(oxWinAPI_ftell(s), -1);
    oxWinAPI_fclose(&s);
    s = open("/dev/full", "wb");
    const std::string huge(std::size_t{1} << 17, 'h');  // larger than the buffer: written at once
    EXPECT_EQ(oxWinAPI_fwrite(huge.data(), 1, huge.size(), s), -1);
    oxWinAPI_fclose(&s);
}

TEST(StreamFiles, LineInput) {
    Scratch t;
    const std::string path = t.put("f", "abc\n\nabcdefgh\nxyz");
    char buf[16];
    oxStream* s = open(path, "r");
    EXPECT_STREQ(oxWinAPI_fgets(buf, 4, s), "abc");  // the line feed is tested before fullness
    EXPECT_STREQ(oxWinAPI_fgets(buf, 4, s), "");
    EXPECT_STREQ(oxWinAPI_fgets(buf, 4, s), "abc");  // full: failed, 'd' stays
    EXPECT_EQ(s->base + static_cast<off_t>(s->idx), 8);
    EXPECT_EQ(oxWinAPI_feof(s), 0);
    EXPECT_EQ(oxWinAPI_fgets(buf, 16, s), nullptr);
    EXPECT_STREQ(buf, "");
    oxWinAPI_fclose(&s);

    s = open(path, "r");
    EXPECT_STREQ(oxWinAPI_readString(buf, 16, s, 1), "abc\n");
    EXPECT_STREQ(oxWinAPI_readString(buf, 16, s, 1), "\n");
    EXPECT_STREQ(oxWinAPI_readString(buf, 16, s, 0), "abcdefgh");
    EXPECT_STREQ(oxWinAPI_readString(buf, 16, s, 1), "xyz");  // end of file: no line feed
    EXPECT_EQ(oxWinAPI_readString(buf, 16, s, 1), nullptr);
    oxWinAPI_fclose(&s);

    s = open(path, "r");
    EXPECT_STREQ(oxWinAPI_readString(buf, 5, s, 1), "abc\n");  // room for 3 and the line feed
    EXPECT_STREQ(oxWinAPI_readString(buf, 2, s, 1), "\n");
    EXPECT_STREQ(oxWinAPI_readString(buf, 5, s, 1), "ab\n");  // did not fit: failed
    EXPECT_EQ(oxWinAPI_readString(buf, 5, s, 1), nullptr);
    oxWinAPI_fclose(&s);

    s = open(t.put("g", "\nabc"), "r");
    EXPECT_STREQ(oxWinAPI_fgets(buf, 1, s), "");  // no room, but the line feed is taken
    EXPECT_EQ(oxWinAPI_fgets(buf, 1, s), nullptr);
    oxWinAPI_fclose(&s);
    s = open(t.put("h", "abc"), "r");
    EXPECT_STREQ(oxWinAPI_fgets(buf, 4, s), "abc");  // the end comes before fullness
    EXPECT_EQ(oxWinAPI_feof(s), 1);
    EXPECT_NE(oxWinAPI_ftell(s), -1);
    oxWinAPI_fclose(&s);
}

// Every buffer size from the smallest on, so that each CR LF pair is split by a buffer
// boundary somewhere; the file ends in a lone CR.
TEST(StreamFiles, TextLineEndsAcrossBufferBoundaries) {
    Scratch t;
    const std::string raw = "a\r\nb\r\r\n\r\n\n\rcd\r\r\r\nlong line here\r\n\r";
    const std::string cooked = "a\nb\r\n\n\n\rcd\r\r\nlong line here\n\r";
    const std::string path = t.put("f", raw);
    for (std::size_t size = 2; size <= 12; ++size) {
        SCOPED_TRACE(size);
        for (std::size_t chunk : {1u, 2u, 3u, 7u, 64u}) {
            oxStream* s = orvane::host::openStream(path.c_str(), "r", size);
            std::string got;
            char part[64];
            int n;
            while ((n = oxWinAPI_fread(part, 1, chunk, s)) > 0) got.append(part, static_cast<std::size_t>(n));
            EXPECT_EQ(got, cooked);
            orvane::host::closeStream(s);
        }
        oxStream* s = orvane::host::openStream(path.c_str(), "r", size);
        std::string got;
        for (int c; (c = oxWinAPI_fgetc(s)) != -1;) got += static_cast<char>(c);
        EXPECT_EQ(got, cooked);
        orvane::host::closeStream(s);
        s = orvane::host::openStream(path.c_str(), "r", size);
        got.clear();
        char line[8];
        while (oxWinAPI_readString(line, sizeof line, s, 1)) got += line;
        EXPECT_EQ(got, "a\nb\r\n\n\n\rcd\r\r\nlong \n");  // the long line fails the stream
        orvane::host::closeStream(s);

        const std::string out = t.dir + "/w" + std::to_string(size);
        s = orvane::host::openStream(out.c_str(), "w", size);
        for (std::size_t i = 0; i < cooked.size(); i += 3)
            oxWinAPI_fwrite(cooked.data() + i, 1, std::min<std::size_t>(3, cooked.size() - i), s);
        orvane::host::closeStream(s);
        std::string expected;
        for (char c : cooked) expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
        EXPECT_EQ(t.get("w" + std::to_string(size)), expected);
    }
}

// Text conversion at the real buffer size: random runs of CR, LF and letters read back in
// random request sizes, and written out again, against a plain conversion.
TEST(StreamFiles, TextConversionAgainstReference) {
    Scratch t;
    std::mt19937 rng(5);
    std::string raw;
    while (raw.size() < 300000) {
        const unsigned pick = rng() % 8;
        if (pick < 2)
            raw.append(rng() % 200, 'x');  // long runs between the line ends
        else
            raw += "ab\r\n\r\n"[pick - 2];
    }
    std::string cooked, expanded;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const bool pair = raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n';
        cooked += pair ? '\n' : raw[i];
        i += pair;
    }
    for (char c : cooked) expanded += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const std::string path = t.put("raw", raw);
    oxStream* s = open(path, "r");
    std::string got, part(100000, '\0');
    for (int n = 1; n > 0;) {
        n = oxWinAPI_fread(part.data(), 1, 1 + rng() % part.size(), s);
        got.append(part.data(), static_cast<std::size_t>(std::max(n, 0)));
    }
    oxWinAPI_fclose(&s);
    EXPECT_TRUE(got == cooked);
    s = open(t.dir + "/out", "w");
    for (std::size_t i = 0; i < cooked.size();) {
        const std::size_t n = std::min<std::size_t>(1 + rng() % 100000, cooked.size() - i);
        const auto lineFeeds = std::count(cooked.begin() + i, cooked.begin() + i + n, '\n');
        ASSERT_EQ(oxWinAPI_fwrite(cooked.data() + i, 1, n, s), static_cast<int>(n + lineFeeds));
        i += n;
    }
    oxWinAPI_fclose(&s);
    EXPECT_TRUE(t.get("out") == expanded);
}

// Positions are 64-bit inside: past 2 GiB and 4 GiB data lands where it should, ftell
// says -1 without failing the stream, and back below 2 GiB it reports again.
TEST(StreamFiles, FilesBeyondTwoGigabytes) {
    Scratch t;
    const std::string path = t.dir + "/sparse";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(::ftruncate(fd, (off_t{5} << 30)), 0);  // sparse: no disk taken
    const off_t far = (off_t{4} << 30) + 5;           // wraps to 5 in 32 bits
    ASSERT_EQ(::pwrite(fd, "MARK", 4, far), 4);
    oxStream* s = open(path, "rwb");
    ASSERT_NE(s, nullptr);
    oxWinAPI_fseek(s, static_cast<long>(far), 0);
    EXPECT_EQ(oxWinAPI_ftell(s), -1);
    char buf[4];
    EXPECT_EQ(oxWinAPI_fread(buf, 1, 4, s), 4);
    EXPECT_EQ(std::string(buf, 4), "MARK");
    EXPECT_EQ(oxWinAPI_fwrite("next", 1, 4, s), 4);
    oxWinAPI_fseek(s, -8, 2);
    EXPECT_EQ(oxWinAPI_fwrite("tail", 1, 4, s), 4);
    oxWinAPI_fseek(s, INT_MAX - 1, 0);
    EXPECT_EQ(oxWinAPI_ftell(s), INT_MAX - 1);
    EXPECT_EQ(oxWinAPI_fwrite("ab", 1, 2, s), 2);  // across the int boundary
    EXPECT_EQ(oxWinAPI_ftell(s), -1);
    oxWinAPI_fseek(s, 0, 0);
    EXPECT_EQ(oxWinAPI_ftell(s), 0);
    EXPECT_EQ(oxWinAPI_feof(s), 0);
    oxWinAPI_fclose(&s);
    char check[8];
    ASSERT_EQ(::pread(fd, check, 8, far), 8);
    EXPECT_EQ(std::string(check, 8), "MARKnext");
    ASSERT_EQ(::pread(fd, check, 4, (off_t{5} << 30) - 8), 4);
    EXPECT_EQ(std::string(check, 4), "tail");
    ASSERT_EQ(::pread(fd, check, 8, 0), 8);
    EXPECT_EQ(std::string(check, 8), std::string(8, '\0'));  // nothing wrapped to the start
    ::close(fd);
}

// What an int result cannot say past INT_MAX is clamped, never wrapped, and the stream
// itself keeps working there.
TEST(StreamFiles, IntResultsPastTwoGigabytes) {
    Scratch t;
    const std::string path = t.dir + "/sparse";
    const off_t three = off_t{3} << 30;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(::ftruncate(fd, three), 0);
    ::close(fd);

    oxStream* s = open(path, "rw");  // text: line ends and line input as at the start
    oxWinAPI_fseek(s, 0, 2);
    EXPECT_EQ(oxWinAPI_fwrite("a\nb\n", 1, 4, s), 6);
    oxWinAPI_fseek(s, -6, 2);
    char line[8];
    EXPECT_STREQ(oxWinAPI_fgets(line, 8, s), "a");
    EXPECT_STREQ(oxWinAPI_readString(line, 8, s, 1), "b\n");
    EXPECT_EQ(oxWinAPI_fgets(line, 8, s), nullptr);
    EXPECT_EQ(oxWinAPI_feof(s), 1);
    oxWinAPI_fclose(&s);
    EXPECT_EQ(std::filesystem::file_size(path), static_cast<std::uintmax_t>(three) + 6);

    // A refused write gives -1 minus the old position: below INT_MIN, so INT_MIN.
    s = open(path, "rb");
    oxWinAPI_fseek(s, static_cast<long>(three), 0);
    EXPECT_EQ(oxWinAPI_fwrite("x", 1, 1, s), INT_MIN);
    EXPECT_EQ(oxWinAPI_ftell(s), -1);
    oxWinAPI_fclose(&s);

    // A read of more than INT_MAX bytes could not report its count: refused untouched.
    s = open(path, "rb");
    char small[4] = "abc";
    EXPECT_EQ(oxWinAPI_fread(small, std::size_t{1} << 31, 1, s), 0);
    EXPECT_STREQ(small, "abc");
    EXPECT_EQ(oxWinAPI_ftell(s), -1);
    EXPECT_EQ(oxWinAPI_feof(s), 0);
    oxWinAPI_fclose(&s);

    // A seek whose target overflows fails the stream instead of wrapping.
    s = open(path, "rb");
    oxWinAPI_fseek(s, LONG_MAX, 0);
    oxWinAPI_fseek(s, 1, 1);
    EXPECT_EQ(oxWinAPI_ftell(s), -1);
    oxWinAPI_fclose(&s);
}

TEST(StreamFiles, PipesAreRefusedWithoutWaiting) {
    Scratch t;
    const std::string fifo = t.dir + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(open(fifo, "r"), nullptr);
    EXPECT_EQ(open(fifo, "w"), nullptr);
}
