// Path texts as the host writes them: components separated by '\' or '/', roots such as
// "C:\", "\\server\share" and "/". These are pure text operations; nothing here touches
// the file system.
#pragma once

#include <string>
#include <string_view>

namespace orvane::platform {

inline bool isSeparator(char c) noexcept { return c == '\\' || c == '/'; }

// Length of the root at the front of `path`: "C:\" 3, "C:" 2, "\\server\share" up to the
// end of the share name, "\\server" whole, a single leading separator 1, else 0.
std::size_t rootLength(std::string_view path) noexcept;

// Removes the last component of `path` (a trailing separator counts as ending an empty
// last component). A root, or a text that is only a root, is left alone. True when
// something was removed: "C:\dir\f" -> "C:\dir", "C:\f" -> "C:\", "f" -> "".
bool removeLastComponent(std::string& path);

// The separator to append to `path`: '\' when it holds one or begins with a drive, else '/'.
char separatorFor(std::string_view path) noexcept;

// Appends `separator` unless `path` is empty or already ends in a separator.
void appendSeparator(std::string& path, char separator);

// The path as the Linux file system reads it: every '\' becomes '/'.
std::string nativePath(std::string_view path);

}  // namespace orvane::platform
