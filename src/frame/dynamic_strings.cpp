// Heap strings grown by exact fitting, and the bounded copies that the rest of the
// toolkit cuts text with.
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frame/text.hpp"
#include "orvane.h"

namespace {

template <class C>
void dynamicAppend(C** handle, const C* text) noexcept {
    if (!handle || !text) return;
    std::size_t current = 0;
    const std::size_t add = orvane::length(text);
    // Appending a string to itself: remember where the text sits in the block, since
    // the resize may move it.
    std::ptrdiff_t selfOffset = -1;
    if (!*handle) {
        *handle = static_cast<C*>(std::calloc(1, sizeof(C)));
        if (!*handle) return;
    } else {
        current = orvane::length(*handle);
        if (text >= *handle && text <= *handle + current) selfOffset = text - *handle;
    }
    if (add > (SIZE_MAX / sizeof(C)) - current - 1) {
        std::free(*handle);
        *handle = nullptr;
        return;
    }
    C* grown = static_cast<C*>(std::realloc(*handle, (current + add + 1) * sizeof(C)));
    if (!grown) {
        std::free(*handle);
        *handle = nullptr;
        return;
    }
    const C* from = selfOffset >= 0 ? grown + selfOffset : text;
    std::memmove(grown + current, from, add * sizeof(C));
    grown[current + add] = C{0};
    *handle = grown;
}

template <class C>
int dynamicFree(C** handle) noexcept {
    if (handle && *handle) {
        std::free(*handle);
        *handle = nullptr;
    }
    return 0;
}

template <class C>
int boundedCopy(C* dest, const C* source, int count) noexcept {
    if (!dest || !source || count < 1) return 0;
    const std::size_t limit = static_cast<std::size_t>(count);
    const std::size_t n = orvane::boundedLength(source, limit);
    std::memmove(dest, source, n * sizeof(C));
    // A shorter source is followed by terminators up to `count`, as the standard
    // bounded copy does; position n always ends the text.
    if (n < limit) {
        std::memset(dest + n, 0, (limit - n) * sizeof(C));
    } else {
        dest[n] = C{0};
    }
    return static_cast<int>(n);
}

}  // namespace

extern "C" {

TQ_API int tqStringDynamic_addA(char** handle, const char* text) noexcept {
    dynamicAppend(handle, text);
    return 0;
}

TQ_API int tqStringDynamic_addW(tqWChar** handle, const tqWChar* text) noexcept {
    dynamicAppend(handle, text);
    return 0;
}

TQ_API int tqStringDynamic_addV(char** handle, const char* format, ...) noexcept {
    if (!handle || !format) return 0;
    char scratch[1024];
    va_list args;
    va_start(args, format);
    const int produced = std::vsnprintf(scratch, sizeof scratch, format, args);
    va_end(args);
    if (produced > 0) dynamicAppend(handle, static_cast<const char*>(scratch));
    return 0;
}

TQ_API int tqStringDynamic_freeA(char** handle) noexcept { return dynamicFree(handle); }

TQ_API int tqStringDynamic_freeW(tqWChar** handle) noexcept { return dynamicFree(handle); }

TQ_API int tqString_copyNA(char* dest, const char* source, int count) noexcept {
    return boundedCopy(dest, source, count);
}

TQ_API int tqString_copyNW(tqWChar* dest, const tqWChar* source, int count) noexcept {
    return boundedCopy(dest, source, count);
}

TQ_API int tqString_truncate(char* dest, const char* source, const char* /*marker*/, int maxLength) noexcept {
    // The copy is bounded to maxLength, so it never runs past the limit and a cut copy
    // is left as it is; the marker parameter stays for callers that pass one.
    if (!dest || !source || maxLength < 4) return 0;
    return boundedCopy(dest, source, maxLength);
}

TQ_API int tqString_catSizedV(char* dest, int size, const char* format, ...) noexcept {
    if (!dest || !format || size < 1) return 0;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int produced = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (produced < 0) {
        va_end(again);
        return produced;
    }
    // The scratch never needs more than the smaller of `size` and the formatted length.
    const std::size_t keep = produced < size ? static_cast<std::size_t>(produced) : static_cast<std::size_t>(size);
    char* scratch = static_cast<char*>(std::malloc(keep + 1));
    if (!scratch) {
        va_end(again);
        return 0;
    }
    std::vsnprintf(scratch, keep + 1, format, again);
    va_end(again);
    std::strncat(dest, scratch, keep);
    std::free(scratch);
    return produced;
}

TQ_API int tqStringCat_padWithChars(char* text, char padChar, int count, int bufferSize) noexcept {
    if (!text) return count;
    const long long len = static_cast<long long>(std::strlen(text));
    long long n = count;
    if (len + count > static_cast<long long>(bufferSize) - 1) n = static_cast<long long>(bufferSize) - len - 1;
    if (n < 1) return static_cast<int>(n < INT_MIN ? INT_MIN : n);
    std::memset(text + len, static_cast<unsigned char>(padChar), static_cast<std::size_t>(n));
    text[len + n] = '\0';
    return static_cast<int>(n);
}

}  // extern "C"
