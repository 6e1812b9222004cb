// One stand-in library of the product (ZL_NAME is its file name). Every
// export logs its call. ZL_KIND selects the registry entries it owns:
// 0 none, 1 the Explorer-interface namespace class (its registration needs
// the companion zlnsext.dll, loaded by bare name), 2 the browser helper.
#include <windows.h>

#include "calllog.h"

#ifndef ZL_KIND
#define ZL_KIND 0
#endif

static HINSTANCE s_module;

// SELFREG_E_CLASS: the class could not be registered.
static const HRESULT kClassRegistrationFailed = (HRESULT)0x80040201L;

// Registry entries of this library: created by the register calls, removed
// by DllUnregisterServer.
struct OwnedKey {
    HKEY root;
    const char *key;
    const char *name;      // value name, NULL for the default value
    const char *value;     // NULL: the module's own path
};

#if ZL_KIND == 1
static const OwnedKey kRegisterKeys[] = {
    {HKEY_CLASSES_ROOT, "CLSID\\{7A6E1C40-2B91-11D1-8F3A-00A0C95E1D01}", NULL, "ZELTRA Pro Explorer"},
    {HKEY_CLASSES_ROOT, "CLSID\\{7A6E1C40-2B91-11D1-8F3A-00A0C95E1D01}\\InprocServer32", NULL, NULL},
    {HKEY_CLASSES_ROOT, "CLSID\\{7A6E1C40-2B91-11D1-8F3A-00A0C95E1D01}\\InprocServer32", "ThreadingModel", "Apartment"},
};
static const char *const kRemoveKeys[] = {
    "CLSID\\{7A6E1C40-2B91-11D1-8F3A-00A0C95E1D01}\\InprocServer32",
    "CLSID\\{7A6E1C40-2B91-11D1-8F3A-00A0C95E1D01}",
};
#elif ZL_KIND == 2
static const OwnedKey kRegisterKeys[] = {
    {HKEY_CLASSES_ROOT, "CLSID\\{7A6E1C41-2B91-11D1-8F3A-00A0C95E1D02}", NULL, "ZELTRA Browser Helper"},
    {HKEY_CLASSES_ROOT, "CLSID\\{7A6E1C41-2B91-11D1-8F3A-00A0C95E1D02}\\InprocServer32", NULL, NULL},
    {HKEY_CLASSES_ROOT, "CLSID\\{7A6E1C41-2B91-11D1-8F3A-00A0C95E1D02}\\InprocServer32", "ThreadingModel", "Apartment"},
};
static const char *const kRemoveKeys[] = {
    "CLSID\\{7A6E1C41-2B91-11D1-8F3A-00A0C95E1D02}\\InprocServer32",
    "CLSID\\{7A6E1C41-2B91-11D1-8F3A-00A0C95E1D02}",
};
static const char kExplorerBhoKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\"
    "{7A6E1C41-2B91-11D1-8F3A-00A0C95E1D02}";
static const char kNetscapeKey[] = "Software\\Netscape\\Netscape Navigator\\Viewers";
static const char kNetscapeValue[] = "application/x-zeltra-ftp";
#endif

static void Log(const char *exportName, bool failed)
{
    char line[256] = ZL_NAME " ";
    AppendToLine(line, sizeof line, exportName);
    if (failed)
        AppendToLine(line, sizeof line, " E_FAIL");
    AppendCallLog(line);
}

// True when ZELTRA_FAIL_REGISTER (comma-separated file names) names us.
static bool RegistrationMustFail()
{
    char list[1024];
    DWORD n = GetEnvironmentVariableA("ZELTRA_FAIL_REGISTER", list, sizeof list);
    if (n == 0 || n >= sizeof list)
        return false;
    for (char *item = list; item;) {
        char *comma = strchr(item, ',');
        if (comma)
            *comma = '\0';
        while (*item == ' ')
            ++item;
        char *end = item + strlen(item);
        while (end > item && end[-1] == ' ')
            *--end = '\0';
        if (lstrcmpiA(item, ZL_NAME) == 0)
            return true;
        item = comma ? comma + 1 : NULL;
    }
    return false;
}

[[maybe_unused]] static bool SetText(HKEY root, const char *key, const char *name, const char *value)
{
    HKEY h;
    if (RegCreateKeyExA(root, key, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &h, NULL) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(h, name, 0, REG_SZ, (const BYTE *)value, (DWORD)strlen(value) + 1);
    RegCloseKey(h);
    return rc == ERROR_SUCCESS;
}

#if ZL_KIND != 0
static bool WriteOwnedKeys()
{
    char path[MAX_PATH];
    if (!GetModuleFileNameA(s_module, path, sizeof path))
        return false;
    for (const OwnedKey &k : kRegisterKeys)
        if (!SetText(k.root, k.key, k.name, k.value ? k.value : path))
            return false;
    return true;
}
#endif

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        s_module = module;
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer()
{
    if (RegistrationMustFail()) {
        Log("DllRegisterServer", true);
        return E_FAIL;
    }
#if ZL_KIND == 1
    // Like the real interface DLL: its namespace part is a companion in its
    // own folder, loaded by bare name while it registers.
    HMODULE companion = LoadLibraryA("zlnsext.dll");
    if (!companion) {
        AppendCallLog(ZL_NAME " DllRegisterServer no zlnsext.dll");
        return kClassRegistrationFailed;
    }
    FreeLibrary(companion);
#endif
    Log("DllRegisterServer", false);
#if ZL_KIND != 0
    if (!WriteOwnedKeys())
        return kClassRegistrationFailed;
#endif
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer()
{
    Log("DllUnregisterServer", false);
#if ZL_KIND != 0
    for (const char *key : kRemoveKeys)
        RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
#endif
#if ZL_KIND == 2
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kExplorerBhoKey);
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kNetscapeKey, 0, KEY_ALL_ACCESS, &h) == ERROR_SUCCESS) {
        RegDeleteValueA(h, kNetscapeValue);
        RegCloseKey(h);
    }
#endif
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT WINAPI AddNetscapeBhoKey()
{
    Log("AddNetscapeBhoKey", false);
#if ZL_KIND == 2
    char path[MAX_PATH];
    if (GetModuleFileNameA(s_module, path, sizeof path))
        SetText(HKEY_LOCAL_MACHINE, kNetscapeKey, kNetscapeValue, path);
#endif
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT WINAPI AddExplorerBhoKey()
{
    Log("AddExplorerBhoKey", false);
#if ZL_KIND == 2
    SetText(HKEY_LOCAL_MACHINE, kExplorerBhoKey, NULL, "ZELTRA Browser Helper");
#endif
    return S_OK;
}
