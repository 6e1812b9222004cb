// One stand-in program of the product (ZL_NAME is its file name): logs its
// command line and, when asked, stays running so that its file is in use.
#include <windows.h>
#include <stdlib.h>

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

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char line[2048];
    const char *args = Arguments(GetCommandLineA());
    snprintf(line, sizeof line, "%s%s%s", ZL_NAME, *args ? " " : "", args);
    AppendCallLog(line);

    char stay[32];
    DWORD n = GetEnvironmentVariableA("ZELTRA_STAY_SECONDS", stay, sizeof stay);
    if (n > 0 && n < sizeof stay) {
        long seconds = strtol(stay, NULL, 10);
        if (seconds > 0)
            Sleep((DWORD)(seconds > 3600 ? 3600 : seconds) * 1000);
    }
    return 0;
}
