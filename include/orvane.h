/*
 * orvane.h - the public interface of OrvaneLib (liborvane.so).
 *
 * A flat C interface: plain values, NUL-terminated 8-bit ("A") or 16-bit ("W") text,
 * caller-provided buffers and opaque handles. Lengths, counts and limits are counted in
 * characters of the form's width. Name parts: N = a count that limits the operation,
 * Sized = a length that limits how much of the source is read, Ext = extra parameters,
 * V = printf-style format and variable arguments.
 *
 * Conventions that hold unless a function says otherwise:
 *  - every pointer is tested; a NULL text or destination returns the nothing-done
 *    result at once (0, or NULL for pointer results);
 *  - nothing is thrown across the boundary; failures show only in the result;
 *  - blocks handed out by the library go back only through the library's own free
 *    functions (tqMisc_freeBuffer, tqStringDynamic_freeA/W, the family free functions).
 *
 * Thread use: the host calls one function at a time per piece of state; the database
 * family, the plug-in debug log, tqMath_calcSHA1 and tqMisc_getAsciiTimeA/W keep
 * process-wide state and must not be entered from two threads at once.
 */
#ifndef ORVANE_H
#define ORVANE_H

#include <stddef.h>
#include <stdarg.h>
#include <stdint.h>

#ifdef __cplusplus
#define TQ_EXTERN_C_BEGIN extern "C" {
#define TQ_EXTERN_C_END }
#define TQ_NOEXCEPT noexcept
#else
#include <uchar.h>
#define TQ_EXTERN_C_BEGIN
#define TQ_EXTERN_C_END
#define TQ_NOEXCEPT
#endif

#if defined(__GNUC__) || defined(__clang__)
#define TQ_API __attribute__((visibility("default")))
#define TQ_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define TQ_API
#define TQ_PRINTF(fmt, args)
#endif

/* One 16-bit code unit of wide text ("W" forms). char16_t in C++ and C11's <uchar.h>
 * (where it is uint_least16_t): the same type layout in both languages. */
typedef char16_t tqWChar;

TQ_EXTERN_C_BEGIN

/* ======================================================================== */
/* Buffers                                                                  */
/* ======================================================================== */

/* Zero-filled block of `size` bytes, halving the request while the heap refuses it (a
 * 64 KiB reserve is held during the attempt). `*obtained` receives the size actually
 * returned: use it, not `size`. NULL for size 0 (obtained untouched) or when nothing
 * could be had. Release with tqMisc_freeBuffer. */
TQ_API void* tqMisc_callocBuffer(unsigned size, unsigned* obtained) TQ_NOEXCEPT;

/* realloc with the same reserve-and-halve rule. After NULL the caller still owns
 * `block`; after success `block` must not be used. The result may be shorter than the
 * old block when the request had to be halved. */
TQ_API void* tqMisc_reallocBuffer(void* block, unsigned size, unsigned* obtained) TQ_NOEXCEPT;

/* Frees *handle (if handle and *handle are not NULL) and sets *handle to NULL. Always 0. */
TQ_API int tqMisc_freeBuffer(void** handle) TQ_NOEXCEPT;

/* 1 when `data` is NULL, `size` <= 0, or all `size` bytes are zero; else 0. */
TQ_API int tqMisc_isDataNull(const unsigned char* data, int size) TQ_NOEXCEPT;

/* ======================================================================== */
/* Dynamic strings and bounded copies                                       */
/* ======================================================================== */

/* Appends `text` to the heap string *handle (a NULL handle value starts a new string);
 * the block is always exactly length + 1 characters. On allocation failure *handle
 * becomes NULL (the earlier text is lost). Always 0. */
TQ_API int tqStringDynamic_addA(char** handle, const char* text) TQ_NOEXCEPT;
TQ_API int tqStringDynamic_addW(tqWChar** handle, const tqWChar* text) TQ_NOEXCEPT;

/* printf-style append through a 1024-byte scratch buffer: at most 1023 characters of the
 * formatted text are appended. Always 0. */
TQ_API int tqStringDynamic_addV(char** handle, const char* format, ...) TQ_NOEXCEPT TQ_PRINTF(2, 3);

/* Frees a dynamic string and sets *handle to NULL. Always 0. */
TQ_API int tqStringDynamic_freeA(char** handle) TQ_NOEXCEPT;
TQ_API int tqStringDynamic_freeW(tqWChar** handle) TQ_NOEXCEPT;

/* Copies at most `count` characters (strncpy rules: a shorter source is padded with
 * terminators up to `count`) and terminates at min(count, length). `dest` holds
 * count + 1 characters. Returns that length; 0 for NULL pointers or count < 1. */
TQ_API int tqString_copyNA(char* dest, const char* source, int count) TQ_NOEXCEPT;
TQ_API int tqString_copyNW(tqWChar* dest, const tqWChar* source, int count) TQ_NOEXCEPT;

/* Copies at most `maxLength` characters of `source` into `dest` (maxLength + 1 chars).
 * The copy is plainly cut: `marker` is accepted but not written. Returns the length of
 * `dest`; 0 (nothing written) for NULL pointers or maxLength < 4. */
TQ_API int tqString_truncate(char* dest, const char* source, const char* marker, int maxLength) TQ_NOEXCEPT;

/* Formats into a scratch buffer of `size` + 1 bytes and appends at most `size`
 * characters of the result to `dest`. Returns the count that the formatting produced
 * (which may exceed `size` when the text was cut; negative when formatting failed);
 * 0 for NULL pointers or size < 1. */
TQ_API int tqString_catSizedV(char* dest, int size, const char* format, ...) TQ_NOEXCEPT TQ_PRINTF(3, 4);

/* Appends `count` copies of `padChar`, fewer when the padded text would not fit in
 * `bufferSize` characters with its terminator. Returns the pad count (0 or negative:
 * nothing written); `count` unchanged for a NULL text. */
TQ_API int tqStringCat_padWithChars(char* text, char padChar, int count, int bufferSize) TQ_NOEXCEPT;

/* ======================================================================== */
/* Case-insensitive comparison and search                                   */
/* ======================================================================== */
/* Case is ignored by upper-casing both sides with the current locale. Byte order is
 * unsigned. The counted forms return -1 for a refused call (NULL, count < 1). */

/* Whole-string comparison: -1, 0 or 1 (W: difference of the first differing units).
 * 0 when either is NULL; two empty strings give -1 (their common count of 0 is refused). */
TQ_API int tqString_cmpNoCaseA(const char* a, const char* b) TQ_NOEXCEPT;
TQ_API int tqString_cmpNoCaseW(const tqWChar* a, const tqWChar* b) TQ_NOEXCEPT;

/* First `count` characters: A gives -1, 0 or 1; W gives the difference (a - b) of the
 * first differing units, or 0. -1 when refused. */
TQ_API int tqString_cmpNoCaseNA(const char* a, const char* b, int count) TQ_NOEXCEPT;
TQ_API int tqString_cmpNoCaseNW(const tqWChar* a, const tqWChar* b, int count) TQ_NOEXCEPT;

/* 0 when `text` begins with `prefix`; -1 for NULL or an empty prefix. */
TQ_API int tqString_cmpPrefixNoCase(const char* text, const char* prefix) TQ_NOEXCEPT;

/* Orders the last `count` characters of each string (the whole string when shorter),
 * compared whole: -1, 0 or 1; -1 when refused. */
TQ_API int tqString_cmpSuffixNoCaseN(const char* a, const char* b, int count) TQ_NOEXCEPT;

/* 0 when `text` ends with `suffix`; -1 for NULL or an empty suffix. */
TQ_API int tqString_cmpSuffixNoCase(const char* text, const char* suffix) TQ_NOEXCEPT;

/* Pointer into `haystack` at the first case-insensitive occurrence of `needle` within
 * its first `count` characters (a larger count searches the whole haystack); an empty
 * needle is found at the start. NULL when not found or refused. */
TQ_API char* tqString_strNoCaseNA(const char* haystack, const char* needle, int count) TQ_NOEXCEPT;
TQ_API tqWChar* tqString_strNoCaseNW(const tqWChar* haystack, const tqWChar* needle, int count) TQ_NOEXCEPT;
TQ_API char* tqString_strNoCaseA(const char* haystack, const char* needle) TQ_NOEXCEPT;
TQ_API tqWChar* tqString_strNoCaseW(const tqWChar* haystack, const tqWChar* needle) TQ_NOEXCEPT;

/* Number of fields of `text` split at `separators`: 'a,b,c' 3, 'a,b,' 2, "" 0. */
TQ_API int tqString_countCharsA(const char* text, const char* separators) TQ_NOEXCEPT;
TQ_API int tqString_countCharsW(const tqWChar* text, const tqWChar* separators) TQ_NOEXCEPT;

/* 1 when `name` matches the simple pattern `patterns` ('*' and '?'; blanks around both
 * ignored; '*' takes up to the first occurrence of the character after it, with no
 * backtracking), or with `isList` one of the `listSeparator`-separated patterns. */
TQ_API int tqString_CompareLogicalNames2(const char* patterns, const char* name, int isList,
                                         char listSeparator, int caseSensitive) TQ_NOEXCEPT;
/* Case-sensitive form of tqString_CompareLogicalNames2. */
TQ_API int tqString_CompareLogicalNames(const char* patterns, const char* name, int isList,
                                        char listSeparator) TQ_NOEXCEPT;

/* ======================================================================== */
/* Tokenizer                                                                */
/* ======================================================================== */
/* Takes the next token from the front of `source` and returns the number of characters
 * consumed (0 when there is nothing to consume): walk a string by adding each result to
 * the position. Sets are NUL-terminated strings of member characters (NULL = empty):
 *   skipLeading  skipped once before the token;
 *   trimTrailing removed from the end of the token;
 *   ignore       dropped inside the token;
 *   separators   end the token and are consumed;
 *   stoppers     end the token and are left in place;
 *   quotes       (Ext forms) each one toggles quoting, which turns the other sets off;
 *                quote characters never reach the token.
 * Sized forms look only at the first `maxLength` characters (0 = the whole string).
 * `dest` (may be NULL: measure only) must hold the window's length + 1 characters. */
TQ_API int tqString_getTokenSizedExtA(char* dest, const char* source, const char* skipLeading,
                                      const char* trimTrailing, const char* ignore,
                                      const char* separators, const char* stoppers,
                                      const char* quotes, int maxLength) TQ_NOEXCEPT;
TQ_API int tqString_getTokenSizedExtW(tqWChar* dest, const tqWChar* source, const tqWChar* skipLeading,
                                      const tqWChar* trimTrailing, const tqWChar* ignore,
                                      const tqWChar* separators, const tqWChar* stoppers,
                                      const tqWChar* quotes, int maxLength) TQ_NOEXCEPT;
TQ_API int tqString_getTokenExtA(char* dest, const char* source, const char* skipLeading,
                                 const char* trimTrailing, const char* ignore, const char* separators,
                                 const char* stoppers, const char* quotes) TQ_NOEXCEPT;
TQ_API int tqString_getTokenExtW(tqWChar* dest, const tqWChar* source, const tqWChar* skipLeading,
                                 const tqWChar* trimTrailing, const tqWChar* ignore,
                                 const tqWChar* separators, const tqWChar* stoppers,
                                 const tqWChar* quotes) TQ_NOEXCEPT;
TQ_API int tqString_getTokenSizedA(char* dest, const char* source, const char* skipLeading,
                                   const char* trimTrailing, const char* ignore, const char* separators,
                                   const char* stoppers, int maxLength) TQ_NOEXCEPT;
TQ_API int tqString_getTokenSizedW(tqWChar* dest, const tqWChar* source, const tqWChar* skipLeading,
                                   const tqWChar* trimTrailing, const tqWChar* ignore,
                                   const tqWChar* separators, const tqWChar* stoppers,
                                   int maxLength) TQ_NOEXCEPT;
TQ_API int tqString_getTokenA(char* dest, const char* source, const char* skipLeading,
                              const char* trimTrailing, const char* ignore, const char* separators,
                              const char* stoppers) TQ_NOEXCEPT;
TQ_API int tqString_getTokenW(tqWChar* dest, const tqWChar* source, const tqWChar* skipLeading,
                              const tqWChar* trimTrailing, const tqWChar* ignore,
                              const tqWChar* separators, const tqWChar* stoppers) TQ_NOEXCEPT;

/* ======================================================================== */
/* Character classes and string edits                                       */
/* ======================================================================== */
/* @section strings-classes */
/* Classes are fixed code ranges: printable 32-126 and 128-254, letters A-Z a-z, digits
 * 0-9. With `requireAll` every character must be in the class, else at least one; NULL
 * or empty text gives 0. */
TQ_API int tqString_isPrintable(const char* text, unsigned char requireAll) TQ_NOEXCEPT;
TQ_API int tqString_isAlphaNumeric(const char* text, unsigned char requireAll) TQ_NOEXCEPT;
TQ_API int tqString_isAlpha(const char* text, unsigned char requireAll) TQ_NOEXCEPT;

/* Digits, plus "." anywhere with `allowPoint` and "-" as the first character with
 * `allowMinus` (no further syntax check: '1.2.3' passes). Same result rule. */
TQ_API int tqString_isNumericExtA(const char* text, int requireAll, int allowPoint, int allowMinus) TQ_NOEXCEPT;
TQ_API int tqString_isNumericExtW(const tqWChar* text, int requireAll, int allowPoint, int allowMinus) TQ_NOEXCEPT;

/* Removes leading (moving the rest to the front) or trailing blanks and tabs in place. */
TQ_API void tqString_TrimLeadingWhiteSpace(char* text) TQ_NOEXCEPT;
TQ_API void tqString_TrimTrailingWhiteSpace(char* text) TQ_NOEXCEPT;

/* Copies `source` to `dest` (may be the same buffer) writing `replacement` (NULL or ""
 * drops the character) for every character of `charSet`, and with `alsoNonPrintable` for
 * codes 0-31, 127 and 255 (W: of the low byte). `dest` holds length(source) x
 * max(1, length(replacement)) + 1 characters. Always 0; an empty source writes nothing. */
TQ_API int tqString_replaceCharsA(char* dest, const char* source, const char* charSet, const char* replacement,
                                  int alsoNonPrintable) TQ_NOEXCEPT;
TQ_API int tqString_replaceCharsW(tqWChar* dest, const tqWChar* source, const tqWChar* charSet,
                                  const tqWChar* replacement, int alsoNonPrintable) TQ_NOEXCEPT;

/* Replaces every occurrence of `find` (one per pass, each pass searching from the
 * start) and writes the result, at most `destSize` characters plus the terminator, to
 * `dest`; a result that would not fit leaves `dest` empty (terminators up to `destSize`,
 * as tqString_copyNA writes them). Returns 0 when something was
 * replaced, 1 when `find` did not occur (`dest` then holds the copied source); 0 without
 * writing for NULL, for `find` equal to `replaceWith`, or `replaceWith` containing `find`. */
TQ_API int tqString_replace(char* dest, const char* source, const char* find, const char* replaceWith,
                            int destSize, int caseSensitive) TQ_NOEXCEPT;

/* Writes `source` with ' as "ft", " as "in" and characters outside 32-126 (with
 * `allowHigh`: 32-254 except 127) as "?". `dest` holds 2 x length + 1. Returns the length written. */
TQ_API int tqString_symbolsToAlpha(char* dest, const char* source, int allowHigh) TQ_NOEXCEPT;

/* Turns every blank into "_" in place. Always 0. */
TQ_API int tqString_spaceToUnderscoreA(char* text) TQ_NOEXCEPT;
TQ_API int tqString_spaceToUnderscoreW(tqWChar* text) TQ_NOEXCEPT;

/* ======================================================================== */
/* Wildcard matching                                                        */
/* ======================================================================== */
/* @section strings-wildcards */
/* Levels: 0 exact text (always case-sensitive); 1 "*" (any run) and "?" (one letter or
 * digit); 2 adds "[abc]", "[a-z]", "[^...]"; 3 adds "|" (zero or one character of any
 * kind) and "[alt1,alt2,...]" (the first alternative that fits, with no return to later
 * ones). A negative level matches only the empty text; levels above 3 act as 3. */

/* 1 when the whole `text` matches the whole `pattern`, else 0 (also for NULL). Takes
 * polynomial time on every input. */
TQ_API int tqString_matchWithWildcards(const char* pattern, const char* text, int level,
                                       int caseSensitive) TQ_NOEXCEPT;
TQ_API int tqString_matchWithWildcardsExtA(const char* pattern, const char* text, int level,
                                           int caseSensitive) TQ_NOEXCEPT;
TQ_API int tqString_matchWithWildcardsExtW(const tqWChar* pattern, const tqWChar* text, int level,
                                           int caseSensitive) TQ_NOEXCEPT;

/* 1 when the characters are equal, exactly or (caseSensitive 0) by upper-case mapping. */
TQ_API int tqString_matchChar(int patternChar, int textChar, int caseSensitive) TQ_NOEXCEPT;

/* 1 when `level` is 1 and `c` is "?" or "*"; 0 at every other level. */
TQ_API int tqString_charIsWildCard(char c, int level) TQ_NOEXCEPT;

/* First level-1 wildcard of `text`, or NULL. */
TQ_API char* tqString_findFirstWildCard(const char* text, int level) TQ_NOEXCEPT;

/* First character of `text` that occurs in `charSet`, or NULL. */
TQ_API char* tqString_findSubString(const char* text, const char* charSet) TQ_NOEXCEPT;

/* Where in `text` the level-1 pattern's literal prefix stands, followed as its first
 * wildcard and the literal text after it require (case-sensitive); `text` itself when
 * the whole text matches; NULL when not found. */
TQ_API char* tqString_findSubStringWithWildcards(const char* text, const char* pattern, int level) TQ_NOEXCEPT;

/* Writes to `dest` what the pattern's first level-1 wildcard stands for in `text` (empty
 * when not found; `dest` holds length(text) + 1) and sets `*textEnd` (may be NULL) just
 * past it. Always 0. */
TQ_API int tqString_expandFirstWildcard(char* dest, const char* pattern, const char* text, const char** textEnd,
                                        int level) TQ_NOEXCEPT;

/* Rewrites a `text` that matches `pattern` through `replacement`, whose wildcards take in
 * order what the pattern's wildcards stood for: ('report.txt', '*.txt', '*.bak') gives
 * 'report.bak'. Level 0 writes `replacement`; other levels and a text that does not match
 * give "". At most 511 characters (`dest` holds 512). Always 0. */
TQ_API int tqString_replaceWithWildcards(const char* text, char* dest, const char* pattern,
                                         const char* replacement, int level) TQ_NOEXCEPT;

/* ======================================================================== */
/* Separator-delimited string lists                                         */
/* ======================================================================== */
/* @section strings-lists */
/* A list is one string of entries between separator characters ('red, green, blue'),
 * read with the tokenizer: 'a,,b' has 3 entries, 'a,b,' 2, "" none. Entries compared
 * are cut to 1023 characters. */

/* Number of entries; 0 when `list` or `separators` is NULL. */
TQ_API int tqString_listGetSize(const char* list, const char* separators, const char* quotes) TQ_NOEXCEPT;

/* Pointer into `list` where entry `index` (0-based) begins (not terminated at its end),
 * or NULL when there is no such entry. */
TQ_API char* tqString_listGetEntryA(const char* list, const char* separators, const char* quotes,
                                    int index) TQ_NOEXCEPT;
TQ_API tqWChar* tqString_listGetEntryW(const tqWChar* list, const tqWChar* separators, const tqWChar* quotes,
                                       int index) TQ_NOEXCEPT;

/* 1 when an entry (with `trimSet` removed from both ends) equals `item`, exactly or
 * ignoring case; else 0. The W form converts to the locale's multibyte text first. */
TQ_API int tqString_listIsMemberExt(const char* list, const char* item, const char* separators,
                                    const char* trimSet, const char* quotes, int ignoreCase) TQ_NOEXCEPT;
TQ_API int tqString_listIsMemberA(const char* list, const char* item, const char* separators,
                                  const char* trimSet, int ignoreCase) TQ_NOEXCEPT;
TQ_API int tqString_listIsMemberW(const tqWChar* list, const tqWChar* item, const tqWChar* separators,
                                  const tqWChar* trimSet, int ignoreCase) TQ_NOEXCEPT;

/* 1 when the lists hold the same non-empty entries: in order (extra entries of `listB`
 * are not examined) or, with `anyOrder`, as sets. Two lists without entries give 0. */
TQ_API int tqString_listsAreSame(const char* listA, const char* listB, const char* separators,
                                 const char* trimSet, int ignoreCase, int anyOrder) TQ_NOEXCEPT;

/* Appends one printf-formatted entry (at most 1023 characters) to the fixed buffer
 * `list`, after `separator` (NULL: none) unless the list is empty or ends in a line
 * feed; `capitalize` upper-cases the first letter of a first entry. The buffer must have
 * room. W formats: %s and %c take 16-bit text, %hs/%S and %hc/%C 8-bit. Always 0. */
TQ_API int tqStringFixed_listAppendExtVA(char* list, const char* separator, int capitalize, const char* format,
                                         va_list args) TQ_NOEXCEPT;
TQ_API int tqStringFixed_listAppendExtVW(tqWChar* list, const tqWChar* separator, int capitalize,
                                         const tqWChar* format, va_list args) TQ_NOEXCEPT;
TQ_API int tqStringFixed_listAppendExtA(char* list, const char* separator, int capitalize, const char* format,
                                        ...) TQ_NOEXCEPT TQ_PRINTF(4, 5);
TQ_API int tqStringFixed_listAppendExtW(tqWChar* list, const tqWChar* separator, int capitalize,
                                        const tqWChar* format, ...) TQ_NOEXCEPT;
/* As above with separator ", " and capitalize 1: "%s" 'red' then "%d" 5 give 'Red, 5'. */
TQ_API int tqStringFixed_listAppendA(char* list, const char* format, ...) TQ_NOEXCEPT TQ_PRINTF(2, 3);
TQ_API int tqStringFixed_listAppendW(tqWChar* list, const tqWChar* format, ...) TQ_NOEXCEPT;

/* Shortens a list longer than `maxLength` (at least 4) to its longest run of whole
 * leading entries that leaves room for `marker` (NULL: none), then appends the marker:
 * 'alpha, beta, gamma' at 14 gives 'alpha, beta...'. A separator inside an unclosed group
 * of `groupChars` (opening character first, e.g. "()") is not a cut point. Always 0. */
TQ_API int tqStringFixed_listTruncateBySeparatorExtA(char* list, const char* marker, char separatorChar,
                                                     int maxLength, const char* groupChars) TQ_NOEXCEPT;
TQ_API int tqStringFixed_listTruncateBySeparatorExtW(tqWChar* list, const tqWChar* marker,
                                                     tqWChar separatorChar, int maxLength,
                                                     const tqWChar* groupChars) TQ_NOEXCEPT;
/* As above with marker "..." and no group characters. */
TQ_API int tqStringFixed_listTruncateBySeparatorA(char* list, char separatorChar, int maxLength) TQ_NOEXCEPT;
TQ_API int tqStringFixed_listTruncateBySeparatorW(tqWChar* list, tqWChar separatorChar, int maxLength) TQ_NOEXCEPT;

/* ======================================================================== */
/* Containers and numerics                                                  */
/* ======================================================================== */
/* @section numerics */

/* --- Linked list ------------------------------------------------------------------ */
/* One record serves as the head and as every member. Positions number the nodes in a
 * depth-first pre-order walk (node, its child chain, its next sibling); the head is 0. */

/* Flag bit of the head node; every other flag bit belongs to the caller. */
#define TQLIST_HEAD 8u
/* depthMode of tqList_sortExt that also sorts every child chain. */
#define TQLIST_SORT_DEEP 4

typedef struct tqListNode {
    struct tqListNode* prev;   /* previous node of this chain; NULL at its start */
    struct tqListNode* next;   /* next node of this chain; NULL at its end */
    struct tqListNode* parent; /* on the first node of a child chain: its owner */
    struct tqListNode* child;  /* first node of this node's child chain */
    uint32_t dataSize;         /* bytes of the data block; copied to new members */
    uint32_t flags;            /* TQLIST_HEAD marks the head; other bits are the caller's */
    int32_t userValue;         /* the caller's value, copied to new members */
    void* data;                /* the node's own data block, or NULL */
} tqListNode;

/* Visitor: nonzero stops the walk. Receives NULL data for the head and empty members. */
typedef int (*tqListVisitor)(void* data, void* context);
/* Called with a data block just before the list frees it; must not free the block. */
typedef void (*tqListRelease)(void* data);
/* Stores nonzero in *swap when a and b are out of order; a nonzero result aborts the sort. */
typedef int (*tqListComparator)(int* swap, tqListNode* a, tqListNode* b, void* context);

/* New list (its head) with initialCount empty members; NULL when the head cannot be had. */
TQ_API tqListNode* tqList_create(unsigned dataSize, unsigned flags, int userValue, int initialCount) TQ_NOEXCEPT;
/* Inserts count members after the node at position (the end of the top-level chain when
 * there is none), each with its own copy of data (NULL: empty members). Always 0. */
TQ_API int tqList_insertAfterMemberIndex(tqListNode* list, int position, int count, const void* data) TQ_NOEXCEPT;
/* Replaces the data of the node at position with a copy of data (NULL: no data). Always 0. */
TQ_API int tqList_setMemberByIndex(tqListNode* list, int position, const void* data) TQ_NOEXCEPT;
/* Data pointer / node at position; NULL when no node has that position. */
TQ_API void* tqList_getMemberByIndex(tqListNode* list, int position) TQ_NOEXCEPT;
TQ_API tqListNode* tqList_getNodeByIndex(tqListNode* list, int position) TQ_NOEXCEPT;
/* Number of members at all depths (the head not counted); -1 for a NULL list. */
TQ_API int tqList_getSize(tqListNode* list) TQ_NOEXCEPT;
/* Relinks the member at fromPosition right after the one at toPosition; refused for the
 * head, unknown positions, or a target inside the moved member's own subtree. Always 0. */
TQ_API int tqList_moveMemberByIndex(tqListNode* list, int fromPosition, int toPosition) TQ_NOEXCEPT;
/* Exchanges the data pointers of two members (never the head); links stay. Always 0. */
TQ_API int tqList_swapMembersByIndex(tqListNode* list, int positionA, int positionB) TQ_NOEXCEPT;
TQ_API int tqList_swapMembersByNode(tqListNode* a, tqListNode* b) TQ_NOEXCEPT;
/* Deletes count members at position (later members move up); a member that owns a child
 * chain is kept. The Ext form calls release for each data block. Always 0. */
TQ_API int tqList_deleteMemberByIndex(tqListNode* list, int count, int position) TQ_NOEXCEPT;
TQ_API int tqList_deleteMemberByIndexExt(tqListNode* list, int count, int position, tqListRelease release) TQ_NOEXCEPT;
/* Depth-first walk from start and its following siblings; returns the node at which the
 * visitor returned nonzero, or NULL. */
TQ_API tqListNode* tqList_processMembers(tqListNode* start, tqListVisitor visitor, void* context) TQ_NOEXCEPT;
/* As tqList_processMembers from the head; NULL for a NULL list or visitor. */
TQ_API tqListNode* tqList_search(tqListNode* list, tqListVisitor visitor, void* context) TQ_NOEXCEPT;
/* Data of the node that tqList_search finds, or NULL. */
TQ_API void* tqList_searchForData(tqListNode* list, tqListVisitor visitor, void* context) TQ_NOEXCEPT;
/* Gnome sort of the data pointers of start's chain (child chains too, deep mode). Returns
 * 0 or the comparator's abort value. tqList_sort = tqList_sortExt with TQLIST_SORT_DEEP. */
TQ_API int tqList_sort(tqListNode* start, tqListComparator comparator, void* context) TQ_NOEXCEPT;
TQ_API int tqList_sortExt(tqListNode* start, tqListComparator comparator, void* context, int depthMode) TQ_NOEXCEPT;
/* Last node of node's chain / node reached by following child links down; NULL for NULL. */
TQ_API tqListNode* tqList_getLastSiblingNode(tqListNode* node) TQ_NOEXCEPT;
TQ_API tqListNode* tqList_getLastChildNode(tqListNode* node) TQ_NOEXCEPT;
/* Frees one node already unlinked by the caller, and its data (release first). Always 0. */
TQ_API int tqList_freeNode(tqListNode* node) TQ_NOEXCEPT;
TQ_API int tqList_freeNodeExt(tqListNode* node, tqListRelease release) TQ_NOEXCEPT;
/* Frees the chain *listRef points to with every child chain, then sets *listRef to NULL. */
TQ_API void tqList_destroy(tqListNode** listRef) TQ_NOEXCEPT;
TQ_API void tqList_destroyExt(tqListNode** listRef, tqListRelease release) TQ_NOEXCEPT;

/* --- Double comparison and formatting ---------------------------------------------- */

/* 1 when |a - b| <= tolerance, else 0. */
TQ_API unsigned char tqMath_compareDoubles(double a, double b, double tolerance) TQ_NOEXCEPT;
/* Compares value with reference (master units, times scale = positional units) within
 * tolerancePercent of the reference: 1 within, 0 outside. Outside, `message` (if given;
 * 416 characters always suffice) receives the deviation, e.g. "2.000%", " 2.500MU",
 * "-1.000PU". unitText (NULL: "MU") is cut to 63 characters. */
TQ_API int tqMath_compareDoublesAsMasterA(double value, double reference, double tolerancePercent,
                                          char* message, const char* unitText, double scale) TQ_NOEXCEPT;
TQ_API int tqMath_compareDoublesAsMasterW(double value, double reference, double tolerancePercent,
                                          tqWChar* message, const tqWChar* unitText, double scale) TQ_NOEXCEPT;
/* Drops leading blanks and trailing blanks and zeros of a decimal text, then pads to at
 * least minDecimals digits after the '.' ("1.500000", 2 -> "1.50"). A text without '.'
 * keeps its integer digits. Always 0. */
TQ_API int tqMath_trimDoubleAsStringA(char* text, int minDecimals) TQ_NOEXCEPT;
TQ_API int tqMath_trimDoubleAsStringW(tqWChar* text, int minDecimals) TQ_NOEXCEPT;
/* Writes the signed decimal text of value (at most 20 characters plus terminator). Always 0. */
TQ_API int tqMath_convert64BitToStringA(char* out, int64_t value) TQ_NOEXCEPT;
/* Stable bubble sort of count points (x, y, z doubles) by mode: 1/2 x up/down, 4/8 y,
 * 16/32 z; any other mode changes nothing. Always 0. */
TQ_API int tqMath_sortPoints(double* points, int count, int mode) TQ_NOEXCEPT;

/* --- Bit masks and integer lists ---------------------------------------------------- */
/* Bit n is the bit 1 << (n % 8) of byte n / 8. */

/* Operation on a mask of byteCount bytes: 1 set all, 2 clear all, 3 set bit, 4 clear bit,
 * 5 invert bit, 6 test bit (0 set, 1 clear), 7 invert all, 8 test the mask (0 some bit
 * set, 1 all clear), 9/10 lowest/highest set bit (-1 none). Otherwise, and for NULL
 * mask, byteCount < 1 or a bit beyond the mask: 0. */
TQ_API int tqMath_setBitMask(unsigned bit, unsigned char* mask, int byteCount, int operation) TQ_NOEXCEPT;
/* Bits lowBit..highBit of value moved down to bit 0 (shift counts modulo 32). */
TQ_API unsigned tqMath_extractBitsFromLong(unsigned value, int lowBit, int highBit) TQ_NOEXCEPT;
TQ_API unsigned char tqMath_extractBitsFromByte(unsigned char value, unsigned char lowBit,
                                                unsigned char highBit) TQ_NOEXCEPT;
/* Clears the mask and sets the bit v - offset for every number v of a list text such as
 * "1-3,5,7-9"; numbers outside the mask are ignored. Always 0. */
TQ_API int tqString_buildBitMaskFromStringA(unsigned char* mask, const char* text, int byteCount, int offset) TQ_NOEXCEPT;
TQ_API int tqString_buildBitMaskFromStringW(unsigned char* mask, const tqWChar* text, int byteCount, int offset) TQ_NOEXCEPT;
/* Writes the set bits (plus offset) as an ascending list text "1-3,5,7-9". The A form
 * writes without a bound; the W form writes at most 1024 characters. Always 0. */
TQ_API int tqString_buildStringFromBitMaskA(char* out, const unsigned char* mask, int byteCount, int offset) TQ_NOEXCEPT;
TQ_API int tqString_buildStringFromBitMaskW(tqWChar* out, const unsigned char* mask, int byteCount, int offset) TQ_NOEXCEPT;
/* 1 when value is among the first count elements of list, else 0. */
TQ_API int tqMath_isIntInList(const int* list, int count, int value) TQ_NOEXCEPT;
/* Appends a positive value to the heap array *listRef of *countRef elements; nothing
 * changes for value < 1 or when the array cannot grow. Always 0. */
TQ_API int tqMath_addIntToList(int** listRef, int value, int* countRef) TQ_NOEXCEPT;
/* Frees the array and sets *listRef to NULL (the count is the caller's). Always 0. */
TQ_API int tqMath_freeIntList(int** listRef) TQ_NOEXCEPT;

/* --- Numeric and double ranges ------------------------------------------------------ */

/* Validates and parses an integer range text ("5-10", "-5--3", "7"): 1 valid, 0 not.
 * Single numbers are valid when allowSingle is nonzero. lowInOut/highInOut (may be NULL)
 * give limits and receive the bounds; isRangeOut (may be NULL) is 1 for "a-b". */
TQ_API int tqString_isValidNumericRangeA(const char* text, int allowSingle, int* lowInOut, int* highInOut,
                                         int* isRangeOut) TQ_NOEXCEPT;
TQ_API int tqString_isValidNumericRangeW(const tqWChar* text, int allowSingle, int* lowInOut, int* highInOut,
                                         int* isRangeOut) TQ_NOEXCEPT;
/* 1 when the text, blanks and tabs aside, holds only digits, '.', ',' and '-' (at least
 * one); isRangeOut (may be NULL) becomes 1 when it has a ',' or '-'. */
TQ_API int tqStringAsList_isNumericRange(const char* text, int* isRangeOut) TQ_NOEXCEPT;
/* 1 when candidate lies in one of the list's numeric ranges (bounds to lowInOut and
 * highInOut) or matches one of its entries as a wildcard pattern at `level`. The character
 * sets are the tokenizer's (each may be NULL); entries are read within 512 characters. */
TQ_API int tqStringAsList_matchStringInAlphaNumericRangeA(const char* list, const char* candidate, int level,
                                                          const char* skipLeading, const char* trimTrailing,
                                                          const char* ignore, const char* separators,
                                                          const char* quotes, int* lowInOut, int* highInOut,
                                                          int* isRangeOut, int caseSensitive) TQ_NOEXCEPT;
TQ_API int tqStringAsList_matchStringInAlphaNumericRangeW(const tqWChar* list, const tqWChar* candidate, int level,
                                                          const tqWChar* skipLeading, const tqWChar* trimTrailing,
                                                          const tqWChar* ignore, const tqWChar* separators,
                                                          const tqWChar* quotes, int* lowInOut, int* highInOut,
                                                          int* isRangeOut, int caseSensitive) TQ_NOEXCEPT;
/* Rewrites an integer list in canonical form ("7,1-3,2" -> "1-3,7") keeping the numbers
 * from low to the end of a mask of (high + 7) / 8 bytes. Nothing for low < 0 or
 * low >= high. Always 0. */
TQ_API int tqStringFixed_listFormatNumericRangeA(char* list, int low, int high) TQ_NOEXCEPT;
TQ_API int tqStringFixed_listFormatNumericRangeW(tqWChar* list, int low, int high) TQ_NOEXCEPT;
/* Appends "low-high" (or "low" when low >= high), each "%.*lf" of precision trimmed to at
 * least one decimal, with ", " before it when the list is not empty. Always 0. */
TQ_API int tqStringFixed_listAddDoubleRangeA(char* list, double low, double high, int precision) TQ_NOEXCEPT;
/* Reads the first entry of a double range list into low <= high; returns the characters
 * consumed (entry and its ','), 0 at the end. */
TQ_API int tqStringFixed_listReadDoubleRangeA(const char* text, double* low, double* high) TQ_NOEXCEPT;
TQ_API int tqStringFixed_listReadDoubleRangeW(const tqWChar* text, double* low, double* high) TQ_NOEXCEPT;
/* Rewrites a double range list in canonical form: bounds in order, sorted by low, ranges
 * inside earlier ones dropped ("4-4.5, 1-5,2-3, 6,5-1", 1 -> "1.0-5.0, 6.0"). The buffer
 * must hold the result. Always 0. */
TQ_API int tqStringFixed_listFormatDoubleRangeA(char* list, int precision) TQ_NOEXCEPT;
TQ_API int tqStringFixed_listFormatDoubleRangeW(tqWChar* list, int precision) TQ_NOEXCEPT;
/* Position just after the first entry whose leading number is within tolerance (strictly)
 * of value, or -1 (also for NULL list or separators). W counts multibyte characters. */
TQ_API int tqStringAsList_findDoubleA(double value, const char* list, const char* separators, double tolerance) TQ_NOEXCEPT;
TQ_API int tqStringAsList_findDoubleW(double value, const tqWChar* list, const tqWChar* separators,
                                      double tolerance) TQ_NOEXCEPT;

/* --- Checksums, digests and string encoding ----------------------------------------- */

/* CRC-32 (IEEE 802.3) of the buffer continuing previousCrc (0 to start); 0 for a NULL buffer. */
TQ_API unsigned tqMath_calcCRC32(unsigned previousCrc, const void* buffer, unsigned length) TQ_NOEXCEPT;
/* SHA-1 of data, padded on its own, from the standard initial value (reset nonzero) or
 * from the five words in digest (reset 0). digest receives H0..H4. Not thread-safe. 0. */
TQ_API int tqMath_calcSHA1(unsigned digest[5], const void* data, unsigned length, char reset) TQ_NOEXCEPT;
/* Multiplicative 32-bit code of a text; 0 for NULL or empty text. */
TQ_API int tqMath_encodeStringA(const char* text) TQ_NOEXCEPT;
TQ_API int tqMath_encodeStringW(const tqWChar* text) TQ_NOEXCEPT;

/* --- Time strings ------------------------------------------------------------------- */

/* Writes "%B %Y" of month (1-12) and year, e.g. "March 2010" (out: 256 characters). 0. */
TQ_API int tqMisc_buildTimeString(char* out, int month, int year) TQ_NOEXCEPT;
/* Current local time as "Thu Mar 04 17:06:09 2010" in a static buffer that every call
 * overwrites. Not thread-safe. */
TQ_API const char* tqMisc_getAsciiTimeA(void) TQ_NOEXCEPT;
TQ_API const tqWChar* tqMisc_getAsciiTimeW(void) TQ_NOEXCEPT;

/* ======================================================================== */
/* Database access over ODBC                                                */
/* ======================================================================== */
/* @section database */
/* One process-wide ODBC connection (unixODBC). Functions return a status: 0 success,
 * -1 an ODBC failure (driver diagnostics recorded under -1), another negative ODBC
 * return code, 1001..1028 a condition of the connection layer (1014 / 1015: driver
 * below ODBC API level 1 / no SQL conformance), or TQDB_GENERIC_ERROR. The status is
 * also the key of its recorded text (tqDBWin_getErrorTextA/W). Not thread-safe. */
#define TQDB_GENERIC_ERROR 32768

/* One row with its column description. The host owns the record (zero it before first
 * use); the library allocates what it points to and frees it with
 * tqDBWin_freeSQLDADescriptorA/W. `names` and `values` hold char texts when filled by an
 * A function, tqWChar texts when filled by a W function; a NULL value slot means that
 * reading the value failed (an SQL NULL reads as empty text). */
typedef struct SQLDADescriptor {
    int16_t count;      /* number of columns; 0 in an empty descriptor */
    void** names;       /* column names */
    void** values;      /* values as text */
    int16_t* types;     /* ODBC SQL type codes (SQL_CHAR 1, SQL_VARCHAR 12, ...) */
    uint16_t* reserved; /* always 0 */
    int16_t* scales;    /* decimal digits */
    int16_t* sizes;     /* column size, low 16 bits */
    int16_t* nullable;  /* 0 no nulls, 1 nullable, 2 unknown */
} SQLDADescriptor;

/* Connects with an ODBC connect string (DSN=... or DSN-less DRIVER={...};...), closing an
 * open connection first. 0 connected; 32768 when the driver's completion was cancelled;
 * else the failure's status. */
TQ_API int tqDBWin_attachDatabaseA(const char* connect) TQ_NOEXCEPT;
TQ_API int tqDBWin_attachDatabaseW(const tqWChar* connect) TQ_NOEXCEPT;

/* 1 while the connection is open, else 0. */
TQ_API int tqDBWin_isConnected(void) TQ_NOEXCEPT;

/* "ODBC;" + the connect string completed by the driver (the caller's string after a
 * failed attach, "" before the first). Owned by the library, valid until the next attach. */
TQ_API const char* tqDBWin_getConnectString(void) TQ_NOEXCEPT;

/* Closes the cursors' result sets and the connection. The result carries no meaning. */
TQ_API int tqDBWin_disconnectDatabase(void) TQ_NOEXCEPT;

/* Executes one SQL statement, reading and discarding any rows. 0 or the failure's status. */
TQ_API int tqDBWin_processSQLA(const char* sql) TQ_NOEXCEPT;
TQ_API int tqDBWin_processSQLW(const tqWChar* sql) TQ_NOEXCEPT;

/* Copies the text recorded under `status` whole (unbounded) into `dest`: 1, or 0 when
 * none is recorded (dest untouched). Recorded ODBC texts: the messages without their
 * bracketed prefixes, one a line, then one "State:...,Native:...,Origin:..." line each. */
TQ_API int tqDBWin_getErrorTextA(char* dest, int status) TQ_NOEXCEPT;
TQ_API int tqDBWin_getErrorTextW(tqWChar* dest, int status) TQ_NOEXCEPT;

/* A message for the user: heading (may be NULL), the statement (may be NULL) and the
 * recorded text of `status` (at most 511 characters of it). The W destination must hold
 * 512 characters; the A destination the whole message. Always 1. */
TQ_API int tqDBWin_getSQLErrorTextA(char* dest, const char* heading, const char* sql, int status) TQ_NOEXCEPT;
TQ_API int tqDBWin_getSQLErrorTextW(tqWChar* dest, const tqWChar* heading, const tqWChar* sql, int status) TQ_NOEXCEPT;

/* Copies the last attach string and the completed connect string (either destination may
 * be NULL). 0 when both are empty (nothing written), else 1; works after a disconnect. */
TQ_API int tqDBWin_getActiveDatabaseA(char* attach, char* completed) TQ_NOEXCEPT;
TQ_API int tqDBWin_getActiveDatabaseW(tqWChar* attach, tqWChar* completed) TQ_NOEXCEPT;

/* Runs the ODBC data-source administrator, with `fileDsnDir` as the file-DSN directory
 * for its duration (key DefaultDSNDir of [ODBC File DSN] in the user's ODBC ini) and
 * `workDir` as the current directory. Returns the last ini step's status (0, 2 missing). */
TQ_API int tqDBWin_openODBCAdminA(const char* fileDsnDir, const char* workDir, void* window) TQ_NOEXCEPT;
TQ_API int tqDBWin_openODBCAdminW(const tqWChar* fileDsnDir, const tqWChar* workDir, void* window) TQ_NOEXCEPT;

/* Writes `source` with line feeds removed and every ' doubled into `dest` (room for twice
 * the length + 1). Returns 32768 in every case. */
TQ_API int tqDBWin_escapeStringA(char* dest, const char* source) TQ_NOEXCEPT;
TQ_API int tqDBWin_escapeStringW(tqWChar* dest, const tqWChar* source) TQ_NOEXCEPT;

/* Lists the names of all catalog entries (tables, views, ...) into a new array of
 * `*count` heap texts: 1, or 0 when not connected or on failure (outputs untouched). */
TQ_API int tqDBWin_describeDatabaseA(char*** names, int* count) TQ_NOEXCEPT;
TQ_API int tqDBWin_describeDatabaseW(tqWChar*** names, int* count) TQ_NOEXCEPT;

/* Frees an array from tqDBWin_describeDatabaseA/W: its first `count` entries, then itself. */
TQ_API void tqDBWin_freeStringsArrayA(char** names, int count) TQ_NOEXCEPT;
TQ_API void tqDBWin_freeStringsArrayW(tqWChar** names, int count) TQ_NOEXCEPT;

/* 1 when the catalog holds an entry of that name (letter case ignored), else 0. */
TQ_API int tqDBWin_findTableA(const char* table) TQ_NOEXCEPT;
TQ_API int tqDBWin_findTableW(const tqWChar* table) TQ_NOEXCEPT;

/* Fills `desc` (zeroed first) with the columns of `table` and its first row's values (all
 * NULL for an empty table). Status 0; release with tqDBWin_freeSQLDADescriptorA/W. */
TQ_API int tqDBWin_describeTableA(SQLDADescriptor* desc, const char* table) TQ_NOEXCEPT;
TQ_API int tqDBWin_describeTableW(SQLDADescriptor* desc, const tqWChar* table) TQ_NOEXCEPT;

/* Frees what a descriptor points to and zeroes it; NULL and empty descriptors are fine. */
TQ_API void tqDBWin_freeSQLDADescriptorA(SQLDADescriptor* desc) TQ_NOEXCEPT;
TQ_API void tqDBWin_freeSQLDADescriptorW(SQLDADescriptor* desc) TQ_NOEXCEPT;

/* Opens a cursor on a SELECT and stores its identifier (from 1; the most recently closed
 * one is reused first). 1, or 0 on failure or when 3 cursors are open (id untouched). */
TQ_API int tqDBWin_openCursorWithIDA(uint16_t* id, const char* select) TQ_NOEXCEPT;
TQ_API int tqDBWin_openCursorWithIDW(uint16_t* id, const tqWChar* select) TQ_NOEXCEPT;

/* Delivers the cursor's next row into `desc` (a zeroed one, or the one passed for its
 * previous row, which is released first): 1, or 0 for an unknown id, at the end, or
 * after a disconnect closed the cursor's result set. */
TQ_API int tqDBWin_fetchRowByIDA(SQLDADescriptor* desc, uint16_t id) TQ_NOEXCEPT;
TQ_API int tqDBWin_fetchRowByIDW(SQLDADescriptor* desc, uint16_t id) TQ_NOEXCEPT;

/* Closes a cursor: 1, or 0 when no cursor has that identifier. */
TQ_API int tqDBWin_closeCursorWithID(uint16_t id) TQ_NOEXCEPT;

/* ------------------------------------------------------------------------ */
/* Whole tables                                                             */
/* ------------------------------------------------------------------------ */
/* @section database-tables */
/* Message buffers (`msg`, may be NULL) receive a tqDBWin_getSQLErrorTextW message of at
 * most 511 characters: give 512 tqWChar (768 char for tqDBWin_copyTable). The read and
 * the two copies count rows through a cursor: they need one free cursor slot of the three
 * and never hold two cursors at once. Column types come from the driver's description:
 * see docs/database.md ("Whole tables") for what SQLite and PostgreSQL report. */

/* Reads `table` into a new array of `*count` row descriptors (wide texts, the column
 * description repeated in every row). An empty table gives an array of one descriptor
 * holding only the description, with *count 0; a missing table gives 0 with *count 0 and
 * *rows untouched. A row that cannot be fetched stops the read with status 0 and a message
 * (the later rows stay zeroed): check `msg`, not only the status. With no free cursor the
 * count reads as 0 (empty-table result). NULL arguments: 0, nothing done. */
TQ_API int tqDBWin_readEntireTable(const tqWChar* table, SQLDADescriptor** rows, int* count, tqWChar* msg) TQ_NOEXCEPT;

/* Releases an array from tqDBWin_readEntireTable: its first `count` descriptors (with
 * `count` 0 the one description descriptor), then the block. *rows is not cleared.
 * 0, or 32768 when `rows` is NULL. */
TQ_API int tqDBWin_freeEntireTable(SQLDADescriptor** rows, int count) TQ_NOEXCEPT;

/* Inserts `count` rows into `table` (created from rows[0]'s description when missing), one
 * autocommitted "INSERT INTO t (cols) VALUES (vals);" per row. Empty and NULL values are
 * left out (the column gets its default); only CHAR (1) and VARCHAR (12) values are quoted
 * (' doubled, line feeds dropped), all others are written bare (so dates and times need a
 * CHAR/VARCHAR type code to be accepted). A row with no value is skipped. Stops at the
 * first failing insert (earlier rows stay). Status; 0 when `table` or `rows` is NULL. */
TQ_API int tqDBWin_writeEntireTable(const tqWChar* table, const SQLDADescriptor* rows, int count, tqWChar* msg) TQ_NOEXCEPT;

/* Within the attached data source: creates `dest` like `source` when missing, then adds
 * all of source's rows with "INSERT INTO dest SELECT * FROM source". On failure `msg`
 * gets the heading and the recorded text (at most 255 bytes of it). Status; 32768 for a
 * NULL name. */
TQ_API int tqDBWin_copyTable(const char* dest, const char* source, char* msg) TQ_NOEXCEPT;

/* Copies a table between data sources: attaches the source, reads the table, attaches the
 * destination, drops `destTable` there if present and writes the rows (creating it anew).
 * Stays attached to the destination. A missing source table leaves no destination table
 * (status 0). Status; 32768 when `destTable` is NULL. */
TQ_API int tqDBWin_copyTableExtW(const tqWChar* sourceConnect, const tqWChar* sourceTable,
                                 const tqWChar* destConnect, const tqWChar* destTable, tqWChar* msg) TQ_NOEXCEPT;

/* Creates `table` with the columns of `like` (through its description). The A form takes
 * names of up to 511 characters; its `msg` (512 char) is written only on failure. Status. */
TQ_API int tqDBWin_createTableW(const tqWChar* table, const tqWChar* like, tqWChar* msg) TQ_NOEXCEPT;
TQ_API int tqDBWin_createTableA(const char* table, const char* like, char* msg) TQ_NOEXCEPT;

/* Runs "CREATE TABLE t (col TYPE,col TYPE NOT NULL...)" from a descriptor's column
 * description: CHAR(n), VARCHAR(n), DECIMAL(p,s), NUMERIC(p,s), SMALLINT, INTEGER,
 * FLOAT(n), REAL, DOUBLE PRECISION, DATE, TIME(n), TIMESTAMP, SQL_BINARY(n),
 * SQL_VARBINARY(n); columns of any other type code are left out. Status; 32768 when
 * `table` or `desc` is NULL. */
TQ_API int tqDBWin_createTableFromSqlData(const tqWChar* table, const SQLDADescriptor* desc, tqWChar* msg) TQ_NOEXCEPT;

/* Runs "DROP TABLE t;". Status; 32768 when `table` is NULL. */
TQ_API int tqDBWin_dropTableW(const tqWChar* table, tqWChar* msg) TQ_NOEXCEPT;

/* --- Column access ------------------------------------------------------------------ */
/* Reads a filled SQLDADescriptor by column name: an 8-bit descriptor (filled by an A
 * function) for the functions without suffix and the A forms, a wide one for the W forms.
 * Names match with letter case ignored; when a name occurs twice the last column wins.
 * A NULL descriptor or name gives the nothing-done result stated. Nothing here touches
 * the database except tqDBUtils_getNumTableRowsA/W. */

/* 1 when some column has that name, else 0. */
TQ_API int tqDBUtils_findSqlColumnName(const SQLDADescriptor* desc, const char* name) TQ_NOEXCEPT;

/* The column's value text inside the descriptor (not a copy; valid until the descriptor is
 * released or refilled), or NULL when no column matches or its value slot is NULL. */
TQ_API char* tqDBUtils_getSqlColumnDataPA(const SQLDADescriptor* desc, const char* name) TQ_NOEXCEPT;
TQ_API tqWChar* tqDBUtils_getSqlColumnDataPW(const SQLDADescriptor* desc, const tqWChar* name) TQ_NOEXCEPT;

/* Copies the value whole (unbounded) into `dest`: 0. 32768 when the column or its value is
 * missing (a non-NULL `dest` then receives the empty text) or `dest` is NULL. */
TQ_API int tqDBUtils_getSqlColumnStringA(const SQLDADescriptor* desc, const char* name, char* dest) TQ_NOEXCEPT;
TQ_API int tqDBUtils_getSqlColumnStringW(const SQLDADescriptor* desc, const tqWChar* name,
                                         tqWChar* dest) TQ_NOEXCEPT;

/* Copies a non-empty value whole (unbounded) into `dest`: 0. 32768, `dest` untouched, when
 * `dest` is NULL, the column or value is missing, or the value is empty. */
TQ_API int tqDBUtils_copySqlColumnString(const SQLDADescriptor* desc, const char* name, char* dest) TQ_NOEXCEPT;

/* The value read as strtol reads it (blanks and a sign first, digits up to the first other
 * character; "12.7" gives 12, "" 0), held to the int range. 0 when the column or value is
 * missing. */
TQ_API int tqDBUtils_getSqlColumnInt(const SQLDADescriptor* desc, const char* name) TQ_NOEXCEPT;

/* Stores the integer reading of a non-empty value in *dest: 0. 32768, *dest untouched,
 * when dest is NULL or the column or value is missing or empty. */
TQ_API int tqDBUtils_copySqlColumnInt(const SQLDADescriptor* desc, const char* name, int* dest) TQ_NOEXCEPT;

/* The value read as strtod reads it (current locale's decimal point); 0.0 when missing. */
TQ_API double tqDBUtils_getSqlColumnDouble(const SQLDADescriptor* desc, const char* name) TQ_NOEXCEPT;

/* As tqDBUtils_copySqlColumnInt, with the strtod reading. */
TQ_API int tqDBUtils_copySqlColumnDouble(const SQLDADescriptor* desc, const char* name, double* dest) TQ_NOEXCEPT;

/* The column names joined by ", " ('id, label, amount') as a new heap text; NULL for a NULL
 * descriptor or one without columns. Release with tqDBUtils_freeList. */
TQ_API char* tqDBUtils_getColumnNamesList(const SQLDADescriptor* desc) TQ_NOEXCEPT;

/* The values joined by ", " as a new heap text: SQL_CHAR (1) values in '' (quotes inside
 * not doubled; a NULL value gives ''), every other type bare, with "0" for an empty or NULL
 * value: 'ab', 0, x y. NULL for a NULL descriptor or one without columns. Release with
 * tqDBUtils_freeList. */
TQ_API char* tqDBUtils_getColumnValuesListA(const SQLDADescriptor* desc) TQ_NOEXCEPT;
TQ_API tqWChar* tqDBUtils_getColumnValuesListW(const SQLDADescriptor* desc) TQ_NOEXCEPT;

/* Frees a list: `listAddress` is the address of the caller's list pointer (char** or
 * tqWChar**), which is set to NULL. 0; 32768 when the address or the pointer is NULL. */
TQ_API int tqDBUtils_freeList(void* listAddress) TQ_NOEXCEPT;

/* Makes a table name safe in place (at most 255 characters): each of . * & % ( ) { } ! ^
 * - + = / \ becomes "#", each blank "_", and a result longer than 32 characters is cut to
 * 31 (exactly 32 stay). Always 0. */
TQ_API int tqDBUtils_convertTableNameA(char* name) TQ_NOEXCEPT;
TQ_API int tqDBUtils_convertTableNameW(tqWChar* name) TQ_NOEXCEPT;

/* Writes `source` with line feeds removed and every ' doubled into `dest` (room for twice
 * the length + 1; may be the source's own buffer): 0, also when memory runs out (dest
 * then untouched). 32768 when either pointer is NULL. */
TQ_API int tqDBUtils_convertStringA(char* dest, const char* source) TQ_NOEXCEPT;
TQ_API int tqDBUtils_convertStringW(tqWChar* dest, const tqWChar* source) TQ_NOEXCEPT;

/* Rows of `table` by "SELECT COUNT (*) FROM <table>;" through a cursor (one of the three
 * slots for the call): the count, or -1 when counting failed (no free slot, no such table,
 * NULL name). */
TQ_API int tqDBUtils_getNumTableRowsA(const char* table) TQ_NOEXCEPT;
TQ_API int tqDBUtils_getNumTableRowsW(const tqWChar* table) TQ_NOEXCEPT;

/* ======================================================================== */
/* Plug-in server client                                                    */
/* ======================================================================== */
/* @section pluginclient */
/* A thin client for a plug-in server over TCP: open with an init sequence, send buffer
 * ('B') and file ('F') segments, read a sized reply into memory or a file, close. Traces
 * go to /tmp/debug_hubc.log once that file exists. Every receive waits at most 20 s. */

/* Longest init sequence, and the size of the serverReply buffer of the open. */
#define TQ_SERVER_INIT_MAX_CHARS 10
#define TQ_SERVER_REPLY_BYTES 6

/* The connection handle: allocated by the open, freed by the close; opaque to the host. */
typedef struct socketData {
    int32_t socket;            /* the connected TCP socket */
    int32_t maxReceiveBufSize; /* SO_RCVBUF after connecting: largest piece of a reply read at once */
    int32_t maxSendBufSize;    /* SO_SNDBUF after connecting: data goes out in chunks of this size */
} socketData;

/* Connects to host:port (dotted IPv4 or a name; decimal port text), reads the banner and
 * sends '%', initSequence (at most 10 characters) and a zero byte. serverReply (NULL or 6
 * bytes) gets up to 5 characters after the server's "OK". 0 success; 3 no connection (the
 * host's variable untouched); -1 init not sent, too long or rejected (*connection is set
 * and must still be closed). */
TQ_API int tqServer_openConnectionToPlugin(socketData** connection, const char* host, const char* port,
                                           const char* initSequence, char* serverReply) TQ_NOEXCEPT;

/* Sends 'X', shuts the connection down (the drain waits at most 5 s for the server to
 * close) and frees the handle. NULL is ignored. */
TQ_API void tqServer_closeConnectionToPlugin(socketData* connection) TQ_NOEXCEPT;

/* Sends a 'B' segment: 5-byte header then the data in maxSendBufSize chunks. 0, or -1
 * when the header cannot be sent (also for NULL arguments or a negative size). */
TQ_API int tqServer_sendBufferToPlugin(socketData* connection, const void* buffer, int size) TQ_NOEXCEPT;

/* Streams a regular file as an 'F' segment through one chunk buffer. 0, or -1 when the
 * file cannot be examined or opened (or exceeds 2 GiB - 1), or the header cannot be sent. */
TQ_API int tqServer_sendFileToPlugin(socketData* connection, const char* path) TQ_NOEXCEPT;

/* Reads one sized reply into a new block (*returnBuffer, free with tqMisc_freeBuffer) and
 * its size (*returnBufferSize). 0; -1 (outputs untouched) when fewer than 4 bytes come
 * first, the size is negative, or the connection ends before the announced size. */
TQ_API int tqServer_getDataFromPlugin(socketData* connection, void** returnBuffer,
                                      int* returnBufferSize) TQ_NOEXCEPT;

/* Reads one sized reply into the file `path` (replaced). 0, also when the file cannot be
 * created (the reply is consumed); -1 when fewer than 4 bytes come first, the size is
 * negative, the connection ends early or writing fails (a partial file is removed). */
TQ_API int tqServer_getFileFromPlugin(socketData* connection, const char* path) TQ_NOEXCEPT;

/* ======================================================================== */
/* Files and host system                                                    */
/* ======================================================================== */
/* @section host */

/* ======================================================================== */
/* Paths, profiles and host information                                     */
/* ======================================================================== */
/* @section paths */
/* Paths are 8-bit texts whose components are separated by '\' or '/'; "C:\", "\\server\share"
 * and "/" are roots. Buffers without a size argument hold at least 260 characters
 * (TQ_PATH_CHARS). Results that are a "status"
 * are 0 or an errno value (ENOENT is 2 as on the platform the interface came from). */

#define TQ_PATH_CHARS 260

/* The user's application-data folder ($XDG_DATA_HOME, else $HOME/.local/share), the
 * shared one (first entry of $XDG_DATA_DIRS, else /usr/local/share) and the program
 * folder (/opt), without a trailing separator. 0; or (int)0x80004005 when it cannot be
 * determined or is 260 characters or longer, (int)0x80004003 for a NULL path: then
 * `path` is not written. */
TQ_API int oxWinAPI_fileGetUserAppDataPath(char* path) TQ_NOEXCEPT;
TQ_API int oxWinAPI_fileGetAllUsersAppDataPath(char* path) TQ_NOEXCEPT;
TQ_API int oxWinAPI_fileGetProgramFilesPath(char* path) TQ_NOEXCEPT;

/* `path` without its last component: C:\dir\f.txt -> C:\dir, C:\f.txt -> C:\, f.txt -> "";
 * a root stays as it is. With addBackslash and something removed, the path's separator
 * is appended unless it ends in one. `parent` may be `path`; a parent of 260 characters
 * or more gives "". Always 0 (NULL parent or path: nothing written). */
TQ_API int oxWinAPI_getParentDir(char* parent, const char* path, int addBackslash) TQ_NOEXCEPT;

/* Creates `path` and every missing directory above it. 0 when the directory exists at
 * the end (and for NULL); -1 when one could not be made (e.g. a parent is a file). */
TQ_API int oxWinAPI_makeDirectory(const char* path) TQ_NOEXCEPT;

/* Creation (birth, else change) and last-write times, in seconds since 1970 UTC clamped
 * to 32 bits, of the first file in sorted order that `path` matches ('*' and '?' are
 * wildcards, "." and ".." never count). Outputs may be NULL; nothing matching leaves them
 * as they were. Always 0. */
TQ_API int oxWinAPI_getFileTimes(const char* path, int* created, int* modified) TQ_NOEXCEPT;

/* The host name up to its first dot into `name` (256 characters). Status; on failure
 * `name` gets "". NULL name: 0, nothing done. The second argument is not used. */
TQ_API int oxWinAPI_getComputerNameA(char* name, int unused) TQ_NOEXCEPT;

/* Writes "TEST" and returns 0, whatever the machine; 32768 for a NULL name. */
TQ_API int tqWin32_getComputerName(char* name) TQ_NOEXCEPT;

/* The short form of an existing path is the path itself: copied, status 0. A missing
 * path (ENOENT) or one of 260 characters or more (ENAMETOOLONG) writes "". 32768 when
 * either pointer is NULL. */
TQ_API int tqWin32_getShortPathName(const char* longPath, char* shortPath) TQ_NOEXCEPT;

/* Quotes a path that holds blanks: whole (one pair of double quotes around the path with
 * its own double quotes removed) or, with perComponent, each component with a blank in
 * its own pair (a trailing separator is dropped; components over 259 characters are cut
 * into pieces). `quoted` may be `path` and holds the longer result. NULL or empty path:
 * nothing written. Always 0. */
TQ_API int tqFile_quotePathA(char* quoted, const char* path, int perComponent) TQ_NOEXCEPT;

/* Starts `file` without a shell and without waiting: an executable runs with
 * `parameters` (split at blanks, double quotes group); any other existing file goes to
 * xdg-open. show 0: the program's output goes to /dev/null. `owner` is not used.
 * Status (0 also for a NULL file); on failure `errorText` (NULL or 256 characters) gets
 * the error's text. */
TQ_API int tqFile_launchApplication(const char* file, const char* parameters, int show, void* owner,
                                    char* errorText) TQ_NOEXCEPT;

/* The value of `key` in `section` of the profile file (names without regard to case,
 * blanks trimmed, one pair of quotes dropped), else `defaultValue` without its trailing
 * blanks, cut to size - 1 characters; returns the characters copied. NULL key: the
 * section's key names, NULL section: the section names, each NUL-terminated with one
 * more NUL at the end; the result counts all but that last NUL, and a list that does not
 * fit is cut to size - 2 characters, ends in two NULs and gives size - 2. A missing file
 * has no sections. 0 (nothing written) for NULL value or defaultValue or size 0. */
TQ_API int oxProfile_getProfileString(const char* section, const char* key, const char* defaultValue,
                                      char* value, unsigned size, const char* fileName) TQ_NOEXCEPT;

/* Sets `key` in `section` to `value`, creating the file or section as needed and keeping
 * every other byte of the file; the file is replaced atomically (mode kept). 0, or a
 * status: EINVAL for a NULL section or file, for texts a profile line cannot hold (line
 * ends; ']' in a section, '=' in a key) and for a device or pipe; EACCES for a read-only
 * file or folder; ENOENT for a missing folder. The file is then unchanged. 0 without
 * writing for a NULL key or value: nothing is ever deleted. */
TQ_API int oxProfile_writeProfileString(const char* section, const char* key, const char* value,
                                        const char* fileName) TQ_NOEXCEPT;

/* ======================================================================== */
/* Users                                                                    */
/* ======================================================================== */
/* @section users */
/* The ordinary user accounts of this machine (UID_MIN..UID_MAX of /etc/login.defs) from
 * the system user database. `server` NULL, "", "localhost" or this machine's host name
 * (with or without a leading "\\") is this machine; any other answers 53. An unknown user
 * answers 2221. */

/* Two parallel lists (login names, full names: the first GECOS field, "" when none) of
 * *count entries in database order, NULL when there are none. Each output may be NULL;
 * all are reset (NULL, 0) first, also when the call fails. Status: 0, 53, or 8 when the
 * heap ran out (the lists then hold *count complete entries). Release with
 * oxDomain_freeAllUsers. */
TQ_API int oxDomain_getAllUsers(const char* server, char*** userNames, char*** fullNames, int* count) TQ_NOEXCEPT;

/* Frees `count` entries of each list that is not NULL, then the lists. */
TQ_API void oxDomain_freeAllUsers(char** userNames, char** fullNames, int count) TQ_NOEXCEPT;

/* The full name of `userName` (NULL: the logged-on user, whose login name is written
 * first and stays when the account has no full name) into `fullName` (at most 255
 * characters and the terminator). An empty full name leaves the buffer as it was.
 * Status: 0, 53, 2221 (buffer untouched when a userName was given); NULL fullName: 0. */
TQ_API int oxDomain_getUserFullName(const char* server, char* fullName, const char* userName) TQ_NOEXCEPT;

/* ======================================================================== */
/* Stream files                                                             */
/* ======================================================================== */
/* stdio-shaped file streams over a library-owned buffer. A stream opened without "b" is a
 * text stream (CR LF in the file is LF to the host, and LF is written as CR LF); positions
 * count bytes of the file. Two sticky flags: end-of-file (a read reached the end) and
 * failed (a short read, a read at the end, a line that did not fit, a write or seek that
 * could not be made, or any read or write tried while a flag was set). While either flag
 * is set reads and writes do nothing; while failed is set seeks do nothing and
 * oxWinAPI_ftell gives -1. Nothing clears the flags: close and reopen. */

/* The opaque stream handle. */
typedef struct oxStream oxStream;

/* Opens `path`. Mode rules, first match wins: containing "r+" = read/write an existing
 * file, "w+" = read/write a created or emptied file, "a+" = read and append (created if
 * missing); these three are text streams even with "b". Otherwise the letters add up: r
 * read, w write (created or emptied; "rw" needs an existing file and keeps it), a append
 * (created if missing, never emptied), b binary; other characters, "+" included, are
 * ignored ("rb+" is binary read-only); no r, w or a opens nothing. On success *stream gets
 * the handle; on failure (also a NULL path or mode, a folder, a pipe) *stream is left as
 * it was, so set it to NULL first. Always 0. */
TQ_API int oxWinAPI_fopen(oxStream** stream, const char* path, const char* mode) TQ_NOEXCEPT;

/* Flushes, closes and frees the stream and sets *stream to NULL. NULL or a NULL *stream
 * does nothing. Always 0. */
TQ_API int oxWinAPI_fclose(oxStream** stream) TQ_NOEXCEPT;

/* Reads size * count bytes: the number of bytes read (not items). Fewer than asked sets
 * end-of-file and failed (failed alone on a read error or a request over INT_MAX bytes).
 * 0 for a NULL buffer or stream. */
TQ_API int oxWinAPI_fread(void* buffer, size_t size, size_t count, oxStream* stream) TQ_NOEXCEPT;

/* Writes size * count bytes: the position after the write minus the position before, so
 * on a text stream each LF counts 2 and on an append stream the jump to the end counts
 * too. 0 on a flagged stream (which becomes failed); a write that cannot be made (also on
 * a stream not open for writing, or of more than INT_MAX bytes) fails the stream and gives
 * -1 minus the old position (INT_MIN when that is below INT_MIN, past 2 GiB). 0 for a
 * NULL buffer or stream. */
TQ_API int oxWinAPI_fwrite(const void* buffer, size_t size, size_t count, oxStream* stream) TQ_NOEXCEPT;

/* printf-style formatted write of the whole text (no length limit, no line end added).
 * The int argument is not used. Always 0; NULL stream or format does nothing. */
TQ_API int oxWinAPI_fprintfn(oxStream* stream, int unused, const char* format, ...) TQ_NOEXCEPT TQ_PRINTF(3, 4);
TQ_API int oxWinAPI_vfprintfn(oxStream* stream, int unused, const char* format, va_list args) TQ_NOEXCEPT;

/* Moves the position by offset from the start (origin 0), the current position (1) or the
 * end (2); other origins do nothing. A target before the start (or past the 64-bit
 * range) fails the stream; targets past 2 GiB are reached in full. Does not
 * clear end-of-file, and does nothing on a failed stream. Always 0. */
TQ_API int oxWinAPI_fseek(oxStream* stream, long offset, int origin) TQ_NOEXCEPT;

/* The position in bytes; -1 on a failed stream and for positions above INT_MAX (the
 * stream keeps working there); 0 for NULL. */
TQ_API int oxWinAPI_ftell(oxStream* stream) TQ_NOEXCEPT;

/* 1 when the end-of-file flag is set, else 0 (also for NULL). */
TQ_API int oxWinAPI_feof(oxStream* stream) TQ_NOEXCEPT;

/* Writes the buffered output to the file. Always 0; NULL does nothing. */
TQ_API int oxWinAPI_fflush(oxStream* stream) TQ_NOEXCEPT;

/* The next byte (0..255; CR LF is one LF on a text stream); -1 at the end (sets
 * end-of-file and failed) or on a flagged stream; 0 for a NULL stream. */
TQ_API int oxWinAPI_fgetc(oxStream* stream) TQ_NOEXCEPT;

/* Reads one line into buffer (size >= 1), without its LF. Before each character, in this
 * order: at the end of the file stop (end-of-file; failed too if nothing was taken); a LF
 * is taken and ends the line; when size - 1 characters are stored the stream fails and
 * the next character stays. A zero always follows. The buffer when anything was taken
 * (an empty line gives ""), else NULL. A NULL stream returns the buffer untouched; a NULL
 * buffer or size < 1 gives NULL. */
TQ_API char* oxWinAPI_fgets(char* buffer, int size, oxStream* stream) TQ_NOEXCEPT;

/* As oxWinAPI_fgets with room for size - 2 characters (size >= 2). With keepNewline, and
 * unless the read reached end-of-file, a LF is put after what was taken: the line keeps
 * its LF, and a line that did not fit gets a LF in place of its last stored character. */
TQ_API char* oxWinAPI_readString(char* buffer, int size, oxStream* stream, int keepNewline) TQ_NOEXCEPT;

/* ======================================================================== */
/* Colour tables                                                            */
/* ======================================================================== */

/* Bytes of the host's array: 256 entries of red, green, blue. */
#define TQ_COLOUR_TABLE_BYTES 768

/* Reads the colour table file `path` (a bare run of red, green, blue bytes) into rgb
 * (768 bytes, the same layout): the file's first 768 bytes land at their own places; a
 * short file fills only the bytes it has (a partial entry too) and the rest of the array
 * keeps the host's values. Nothing happens for NULL arguments, a missing or unreadable
 * file, anything but a regular file, or a file that a writer holds locked. Always 0: to
 * learn how much arrived, prefill the array. */
TQ_API int msapiFile_readColourTableToRGBArray(unsigned char* rgb, const char* path) TQ_NOEXCEPT;

/* ======================================================================== */
/* Design-file properties                                                   */
/* ======================================================================== */
/* @section designprops */
/* Compound documents (structured-storage files) read with the library's own reader,
 * read-only, never changed; every byte of the file is treated as untrusted. */

/* 1 when fileName (at most 255 characters; longer names are cut) is a compound document
 * whose root storage holds a storage named exactly "Dgn-Md" (a stream of that name, or
 * another case, does not count); 0 otherwise, also for NULL and unreadable files. */
TQ_API int oxFile_isV8Dgn(const char* fileName) TQ_NOEXCEPT;

/* Writes the text of the document property propertyName (exact, case-sensitive) of the
 * compound document fileName (at most 1023 characters) into value, looking in the
 * summary, then the document summary, then the user-defined set. A name of the two fixed
 * tables is found, possibly empty, as soon as its set exists. 1 when found; 0 otherwise
 * (also for a NULL argument), with value empty whenever it is given. value has no size: it must
 * hold the longest text asked for (strings are copied whole; 16-bit texts are cut at 1023
 * bytes). Open failures print "File not found.", "Not a compound file." or
 * "StgOpenStorage() failed w/error %08lx" (no line break) on standard output, a failed read
 * of a fixed set "IPropertyStg::ReadMultiple() failed w/error %08lx\n". Sets the
 * process-wide locale (LC_ALL) to "C", after reading the file name in the user's locale. */
TQ_API int histo_getV8Prop(const char* fileName, const char* propertyName, char* value) TQ_NOEXCEPT;

TQ_EXTERN_C_END

#endif /* ORVANE_H */
