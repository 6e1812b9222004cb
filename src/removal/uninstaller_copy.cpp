#include "removal/uninstaller_copy.h"

#include <string.h>

#include "shell/catalogue.h"
#include "shell/folders.h"
#include "shell/messages.h"
#include "shell/options.h"
#include "shell/paths.h"
#include "shell/sysdll.h"
#include "shell/textfile.h"

namespace {

// Windows 95 and NT have these; Win32s, which runs one program at a time
// in the old way, may not: the uninstaller then removes in place.
typedef BOOL(WINAPI *CopyFileProc)(LPCSTR, LPCSTR, BOOL);
typedef BOOL(WINAPI *CreatePipeProc)(PHANDLE, PHANDLE, LPSECURITY_ATTRIBUTES, DWORD);
typedef HANDLE(WINAPI *OpenProcessProc)(DWORD, BOOL, DWORD);
typedef BOOL(WINAPI *MoveFileExProc)(LPCSTR, LPCSTR, DWORD);
typedef BOOL(WINAPI *AllowSetForegroundProc)(DWORD);

const char kCopyPrefix[] = "~zlr";
const int kCopyFolderTries = 64;
const DWORD kOriginalEndMs = 30000;

// A new folder of ours: CreateDirectory fails on a name that exists, so
// nothing anyone put there before can sit beside the copy.
bool MakeCopyFolder(const char *workFolder, char *folder, size_t size)
{
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 4);
    for (int i = 0; i < kCopyFolderTries; ++i) {
        char name[16];
        FormatText(name, sizeof name, "%s%04lX.tmp", kCopyPrefix, (unsigned long)((seed + DWORD(i)) & 0xFFFF));
        if (JoinUnlessBackslash(folder, size, workFolder, name) && CreateDirectoryA(folder, NULL))
            return true;
    }
    return false;
}

void RemoveCopy(const char *folder, const char *copy)
{
    DeleteFileA(copy);
    RemoveDirectoryA(folder);
}

// The copy comes to the front: the foreground is the original's to give.
void AllowForeground(DWORD processId)
{
    if (auto allow = LoadedDllFunction<AllowSetForegroundProc>("user32.dll", "AllowSetForegroundWindow"))
        allow(processId);
}

// The line after text's "[rename]" header line, or NULL.
const char *AfterRenameHeader(const char *text)
{
    for (const char *line = text; *line;) {
        const char *end = line + strcspn(line, "\r\n");
        const char *start = line + strspn(line, " \t");
        if (SamePrefixIgnoringCase(start, "[rename]", 8) && start + 8 <= end &&
            strspn(start + 8, " \t") >= size_t(end - start - 8)) {
            return end + strspn(end, "\r\n");
        }
        line = end + strspn(end, "\r\n");
    }
    return NULL;
}

// Windows 95/98 delete what "NUL=<short path>" lines in WININIT.INI's
// [rename] section name before Windows starts. The lines all share one key,
// which the profile functions would overwrite, so the file is rewritten
// with the line added, through a second file so that a failed write leaves
// the old one whole.
bool AddWininitDeletion(const char *path)
{
    char shortPath[MAX_PATH], ini[MAX_PATH], next[MAX_PATH], line[MAX_PATH + 8];
    DWORD n = ShortPathName(path, shortPath, sizeof shortPath);
    UINT w = GetWindowsDirectoryA(ini, sizeof ini);
    if (n == 0 || n >= sizeof shortPath || w == 0 || w >= sizeof ini ||
        !JoinUnlessBackslash(ini, sizeof ini, ini, "WININIT.INI") ||
        !FormatText(next, sizeof next, "%.*sWININIT.ZLN", int(strlen(ini) - 11), ini) ||
        !FormatText(line, sizeof line, "NUL=%s\r\n", shortPath))
        return false;
    DWORD size = 0;
    char *old = ReadWholeFile(ini, &size);
    TextWriter out;
    if (!OpenTextWriter(&out, next, false)) {
        FreeFileText(old);
        return false;
    }
    const char *after = old ? AfterRenameHeader(old) : NULL;
    if (after) {
        PutText(&out, old, size_t(after - old));
        PutText(&out, line, strlen(line));
        PutText(&out, after, strlen(after));
    } else {
        if (old && size) {
            PutText(&out, old, size);
            if (old[size - 1] != '\n')
                PutText(&out, "\r\n", 2);
        }
        PutText(&out, "[rename]\r\n", 10);
        PutText(&out, line, strlen(line));
    }
    FreeFileText(old);
    if (!CloseTextWriter(&out)) {
        DeleteFileA(next);
        return false;
    }
    DeleteFileA(ini);
    return MoveFileA(next, ini) != 0;
}

}  // namespace

bool RunFromTemporaryCopy(const char *workFolder, const char *arguments, int *exitCode)
{
    auto copyFile = LoadedDllFunction<CopyFileProc>("kernel32.dll", "CopyFileA");
    auto createPipe = LoadedDllFunction<CreatePipeProc>("kernel32.dll", "CreatePipe");
    char self[MAX_PATH], folder[MAX_PATH], copy[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, self, sizeof self);
    if (!copyFile || !createPipe || n == 0 || n >= sizeof self || !MakeCopyFolder(workFolder, folder, sizeof folder))
        return false;
    if (!JoinUnlessBackslash(copy, sizeof copy, folder, UninstallerName()) || !copyFile(self, copy, TRUE)) {
        RemoveCopy(folder, copy);
        return false;
    }
    // Only the pipe's ends are inheritable; the copy writes the code into its end.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE readEnd, writeEnd;
    if (!createPipe(&readEnd, &writeEnd, &inherit, 0)) {
        RemoveCopy(folder, copy);
        return false;
    }
    char command[2048];
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    bool started = FormatText(command, sizeof command, "\"%s\" -copyof %lu %lu \"%s\" %s", copy,
                              (unsigned long)(UINT_PTR)writeEnd, (unsigned long)GetCurrentProcessId(), self,
                              arguments) &&
                   CreateProcessA(copy, command, NULL, NULL, TRUE, 0, NULL, workFolder, &startup, &process);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        RemoveCopy(folder, copy);
        return false;
    }
    AllowForeground(process.dwProcessId);
    CloseHandle(process.hThread);
    LONG code = 0;
    DWORD got = 0;
    // Nothing read: the copy ended without handing a code back.
    if (!ReadFile(readEnd, &code, sizeof code, &got, NULL) || got != sizeof code) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD ended = DWORD(kExitFailed);
        GetExitCodeProcess(process.hProcess, &ended);
        code = LONG(ended);
    }
    CloseHandle(readEnd);
    CloseHandle(process.hProcess);
    *exitCode = int(code);
    return true;
}

void OpenOriginal(CopyLink *link, DWORD processId)
{
    auto openProcess = LoadedDllFunction<OpenProcessProc>("kernel32.dll", "OpenProcess");
    link->original = openProcess && processId ? openProcess(SYNCHRONIZE, FALSE, processId) : NULL;
}

void ReleaseOriginal(CopyLink *link, int exitCode)
{
    // A handle value that is not a pipe did not come from the original.
    if (link->resultPipe && GetFileType(link->resultPipe) == FILE_TYPE_PIPE) {
        LONG code = exitCode;
        DWORD written;
        WriteFile(link->resultPipe, &code, sizeof code, &written, NULL);
        CloseHandle(link->resultPipe);
    }
    link->resultPipe = NULL;
    if (link->original) {
        WaitForSingleObject(link->original, kOriginalEndMs);
        CloseHandle(link->original);
        link->original = NULL;
    }
}

bool DeleteAtNextStart(const char *path)
{
    if (!g_bWinNT)
        return AddWininitDeletion(path);
    auto moveFileEx = LoadedDllFunction<MoveFileExProc>("kernel32.dll", "MoveFileExA");
    return moveFileEx && moveFileEx(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
}

void ScheduleOwnDeletion()
{
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, self, sizeof self);
    if (n == 0 || n >= sizeof self || !DeleteAtNextStart(self))
        return;
    // NT removes the emptied folder too; WININIT.INI deletes files only,
    // and the next start of Setup or the uninstaller sweeps the folder.
    char *slash = LastSeparator(self, false);
    if (slash && g_bWinNT) {
        *slash = '\0';
        DeleteAtNextStart(self);
    }
}

// Removes a copy's folder once the copy has ended.
static bool SweepCopyFolder(const char *folder, const WIN32_FIND_DATAA &found, const void *)
{
    char copy[MAX_PATH];
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsTempName(found.cFileName, kCopyPrefix) ||
        !JoinUnlessBackslash(copy, sizeof copy, folder, UninstallerName()))
        return true;
    // A copy that still runs cannot be deleted, and keeps its folder; only
    // an empty folder is removed.
    if (FolderHoldsOnly(folder, UninstallerName()))
        DeleteFileA(copy);
    RemoveDirectoryA(folder);
    return true;
}

void SweepUninstallerCopies(const char *workFolder)
{
    ForEachFound(workFolder, "~zlr*.tmp", SweepCopyFolder, NULL);
}
