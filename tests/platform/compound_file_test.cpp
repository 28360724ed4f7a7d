// The compound-document reader on documents of the test writer and on broken ones (the
// LibreOffice documents: gsf_differential_test.cpp; missing files and folders:
// design_properties_test.cpp).
#include "platform/compound_file.hpp"

#include <gtest/gtest.h>

#include "platform/compound_writer.hpp"

using namespace orvane::cfb;
using testcfb::put;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Opens an exact-size copy of the bytes, so that the sanitizer sees any read past the end.
struct Doc {
    Bytes bytes;
    Status status = kOk;
    std::unique_ptr<CompoundFile> f;
    explicit Doc(const Bytes& b) : bytes(b), f(CompoundFile::open(memorySource(bytes.data(), bytes.size()), status)) {}
};

Bytes pattern(std::size_t n, unsigned seed) {
    Bytes s(n);
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<std::uint8_t>((i * 131 + seed * 7 + (i >> 9)) & 0xFF);
    return s;
}
std::string text(const Bytes& b) { return {b.begin(), b.end()}; }

}  // namespace

// Streams of every size class in both versions, contiguous and spread over the file,
// nested storages; each read back byte for byte.
class RoundTrip : public ::testing::TestWithParam<std::tuple<unsigned, bool>> {};

TEST_P(RoundTrip, EveryStreamReadsBack) {
    const auto [version, scatter] = GetParam();
    testcfb::Writer w(version, scatter);
    const std::size_t sizes[] = {0, 1, 63, 64, 65, 511, 512, 4095, 4096, 4097, 9000, 70000};
    const int sub = w.storage(0, u"Sub"), deeper = w.storage(sub, u"Deeper");
    std::vector<int> ids;
    for (std::size_t i = 0; i < std::size(sizes); ++i)
        ids.push_back(w.stream(i % 3 == 0 ? 0 : i % 3 == 1 ? sub : deeper, u"S" + std::u16string(1, u'a' + i), text(pattern(sizes[i], i))));
    const Doc d(w.build());
    ASSERT_TRUE(d.f) << std::hex << d.status;
    EXPECT_EQ(std::pair(d.f->version(), d.f->sectorSize()), std::pair(version, version == 4 ? 4096u : 512u));
    Bytes got;
    for (std::size_t i = 0; i < ids.size(); ++i) EXPECT_TRUE(d.f->readStream(ids[i], got) && got == pattern(sizes[i], i)) << sizes[i];
    EXPECT_EQ(static_cast<std::uint32_t>(deeper), d.f->find(sub, u"Deeper"));
    EXPECT_EQ(kNoEntry, d.f->find(0, u"Deeper"));  // only direct children
    EXPECT_EQ(kNoEntry, d.f->find(0, u"SA"));      // the format orders names ignoring case; a lookup must not
    EXPECT_FALSE(d.f->readStream(sub, got));       // a storage has no bytes
}

INSTANTIATE_TEST_SUITE_P(Versions, RoundTrip, ::testing::Combine(::testing::Values(3u, 4u), ::testing::Bool()));

TEST(CompoundFile, LargeFileUsesTheDifatAndACyclicDifatEndsTheWalk) {
    // 20 MiB in 512-byte sectors needs 320 FAT sectors: the header's 109 and two DIFAT sectors.
    testcfb::Writer w(3, true);
    const int big = w.stream(0, u"Big", text(pattern(20 << 20, 3))), small = w.stream(0, u"Small", text(pattern(5000, 4)));
    Doc d(w.build());
    ASSERT_EQ(2u, w.difatChain.size());
    ASSERT_TRUE(d.f);
    Bytes got;
    EXPECT_TRUE(d.f->readStream(small, got) && got == pattern(5000, 4));
    EXPECT_TRUE(d.f->readStream(big, got) && got == pattern(20 << 20, 3));
    // The first DIFAT sector points back at itself, under a header count that would allow
    // a long walk: the directory lies beyond its reach, so the open fails.
    put(d.bytes, w.offset(w.difatChain[0]) + w.ss - 4, w.difatChain[0]);
    put(d.bytes, 72, 1000);
    EXPECT_FALSE(Doc(d.bytes).f);
}

// Broken files: each must fail cleanly, never crash, hang or read outside the bytes.
TEST(CompoundFile, BrokenHeadersAreRefused) {
    testcfb::Writer w(3);
    w.stream(0, u"A", "abc");
    const Bytes good = w.build();
    const struct { const char* what; std::size_t at; std::uint32_t value; int width; Status status; } cases[] = {
        // width 0: the file is cut to `value` bytes.
        {"empty", 0, 0, 0, kNotCompoundFile}, {"seven bytes", 0, 7, 0, kNotCompoundFile},
        {"no signature", 0, 0x78787878, 4, kNotCompoundFile}, {"truncated header", 0, 300, 0, kInvalidHeader},
        {"byte order", 28, 0xFFFF, 2, kInvalidHeader}, {"sector shift 12 in version 3", 30, 12, 1, kInvalidHeader},
        {"sector shift 31", 30, 31, 1, kInvalidHeader}, {"version 5", 26, 5, 1, kInvalidHeader},
        {"mini shift", 32, 7, 1, kInvalidHeader}, {"mini cutoff", 56, 0xFFFFFFFF, 4, kInvalidHeader},
        {"huge FAT count", 44, 0x7FFFFFFF, 4, kDocfileCorrupt}, {"directory past the end", 48, 0x00FFFFFF, 4, kDocfileCorrupt},
        {"no directory", 48, testcfb::kEnd, 4, kDocfileCorrupt}, {"FAT sector past the end", 76, 0x00FFFFFF, 4, kDocfileCorrupt},
        {"header only", 0, 512, 0, kDocfileCorrupt}, {"first entry not the root", w.dirEntryOffset(0) + 66, 1, 1, kDocfileCorrupt},
        {"cut short: the FAT (written last) is gone", 0, static_cast<std::uint32_t>(good.size() - 700), 0, kDocfileCorrupt},
    };
    for (const auto& c : cases) {
        Bytes bytes = good;
        c.width ? put(bytes, c.at, c.value, c.width) : bytes.resize(c.value);
        const Doc d(bytes);
        EXPECT_EQ(std::pair(d.f == nullptr, d.status), std::pair(true, c.status)) << c.what;
    }
}
