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
 * 0 when either is NULL. */
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

/* ======================================================================== */
/* Wildcard matching                                                        */
/* ======================================================================== */
/* @section strings-wildcards */

/* ======================================================================== */
/* Separator-delimited string lists                                         */
/* ======================================================================== */
/* @section strings-lists */

/* ======================================================================== */
/* Containers and numerics                                                  */
/* ======================================================================== */
/* @section numerics */

/* ======================================================================== */
/* Database access over ODBC                                                */
/* ======================================================================== */
/* @section database */

/* ======================================================================== */
/* Plug-in server client                                                    */
/* ======================================================================== */
/* @section pluginclient */

/* ======================================================================== */
/* Files and host system                                                    */
/* ======================================================================== */
/* @section host */

TQ_EXTERN_C_END

#endif /* ORVANE_H */
