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

TQ_EXTERN_C_END

#endif /* ORVANE_H */
