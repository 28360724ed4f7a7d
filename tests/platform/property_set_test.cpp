// The property-set reader below the text of histo_getV8Prop: values, dictionaries and
// sections as read, where the exported function shows only their text.
#include "platform/property_set.hpp"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/compound_writer.hpp"

using namespace orvane::propset;
using Names = std::vector<std::pair<std::uint32_t, std::u16string>>;
namespace w = testcfb;

namespace {

// A one-section stream, parsed, and its user-defined section (which refers into the set).
struct UserSet {
    PropertySet set;
    Section s;
    explicit UserSet(const w::Section& sec) {
        const std::string bytes = w::propertyStream({sec});
        EXPECT_TRUE(set.parse({bytes.begin(), bytes.end()}) && set.section(kUserDefinedProperties, s));
    }
    Names names() const {
        Names out;
        EXPECT_EQ(s.dictionary(out), ReadResult::Ok);
        return out;
    }
};
w::Section user(std::uint16_t codePage) { return w::section(w::kUserDefinedId).codePage(codePage); }

}  // namespace

// Numbers, times and type words show in the text of histo_getV8Prop; strings are checked here.
TEST(PropertySet, StringsDictionariesSectionsAndCodePages) {
    const std::string grosse = "Gr\xF6\xDF" "e";
    const UserSet u(user(1252).dictionary({{2, grosse}, {3, "Plain"}}).add(7, w::vtString8(kVtLpstr, grosse))
                        .add(8, w::vtString8(kVtBstr, grosse)).add(9, w::vtLpwstr(u"wide \u20AC")));
    EXPECT_EQ(1252, u.s.codePage());
    Value v;
    const auto ok = [&](std::uint32_t id) { return u.s.read(id, v) == ReadResult::Ok; };
    // An 8-bit string stays as stored; a BSTR becomes 16-bit through the set's code page.
    EXPECT_TRUE(ok(7) && !v.isWide && v.bytes == grosse);
    EXPECT_TRUE(ok(8) && v.isWide && v.wide == u"Gr\u00F6\u00DFe");
    EXPECT_TRUE(ok(9) && v.wide == u"wide \u20AC");
    EXPECT_EQ(ReadResult::Absent, u.s.read(99, v));
    EXPECT_EQ((Names{{2, u"Gr\u00F6\u00DFe"}, {3, u"Plain"}}), u.names());
    EXPECT_EQ((Names{{2, u"Gr\u00F6\u00DFe"}}), UserSet(user(65001).dictionary({{2, "Gr\xC3\xB6\xC3\x9F" "e"}})).names());
    // Code page 1200: names and 8-bit strings are 16-bit, names padded to four bytes ("Äb").
    const UserSet wide(user(1200).dictionary({}, {{2, u"A"}, {3, u"\u00C4b"}, {4, u"Long name"}})
                           .add(2, w::vtString16(kVtLpstr, u"\u00E9t\u00E9")));
    EXPECT_EQ((Names{{2, u"A"}, {3, u"\u00C4b"}, {4, u"Long name"}}), wide.names());
    EXPECT_TRUE(wide.s.read(2, v) == ReadResult::Ok && v.isWide && v.wide == u"\u00E9t\u00E9");
    Names none;
    EXPECT_EQ(ReadResult::Absent, UserSet(w::section(w::kUserDefinedId).add(2, w::vtI4(1))).s.dictionary(none));

    // Sections are found by format identifier, in a stream whose header is whole.
    const std::string two = w::propertyStream({w::section(w::kDocSummaryId), w::section(w::kUserDefinedId).add(2, w::vtI4(1))});
    PropertySet set;
    Section s;
    EXPECT_TRUE(set.parse({two.begin(), two.end()}) && set.sectionCount() == 2 && !set.section(kSummaryInformation, s));
    EXPECT_TRUE(set.section(kUserDefinedProperties, s) && s.table().size() == 1);
    std::string small = two;
    w::put(small, 28 + 2 * 20 + 8, 4);  // the second section's size, below its own header
    EXPECT_TRUE(set.parse({small.begin(), small.end()}) && !set.section(kUserDefinedProperties, s));
    EXPECT_FALSE(set.parse({two.begin(), two.begin() + 27}));

    std::u16string out;
    const auto decode = [&](std::uint16_t cp, const char* text) {
        return decodeCodePage(cp, reinterpret_cast<const std::uint8_t*>(text), std::strlen(text), out);
    };
    EXPECT_TRUE(decode(1252, "a\xE9") && out == u"a\u00E9");
    EXPECT_TRUE(decode(932, "\x93\xFA") && out == u"\u65E5");  // Shift-JIS
    EXPECT_EQ((std::pair{decode(65001, "ok\xFFx"), out}), std::pair(false, std::u16string(u"ok")));  // not UTF-8: cut there
}
