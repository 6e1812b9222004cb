#include "flow/startup.h"

#include <string.h>

#include "fileops/extract.h"
#include "fileops/szdd.h"
#include "flow/driver.h"
#include "removal/uninstaller_copy.h"
#include "resource.h"
#include "shell/catalogue.h"
#include "shell/cmdline.h"
#include "shell/folders.h"
#include "shell/messages.h"
#include "shell/options.h"
#include "shell/paths.h"
#include "shell/progress.h"
#include "shell/sysdll.h"
#include "shell/trace.h"
#include "shell/workfolder.h"


static const char kClassName[] = "ZTInstal";
static const char kWindowTitle[] = "ZELTRA Pro Install (32)";
static const DWORD kMainWindowStyle = 0x02C80000;  // clip children, caption, system menu
static const COLORREF kBackground = RGB(0, 128, 128);

static HBITMAP s_productBitmap;
static HBITMAP s_logoBitmap;
static BOOL s_setupRunning;
static BOOL s_setupDone;

// The scratch file. A run that is killed leaves it in the temporary folder,
// so each run claims its name with a mutex named after the file's path; the
// system drops the mutex with the process, however it ends. At start-up a
// scratch file whose mutex is gone is an earlier run's and is deleted, but
// only while it is empty and nobody has it open, as Setup leaves it: other
// programs may use the same prefix for files of their own. One whose mutex
// exists belongs to a copy still running. Where there are no named mutexes
// (Win32s) nothing is claimed and nothing is swept.
static const char kScratchPrefix[] = "ZLT";

// The mutex name of an existing file: the same for every spelling of its
// path (short or long, any case); mutex names have no "\".
static bool ScratchClaimName(char *name, size_t size, const char *path)
{
    char shortPath[MAX_PATH];
    DWORD n = ShortPathName(path, shortPath, sizeof shortPath);
    if (!FormatText(name, size, "ZeltraScratch:%s", n > 0 && n < sizeof shortPath ? shortPath : path))
        return false;
    CharUpperA(name);
    for (char *p = name; *p; ++p)
        if (*p == '\\')
            *p = '/';
    return true;
}

// Creates the scratch file in folder and claims it. NULL claim: unclaimed.
static bool ClaimScratchFile(const char *folder, char *path, HANDLE *claim)
{
    *claim = NULL;
    for (int attempt = 0; attempt < 10; ++attempt) {
        // Wine also reports a name it could not create (a read-only folder).
        if (GetTempFileNameA(folder, kScratchPrefix, 0, path) == 0 || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
            return false;
        char name[MAX_PATH];
        if (!ScratchClaimName(name, sizeof name, path))
            return true;
        *claim = CreateMutexA(NULL, FALSE, name);
        if (!*claim || GetLastError() != ERROR_ALREADY_EXISTS)
            return true;
        // A running copy has this name and has no file under it just now:
        // the new empty file is left to it.
        CloseHandle(*claim);
        *claim = NULL;
    }
    return false;
}

// What Setup leaves in a scratch file it did not finish with: nothing, or
// the start of a payload file, which begins with the SZDD signature. Opened
// without sharing: fails while anyone has the file open.
static bool StaleScratchContent(const char *path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    unsigned char head[kSzddMagicSize];
    DWORD got = 0;
    bool read = ReadFile(file, head, sizeof head, &got, NULL) != 0;
    CloseHandle(file);
    return read && (got == 0 || (got == sizeof head && memcmp(head, kSzddMagic, sizeof head) == 0));
}

// Deletes a scratch file whose owner has ended and left it stale.
static bool SweepIfStale(const char *path, const WIN32_FIND_DATAA &found, const void *)
{
    char name[MAX_PATH];
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsTempName(found.cFileName, kScratchPrefix) ||
        !ScratchClaimName(name, sizeof name, path))
        return true;
    HANDLE owner = OpenMutexA(SYNCHRONIZE, FALSE, name);
    if (owner)
        CloseHandle(owner);
    else if (GetLastError() == ERROR_FILE_NOT_FOUND && StaleScratchContent(path))
        DeleteFileA(path);
    return true;
}

static void SweepStaleScratchFiles(const char *folder)
{
    ForEachFound(folder, "ZLT*.tmp", SweepIfStale, NULL);
}

// The work folder with exactly one trailing backslash.
static void EndWithBackslash(char *folder, size_t size)
{
    if (!EndsWithSeparator(folder, false))
        AppendText(folder, size, "\\");
}

RECT MainWindowRect(const RECT &desktop)
{
    int width = (desktop.right - desktop.left) / 5 * 4;
    int height = (desktop.bottom - desktop.top) / 5 * 4;
    if (width < 600)
        width = 600;
    if (height < 400)
        height = 400;
    RECT r;
    r.left = (desktop.right - width) / 2;
    r.top = (desktop.bottom - height) / 2;
    r.right = r.left + width;
    r.bottom = r.top + height;
    return r;
}

int RemoveTempFiles()
{
    char folder[256];
    WorkFolderSource source = kWorkFolderTemp;
    if (!GetWorkFolder(folder, sizeof folder, &source))
        return 0;
    EndWithBackslash(folder, sizeof folder);
    // The program's own folder may hold the user's install.ini.
    for (int i = 0; source != kWorkFolderProgram && i < kPayloadResourceCount; ++i) {
        char path[MAX_PATH];
        if (JoinUnlessBackslash(path, sizeof path, folder, g_payloadResources[i].tempName))
            DeleteFileA(path);
    }
    char scratch[MAX_PATH];
    if (g_szTempName[0] && JoinUnlessBackslash(scratch, sizeof scratch, folder, g_szTempName))
        DeleteFileA(scratch);
    return 0;
}

static void BlitBitmap(HDC target, HDC memory, HBITMAP bitmap, int x, int y)
{
    BITMAP info;
    GetObjectA(bitmap, sizeof info, &info);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(target, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
}

int PaintBackground(HWND window)
{
    if (g_bSilent)
        return 0;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (!dc)
        return 0;
    RECT client;
    GetClientRect(window, &client);
    HDC memory = CreateCompatibleDC(dc);
    if (memory) {
        if (s_productBitmap)
            BlitBitmap(dc, memory, s_productBitmap, 10, 10);
        if (s_logoBitmap) {
            BITMAP logo;
            GetObjectA(s_logoBitmap, sizeof logo, &logo);
            BlitBitmap(dc, memory, s_logoBitmap, client.right - logo.bmWidth, client.bottom - logo.bmHeight);
        }
        DeleteDC(memory);
    }
    EndPaint(window, &ps);
    return 0;
}

static void RunStartCommand(HWND window)
{
    s_setupRunning = TRUE;
    RunSetup(window, nV, nM);
    ZL_MARK("exit");
    s_setupRunning = FALSE;
    RemoveTempFiles();
    if (g_bRebootNeeded && (!g_bSilent || g_bAllowReboot))
        g_nExitCode = RestartWindows() ? kExitRestartStarted : kExitRestartNeeded;
    LogFormat("Exit code %d", g_nExitCode);
    s_setupDone = TRUE;
    // A quit request the work took off the queue still ends the program,
    // with the code just logged.
    if (g_bQuitRequested)
        PostQuitMessage(g_nExitCode);
    else
        PostMessageA(window, WM_CLOSE, 0, 0);
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        s_logoBitmap = LoadBitmapA(g_hInstance, "MARLQUIN");
        LoadDescriptions();
        s_productBitmap = LoadBitmapA(g_hInstance, "ZT_BMP");
        return 0;
    case WM_PAINT:
        return PaintBackground(window);
    case WM_COMMAND:
        if (LOWORD(wParam) == IDM_START && !s_setupRunning)
            RunStartCommand(window);
        return 0;
    case WM_CLOSE:
        if (s_setupRunning) {
            // Closing mid-way: stop the work after the current file, so the
            // user still gets the outcome; the window closes afterwards.
            g_bCancel = 1;
            return 0;
        }
        PostQuitMessage(g_nExitCode);
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_DESTROY:
        if (s_productBitmap)
            DeleteObject(s_productBitmap);
        if (s_logoBitmap)
            DeleteObject(s_logoBitmap);
        s_productBitmap = s_logoBitmap = NULL;
        return DefWindowProcA(window, message, wParam, lParam);
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

static int ReportStartupFailure(UINT messageId, const char *insert, int exitCode)
{
    char templ[256], text[kFormatBufferSize];
    LoadMessage(messageId, templ, sizeof templ);
    if (insert)
        FormatMessageText(text, templ, insert);
    else
        CopyText(text, sizeof text, templ);
    if (g_bSilent)
        LogLine(text);
    else
        MessageBoxA(NULL, text, NULL, MB_ICONWARNING);
    return exitCode;
}

// The temporary folder as the "A" calls give it, for messages.
static void TempFolderText(char *text, DWORD size)
{
    DWORD n = GetTempPathA(size, text);
    if (n == 0 || n >= size)
        CopyText(text, size, "(none)");
}

// Why the work folder is not the temporary folder. Logged once the folder
// is current and the options are read: the log is written there.
static void LogWorkFolder(WorkFolderSource source, const char *folder)
{
    static const char *const kWhy[] = {
        NULL,
        "the temporary folder by its short name",
        "TEMP in the Windows folder",
        "the program's folder",
    };
    if (source == kWorkFolderTemp)
        return;
    char temp[MAX_PATH];
    TempFolderText(temp, sizeof temp);
    LogFormat("Work folder \"%s\": %s, as the temporary folder \"%s\" does not exist%s.", folder, kWhy[source],
              temp, source == kWorkFolderProgram ? ", nor TEMP in the Windows folder" : "");
}

static bool RegisterMainClass()
{
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_BYTEALIGNWINDOW;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = g_hInstance;
    wc.hIcon = LoadIconA(g_hInstance, "APP_MAIN");
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = CreateSolidBrush(kBackground);
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc) != 0;
}

int RunProgram(HINSTANCE instance, const char *args)
{
    ZL_MARK("startup");
    // Before anything can load a DLL: none from this folder or the current one.
    RestrictDllSearch();
    g_hInstance = instance;
    // Relative paths in it are the caller's, so before the folder changes.
    ReadCommandLine(args);

    // The temporary folder is the work folder and the current directory for
    // the whole run. It becomes current only once it takes a file: a
    // failure is logged in the folder the program was started from.
    char folder[256];
    char scratch[MAX_PATH] = "";
    g_szTempName[0] = '\0';
    WorkFolderSource source = kWorkFolderTemp;
    HANDLE claim = NULL;   // held until the process ends
    bool workFolderOk = GetWorkFolder(folder, sizeof folder, &source) && ClaimScratchFile(folder, scratch, &claim);
    if (workFolderOk && !SetCurrentDirectoryA(folder)) {
        DeleteFileA(scratch);
        workFolderOk = false;
    }
    if (workFolderOk) {
        const char *slash = LastSeparator(scratch, false);
        CopyText(g_szTempName, sizeof g_szTempName, slash ? slash + 1 : scratch);
        if (claim)
            SweepStaleScratchFiles(folder);
        SweepUninstallerCopies(folder);
        EndWithBackslash(folder, sizeof folder);
        // Not over an install.ini beside the program: its folder is the work
        // folder only as the last resort.
        if (source != kWorkFolderProgram)
            ExtractPayload(g_hInstance, kPayloadInstallIni, folder, "Install.ini");
    }

    g_szLine1[0] = '\0';
    g_szLine2[0] = '\0';
    ReadInstallOptions();
    DetectPlatform();

    int exitCode;
    if (AnswerCommandLine(g_bSilent != 0, &exitCode)) {
        if (workFolderOk)
            RemoveTempFiles();
        return exitCode;
    }
    if (!workFolderOk) {
        char shown[MAX_PATH];
        TempFolderText(shown, sizeof shown);
        return ReportStartupFailure(MSG_TEMP_UNUSABLE, shown, kExitTempUnusable);
    }
    LogWorkFolder(source, folder);

    if (!RegisterMainClass()) {
        RemoveTempFiles();
        return ReportStartupFailure(MSG_CLASS_FAILED, NULL, kExitNoClass);
    }

    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    RECT r = MainWindowRect(desktop);
    g_hwndMain = CreateWindowExA(0, kClassName, kWindowTitle, kMainWindowStyle,
                                 r.left, r.top, r.right - r.left, r.bottom - r.top,
                                 NULL, NULL, g_hInstance, NULL);
    if (!g_hwndMain) {
        RemoveTempFiles();
        return ReportStartupFailure(MSG_WINDOW_FAILED, NULL, kExitNoWindow);
    }

    if (!g_bSilent)
        ShowWindow(g_hwndMain, SW_SHOWNORMAL);
    PostMessageA(g_hwndMain, WM_COMMAND, IDM_START, 0);

    MSG msg;
    memset(&msg, 0, sizeof msg);
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        if (g_hwndStatus && IsDialogMessageA(g_hwndStatus, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    ZL_MARK("ended");
    // A quit request of its own, picked up after the work, ends the loop too.
    return s_setupDone ? g_nExitCode : int(msg.wParam);
}
