// Text between the two widths through the current locale's multibyte codeset (the part
// the host platform's ANSI code page plays there).
#pragma once

#include <string>

#include "orvane.h"

namespace orvane {

// 16-bit text as multibyte text; a unit with no encoding becomes '?'. NULL gives "".
std::string narrow(const tqWChar* text);

// As narrow, but false (with `out` partly filled) at the first unit with no encoding.
bool narrowExact(const tqWChar* text, std::string& out);

// Multibyte text as 16-bit units; a byte that starts no valid sequence keeps its value.
std::u16string widen(const std::string& text);

}  // namespace orvane
