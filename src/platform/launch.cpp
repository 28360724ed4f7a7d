#include "platform/launch.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace orvane::platform {

namespace {

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// A bare program name through PATH, as a shell would find it.
bool findInPath(const std::string& name, std::string& found) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t from = 0;
    while (from <= dirs.size()) {
        std::size_t end = dirs.find(':', from);
        if (end == std::string::npos) end = dirs.size();
        const std::string dir = end > from ? dirs.substr(from, end - from) : ".";
        const std::string candidate = dir + "/" + name;
        if (isExecutableFile(candidate)) {
            found = candidate;
            return true;
        }
        from = end + 1;
    }
    return false;
}

// Everything the spawn needs, prepared before the fork: the intermediate process only
// calls posix_spawn, write and _exit.
struct SpawnPlan {
    std::string program;
    std::vector<std::string> argv;
    bool quiet = false;
};

int spawnDetached(const SpawnPlan& plan) {
    std::vector<char*> argv;
    for (const std::string& a : plan.argv) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    if (int rc = ::posix_spawn_file_actions_init(&actions)) return rc;
    if (int rc = ::posix_spawnattr_init(&attr)) {
        ::posix_spawn_file_actions_destroy(&actions);
        return rc;
    }
    int rc = ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (!rc && plan.quiet) rc = ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (!rc && plan.quiet) rc = ::posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (!rc) rc = ::posix_spawn_file_actions_addclosefrom_np(&actions, 3);  // the host's descriptors stay home
    // A fresh session, an empty signal mask and default dispositions: the program must
    // not inherit what the host blocked or ignored, nor die with the host's terminal.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    if (!rc) rc = ::posix_spawnattr_setsigmask(&attr, &none);
    if (!rc) rc = ::posix_spawnattr_setsigdefault(&attr, &all);
    if (!rc) rc = ::posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    int pipeFds[2] = {-1, -1};
    if (!rc && ::pipe2(pipeFds, O_CLOEXEC) != 0) rc = errno;
    pid_t middle = -1;
    if (!rc) {
        middle = ::fork();
        if (middle == 0) {
            pid_t child;
            int result = ::posix_spawn(&child, plan.program.c_str(), &actions, &attr, argv.data(), environ);
            (void)!::write(pipeFds[1], &result, sizeof result);
            ::_exit(0);
        }
        if (middle < 0) rc = errno;
    }
    if (pipeFds[1] >= 0) ::close(pipeFds[1]);
    if (middle > 0) {
        int result = EIO;
        ssize_t got;
        do got = ::read(pipeFds[0], &result, sizeof result);
        while (got < 0 && errno == EINTR);
        rc = got == static_cast<ssize_t>(sizeof result) ? result : EIO;
        // The intermediate ends at once; reaping it here leaves no zombie behind.
        while (::waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    if (pipeFds[0] >= 0) ::close(pipeFds[0]);
    ::posix_spawnattr_destroy(&attr);
    ::posix_spawn_file_actions_destroy(&actions);
    return rc;
}

}  // namespace

std::vector<std::string> splitParameters(const char* parameters) {
    std::vector<std::string> out;
    if (!parameters) return out;
    std::string current;
    bool inQuotes = false, any = false;
    for (const char* p = parameters; *p; ++p) {
        const char c = *p;
        if (c == '"') {
            inQuotes = !inQuotes;
            any = true;
        } else if (!inQuotes && (c == ' ' || c == '\t')) {
            if (any) out.push_back(current);
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any) out.push_back(current);
    return out;
}

int openDetached(const std::string& file, const std::vector<std::string>& arguments, bool quiet) {
    if (file.empty()) return ENOENT;
    SpawnPlan plan;
    plan.quiet = quiet;
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0) {
        if (!isExecutableFile(file)) {
            // A document goes to the desktop's opener, without the parameters (they
            // belong to programs).
            if (!findInPath("xdg-open", plan.program)) return ENOENT;
            plan.argv = {"xdg-open", file};
            return spawnDetached(plan);
        }
        plan.program = file.find('/') == std::string::npos ? "./" + file : file;
    } else {
        const int missing = errno;
        if (file.find('/') != std::string::npos || !findInPath(file, plan.program)) return missing;
    }
    plan.argv.push_back(file);
    plan.argv.insert(plan.argv.end(), arguments.begin(), arguments.end());
    return spawnDetached(plan);
}

}  // namespace orvane::platform
