// The payload as shipped: setup.exe carries exactly the catalogue's carried
// rows, and each one comes out as the file it was built from.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "fileops/extract.h"
#include "harness.h"

namespace {

struct Row { const char *resource, *target; int carried; };
const Row kRows[] = {
#define ZL_DESC_MSG(n) ""
#define ZL_ROW(resource, compressed, source, target, description, icon, required, carried) \
    {resource, target, carried},
#include "shell/catalogue_rows.h"
#undef ZL_ROW
};
const int kRowCount = sizeof kRows / sizeof kRows[0];

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR param)
{
    if (!IS_INTRESOURCE(name))
        reinterpret_cast<std::set<std::string> *>(param)->insert(name);
    return TRUE;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR param)
{
    reinterpret_cast<std::set<WORD> *>(param)->insert(language);
    return TRUE;
}

// resource -> the file it was packed from, as the build recorded it.
std::map<std::string, std::string> PackedFrom()
{
    std::map<std::string, std::string> sources;
    for (const std::string &line : zt::ReadLines(zt::ExeDir() + "\\payload\\manifest.txt")) {
        size_t a = line.find(' '), b = line.find(' ', a + 1), c = line.find(' ', b + 1);
        if (c == std::string::npos)
            continue;
        std::string unixPath = line.substr(c + 1), path = "Z:";
        for (char ch : unixPath)
            path += ch == '/' ? '\\' : ch;
        sources[line.substr(0, a)] = path;
    }
    return sources;
}

class Payload : public ::testing::Test {
protected:
    void SetUp() override
    {
        module_ = LoadLibraryExA(zt::SetupExe().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(module_ != NULL);
    }
    void TearDown() override
    {
        if (module_)
            FreeLibrary(module_);
    }
    HMODULE module_ = NULL;
};

TEST_F(Payload, CarriesExactlyTheCarriedRowsInEnglish)
{
    std::set<std::string> names, expected;
    EnumResourceNamesA(module_, "EXE", CollectName, reinterpret_cast<LONG_PTR>(&names));
    for (const Row &row : kRows)
        if (row.carried)
            expected.insert(row.resource);
    EXPECT_EQ(41u, expected.size());
    EXPECT_EQ(expected, names);
    EXPECT_FALSE(names.count("INSTINI"));
    for (const std::string &name : names) {
        std::set<WORD> languages;
        EnumResourceLanguagesA(module_, "EXE", name.c_str(), CollectLanguage,
                               reinterpret_cast<LONG_PTR>(&languages));
        EXPECT_EQ(std::set<WORD>{1033}, languages) << name;
    }
}

TEST_F(Payload, EveryResourceComesOutAsItsFile)
{
    std::map<std::string, std::string> sources = PackedFrom();
    std::string dir = zt::FreshDir("payload");
    int checked = 0;
    for (int i = 0; i < kRowCount; ++i) {
        const Row &row = kRows[i];
        if (!row.carried)
            continue;
        SCOPED_TRACE(row.target);
        ASSERT_TRUE(sources.count(row.resource));
        std::string expected = zt::ReadFileText(sources[row.resource]);
        ASSERT_FALSE(expected.empty());
        // The stand-ins are where tests look for them, unless replaced.
        if (sources[row.resource].find("\\product\\") != std::string::npos) {
            EXPECT_TRUE(expected == zt::ReadFileText(zt::ExeDir() + "\\product\\" + row.target));
        }

        ASSERT_EQ(1, ExtractPayload(module_, i, dir.c_str(), "work.tmp"));
        std::string stored = zt::ReadFileText(dir + "\\work.tmp");
        if (std::string(row.resource) == "INIFILE1") {
            EXPECT_TRUE(stored == expected);       // plain text, never expanded
        } else {
            EXPECT_EQ(0u, stored.find("SZDD\x88\xf0\x27\x33"));
            char source[MAX_PATH];
            snprintf(source, sizeof source, "%s\\work.tmp", dir.c_str());
            ASSERT_EQ(1, ExpandFile(source, (dir + "\\" + row.target).c_str()));
            EXPECT_TRUE(zt::ReadFileText(dir + "\\" + row.target) == expected);
        }
        ++checked;
    }
    EXPECT_EQ(41, checked);
    zt::RemoveTree(dir);
}

TEST_F(Payload, ProductIniTemplateIsExact)
{
    std::vector<std::string> lines = zt::ReadLines(zt::ExeDir() + "\\product\\zeltra.ini");
    std::string text = zt::ReadFileText(zt::ExeDir() + "\\product\\zeltra.ini");
    ASSERT_EQ(23u, lines.size());
    EXPECT_EQ("[MySites]", lines[0]);
    EXPECT_EQ("FILENAME=$$\\original.ini", lines[1]);
    EXPECT_EQ("[Marlquin]", lines[10]);
    EXPECT_EQ("FILENAME=$$\\SitesGov.ini", lines[17]);
    EXPECT_EQ("MAILADDR=qrvnx65@", lines[21]);
    EXPECT_EQ("shist0=/marlquin/marlquin", lines[22]);
    size_t crlf = 0;
    for (size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2))
        ++crlf;
    EXPECT_EQ(23u, crlf);
    EXPECT_EQ(std::string::npos, text.find("\n\n"));
}

}  // namespace

namespace {

// The stand-in product reports what it was asked to do in the call log.
class StandIn : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = zt::FreshDir("standin");
        log_ = dir_ + "\\calls.log";
        SetEnvironmentVariableA("ZELTRA_CALL_LOG", log_.c_str());
    }
    void TearDown() override
    {
        SetEnvironmentVariableA("ZELTRA_CALL_LOG", NULL);
        SetEnvironmentVariableA("ZELTRA_FAIL_REGISTER", NULL);
        zt::RemoveTree(dir_);
    }
    typedef HRESULT(WINAPI *Export)();
    HRESULT Call(HMODULE dll, const char *name)
    {
        Export fn = reinterpret_cast<Export>(reinterpret_cast<void *>(GetProcAddress(dll, name)));
        EXPECT_TRUE(fn != NULL) << name;
        return fn ? fn() : E_NOTIMPL;
    }
    std::string dir_, log_;
};

const char kBrowseClass[] = "CLSID\\{7A6E1C41-2B91-11D1-8F3A-00A0C95E1D02}";
const char kBrowseHelper[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\"
    "{7A6E1C41-2B91-11D1-8F3A-00A0C95E1D02}";

TEST_F(StandIn, LibraryLogsItsCallsAndOwnsItsKeys)
{
    HMODULE dll = LoadLibraryA((zt::ExeDir() + "\\product\\zlbrowse.dll").c_str());
    ASSERT_TRUE(dll != NULL);
    EXPECT_EQ(S_OK, Call(dll, "DllRegisterServer"));
    EXPECT_EQ(S_OK, Call(dll, "AddNetscapeBhoKey"));
    EXPECT_EQ(S_OK, Call(dll, "AddExplorerBhoKey"));
    EXPECT_TRUE(zt::RegKeyExists(HKEY_CLASSES_ROOT, std::string(kBrowseClass) + "\\InprocServer32"));
    EXPECT_TRUE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, kBrowseHelper));
    EXPECT_EQ(S_OK, Call(dll, "DllUnregisterServer"));
    EXPECT_FALSE(zt::RegKeyExists(HKEY_CLASSES_ROOT, kBrowseClass));
    EXPECT_FALSE(zt::RegKeyExists(HKEY_LOCAL_MACHINE, kBrowseHelper));

    SetEnvironmentVariableA("ZELTRA_FAIL_REGISTER", "zlstub.dll, ZLBROWSE.DLL");
    EXPECT_EQ(E_FAIL, Call(dll, "DllRegisterServer"));
    EXPECT_FALSE(zt::RegKeyExists(HKEY_CLASSES_ROOT, kBrowseClass));
    FreeLibrary(dll);

    std::vector<std::string> expected = {
        "zlbrowse.dll DllRegisterServer", "zlbrowse.dll AddNetscapeBhoKey",
        "zlbrowse.dll AddExplorerBhoKey", "zlbrowse.dll DllUnregisterServer",
        "zlbrowse.dll DllRegisterServer E_FAIL"};
    EXPECT_EQ(expected, zt::ReadLines(log_));
}

TEST_F(StandIn, ProgramLogsItsCommandLine)
{
    std::string exe = zt::ExeDir() + "\\product\\zlsched.exe";
    std::string cmd = "\"" + exe + "\" -install";
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(exe.c_str(), line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 60000));
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    EXPECT_EQ(std::vector<std::string>{"zlsched.exe -install"}, zt::ReadLines(log_));
}

}  // namespace
