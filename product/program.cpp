// One stand-in program of the product (ZL_NAME is its file name): logs its
// command line and, when asked, stays running so that its file is in use.
#include <windows.h>

#include "calllog.h"

// The arguments part of the command line (the program path skipped).
static const char *Arguments(const char *line)
{
    if (*line == '"') {
        const char *end = strchr(line + 1, '"');
        line = end ? end + 1 : line + strlen(line);
    } else {
        while (*line && *line != ' ' && *line != '\t')
            ++line;
    }
    while (*line == ' ' || *line == '\t')
        ++line;
    return line;
}

// Whole seconds from the text's leading digits (blanks before them skipped),
// at most an hour.
static DWORD Seconds(const char *text)
{
    while (*text == ' ' || *text == '\t')
        ++text;
    DWORD seconds = 0;
    for (; *text >= '0' && *text <= '9' && seconds < 3600; ++text)
        seconds = seconds * 10 + DWORD(*text - '0');
    return seconds > 3600 ? 3600 : seconds;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char line[2048] = ZL_NAME;
    const char *args = Arguments(GetCommandLineA());
    if (*args) {
        AppendToLine(line, sizeof line, " ");
        AppendToLine(line, sizeof line, args);
    }
    AppendCallLog(line);

    char stay[32];
    DWORD n = GetEnvironmentVariableA("ZELTRA_STAY_SECONDS", stay, sizeof stay);
    if (n > 0 && n < sizeof stay) {
        DWORD seconds = Seconds(stay);
        if (seconds > 0)
            Sleep(seconds * 1000);
    }
    return 0;
}
