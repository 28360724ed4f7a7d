#include "platform/profile_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <unordered_set>

namespace orvane::platform::profile {

namespace {

constexpr bool isBlank(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) noexcept {
    std::size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b])) ++b;
    while (e > b && isBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// Case folding of the current locale, one table per call so that the locale is asked
// once per byte value rather than once per character compared.
class Folding {
public:
    Folding() noexcept {
        for (int c = 0; c < 256; ++c) upper_[c] = static_cast<unsigned char>(std::toupper(c));
    }
    bool same(std::string_view a, std::string_view b) const noexcept {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (upper_[static_cast<unsigned char>(a[i])] != upper_[static_cast<unsigned char>(b[i])]) return false;
        return true;
    }
    std::string folded(std::string_view s) const {
        std::string out(s);
        for (char& c : out) c = static_cast<char>(upper_[static_cast<unsigned char>(c)]);
        return out;
    }

private:
    unsigned char upper_[256];
};

enum class Kind { Other, Section, Key };

// One line of the file, classified. Offsets are absolute in the file's text.
struct Line {
    std::size_t begin = 0, end = 0, next = 0;  // content [begin, end) without its line end
    Kind kind = Kind::Other;
    std::string_view name;  // section or key name, trimmed
    bool hasValue = false;
    std::size_t nameEnd = 0, valueBegin = 0, valueEnd = 0;

    std::string_view value(std::string_view text) const { return text.substr(valueBegin, valueEnd - valueBegin); }
};

// Walks the lines of a text: LF or CR LF ends a line; the last line may lack one.
class Lines {
public:
    explicit Lines(std::string_view text) noexcept : text_(text) {}

    bool next(Line& line) noexcept {
        if (pos_ >= text_.size()) return false;
        line.begin = pos_;
        const void* lf = std::memchr(text_.data() + pos_, '\n', text_.size() - pos_);
        if (lf) {
            line.end = static_cast<std::size_t>(static_cast<const char*>(lf) - text_.data());
            line.next = line.end + 1;
            if (line.end > line.begin && text_[line.end - 1] == '\r') --line.end;
        } else {
            line.end = line.next = text_.size();
        }
        pos_ = line.next;
        line.kind = Kind::Other;
        return true;
    }

    // First non-blank character of the line, or 0 for a blank line.
    char lead(const Line& line) const noexcept {
        std::size_t p = line.begin;
        while (p < line.end && isBlank(text_[p])) ++p;
        return p < line.end ? text_[p] : '\0';
    }

    void classify(Line& line) const noexcept {
        std::size_t p = line.begin;
        while (p < line.end && isBlank(text_[p])) ++p;
        line.kind = Kind::Other;
        line.hasValue = false;
        if (p == line.end || text_[p] == ';') return;
        const std::string_view content = text_.substr(p, line.end - p);
        if (content[0] == '[') {
            // A header without its ']' names the rest of the line.
            const std::size_t close = content.find(']');
            line.kind = Kind::Section;
            line.name = trim(content.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
            return;
        }
        line.kind = Kind::Key;
        const std::size_t eq = content.find('=');
        line.name = trim(content.substr(0, eq));
        line.nameEnd = static_cast<std::size_t>(line.name.data() - text_.data()) + line.name.size();
        if (eq == std::string_view::npos) return;
        line.hasValue = true;
        const std::string_view value = trim(content.substr(eq + 1));
        line.valueBegin = value.empty() ? p + eq + 1 : static_cast<std::size_t>(value.data() - text_.data());
        line.valueEnd = line.valueBegin + value.size();
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// Next line that is a section header, or (with `keys`) a key line: the others are not
// classified at all, which keeps a lookup close to a bare scan of the line ends.
bool nextOfInterest(Lines& lines, Line& line, bool keys) noexcept {
    while (lines.next(line)) {
        const char c = lines.lead(line);
        if (c == '[' || (keys && c != '\0' && c != ';')) {
            lines.classify(line);
            return true;
        }
    }
    return false;
}

// Adds `name` unless a name that folds the same is already listed.
void addOnce(std::vector<std::string_view>& names, std::unordered_set<std::string>& seen, const Folding& fold,
             std::string_view name) {
    if (name.empty()) return;  // an empty name would read as the end of a NUL-separated list
    if (seen.insert(fold.folded(name)).second) names.push_back(name);
}

const char* lineEndOf(std::string_view text) noexcept {
    const std::size_t lf = text.find('\n');
    return lf != std::string_view::npos && lf > 0 && text[lf - 1] == '\r' ? "\r\n" : "\n";
}

bool lastLineBlank(std::string_view text) noexcept {
    // text ends in a line end here; look at the line before it.
    std::size_t end = text.size() - 1;
    const std::size_t start = text.rfind('\n', end == 0 ? 0 : end - 1);
    const std::size_t from = start == std::string_view::npos || start >= end ? 0 : start + 1;
    return trim(text.substr(from, end - from)).empty();
}

}  // namespace

std::optional<Found> find(std::string_view text, std::string_view section, std::string_view key) {
    const Folding fold;
    section = trim(section);
    key = trim(key);
    Lines lines(text);
    Line line;
    bool inSection = false;
    while (nextOfInterest(lines, line, inSection)) {
        if (line.kind == Kind::Section) {
            if (inSection) return std::nullopt;  // later sections of the same name do not count
            inSection = fold.same(line.name, section);
        } else if (inSection && line.kind == Kind::Key && fold.same(line.name, key)) {
            if (!line.hasValue) return std::nullopt;
            return Found{line.value(text)};
        }
    }
    return std::nullopt;
}

std::vector<std::string_view> sectionNames(std::string_view text) {
    const Folding fold;
    std::vector<std::string_view> names;
    std::unordered_set<std::string> seen;
    Lines lines(text);
    Line line;
    while (nextOfInterest(lines, line, false))
        if (line.kind == Kind::Section) addOnce(names, seen, fold, line.name);
    return names;
}

std::vector<std::string_view> keyNames(std::string_view text, std::string_view section) {
    const Folding fold;
    section = trim(section);
    std::vector<std::string_view> names;
    std::unordered_set<std::string> seen;
    Lines lines(text);
    Line line;
    bool inSection = false;
    while (nextOfInterest(lines, line, inSection)) {
        if (line.kind == Kind::Section) {
            if (inSection) break;
            inSection = fold.same(line.name, section);
        } else if (inSection && line.kind == Kind::Key) {
            addOnce(names, seen, fold, line.name);
        }
    }
    return names;
}

std::string_view unquoted(std::string_view value) noexcept {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

bool writable(std::string_view section, std::string_view key, std::string_view value) noexcept {
    const auto hasLineEnd = [](std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; };
    if (hasLineEnd(section) || hasLineEnd(key) || hasLineEnd(value)) return false;
    if (section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos) return false;
    key = trim(key);
    return key.empty() || (key[0] != '[' && key[0] != ';');
}

std::string withValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value) {
    const Folding fold;
    section = trim(section);
    key = trim(key);
    const std::string_view eol = lineEndOf(text);
    Lines lines(text);
    Line line;
    bool inSection = false, sectionSeen = false;
    std::size_t insertAt = 0;
    while (nextOfInterest(lines, line, inSection)) {
        if (line.kind == Kind::Section) {
            if (inSection) break;
            if (!sectionSeen && fold.same(line.name, section)) {
                inSection = sectionSeen = true;
                insertAt = line.next;
            }
        } else if (inSection && line.kind == Kind::Key) {
            if (fold.same(line.name, key)) {
                std::string out;
                out.reserve(text.size() + value.size() + 1);
                if (line.hasValue) {
                    out.append(text.substr(0, line.valueBegin)).append(value).append(text.substr(line.valueEnd));
                } else {
                    out.append(text.substr(0, line.nameEnd)).append("=").append(value).append(text.substr(line.nameEnd));
                }
                return out;
            }
            insertAt = line.next;
        }
    }
    std::string out;
    out.reserve(text.size() + section.size() + key.size() + value.size() + 16);
    if (sectionSeen) {
        // A new line after the section's last key (or its header).
        out.append(text.substr(0, insertAt));
        if (insertAt == text.size() && !text.empty() && text.back() != '\n') out.append(eol);
        out.append(key).append("=").append(value);
        if (insertAt < text.size() || text.empty() || text.back() == '\n') out.append(eol);
        out.append(text.substr(insertAt));
        return out;
    }
    out.append(text);
    if (!out.empty()) {
        if (out.back() != '\n') out.append(eol);
        if (!lastLineBlank(out)) out.append(eol);  // a blank line before the new section
    }
    out.append("[").append(section).append("]").append(eol);
    out.append(key).append("=").append(value).append(eol);
    return out;
}

int readFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    // Not blocking in open: a pipe that nobody writes to reads as empty instead of
    // waiting for a writer forever. Reads block again, so a live pipe is read whole.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno;
    // Closed on every way out, a string that cannot grow included.
    const struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    int error = 0;
    if (::fstat(fd, &st) != 0) {
        error = errno;
    } else if (S_ISDIR(st.st_mode)) {
        error = EISDIR;
    } else if (const int flags = ::fcntl(fd, F_GETFL); flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        error = errno;
    } else {
        // Straight into the string: the size the file has now, growing if it grows.
        std::size_t used = 0;
        bytes.resize(S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 65536);
        for (;;) {
            if (used == bytes.size()) bytes.resize(bytes.size() * 2);
            const ssize_t got = ::read(fd, bytes.data() + used, bytes.size() - used);
            if (got > 0) {
                used += static_cast<std::size_t>(got);
            } else if (got == 0) {
                break;
            } else if (errno != EINTR) {
                error = errno;
                break;
            }
        }
        bytes.resize(used);
    }
    if (error) bytes.clear();
    return error;
}

namespace {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

// A fresh, unused file name beside `target`, opened exclusively.
int openTemporary(const std::string& target, mode_t mode, std::string& temporary) {
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash == 0 ? 1 : slash);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    unsigned long long seed = static_cast<unsigned long long>(now.tv_nsec) ^
                              (static_cast<unsigned long long>(::getpid()) << 32) ^
                              reinterpret_cast<std::uintptr_t>(&now);
    for (int attempt = 0; attempt < 100; ++attempt) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%012llx~", (seed >> 16) & 0xFFFFFFFFFFFFull);
        temporary = (dir == "/" ? "/" : dir + "/") + "." + base.substr(0, 200) + suffix;
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Runs after the rename, which has replaced the file already: it cannot fail the write,
// not even when the folder's name cannot be had for lack of memory.
void syncDirectoryOf(const std::string& target) noexcept {
    try {
        const std::size_t slash = target.rfind('/');
        const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash == 0 ? 1 : slash);
        const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    } catch (...) {
    }
}

int replaceFile(const std::string& target, std::string_view bytes, const struct stat* old, BeforeRename hook) {
    std::string temporary;
    // A new file gets the usual 0666 less the umask; an old file's mode is copied below.
    const int fd = openTemporary(target, old ? 0600 : 0666, temporary);
    if (fd < 0) return errno;
    int error = 0;
    if (old) {
        if (::fchmod(fd, old->st_mode & 07777) != 0) error = errno;
        if (!error && (old->st_uid != ::geteuid() || old->st_gid != ::getegid()))
            (void)!::fchown(fd, old->st_uid, old->st_gid);  // only a privileged writer can keep the owner
    }
    if (!error && !writeAll(fd, bytes)) error = errno;
    if (!error && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && !error) error = errno;
    if (!error && hook) hook(temporary.c_str());
    if (!error && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
    if (error) {
        ::unlink(temporary.c_str());
        return error;
    }
    syncDirectoryOf(target);
    return 0;
}

}  // namespace

int setValue(const std::string& path, std::string_view section, std::string_view key, std::string_view value,
             BeforeRename hook) {
    if (path.empty()) return ENOENT;
    if (!writable(section, key, value)) return EINVAL;
    // Through a symbolic link the link stays and its target gets the new text.
    std::string target = path;
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        const std::unique_ptr<char, void (*)(void*)> owned(real, std::free);
        target = real;
    } else if (errno != ENOENT) {
        // Not knowing where a link leads (no memory, a loop), writing the name itself
        // would replace the link: give up instead. A new file has no real path yet.
        return errno;
    }
    struct stat st {};
    const bool existed = ::stat(target.c_str(), &st) == 0;
    if (existed) {
        if (S_ISDIR(st.st_mode)) return EISDIR;
        // A device, pipe or socket would be replaced by a plain file: never.
        if (!S_ISREG(st.st_mode)) return EINVAL;
        if (::access(target.c_str(), W_OK) != 0) return errno;
        if ((st.st_mode & 0222) == 0) return EACCES;  // read-only, even for a privileged writer
    }
    std::string old;
    if (existed) {
        if (const int error = readFile(target, old)) return error;
    }
    const std::string updated = withValue(old, section, key, value);
    if (existed && updated == old) return 0;
    return replaceFile(target, updated, existed ? &st : nullptr, hook);
}

}  // namespace orvane::platform::profile
