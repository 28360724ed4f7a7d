// Runs a command line through the shell and collects its exit status and standard output.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace testtools {

struct Outcome {
    int status = -1;
    std::string out;
};

inline Outcome run(const std::string& command) {
    Outcome o;
    std::FILE* p = ::popen(command.c_str(), "r");
    if (!p) return o;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) o.out.append(buf, n);
    const int raw = ::pclose(p);
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return o;
}

inline std::string cli() { return ORVANE_CLI; }

}  // namespace testtools
