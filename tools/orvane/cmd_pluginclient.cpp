// orvane subcommands of the plug-in client: drive a plug-in server from the shell.
//   orvane plugin send [-v] [--no-reply] HOST PORT INIT [SEGMENT...]
//   orvane plugin get  [-v] HOST PORT INIT OUTFILE [SEGMENT...]
// A SEGMENT is a file sent as an 'F' segment, '-' for standard input, or '--text TEXT'
// for a 'B' segment; segments go out in the order given.
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "command.hpp"
#include "orvane.h"

namespace cli {

namespace {

struct Segment {
    bool isText;  // sent from memory ('B'); otherwise a file path ('F')
    std::string value;
};

struct PluginArgs {
    std::vector<std::string> fixed;  // HOST PORT INIT [OUTFILE]
    std::vector<Segment> segments;
    bool verbose = false;
    bool reply = true;
};

// Splits the arguments; `fixedCount` positionals come first, every later one is a segment.
bool parse(const std::vector<std::string>& args, std::size_t from, std::size_t fixedCount, PluginArgs& out,
           std::string& error) {
    for (std::size_t i = from; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-v") {
            out.verbose = true;
        } else if (a == "--no-reply") {
            out.reply = false;
        } else if (a == "--text") {
            if (i + 1 >= args.size()) return error = "--text needs a value", false;
            out.segments.push_back({true, args[++i]});
        } else if (a.size() > 1 && a[0] == '-') {
            return error = "unknown option '" + a + "'", false;
        } else if (out.fixed.size() < fixedCount) {
            out.fixed.push_back(a);
        } else if (a == "-") {
            out.segments.push_back({true, readAll(stdin)});
        } else {
            out.segments.push_back({false, a});
        }
    }
    if (out.fixed.size() < fixedCount) return error = "missing arguments", false;
    return true;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "orvane: plugin: %s\n", message.c_str());
    return 1;
}

// Opens the session and sends the segments; on success `connection` is open.
int openAndSend(const PluginArgs& a, socketData*& connection) {
    char answer[TQ_SERVER_REPLY_BYTES] = "";
    const std::string& host = a.fixed[0];
    const std::string& port = a.fixed[1];
    const std::string& init = a.fixed[2];
    const int rc = tqServer_openConnectionToPlugin(&connection, host.c_str(), port.c_str(), init.c_str(), answer);
    if (rc == 3) return fail("cannot connect to " + host + ":" + port);
    if (rc != 0) {
        tqServer_closeConnectionToPlugin(connection);
        return fail("the server refused the init sequence '" + init + "'");
    }
    if (a.verbose) std::fprintf(stderr, "orvane: plugin: server answered OK '%s'\n", answer);
    for (const Segment& s : a.segments) {
        // A text larger than a segment size can announce makes the send refuse it (-1).
        const int size = s.value.size() > INT_MAX ? -1 : static_cast<int>(s.value.size());
        const int sent = s.isText ? tqServer_sendBufferToPlugin(connection, s.value.data(), size)
                                  : tqServer_sendFileToPlugin(connection, s.value.c_str());
        if (sent != 0) {
            tqServer_closeConnectionToPlugin(connection);
            return fail(s.isText ? "cannot send a text segment" : "cannot send '" + s.value + "'");
        }
    }
    return 0;
}

int runSend(const std::vector<std::string>& args) {
    PluginArgs a;
    std::string error;
    if (!parse(args, 1, 3, a, error)) return usageError("plugin send: " + error);
    socketData* connection = nullptr;
    if (const int rc = openAndSend(a, connection); rc != 0) return rc;
    int status = 0;
    if (a.reply) {
        void* data = nullptr;
        int size = 0;
        if (tqServer_getDataFromPlugin(connection, &data, &size) != 0) {
            status = fail("no valid reply from the server");
        } else {
            std::fwrite(data, 1, static_cast<std::size_t>(size), stdout);
            std::fflush(stdout);
            tqMisc_freeBuffer(&data);
        }
    }
    tqServer_closeConnectionToPlugin(connection);
    return status;
}

int runGet(const std::vector<std::string>& args) {
    PluginArgs a;
    std::string error;
    if (!parse(args, 1, 4, a, error)) return usageError("plugin get: " + error);
    socketData* connection = nullptr;
    if (const int rc = openAndSend(a, connection); rc != 0) return rc;
    const std::string& out = a.fixed[3];
    std::remove(out.c_str());  // so that a file that could not be written shows as missing
    int status = 0;
    struct stat st {};
    if (tqServer_getFileFromPlugin(connection, out.c_str()) != 0) {
        status = fail("no valid reply from the server");
    } else if (::stat(out.c_str(), &st) != 0) {
        status = fail("cannot write '" + out + "'");
    } else if (a.verbose) {
        std::fprintf(stderr, "orvane: plugin: %lld bytes written to '%s'\n", static_cast<long long>(st.st_size),
                     out.c_str());
    }
    tqServer_closeConnectionToPlugin(connection);
    return status;
}

int runPlugin(const std::vector<std::string>& args) {
    if (!args.empty() && args[0] == "send") return runSend(args);
    if (!args.empty() && args[0] == "get") return runGet(args);
    return usageError("plugin: expected 'send' or 'get'");
}

const Command kCommands[] = {
    {"plugin",
     "send [-v] [--no-reply] HOST PORT INIT [SEGMENT...] | get [-v] HOST PORT INIT OUTFILE [SEGMENT...]",
     "talk to a plug-in server: send files ('-' = stdin) and '--text TEXT' segments, print the data reply "
     "(send) or save the file reply (get)",
     runPlugin,
     "-v\tsay on standard error what the server answered to the init sequence\n"
     "--no-reply\t(send) do not wait for a reply\n"
     "--text TEXT\ta segment holding TEXT\n"
     "SEGMENT\ta file sent as one segment ('-': standard input)\n",
     "orvane-plugind 5400 &\n"
     "orvane plugin send 127.0.0.1 5400 sum --text hello\n"
     "orvane plugin get 127.0.0.1 5400 echo copy.dgn plan.dgn"},
};

}  // namespace

std::span<const Command> pluginCommands() { return kCommands; }

}  // namespace cli
