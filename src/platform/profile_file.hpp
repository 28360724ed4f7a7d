// Profile (INI) files: a reader and a writer of our own with the private-profile rules
// that host programs expect. Text is bytes: any encoding passes through untouched.
//
//   [Section]            names and keys compare without regard to case
//   key = value          blanks around names and values are dropped; one pair of
//   ; comment            matching quotes around a value is dropped when read
//
// The reader works on the file's bytes in one pass; the writer changes only the bytes of
// the one value it sets (or inserts one line, or appends one section) and replaces the
// file atomically.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::platform::profile {

// A value as it stands in the file. A key on a line without '=' has no value and is not
// found (it is still listed among the section's keys).
struct Found {
    std::string_view value;  // blanks trimmed, quotes not yet dropped
};

// Lookups over the bytes of a whole file. The first section of a name counts, and in it
// the first line of a key.
std::optional<Found> find(std::string_view text, std::string_view section, std::string_view key);
std::vector<std::string_view> sectionNames(std::string_view text);  // each name once, first spelling
std::vector<std::string_view> keyNames(std::string_view text, std::string_view section);

// The value with one pair of matching quotes (" or ') dropped.
std::string_view unquoted(std::string_view value) noexcept;

// Names and values that a profile line cannot hold: line ends anywhere, ']' in a section
// name, '=' in a key, a key that would read as a section or a comment.
bool writable(std::string_view section, std::string_view key, std::string_view value) noexcept;

// `text` with section/key set to `value`: the value's bytes replaced in place, or a new
// line after the section's last key, or a new section at the end. Line ends follow the
// file's first line end (LF for a file without one).
std::string withValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value);

// Whole file into `bytes`. 0, or errno (ENOENT for a missing file).
int readFile(const std::string& path, std::string& bytes);

// Called between writing the complete temporary file and renaming it over the old one
// (tests stop the process there).
using BeforeRename = void (*)(const char* temporaryPath);

// Sets section/key to value in the file at `path`, creating it when missing. The new
// file is written beside the old one and renamed over it, so a crash or a full disk
// leaves the old file whole; the old file's mode (and owner, where allowed) is kept.
// 0, or errno: EINVAL for what writable() refuses and for an existing path that is not
// a plain file (a device or pipe is never replaced), EACCES for a read-only file, the
// error of the failing step otherwise.
int setValue(const std::string& path, std::string_view section, std::string_view key, std::string_view value,
             BeforeRename hook = nullptr);

}  // namespace orvane::platform::profile
