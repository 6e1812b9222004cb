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

static void PutPadded(BoundedOutput *out, const char *text, size_t length, int width, bool left, char pad)
{
    size_t padding = width > 0 && size_t(width) > length ? size_t(width) - length : 0;
    if (!left)
        for (size_t i = 0; i < padding; ++i)
            Put(out, pad);
    for (size_t i = 0; i < length; ++i)
        Put(out, text[i]);
    if (left)
        for (size_t i = 0; i < padding; ++i)
            Put(out, ' ');
}

// Digits of value in base 10 or 16, with a sign where asked.
static size_t NumberText(char *text, unsigned long long value, bool negative, unsigned base, bool upper)
{
    const char *digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char reversed[24];
    size_t n = 0;
    do {
        reversed[n++] = digits[value % base];
        value /= base;
    } while (value && n < sizeof reversed);
    size_t length = 0;
    if (negative)
        text[length++] = '-';
    while (n)
        text[length++] = reversed[--n];
    return length;
}

static int ReadCount(const char **p, va_list *args)
{
    if (**p == '*') {
        ++*p;
        return va_arg(*args, int);
    }
    int value = 0;
    while (**p >= '0' && **p <= '9' && value < 10000)
        value = value * 10 + (*(*p)++ - '0');
    return value;
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

// One conversion after its "%"; returns where the format goes on.
static const char *Convert(BoundedOutput *out, const char *spec, va_list *args)
{
    const char *p = spec;
    bool left = false;
    char pad = ' ';
    for (;; ++p) {
        if (*p == '-')
            left = true;
        else if (*p == '0')
            pad = '0';
        else
            break;
    }
    int width = ReadCount(&p, args);
    if (width < 0) {
        left = true;
        width = -width;
    }
    int precision = -1;
    if (*p == '.') {
        ++p;
        precision = ReadCount(&p, args);
    }
    int longs = 0;
    bool sized = false;
    for (; *p == 'l' || *p == 'z'; ++p) {
        if (*p == 'l')
            ++longs;
        else
            sized = true;
    }
    if (left)
        pad = ' ';

    char number[24];
    switch (*p) {
    case 's': {
        const char *text = va_arg(*args, const char *);
        if (!text)
            text = "(null)";
        size_t length = 0;
        while (text[length] && (precision < 0 || length < size_t(precision)))
            ++length;
        PutPadded(out, text, length, width, left, ' ');
        return p + 1;
    }
    case 'c':
        number[0] = char(va_arg(*args, int));
        PutPadded(out, number, 1, width, left, ' ');
        return p + 1;
    case 'd':
    case 'i': {
        long long value = TakeSigned(args, longs, sized);
        unsigned long long magnitude = value < 0 ? 0ULL - (unsigned long long)value : (unsigned long long)value;
        if (value < 0 && pad == '0' && width > 0) {
            Put(out, '-');
            --width;
            PutPadded(out, number, NumberText(number, magnitude, false, 10, false), width, left, pad);
        } else {
            PutPadded(out, number, NumberText(number, magnitude, value < 0, 10, false), width, left, pad);
        }
        return p + 1;
    }
    case 'u':
    case 'x':
    case 'X': {
        unsigned long long value = TakeUnsigned(args, longs, sized);
        PutPadded(out, number, NumberText(number, value, false, *p == 'u' ? 10 : 16, *p == 'X'),
                  width, left, pad);
        return p + 1;
    }
    case '%':
        Put(out, '%');
        return p + 1;
    default:
        // Not a conversion this formatter knows: shown as written.
        Put(out, '%');
        return spec;
    }
}

bool FormatTextV(char *dst, size_t dstSize, const char *format, va_list args)
{
    if (dstSize == 0)
        return false;
    BoundedOutput out = {dst, dstSize, 0, false};
    va_list rest;
    va_copy(rest, args);
    for (const char *p = format; *p;) {
        if (*p == '%')
            p = Convert(&out, p + 1, &rest);
        else
            Put(&out, *p++);
    }
    va_end(rest);
    dst[out.used] = '\0';
    return !out.cut;
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
            continue;
        }
        if (ca != cb && UpperChar(ca) != UpperChar(cb))
            return false;
    }
    return true;
}

bool EndsWithSeparator(const char *text, bool alsoSlash)
{
    size_t len = strlen(text);
    if (len == 0)
        return false;
    char last = text[len - 1];
    return last == '\\' || (alsoSlash && last == '/');
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
