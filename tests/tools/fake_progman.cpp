// A Program Manager stand-in for the tests: serves DDE "PROGMAN" / "PROGMAN",
// answers the "Groups" request with the bytes of a file (exactly, no zero
// added) and records every execute command it receives.
//
//   fake_progman.exe -ready EVENT -record FILE [-reply FILE] [-refuse] [-stall]
//
// Without -reply the request is refused. With -refuse every command is
// answered "not processed". With -stall its thread stops taking messages
// for a minute once ready (taken for hung only after five seconds). Each record line is "<bytes received> <text>".
// It ends on WM_QUIT posted to its thread, or by itself after ten minutes.
#include <windows.h>
#include <ddeml.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

DWORD g_inst = 0;
HSZ g_service = NULL, g_groups = NULL;
std::string g_reply, g_record;
bool g_hasReply = false, g_refuse = false, g_stall = false;

bool ReadWhole(const char *path, std::string *text)
{
    FILE *f = fopen(path, "rb");
    if (!f)
        return false;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        text->append(buffer, n);
    fclose(f);
    return true;
}

void Record(HDDEDATA data)
{
    DWORD size = DdeGetData(data, NULL, 0, 0);
    std::string bytes(size, '\0');
    if (size)
        DdeGetData(data, (BYTE *)&bytes[0], size, 0);
    std::string text = bytes.substr(0, bytes.find('\0'));
    FILE *f = fopen(g_record.c_str(), "ab");
    if (!f)
        return;
    fprintf(f, "%lu %s\n", (unsigned long)size, text.c_str());
    fclose(f);
}

HDDEDATA CALLBACK Serve(UINT type, UINT format, HCONV, HSZ hsz1, HSZ hsz2, HDDEDATA data,
                        ULONG_PTR, ULONG_PTR)
{
    switch (type) {
    case XTYP_CONNECT:
        return (HDDEDATA)(ULONG_PTR)(!DdeCmpStringHandles(hsz1, g_service) &&
                                     !DdeCmpStringHandles(hsz2, g_service));
    case XTYP_REQUEST:
        if (format != CF_TEXT || DdeCmpStringHandles(hsz2, g_groups) || !g_hasReply)
            return NULL;
        return DdeCreateDataHandle(g_inst, (BYTE *)g_reply.data(), DWORD(g_reply.size()), 0,
                                   hsz2, CF_TEXT, 0);
    case XTYP_EXECUTE:
        Record(data);
        return (HDDEDATA)(ULONG_PTR)(g_refuse ? DDE_FNOTPROCESSED : DDE_FACK);
    }
    return NULL;
}

// Wine's own desktop also serves "PROGMAN". A client connects to the first
// server that acknowledges, and the broadcast reaches top-level windows in
// z-order, topmost first: keeping this server's hidden windows topmost makes
// it answer first.
BOOL CALLBACK RaiseWindow(HWND window, LPARAM)
{
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return TRUE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const char *ready = NULL, *reply = NULL;
    for (int i = 1; i < __argc; ++i) {
        std::string arg = __argv[i];
        bool more = i + 1 < __argc;
        if (arg == "-ready" && more)
            ready = __argv[++i];
        else if (arg == "-record" && more)
            g_record = __argv[++i];
        else if (arg == "-reply" && more)
            reply = __argv[++i];
        else if (arg == "-refuse")
            g_refuse = true;
        else if (arg == "-stall")
            g_stall = true;
    }
    if (!ready || g_record.empty())
        return 2;
    if (reply && !(g_hasReply = ReadWhole(reply, &g_reply)))
        return 3;

    if (DdeInitializeA(&g_inst, Serve, APPCLASS_STANDARD | CBF_FAIL_ADVISES | CBF_FAIL_POKES |
                                           CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS, 0) != DMLERR_NO_ERROR)
        return 4;
    g_service = DdeCreateStringHandleA(g_inst, "PROGMAN", CP_WINANSI);
    g_groups = DdeCreateStringHandleA(g_inst, "Groups", CP_WINANSI);
    if (!DdeNameService(g_inst, g_service, NULL, DNS_REGISTER))
        return 5;
    EnumThreadWindows(GetCurrentThreadId(), RaiseWindow, 0);

    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, ready);
    if (event) {
        SetEvent(event);
        CloseHandle(event);
    }

    if (g_stall)
        Sleep(60 * 1000);
    SetTimer(NULL, 0, 10 * 60 * 1000, NULL);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        if (msg.message == WM_TIMER && !msg.hwnd)
            break;
        DispatchMessageA(&msg);
    }
    DdeNameService(g_inst, NULL, NULL, DNS_UNREGISTER);
    DdeFreeStringHandle(g_inst, g_service);
    DdeFreeStringHandle(g_inst, g_groups);
    DdeUninitialize(g_inst);
    return 0;
}
