// UI driver: finds the program's dialogs and message boxes on screen, reads
// their controls and works them the way a user would.
//
// Works in-process (a test calls a modal dialog function on its main thread
// while a Driver thread drives it) and across processes (setup.exe started
// with the harness: pass its process id). Every action is posted, never sent,
// because a button's handler may enter a modal loop of its own.
#ifndef ZELTRA_TESTS_UIDRIVER_H
#define ZELTRA_TESTS_UIDRIVER_H

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

namespace zt {

const DWORD kUiWait = 15000;  // ms a driver waits for a window by default

// Which top-level dialog to look for. Empty or zero fields match anything.
struct DialogQuery {
    std::string caption;     // the exact window text
    int controlId = 0;       // a control the dialog must contain
    DWORD processId = 0;     // 0: this process
    HWND except = NULL;      // not this one (say, the dialog below a new one)
};

// Visible dialog matching the query, or NULL.
HWND FindDialog(const DialogQuery &query);
// Waits for it; NULL after the time-out.
HWND WaitForDialog(const DialogQuery &query, DWORD timeoutMs = kUiWait);
// Waits until the window is gone. False after the time-out.
bool WaitForClose(HWND window, DWORD timeoutMs = kUiWait);
// Returns once the window's thread has handled everything posted so far and
// had a moment to paint.
void Settle(HWND window);

// Reading controls (by control id within the dialog).
std::string Text(HWND window);
std::string ControlText(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);
bool IsEnabled(HWND dialog, int id);
bool IsShown(HWND dialog, int id);      // its visible style bit
RECT ControlRect(HWND dialog, int id);  // pixels, in the dialog's client area
SIZE ClientSize(HWND dialog);           // pixels
// Pixels of the dialog's own font as dialog units (this process only).
RECT ToDialogUnits(HWND dialog, RECT pixels);

// Acting on controls.
bool SetControlText(HWND dialog, int id, const std::string &text);  // edit or combo box
bool SelectItem(HWND dialog, int id, const std::string &prefix);    // list or combo box, notifies
bool Click(HWND dialog, int id);       // BM_CLICK: toggles boxes, then BN_CLICKED
bool Command(HWND dialog, int id, int code = BN_CLICKED);  // WM_COMMAND from the control
bool PressKey(HWND dialog, UINT vk);   // key down and up to the focused control

// Message boxes (#32770 windows showing a text and buttons).
struct MessageBoxSeen {
    HWND window = NULL;
    std::string caption;
    std::string text;
    explicit operator bool() const { return window != NULL; }
};
// The first box whose text contains textPart ("" any), waiting for it.
MessageBoxSeen WaitForMessageBox(const std::string &textPart, DWORD processId = 0,
                                 DWORD timeoutMs = kUiWait);
// Waits for the box and answers it with IDOK, IDCANCEL, IDYES, IDNO, IDRETRY...
MessageBoxSeen AnswerMessageBox(const std::string &textPart, int button,
                                DWORD processId = 0, DWORD timeoutMs = kUiWait);

// Ends every dialog and message box the process shows (a test's safety net).
void CloseAllDialogs(DWORD processId = 0);

// The window as it is on screen, frame and caption included.
bool SaveWindowPicture(HWND window, const std::string &pngPath);

// A person at the keyboard and mouse: real X input on the tests' display,
// as xdotool arguments ("key Down Return"; "type 'text'" takes the rest).
bool XInput(const std::string &xdotool);
// Once the window is the foreground window, uncovered at its middle and
// painted (not one flat colour on screen), the pointer onto it and the
// actions; the screen saved first when a path is given.
bool TypeInto(HWND window, const std::string &actions, const std::string &pngPath = "");
// A mouse click on the control once it is painted and nothing covers it.
bool ClickWithMouse(HWND dialog, int id);
// A top-level window of any process with this title (a folder window).
HWND WaitForWindowTitled(const std::string &title, DWORD timeoutMs = kUiWait);
// WaitForMessageBox, then TypeInto the box.
MessageBoxSeen AnswerWithKeys(const std::string &textPart, const std::string &actions, DWORD processId,
                              DWORD timeoutMs = kUiWait, const std::string &pngPath = "");

// Runs a driving function on its own thread while the test's thread sits in
// a modal dialog. When the function fails a test assertion, whatever it left
// open is closed so the test does not hang. Join (or destruction) waits.
class Driver {
public:
    explicit Driver(std::function<void()> drive);
    ~Driver();
    void Join();
    Driver(const Driver &) = delete;
    Driver &operator=(const Driver &) = delete;

private:
    std::thread thread_;
};

}  // namespace zt

#endif
