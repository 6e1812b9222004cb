#include <gtest/gtest.h>

#include <string>

#include "fileops/extract.h"
#include "harness.h"
#include "shell/catalogue.h"

namespace {

const int kTemplateRow = 41;        // INIFILE1, stored as plain text
const int kSiteListRow = 42;      // INIFILE2, stored packed
const int kNotCarriedRow = 6;     // zlini.dll

// setup.exe's resources, read as data (the payload is not linked into tests).
class Extract : public ::testing::Test {
protected:
    void SetUp() override
    {
        module_ = LoadLibraryExA(zt::SetupExe().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(module_ != NULL) << "build setup.exe first";
        dir_ = zt::FreshDir("extract");
    }
    void TearDown() override
    {
        if (module_)
            FreeLibrary(module_);
        zt::RemoveTree(dir_);
    }
    std::string Product(const char *name) { return zt::ReadFileText(zt::ExeDir() + "\\product\\" + name); }

    HMODULE module_ = NULL;
    std::string dir_;
};

TEST_F(Extract, MissingResourceCreatesNoFile)
{
    EXPECT_EQ(0, ExtractPayload(module_, kNotCarriedRow, dir_.c_str(), "zlini.dl_"));
    EXPECT_EQ(0, ExtractPayload(module_, kPayloadInstallIni, dir_.c_str(), "Install.ini"));
    EXPECT_EQ(0, ExtractPayload(module_, -1, dir_.c_str(), "x"));
    EXPECT_EQ(0, ExtractPayload(module_, kPayloadResourceCount, dir_.c_str(), "x"));
    EXPECT_TRUE(zt::ListDir(dir_).empty());
}

TEST_F(Extract, ExactlyOneSeparatorBetweenFolderAndName)
{
    // The path buffer holds 255 characters: a path of exactly that length
    // fits only when no separator is doubled.
    std::string folder = dir_;
    while (folder.size() < 230) {
        folder += "\\" + std::string(20, 'd');
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL));
    }
    std::string name(255 - folder.size() - 1, 'n');
    EXPECT_EQ(1, ExtractPayload(module_, kTemplateRow, (folder + "\\").c_str(), name.c_str()));
    EXPECT_TRUE(zt::FileExists(folder + "\\" + name));
    DeleteFileA((folder + "\\" + name).c_str());
    EXPECT_EQ(1, ExtractPayload(module_, kTemplateRow, folder.c_str(), name.c_str()));
    EXPECT_TRUE(zt::FileExists(folder + "\\" + name));
    // One character more does not fit either way.
    EXPECT_EQ(0, ExtractPayload(module_, kTemplateRow, folder.c_str(), (name + "x").c_str()));
}

TEST_F(Extract, SecondExtractionReplacesTheFirstCompletely)
{
    std::string path = dir_ + "\\work.tmp";
    ASSERT_TRUE(zt::WriteFileText(path, std::string(200000, 'x')));
    ASSERT_EQ(1, ExtractPayload(module_, kTemplateRow, dir_.c_str(), "work.tmp"));
    EXPECT_EQ(Product("zeltra.ini"), zt::ReadFileText(path));
    ASSERT_EQ(1, ExtractPayload(module_, kSiteListRow, dir_.c_str(), "work.tmp"));
    std::string packed = zt::ReadFileText(path);
    EXPECT_EQ(0u, packed.find("SZDD"));
    ASSERT_EQ(1, ExtractPayload(module_, kTemplateRow, dir_.c_str(), "work.tmp"));
    EXPECT_EQ(Product("zeltra.ini"), zt::ReadFileText(path));
}

TEST_F(Extract, TheUnderscoreVariantIsPreferredAndNamed)
{
    ASSERT_EQ(1, ExtractPayload(module_, kSiteListRow, dir_.c_str(), "sites.in_"));
    ASSERT_TRUE(zt::WriteFileText(dir_ + "\\sites.ini", "stale"));
    char source[MAX_PATH];
    snprintf(source, sizeof source, "%s\\sites.ini", dir_.c_str());
    EXPECT_EQ(1, ExpandFile(source, (dir_ + "\\out.ini").c_str()));
    EXPECT_EQ(dir_ + "\\sites.in_", source);
    EXPECT_EQ(Product("sitesav.ini"), zt::ReadFileText(dir_ + "\\out.ini"));
}

TEST_F(Extract, PlainSourceIsCopiedAndEmptyResultFails)
{
    std::string text = "not compressed\r\nat all\r\n";
    ASSERT_TRUE(zt::WriteFileText(dir_ + "\\plain.txt", text));
    char source[MAX_PATH];
    snprintf(source, sizeof source, "%s\\plain.txt", dir_.c_str());
    EXPECT_EQ(1, ExpandFile(source, (dir_ + "\\copy.txt").c_str()));
    EXPECT_EQ(dir_ + "\\plain.txt", source);
    EXPECT_EQ(text, zt::ReadFileText(dir_ + "\\copy.txt"));

    ASSERT_TRUE(zt::WriteFileText(dir_ + "\\empty.txt", ""));
    snprintf(source, sizeof source, "%s\\empty.txt", dir_.c_str());
    EXPECT_EQ(0, ExpandFile(source, (dir_ + "\\empty.out").c_str()));

    snprintf(source, sizeof source, "%s\\missing.txt", dir_.c_str());
    EXPECT_EQ(0, ExpandFile(source, (dir_ + "\\missing.out").c_str()));
    EXPECT_EQ(dir_ + "\\missing.txt", source);
}

TEST_F(Extract, CutPackedSourceFails)
{
    ASSERT_EQ(1, ExtractPayload(module_, kSiteListRow, dir_.c_str(), "cut.in_"));
    std::string packed = zt::ReadFileText(dir_ + "\\cut.in_");
    ASSERT_TRUE(zt::WriteFileText(dir_ + "\\cut.in_", packed.substr(0, packed.size() - 1)));
    EXPECT_EQ(0, ExpandExactFile((dir_ + "\\cut.in_").c_str(), (dir_ + "\\cut.ini").c_str()));
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
}

TEST_F(Extract, NamesEqualButForCaseDoNothing)
{
    ASSERT_TRUE(zt::WriteFileText(dir_ + "\\same.txt", "keep me"));
    ASSERT_TRUE(zt::WriteFileText(dir_ + "\\same.tx_", "SZDD but not really"));
    char source[MAX_PATH];
    snprintf(source, sizeof source, "%s\\SAME.TXT", dir_.c_str());
    EXPECT_EQ(1, ExpandFile(source, (dir_ + "\\same.txt").c_str()));
    EXPECT_EQ(dir_ + "\\SAME.TXT", source);
    EXPECT_EQ("keep me", zt::ReadFileText(dir_ + "\\same.txt"));
}

// The packer's edge cases (written by the build) expand byte for byte.
TEST_F(Extract, PackerOutputExpandsByteForByte)
{
    std::string cases = zt::ExeDir() + "\\szdd-cases";
    std::vector<std::string> names = zt::ListDir(cases);
    int checked = 0;
    for (const std::string &name : names) {
        if (name.size() < 5 || name.substr(name.size() - 5) != ".szdd")
            continue;
        std::string stem = name.substr(0, name.size() - 5);
        SCOPED_TRACE(stem);
        std::string raw = zt::ReadFileText(cases + "\\" + stem + ".raw");
        char source[MAX_PATH];
        snprintf(source, sizeof source, "%s\\%s", cases.c_str(), name.c_str());
        std::string out = dir_ + "\\" + stem + ".out";
        int result = ExpandFile(source, out.c_str());
        if (raw.empty()) {
            EXPECT_EQ(0, result);     // an empty expansion counts as failure
        } else {
            EXPECT_EQ(1, result);
            EXPECT_TRUE(zt::ReadFileText(out) == raw);
        }
        ++checked;
    }
    EXPECT_GE(checked, 12);
}

}  // namespace

namespace {

// A target that cannot be written fails, and nothing is written elsewhere
// (the LZ library would otherwise fall back to the "_" name).
TEST_F(Extract, TargetInUseFailsWithoutAStrayFile)
{
    ASSERT_TRUE(zt::WriteFileText(dir_ + "\\in.txt", "payload text"));
    HANDLE lock = CreateFileA((dir_ + "\\busy.hlp").c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL,
                              CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    char source[MAX_PATH];
    snprintf(source, sizeof source, "%s\\in.txt", dir_.c_str());
    EXPECT_EQ(0, ExpandFile(source, (dir_ + "\\busy.hlp").c_str()));
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    CloseHandle(lock);
    EXPECT_FALSE(zt::FileExists(dir_ + "\\busy.hl_"));
}

}  // namespace
