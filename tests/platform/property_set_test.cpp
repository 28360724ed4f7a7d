#include "platform/property_set.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/compound_file.hpp"
#include "platform/compound_writer.hpp"

using namespace orvane::propset;

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

bool sectionOf(PropertySet& set, const std::string& stream, const FormatId& id, Section& out) {
    return set.parse(bytesOf(stream)) && set.section(id, out);
}

}  // namespace

TEST(PropertySet, ReadsEveryValueType) {
    auto sec = testcfb::section(testcfb::kUserDefinedId);
    sec.codePage(1252)
        .add(2, testcfb::vtI2(-12345))
        .add(3, testcfb::vtI4(-2000000000))
        .add(4, testcfb::vtR4(1.5f))
        .add(5, testcfb::vtR8(-0.125))
        .add(6, testcfb::vtBool(true))
        .add(7, testcfb::vtString8(kVtLpstr, "Gr\xF6\xDF" "e"))
        .add(8, testcfb::vtString8(kVtBstr, "Gr\xF6\xDF" "e"))
        .add(9, testcfb::vtLpwstr(u"wide \u20AC"))
        .add(10, testcfb::vtFiletime(0x0123456789ABCDEFull))
        .add(11, testcfb::vtBlob("xyz"))
        .add(12, testcfb::vtVectorLpstr({"a", "bc"}))
        .add(13, testcfb::typed(kVtEmpty, ""))
        .add(14, testcfb::typed(0x2003, std::string(8, '\0')));
    PropertySet set;
    Section s;
    ASSERT_TRUE(sectionOf(set, testcfb::propertyStream({sec}), kUserDefinedProperties, s));
    EXPECT_EQ(1252, s.codePage());
    Value v;
    ASSERT_EQ(ReadResult::Ok, s.read(2, v));
    EXPECT_EQ(kVtI2, v.type);
    EXPECT_EQ(-12345, v.integer);
    ASSERT_EQ(ReadResult::Ok, s.read(3, v));
    EXPECT_EQ(-2000000000, v.integer);
    ASSERT_EQ(ReadResult::Ok, s.read(4, v));
    EXPECT_EQ(1.5, v.real);
    ASSERT_EQ(ReadResult::Ok, s.read(5, v));
    EXPECT_EQ(-0.125, v.real);
    ASSERT_EQ(ReadResult::Ok, s.read(6, v));
    EXPECT_NE(0, v.integer);
    // An 8-bit string stays as stored; a BSTR becomes 16-bit through the set's code page.
    ASSERT_EQ(ReadResult::Ok, s.read(7, v));
    EXPECT_FALSE(v.isWide);
    EXPECT_EQ("Gr\xF6\xDF" "e", v.bytes);
    ASSERT_EQ(ReadResult::Ok, s.read(8, v));
    EXPECT_TRUE(v.isWide);
    EXPECT_EQ(u"Gr\u00F6\u00DFe", v.wide);
    ASSERT_EQ(ReadResult::Ok, s.read(9, v));
    EXPECT_EQ(u"wide \u20AC", v.wide);
    ASSERT_EQ(ReadResult::Ok, s.read(10, v));
    EXPECT_EQ(0x0123456789ABCDEFull, v.filetime);
    ASSERT_EQ(ReadResult::Ok, s.read(11, v));
    EXPECT_EQ(kVtBlob, v.type);
    ASSERT_EQ(ReadResult::Ok, s.read(12, v));
    EXPECT_EQ(0x101E, v.type);
    ASSERT_EQ(ReadResult::Ok, s.read(13, v));
    EXPECT_EQ(kVtEmpty, v.type);
    ASSERT_EQ(ReadResult::Ok, s.read(14, v));
    EXPECT_EQ(0x2003, v.type);
    EXPECT_EQ(ReadResult::Absent, s.read(99, v));
}

TEST(PropertySet, DictionariesInEightBitAndUnicodeSets) {
    auto eight = testcfb::section(testcfb::kUserDefinedId);
    eight.codePage(1252).dictionary({{2, "Gr\xF6\xDF" "e"}, {3, "Plain"}}).add(2, testcfb::vtI4(1)).add(3, testcfb::vtI4(2));
    auto utf8 = testcfb::section(testcfb::kUserDefinedId);
    utf8.codePage(65001).dictionary({{2, "Gr\xC3\xB6\xC3\x9F" "e"}});
    // Code page 1200: names and 8-bit strings are 16-bit, names padded to four bytes.
    auto wide = testcfb::section(testcfb::kUserDefinedId);
    wide.codePage(1200)
        .dictionary16({{2, u"A"}, {3, u"\u00C4bc"}, {4, u"Long name"}})
        .add(2, testcfb::vtString16(kVtLpstr, u"\u00E9t\u00E9"))
        .add(3, testcfb::vtString16(kVtBstr, u"b"));
    const std::vector<std::pair<std::uint32_t, std::u16string>> expected8 = {{2, u"Gr\u00F6\u00DFe"}, {3, u"Plain"}};
    const std::vector<std::pair<std::uint32_t, std::u16string>> expectedWide = {
        {2, u"A"}, {3, u"\u00C4bc"}, {4, u"Long name"}};
    PropertySet set;
    Section s;
    std::vector<std::pair<std::uint32_t, std::u16string>> names;
    ASSERT_TRUE(sectionOf(set, testcfb::propertyStream({eight}), kUserDefinedProperties, s));
    ASSERT_EQ(ReadResult::Ok, s.dictionary(names));
    EXPECT_EQ(expected8, names);
    ASSERT_TRUE(sectionOf(set, testcfb::propertyStream({utf8}), kUserDefinedProperties, s));
    ASSERT_EQ(ReadResult::Ok, s.dictionary(names));
    EXPECT_EQ(u"Gr\u00F6\u00DFe", names.at(0).second);
    ASSERT_TRUE(sectionOf(set, testcfb::propertyStream({wide}), kUserDefinedProperties, s));
    ASSERT_EQ(ReadResult::Ok, s.dictionary(names));
    EXPECT_EQ(expectedWide, names);
    Value v;
    ASSERT_EQ(ReadResult::Ok, s.read(2, v));
    EXPECT_TRUE(v.isWide);
    EXPECT_EQ(u"\u00E9t\u00E9", v.wide);
    // A set without a dictionary has no names.
    auto none = testcfb::section(testcfb::kUserDefinedId);
    none.add(2, testcfb::vtI4(1));
    ASSERT_TRUE(sectionOf(set, testcfb::propertyStream({none}), kUserDefinedProperties, s));
    EXPECT_EQ(ReadResult::Absent, s.dictionary(names));
}

TEST(PropertySet, SectionsAreFoundByFormatIdentifier) {
    auto doc = testcfb::section(testcfb::kDocSummaryId);
    doc.add(15, testcfb::vtString8(kVtLpstr, "Company"));
    auto user = testcfb::section(testcfb::kUserDefinedId);  // an empty set
    PropertySet set;
    ASSERT_TRUE(set.parse(bytesOf(testcfb::propertyStream({doc, user}))));
    EXPECT_EQ(2u, set.sectionCount());
    Section s;
    ASSERT_TRUE(set.section(kUserDefinedProperties, s));
    EXPECT_TRUE(s.table().empty());
    ASSERT_TRUE(set.section(kDocSummaryInformation, s));
    EXPECT_EQ(1u, s.table().size());
    EXPECT_FALSE(set.section(kSummaryInformation, s));
    // No section at all: the set does not exist.
    ASSERT_TRUE(set.parse(bytesOf(testcfb::propertyStream({}))));
    EXPECT_FALSE(set.section(kDocSummaryInformation, s));
}

TEST(PropertySet, DecodesTheCommonCodePages) {
    std::u16string out;
    const std::uint8_t latin[] = {'a', 0xE9};
    EXPECT_TRUE(decodeCodePage(1252, latin, 2, out));
    EXPECT_EQ(u"a\u00E9", out);
    const std::uint8_t sjis[] = {0x93, 0xFA};  // 日 in Shift-JIS
    EXPECT_TRUE(decodeCodePage(932, sjis, 2, out));
    EXPECT_EQ(u"\u65E5", out);
    const std::uint8_t bad[] = {'o', 'k', 0xFF, 'x'};  // not UTF-8
    EXPECT_FALSE(decodeCodePage(65001, bad, 4, out));
    EXPECT_EQ(u"ok", out);
}

// Broken streams: every offset and count is checked against the section and the stream.
TEST(PropertySet, BrokenStreamsAreRefused) {
    auto good = testcfb::section(testcfb::kUserDefinedId);
    good.codePage(1252).dictionary({{2, "Name"}}).add(2, testcfb::vtString8(kVtLpstr, "value"));
    const std::string stream = testcfb::propertyStream({good});
    const std::size_t sec = 48;  // section offset in a one-section stream
    auto with = [&](std::size_t at, std::uint32_t v) {
        std::string s = stream;
        for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        return s;
    };
    PropertySet set;
    Section s;
    EXPECT_FALSE(set.parse(bytesOf(stream.substr(0, 27))));                     // short header
    EXPECT_FALSE(set.parse(bytesOf(with(0, 0xFFFF0000))));                      // byte order
    EXPECT_FALSE(set.parse(bytesOf(with(24, 0x7FFFFFFF))));                     // section count
    EXPECT_FALSE(sectionOf(set, with(44, 0x7FFFFFF0), kUserDefinedProperties, s));  // section offset
    EXPECT_FALSE(sectionOf(set, with(sec, 0x7FFFFFFF), kUserDefinedProperties, s));  // section size
    EXPECT_FALSE(sectionOf(set, with(sec, 4), kUserDefinedProperties, s));           // below its header
    EXPECT_FALSE(sectionOf(set, with(sec + 4, 0x10000000), kUserDefinedProperties, s));  // property count

    Value v;
    std::vector<std::pair<std::uint32_t, std::u16string>> names;
    // Table entries: code page (sec+8), dictionary (sec+16), property 2 (sec+24).
    ASSERT_TRUE(sectionOf(set, with(sec + 28, 0x7FFFFFFF), kUserDefinedProperties, s));
    EXPECT_EQ(ReadResult::Corrupt, s.read(2, v));  // offset past the section
    ASSERT_TRUE(sectionOf(set, with(sec + 20, 0xFFFFFFF0), kUserDefinedProperties, s));
    EXPECT_EQ(ReadResult::Corrupt, s.dictionary(names));
    // The string's own length, and the dictionary's entry count, past the section.
    const std::size_t valueAt = stream.size() - 12;  // the length before "value\0" (padded to 8)
    ASSERT_TRUE(sectionOf(set, with(valueAt, 0xFFFFFF00), kUserDefinedProperties, s));
    EXPECT_EQ(ReadResult::Corrupt, s.read(2, v));
    const std::size_t dictAt = sec + 8 + 3 * 8 + 8;  // after the table and the code page value
    ASSERT_TRUE(sectionOf(set, with(dictAt, 0x40000000), kUserDefinedProperties, s));
    EXPECT_EQ(ReadResult::Corrupt, s.dictionary(names));
    ASSERT_TRUE(sectionOf(set, with(dictAt + 8, 0x40000000), kUserDefinedProperties, s));
    EXPECT_EQ(ReadResult::Corrupt, s.dictionary(names));  // one name's length
}
