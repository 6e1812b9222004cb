#include "harness.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>

#include <tlhelp32.h>

#include "png.h"

namespace zt {

std::string ExeDir()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, sizeof path);
    char *slash = strrchr(path, '\\');
    if (slash)
        *slash = '\0';
    return path;
}

// ZT_SETUP_EXE runs the same tests on another image of the program (a signed copy).
std::string SetupExe()
{
    const char *other = getenv("ZT_SETUP_EXE");
    return other && *other ? other : ExeDir() + "\\setup.exe";
}

bool FileExists(const std::string &path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::string &path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadFileText(const std::string &path)
{
    std::string text;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return text;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, n);
    fclose(f);
    return text;
}

bool WriteFileText(const std::string &path, const std::string &text)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    return fclose(f) == 0 && ok;
}

bool CopyFileTo(const std::string &from, const std::string &to)
{
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

std::vector<std::string> ListDir(const std::string &folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (strcmp(fd.cFileName, ".") && strcmp(fd.cFileName, ".."))
            names.push_back(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

void RemoveTree(const std::string &path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES)
        return;
    if (a & FILE_ATTRIBUTE_DIRECTORY) {
        for (const std::string &name : ListDir(path))
            RemoveTree(path + "\\" + name);
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveDirectoryA(path.c_str());
    } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
}

std::string FreshDir(const std::string &name)
{
    CreateDirectoryA("C:\\zt", NULL);
    std::string dir = "C:\\zt\\" + name;
    RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), NULL);
    return dir;
}

std::string PayloadSumsRecord(const char *name, const std::string &bytes)
{
    DWORD crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    std::string record(name);
    record.resize(16, '\0');
    for (DWORD v : {DWORD(bytes.size()), ~crc})
        for (int shift = 0; shift < 32; shift += 8)
            record += char((v >> shift) & 0xff);
    return record;
}

std::vector<std::string> ReadLines(const std::string &path)
{
    std::vector<std::string> lines;
    std::string text = ReadFileText(path), line;
    for (char c : text) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

std::string WinIni(const char *section, const char *key, const char *fallback)
{
    char value[4096];
    GetProfileStringA(section, key, fallback, value, sizeof value);
    return value;
}

void ClearWinIniSection(const char *section)
{
    WriteProfileStringA(section, NULL, NULL);
}

bool RegKeyExists(HKEY root, const std::string &key)
{
    HKEY h;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

bool RegValue(HKEY root, const std::string &key, const char *name, std::string *data, DWORD *type, DWORD *bytes)
{
    HKEY h;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    char buffer[4096];
    DWORD size = sizeof buffer - 1, t = 0;
    LONG rc = RegQueryValueExA(h, name, NULL, &t, reinterpret_cast<BYTE *>(buffer), &size);
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS)
        return false;
    buffer[size] = '\0';
    if (data)
        data->assign(buffer, strnlen(buffer, size));
    if (type)
        *type = t;
    if (bytes)
        *bytes = size;
    return true;
}

void RegDeleteTreeAll(HKEY root, const std::string &key)
{
    HKEY h;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS, &h) == ERROR_SUCCESS) {
        char sub[256];
        while (RegEnumKeyA(h, 0, sub, sizeof sub) == ERROR_SUCCESS) {
            std::string child = key + "\\" + sub;
            RegDeleteTreeAll(root, child);
            if (RegKeyExists(root, child))
                break;
        }
        RegCloseKey(h);
    }
    RegDeleteKeyA(root, key.c_str());
}

void RegSetText(HKEY root, const std::string &key, const char *name, const std::string &data)
{
    HKEY h;
    if (RegCreateKeyA(root, key.c_str(), &h) != ERROR_SUCCESS)
        return;
    RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()), DWORD(data.size() + 1));
    RegCloseKey(h);
}

void SetWindowsVersion(const std::string &version)
{
    HKEY h;
    if (RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Wine", &h) != ERROR_SUCCESS)
        return;
    if (version.empty())
        RegDeleteValueA(h, "Version");
    else
        RegSetValueExA(h, "Version", 0, REG_SZ, reinterpret_cast<const BYTE *>(version.c_str()), DWORD(version.size() + 1));
    RegCloseKey(h);
}

// The child's environment: ours, with TMP/TEMP replaced, OS kept or dropped
// and the extra variables set.
static std::string BuildEnvironment(const Run &run, const std::string &tempDir)
{
    std::map<std::string, std::string> vars;  // upper-case name -> "Name=value"
    char *block = GetEnvironmentStringsA();
    for (const char *p = block; *p; p += strlen(p) + 1) {
        const char *eq = strchr(p + 1, '=');
        if (!eq)
            continue;
        std::string name(p, eq);
        std::string upper = name;
        for (char &c : upper)
            c = char(toupper(static_cast<unsigned char>(c)));
        vars[upper] = p;
    }
    FreeEnvironmentStringsA(block);
    vars["TMP"] = "TMP=" + tempDir;
    vars["TEMP"] = "TEMP=" + tempDir;
    if (!run.withOS)
        vars.erase("OS");
    for (const auto &kv : run.env) {
        std::string upper = kv.first;
        for (char &c : upper)
            c = char(toupper(static_cast<unsigned char>(c)));
        vars[upper] = kv.first + "=" + kv.second;
    }
    std::string env;
    for (const auto &kv : vars) {
        env += kv.second;
        env += '\0';
    }
    env += '\0';
    return env;
}

Started Start(Run run)
{
    Started started;
    if (run.exe.empty())
        run.exe = SetupExe();
    if (run.tempDir.empty() && run.wideTempDir.empty())
        run.tempDir = FreshDir("temp");
    started.tempDir = run.tempDir;
    std::string env = BuildEnvironment(run, run.tempDir);
    std::string cmd = run.commandLine.empty() ? "\"" + run.exe + "\"" : run.commandLine;
    if (run.noShell) {
        cmd = "\"" + ExeDir() + "\\no_shell.exe\" " + cmd;
        run.commandLine = cmd;
    }
    std::vector<char> cmdline(cmd.begin(), cmd.end());
    cmdline.push_back('\0');
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    BOOL ok;
    if (run.wideTempDir.empty()) {
        ok = CreateProcessA(run.commandLine.empty() ? run.exe.c_str() : NULL, cmdline.data(), NULL, NULL, FALSE, 0,
                            const_cast<char *>(env.c_str()), NULL, &si, &started.pi);
    } else {
        // The same block widened, with TMP and TEMP put in as wide text.
        auto widen = [](const std::string &text) {
            std::vector<wchar_t> wide(text.size() + 1);
            MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), int(wide.size()));
            return std::wstring(wide.data());
        };
        std::wstring wideEnv, wideCmd = widen(cmd);
        for (const char *p = env.c_str(); *p; p += strlen(p) + 1) {
            bool temp = _strnicmp(p, "TMP=", 4) == 0 || _strnicmp(p, "TEMP=", 5) == 0;
            wideEnv += (temp ? widen(std::string(p, strchr(p, '=') - p + 1)) + run.wideTempDir : widen(p)) + L'\0';
        }
        STARTUPINFOW wsi{};
        wsi.cb = sizeof wsi;
        ok = CreateProcessW(widen(run.exe).c_str(), &wideCmd[0], NULL, NULL, FALSE, CREATE_UNICODE_ENVIRONMENT,
                            &wideEnv[0], NULL, &wsi, &started.pi);
    }
    if (!ok)
        memset(&started.pi, 0, sizeof started.pi);
    return started;
}

DWORD Wait(Started &started, DWORD timeoutMs)
{
    if (!started.pi.hProcess)
        return DWORD(-1000);
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(started.pi.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(started.pi.hProcess, &code);
    else
        TerminateProcess(started.pi.hProcess, 999);
    CloseHandle(started.pi.hProcess);
    CloseHandle(started.pi.hThread);
    started.pi.hProcess = started.pi.hThread = NULL;
    return code;
}

DWORD RunToEnd(Run run, std::string *tempDirOut)
{
    DWORD timeout = run.timeoutMs;
    Started s = Start(run);
    if (tempDirOut)
        *tempDirOut = s.tempDir;
    return Wait(s, timeout);
}

DWORD ProcessIdOf(const std::string &exeName, DWORD except)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry)) {
        const char *name = strrchr(entry.szExeFile, '\\');
        if (_stricmp(name ? name + 1 : entry.szExeFile, exeName.c_str()) == 0 && entry.th32ProcessID != except)
            found = entry.th32ProcessID;
    }
    CloseHandle(snapshot);
    return found;
}

bool WaitForNoProcess(const std::string &exeName, DWORD timeoutMs)
{
    for (DWORD start = GetTickCount(); ProcessIdOf(exeName); Sleep(100))
        if (GetTickCount() - start >= timeoutMs)
            return false;
    return true;
}

void CloseFolderWindows(const std::string &name, DWORD waitMs)
{
    struct Search {
        std::string name;
        int closed;
    };
    DWORD start = GetTickCount();
    for (;;) {
        Search search{name, 0};
        EnumWindows(
            [](HWND window, LPARAM param) CALLBACK -> BOOL {
                Search *s = reinterpret_cast<Search *>(param);
                char title[512];
                DWORD pid = 0;
                GetWindowThreadProcessId(window, &pid);
                if (pid != GetCurrentProcessId() && IsWindowVisible(window) &&
                    GetWindowTextA(window, title, sizeof title) && strstr(title, s->name.c_str())) {
                    PostMessageA(window, WM_CLOSE, 0, 0);
                    ++s->closed;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        // Keep sweeping for waitMs: the server may open a window late, or
        // a second one for the same group.
        if (search.closed == 0 && GetTickCount() - start >= waitMs)
            return;
        Sleep(200);
    }
}

bool SaveScreenArea(const RECT &area, const std::string &pngPath, std::vector<unsigned char> *pixels)
{
    int w = area.right - area.left, h = area.bottom - area.top;
    if (w <= 0 || h <= 0)
        return false;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO bi;
    memset(&bi, 0, sizeof bi);
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void *bits = NULL;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    bool ok = false;
    if (dib && bits) {
        HGDIOBJ old = SelectObject(memory, dib);
        BitBlt(memory, 0, 0, w, h, screen, area.left, area.top, SRCCOPY);
        SelectObject(memory, old);
        std::vector<unsigned char> rgb(size_t(w) * h * 3);
        const unsigned char *src = static_cast<const unsigned char *>(bits);
        for (size_t i = 0; i < size_t(w) * h; ++i) {
            rgb[i * 3 + 0] = src[i * 4 + 2];
            rgb[i * 3 + 1] = src[i * 4 + 1];
            rgb[i * 3 + 2] = src[i * 4 + 0];
        }
        ok = pngPath.empty() || WritePng(pngPath, w, h, rgb);
        if (pixels)
            pixels->swap(rgb);
    }
    if (dib)
        DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return ok;
}

bool SaveScreenshot(const std::string &pngPath)
{
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return SaveScreenArea(screen, pngPath);
}

}  // namespace zt
