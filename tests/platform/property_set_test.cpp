// The property-set reader below the text of histo_getV8Prop: values, dictionaries and
// sections as read, where the exported function shows only their text.
#include "platform/property_set.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/compound_writer.hpp"

using namespace orvane::propset;
using Names = std::vector<std::pair<std::uint32_t, std::u16string>>;
using ReadSection = orvane::propset::Section;

namespace {

// A one-section stream, parsed, and its user-defined section (which refers into the set).
struct UserSet {
    PropertySet set;
    ReadSection s;
    explicit UserSet(const testcfb::Section& sec) {
        const std::string bytes = testcfb::propertyStream({sec});
        EXPECT_TRUE(set.parse({bytes.begin(), bytes.end()}) && set.section(kUserDefinedProperties, s));
    }
};

}  // namespace

// Numbers, times and type words show in the text of histo_getV8Prop; strings are checked here.
TEST(PropertySet, ReadsStrings) {
    using namespace testcfb;
    const UserSet u(section(kUserDefinedId).codePage(1252).add(7, vtString8(kVtLpstr, "Gr\xF6\xDF" "e"))
                        .add(8, vtString8(kVtBstr, "Gr\xF6\xDF" "e")).add(9, vtLpwstr(u"wide \u20AC")));
    EXPECT_EQ(1252, u.s.codePage());
    Value v;
    const auto ok = [&](std::uint32_t id) { return u.s.read(id, v) == ReadResult::Ok; };
    // An 8-bit string stays as stored; a BSTR becomes 16-bit through the set's code page.
    EXPECT_TRUE(ok(7) && !v.isWide && v.bytes == "Gr\xF6\xDF" "e");
    EXPECT_TRUE(ok(8) && v.isWide && v.wide == u"Gr\u00F6\u00DFe");
    EXPECT_TRUE(ok(9) && v.wide == u"wide \u20AC");
    EXPECT_EQ(ReadResult::Absent, u.s.read(99, v));
}

TEST(PropertySet, DictionariesAndSections) {
    using namespace testcfb;
    Names names;
    ReadSection s;
    EXPECT_EQ(ReadResult::Ok, UserSet(section(kUserDefinedId).codePage(1252).dictionary({{2, "Gr\xF6\xDF" "e"}, {3, "Plain"}})).s.dictionary(names));
    EXPECT_EQ((Names{{2, u"Gr\u00F6\u00DFe"}, {3, u"Plain"}}), names);
    EXPECT_EQ(ReadResult::Ok, UserSet(section(kUserDefinedId).codePage(65001).dictionary({{2, "Gr\xC3\xB6\xC3\x9F" "e"}})).s.dictionary(names));
    EXPECT_EQ((Names{{2, u"Gr\u00F6\u00DFe"}}), names);
    // Code page 1200: names and 8-bit strings are 16-bit, names padded to four bytes.
    const UserSet wide(section(kUserDefinedId).codePage(1200)
                           .dictionary16({{2, u"A"}, {3, u"\u00C4bc"}, {4, u"Long name"}})
                           .add(2, vtString16(kVtLpstr, u"\u00E9t\u00E9")));
    EXPECT_EQ(ReadResult::Ok, wide.s.dictionary(names));
    EXPECT_EQ((Names{{2, u"A"}, {3, u"\u00C4bc"}, {4, u"Long name"}}), names);
    Value v;
    EXPECT_TRUE(wide.s.read(2, v) == ReadResult::Ok && v.isWide && v.wide == u"\u00E9t\u00E9");
    EXPECT_EQ(ReadResult::Absent, UserSet(section(kUserDefinedId).add(2, vtI4(1))).s.dictionary(names));

    // Sections are found by format identifier, in a stream whose header is whole.
    const std::string two = propertyStream({section(kDocSummaryId), section(kUserDefinedId).add(2, vtI4(1))});
    PropertySet set;
    EXPECT_TRUE(set.parse({two.begin(), two.end()}) && set.sectionCount() == 2 && !set.section(kSummaryInformation, s));
    EXPECT_TRUE(set.section(kUserDefinedProperties, s) && s.table().size() == 1);
    std::string small = two;
    testcfb::put(small, 28 + 2 * 20 + 8, 4);  // the second section's size, below its own header
    EXPECT_TRUE(set.parse({small.begin(), small.end()}) && !set.section(kUserDefinedProperties, s));
    EXPECT_FALSE(set.parse({two.begin(), two.begin() + 27}));
}

TEST(PropertySet, DecodesTheCommonCodePages) {
    std::u16string out;
    EXPECT_TRUE(decodeCodePage(1252, reinterpret_cast<const std::uint8_t*>("a\xE9"), 2, out) && out == u"a\u00E9");
    EXPECT_TRUE(decodeCodePage(932, reinterpret_cast<const std::uint8_t*>("\x93\xFA"), 2, out) && out == u"\u65E5");  // Shift-JIS
    EXPECT_FALSE(decodeCodePage(65001, reinterpret_cast<const std::uint8_t*>("ok\xFFx"), 4, out));  // not UTF-8
    EXPECT_EQ(u"ok", out);
}
