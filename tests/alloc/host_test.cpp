// Files and host system, the design-file properties and the plug-in client under failing
// allocations.
#include <cstdio>

#include "alloc/failpoint.hpp"
#include "host/domain_users.hpp"  // src/: the account functions over a passwd file of the test's
#include "host/temp_dir.hpp"
#include "platform/sample_files.hpp"
#include "pluginclient/servers.hpp"

namespace {

using namespace failpoint;
using namespace hosttest;
using namespace plugtest;

TEST(AllocationFailure, Host) {
    const TempDir tmp;
    // The profile is reached through a shorter link, so that the writer copies a longer
    // real path, and must keep the link.
    std::filesystem::create_directory(tmp / "a folder with a longer name");
    std::filesystem::create_symlink(tmp / "a folder with a longer name/settings.ini", tmp / "settings.ini");
    const std::string ini = tmp / "settings.ini", text = tmp / "notes.txt", table = tmp.put("colours.tbl", std::string(768, '@'));
    const std::string lines = tmp.put("lines.txt", "first line\nsecond\n"), pattern = tmp / "col*.t?l", longLine(3000, 'x');
    const std::string kIni = "; kept as it is\n[Paths]\nData = \"/srv/data\"\nCache=/tmp/cache\n\n[View]\nZoom=1.5\n";
    writeFile(ini, kIni);
    const std::string passwd = tmp.put("passwd", "root:x:0:0:root:/root:/bin/bash\nada:x:1001:1001:Ada Lovelace,Room 1:/home/ada:/bin/sh\n"
                                                 "bob:x:1002:1002::/home/bob:/bin/sh\ncarol:x:1003:1003:Carol Shaw:/home/carol:/bin/sh\n");
    const orvane::platform::AccountSource accounts{passwd.c_str(), "/nonexistent/login.defs"};

    sweepFamily("host", {
        // Nothing written: 0 and the buffer as it was.
        {"oxProfile_getProfileString (value)",
         edit("#", [&](char* v) { return oxProfile_getProfileString("paths", "DATA", "none", v, 64, ini.c_str()); }),
         oneOf({show(0, "#")})},
        {"oxProfile_getProfileString (key list)",
         edit("#", [&](char* v) { return oxProfile_getProfileString("Paths", nullptr, "", v, 64, ini.c_str()); }),
         oneOf({show(0, "#")})},
        // Out of memory, the file as it was.
        {"oxProfile_writeProfileString",
         [&] {
             writeFile(ini, kIni);
             const int status = armed([&] { return oxProfile_writeProfileString("View", "Grid", "on", ini.c_str()); });
             return show(status, readFile(ini), std::filesystem::is_symlink(ini));
         },
         oneOf({show(ENOMEM, kIni, true)})},
        // Not opened (the file as it was), or opened and the text not written (the stream failed).
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
         oneOf({show(0, 0, 12), show(1, -1, 0)})},
        {"oxWinAPI_fopen (r) + fgets",
         edit("#",
              [&](char* line) {
                  oxStream* s = nullptr;
                  oxWinAPI_fopen(&s, lines.c_str(), "r"), oxWinAPI_fgets(line, 64, s);
                  return oxWinAPI_fclose(&s), 0;
              }),
         oneOf({show(0, "#")})},
        {"oxWinAPI_getParentDir", edit("#", [](char* d) { return oxWinAPI_getParentDir(d, "C:\\Orvane Works\\bin\\tool.exe", 1); }),
         oneOf({show(0, "#")})},
        {"tqFile_quotePathA (per component)",
         edit("#", [](char* d) { return tqFile_quotePathA(d, "/opt/orvane works/shared data/file name.txt", 1); }),
         oneOf({show(0, "#")})},
        // Not made; levels above may stay, the next call makes the rest.
        {"oxWinAPI_makeDirectory (three levels)",
         [&] {
             std::filesystem::remove_all(tmp / "made");
             const std::string deep = tmp / "made/level two/level three";
             const int status = armed([&] { return oxWinAPI_makeDirectory(deep.c_str()); });
             return show(status, std::filesystem::is_directory(deep));
         },
         oneOf({show(-1, 0)})},
        {"oxWinAPI_getFileTimes (pattern)",
         [&] {
             int created = -5, modified = -5;
             armed([&] { return oxWinAPI_getFileTimes(pattern.c_str(), &created, &modified); });
             return show(created > 0, modified > 0);
         },
         oneOf({show(0, 0)})},
        // Status 8; the lists hold `count` complete entries.
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
         oneOf({show(8, 0, 1, ""), show(8, 1, 0, "ada=Ada Lovelace;"), show(8, 2, 0, "ada=Ada Lovelace;bob=;")})},
        {"oxDomain_getUserFullName (passwd file)",
         edit("#", [&](char* full) { return orvane::domain::getUserFullName(accounts, "localhost", full, "carol"); }),
         oneOf({show(8, "#")})},
        {"msapiFile_readColourTableToRGBArray (no allocation)",
         edit("", [&](char* rgb) { return msapiFile_readColourTableToRGBArray(reinterpret_cast<unsigned char*>(rgb), table.c_str()); }),
         nullptr},
    });
}

TEST(AllocationFailure, DesignFiles) {
    const TempDir tmp;
    const auto bytes = testcfb::designFile(3, 3000);
    const std::string design = tmp.put("bridge.dgn", std::string(bytes.begin(), bytes.end()));
    const std::string doc = std::string(ORVANE_TEST_DATA) + "/props-unicode.doc";
    // Found, or not found with an empty value.
    const auto property = [](const std::string& file, const char* name) -> Op {
        return {std::string("histo_getV8Prop (") + name + ")", edit("#", [=](char* v) { return histo_getV8Prop(file.c_str(), name, v); }),
                oneOf({show(0, "")})};
    };
    sweepFamily("designprops", {
        {"oxFile_isV8Dgn", result([&] { return oxFile_isV8Dgn(design.c_str()); }), oneOf({"0"})},
        property(design, "Title"),    // the summary
        property(design, "Project"),  // user-defined text
        property(design, "Sheet"),    // user-defined double
        property(doc, "Title"),       // a LibreOffice document, Unicode
    });
}

// One session with the scripted server, which greets, answers each one-byte request with
// the reply and counts what the client sent; `body` runs on the open connection after
// a request for the reply.
template <class Body>
Outcome session(Body body) {
    std::string received;
    Outcome o = "no session";
    {
        ScriptedServer server([&](int fd) {
            greet(fd);
            for (char c[6]; readExactly(fd, c, 6, 5);) {
                received.append(c, 6);
                if (c[0] == 'B' && c[5] == '?') sendAll(fd, le32(11) + "reply bytes");
                if (c[0] != 'B') received += readToEnd(fd, 5);
            }
        });
        socketData* c = nullptr;
        if (tqServer_openConnectionToPlugin(&c, "127.0.0.1", server.port().c_str(), "t", nullptr) == 0)
            o = (tqServer_sendBufferToPlugin(c, "?", 1), body(c)), tqServer_closeConnectionToPlugin(c);
    }
    return o + "|server got " + std::to_string(received.size());
}

TEST(AllocationFailure, PluginClient) {
    const LogFile log;  // the failure paths write their trace lines too
    const std::string upload = log.dir + "/upload.bin", download = log.dir + "/download.bin";
    writeFile(upload, std::string(20000, 'u'));
    sweepFamily("pluginclient", {
        {"tqServer_openConnectionToPlugin",
         [] {
             ScriptedServer server([](int fd) { greet(fd), readToEnd(fd, 5); });
             const std::string port = server.port();
             socketData* c = reinterpret_cast<socketData*>(&server);  // must stay untouched on failure
             char reply[TQ_SERVER_REPLY_BYTES] = "#";
             const int rc = armed([&] { return tqServer_openConnectionToPlugin(&c, "127.0.0.1", port.c_str(), "t", reply); });
             const bool untouched = c == reinterpret_cast<socketData*>(&server);
             if (untouched) tqServer_openConnectionToPlugin(&c, "127.0.0.1", port.c_str(), "t", nullptr);  // the server waits
             tqServer_closeConnectionToPlugin(c);
             return show(rc, untouched, reply);
         },
         oneOf({show(3, 1, "#")})},
        // No chunk buffer: nothing sent, not even the header.
        {"tqServer_sendFileToPlugin",
         [&] { return session([&](socketData* c) { return show(armed([&] { return tqServer_sendFileToPlugin(c, upload.c_str()); })); }); },
         oneOf({"-1|server got 6"})},
        // Outputs untouched; the reply stays unread.
        {"tqServer_getDataFromPlugin",
         [] {
             return session([](socketData* c) {
                 void* data = &c;
                 int size = -7;
                 const int rc = armed([&] { return tqServer_getDataFromPlugin(c, &data, &size); });
                 const std::string got = rc == 0 ? std::string(static_cast<char*>(data), static_cast<std::size_t>(size)) : "";
                 if (rc == 0) tqMisc_freeBuffer(&data);
                 return show(rc, data == &c, size, got);
             });
         },
         oneOf({show(-1, 1, -7, "") + "|server got 6"})},
        // Nothing written: no file.
        {"tqServer_getFileFromPlugin",
         [&] {
             std::remove(download.c_str());
             return session([&](socketData* c) {
                 const int rc = armed([&] { return tqServer_getFileFromPlugin(c, download.c_str()); });
                 return show(rc, std::filesystem::exists(download) ? readFile(download) : "(no file)");
             });
         },
         oneOf({show(-1, "(no file)") + "|server got 6"})},
    });
}

}  // namespace
