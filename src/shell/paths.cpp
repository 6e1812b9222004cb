#include "shell/paths.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

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

bool FormatText(char *dst, size_t dstSize, const char *format, ...)
{
    if (dstSize == 0)
        return false;
    va_list args;
    va_start(args, format);
    int n = vsnprintf(dst, dstSize, format, args);
    va_end(args);
    if (n < 0) {
        dst[0] = '\0';
        return false;
    }
    return size_t(n) < dstSize;
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
    int n = snprintf(dst, dstSize, "%s%s%s", folder, insert ? "\\" : "", name);
    if (n < 0 || size_t(n) >= dstSize) {
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
