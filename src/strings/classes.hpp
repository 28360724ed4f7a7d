// Internal entry to the numeric class test, for the range texts of the numerics family.
#pragma once

#include "orvane.h"

namespace orvane {

// Digits, plus "." anywhere when allowPoint, plus "-" as the first character when
// allowMinus. requireAll: every character must qualify, else at least one. 0 for NULL
// or empty text.
int isNumeric(const char* text, int requireAll, int allowPoint, int allowMinus) noexcept;
int isNumeric(const tqWChar* text, int requireAll, int allowPoint, int allowMinus) noexcept;

}  // namespace orvane
