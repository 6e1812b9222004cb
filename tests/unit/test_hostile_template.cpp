// The product INI template expanded from hostile templates and
// replacements: lines longer than one read, lines that grow past 1023
// characters, directives, a replacement holding the marker itself. The
// template comes from a module of the test's own: a copy of a small program
// given an INIFILE1 resource with UpdateResource.
#include <gtest/gtest.h>

#include <windows.h>
#include <string.h>

#include <ostream>
#include <string>
#include <vector>

#include "fileops/extract.h"
#include "fileops/site_merge.h"
#include "harness.h"
#include "hostile.h"
#include "shell/catalogue.h"
#include "shell/paths.h"
#include "flow/startup.h"

namespace {

struct TemplateCase {
    const char *name;
    std::string templ;        // the resource, byte for byte
    std::string replacement;
    int result;               // 0 or -1
    std::string expected;     // the target's content (result 0)
};

std::string Lines(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &line : lines)
        text += line + "\r\n";
    return text;
}

void PrintTo(const TemplateCase &c, std::ostream *os) { *os << c.name; }

std::vector<TemplateCase> Cases()
{
    const std::string deep = zt::FolderOfLength(246);
    const std::string longLine = "FILENAME=" + zt::Repeat("0123456789", 600);
    std::string manyMarkers = "X=";
    std::string manyExpanded = "X=";
    for (int i = 0; i < 6; ++i) {
        manyMarkers += "$$\\f" + std::to_string(i) + ".ini;";
        manyExpanded += deep + "\\f" + std::to_string(i) + ".ini;";
    }
    // A marker that straddles the end of the first 511-character read.
    const std::string straddle = std::string(510, 'a') + "$$" + "tail";
    return {
        {"LineOver511Kept", Lines({"[Long]", longLine, "[Next]"}), "C:\\d", 0, Lines({"[Long]", longLine, "[Next]"})},
        {"ExpandedLineOver1023Kept", Lines({"[Sites]", manyMarkers}), deep, 0, Lines({"[Sites]", manyExpanded})},
        {"MarkerAcrossTheReadBoundary", Lines({straddle}), "C:\\d", 0, Lines({std::string(510, 'a') + "C:\\dtail"})},
        {"DirectivesStayText", Lines({"A=%s%n%1!s!!$$"}), "C:\\%s%n!", 0, Lines({"A=%s%n%1!s!!C:\\%s%n!"})},
        {"ReplacementHoldingTheMarker", Lines({"F=$$\\x$$"}), "C:\\$$", 0, Lines({"F=C:\\$$\\xC:\\$$"})},
        {"LastLineWithoutEnd", "[A]\r\nB=$$", "C:\\d", 0, Lines({"[A]", "B=C:\\d"})},
        {"NonAsciiBytes", Lines({"\xe9\xff\x80=$$"}), "C:\\caf\xe9", 0, Lines({"\xe9\xff\x80=C:\\caf\xe9"})},
    };
}

class HostileTemplate : public ::testing::TestWithParam<TemplateCase> {
protected:
    HINSTANCE saved_ = NULL;
    HMODULE module_ = NULL;
    std::string dir_;

    void SetUp() override
    {
        dir_ = zt::FreshDir("template");
        saved_ = g_hInstance;
        CopyText(g_szTempName, sizeof g_szTempName, "ZLTtmpl.tmp");
    }
    void TearDown() override
    {
        g_hInstance = saved_;
        if (module_)
            FreeLibrary(module_);
        zt::RemoveTree(dir_);
    }
    // A module whose only payload resource is the template.
    bool LoadTemplate(const std::string &templ)
    {
        std::string path = dir_ + "\\templ.exe";
        if (!zt::CopyFileTo(zt::ExeDir() + "\\fake_progman.exe", path))
            return false;
        const PayloadResource &row = g_payloadResources[kPayloadProductIni];
        HANDLE update = BeginUpdateResourceA(path.c_str(), FALSE);
        if (!update)
            return false;
        // The program trusts a payload resource only with the build's record of
        // its size and CRC-32: give the template one.
        std::string sums = zt::PayloadSumsRecord(row.resourceName, templ);
        if (!UpdateResourceA(update, row.resourceType, row.resourceName, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                             const_cast<char *>(templ.data()), DWORD(templ.size())) ||
            !UpdateResourceA(update, RT_RCDATA, "PAYLOADSUMS", MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                             const_cast<char *>(sums.data()), DWORD(sums.size())) ||
            !EndUpdateResourceA(update, FALSE))
            return false;
        module_ = LoadLibraryExA(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        g_hInstance = module_;
        return module_ != NULL;
    }
};

TEST_P(HostileTemplate, LinesAreKeptWhole)
{
    const TemplateCase &c = GetParam();
    ASSERT_TRUE(LoadTemplate(c.templ));
    std::string work = dir_ + "\\";
    std::string target = dir_ + "\\zeltra.ini";
    EXPECT_EQ(c.result, ExpandIniTemplate(work.c_str(), target.c_str(), "$$", c.replacement.c_str(),
                                          kPayloadProductIni));
    if (c.result == 0) {
        EXPECT_EQ(c.expected, zt::ReadFileText(target));
    }
    EXPECT_FALSE(zt::FileExists(dir_ + "\\ZLTtmpl.tmp")) << "the work copy stays behind";
}

INSTANTIATE_TEST_SUITE_P(Templates, HostileTemplate, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<TemplateCase> &info) { return std::string(info.param.name); });

// A module without the template: nothing is written.
TEST_F(HostileTemplate, MissingTemplateWritesNothing)
{
    HMODULE plain = LoadLibraryExA((zt::ExeDir() + "\\fake_progman.exe").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, plain);
    g_hInstance = plain;
    std::string work = dir_ + "\\";
    std::string target = dir_ + "\\zeltra.ini";
    EXPECT_EQ(-1, ExpandIniTemplate(work.c_str(), target.c_str(), "$$", "C:\\d", kPayloadProductIni));
    EXPECT_FALSE(zt::FileExists(target));
    g_hInstance = saved_;
    FreeLibrary(plain);
}

// A target that cannot be opened: -1, and the work copy is removed.
TEST_F(HostileTemplate, UnwritableTargetFailsCleanly)
{
    ASSERT_TRUE(LoadTemplate(Lines({"[A]", "B=$$"})));
    std::string work = dir_ + "\\";
    std::string target = dir_ + "\\folder";
    CreateDirectoryA(target.c_str(), NULL);
    EXPECT_EQ(-1, ExpandIniTemplate(work.c_str(), target.c_str(), "$$", "C:\\d", kPayloadProductIni));
    EXPECT_FALSE(zt::FileExists(dir_ + "\\ZLTtmpl.tmp"));
    EXPECT_TRUE(zt::DirExists(target));
}

}  // namespace
