// Numbered texts, FormatMessage-style templates, the log and the restart.
#ifndef ZELTRA_SHELL_MESSAGES_H
#define ZELTRA_SHELL_MESSAGES_H

#include <windows.h>

// Size of every buffer FormatMessageText writes into.
const int kFormatBufferSize = 1024;

// Loads message id into buffer; on a missing number the buffer holds
// "<id> DEBUG - Unable to load string", cut to fit. 1 loaded, 0 otherwise.
int LoadMessage(UINT id, char *buffer, int size);

// Fills a "%1!s!" / "%2!u!" template. Each insert is one machine word: a
// text pointer for !s!, a DWORD_PTR for !u!. Writes at most 1024 characters
// (a longer result is cut); returns the characters stored, 0 on failure.
DWORD FormatMessageText(char *buffer, const char *templ, ...);

// The log is written while this is set.
extern int g_bLogging;

// The log: setup.log in the current folder, or the file /log names.
extern char g_szLogFile[MAX_PATH];

// Appends "text\n" to the log while logging is on.
void LogLine(const char *text);

// LogLine with printf-style formatting, bounded to one 2048-character line.
void LogFormat(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Dispatches waiting messages; the status dialog gets its keys first.
int PumpMessages();

// True once PumpMessages has taken a quit request off the queue; when the
// running work returns, the program then ends, with the work's exit code.
extern BOOL g_bQuitRequested;
extern int g_nQuitCode;

// Exit codes of Setup and the uninstaller: the start-up failures, then the
// codes deployment tools know from Windows Installer.
enum ExitCode {
    kExitOk = 0,
    kExitNoWindow = 2,
    kExitTempUnusable = 3,
    kExitNoClass = -1,
    kExitCancelled = 1602,
    kExitFailed = 1603,
    kExitAlreadyRunning = 1618,
    kExitBadCommandLine = 1639,
    kExitRestartStarted = 1641,
    kExitRestartNeeded = 3010
};

// What the run's work came to, one of the codes above; the program ends
// with it once the work is done.
extern int g_nExitCode;

// Set when a restart is needed and accepted (or allowed in quiet mode).
extern int g_bRebootNeeded;

// Set when a replaced file waits for the next start of Windows, whether or
// not this run may restart it: the exit code says so.
extern int g_bRestartRequired;

// Asks Windows to restart (enabling the shutdown privilege on NT first).
// False when Windows refused.
bool RestartWindows();

#endif
