#include <regex>

#include "host/stream.hpp"
#include "orvane.h"
#include "temp_dir.hpp"

using hosttest::readFile;
using hosttest::TempDir;

namespace {

// A stream through oxWinAPI_fopen (or with a buffer of `buffer` bytes), closed when
// opened again and at the end.
struct Stream {
    Stream(const std::string& path, const char* mode, std::size_t buffer = 0) { open(path, mode, buffer); }
    ~Stream() { close(); }
    oxStream* open(const std::string& path, const char* mode, std::size_t buffer = 0) {
        close();
        if (buffer) return s = orvane::host::openStream(path.c_str(), mode, buffer);
        EXPECT_EQ(oxWinAPI_fopen(&s, path.c_str(), mode), 0);
        return s;
    }
    void close() { oxWinAPI_fclose(&s); }
    operator oxStream*() const { return s; }
    oxStream* s = nullptr;
};

// A call's result (0 for none), then the end-of-file flag and position it left (read after
// the call, also when the call opened the stream anew).
using State = std::tuple<int, int, int>;
State after(int result, const Stream& s) { return {result, oxWinAPI_feof(s.s), oxWinAPI_ftell(s.s)}; }
State flags(const Stream& s) { return after(0, s); }

// Everything the stream gives, read next() bytes at a time.
template <class Next>
std::string drain(oxStream* s, Next next) {
    std::string out, part;
    for (int n = 1; n > 0; out.append(part.data(), static_cast<std::size_t>(std::max(n, 0)))) {
        part.resize(next());
        n = oxWinAPI_fread(part.data(), 1, part.size(), s);
    }
    return out;
}

// Writes `text` next() bytes at a time; each count includes the CR added to a line feed.
template <class Next>
void spill(oxStream* s, const std::string& text, Next next) {
    for (std::size_t i = 0, n; i < text.size(); i += n) {
        n = std::min<std::size_t>(next(), text.size() - i);
        const auto lineFeeds = std::count(text.begin() + i, text.begin() + i + n, '\n');
        ASSERT_EQ(oxWinAPI_fwrite(text.data() + i, 1, n, s), static_cast<int>(n + lineFeeds));
    }
}

std::string withCrLf(const std::string& text) { return std::regex_replace(text, std::regex("\n"), "\r\n"); }

}  // namespace

// (The results of NULL arguments are checked by the sweep; here what they leave behind.)
TEST(StreamFiles, ModeStringsFailedOpensAndEmptyCalls) {
    TempDir t;
    const std::string path = t.put("f", "abc");
    ASSERT_EQ(::mkfifo((t / "fifo").c_str(), 0600), 0);
    oxStream* s = reinterpret_cast<oxStream*>(0x1);
    // A folder or a pipe is no stream (and the pipe is not waited on).
    for (const auto& [name, mode] :
         {std::pair<const char*, const char*>{"", "r"}, {"fifo", "r"}, {"fifo", "w"}, {nullptr, "r"}, {"f", nullptr}})
        EXPECT_EQ(oxWinAPI_fopen(&s, name ? (t / name).c_str() : nullptr, mode), 0);
    EXPECT_EQ(s, reinterpret_cast<oxStream*>(0x1));
    char buf[8] = "keep";
    EXPECT_EQ((std::pair{oxWinAPI_fgets(buf, 8, nullptr), oxWinAPI_readString(buf, 8, nullptr, 1)}), std::pair(buf, buf));
    EXPECT_STREQ(buf, "keep");

    Stream r(path, "r");
    oxWinAPI_fread(nullptr, 1, 4, r), oxWinAPI_fwrite(nullptr, 1, 4, r), oxWinAPI_fprintfn(r, 0, nullptr);
    EXPECT_EQ(oxWinAPI_readString(buf, 1, r, 1), nullptr);  // no room for a character
    EXPECT_EQ(after(oxWinAPI_fgetc(r), r), State('a', 0, 1));  // none of these touched the stream
    EXPECT_EQ((std::pair{oxWinAPI_fclose(&r.s), r.s}), (std::pair<int, oxStream*>(0, nullptr)));

    // Whether a missing file is created; what reading the file "ab\r\ncd" gives (nullptr: no
    // open); what oxWinAPI_fwrite of "Z\n" right after opening gives, and the file after it.
    struct Case { const char* mode; bool creates; const char* reads; int written; const char* after; };
    const Case cases[] = {
        {"r", false, "ab\ncd", -1, "ab\r\ncd"}, {"rb", false, "ab\r\ncd", -1, "ab\r\ncd"},
        {"rb+", false, "ab\r\ncd", -1, "ab\r\ncd"}, {"wb+", true, "", 2, "Z\n"},  // binary, one direction
        {"r+", false, "ab\ncd", 3, "Z\r\n\ncd"}, {"r+b", false, "ab\ncd", 3, "Z\r\n\ncd"}, {"w+b", true, "", 3, "Z\r\n"},
        {"rw", false, "ab\ncd", 3, "Z\r\n\ncd"}, {"rwb", false, "ab\r\ncd", 2, "Z\n\r\ncd"}, {"wb", true, "", 2, "Z\n"},
        {"w", true, "", 3, "Z\r\n"}, {"a", true, "", 3, "ab\r\ncdZ\r\n"}, {"ab", true, "", 2, "ab\r\ncdZ\n"},
        {"wa", true, "", 3, "ab\r\ncdZ\r\n"},  // never emptied with "a"
        {"a+", true, "ab\ncd", 9, "ab\r\ncdZ\r\n"}, {"ra", true, "ab\ncd", 9, "ab\r\ncdZ\r\n"},  // from 0 to the end
        {"a+r+", false, "ab\ncd", 3, "Z\r\n\ncd"}, {"a+w+", true, "", 3, "Z\r\n"},  // "r+" tried first, then "w+"
        {"b", false, nullptr, 0, "ab\r\ncd"}, {"+", false, nullptr, 0, "ab\r\ncd"}, {"RW", false, nullptr, 0, "ab\r\ncd"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        TempDir t;
        EXPECT_EQ(Stream(t / "missing", c.mode).s != nullptr, c.creates);
        Stream s(t.put("f", "ab\r\ncd"), c.mode);
        ASSERT_EQ(s.s != nullptr, c.reads != nullptr);
        if (!s) continue;
        EXPECT_EQ(drain(s, [] { return 64; }), c.reads);
        s.open(t.put("f", "ab\r\ncd"), c.mode);
        EXPECT_EQ((std::pair{oxWinAPI_fwrite("Z\n", 1, 2, s), oxWinAPI_ftell(s) == -1}), std::pair(c.written, c.written < 0));
        s.close();
        EXPECT_EQ(readFile(t / "f"), c.after);
    }
}

TEST(StreamFiles, StickyFlagsAndCounts) {
    TempDir t;
    char buf[16];
    Stream s(t.put("f", "abcd"), "rb");
    EXPECT_EQ(after(oxWinAPI_fread(buf, 2, 5, s), s), State(4, 1, -1));  // bytes, not items
    oxWinAPI_fseek(s, 0, 0);  // no seek clears a flag
    EXPECT_EQ(after(oxWinAPI_fgetc(s), s), State(-1, 1, -1));
    EXPECT_EQ((std::pair{oxWinAPI_fgets(buf, 16, s), oxWinAPI_fread(buf, 1, 1, s)}), (std::pair<char*, int>(nullptr, 0)));

    // A last line without a line feed sets end-of-file alone: seeks still move, reads stop.
    s.open(t.put("g", "one\ntwo"), "r");
    EXPECT_STREQ(oxWinAPI_fgets(buf, 16, s), "one");
    EXPECT_STREQ(oxWinAPI_fgets(buf, 16, s), "two");
    EXPECT_EQ(flags(s), State(0, 1, 7));
    EXPECT_EQ(after(oxWinAPI_fseek(s, 1, 0), s), State(0, 1, 1));
    EXPECT_EQ(after(oxWinAPI_fwrite("x", 1, 1, s), s), State(0, 1, -1));  // refused, and now failed
    oxWinAPI_fseek(s.open(t / "g", "r"), -1, 0);
    EXPECT_EQ(after(oxWinAPI_fseek(s, 0, 0), s), State(0, 0, -1));
    EXPECT_EQ(after(oxWinAPI_fgetc(s.open(t / "g", "a")), s), State(-1, 1, -1));  // nothing to read on a write-only stream: the end

    // Counts of what lands in the file.
    EXPECT_EQ(oxWinAPI_fwrite("a\nb", 1, 3, s.open(t / "f", "w")), 4);  // the line feed lands as CR LF
    const std::string big(10000, 'q');  // a format text of 10 000 characters
    EXPECT_EQ(after(oxWinAPI_fprintfn(s, 99, (big + "%s|%d\n").c_str(), "s", 7), s), State(0, 0, 4 + 10000 + 5));
    s.close();
    EXPECT_EQ(readFile(t / "f"), "a\r\nb" + big + "s|7\r\n");
    oxWinAPI_fseek(s.open(t / "f", "r"), 3, 0);
    EXPECT_EQ(after(oxWinAPI_fwrite("x", 1, 1, s), s), State(-4, 0, -1));  // read-only: fails at once
    EXPECT_EQ(oxWinAPI_fgetc(s.open(t / "f", "a+")), 'a');  // reading, then every write at the end
    EXPECT_EQ(oxWinAPI_fwrite("E", 1, 1, s), 10009);
    s.close();
    EXPECT_EQ(readFile(t / "f").back(), 'E');
    // /dev/full takes buffered bytes and refuses them at the flush; what is larger than the
    // buffer is written at once.
    EXPECT_EQ(oxWinAPI_fwrite("abc", 1, 3, s.open("/dev/full", "wb")), 3);
    EXPECT_EQ(after(oxWinAPI_fflush(s), s), State(0, 0, -1));
    const std::string huge(std::size_t{1} << 17, 'h');
    EXPECT_EQ(oxWinAPI_fwrite(huge.data(), 1, huge.size(), s.open("/dev/full", "wb")), -1);
    EXPECT_EQ(after(oxWinAPI_fwrite(huge.data(), 1, huge.size(), s.open(t / "huge", "wb")), s), State(1 << 17, 0, 1 << 17));
}

TEST(StreamFiles, LineInput) {
    // keep -1 is oxWinAPI_fgets, else readString's keepNewline; want nullptr: the call gives
    // NULL (and an empty buffer); position: in the file afterwards.
    struct Step { int size, keep; const char* want; int position, eof; };
    const std::pair<const char*, std::vector<Step>> scripts[] = {
        // The line feed is tested before fullness; a full buffer fails the stream, 'd' stays.
        {"abc\n\nabcdefgh\nxyz",
         {{4, -1, "abc", 4, 0}, {4, -1, "", 5, 0}, {4, -1, "abc", 8, 0}, {16, -1, nullptr, 8, 0}}},
        {"abc\n\nabcdefgh\nxyz", {{16, 1, "abc\n", 4, 0}, {16, 1, "\n", 5, 0}, {16, 0, "abcdefgh", 14, 0},
                                  {16, 1, "xyz", 17, 1}, {16, 1, nullptr, 17, 1}}},
        // Room for n - 2; a line that does not fit ends in a line feed in place of its last character.
        {"abc\n\nabcdefgh", {{5, 1, "abc\n", 4, 0}, {2, 1, "\n", 5, 0}, {5, 1, "ab\n", 8, 0}, {5, 1, nullptr, 8, 0}}},
        {"\nabc", {{1, -1, "", 1, 0}, {1, -1, nullptr, 1, 0}}},  // no room, but the line feed is taken
        {"abc", {{4, -1, "abc", 3, 1}}},                         // the end comes before fullness
        {"abc\r\nd", {{4, -1, "abc", 5, 0}}},  // a CR LF right after a full buffer is the line end
    };
    TempDir t;
    for (const auto& [file, steps] : scripts) {
        Stream s(t.put("f", file), "r");
        for (const Step& step : steps) {
            SCOPED_TRACE(testing::Message() << file << " " << step.size << " " << step.keep);
            char buf[16] = "#";
            const char* got = step.keep < 0 ? oxWinAPI_fgets(buf, step.size, s) : oxWinAPI_readString(buf, step.size, s, step.keep);
            EXPECT_STREQ(got, step.want);
            EXPECT_STREQ(buf, step.want ? step.want : "");
            EXPECT_EQ(std::pair(s.s->base + static_cast<off_t>(s.s->idx), oxWinAPI_feof(s)), std::pair(off_t{step.position}, step.eof));
        }
        EXPECT_EQ(oxWinAPI_ftell(s) == -1, steps.back().want == nullptr);
    }
}

// Every buffer size from the smallest on, so that each CR LF pair is split by a buffer
// boundary somewhere (the file ends in a lone CR), read and written in requests smaller
// and larger than the buffer: the paths the real buffer size takes, at every boundary.
TEST(StreamFiles, TextLineEnds) {
    TempDir t;
    const std::string path = t.put("f", "a\r\nb\r\r\n\r\n\n\rcd\r\r\r\nlong line here\r\n\r");
    const std::string cooked = "a\nb\r\n\n\n\rcd\r\r\nlong line here\n\r";
    for (std::size_t size = 2; size <= 12; ++size) {
        SCOPED_TRACE(size);
        Stream s(path, "r", size);
        for (std::size_t chunk : {1u, 2u, 3u, 7u, 64u})
            EXPECT_EQ(drain(s.open(path, "r", size), [&] { return chunk; }), cooked) << chunk;
        std::string got;
        s.open(path, "r", size);
        for (int c; (c = oxWinAPI_fgetc(s)) != -1;) got += static_cast<char>(c);
        EXPECT_EQ(got, cooked);
        char line[8];
        for (got.clear(), s.open(path, "r", size); oxWinAPI_readString(line, sizeof line, s, 1);) got += line;
        EXPECT_EQ(got, "a\nb\r\n\n\n\rcd\r\r\nlong \n");  // the long line fails the stream
        spill(s.open(t / "out", "w", size), cooked, [] { return 3; });
        s.close();
        EXPECT_EQ(readFile(t / "out"), withCrLf(cooked));
    }
}

// Positions are 64-bit inside: past 2 GiB and 4 GiB data lands where it should, ftell says
// -1 without failing the stream, and what an int count cannot say is clamped, never wrapped.
TEST(StreamFiles, FilesBeyondTwoGigabytes) {
    TempDir t;
    const std::string path = t / "sparse";
    const off_t five = off_t{5} << 30, far = (off_t{4} << 30) + 5;  // far wraps to 5 in 32 bits
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(::ftruncate(fd, five), 0);  // sparse: no disk taken
    ASSERT_EQ(::pwrite(fd, "MARK", 4, far), 4);
    Stream s(path, "rwb");
    EXPECT_EQ(after(oxWinAPI_fseek(s, static_cast<long>(far), 0), s), State(0, 0, -1));
    char buf[8];
    EXPECT_EQ((std::pair{oxWinAPI_fread(buf, 1, 4, s), std::string(buf, 4)}), std::pair(4, std::string("MARK")));
    EXPECT_EQ(oxWinAPI_fwrite("next", 1, 4, s), 4);
    oxWinAPI_fseek(s, -8, 2);
    EXPECT_EQ(oxWinAPI_fwrite("tail", 1, 4, s), 4);
    EXPECT_EQ(after(oxWinAPI_fseek(s, INT_MAX - 1, 0), s), State(0, 0, INT_MAX - 1));
    EXPECT_EQ(after(oxWinAPI_fwrite("ab", 1, 2, s), s), State(2, 0, -1));  // across the int boundary
    EXPECT_EQ(after(oxWinAPI_fseek(s, 0, 0), s), State(0, 0, 0));
    oxWinAPI_fseek(s, LONG_MAX, 0);
    EXPECT_EQ(after(oxWinAPI_fseek(s, 1, 1), s), State(0, 0, -1));  // a target that overflows fails the stream instead of wrapping
    oxWinAPI_fseek(s.open(path, "rwb"), LONG_MAX, 0);  // a write no position can hold end fails
    EXPECT_EQ(after(oxWinAPI_fwrite("abc", 1, 3, s), s), State(INT_MIN, 0, -1));

    oxWinAPI_fseek(s.open(path, "rw"), 0, 2);  // text: line ends and line input as at the start
    EXPECT_EQ(oxWinAPI_fwrite("a\nb\n", 1, 4, s), 6);
    oxWinAPI_fseek(s, -6, 2);
    EXPECT_STREQ(oxWinAPI_fgets(buf, 8, s), "a");
    EXPECT_STREQ(oxWinAPI_readString(buf, 8, s, 1), "b\n");
    EXPECT_EQ(after(oxWinAPI_fgets(buf, 8, s) != nullptr, s), State(0, 1, -1));
    s.close();
    EXPECT_EQ(std::filesystem::file_size(path), static_cast<std::uintmax_t>(five) + 6);
    const auto at = [&](off_t where, std::size_t n) {
        std::string bytes(n, '?');
        return ::pread(fd, bytes.data(), n, where) == static_cast<ssize_t>(n) ? bytes : "short";
    };
    EXPECT_EQ(at(far, 8) + at(five - 8, 4), "MARKnexttail");
    EXPECT_EQ(at(0, 8), std::string(8, '\0'));  // nothing wrapped to the start
    ::close(fd);

    oxWinAPI_fseek(s.open(path, "rb"), static_cast<long>(far), 0);
    EXPECT_EQ(after(oxWinAPI_fwrite("x", 1, 1, s), s), State(INT_MIN, 0, -1));  // -1 minus the old position: below INT_MIN
    char small[4] = "abc";  // a read of more than INT_MAX bytes could not report its count
    EXPECT_EQ(after(oxWinAPI_fread(small, std::size_t{1} << 31, 1, s.open(path, "rb")), s), State(0, 0, -1));
    EXPECT_STREQ(small, "abc");
}
