#include "uidriver.h"

#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "png.h"

namespace zt {

namespace {

const DWORD kPollMs = 50;
const UINT kSendTimeoutMs = 5000;

DWORD ProcessOrSelf(DWORD processId)
{
    return processId ? processId : GetCurrentProcessId();
}

bool IsDialogWindow(HWND window)
{
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    return lstrcmpA(name, "#32770") == 0;
}

DWORD ProcessOf(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

// Visible top-level dialogs of one process, topmost first.
std::vector<HWND> Dialogs(DWORD processId)
{
    struct Search {
        DWORD pid;
        std::vector<HWND> found;
    } search{ProcessOrSelf(processId), {}};
    EnumWindows([](HWND window, LPARAM data) CALLBACK -> BOOL {
        Search *s = reinterpret_cast<Search *>(data);
        if (IsWindowVisible(window) && IsDialogWindow(window) && ProcessOf(window) == s->pid)
            s->found.push_back(window);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool Matches(HWND dialog, const DialogQuery &query)
{
    if (dialog == query.except)
        return false;
    if (!query.caption.empty() && Text(dialog) != query.caption)
        return false;
    return query.controlId == 0 || GetDlgItem(dialog, query.controlId) != NULL;
}

LRESULT SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
    return LRESULT(result);
}

// The texts of a message box's static controls, joined by new lines.
std::string StaticTexts(HWND box)
{
    std::string all;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[16] = "";
        GetClassNameA(child, name, sizeof name);
        if (lstrcmpiA(name, "Static") != 0)
            continue;
        std::string text = Text(child);
        if (text.empty())
            continue;
        if (!all.empty())
            all += "\n";
        all += text;
    }
    return all;
}

// A message box has the icon control of the system's template (stc1) and
// nothing to type into or choose from, unlike the Open dialog that shares it.
bool IsMessageBox(HWND dialog)
{
    if (!GetDlgItem(dialog, 1088))
        return false;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[16] = "";
        GetClassNameA(child, name, sizeof name);
        if (lstrcmpiA(name, "Edit") == 0 || lstrcmpiA(name, "ListBox") == 0 ||
            lstrcmpiA(name, "ComboBox") == 0)
            return false;
    }
    return true;
}

template <typename Found>
auto Poll(DWORD timeoutMs, Found find) -> decltype(find())
{
    DWORD start = GetTickCount();
    for (;;) {
        auto found = find();
        if (found || GetTickCount() - start >= timeoutMs)
            return found;
        Sleep(kPollMs);
    }
}

// On screen as more than one flat colour.
bool Painted(const RECT &area)
{
    std::vector<unsigned char> rgb;
    return SaveScreenArea(area, "", &rgb) && rgb.size() > 3 && !std::equal(rgb.begin() + 3, rgb.end(), rgb.begin());
}

POINT Middle(const RECT &r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

std::string MoveTo(const RECT &r)
{
    return "mousemove " + std::to_string(Middle(r).x) + " " + std::to_string(Middle(r).y) + " ";
}

}  // namespace

HWND FindDialog(const DialogQuery &query)
{
    for (HWND dialog : Dialogs(query.processId))
        if (Matches(dialog, query))
            return dialog;
    return NULL;
}

HWND WaitForDialog(const DialogQuery &query, DWORD timeoutMs)
{
    HWND dialog = Poll(timeoutMs, [&] { return FindDialog(query); });
    if (dialog)
        Settle(dialog);
    return dialog;
}

bool WaitForClose(HWND window, DWORD timeoutMs)
{
    return Poll(timeoutMs, [&] { return !IsWindow(window); });
}

void Settle(HWND window)
{
    SendWithTimeout(window, WM_NULL, 0, 0);
    Sleep(150);
    SendWithTimeout(window, WM_NULL, 0, 0);
}

std::string Text(HWND window)
{
    // WM_GETTEXT, not GetWindowText: an edit box of another process keeps its
    // text to itself, and only the message reaches it.
    char text[2048] = "";
    DWORD_PTR copied = 0;
    if (window)
        SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                            SMTO_ABORTIFHUNG, 5000, &copied);
    text[sizeof text - 1] = '\0';
    return text;
}

std::string ControlText(HWND dialog, int id)
{
    return Text(GetDlgItem(dialog, id));
}

bool IsChecked(HWND dialog, int id)
{
    return SendWithTimeout(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool IsEnabled(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    return control && IsWindowEnabled(control);
}

bool IsShown(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    return control && (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

RECT ControlRect(HWND dialog, int id)
{
    RECT r{};
    HWND control = GetDlgItem(dialog, id);
    if (!control)
        return r;
    GetWindowRect(control, &r);
    MapWindowPoints(NULL, dialog, reinterpret_cast<POINT *>(&r), 2);
    return r;
}

SIZE ClientSize(HWND dialog)
{
    RECT r{};
    GetClientRect(dialog, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

RECT ToDialogUnits(HWND dialog, RECT pixels)
{
    // MapDialogRect of a 400 x 800 unit rectangle gives the font's scale
    // without the rounding of a single unit.
    RECT scale{0, 0, 400, 800};
    MapDialogRect(dialog, &scale);
    auto x = [&](LONG v) { return LONG((v * 400 + scale.right / 2) / scale.right); };
    auto y = [&](LONG v) { return LONG((v * 800 + scale.bottom / 2) / scale.bottom); };
    if (scale.right == 0 || scale.bottom == 0)
        return RECT{};
    return RECT{x(pixels.left), y(pixels.top), x(pixels.right), y(pixels.bottom)};
}

bool SetControlText(HWND dialog, int id, const std::string &text)
{
    HWND control = GetDlgItem(dialog, id);
    return control && SendWithTimeout(control, WM_SETTEXT, 0, LPARAM(text.c_str())) != 0;
}

bool SelectItem(HWND dialog, int id, const std::string &prefix)
{
    HWND control = GetDlgItem(dialog, id);
    if (!control)
        return false;
    char name[16] = "";
    GetClassNameA(control, name, sizeof name);
    bool combo = lstrcmpiA(name, "ComboBox") == 0;
    UINT find = combo ? CB_FINDSTRING : LB_FINDSTRING;
    UINT select = combo ? CB_SETCURSEL : LB_SETCURSEL;
    LRESULT index = SendWithTimeout(control, find, WPARAM(-1), LPARAM(prefix.c_str()));
    if (index < 0)
        return false;
    SendWithTimeout(control, select, WPARAM(index), 0);
    return Command(dialog, id, combo ? CBN_SELCHANGE : LBN_SELCHANGE);
}

bool Click(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    return control && PostMessageA(control, BM_CLICK, 0, 0);
}

bool Command(HWND dialog, int id, int code)
{
    HWND control = GetDlgItem(dialog, id);
    return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, code), LPARAM(control));
}

bool PressKey(HWND dialog, UINT vk)
{
    // Keys go where the dialog's thread has its focus; the dialog's message
    // loop (IsDialogMessage) turns Enter and Esc into commands.
    GUITHREADINFO info;
    info.cbSize = sizeof info;
    HWND target = dialog;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, NULL), &info) && info.hwndFocus)
        target = info.hwndFocus;
    LPARAM scan = LPARAM(MapVirtualKeyA(vk, 0)) << 16;
    return PostMessageA(target, WM_KEYDOWN, vk, scan | 1) &&
           PostMessageA(target, WM_KEYUP, vk, scan | 1 | 0xC0000000);
}

MessageBoxSeen WaitForMessageBox(const std::string &textPart, DWORD processId, DWORD timeoutMs)
{
    auto find = [&]() -> MessageBoxSeen {
        MessageBoxSeen seen;
        for (HWND box : Dialogs(processId)) {
            std::string text = StaticTexts(box);
            if (IsMessageBox(box) && text.find(textPart) != std::string::npos) {
                seen.window = box;
                seen.caption = Text(box);
                seen.text = text;
                break;
            }
        }
        return seen;
    };
    MessageBoxSeen seen = Poll(timeoutMs, find);
    if (seen)
        Settle(seen.window);
    return seen;
}

MessageBoxSeen AnswerMessageBox(const std::string &textPart, int button, DWORD processId,
                                DWORD timeoutMs)
{
    MessageBoxSeen seen = WaitForMessageBox(textPart, processId, timeoutMs);
    if (seen)
        Command(seen.window, button);
    return seen;
}

void CloseAllDialogs(DWORD processId)
{
    static const int kEndings[] = {IDCANCEL, IDOK, IDNO};
    for (int round = 0; round < 40; ++round) {
        std::vector<HWND> open = Dialogs(processId);
        if (open.empty())
            return;
        for (HWND dialog : open) {
            Command(dialog, kEndings[round % 3]);
            if (round >= 3)
                PostMessageA(dialog, WM_CLOSE, 0, 0);
        }
        Sleep(250);
    }
}

bool SaveWindowPicture(HWND window, const std::string &pngPath)
{
    RECT r;
    return GetWindowRect(window, &r) && SaveScreenArea(r, pngPath);
}

bool XInput(const std::string &xdotool)
{
    // Wine starts a Unix program from its Z: path but gives no process handle
    // back: the shell leaves xdotool's exit code in a file.
    static int calls = 0;
    std::string done = "/tmp/zt-xinput-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++calls);
    std::string line = "sh -c \"/usr/bin/xdotool " + xdotool + "; echo $? >" + done + "\"", code;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA("Z:\\bin\\sh", &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return false;
    std::replace(done.begin(), done.end(), '/', '\\');
    Poll(kUiWait, [&] { return !(code = ReadFileText("Z:" + done)).empty(); });
    DeleteFileA(("Z:" + done).c_str());
    return code.rfind("0", 0) == 0;
}

bool TypeInto(HWND window, const std::string &actions, const std::string &pngPath)
{
    RECT r{};
    bool front = Poll(kUiWait, [&] {
        HWND seen = GetWindowRect(window, &r) ? WindowFromPoint(Middle(r)) : NULL;
        return GetForegroundWindow() == window && (seen == window || IsChild(window, seen)) && Painted(r);
    });
    return front && (pngPath.empty() || SaveScreenshot(pngPath)) && XInput(MoveTo(r) + actions);
}

bool ClickWithMouse(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    RECT r{};
    return Poll(kUiWait, [&] {
        return GetWindowRect(control, &r) && WindowFromPoint(Middle(r)) == control && Painted(r);
    }) && XInput(MoveTo(r) + "click 1");
}

HWND WaitForWindowTitled(const std::string &title, DWORD timeoutMs)
{
    return Poll(timeoutMs, [&] { return FindWindowA(NULL, title.c_str()); });
}

MessageBoxSeen AnswerWithKeys(const std::string &textPart, const std::string &actions, DWORD processId,
                              DWORD timeoutMs, const std::string &pngPath)
{
    MessageBoxSeen seen = WaitForMessageBox(textPart, processId, timeoutMs);
    if (seen && !TypeInto(seen.window, actions, pngPath))
        seen.window = NULL;
    return seen;
}

Driver::Driver(std::function<void()> drive)
    : thread_([drive] {
          drive();
          if (testing::Test::HasFailure())
              CloseAllDialogs();
      })
{
}

Driver::~Driver()
{
    Join();
}

void Driver::Join()
{
    if (thread_.joinable())
        thread_.join();
}

}  // namespace zt
