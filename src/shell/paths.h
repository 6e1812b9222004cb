// Bounded text and path helpers. Every one of them refuses (returns false and
// leaves a terminated, possibly shortened result) instead of overrunning.
#ifndef ZELTRA_SHELL_PATHS_H
#define ZELTRA_SHELL_PATHS_H

#include <stdarg.h>
#include <stddef.h>

// Copies src into dst of dstSize characters. False when src had to be cut.
bool CopyText(char *dst, size_t dstSize, const char *src);

// Appends src to the text in dst. False when the result had to be cut.
bool AppendText(char *dst, size_t dstSize, const char *src);

// printf-style formatting into dst. False when the result had to be cut.
// Knows what the program uses, as printf does it: %s %c %d %i %u %x %X %%,
// the flags "-" and "0", a width and a precision of at most five digits
// (or "*") and the sizes l, ll and z (not on %s and %c). Anything else ends
// the text where it stands, and the result is false.
bool FormatText(char *dst, size_t dstSize, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
bool FormatTextV(char *dst, size_t dstSize, const char *format, va_list args);

// True when the first bytes of a and b agree, ignoring case, a double-byte
// character only as a whole. Either text ending early ends the comparison:
// equal when both end there.
bool SamePrefixIgnoringCase(const char *a, const char *b, size_t bytes);

// prefix (any case), one to four hex digits, ".tmp": the names
// GetTempFileName makes, and the folders made after them.
bool IsTempName(const char *name, const char *prefix);

// The three ways of joining a folder and a name. Each returns false (and an
// empty dst) when the joined path does not fit into dstSize characters.
//   JoinAlways:           folder + "\" + name
//   JoinUnlessBackslash:  no "\" inserted when folder ends in "\"
//   JoinUnlessSeparator:  no "\" inserted when folder ends in "\" or "/"
bool JoinAlways(char *dst, size_t dstSize, const char *folder, const char *name);
bool JoinUnlessBackslash(char *dst, size_t dstSize, const char *folder, const char *name);
bool JoinUnlessSeparator(char *dst, size_t dstSize, const char *folder, const char *name);

// Separator tests that know double-byte characters: on code page 932 the
// second byte of many (0x5C, as in "\x95\x5C") is the byte of "\".
// The character after the one at p (a double-byte one taken whole).
const char *NextCharacter(const char *p);
// The last "\" (or, with alsoSlash, also "/") of text, or NULL.
const char *LastSeparator(const char *text, bool alsoSlash);
char *LastSeparator(char *text, bool alsoSlash);
// True when the last character of text is "\" (or, with alsoSlash, "/").
bool EndsWithSeparator(const char *text, bool alsoSlash);

// Removes one trailing "\" or "/".
void StripOneTrailingSeparator(char *text);

#endif
