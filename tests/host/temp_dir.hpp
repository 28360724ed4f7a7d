// Shared by the host family's tests (and the platform and command-line tests of its files):
// a fresh directory under /tmp for one test, removed with everything in it afterwards,
// whole-file reads and writes, and child processes.
#pragma once

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace hosttest {

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string readFile(const std::string& path) {
    return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}

struct TempDir {
    TempDir() { char name[] = "/tmp/orvane-host-XXXXXX"; path = ::mkdtemp(name) ? name : ""; }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::string file(const std::string& name) const { return *this / name; }
    // Writes `bytes` to the file `name` in here; gives its path.
    std::string put(const std::string& name, const std::string& bytes) const { return writeFile(*this / name, bytes), *this / name; }
    std::string path;
};

// Runs `body` in a child process that exits with what it returns, and `meanwhile` with
// the child's id; gives the wait status.
template <class Body, class Meanwhile = void (*)(pid_t)>
int inChild(Body body, Meanwhile meanwhile = [](pid_t) {}) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(body());
    meanwhile(child);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) continue;
    return status;
}

}  // namespace hosttest
