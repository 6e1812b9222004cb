#include "registry/registry.h"

#include <string.h>

#include "shell/messages.h"
#include "shell/options.h"
#include "shell/paths.h"
#include "shell/sysdll.h"

namespace {

const char kServerKey[] = "CLSID\\" ZL_CLASS_BASE "\\InProcServer32";

// Closes a registry key when it goes out of scope.
struct KeyHandle {
    HKEY key = NULL;
    ~KeyHandle()
    {
        if (key)
            RegCloseKey(key);
    }
};

// String values keep their terminating zero in the stored length.
bool SetString(HKEY key, const char *name, const char *value)
{
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value),
                          DWORD(strlen(value) + 1)) == ERROR_SUCCESS;
}

// The server path as default value, then the threading model. Only the
// first write decides the result.
int WriteServerValues(HKEY key, const char *serverPath)
{
    if (!SetString(key, NULL, serverPath))
        return 0;
    SetString(key, "ThreadingModel", "Apartment");
    return 1;
}

}  // namespace

int RegisterServerPath(const char *serverPath)
{
    int result = 0;
    {
        KeyHandle opened;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kServerKey, 0, KEY_SET_VALUE, &opened.key) == ERROR_SUCCESS)
            result = WriteServerValues(opened.key, serverPath);
    }
    if (!result) {
        // Missing, or not writable through the opened handle: create it.
        KeyHandle created;
        if (RegCreateKeyA(HKEY_CLASSES_ROOT, kServerKey, &created.key) == ERROR_SUCCESS)
            result = WriteServerValues(created.key, serverPath);
    }
    return result;
}

int WriteRegistryString(HKEY root, const char *keyPath, const char *subKey,
                        const char *valueName, const char *value)
{
    char path[1024];
    if (!CopyText(path, sizeof path, keyPath))
        return 0;
    if (subKey && (!AppendText(path, sizeof path, "\\") || !AppendText(path, sizeof path, subKey)))
        return 0;

    KeyHandle key;
    if (RegCreateKeyA(root, path, &key.key) != ERROR_SUCCESS)
        return 0;
    return value && SetString(key.key, valueName, value) ? 1 : 0;
}

int ReadRegistryString(HKEY root, const char *keyPath, const char *valueName,
                       const char *defaultText, char *buffer, DWORD bufferSize)
{
    if (!buffer || bufferSize == 0)
        return 0;
    KeyHandle key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, &key.key) != ERROR_SUCCESS)
        return 0;

    DWORD size = bufferSize;
    LONG rc = RegQueryValueExA(key.key, valueName, NULL, NULL, reinterpret_cast<BYTE *>(buffer), &size);
    // Values stored without their zero (run-once commands) are terminated
    // here; one that fills the whole buffer without a zero does not fit.
    if (rc == ERROR_SUCCESS && size < bufferSize) {
        buffer[size] = '\0';
        return 1;
    }
    if (rc == ERROR_SUCCESS && buffer[bufferSize - 1] == '\0')
        return 1;
    if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA)
        buffer[0] = '\0';   // whatever was read is cut and unusable
    if (defaultText)
        CopyText(buffer, bufferSize, defaultText);
    return 0;
}

bool SkippedWithoutMachineKeys(const char *step)
{
    if (!RunningOnWin32s())
        return false;
    LogFormat("%s not written: Win32s has no registry but HKEY_CLASSES_ROOT.", step);
    return true;
}

int FileIsReadable(const char *folder, const char *fileName)
{
    char path[512];
    if (!JoinAlways(path, sizeof path, folder, fileName))
        return 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    CloseHandle(file);
    return 1;
}
