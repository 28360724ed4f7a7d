// The machine's standard folders, directories, file times and host name, in Linux terms.
// Paths given to these functions are native (see nativePath); results are 0 or an errno.
#pragma once

#include <cstdint>
#include <string>

namespace orvane::platform {

// The XDG locations that stand in for the application-data folders, and /opt for
// programs. Each without a trailing '/'. False when it cannot be determined.
bool userDataFolder(std::string& folder);
bool sharedDataFolder(std::string& folder);
bool programsFolder(std::string& folder);

bool isDirectory(const std::string& path) noexcept;
// 0 when something exists at `path` (links followed), else errno.
int existence(const std::string& path) noexcept;

// mkdir with the default mode (0777 less the umask). 0, or errno; a directory that
// another process made meanwhile counts as made.
int createDirectory(const std::string& path) noexcept;

struct FileTimes {
    std::int64_t created = 0;   // birth time where the file system keeps one, else change time
    std::int64_t modified = 0;  // last write
};

// Times of the first file (in sorted order) that `pattern` matches. Only '*' and '?'
// are wildcards; they also match names that begin with a dot, but never the entries
// "." and "..". False when none matches.
bool firstMatchTimes(const std::string& pattern, FileTimes& times);

// The host name, up to its first dot. 0, or errno.
int hostName(std::string& name);

// Text for an errno value.
std::string errorText(int error);

}  // namespace orvane::platform
