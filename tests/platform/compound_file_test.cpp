#include "platform/compound_file.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

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

std::string pattern(std::size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 9)) & 0xFF);
    return s;
}
Bytes bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

}  // namespace

TEST(CompoundFile, ReadsALibreOfficeDocument) {
    Status status;
    auto f = CompoundFile::open(fileSource(ORVANE_TEST_DATA "/props-basic.doc", status), status);
    ASSERT_TRUE(f) << std::hex << status;
    EXPECT_EQ(3u, f->version());
    std::vector<std::uint32_t> kids;
    ASSERT_TRUE(f->children(CompoundFile::rootId(), kids));
    std::string names;
    for (auto id : kids) {
        for (char16_t c : f->entry(id)->name) names += c < 0x20 ? '#' : static_cast<char>(c);
        names += ',';
    }
    EXPECT_EQ("#Ole,1Table,#CompObj,WordDocument,#SummaryInformation,#DocumentSummaryInformation,", names);
    // Names match exactly: the format's own ordering ignores case, a lookup must not.
    EXPECT_EQ(kNoEntry, f->find(0, u"\u0005summaryinformation"));
    EXPECT_EQ(kNoEntry, f->find(0, u"worddocument"));
    Bytes bytes;
    ASSERT_TRUE(f->readStream(f->find(0, u"\u0005SummaryInformation"), bytes));
    EXPECT_EQ(392u, bytes.size());
    EXPECT_EQ(0xFE, bytes[0]);
    ASSERT_TRUE(f->readStream(f->find(0, u"WordDocument"), bytes));
    EXPECT_EQ(3631u, bytes.size());
}

TEST(CompoundFile, MissingAndForeignFiles) {
    const std::pair<const char*, Status> cases[] = {{"/nonexistent/dir/x.dgn", kPathNotFound},
                                                    {ORVANE_TEST_DATA "/props-basic.doc/x.dgn", kPathNotFound},
                                                    {"/nonexistent-file.dgn", kFileNotFound},
                                                    {"/tmp", kAccessDenied},
                                                    {ORVANE_TEST_DATA "/props-basic.fodt", kNotCompoundFile}};
    for (const auto& [path, expected] : cases) {
        Status status = kOk;
        if (auto source = fileSource(path, status)) { EXPECT_FALSE(CompoundFile::open(std::move(source), status)); }
        EXPECT_EQ(expected, status) << path;
    }
}

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
        ids.push_back(w.stream(i % 3 == 0 ? 0 : i % 3 == 1 ? sub : deeper, u"S" + std::u16string(1, u'a' + i), pattern(sizes[i], i)));
    const Doc d(w.build());
    ASSERT_TRUE(d.f) << std::hex << d.status;
    EXPECT_EQ(version, d.f->version());
    EXPECT_EQ(version == 4 ? 4096u : 512u, d.f->sectorSize());
    Bytes got;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        EXPECT_TRUE(d.f->readStream(ids[i], got)) << sizes[i];
        EXPECT_EQ(bytesOf(pattern(sizes[i], i)), got) << sizes[i];
    }
    EXPECT_EQ(static_cast<std::uint32_t>(deeper), d.f->find(sub, u"Deeper"));
    EXPECT_EQ(kNoEntry, d.f->find(0, u"Deeper"));  // only direct children
    EXPECT_FALSE(d.f->readStream(sub, got));       // a storage has no bytes
}

INSTANTIATE_TEST_SUITE_P(Versions, RoundTrip, ::testing::Combine(::testing::Values(3u, 4u), ::testing::Bool()));

TEST(CompoundFile, LargeFileUsesTheDifatAndACyclicDifatEndsTheWalk) {
    // 20 MiB in 512-byte sectors needs 320 FAT sectors: the header's 109 and two DIFAT sectors.
    testcfb::Writer w(3, true);
    const int big = w.stream(0, u"Big", pattern(20 << 20, 3)), small = w.stream(0, u"Small", pattern(5000, 4));
    Doc d(w.build());
    ASSERT_EQ(2u, w.difatChain.size());
    ASSERT_TRUE(d.f);
    Bytes got;
    EXPECT_TRUE(d.f->readStream(small, got) && got == bytesOf(pattern(5000, 4)));
    EXPECT_TRUE(d.f->readStream(big, got) && got == bytesOf(pattern(20 << 20, 3)));
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
    const std::tuple<const char*, std::function<void(Bytes&)>, Status> cases[] = {
        {"empty", [](auto& b) { b.clear(); }, kNotCompoundFile},
        {"seven bytes", [](auto& b) { b.resize(7); }, kNotCompoundFile},
        {"text", [](auto& b) { b.assign(600, 'x'); }, kNotCompoundFile},
        {"truncated header", [](auto& b) { b.resize(300); }, kInvalidHeader},
        {"byte order", [](auto& b) { put(b, 28, 0xFFFF, 2); }, kInvalidHeader},
        {"sector shift 12 in version 3", [](auto& b) { b[30] = 12; }, kInvalidHeader},
        {"sector shift 31", [](auto& b) { b[30] = 31; }, kInvalidHeader},
        {"version 5", [](auto& b) { b[26] = 5; }, kInvalidHeader},
        {"mini shift", [](auto& b) { b[32] = 7; }, kInvalidHeader},
        {"mini cutoff", [](auto& b) { put(b, 56, 0xFFFFFFFF); }, kInvalidHeader},
        {"huge FAT count", [](auto& b) { put(b, 44, 0x7FFFFFFF); }, kDocfileCorrupt},
        {"directory past the end", [](auto& b) { put(b, 48, 0x00FFFFFF); }, kDocfileCorrupt},
        {"no directory", [](auto& b) { put(b, 48, testcfb::kEnd); }, kDocfileCorrupt},
        {"FAT sector past the end", [](auto& b) { put(b, 76, 0x00FFFFFF); }, kDocfileCorrupt},
        {"header only", [](auto& b) { b.resize(512); }, kDocfileCorrupt},
        {"first entry not the root", [&](auto& b) { b[w.dirEntryOffset(0) + 66] = 1; }, kDocfileCorrupt},
        {"cut short: the FAT (written last) is gone", [](auto& b) { b.resize(b.size() - 700); }, kDocfileCorrupt},
    };
    for (const auto& [what, breakIt, expected] : cases) {
        Bytes bytes = good;
        breakIt(bytes);
        const Doc d(bytes);
        EXPECT_FALSE(d.f) << what;
        EXPECT_EQ(expected, d.status) << what;
    }
}

TEST(CompoundFile, CyclicSiblingTreeEndsTheWalk) {
    testcfb::Writer w(3);
    const int s = w.storage(0, u"S"), x = w.stream(s, u"X", "1"), y = w.stream(s, u"Y", "2");
    w.stream(s, u"Z", "3");
    Bytes bytes = w.build();
    put(bytes, w.dirEntryOffset(x) + 72, y);  // Y is the tree's top: X's right sibling points back at it
    const Doc d(bytes);
    std::vector<std::uint32_t> kids;
    ASSERT_TRUE(d.f);
    EXPECT_FALSE(d.f->children(s, kids));
    EXPECT_EQ(kNoEntry, d.f->find(s, u"Z"));
}
