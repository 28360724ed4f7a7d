// oxFile_isV8Dgn and histo_getV8Prop as a host calls them: on LibreOffice documents, on
// files of the test writer, and on hostile files (each: 0, an empty value, no crash).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "orvane.h"
#include "platform/compound_writer.hpp"
#include "platform/sample_files.hpp"

using namespace testcfb;

namespace {

struct Answer {
    int found = -1;
    std::string value;
    std::string out;  // what the call printed on standard output
};

// Times print in UTC so that the expected texts hold on every machine.
class DesignProps : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        if (tz) savedTz_ = tz;
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    void TearDown() override {
        if (savedTz_) ::setenv("TZ", savedTz_->c_str(), 1);
        else ::unsetenv("TZ");
        ::tzset();
        std::setlocale(LC_ALL, "C");
    }

    static Answer get(const std::string& file, const char* name) {
        Answer a;
        std::vector<char> value(1 << 16, 'x');
        std::fflush(stdout);
        char path[] = "/tmp/orvane-stdout-XXXXXX";
        const int fd = ::mkstemp(path);
        const int saved = ::dup(1);
        ::dup2(fd, 1);
        a.found = histo_getV8Prop(file.c_str(), name, value.data());
        std::fflush(stdout);
        ::dup2(saved, 1);
        ::close(saved);
        std::ifstream in(path, std::ios::binary);
        a.out.assign(std::istreambuf_iterator<char>(in), {});
        ::close(fd);
        ::unlink(path);
        a.value = value.data();
        return a;
    }

    std::string save(const std::vector<std::uint8_t>& bytes, const std::string& name = "f.dgn") {
        const std::string path = dir_.file(name);
        writeFile(path, bytes);
        return path;
    }

    TempDir dir_;
    std::optional<std::string> savedTz_;
};

const std::string kData = ORVANE_TEST_DATA;

void put32Into(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A compound document with a "Dgn-Md" storage and the given property streams.
std::vector<std::uint8_t> docWith(std::optional<std::string> summary, std::optional<std::string> docSummary,
                                  unsigned version = 3) {
    Writer w(version);
    const int dgn = w.storage(0, u"Dgn-Md");
    w.stream(dgn, u"Model", std::string(700, 'm'));
    if (summary) w.stream(0, kSummaryName, *summary);
    if (docSummary) w.stream(0, kDocSummaryName, *docSummary);
    return w.build();
}

std::string userSet(Section user) { return propertyStream({section(kDocSummaryId).codePage(1252), std::move(user)}); }

}  // namespace

TEST_F(DesignProps, LibreOfficeDocumentGivesWhatItsSourceSet) {
    // The values of data/props-basic.fodt; LibreOffice stored its times as UTC.
    const std::string doc = kData + "/props-basic.doc";
    const std::pair<const char*, const char*> expected[] = {
        {"Title", "Bridge deck, level 3"},
        {"Subject", "Structural survey"},
        {"Author", "Ada Lovelace"},
        {"Last Author", "Charles Babbage"},
        {"Keywords", "steel, survey"},
        {"Comments", "Checked on site; see sheet 4."},
        {"Revision Number", "7"},
        {"Created", "14:5:9:0 3/11/2008"},
        {"Last Saved", "8:30:0:0 15/1/2009"},
        {"Last Printed", "12:0:0:0 1/2/2009"},
        {"Edit Time", "1:2:3:0 1/1/1601"},  // one hour, two minutes, three seconds: a point in 1601
        {"Template", ""},                   // not in the file: found, empty
        {"Company", ""},                    // the document summary set exists
        {"Project", "North Bridge"},
        {"Sheet", "42.500000"},
        {"Approved", "TRUE"},
        {"Rejected", "FALSE"},
        {"Surveyed", "9:15:30:0 21/10/2008"},
        {"title", "lower-case user title"},  // only the user-defined set has it
    };
    for (const auto& [name, value] : expected) {
        const Answer a = get(doc, name);
        EXPECT_EQ(1, a.found) << name;
        EXPECT_EQ(value, a.value) << name;
        EXPECT_EQ("", a.out) << name;
    }
    // Local time: the same instant one hour east of UTC (a POSIX zone, no tz database needed).
    ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::tzset();
    EXPECT_EQ("15:5:9:0 3/11/2008", get(doc, "Created").value);
    EXPECT_EQ("10:30:0:0 1/7/2009", get(save(docWith(propertyStream({section(kSummaryId).add(12, vtFiletime(128909106000000000ull))}),
                                                     std::nullopt)),
                                         "Created")
                                         .value);  // 2009-07-01 08:30 UTC, summer time
    const Answer none = get(doc, "TITLE");
    EXPECT_EQ(0, none.found);
    EXPECT_EQ("", none.value);
    EXPECT_EQ(0, oxFile_isV8Dgn(doc.c_str()));
}

TEST_F(DesignProps, LocaleAndEightBitTexts) {
    // A UTF-8 set (code page 65001): an 8-bit string comes back as stored; a name that
    // "C" cannot spell never matches, since names are converted after the switch to "C".
    const std::string doc = kData + "/props-unicode.doc";
    std::setlocale(LC_ALL, "C.UTF-8");
    Answer a = get(doc, "Title");
    EXPECT_EQ(1, a.found);
    EXPECT_EQ("Br\xC3\xBC" "cke S\xC3\xBC" "d", a.value);
    EXPECT_STREQ("C", std::setlocale(LC_ALL, nullptr));
    EXPECT_EQ("ascii only", get(doc, "Plain").value);
    a = get(doc, "Gr\xC3\xB6\xC3\x9F" "e");
    EXPECT_EQ(0, a.found);
    EXPECT_EQ("", a.value);
    std::setlocale(LC_ALL, "C.UTF-8");
    char value[8] = "x";
    EXPECT_EQ(0, histo_getV8Prop(nullptr, "Title", value));
    EXPECT_STREQ("", value);
    EXPECT_STREQ("C", std::setlocale(LC_ALL, nullptr));
    EXPECT_EQ(0, histo_getV8Prop(doc.c_str(), nullptr, value));
    EXPECT_EQ(0, histo_getV8Prop(doc.c_str(), "Title", nullptr));

    // The file name is read in the user's locale before the switch: a path of more than
    // 1023 bytes but fewer than 1023 UTF-8 characters is not cut.
    ::setenv("LC_ALL", "C.UTF-8", 1);
    std::string path = dir_.path;
    for (int i = 0; i < 5; ++i) {
        path += "/";
        for (int k = 0; k < 110; ++k) path += "\xC3\xA4";
        ::mkdir(path.c_str(), 0700);
    }
    path += "/d.doc";
    std::ifstream src(doc, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(src)), {});
    writeFile(path, bytes);
    ASSERT_GT(path.size(), 1023u);
    a = get(path, "Plain");
    ::unsetenv("LC_ALL");
    EXPECT_EQ(1, a.found) << a.out;
    EXPECT_EQ("ascii only", a.value);
}

TEST_F(DesignProps, DgnMdStorageMakesAV8DesignFile) {
    EXPECT_EQ(1, oxFile_isV8Dgn(save(designFile(3, 100)).c_str()));
    EXPECT_EQ(1, oxFile_isV8Dgn(save(designFile(4, 5000, true)).c_str()));
    auto only = [&](std::function<void(Writer&)> fill) {
        Writer w;
        fill(w);
        return oxFile_isV8Dgn(save(w.build()).c_str());
    };
    EXPECT_EQ(0, only([](Writer& w) { w.stream(0, u"Dgn-Md", "x"); }));
    EXPECT_EQ(0, only([](Writer& w) { w.storage(0, u"dgn-md"); }));
    EXPECT_EQ(0, only([](Writer& w) { w.storage(w.storage(0, u"Sub"), u"Dgn-Md"); }));  // not at the root
    EXPECT_EQ(1, only([](Writer& w) {
                  for (char16_t c = u'a'; c <= u'z'; ++c) w.stream(0, std::u16string(1, c), "x");
                  w.storage(0, u"Dgn-Md");
              }));
    EXPECT_EQ(0, oxFile_isV8Dgn(nullptr));
    EXPECT_EQ(0, oxFile_isV8Dgn(dir_.file("missing.dgn").c_str()));
    EXPECT_EQ(0, oxFile_isV8Dgn((kData + "/props-basic.fodt").c_str()));
    EXPECT_EQ(0, oxFile_isV8Dgn(dir_.path.c_str()));
}

TEST_F(DesignProps, ValueTextOfEveryVariantType) {
    const std::string longWide(2000, 'w');
    auto user = section(kUserDefinedId);
    user.codePage(1252)
        .dictionary({{2, "I2"}, {3, "I4"}, {4, "R4"}, {5, "R8"}, {6, "Bool"}, {7, "Off"}, {8, "Lpstr"},
                     {9, "Bstr"}, {10, "Lpwstr"}, {11, "Euro"}, {12, "Time"}, {13, "Zero time"},
                     {14, "Blob"}, {15, "Cf"}, {16, "Vector"}, {17, "Array"}, {18, "ByRef"}, {19, "Clsid"},
                     {20, "Null"}, {21, "Empty"}, {22, "Long lpwstr"}, {23, "Long bstr"}, {24, "Long lpstr"},
                     {25, "No time"}, {26, "Same"}, {27, "Same"}})
        .add(2, vtI2(-12345))
        .add(3, vtI4(-2000000000))
        .add(4, vtR4(1.5f))
        .add(5, vtR8(-0.125))
        .add(6, vtBool(true))
        .add(7, vtBool(false))
        .add(8, vtString8(30, "Gr\xF6\xDF" "e"))
        .add(9, vtString8(8, "bstr text"))
        .add(10, vtLpwstr(u"wide text"))
        .add(11, vtLpwstr(u"cost \u20AC 5"))
        .add(12, vtFiletime(128701947090000000ull))  // 2008-11-03 14:05:09 UTC
        .add(13, vtFiletime(0))
        .add(14, vtBlob("xyz"))
        .add(15, typed(71, std::string(8, '\0')))
        .add(16, vtVectorLpstr({"a", "bc"}))
        .add(17, typed(0x2003, std::string(8, '\0')))
        .add(18, typed(0x4003, std::string(4, '\0')))
        .add(19, typed(72, std::string(16, '\0')))
        .add(20, typed(1, ""))
        .add(21, typed(0, ""))
        .add(22, vtLpwstr(std::u16string(longWide.begin(), longWide.end())))
        .add(23, vtString8(8, std::string(2000, 'b')))
        .add(24, vtString8(30, std::string(3000, 's')))
        .add(25, vtFiletime(0x8000000000000000ull))
        .add(26, vtI4(1))
        .add(27, vtI4(2));
    const std::string file = save(docWith(std::nullopt, userSet(user)));
    const std::pair<const char*, std::string> expected[] = {
        {"I2", "-12345"},
        {"I4", "-2000000000"},
        {"R4", "1.500000"},
        {"R8", "-0.125000"},
        {"Bool", "TRUE"},
        {"Off", "FALSE"},
        {"Lpstr", "Gr\xF6\xDF" "e"},  // as stored, whatever the locale
        {"Bstr", "bstr text"},
        {"Lpwstr", "wide text"},
        {"Euro", "cost "},  // "C" cannot spell the euro sign: the text ends there
        {"Time", "14:5:9:0 3/11/2008"},
        {"Zero time", "0:0:0:0 1/1/1601"},
        {"Blob", "(VT_BLOB)"},
        {"Cf", "(Clipboard format)"},
        {"Vector", "(Unhandled type: 0x0000101e)"},
        {"Array", "(Array)"},
        {"ByRef", "(ByRef)"},
        {"Clsid", "(Unhandled type: 0x00000048)"},
        {"Null", ""},
        {"Empty", ""},
        {"Long lpwstr", std::string(1023, 'w')},
        {"Long bstr", std::string(1023, 'b')},
        {"Long lpstr", std::string(3000, 's')},  // 8-bit strings are copied whole
        {"No time", ""},
        {"Same", "2"},  // the enumeration runs on: the later property wins
    };
    for (const auto& [name, value] : expected) {
        const Answer a = get(file, name);
        EXPECT_EQ(1, a.found) << name;
        EXPECT_EQ(value, a.value) << name;
    }
    // Vectors of the document summary set print as unhandled too.
    const std::string docSummary =
        propertyStream({section(kDocSummaryId).codePage(1252).add(13, vtVectorLpstr({"Part 1", "Part 2"}))});
    EXPECT_EQ("(Unhandled type: 0x0000101e)", get(save(docWith(std::nullopt, docSummary), "v.dgn"), "Titles of Parts").value);
}

TEST_F(DesignProps, SetsAreAskedInOrderAndAFixedNameStopsTheLookup) {
    auto user = section(kUserDefinedId);
    user.codePage(1252).dictionary({{2, "Title"}, {3, "Company"}}).add(2, vtString8(30, "user title")).add(3, vtString8(30, "user co"));
    const std::string summary = propertyStream({section(kSummaryId).codePage(1252).add(4, vtString8(30, "Ada"))});
    const std::string withSummary = save(docWith(summary, userSet(user)), "a.dgn");
    EXPECT_EQ("", get(withSummary, "Title").value);  // found, empty: the summary set exists
    EXPECT_EQ(1, get(withSummary, "Title").found);
    EXPECT_EQ("", get(withSummary, "Company").value);
    // Without a summary stream, or with one that holds no section, the user's title shows.
    EXPECT_EQ("user title", get(save(docWith(std::nullopt, userSet(user)), "b.dgn"), "Title").value);
    EXPECT_EQ("user title", get(save(docWith(propertyStream({}), userSet(user)), "c.dgn"), "Title").value);
    // Empty sets: present but holding nothing.
    const std::string empty = save(docWith(propertyStream({section(kSummaryId)}),
                                           propertyStream({section(kDocSummaryId), section(kUserDefinedId)}), 4),
                                   "d.dgn");
    EXPECT_EQ(1, get(empty, "Doc Security").found);
    EXPECT_EQ(1, get(empty, "Thumpnail").found);
    EXPECT_EQ(1, get(empty, "LinksUpToDate").found);
    EXPECT_EQ(0, get(empty, "Thumbnail").found);
    EXPECT_EQ(0, get(empty, "Project").found);
    // Code page 1200: names and 8-bit strings are 16-bit.
    auto wide = section(kUserDefinedId);
    wide.codePage(1200).dictionary16({{2, u"Ref"}, {3, u"Other"}}).add(2, vtString16(30, u"R-17")).add(3, vtI2(3));
    const std::string unicode = save(docWith(std::nullopt, propertyStream({section(kDocSummaryId), wide})), "e.dgn");
    EXPECT_EQ("R-17", get(unicode, "Ref").value);
    EXPECT_EQ("3", get(unicode, "Other").value);
}

TEST_F(DesignProps, OpenAndReadDiagnostics) {
    Answer a = get(dir_.file("missing.dgn"), "Title");
    EXPECT_EQ(0, a.found);
    EXPECT_EQ("File not found.", a.out);
    a = get(kData + "/props-basic.fodt", "Title");
    EXPECT_EQ("Not a compound file.", a.out);
    EXPECT_EQ("", a.value);
    a = get(save({}), "Title");
    EXPECT_EQ("Not a compound file.", a.out);
    auto bytes = docWith(std::nullopt, std::nullopt);
    bytes[30] = 31;  // sector shift
    a = get(save(bytes), "Title");
    EXPECT_EQ("StgOpenStorage() failed w/error 800300fb", a.out);
    a = get(dir_.path, "Title");
    EXPECT_EQ("StgOpenStorage() failed w/error 80030005", a.out);

    // A property offset past its section fails the summary read; the lookup goes on.
    auto summary = propertyStream({section(kSummaryId).codePage(1252).add(2, vtString8(30, "t"))});
    put32Into(summary, 48 + 8 + 8 + 4, 0x7FFFFFFF);  // the offset of property 2 (after the code page)
    auto user = section(kUserDefinedId);
    user.codePage(1252).dictionary({{2, "Title"}}).add(2, vtString8(30, "from the user set"));
    a = get(save(docWith(summary, userSet(user))), "Title");
    EXPECT_EQ("IPropertyStg::ReadMultiple() failed w/error 80030109\n", a.out);
    EXPECT_EQ(1, a.found);
    EXPECT_EQ("from the user set", a.value);
}

// Hostile files: whatever is broken on the way to the property, the answer is 0 and an
// empty value, with no crash, hang or read outside the file (the sanitizer build checks).
TEST_F(DesignProps, HostileFilesGiveNothing) {
    auto user = section(kUserDefinedId);
    user.codePage(1252).dictionary({{2, "Project"}}).add(2, vtString8(30, "North Bridge"));
    // The summary stream is large enough for regular sectors, spread over the file.
    const std::string summary = propertyStream(
        {section(kSummaryId).codePage(1252).add(2, vtString8(30, "Deck")).add(6, vtString8(30, std::string(6000, 'c')))});
    Writer w(3);
    w.scatter(true);
    const int dgn = w.storage(0, u"Dgn-Md");
    w.stream(dgn, u"Model", std::string(9000, 'm'));
    w.stream(dgn, u"Header", std::string(600, 'h'));  // the mini stream takes two sectors
    const int sum = w.stream(0, kSummaryName, summary);
    const int doc = w.stream(0, kDocSummaryName, userSet(user));
    const auto good = w.build();
    const std::string goodFile = save(good, "good.dgn");
    ASSERT_EQ("Deck", get(goodFile, "Title").value);
    ASSERT_EQ(std::string(6000, 'c'), get(goodFile, "Comments").value);  // over scattered sectors
    ASSERT_EQ("North Bridge", get(goodFile, "Project").value);
    ASSERT_EQ(1, oxFile_isV8Dgn(goodFile.c_str()));

    const auto at32 = [&](std::size_t at) {
        return std::uint32_t{good[at]} | (std::uint32_t{good[at + 1]} << 8) | (std::uint32_t{good[at + 2]} << 16) |
               (std::uint32_t{good[at + 3]} << 24);
    };
    const std::uint32_t rootStart = at32(w.dirEntryOffset(0) + 116);
    const std::uint32_t dirStart = at32(48);
    const auto& sc = w.chainOf(sum);
    struct Case {
        const char* what;
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> breakIt;
        bool dgnToo;  // the directory is gone as well
    };
    const Case cases[] = {
        {"empty", "Title", [](auto& b) { b.clear(); }, true},
        {"truncated in the header", "Title", [](auto& b) { b.resize(100); }, true},
        {"truncated in half", "Title", [](auto& b) { b.resize(b.size() / 2); }, true},
        {"bad sector shift", "Title", [](auto& b) { b[30] = 8; }, true},
        {"huge FAT count", "Title", [](auto& b) { put32(b, 44, 0xFFFFFFF0); }, true},
        {"huge DIFAT count", "Title", [](auto& b) { put32(b, 72, 0xFFFFFFF0); }, true},
        {"cyclic directory chain", "Title", [&](auto& b) { put32(b, w.fatEntryOffset(dirStart), dirStart); }, true},
        {"cyclic regular chain", "Title", [&](auto& b) { put32(b, w.fatEntryOffset(sc[3]), sc[1]); }, false},
        {"out-of-range chain", "Title", [&](auto& b) { put32(b, w.fatEntryOffset(sc[0]), 0x00FFFFFF); }, false},
        {"size past the end", "Title", [&](auto& b) { put32(b, w.dirEntryOffset(sum) + 120, 0x7FFFFFF0); }, false},
        {"cyclic mini stream chain", "Project", [&](auto& b) { put32(b, w.fatEntryOffset(rootStart), rootStart); }, false},
        {"mini stream past the end", "Project", [&](auto& b) { put32(b, w.dirEntryOffset(0) + 120, 0x7FFFFFF0); }, false},
        {"stream size past the mini stream", "Project", [&](auto& b) { put32(b, w.dirEntryOffset(doc) + 120, 4000); }, false},
        {"root as its own child", "Project", [&](auto& b) { put32(b, w.dirEntryOffset(0) + 76, 0); }, true},
        {"directory tree cycle", "Project",
         [&](auto& b) {
             const std::uint32_t top = at32(w.dirEntryOffset(0) + 76);
             put32(b, w.dirEntryOffset(top) + 72, top);
         },
         true},
        {"sibling outside the directory", "Project",
         [&](auto& b) { put32(b, w.dirEntryOffset(at32(w.dirEntryOffset(0) + 76)) + 68, 0x0FFFFFFF); }, true},
    };
    for (const Case& c : cases) {
        auto bytes = good;
        c.breakIt(bytes);
        const std::string file = save(bytes, "hostile.dgn");
        const Answer a = get(file, c.name);
        EXPECT_EQ(0, a.found) << c.what;
        EXPECT_EQ("", a.value) << c.what;
        if (c.dgnToo) {
            EXPECT_EQ(0, oxFile_isV8Dgn(file.c_str())) << c.what;
        }
    }

    // Broken property streams: offsets past the section, huge counts.
    struct StreamCase {
        const char* what;
        std::size_t at;
        std::uint32_t value;
    };
    const std::string userStream = userSet(user);
    const std::size_t userSection = 28 + 2 * 20 + 8 + 8 + 8;  // after the document summary section
    const StreamCase streamCases[] = {
        {"section count", 24, 0x7FFFFFFF},
        {"section offset", 28 + 20 + 16, 0xFFFFFF00},
        {"section size", userSection, 0xFFFFFFF0},
        {"property count", userSection + 4, 0x40000000},
        {"value offset", userSection + 8 + 16 + 4, 0x7FFFFFF0},
        {"dictionary offset", userSection + 8 + 8 + 4, 0x7FFFFFF0},
        {"dictionary count", userStream.size() - 24 - 20, 0x40000000},
        {"string length", userStream.size() - 4 - 16, 0xFFFFFFF0},
    };
    ASSERT_EQ("North Bridge", get(save(docWith(std::nullopt, userStream), "stream.dgn"), "Project").value);
    for (const StreamCase& c : streamCases) {
        std::string broken = userStream;
        put32Into(broken, c.at, c.value);
        const Answer a = get(save(docWith(std::nullopt, broken), "stream.dgn"), "Project");
        EXPECT_EQ(0, a.found) << c.what;
        EXPECT_EQ("", a.value) << c.what;
    }
}
