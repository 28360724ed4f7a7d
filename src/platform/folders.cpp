#include "platform/folders.hpp"

#include <fcntl.h>
#include <glob.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace orvane::platform {

namespace {

void dropTrailingSlashes(std::string& path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
}

bool absoluteFolder(const char* value, std::string& folder) {
    if (!value || value[0] != '/') return false;  // XDG: relative values are ignored
    folder = value;
    dropTrailingSlashes(folder);
    return true;
}

bool homeFolder(std::string& home) {
    if (absoluteFolder(std::getenv("HOME"), home)) return true;
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &pw, buf.data(), buf.size(), &found) != 0 || !found) return false;
    return absoluteFolder(found->pw_dir, home);
}

}  // namespace

bool userDataFolder(std::string& folder) {
    if (absoluteFolder(std::getenv("XDG_DATA_HOME"), folder)) return true;
    std::string home;
    if (!homeFolder(home)) return false;
    folder = home == "/" ? "/.local/share" : home + "/.local/share";
    return true;
}

bool sharedDataFolder(std::string& folder) {
    if (const char* dirs = std::getenv("XDG_DATA_DIRS")) {
        // The first entry counts; empty or relative entries are skipped as XDG says.
        std::string all(dirs);
        std::size_t from = 0;
        while (from <= all.size()) {
            std::size_t end = all.find(':', from);
            if (end == std::string::npos) end = all.size();
            if (absoluteFolder(all.substr(from, end - from).c_str(), folder)) return true;
            from = end + 1;
        }
    }
    folder = "/usr/local/share";
    return true;
}

bool programsFolder(std::string& folder) {
    folder = "/opt";
    return true;
}

bool isDirectory(const std::string& path) noexcept {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int existence(const std::string& path) noexcept {
    struct stat st {};
    if (path.empty()) return ENOENT;
    return ::stat(path.c_str(), &st) == 0 ? 0 : errno;
}

int createDirectory(const std::string& path) noexcept {
    if (::mkdir(path.c_str(), 0777) == 0) return 0;
    const int error = errno;
    return error == EEXIST && isDirectory(path) ? 0 : error;
}

namespace {

bool timesOf(const char* path, FileTimes& times) {
    struct statx sx {};
    if (::statx(AT_FDCWD, path, 0, STATX_BTIME | STATX_MTIME | STATX_CTIME, &sx) != 0) return false;
    times.created = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_ctime.tv_sec;
    times.modified = sx.stx_mtime.tv_sec;
    return true;
}

}  // namespace

bool firstMatchTimes(const std::string& pattern, FileTimes& times) {
    if (pattern.empty()) return false;
    if (pattern.find_first_of("*?") == std::string::npos) return timesOf(pattern.c_str(), times);
    // Only '*' and '?' are wildcards in a host's pattern: '[' and the escape are plain.
    std::string globPattern;
    globPattern.reserve(pattern.size() + 8);
    for (char c : pattern) {
        if (c == '[' || c == ']' || c == '\\') globPattern += '\\';
        globPattern += c;
    }
    glob_t found{};
    const int rc = ::glob(globPattern.c_str(), GLOB_PERIOD, nullptr, &found);
    bool ok = false;
    // "." and ".." are the folder and its parent, not files in it: a "*" that takes
    // dotted names must not answer with the folder's own times.
    const auto selfOrParent = [](const char* match) {
        const char* name = std::strrchr(match, '/');
        name = name ? name + 1 : match;
        return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
    };
    if (rc == 0)
        for (std::size_t i = 0; i < found.gl_pathc && !ok; ++i)
            ok = !selfOrParent(found.gl_pathv[i]) && timesOf(found.gl_pathv[i], times);
    ::globfree(&found);
    return ok;
}

int hostName(std::string& name) {
    char buf[256] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0) return errno;
    name = buf;
    const std::size_t dot = name.find('.');
    if (dot != std::string::npos) name.resize(dot);
    return 0;
}

std::string errorText(int error) {
    char buf[256];
    // GNU strerror_r: the text may or may not be in buf.
    const char* text = ::strerror_r(error, buf, sizeof buf);
    return text ? text : "Unknown error";
}

}  // namespace orvane::platform
