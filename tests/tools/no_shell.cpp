// Runs a command line in a window station of its own, where no shell runs
// (as in session 0, or under a deployment tool), and ends with its exit code.
//
//   no_shell.exe COMMAND LINE...
//
// It switches to the station itself: a child that never loads user32 would
// otherwise stay in the visible one.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR args, int)
{
    HWINSTA station = CreateWindowStationA("ztnoshell", 0, WINSTA_ALL_ACCESS, NULL);
    if (!station || !SetProcessWindowStation(station))
        return 90;
    HDESK desktop = CreateDesktopA("Default", NULL, NULL, 0, GENERIC_ALL, NULL);
    if (!desktop || !SetThreadDesktop(desktop))
        return 91;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.lpDesktop = const_cast<char *>("ztnoshell\\Default");
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(NULL, args, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return 92;
    DWORD code = 93;
    WaitForSingleObject(pi.hProcess, INFINITE);
    GetExitCodeProcess(pi.hProcess, &code);
    return int(code);
}
