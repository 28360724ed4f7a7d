#include "platform/path_text.hpp"

#include <cctype>

namespace orvane::platform {

namespace {

bool startsWithDrive(std::string_view path) noexcept {
    return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

// End of the run of non-separators starting at `from`.
std::size_t componentEnd(std::string_view path, std::size_t from) noexcept {
    while (from < path.size() && !isSeparator(path[from])) ++from;
    return from;
}

}  // namespace

std::size_t rootLength(std::string_view path) noexcept {
    if (startsWithDrive(path)) return path.size() > 2 && isSeparator(path[2]) ? 3 : 2;
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        // \\server\share: the share is part of the root, as a drive is.
        const std::size_t server = componentEnd(path, 2);
        if (server == 2 || server == path.size()) return server;
        return componentEnd(path, server + 1);
    }
    return !path.empty() && isSeparator(path[0]) ? 1 : 0;
}

bool removeLastComponent(std::string& path) {
    const std::size_t root = rootLength(path);
    if (root >= path.size()) return false;
    std::size_t cut = path.size();
    while (cut > root && !isSeparator(path[cut - 1])) --cut;
    // cut is now just past the last separator after the root (or the root's end).
    if (cut > root) --cut;
    path.resize(cut);
    return true;
}

char separatorFor(std::string_view path) noexcept {
    return startsWithDrive(path) || path.find('\\') != std::string_view::npos ? '\\' : '/';
}

void appendSeparator(std::string& path, char separator) {
    if (!path.empty() && !isSeparator(path.back())) path += separator;
}

std::string nativePath(std::string_view path) {
    std::string native(path);
    for (char& c : native)
        if (c == '\\') c = '/';
    return native;
}

}  // namespace orvane::platform
