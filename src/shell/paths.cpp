#include "shell/paths.h"

#include <windows.h>

#include <string.h>

// The upper-case form of one single-byte character, by the system's rules.
static BYTE UpperChar(BYTE c)
{
    return BYTE(reinterpret_cast<UINT_PTR>(CharUpperA(reinterpret_cast<LPSTR>(UINT_PTR(c)))));
}

bool CopyText(char *dst, size_t dstSize, const char *src)
{
    if (dstSize == 0)
        return false;
    size_t len = strlen(src);
    if (len >= dstSize) {
        memcpy(dst, src, dstSize - 1);
        dst[dstSize - 1] = '\0';
        return false;
    }
    memcpy(dst, src, len + 1);
    return true;
}

bool AppendText(char *dst, size_t dstSize, const char *src)
{
    size_t used = strnlen(dst, dstSize);
    if (used >= dstSize)
        return false;
    return CopyText(dst + used, dstSize - used, src);
}

// Output that stops, terminated, at the end of its buffer.
struct BoundedOutput {
    char *dst;
    size_t size, used;
    bool cut;
};

static void Put(BoundedOutput *out, char c)
{
    if (out->used + 1 < out->size)
        out->dst[out->used++] = c;
    else
        out->cut = true;
}

static void PutRepeated(BoundedOutput *out, char c, size_t count)
{
    for (size_t i = 0; i < count && !out->cut; ++i)
        Put(out, c);
}

// A conversion as far as its letter: flags, width, precision (-1 for none).
struct ConversionSpec {
    bool left, zero;
    int width, precision;
};

static void PutPadded(BoundedOutput *out, const char *text, size_t length, const ConversionSpec &spec)
{
    size_t padding = size_t(spec.width) > length ? size_t(spec.width) - length : 0;
    if (!spec.left)
        PutRepeated(out, ' ', padding);
    for (size_t i = 0; i < length; ++i)
        Put(out, text[i]);
    if (spec.left)
        PutRepeated(out, ' ', padding);
}

// As printf: at least precision digits (none for a zero of precision 0),
// the sign before any zeros, and the "0" flag only without a precision.
static void PutInteger(BoundedOutput *out, unsigned long long value, bool negative, unsigned base, bool upper,
                       const ConversionSpec &spec)
{
    const char *digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char reversed[24];
    size_t length = 0;
    if (value || spec.precision != 0) {
        do {
            reversed[length++] = digits[value % base];
            value /= base;
        } while (value);
    }
    size_t zeros = spec.precision > 0 && size_t(spec.precision) > length ? size_t(spec.precision) - length : 0;
    size_t body = (negative ? 1 : 0) + zeros + length;
    size_t padding = size_t(spec.width) > body ? size_t(spec.width) - body : 0;
    if (spec.zero && !spec.left && spec.precision < 0) {
        zeros += padding;
        padding = 0;
    }
    if (!spec.left)
        PutRepeated(out, ' ', padding);
    if (negative)
        Put(out, '-');
    PutRepeated(out, '0', zeros);
    while (length)
        Put(out, reversed[--length]);
    if (spec.left)
        PutRepeated(out, ' ', padding);
}

static const int kMaxCount = 99999;

// A width or precision: up to five digits, or "*" for the next argument.
// False for anything longer or larger.
static bool ReadCount(const char **p, va_list *args, int *value)
{
    *value = 0;
    if (**p == '*') {
        ++*p;
        *value = va_arg(*args, int);
        return *value >= -kMaxCount && *value <= kMaxCount;
    }
    for (int digits = 0; **p >= '0' && **p <= '9'; ++*p) {
        if (++digits > 5)
            return false;
        *value = *value * 10 + (**p - '0');
    }
    return true;
}

static unsigned long long TakeUnsigned(va_list *args, int longs, bool sized)
{
    if (sized)
        return va_arg(*args, size_t);
    if (longs >= 2)
        return va_arg(*args, unsigned long long);
    if (longs == 1)
        return va_arg(*args, unsigned long);
    return va_arg(*args, unsigned int);
}

static long long TakeSigned(va_list *args, int longs, bool sized)
{
    if (sized)
        return va_arg(*args, ptrdiff_t);
    if (longs >= 2)
        return va_arg(*args, long long);
    if (longs == 1)
        return va_arg(*args, long);
    return va_arg(*args, int);
}

// One conversion after its "%"; returns where the format goes on, or NULL
// for a conversion this formatter does not know: taking no argument for it
// would put every later conversion out of step with its argument.
static const char *Convert(BoundedOutput *out, const char *p, va_list *args)
{
    ConversionSpec spec = {false, false, 0, -1};
    for (;; ++p) {
        if (*p == '-')
            spec.left = true;
        else if (*p == '0')
            spec.zero = true;
        else
            break;
    }
    if (!ReadCount(&p, args, &spec.width))
        return NULL;
    if (spec.width < 0) {
        spec.left = true;
        spec.width = -spec.width;
    }
    bool precise = *p == '.';
    if (precise) {
        ++p;
        if (!ReadCount(&p, args, &spec.precision))
            return NULL;
        if (spec.precision < 0)
            spec.precision = -1;   // a negative "*" counts as none
    }
    int longs = 0;
    bool sized = false;
    if (*p == 'z') {
        sized = true;
        ++p;
    } else {
        while (*p == 'l' && longs < 2) {
            ++longs;
            ++p;
        }
    }
    bool plain = !sized && longs == 0;

    switch (*p) {
    case 's': {
        if (!plain || spec.zero)
            return NULL;
        const char *text = va_arg(*args, const char *);
        if (!text)
            text = "(null)";
        size_t length = 0;
        while (text[length] && (spec.precision < 0 || length < size_t(spec.precision)))
            ++length;
        PutPadded(out, text, length, spec);
        return p + 1;
    }
    case 'c': {
        if (!plain || spec.zero || precise)
            return NULL;
        char c = char(va_arg(*args, int));
        PutPadded(out, &c, 1, spec);
        return p + 1;
    }
    case 'd':
    case 'i': {
        long long value = TakeSigned(args, longs, sized);
        unsigned long long magnitude = value < 0 ? 0ULL - (unsigned long long)value : (unsigned long long)value;
        PutInteger(out, magnitude, value < 0, 10, false, spec);
        return p + 1;
    }
    case 'u':
    case 'x':
    case 'X':
        PutInteger(out, TakeUnsigned(args, longs, sized), false, *p == 'u' ? 10 : 16, *p == 'X', spec);
        return p + 1;
    case '%':
        if (p[-1] != '%')
            return NULL;   // "%%" only, nothing between
        Put(out, '%');
        return p + 1;
    default:
        return NULL;
    }
}

bool FormatTextV(char *dst, size_t dstSize, const char *format, va_list args)
{
    if (dstSize == 0)
        return false;
    BoundedOutput out = {dst, dstSize, 0, false};
    va_list rest;
    va_copy(rest, args);
    bool known = true;
    for (const char *p = format; known && *p;) {
        if (*p != '%') {
            Put(&out, *p++);
            continue;
        }
        p = Convert(&out, p + 1, &rest);
        known = p != NULL;
    }
    va_end(rest);
    dst[out.used] = '\0';
    return known && !out.cut;
}

bool FormatText(char *dst, size_t dstSize, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    bool whole = FormatTextV(dst, dstSize, format, args);
    va_end(args);
    return whole;
}

bool SamePrefixIgnoringCase(const char *a, const char *b, size_t bytes)
{
    for (size_t i = 0; i < bytes; ++i) {
        BYTE ca = BYTE(a[i]), cb = BYTE(b[i]);
        if (ca == 0 || cb == 0)
            return ca == cb;
        if (IsDBCSLeadByte(ca)) {
            // Both bytes of a double-byte character, exactly.
            if (ca != cb || i + 1 >= bytes)
                return ca == cb;
            ++i;
            if (a[i] != b[i])
                return false;
            if (a[i] == '\0')
                return true;   // both end in the same lone lead byte
            continue;
        }
        if (ca != cb && UpperChar(ca) != UpperChar(cb))
            return false;
    }
    return true;
}

bool IsTempName(const char *name, const char *prefix)
{
    size_t n = strlen(prefix);
    if (!SamePrefixIgnoringCase(name, prefix, n))
        return false;
    const char *p = name + n;
    int digits = 0;
    while (((*p >= '0' && *p <= '9') || ((*p | 0x20) >= 'a' && (*p | 0x20) <= 'f')) && digits < 5)
        ++p, ++digits;
    return digits >= 1 && digits <= 4 && lstrcmpiA(p, ".tmp") == 0;
}

const char *NextCharacter(const char *p)
{
    if (!*p)
        return p;
    return IsDBCSLeadByte(BYTE(*p)) && p[1] ? p + 2 : p + 1;
}

// The starts of the last character of text and of its last separator.
static void LastCharacters(const char *text, bool alsoSlash, const char **last, const char **separator)
{
    *last = *separator = NULL;
    for (const char *p = text; *p; p = NextCharacter(p)) {
        *last = p;
        if (*p == '\\' || (alsoSlash && *p == '/'))
            *separator = p;
    }
}

const char *LastSeparator(const char *text, bool alsoSlash)
{
    const char *last, *separator;
    LastCharacters(text, alsoSlash, &last, &separator);
    return separator;
}

char *LastSeparator(char *text, bool alsoSlash)
{
    const char *found = LastSeparator(static_cast<const char *>(text), alsoSlash);
    return found ? text + (found - text) : NULL;
}

bool EndsWithSeparator(const char *text, bool alsoSlash)
{
    const char *last, *separator;
    LastCharacters(text, alsoSlash, &last, &separator);
    return last && last == separator;
}

void StripOneTrailingSeparator(char *text)
{
    if (EndsWithSeparator(text, true))
        text[strlen(text) - 1] = '\0';
}

static bool Join(char *dst, size_t dstSize, const char *folder, const char *name, bool insert)
{
    if (dstSize == 0)
        return false;
    if (!CopyText(dst, dstSize, folder) || (insert && !AppendText(dst, dstSize, "\\"))
        || !AppendText(dst, dstSize, name)) {
        dst[0] = '\0';
        return false;
    }
    return true;
}

bool JoinAlways(char *dst, size_t dstSize, const char *folder, const char *name)
{
    return Join(dst, dstSize, folder, name, true);
}

bool JoinUnlessBackslash(char *dst, size_t dstSize, const char *folder, const char *name)
{
    return Join(dst, dstSize, folder, name, !EndsWithSeparator(folder, false));
}

bool JoinUnlessSeparator(char *dst, size_t dstSize, const char *folder, const char *name)
{
    return Join(dst, dstSize, folder, name, !EndsWithSeparator(folder, true));
}
