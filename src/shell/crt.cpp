// setup.exe's own start-up and the few memory, string and arithmetic
// routines that the code and the compiler call. The program links no C
// runtime: Windows 95, NT 3.51 and Win32s do not all have msvcrt.dll, a
// runtime's own imports (threads, exceptions, stack guards) are newer than
// the systems it is for, and its code is built for the Pentium Pro. Built
// into setup.exe and the stand-in product; the test programs keep the usual
// runtime.
#include <windows.h>

#include <stddef.h>

extern "C" {

void *memset(void *dst, int c, size_t n)
{
    unsigned char *d = static_cast<unsigned char *>(dst);
    while (n--)
        *d++ = static_cast<unsigned char>(c);
    return dst;
}

void *memcpy(void *dst, const void *src, size_t n)
{
    unsigned char *d = static_cast<unsigned char *>(dst);
    const unsigned char *s = static_cast<const unsigned char *>(src);
    while (n--)
        *d++ = *s++;
    return dst;
}

void *memmove(void *dst, const void *src, size_t n)
{
    unsigned char *d = static_cast<unsigned char *>(dst);
    const unsigned char *s = static_cast<const unsigned char *>(src);
    if (d < s || d >= s + n)
        return memcpy(dst, src, n);
    while (n--)
        d[n] = s[n];
    return dst;
}

int memcmp(const void *a, const void *b, size_t n)
{
    const unsigned char *x = static_cast<const unsigned char *>(a);
    const unsigned char *y = static_cast<const unsigned char *>(b);
    for (; n; --n, ++x, ++y)
        if (*x != *y)
            return *x < *y ? -1 : 1;
    return 0;
}

size_t strlen(const char *s)
{
    size_t n = 0;
    while (s[n])
        ++n;
    return n;
}

size_t strnlen(const char *s, size_t max)
{
    size_t n = 0;
    while (n < max && s[n])
        ++n;
    return n;
}

int strncmp(const char *a, const char *b, size_t n)
{
    for (; n; --n, ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
        if (x != y)
            return x < y ? -1 : 1;
        if (!x)
            break;
    }
    return 0;
}

int strcmp(const char *a, const char *b)
{
    return strncmp(a, b, static_cast<size_t>(-1));
}

char *strchr(const char *s, int c)
{
    for (;; ++s) {
        if (*s == static_cast<char>(c))
            return const_cast<char *>(s);
        if (!*s)
            return NULL;
    }
}

char *strrchr(const char *s, int c)
{
    const char *found = NULL;
    for (;; ++s) {
        if (*s == static_cast<char>(c))
            found = s;
        if (!*s)
            return const_cast<char *>(found);
    }
}

char *strstr(const char *text, const char *part)
{
    size_t n = strlen(part);
    for (; *text; ++text)
        if (strncmp(text, part, n) == 0)
            return const_cast<char *>(text);
    return n == 0 ? const_cast<char *>(text) : NULL;
}

size_t strspn(const char *s, const char *accept)
{
    size_t n = 0;
    while (s[n] && strchr(accept, s[n]))
        ++n;
    return n;
}

size_t strcspn(const char *s, const char *reject)
{
    size_t n = 0;
    while (s[n] && !strchr(reject, s[n]))
        ++n;
    return n;
}

char *strpbrk(const char *s, const char *accept)
{
    s += strcspn(s, accept);
    return *s ? const_cast<char *>(s) : NULL;
}

#if defined(__i386__)
// 64-bit division, which the 32-bit compiler calls for / and % of 64-bit
// numbers. libgcc's copy is built for the Pentium Pro; this one is built
// with the program, for the 386. One quotient bit a step: the program only
// divides to print numbers. The divisor is never zero.
typedef unsigned long long Wide;
Wide __udivmoddi4(Wide n, Wide d, Wide *remainder);
Wide __udivdi3(Wide n, Wide d);
Wide __umoddi3(Wide n, Wide d);

Wide __udivmoddi4(Wide n, Wide d, Wide *remainder)
{
    Wide q = 0, r = 0;
    if ((n >> 32) == 0 && (d >> 32) == 0) {
        q = static_cast<unsigned>(n) / static_cast<unsigned>(d);
        r = static_cast<unsigned>(n) % static_cast<unsigned>(d);
    } else {
        for (int bit = 63; bit >= 0; --bit) {
            // A remainder with its top bit set exceeds any divisor once shifted.
            bool carry = (r >> 63) != 0;
            r = (r << 1) | ((n >> bit) & 1);
            if (carry || r >= d) {
                r -= d;
                q |= Wide(1) << bit;
            }
        }
    }
    if (remainder)
        *remainder = r;
    return q;
}

Wide __udivdi3(Wide n, Wide d) { return __udivmoddi4(n, d, NULL); }

Wide __umoddi3(Wide n, Wide d)
{
    Wide r;
    __udivmoddi4(n, d, &r);
    return r;
}
#endif

void WINAPI ZlStart();

// The entry point: the command line without the program's name, and the
// show state the starting program asked for.
__attribute__((force_align_arg_pointer)) void WINAPI ZlStart()
{
    const char *line = GetCommandLineA();
    if (*line == '"') {
        for (++line; *line && *line != '"'; ++line) {
        }
        if (*line == '"')
            ++line;
    } else {
        while (*line && *line != ' ' && *line != '\t')
            ++line;
    }
    while (*line == ' ' || *line == '\t')
        ++line;

    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    ExitProcess(UINT(WinMain(GetModuleHandleA(NULL), NULL, const_cast<LPSTR>(line), show)));
}

}  // extern "C"
