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
typedef BOOL(WINAPI *DuplicateProc)(HANDLE, HANDLE, HANDLE, LPHANDLE, DWORD, BOOL, DWORD);

const char kCopyPrefix[] = "~zlr";
const int kCopyNameDigits = 16;
const int kCopyFolderTries = 8;
const DWORD kOriginalEndMs = 30000;
const char kClaimName[] = "ZeltraUninstaller";
const DWORD kClaimPollMs = 100;

// Bytes no one can predict: RtlGenRandom (XP and later), else CryptoAPI (NT
// 4, Windows 95 with its updates); else clocks and ids, hard to guess only.
void RandomBytes(BYTE *bytes, DWORD count)
{
    typedef BOOLEAN(WINAPI * GenRandomProc)(PVOID, ULONG);
    typedef BOOL(WINAPI * AcquireProc)(ULONG_PTR *, LPCSTR, LPCSTR, DWORD, DWORD);
    typedef BOOL(WINAPI * CryptRandomProc)(ULONG_PTR, DWORD, BYTE *);
    typedef BOOL(WINAPI * ReleaseProc)(ULONG_PTR, DWORD);
    auto genRandom = LoadedDllFunction<GenRandomProc>("advapi32.dll", "SystemFunction036");
    if (genRandom && genRandom(bytes, count))
        return;
    auto acquire = LoadedDllFunction<AcquireProc>("advapi32.dll", "CryptAcquireContextA");
    auto random = LoadedDllFunction<CryptRandomProc>("advapi32.dll", "CryptGenRandom");
    auto release = LoadedDllFunction<ReleaseProc>("advapi32.dll", "CryptReleaseContext");
    ULONG_PTR provider = 0;
    if (acquire && random && release && acquire(&provider, NULL, NULL, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        bool done = random(provider, count, bytes) != 0;
        release(provider, 0);
        if (done)
            return;
    }
    DWORD state = GetTickCount() ^ (GetCurrentProcessId() << 16) ^ DWORD(UINT_PTR(&state));
    for (DWORD i = 0; i < count; ++i) {
        state = state * 1103515245u + 12345u + GetTickCount();
        bytes[i] = BYTE(state >> 24);
    }
}

// Builds an access list of the administrators and SYSTEM, each with full
// access to the folder and what it will hold. The functions are NT's;
// false where any is missing.
struct PrivateFolderSecurity {
    SECURITY_DESCRIPTOR descriptor;
    DWORD acl[64];
};

bool MakePrivateSecurity(PrivateFolderSecurity *s)
{
    typedef BOOL(WINAPI * AllocSidProc)(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                                        DWORD, DWORD, PSID *);
    typedef PVOID(WINAPI * FreeSidProc)(PSID);
    typedef BOOL(WINAPI * InitAclProc)(PACL, DWORD, DWORD);
    typedef BOOL(WINAPI * AddAceProc)(PACL, DWORD, DWORD, PSID);
    typedef BOOL(WINAPI * InitDescriptorProc)(PSECURITY_DESCRIPTOR, DWORD);
    typedef BOOL(WINAPI * SetDaclProc)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL);
    auto allocSid = LoadedDllFunction<AllocSidProc>("advapi32.dll", "AllocateAndInitializeSid");
    auto freeSid = LoadedDllFunction<FreeSidProc>("advapi32.dll", "FreeSid");
    auto initAcl = LoadedDllFunction<InitAclProc>("advapi32.dll", "InitializeAcl");
    auto addAce = LoadedDllFunction<AddAceProc>("advapi32.dll", "AddAccessAllowedAce");
    auto initDescriptor = LoadedDllFunction<InitDescriptorProc>("advapi32.dll", "InitializeSecurityDescriptor");
    auto setDacl = LoadedDllFunction<SetDaclProc>("advapi32.dll", "SetSecurityDescriptorDacl");
    if (!allocSid || !freeSid || !initAcl || !addAce || !initDescriptor || !setDacl)
        return false;
    SID_IDENTIFIER_AUTHORITY nt = {SECURITY_NT_AUTHORITY};
    PSID admins = NULL, system = NULL;
    PACL acl = reinterpret_cast<PACL>(s->acl);
    bool made = allocSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins) &&
                allocSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system) &&
                initAcl(acl, sizeof s->acl, ACL_REVISION) && addAce(acl, ACL_REVISION, FILE_ALL_ACCESS, admins) &&
                addAce(acl, ACL_REVISION, FILE_ALL_ACCESS, system) &&
                initDescriptor(&s->descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                setDacl(&s->descriptor, TRUE, acl, FALSE);
    if (admins)
        freeSid(admins);
    if (system)
        freeSid(system);
    return made != 0;
}

// A new folder of ours under a name no one can guess: CreateDirectory fails
// on a name that exists, so nothing anyone put there before can sit beside
// the copy. On NT only the administrators and SYSTEM may write in it, and
// where that cannot be set the uninstaller works in place.
bool MakeCopyFolder(const char *workFolder, char *folder, size_t size)
{
    PrivateFolderSecurity security;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &security.descriptor, FALSE};
    if (g_bWinNT && !MakePrivateSecurity(&security))
        return false;
    for (int i = 0; i < kCopyFolderTries; ++i) {
        BYTE random[kCopyNameDigits / 2];
        char name[32];
        RandomBytes(random, sizeof random);
        CopyText(name, sizeof name, kCopyPrefix);
        for (BYTE b : random)
            FormatText(name + strlen(name), 3, "%02X", unsigned(b));
        AppendText(name, sizeof name, ".tmp");
        if (JoinUnlessBackslash(folder, size, workFolder, name) &&
            CreateDirectoryA(folder, g_bWinNT ? &attributes : NULL))
            return true;
    }
    return false;
}

// "~zlr" and up to 16 hex digits, ".tmp": a copy's folder, of this
// version or of an earlier one.
bool IsCopyFolderName(const char *name)
{
    size_t digits = strspn(name + 4, "0123456789ABCDEFabcdef");
    return SamePrefixIgnoringCase(name, kCopyPrefix, 4) && digits >= 1 && digits <= size_t(kCopyNameDigits) &&
           lstrcmpiA(name + 4 + digits, ".tmp") == 0;
}

}  // namespace

// The named mutex exists while an uninstaller or its copy runs: both hold
// it open. In every session where the system has a global name space
// ("Global\" fails on NT 4 and before, where the plain name is global).
HANDLE KeepUninstallerClaim()
{
    char name[64];
    FormatText(name, sizeof name, "Global\\%s", kClaimName);
    HANDLE claim = CreateMutexA(NULL, FALSE, name);
    if (!claim && GetLastError() != ERROR_ACCESS_DENIED)
        claim = CreateMutexA(NULL, FALSE, kClaimName);
    return claim;
}

namespace {

// The standard handles the caller gave this program stay out of the copy:
// a tool that reads its output until the end would wait for the copy too.
void KeepStandardHandles()
{
    typedef HANDLE(WINAPI * GetStdProc)(DWORD);
    typedef BOOL(WINAPI * SetStdProc)(DWORD, HANDLE);
    auto getStd = LoadedDllFunction<GetStdProc>("kernel32.dll", "GetStdHandle");
    auto setStd = LoadedDllFunction<SetStdProc>("kernel32.dll", "SetStdHandle");
    auto duplicate = LoadedDllFunction<DuplicateProc>("kernel32.dll", "DuplicateHandle");
    if (!getStd || !setStd || !duplicate)
        return;
    static const DWORD kStandard[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    for (DWORD which : kStandard) {
        HANDLE handle = getStd(which), own;
        if (handle && handle != INVALID_HANDLE_VALUE &&
            duplicate(GetCurrentProcess(), handle, GetCurrentProcess(), &own, 0, FALSE,
                      DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE))
            setStd(which, own);
    }
}

// The pipe's write end as the one handle the copy inherits. NULL on failure.
HANDLE InheritableWriteEnd(HANDLE writeEnd)
{
    auto duplicate = LoadedDllFunction<DuplicateProc>("kernel32.dll", "DuplicateHandle");
    HANDLE inheritable = NULL;
    if (!duplicate || !duplicate(GetCurrentProcess(), writeEnd, GetCurrentProcess(), &inheritable, 0, TRUE,
                                 DUPLICATE_SAME_ACCESS))
        inheritable = NULL;
    CloseHandle(writeEnd);
    return inheritable;
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
    char shortPath[MAX_PATH], ini[MAX_PATH], next[MAX_PATH], aside[MAX_PATH], line[MAX_PATH + 8];
    DWORD n = ShortPathName(path, shortPath, sizeof shortPath);
    UINT w = GetWindowsDirectoryA(ini, sizeof ini);
    if (n == 0 || n >= sizeof shortPath || w == 0 || w >= sizeof ini ||
        !JoinUnlessBackslash(ini, sizeof ini, ini, "WININIT.INI") ||
        !FormatText(next, sizeof next, "%.*sWININIT.ZLN", int(strlen(ini) - 11), ini) ||
        !FormatText(aside, sizeof aside, "%.*sWININIT.ZLO", int(strlen(ini) - 11), ini) ||
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
    // The old file goes aside first: whenever this stops, one of the two
    // names holds the other programs' pending renames.
    DeleteFileA(aside);
    bool hadOld = old != NULL;
    if (hadOld && !MoveFileA(ini, aside)) {
        DeleteFileA(next);
        return false;
    }
    if (!MoveFileA(next, ini)) {
        if (hadOld)
            MoveFileA(aside, ini);
        DeleteFileA(next);
        return false;
    }
    DeleteFileA(aside);
    return true;
}

}  // namespace

CopyOutcome RunFromTemporaryCopy(const char *workFolder, const char *arguments, int *exitCode)
{
    auto copyFile = LoadedDllFunction<CopyFileProc>("kernel32.dll", "CopyFileA");
    auto createPipe = LoadedDllFunction<CreatePipeProc>("kernel32.dll", "CreatePipe");
    char self[MAX_PATH], folder[MAX_PATH], copy[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, self, sizeof self);
    if (!copyFile || !createPipe || n == 0 || n >= sizeof self || !MakeCopyFolder(workFolder, folder, sizeof folder))
        return kCopyNotStarted;
    if (!JoinUnlessBackslash(copy, sizeof copy, folder, UninstallerName()) || !copyFile(self, copy, TRUE)) {
        RemoveCopy(folder, copy);
        return kCopyNotStarted;
    }
    // The copy inherits the pipe's write end and nothing of the caller's.
    HANDLE readEnd, writeEnd;
    if (!createPipe(&readEnd, &writeEnd, NULL, 0)) {
        RemoveCopy(folder, copy);
        return kCopyNotStarted;
    }
    writeEnd = InheritableWriteEnd(writeEnd);
    KeepStandardHandles();
    char command[2048];
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION process;
    bool started = writeEnd &&
                   FormatText(command, sizeof command, "\"%s\" -copyof %lu %lu \"%s\" %s", copy,
                              (unsigned long)(UINT_PTR)writeEnd, (unsigned long)GetCurrentProcessId(), self,
                              arguments) &&
                   CreateProcessA(copy, command, NULL, NULL, TRUE, 0, NULL, workFolder, &startup, &process);
    if (writeEnd)
        CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        RemoveCopy(folder, copy);
        return kCopyNotStarted;
    }
    AllowForeground(process.dwProcessId);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    LONG code = 0;
    DWORD got = 0;
    // Nothing read: the copy ended, or was ended, without its outcome.
    bool handedBack = ReadFile(readEnd, &code, sizeof code, &got, NULL) && got == sizeof code;
    CloseHandle(readEnd);
    *exitCode = handedBack ? int(code) : kExitFailed;
    return handedBack ? kCopyHandedBack : kCopyGaveNothing;
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

bool NothingElseHolds(const char *path)
{
    // Opened for reading, sharing reading (and on NT deleting) only: fails
    // while anyone else has it open to write, or without delete sharing.
    DWORD share = FILE_SHARE_READ | (g_bWinNT ? FILE_SHARE_DELETE : 0);
    HANDLE file = CreateFileA(path, GENERIC_READ, share, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES;
    CloseHandle(file);
    return true;
}

HANDLE ClaimUninstaller(DWORD waitMs, bool *busy)
{
    DWORD start = GetTickCount();
    for (;;) {
        HANDLE claim = KeepUninstallerClaim();
        DWORD error = GetLastError();
        // Made now: ours. NULL without access: another account's uninstaller
        // runs. NULL otherwise: no named mutexes (Win32s), nothing to claim.
        *busy = claim ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
        if (!*busy || GetTickCount() - start >= waitMs) {
            if (*busy && claim)
                CloseHandle(claim);
            return *busy ? NULL : claim;
        }
        if (claim)
            CloseHandle(claim);
        Sleep(kClaimPollMs);
    }
}

bool DeleteAtNextStart(const char *path)
{
    if (!g_bWinNT)
        return AddWininitDeletion(path);
    auto moveFileEx = LoadedDllFunction<MoveFileExProc>("kernel32.dll", "MoveFileExA");
    return moveFileEx && moveFileEx(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// This program is a copy in a copy folder of workFolder that holds nothing
// else: the only file "-copyof" may schedule for deletion.
static bool RunningAsCopy(const char *workFolder, char *self, size_t size)
{
    DWORD n = GetModuleFileNameA(NULL, self, DWORD(size));
    char *slash = n > 0 && n < size ? LastSeparator(self, false) : NULL;
    if (!slash || lstrcmpiA(slash + 1, UninstallerName()) != 0)
        return false;
    *slash = '\0';
    const char *name = LastSeparator(self, false);
    bool copy = name && IsCopyFolderName(name + 1) && FolderHoldsOnly(self, UninstallerName());
    char parent[MAX_PATH];
    if (copy && CopyText(parent, sizeof parent, self)) {
        parent[name - self] = '\0';
        copy = SamePath(parent, workFolder);
    }
    *slash = '\\';
    return copy;
}

void ScheduleOwnDeletion(const char *workFolder)
{
    char self[MAX_PATH];
    if (!workFolder || !RunningAsCopy(workFolder, self, sizeof self) || !DeleteAtNextStart(self))
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
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsCopyFolderName(found.cFileName) ||
        !JoinUnlessBackslash(copy, sizeof copy, folder, UninstallerName()))
        return true;
    // A copy that still runs cannot be deleted, and keeps its folder; only
    // an empty folder is removed.
    if (FolderHoldsOnly(folder, UninstallerName()))
        DeleteFileA(copy);
    RemoveDirectoryA(folder);
    return true;
}

void SweepUninstallerCopies(const char *workFolder, bool claimHeld)
{
    // Only while no other uninstaller runs: it may be between making its
    // copy and starting it.
    bool busy = false;
    HANDLE claim = claimHeld ? NULL : ClaimUninstaller(0, &busy);
    if (busy)
        return;
    ForEachFound(workFolder, "~zlr*.tmp", SweepCopyFolder, NULL);
    if (claim)
        CloseHandle(claim);
}
