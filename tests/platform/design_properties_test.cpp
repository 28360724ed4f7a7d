// oxFile_isV8Dgn and histo_getV8Prop as a host calls them: on LibreOffice documents, on
// files of the test writer, and on hostile files (each: 0, an empty value, no crash).
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <clocale>
#include <functional>
#include <optional>

#include "orvane.h"
#include "platform/sample_files.hpp"

using namespace testcfb;
using Bytes = std::vector<std::uint8_t>;

namespace {

// What a call gives: its result, the value, and what it printed on standard output.
using Answer = std::tuple<int, std::string, std::string>;

void setTz(const char* tz) { ::setenv("TZ", tz, 1), ::tzset(); }

// Times print in UTC so that the expected texts hold on every machine.
class DesignProps : public ::testing::Test {
protected:
    void SetUp() override { setTz("UTC"); }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }

    static Answer get(const std::string& file, const char* name) {
        std::vector<char> value(1 << 16, 'x');
        ::testing::internal::CaptureStdout();
        const int found = histo_getV8Prop(file.c_str(), name, value.data());
        return {found, value.data(), ::testing::internal::GetCapturedStdout()};
    }
    static std::string value(const std::string& file, const char* name) { return std::get<1>(get(file, name)); }
    std::string save(const Bytes& bytes, const std::string& name = "f.dgn") { return writeFile(dir_.file(name), bytes), dir_.file(name); }
    TempDir dir_;
};

const std::string kData = ORVANE_TEST_DATA;

// A compound document with a "Dgn-Md" storage and the given property streams.
Bytes docWith(std::optional<std::string> summary, std::optional<std::string> docSummary, unsigned version = 3) {
    Writer w(version);
    w.stream(w.storage(0, u"Dgn-Md"), u"Model", std::string(700, 'm'));
    if (summary) w.stream(0, kSummaryName, *summary);
    if (docSummary) w.stream(0, kDocSummaryName, *docSummary);
    return w.build();
}
std::string userSet(Section user) { return propertyStream({section(kDocSummaryId).codePage(1252), std::move(user)}); }

}  // namespace

TEST_F(DesignProps, LibreOfficeDocumentsGiveWhatTheirSourcesSetInTheLocale) {
    // The values of data/props-basic.fodt; LibreOffice stored its times as UTC.
    std::string doc = kData + "/props-basic.doc";
    // "Edit Time" is one hour, two minutes, three seconds: a point in 1601. "Template" and
    // "Company" are not in the file, but their sets exist: found, empty. Only the user-defined
    // set has a "title".
    const std::pair<const char*, const char*> expected[] = {
        {"Title", "Bridge deck, level 3"}, {"Subject", "Structural survey"}, {"Author", "Ada Lovelace"},
        {"Last Author", "Charles Babbage"}, {"Keywords", "steel, survey"}, {"Comments", "Checked on site; see sheet 4."},
        {"Revision Number", "7"}, {"Created", "14:5:9:0 3/11/2008"}, {"Last Saved", "8:30:0:0 15/1/2009"},
        {"Last Printed", "12:0:0:0 1/2/2009"}, {"Edit Time", "1:2:3:0 1/1/1601"}, {"Template", ""}, {"Company", ""},
        {"Project", "North Bridge"}, {"Sheet", "42.500000"}, {"Approved", "TRUE"}, {"Rejected", "FALSE"},
        {"Surveyed", "9:15:30:0 21/10/2008"}, {"title", "lower-case user title"}, {"TITLE", nullptr},
    };
    for (const auto& [name, value] : expected) EXPECT_EQ((Answer{value != nullptr, value ? value : "", ""}), get(doc, name)) << name;
    EXPECT_EQ(0, oxFile_isV8Dgn(doc.c_str()));
    // Local time: the same instant one hour east of UTC (a POSIX zone, no tz database needed).
    setTz("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ("15:5:9:0 3/11/2008", value(doc, "Created"));
    const auto summer = propertyStream({section(kSummaryId).add(12, vtFiletime(128909106000000000ull))});
    EXPECT_EQ("10:30:0:0 1/7/2009", value(save(docWith(summer, std::nullopt)), "Created"));  // 08:30 UTC

    // A UTF-8 set (code page 65001): an 8-bit string comes back as stored; a name that
    // "C" cannot spell never matches, since names are converted after the switch to "C".
    doc = kData + "/props-unicode.doc";
    std::setlocale(LC_ALL, "C.UTF-8");
    EXPECT_EQ((Answer{1, "Br\xC3\xBC" "cke S\xC3\xBC" "d", ""}), get(doc, "Title"));
    EXPECT_STREQ("C", std::setlocale(LC_ALL, nullptr));
    EXPECT_EQ((Answer{1, "ascii only", ""}), get(doc, "Plain"));
    EXPECT_EQ((Answer{0, "", ""}), get(doc, "Gr\xC3\xB6\xC3\x9F" "e"));
    std::setlocale(LC_ALL, "C.UTF-8");  // "C" is left behind also when an argument is missing
    char value[8] = "x";
    EXPECT_EQ((std::tuple{histo_getV8Prop(nullptr, "Title", value), std::string(value), std::string(std::setlocale(LC_ALL, nullptr))}),
              std::tuple(0, "", "C"));

    // The file name is read in the user's locale before the switch: a path of more than
    // 1023 bytes but fewer than 1023 UTF-8 characters is not cut.
    ::setenv("LC_ALL", "C.UTF-8", 1);
    std::string path = dir_.path, part = "/";
    for (int k = 0; k < 110; ++k) part += "\xC3\xA4";
    for (int i = 0; i < 5; ++i) ::mkdir((path += part).c_str(), 0700);
    std::filesystem::copy_file(doc, path += "/d.doc");
    ASSERT_GT(path.size(), 1023u);
    const Answer a = get(path, "Plain");
    ::unsetenv("LC_ALL");
    EXPECT_EQ((Answer{1, "ascii only", ""}), a);
}

TEST_F(DesignProps, DgnMdStorageMakesAV8DesignFile) {
    // A "Dgn-Md" storage at the root, also among many siblings; not a stream of that name,
    // nor "dgn-md", nor one further down.
    const std::pair<int, std::function<void(Writer&)>> layouts[] = {
        {0, [](Writer& w) { w.stream(0, u"Dgn-Md", "x"); }}, {0, [](Writer& w) { w.storage(0, u"dgn-md"); }},
        {0, [](Writer& w) { w.storage(w.storage(0, u"Sub"), u"Dgn-Md"); }},
        {1, [](Writer& w) { for (char16_t c = u'a'; c <= u'z'; ++c) w.stream(0, std::u16string(1, c), "x"); w.storage(0, u"Dgn-Md"); }},
    };
    for (const auto& [expected, fill] : layouts) {
        Writer w;
        fill(w);
        EXPECT_EQ(expected, oxFile_isV8Dgn(save(w.build()).c_str()));
    }
    for (const auto& [file, expected] : {std::pair{save(designFile(3, 100), "3.dgn"), 1}, {save(designFile(4, 5000, true), "4.dgn"), 1},
                                         {dir_.file("missing.dgn"), 0}, {kData + "/props-basic.fodt", 0}, {dir_.path, 0}})
        EXPECT_EQ(expected, oxFile_isV8Dgn(file.c_str())) << file;
}

TEST_F(DesignProps, ValueTextOfEveryVariantType) {
    const std::tuple<const char*, std::string, std::string> rows[] = {  // name, stored value, text
        // An 8-bit string comes as stored, whatever the locale; "C" cannot spell the euro sign,
        // so that text ends there. VT_LPSTR is copied whole. Of two properties of one name the
        // later wins: the enumeration runs on.
        {"I2", vtI2(-12345), "-12345"}, {"I4", vtI4(-2000000000), "-2000000000"}, {"R8", vtR8(-0.125), "-0.125000"},
        {"R4", vtNumber(4, std::bit_cast<std::uint32_t>(1.5f), 4), "1.500000"}, {"Bool", vtNumber(11, 0xFFFF, 2), "TRUE"},
        {"Lpstr", vtString8(30, "Gr\xF6\xDF" "e"), "Gr\xF6\xDF" "e"}, {"Bstr", vtString8(8, "bstr text"), "bstr text"},
        {"Euro", vtLpwstr(u"cost \u20AC 5"), "cost "}, {"Null", typed(1, ""), ""}, {"Empty", typed(0, ""), ""},
        {"Zero time", vtFiletime(0), "0:0:0:0 1/1/1601"}, {"No time", vtFiletime(0x8000000000000000ull), ""},
        {"Blob", typed(65, le(3, 4) + "xyz"), "(VT_BLOB)"}, {"Cf", typed(71, std::string(8, '\0')), "(Clipboard format)"},
        {"Vector", typed(0x101E, le(2, 4) + pad4(str8("a")) + pad4(str8("bc"))), "(Unhandled type: 0x0000101e)"},
        {"Array", typed(0x2003, std::string(8, '\0')), "(Array)"}, {"ByRef", typed(0x4003, std::string(4, '\0')), "(ByRef)"},
        {"Clsid", typed(72, std::string(16, '\0')), "(Unhandled type: 0x00000048)"},
        {"Long lpwstr", vtLpwstr(std::u16string(2000, u'w')), std::string(1023, 'w')},
        {"Long bstr", vtString8(8, std::string(2000, 'b')), std::string(1023, 'b')},
        {"Long lpstr", vtString8(30, std::string(3000, 's')), std::string(3000, 's')}, {"Same", vtI4(1), "2"}, {"Same", vtI4(2), "2"},
    };
    auto user = section(kUserDefinedId).codePage(1252);
    std::vector<std::pair<std::uint32_t, std::string>> names;
    for (std::uint32_t id = 2; const auto& [name, stored, text] : rows) {
        names.emplace_back(id, name);
        user.add(id++, stored);
    }
    const std::string file = save(docWith(std::nullopt, userSet(user.dictionary(names))));
    for (const auto& [name, stored, text] : rows) EXPECT_EQ((Answer{1, text, ""}), get(file, name)) << name;
}

TEST_F(DesignProps, SetsAreAskedInOrderAndAFixedNameStopsTheLookup) {
    const auto user = section(kUserDefinedId).codePage(1252).dictionary({{2, "Title"}, {3, "Company"}})
                          .add(2, vtString8(30, "user title")).add(3, vtString8(30, "user co"));
    const std::string summary = propertyStream({section(kSummaryId).codePage(1252).add(4, vtString8(30, "Ada"))});
    const std::string withSummary = save(docWith(summary, userSet(user)), "a.dgn");
    for (const char* name : {"Title", "Company"}) EXPECT_EQ((Answer{1, "", ""}), get(withSummary, name)) << name;  // the fixed set exists
    // Without a summary stream, or with one that holds no section, the user's title shows.
    EXPECT_EQ("user title", value(save(docWith(std::nullopt, userSet(user))), "Title"));
    EXPECT_EQ("user title", value(save(docWith(propertyStream({}), userSet(user))), "Title"));
    // Empty sets, in 4096-byte sectors: present but holding nothing.
    const std::string empty =
        save(docWith(propertyStream({section(kSummaryId)}), propertyStream({section(kDocSummaryId), section(kUserDefinedId)}), 4));
    for (const auto& [name, found] :
         {std::pair{"Doc Security", 1}, {"Thumpnail", 1}, {"LinksUpToDate", 1}, {"Thumbnail", 0}, {"Project", 0}})
        EXPECT_EQ(found, std::get<0>(get(empty, name))) << name;
    // Code page 1200: names and 8-bit strings are 16-bit.
    auto wide = section(kUserDefinedId).codePage(1200).dictionary({}, {{2, u"Ref"}, {3, u"Other"}});
    wide.add(2, vtString16(30, u"R-17")).add(3, vtI2(3));
    const std::string unicode = save(docWith(std::nullopt, propertyStream({section(kDocSummaryId), wide})));
    EXPECT_EQ(value(unicode, "Ref") + "|" + value(unicode, "Other"), "R-17|3");
    EXPECT_EQ(0, std::get<0>(get(unicode, "Re")));  // names match whole
}

TEST_F(DesignProps, OpenAndReadDiagnostics) {
    Bytes badShift = docWith(std::nullopt, std::nullopt);
    badShift[30] = 31;
    const std::string failed = "StgOpenStorage() failed w/error ";
    const std::pair<std::string, std::string> cases[] = {  // a missing folder, also a file as one; a folder as the file
        {dir_.file("missing.dgn"), "File not found."}, {dir_.file("no/such/dir.dgn"), failed + "80030003"},
        {kData + "/props-basic.doc/x.dgn", failed + "80030003"}, {kData + "/props-basic.fodt", "Not a compound file."},
        {save({}, "empty.dgn"), "Not a compound file."}, {save(badShift, "shift.dgn"), failed + "800300fb"},
        {dir_.path, failed + "80030005"},
    };
    for (const auto& [file, out] : cases) EXPECT_EQ((Answer{0, "", out}), get(file, "Title")) << file;
    // A property offset past its section fails the summary read; the lookup goes on.
    auto summary = propertyStream({section(kSummaryId).codePage(1252).add(2, vtString8(30, "t"))});
    put(summary, 48 + 8 + 8 + 4, 0x7FFFFFFF);  // the offset of property 2 (after the code page)
    const auto user = section(kUserDefinedId).codePage(1252).dictionary({{2, "Title"}}).add(2, vtString8(30, "from the user set"));
    EXPECT_EQ((Answer{1, "from the user set", "IPropertyStg::ReadMultiple() failed w/error 80030109\n"}),
              get(save(docWith(summary, userSet(user))), "Title"));
}

// Hostile files: whatever is broken on the way to the property, the answer is 0 and an
// empty value, with no crash, hang or read outside the file (the sanitizer build checks).
// (Broken headers: compound_file_test.cpp; any failed open gives 0, see above.)
TEST_F(DesignProps, HostileFilesGiveNothing) {
    const auto user = section(kUserDefinedId).codePage(1252).dictionary({{2, "Project"}}).add(2, vtString8(30, "North Bridge"));
    // The summary stream is large enough for regular sectors, spread over the file.
    const std::string summary = propertyStream(
        {section(kSummaryId).codePage(1252).add(2, vtString8(30, "Deck")).add(6, vtString8(30, std::string(6000, 'c')))});
    Writer w(3, true);
    const int dgn = w.storage(0, u"Dgn-Md");
    w.stream(dgn, u"Model", std::string(9000, 'm'));
    w.stream(dgn, u"Header", std::string(600, 'h'));  // the mini stream takes two sectors
    const int sum = w.stream(0, kSummaryName, summary), doc = w.stream(0, kDocSummaryName, userSet(user));
    const Bytes good = w.build();
    const std::string goodFile = save(good, "good.dgn");
    // (The comments lie in scattered sectors.)
    ASSERT_EQ(value(goodFile, "Title") + value(goodFile, "Project") + value(goodFile, "Comments"),
              "DeckNorth Bridge" + std::string(6000, 'c'));
    ASSERT_EQ(1, oxFile_isV8Dgn(goodFile.c_str()));

    const std::uint32_t rootStart = w.miniChain[0], top = w.child(0);
    const auto& sc = w.chains[sum];
    const auto fat = [&](std::uint32_t s) { return w.fatEntryOffset(s); };
    const auto dir = [&](int id, int field) { return w.dirEntryOffset(id) + field; };
    // What breaks: the property asked, where the bytes go (0: the file is cut to `value`
    // bytes), and whether the directory is gone as well.
    const struct { const char *what, *name; std::size_t at; std::uint32_t value; bool dgnToo; } cases[] = {
        {"truncated in half", "Title", 0, static_cast<std::uint32_t>(good.size() / 2), true},
        {"huge DIFAT count", "Title", 72, 0xFFFFFFF0, true}, {"cyclic directory chain", "Title", fat(w.dirChain[0]), w.dirChain[0], true},
        {"cyclic regular chain", "Title", fat(sc[3]), sc[1], false}, {"chain back to its start", "Title", fat(sc[2]), sc[0], false},
        {"chain looping on a sector", "Title", fat(sc[0]), sc[0], false}, {"out-of-range chain", "Title", fat(sc[0]), 0x00FFFFFF, false},
        {"chain ends early", "Title", fat(sc[3]), kEnd, false}, {"free sector in the chain", "Title", fat(sc[0]), kFree, false},
        {"size past the end", "Title", dir(sum, 120), 0x7FFFFFF0, false}, {"start past the end", "Title", dir(sum, 116), 0x00FFFFFF, false},
        {"cyclic mini stream chain", "Project", fat(rootStart), rootStart, false},
        {"mini stream past the end", "Project", dir(0, 120), 0x7FFFFFF0, false}, {"mini FAT gone", "Project", 60, kEnd, false},
        {"stream size past the mini stream", "Project", dir(doc, 120), 4000, false},
        {"mini start past the mini stream", "Project", dir(doc, 116), 5000, false},
        {"root as its own child", "Project", dir(0, 76), 0, true}, {"directory tree cycle", "Project", dir(top, 72), top, true},
        {"sibling outside the directory", "Project", dir(top, 68), 0x0FFFFFFF, true},
    };
    for (const auto& c : cases) {
        Bytes bytes = good;
        c.at ? put(bytes, c.at, c.value) : bytes.resize(c.value);
        const std::string file = save(bytes, "hostile.dgn");
        const Answer a = get(file, c.name);
        EXPECT_EQ((Answer{0, "", std::get<2>(a)}), a) << c.what;  // whatever it printed
        if (c.dgnToo) { EXPECT_EQ(0, oxFile_isV8Dgn(file.c_str())) << c.what; }
    }

    // Broken property streams: offsets past the section, huge counts.
    const std::string userStream = userSet(user);
    const std::size_t userSection = 28 + 2 * 20 + 8 + 8 + 8, end = userStream.size();  // after the document summary section
    const std::pair<std::size_t, std::uint32_t> streamCases[] = {
        {0, 0xFFFF}, {24, 0x7FFFFFFF}, {24, 50},  // byte order; section counts, also one just past the stream
        {28 + 20 + 16, 0xFFFFFF00}, {userSection, 0xFFFFFFF0}, {userSection, 4},  // section offset; sizes, one below its header
        {userSection + 4, 0x40000000}, {userSection + 8 + 16 + 4, 0x7FFFFFF0},    // property count; value offset
        {userSection + 8 + 8 + 4, 0x7FFFFFF0}, {end - 24 - 20, 0x40000000},       // dictionary offset and count
        {end - 24 - 20 + 8, 0x40000000}, {end - 4 - 16, 0xFFFFFFF0},              // the length of a name; string length
    };
    ASSERT_EQ("North Bridge", value(save(docWith(std::nullopt, userStream)), "Project"));
    for (const auto& [at, value] : streamCases) {
        std::string broken = userStream;
        put(broken, at, value);
        const Answer a = get(save(docWith(std::nullopt, broken)), "Project");
        EXPECT_EQ((Answer{0, "", std::get<2>(a)}), a) << at;
    }
}
