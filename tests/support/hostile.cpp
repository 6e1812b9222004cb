#include "hostile.h"

#include <stdio.h>
#include <string.h>

#include "harness.h"
#include "install_state.h"

namespace zt {

static std::string Upper(std::string text)
{
    for (char &c : text)
        c = char(toupper(static_cast<unsigned char>(c)));
    return text;
}

static void Walk(const std::string &folder, int depth, Snapshot *snapshot)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!strcmp(fd.cFileName, ".") || !strcmp(fd.cFileName, ".."))
            continue;
        std::string path = folder + "\\" + fd.cFileName;
        FileMark mark;
        mark.folder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        mark.size = (static_cast<unsigned long long>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
        mark.written = fd.ftLastWriteTime;
        (*snapshot)[Upper(path)] = mark;
        if (mark.folder && depth > 1)
            Walk(path, depth - 1, snapshot);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

Snapshot TakeSnapshot()
{
    Snapshot s;
    Walk("C:", 1, &s);
    Walk("C:\\windows", 1, &s);
    Walk("C:\\Program Files", 2, &s);
    Walk(ProgramsMenuFolder(), 1, &s);
    Walk("C:\\zt", 8, &s);
    return s;
}

static bool Allowed(const std::string &path, const std::vector<std::string> &allowed)
{
    for (std::string place : allowed) {
        place = Upper(place);
        while (place.size() > 3 && (place.back() == '\\' || place.back() == '/'))
            place.pop_back();
        // The place itself, something inside it, or a folder leading to it.
        if (path == place || path.compare(0, place.size() + 1, place + "\\") == 0 ||
            place.compare(0, path.size() + 1, path + "\\") == 0)
            return true;
    }
    return false;
}

std::vector<std::string> ChangedOutside(const Snapshot &before, const Snapshot &after,
                                        const std::vector<std::string> &allowed)
{
    std::vector<std::string> changed;
    for (const auto &entry : after) {
        auto was = before.find(entry.first);
        bool differs = was == before.end() ||
                       (!entry.second.folder &&
                        (was->second.size != entry.second.size ||
                         CompareFileTime(&was->second.written, &entry.second.written) != 0));
        if (differs && !Allowed(entry.first, allowed))
            changed.push_back((was == before.end() ? "new " : "changed ") + entry.first);
    }
    for (const auto &entry : before)
        if (!after.count(entry.first) && !Allowed(entry.first, allowed))
            changed.push_back("deleted " + entry.first);
    return changed;
}

std::string DescribeExit(DWORD code)
{
    char text[64];
    if (code == kCrashExit)
        return "crashed (exit code 5)";
    if (code == kHangExit)
        return "hung (ended after its time-out)";
    snprintf(text, sizeof text, "exit code %lu", static_cast<unsigned long>(code));
    return text;
}

std::string Repeat(const std::string &pattern, size_t n)
{
    std::string text;
    while (text.size() < n)
        text += pattern;
    text.resize(n);
    return text;
}

std::string FolderOfLength(size_t n)
{
    std::string path = "C:\\zt\\dest";
    while (path.size() < n) {
        size_t remaining = n - path.size();
        if (remaining == 1)
            path += 'd';   // never a trailing "\"
        else
            path += "\\" + std::string(remaining - 1 > 100 ? 100 : remaining - 1, 'd');
    }
    return path;
}

bool AnyLineHas(const std::vector<std::string> &lines, const std::string &part)
{
    for (const std::string &line : lines)
        if (line.find(part) != std::string::npos)
            return true;
    return false;
}

}  // namespace zt
