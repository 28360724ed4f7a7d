// Internal entry to the wildcard matcher, for the families that match names and numbers
// against patterns without going through the exported wrappers.
#pragma once

#include "orvane.h"

namespace orvane {

// 1 when the whole `text` matches the whole `pattern` at `level` (0 plain text, 1 '*'
// and '?', 2 adds classes, 3 adds '|' and alternatives; negative: the text must be
// empty), else 0; 0 for NULL. `tableAfter`: how many text positions are tried one by
// one (by the segment between two '*', and by an alternative class) before the rest
// are worked out together in one pass over the text (a speed trade only; tests vary it
// to cover both ways). Throws std::bad_alloc when its sets cannot be allocated.
int matchWildcards(const char* pattern, const char* text, int level, int caseSensitive, int tableAfter = 8);
int matchWildcards(const tqWChar* pattern, const tqWChar* text, int level, int caseSensitive, int tableAfter = 8);

}  // namespace orvane
