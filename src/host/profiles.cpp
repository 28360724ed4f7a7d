// Private profile (INI) files: one value, or the list of sections or of a section's keys,
// read from a file; one value written. The rules of the file format live with the reader
// and writer in platform/profile_file.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "frame/boundary.hpp"
#include "orvane.h"
#include "platform/path_text.hpp"
#include "platform/profile_file.hpp"

namespace orvane {

namespace {

namespace profile = platform::profile;

// Copies a value the way the platform does: cut to size - 1 characters when it does not
// fit; the result is the number of characters copied.
unsigned putValue(char* dest, unsigned size, std::string_view text) {
    const std::size_t n = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(dest, text.data(), n);
    dest[n] = '\0';
    return static_cast<unsigned>(n);
}

// A list of names, each followed by a NUL, and one more NUL at the end. The result counts
// everything but that last NUL. A list that does not fit is cut at size - 2 characters and
// ends in two NULs, and the result is size - 2.
unsigned putList(char* dest, unsigned size, const std::vector<std::string_view>& names) {
    if (size < 2) {
        dest[0] = '\0';
        return 0;
    }
    std::size_t total = 0;
    for (std::string_view name : names) total += name.size() + 1;
    const std::size_t room = total + 1 <= size ? total : size - 2;
    std::size_t used = 0;
    for (std::string_view name : names) {
        if (used == room) break;
        const std::size_t n = std::min(name.size(), room - used);
        std::memcpy(dest + used, name.data(), n);
        used += n;
        if (used < room) dest[used++] = '\0';
    }
    dest[used] = '\0';
    if (used + 1 < size) dest[used + 1] = '\0';
    return static_cast<unsigned>(used);
}

unsigned getProfileString(const char* section, const char* key, const char* defaultValue, char* value,
                          unsigned size, const char* fileName) {
    std::string text;
    // A file that cannot be read has no sections: the default (or an empty list) results.
    if (fileName && *fileName && profile::readFile(platform::nativePath(fileName), text) != 0) text.clear();
    if (!section) return putList(value, size, profile::sectionNames(text));
    if (!key) return putList(value, size, profile::keyNames(text, section));
    if (const auto found = profile::find(text, section, key)) return putValue(value, size, profile::unquoted(found->value));
    // The default loses its trailing blanks, as the platform's does.
    std::string_view fallback(defaultValue);
    while (!fallback.empty() && (fallback.back() == ' ' || fallback.back() == '\t')) fallback.remove_suffix(1);
    return putValue(value, size, fallback);
}

}  // namespace

}  // namespace orvane

using namespace orvane;

extern "C" {

TQ_API int oxProfile_getProfileString(const char* section, const char* key, const char* defaultValue, char* value,
                                      unsigned size, const char* fileName) noexcept {
    if (!value || !defaultValue || size == 0) return 0;
    return guarded(0, [&] {
        return static_cast<int>(getProfileString(section, key, defaultValue, value, size, fileName));
    });
}

TQ_API int oxProfile_writeProfileString(const char* section, const char* key, const char* value,
                                        const char* fileName) noexcept {
    if (!key || !value) return 0;
    if (!section || !fileName || !*fileName) return EINVAL;
    return guarded(ENOMEM, [&] { return profile::setValue(platform::nativePath(fileName), section, key, value); });
}

}  // extern "C"
