// Internal entry to the list append, for the range texts of the numerics family.
#pragma once

#include <cstdarg>

#include "orvane.h"

namespace orvane {

// Appends one entry formatted from `format` and `args` (at most 1023 characters) to the
// caller's fixed list buffer, after `separator` when the list is not empty and does not
// end in a line feed; with `capitalize`, a first entry starts with an upper-case letter.
// A NULL list or format does nothing. Never throws.
void listAppend(char* list, const char* separator, int capitalize, const char* format, va_list args) noexcept;
void listAppend(tqWChar* list, const tqWChar* separator, int capitalize, const tqWChar* format,
                va_list args) noexcept;

}  // namespace orvane
