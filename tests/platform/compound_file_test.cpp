#include "platform/compound_file.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/compound_writer.hpp"

using namespace orvane::cfb;

namespace {

std::unique_ptr<CompoundFile> openBytes(const std::vector<std::uint8_t>& bytes, Status& status) {
    return CompoundFile::open(memorySource(bytes.data(), bytes.size()), status);
}

std::vector<std::uint8_t> asBytes(const std::string& s) { return {s.begin(), s.end()}; }

std::string pattern(std::size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 9)) & 0xFF);
    return s;
}

std::string nameOf(const CompoundFile& f, std::uint32_t id) {
    std::string s;
    for (char16_t c : f.entry(id)->name) s += c < 0x20 ? '#' : static_cast<char>(c);
    return s;
}

}  // namespace

TEST(CompoundFile, ReadsALibreOfficeDocument) {
    Status status;
    auto f = CompoundFile::open(fileSource(ORVANE_TEST_DATA "/props-basic.doc", status), status);
    ASSERT_TRUE(f) << std::hex << status;
    EXPECT_EQ(3u, f->version());
    std::vector<std::uint32_t> kids;
    ASSERT_TRUE(f->children(CompoundFile::rootId(), kids));
    std::vector<std::string> names;
    for (auto id : kids) names.push_back(nameOf(*f, id));
    EXPECT_EQ((std::vector<std::string>{"#Ole", "1Table", "#CompObj", "WordDocument", "#SummaryInformation",
                                        "#DocumentSummaryInformation"}),
              names);
    const std::uint32_t summary = f->find(0, u"\u0005SummaryInformation");
    ASSERT_NE(kNoEntry, summary);
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(f->readStream(summary, bytes));
    EXPECT_EQ(392u, bytes.size());
    EXPECT_EQ(0xFE, bytes[0]);
    // Names match exactly: the format's own ordering ignores case, a lookup must not.
    EXPECT_EQ(kNoEntry, f->find(0, u"\u0005summaryinformation"));
    EXPECT_EQ(kNoEntry, f->find(0, u"worddocument"));
    ASSERT_NE(kNoEntry, f->find(0, u"WordDocument"));
    EXPECT_TRUE(f->readStream(f->find(0, u"WordDocument"), bytes));
    EXPECT_EQ(3631u, bytes.size());
}

TEST(CompoundFile, MissingAndForeignFiles) {
    Status status;
    EXPECT_FALSE(fileSource("/nonexistent/dir/x.dgn", status));
    EXPECT_EQ(kPathNotFound, status);
    EXPECT_FALSE(fileSource(ORVANE_TEST_DATA "/props-basic.doc/x.dgn", status));
    EXPECT_EQ(kPathNotFound, status);
    EXPECT_FALSE(fileSource("/nonexistent-file.dgn", status));
    EXPECT_EQ(kFileNotFound, status);
    EXPECT_FALSE(fileSource("/tmp", status));
    EXPECT_EQ(kAccessDenied, status);
    EXPECT_FALSE(CompoundFile::open(fileSource(ORVANE_TEST_DATA "/props-basic.fodt", status), status));
    EXPECT_EQ(kNotCompoundFile, status);
}

// Streams of every size class in both versions, contiguous and spread over the file,
// nested storages; each read back byte for byte.
class RoundTrip : public ::testing::TestWithParam<std::tuple<unsigned, bool>> {};

TEST_P(RoundTrip, EveryStreamReadsBack) {
    const auto [version, scatter] = GetParam();
    testcfb::Writer w(version);
    w.scatter(scatter);
    const std::size_t sizes[] = {0, 1, 63, 64, 65, 511, 512, 4095, 4096, 4097, 9000, 70000};
    std::vector<int> ids;
    const int sub = w.storage(0, u"Sub");
    const int deeper = w.storage(sub, u"Deeper");
    for (std::size_t i = 0; i < std::size(sizes); ++i) {
        const int parent = i % 3 == 0 ? 0 : (i % 3 == 1 ? sub : deeper);
        ids.push_back(w.stream(parent, u"S" + std::u16string(1, u'a' + static_cast<char16_t>(i)), pattern(sizes[i], i)));
    }
    const auto bytes = w.build();
    Status status;
    auto f = openBytes(bytes, status);
    ASSERT_TRUE(f) << std::hex << status;
    EXPECT_EQ(version, f->version());
    EXPECT_EQ(version == 4 ? 4096u : 512u, f->sectorSize());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        std::vector<std::uint8_t> got;
        ASSERT_TRUE(f->readStream(ids[i], got)) << sizes[i];
        EXPECT_EQ(asBytes(pattern(sizes[i], i)), got) << sizes[i];
    }
    EXPECT_EQ(static_cast<std::uint32_t>(deeper), f->find(sub, u"Deeper"));
    EXPECT_EQ(kNoEntry, f->find(0, u"Deeper"));  // only direct children
    std::vector<std::uint8_t> got;
    EXPECT_FALSE(f->readStream(sub, got));  // a storage has no bytes
}

INSTANTIATE_TEST_SUITE_P(Versions, RoundTrip,
                         ::testing::Combine(::testing::Values(3u, 4u), ::testing::Bool()));

TEST(CompoundFile, LargeFileUsesTheDifat) {
    // 16 MiB in 512-byte sectors needs 256+ FAT sectors: more than the header's 109.
    testcfb::Writer w(3);
    w.scatter(true);
    const int big = w.stream(0, u"Big", pattern(16 << 20, 3));
    const int small = w.stream(0, u"Small", pattern(5000, 4));
    const auto bytes = w.build();
    ASSERT_FALSE(w.difatChain().empty());
    Status status;
    auto f = openBytes(bytes, status);
    ASSERT_TRUE(f);
    std::vector<std::uint8_t> got;
    ASSERT_TRUE(f->readStream(small, got));
    EXPECT_EQ(asBytes(pattern(5000, 4)), got);
    ASSERT_TRUE(f->readStream(big, got));
    EXPECT_TRUE(got == asBytes(pattern(16 << 20, 3)));
}

// Broken files: each must fail cleanly, never crash, hang or read outside the bytes.
TEST(CompoundFile, BrokenHeadersAreRefused) {
    testcfb::Writer w(3);
    w.stream(0, u"A", "abc");
    const auto good = w.build();
    Status status;
    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> breakIt;
        Status expected;
    };
    const Case cases[] = {
        {"empty", [](auto& b) { b.clear(); }, kNotCompoundFile},
        {"seven bytes", [](auto& b) { b.resize(7); }, kNotCompoundFile},
        {"text", [](auto& b) { b.assign(600, 'x'); }, kNotCompoundFile},
        {"truncated header", [](auto& b) { b.resize(300); }, kInvalidHeader},
        {"byte order", [](auto& b) { b[28] = 0xFF; b[29] = 0xFF; }, kInvalidHeader},
        {"sector shift 12 in version 3", [](auto& b) { b[30] = 12; }, kInvalidHeader},
        {"sector shift 31", [](auto& b) { b[30] = 31; }, kInvalidHeader},
        {"version 5", [](auto& b) { b[26] = 5; }, kInvalidHeader},
        {"mini shift", [](auto& b) { b[32] = 7; }, kInvalidHeader},
        {"mini cutoff", [](auto& b) { testcfb::put32(b, 56, 0xFFFFFFFF); }, kInvalidHeader},
        {"huge FAT count", [](auto& b) { testcfb::put32(b, 44, 0x7FFFFFFF); }, kDocfileCorrupt},
        {"directory past the end", [](auto& b) { testcfb::put32(b, 48, 0x00FFFFFF); }, kDocfileCorrupt},
        {"no directory", [](auto& b) { testcfb::put32(b, 48, testcfb::kEnd); }, kDocfileCorrupt},
        {"FAT sector past the end", [](auto& b) { testcfb::put32(b, 76, 0x00FFFFFF); }, kDocfileCorrupt},
        {"header only", [](auto& b) { b.resize(512); }, kDocfileCorrupt},
    };
    for (const Case& c : cases) {
        auto bytes = good;
        c.breakIt(bytes);
        // An exact-size heap copy lets the sanitizer see any read past the end.
        std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[bytes.size() + 1]);
        std::copy(bytes.begin(), bytes.end(), exact.get());
        EXPECT_FALSE(CompoundFile::open(memorySource(exact.get(), bytes.size()), status)) << c.what;
        EXPECT_EQ(c.expected, status) << c.what;
    }
}

TEST(CompoundFile, BrokenChainsFailTheRead) {
    testcfb::Writer w(3);
    w.scatter(true);
    const int a = w.stream(0, u"A", pattern(3000, 1));    // mini stream
    const int b = w.stream(0, u"B", pattern(5000, 2));    // regular
    const int c = w.stream(0, u"C", pattern(9000, 3));    // regular
    const int d = w.stream(0, u"D", pattern(200, 4));     // mini stream
    const auto good = w.build();
    Status status;
    struct Case {
        const char* what;
        int stream;
        std::function<void(std::vector<std::uint8_t>&)> breakIt;
    };
    const auto& bc = w.chainOf(b);
    const auto& cc = w.chainOf(c);
    const Case cases[] = {
        {"cycle back to the first sector", b, [&](auto& x) { testcfb::put32(x, w.fatEntryOffset(bc[2]), bc[0]); }},
        {"self loop", c, [&](auto& x) { testcfb::put32(x, w.fatEntryOffset(cc[0]), cc[0]); }},
        {"out of range", c, [&](auto& x) { testcfb::put32(x, w.fatEntryOffset(cc[1]), 0x0FFFFFFF); }},
        {"ends early", c, [&](auto& x) { testcfb::put32(x, w.fatEntryOffset(cc[3]), testcfb::kEnd); }},
        {"free sector in the chain", b, [&](auto& x) { testcfb::put32(x, w.fatEntryOffset(bc[0]), testcfb::kFree); }},
        {"size past the end", c, [&](auto& x) { testcfb::put32(x, w.dirEntryOffset(c) + 120, 0x7FFFFFFF); }},
        {"start past the end", b, [&](auto& x) { testcfb::put32(x, w.dirEntryOffset(b) + 116, 0x00FFFFFF); }},
        {"mini start past the mini stream", a, [&](auto& x) { testcfb::put32(x, w.dirEntryOffset(a) + 116, 5000); }},
        {"mini size past the mini stream", d, [&](auto& x) { testcfb::put32(x, w.dirEntryOffset(d) + 120, 4000); }},
        {"mini FAT gone", a, [&](auto& x) { testcfb::put32(x, 60, testcfb::kEnd); }},
    };
    for (const Case& k : cases) {
        auto bytes = good;
        k.breakIt(bytes);
        std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[bytes.size()]);
        std::copy(bytes.begin(), bytes.end(), exact.get());
        auto f = CompoundFile::open(memorySource(exact.get(), bytes.size()), status);
        ASSERT_TRUE(f) << k.what;
        std::vector<std::uint8_t> got;
        EXPECT_FALSE(f->readStream(k.stream, got)) << k.what;
        EXPECT_TRUE(got.empty());
    }
    // Cut short, the file loses its FAT (written last): the open itself fails.
    EXPECT_FALSE(CompoundFile::open(memorySource(good.data(), good.size() - 700), status));
    EXPECT_EQ(kDocfileCorrupt, status);
}

TEST(CompoundFile, CyclicDirectoryAndDifatEndTheWalk) {
    testcfb::Writer w(3);
    const int s = w.storage(0, u"S");
    const int x = w.stream(s, u"X", "1");
    const int y = w.stream(s, u"Y", "2");
    const int z = w.stream(s, u"Z", "3");
    const auto good = w.build();
    Status status;
    std::vector<std::uint32_t> kids;
    {
        // The middle child (Y) is the tree's top: point X's right sibling back at Y.
        auto bytes = good;
        testcfb::put32(bytes, w.dirEntryOffset(x) + 72, static_cast<std::uint32_t>(y));
        auto f = openBytes(bytes, status);
        ASSERT_TRUE(f);
        EXPECT_FALSE(f->children(s, kids));
        EXPECT_EQ(kNoEntry, f->find(s, u"Z"));
    }
    {
        // A sibling pointing at the storage itself, and one far outside the directory.
        auto bytes = good;
        testcfb::put32(bytes, w.dirEntryOffset(z) + 68, static_cast<std::uint32_t>(s));
        testcfb::put32(bytes, w.dirEntryOffset(s) + 72, 0x00FFFFFF);
        auto f = openBytes(bytes, status);
        ASSERT_TRUE(f);
        EXPECT_FALSE(f->children(s, kids));
        EXPECT_FALSE(f->children(0, kids));
    }
    {
        // A directory chain that loops on itself.
        auto bytes = good;
        const std::uint32_t dirStart = bytes[48] | (bytes[49] << 8) | (bytes[50] << 16) | (bytes[51] << 24);
        testcfb::put32(bytes, w.fatEntryOffset(dirStart), dirStart);
        EXPECT_FALSE(openBytes(bytes, status));
        EXPECT_EQ(kDocfileCorrupt, status);
    }
    // DIFAT: a large file whose DIFAT chain points back at itself.
    testcfb::Writer big(3);
    // 20 MiB: 320 FAT sectors, so the DIFAT needs a second sector.
    const int data = big.stream(0, u"Big", pattern(20 << 20, 5));
    auto bytes = big.build();
    ASSERT_GE(big.difatChain().size(), 1u);
    const std::size_t last = big.offset(big.difatChain()[0]) + big.sectorSize() - 4;
    testcfb::put32(bytes, last, big.difatChain()[0]);
    testcfb::put32(bytes, 72, 1000);  // a header count that would allow a long walk
    ASSERT_GE(big.difatChain().size(), 2u);
    auto f = openBytes(bytes, status);
    std::vector<std::uint8_t> got;
    // The directory lies beyond the first DIFAT sector's reach, so the open itself fails.
    EXPECT_TRUE(!f || !f->readStream(data, got));
    EXPECT_FALSE(f);
}
