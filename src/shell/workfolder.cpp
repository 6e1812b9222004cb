#include "shell/workfolder.h"

#include "shell/paths.h"

bool GetWorkFolder(char *folder, DWORD size)
{
    folder[0] = '\0';
    DWORD n = GetTempPathA(size, folder);
    if (n == 0 || n >= size) {
        folder[0] = '\0';
        return false;
    }
    StripOneTrailingSeparator(folder);
    // A drive root keeps its backslash: a bare "C:" names the drive's
    // current folder, not its root.
    if (folder[0] != '\0' && folder[1] == ':' && folder[2] == '\0')
        AppendText(folder, size, "\\");
    return folder[0] != '\0';
}
