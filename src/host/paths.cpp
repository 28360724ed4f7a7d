// Paths and host information: the standard folders, parent paths, directory chains, file
// times, the computer name, short paths, quoting and launching. Host paths may use '\'
// or '/'; text results keep the host's own separators.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "frame/boundary.hpp"
#include "orvane.h"
#include "platform/folders.hpp"
#include "platform/launch.hpp"
#include "platform/path_text.hpp"
#include "strings/tokenizer.hpp"

namespace orvane {

namespace {

namespace pf = platform;

// Host buffers without a size hold this many characters with the terminator.
constexpr std::size_t kPathBuffer = 260;
constexpr std::size_t kNameBuffer = 256;
constexpr std::size_t kErrorTextBuffer = 256;

// "Unspecified failure" and "invalid pointer" of the shell's folder calls.
constexpr int kFolderFailed = static_cast<int>(0x80004005u);
constexpr int kFolderNullPointer = static_cast<int>(0x80004003u);
constexpr int kNullArgument = 32768;

// Copies `text` with its terminator; the caller has checked that it fits.
void put(char* dest, const std::string& text) { std::memmove(dest, text.c_str(), text.size() + 1); }

template <bool (*Locate)(std::string&)>
int folderPath(char* path) {
    if (!path) return kFolderNullPointer;
    return guarded(kFolderFailed, [&] {
        std::string folder;
        if (!Locate(folder) || folder.size() >= kPathBuffer) return kFolderFailed;
        put(path, folder);
        return 0;
    });
}

int32_t clampToInt32(std::int64_t seconds) {
    if (seconds > INT32_MAX) return INT32_MAX;
    if (seconds < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(seconds);
}

// The chain of missing directories above and including `path`, made from the top down.
int makeChain(const std::string& path) {
    std::vector<std::string> missing{path};
    for (;;) {
        std::string parent = missing.back();
        // A path without a parent (a root, or one relative component) ends the climb.
        if (!pf::removeLastComponent(parent) || parent.empty() || pf::isDirectory(pf::nativePath(parent))) break;
        if (parent == missing.back()) break;
        missing.push_back(std::move(parent));
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        const std::string native = pf::nativePath(*it);
        if (pf::isDirectory(native)) continue;
        if (pf::createDirectory(native) != 0) return -1;
    }
    return 0;
}

// The per-component form of tqFile_quotePathA.
std::string quoteComponents(const char* path) {
    // The path's own separators are kept; a component cut by the 260-character window
    // gets the path's separator.
    const char separator = pf::separatorFor(path);
    const TokenSets<char> sets{nullptr, nullptr, nullptr, "\\/", nullptr, nullptr};
    std::string built, token(kPathBuffer + 1, '\0');
    std::size_t pos = 0;
    for (int used; (used = getToken<char>(token.data(), path + pos, sets, static_cast<int>(kPathBuffer))) > 0;
         pos += static_cast<std::size_t>(used)) {
        const std::size_t n = std::strlen(token.c_str());
        const char last = path[pos + static_cast<std::size_t>(used) - 1];
        const char sep = static_cast<std::size_t>(used) > n && pf::isSeparator(last) ? last : separator;
        if (n == 0) {
            built += sep;
        } else if (std::memchr(token.data(), ' ', n)) {
            built.append(1, '"').append(token.data(), n).append(1, '"') += sep;
        } else {
            built.append(token.data(), n) += sep;
        }
    }
    return built;
}

}  // namespace

}  // namespace orvane

using namespace orvane;

extern "C" {

TQ_API int oxWinAPI_fileGetUserAppDataPath(char* path) noexcept { return folderPath<pf::userDataFolder>(path); }

TQ_API int oxWinAPI_fileGetAllUsersAppDataPath(char* path) noexcept { return folderPath<pf::sharedDataFolder>(path); }

TQ_API int oxWinAPI_fileGetProgramFilesPath(char* path) noexcept { return folderPath<pf::programsFolder>(path); }

TQ_API int oxWinAPI_getParentDir(char* parent, const char* path, int addBackslash) noexcept {
    if (!parent || !path) return 0;
    return guarded(0, [&] {
        std::string text(path);
        if (pf::removeLastComponent(text) && addBackslash) pf::appendSeparator(text, pf::separatorFor(path));
        // A parent that the host's 260-character buffer cannot hold is not written in part.
        put(parent, text.size() < kPathBuffer ? text : std::string());
        return 0;
    });
}

TQ_API int oxWinAPI_makeDirectory(const char* path) noexcept {
    if (!path) return 0;
    return guarded(-1, [&] { return makeChain(path); });
}

TQ_API int oxWinAPI_getFileTimes(const char* path, int* created, int* modified) noexcept {
    if (!path) return 0;
    return guarded(0, [&] {
        pf::FileTimes times;
        if (pf::firstMatchTimes(pf::nativePath(path), times)) {
            if (created) *created = clampToInt32(times.created);
            if (modified) *modified = clampToInt32(times.modified);
        }
        return 0;
    });
}

TQ_API int oxWinAPI_getComputerNameA(char* name, int /*unused*/) noexcept {
    if (!name) return 0;
    return guarded(ENOMEM, [&] {
        std::string host;
        const int error = pf::hostName(host);
        if (error || host.size() >= kNameBuffer) {
            name[0] = '\0';
            return error ? error : ENAMETOOLONG;
        }
        put(name, host);
        return 0;
    });
}

TQ_API int tqWin32_getComputerName(char* name) noexcept {
    if (!name) return kNullArgument;
    std::memcpy(name, "TEST", 5);
    return 0;
}

TQ_API int tqWin32_getShortPathName(const char* longPath, char* shortPath) noexcept {
    if (!longPath || !shortPath) return kNullArgument;
    return guarded(ENOMEM, [&] {
        // No 8.3 names here: the short form of an existing path is the path itself.
        const std::string text(longPath);
        int error = pf::existence(pf::nativePath(text));
        if (!error && text.size() >= kPathBuffer) error = ENAMETOOLONG;
        put(shortPath, error ? std::string() : text);
        return error;
    });
}

TQ_API int tqFile_quotePathA(char* quoted, const char* path, int perComponent) noexcept {
    if (!quoted || !path || !*path) return 0;
    return guarded(0, [&] {
        if (!perComponent) {
            if (!std::strchr(path, ' ')) {
                if (quoted != path) std::memmove(quoted, path, std::strlen(path) + 1);
                return 0;
            }
            std::string text = "\"";
            for (const char* p = path; *p; ++p)
                if (*p != '"') text += *p;
            text += '"';
            put(quoted, text);
            return 0;
        }
        const std::string built = quoteComponents(path);
        if (!built.empty()) tqString_copyNA(quoted, built.c_str(), static_cast<int>(built.size() - 1));
        return 0;
    });
}

TQ_API int tqFile_launchApplication(const char* file, const char* parameters, int show, void* /*owner*/,
                                    char* errorText) noexcept {
    if (!file) return 0;
    return guarded(ENOMEM, [&] {
        const int error = pf::openDetached(pf::nativePath(file), pf::splitParameters(parameters), show == 0);
        if (error && errorText) {
            const std::string text = pf::errorText(error);
            const std::size_t n = std::min(text.size(), kErrorTextBuffer - 1);
            std::memcpy(errorText, text.data(), n);
            errorText[n] = '\0';
        }
        return error;
    });
}

}  // extern "C"
