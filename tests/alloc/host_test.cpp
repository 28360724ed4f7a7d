// Files and host system, and the design-file properties, under failing allocations.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "alloc/failpoint.hpp"
#include "host/domain_users.hpp"  // src/: the account functions over a passwd file of the test's
#include "host/temp_dir.hpp"
#include "platform/sample_files.hpp"

namespace {

using namespace failpoint;
using hosttest::readFile;
using hosttest::writeFile;

bool isDir(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST(AllocationFailure, Host) {
    const hosttest::TempDir tmp;
    const std::string ini = tmp / "settings.ini", text = tmp / "notes.txt", table = tmp / "colours.tbl";
    const std::string kIni = "; kept as it is\n[Paths]\nData = \"/srv/data\"\nCache=/tmp/cache\n\n[View]\nZoom=1.5\n";
    writeFile(table, std::string(768, '\x40'));
    const std::string passwd = tmp.put("passwd", "root:x:0:0:root:/root:/bin/bash\n"
                                                 "ada:x:1001:1001:Ada Lovelace,Room 1:/home/ada:/bin/sh\n"
                                                 "bob:x:1002:1002::/home/bob:/bin/sh\n"
                                                 "carol:x:1003:1003:Carol Shaw:/home/carol:/bin/sh\n");
    orvane::platform::AccountSource accounts;
    accounts.passwdFile = passwd.c_str();
    accounts.loginDefs = "/nonexistent/login.defs";
    const std::string longLine(3000, 'x');

    sweepFamily("host", {
        {"oxProfile_getProfileString (value, key list)",
         [&] {
             writeFile(ini, kIni);
             char value[64] = "#", keys[64] = "#";
             const int n = armed([&] { return oxProfile_getProfileString("paths", "DATA", "none", value, 64, ini.c_str()); });
             const int k = armed([&] { return oxProfile_getProfileString("Paths", nullptr, "", keys, 64, ini.c_str()); });
             return show(n, value, k, std::string(keys, 12));
         },
         // Nothing written: 0 and the buffer as it was, for either call.
         [](const Outcome& o) {
             const std::string listed("Data\0Cache\0\0", 12), untouched("#\0\0\0\0\0\0\0\0\0\0\0", 12);
             for (const Outcome& value : {show(0, "#"), show(9, "/srv/data")})
                 for (const Outcome& keys : {show(0, untouched), show(11, listed)})
                     if (o == value + "|" + keys) return true;
             return false;
         }},
        {"oxProfile_writeProfileString",
         [&] {
             writeFile(ini, kIni);
             const int status = armed([&] { return oxProfile_writeProfileString("View", "Grid", "on", ini.c_str()); });
             return show(status, readFile(ini));
         },
         // Out of memory, the file as it was.
         [&](const Outcome& o) { return o == show(ENOMEM, kIni); }},
        {"oxWinAPI_fopen (w) + fprintfn + fclose",
         [&] {
             writeFile(text, "old content\n");
             oxStream* s = nullptr;
             armed([&] { return oxWinAPI_fopen(&s, text.c_str(), "w"); });
             const bool opened = s != nullptr;
             armed([&] { return oxWinAPI_fprintfn(s, 0, "%s|%d\n", longLine.c_str(), 42); });
             const int position = oxWinAPI_ftell(s);
             oxWinAPI_fclose(&s);
             return show(opened, position, readFile(text).size());
         },
         // Not opened (the file as it was), or opened and the text not written (the
         // stream failed).
         [](const Outcome& o) { return o == show(0, 0, 12) || o == show(1, -1, 0); }},
        {"oxWinAPI_fopen (r) + fgets",
         [&] {
             writeFile(text, "first line\nsecond\n");
             oxStream* s = nullptr;
             char line[64] = "#";
             armed([&] {
                 oxWinAPI_fopen(&s, text.c_str(), "r");
                 return oxWinAPI_fgets(line, sizeof line, s);
             });
             oxWinAPI_fclose(&s);
             return show(line);
         },
         oneOf({show("#")})},
        {"oxWinAPI_getParentDir + tqFile_quotePathA",
         [] {
             char parent[260] = "#", quoted[260] = "#";
             armed([&] {
                 oxWinAPI_getParentDir(parent, "C:\\Program Files\\Orvane Works\\bin\\tool.exe", 1);
                 return tqFile_quotePathA(quoted, "/opt/orvane works/shared data/file name.txt", 1);
             });
             return show(parent, quoted);
         },
         [](const Outcome& o) {
             for (const char* parent : {"#", "C:\\Program Files\\Orvane Works\\bin\\"})
                 for (const char* quoted : {"#", "/opt/\"orvane works\"/\"shared data\"/\"file name.txt\""})
                     if (o == show(parent, quoted)) return true;
             return false;
         }},
        {"oxWinAPI_makeDirectory (three levels)",
         [&] {
             std::filesystem::remove_all(tmp / "made");
             const std::string deep = tmp / "made/level two/level three";
             const int status = armed([&] { return oxWinAPI_makeDirectory(deep.c_str()); });
             return show(status, isDir(deep));
         },
         // Not made; levels above may stay, the next call makes the rest.
         oneOf({show(-1, 0)})},
        {"oxWinAPI_getFileTimes",
         [&] {
             int created = -5, modified = -5;
             const std::string pattern = tmp / "col*.t?l";
             armed([&] { return oxWinAPI_getFileTimes(pattern.c_str(), &created, &modified); });
             return show(created > 0, modified > 0);
         },
         oneOf({show(0, 0)})},
        {"oxDomain_getAllUsers (passwd file)",
         [&] {
             char** names = nullptr;
             char** fulls = nullptr;
             int count = -1;
             const int status = armed([&] { return orvane::domain::getAllUsers(accounts, nullptr, &names, &fulls, &count); });
             std::string all;
             for (int i = 0; i < count; ++i) all += std::string(names[i]) + "=" + fulls[i] + ";";
             orvane::domain::freeAllUsers(names, fulls, count);
             return show(status, count, names == nullptr, all);
         },
         // Status 8; the lists hold `count` complete entries.
         oneOf({show(8, 0, 1, ""), show(8, 1, 0, "ada=Ada Lovelace;"), show(8, 2, 0, "ada=Ada Lovelace;bob=;")})},
        {"oxDomain_getUserFullName (passwd file)",
         [&] {
             char full[256] = "#";
             const int status = armed([&] { return orvane::domain::getUserFullName(accounts, "localhost", full, "carol"); });
             return show(status, full);
         },
         oneOf({show(8, "#")})},
        {"msapiFile_readColourTableToRGBArray (no allocation)",
         [&] {
             unsigned char rgb[TQ_COLOUR_TABLE_BYTES] = {0};
             armed([&] { return msapiFile_readColourTableToRGBArray(rgb, table.c_str()); });
             return show(rgb[0], rgb[767]);
         },
         nullptr, true},
    });
}

TEST(AllocationFailure, DesignFiles) {
    const testcfb::TempDir tmp;
    const std::string design = tmp.file("bridge.dgn"), doc = std::string(ORVANE_TEST_DATA) + "/props-unicode.doc";
    const auto bytes = testcfb::designFile(3, 3000);
    std::ofstream(design, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));

    // Found, or not found with an empty value.
    auto property = [](const std::string& file, const char* name) {
        return [=] {
            char value[1024] = "#";
            const int found = armed([&] { return histo_getV8Prop(file.c_str(), name, value); });
            return show(found, value);
        };
    };
    sweepFamily("designprops", {
        {"oxFile_isV8Dgn", [&] { return show(armed([&] { return oxFile_isV8Dgn(design.c_str()); })); }, oneOf({"0"})},
        {"histo_getV8Prop (summary: Title)", property(design, "Title"), oneOf({show(0, "")})},
        {"histo_getV8Prop (user-defined: Project)", property(design, "Project"), oneOf({show(0, "")})},
        {"histo_getV8Prop (user-defined: Sheet, a double)", property(design, "Sheet"), oneOf({show(0, "")})},
        {"histo_getV8Prop (LibreOffice document, Unicode)", property(doc, "Title"), oneOf({show(0, "")})},
    });
}

}  // namespace
