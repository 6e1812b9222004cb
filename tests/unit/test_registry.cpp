#include <gtest/gtest.h>

#include <string>

#include "harness.h"
#include "registry/registry.h"

namespace {

const char kClassKey[] = "CLSID\\" ZL_CLASS_BASE;
const char kServerKey[] = "CLSID\\" ZL_CLASS_BASE "\\InProcServer32";
const char kTestKey[] = "Software\\ZeltraRegistryTest";

// Each case starts and ends without the keys it writes.
class Registry : public testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean()
    {
        zt::RegDeleteTreeAll(HKEY_CLASSES_ROOT, kClassKey);
        zt::RegDeleteTreeAll(HKEY_CURRENT_USER, kTestKey);
    }
    static std::string Key(const char *sub) { return std::string(kTestKey) + "\\" + sub; }
};

// The value is REG_SZ and its stored length counts the terminating zero.
void ExpectString(HKEY root, const std::string &key, const char *name, const std::string &expected)
{
    std::string data;
    DWORD type = 0, bytes = 0;
    ASSERT_TRUE(zt::RegValue(root, key, name, &data, &type, &bytes)) << key << " " << (name ? name : "(default)");
    EXPECT_EQ(expected, data);
    EXPECT_EQ(DWORD(REG_SZ), type);
    EXPECT_EQ(expected.size() + 1, bytes);
}

TEST_F(Registry, ServerPathOnAFreshMachineCreatesBothValues)
{
    const char path[] = "C:\\Program Files\\ZELTRA Pro\\zlclient.exe";
    EXPECT_EQ(1, RegisterServerPath(path));
    ExpectString(HKEY_CLASSES_ROOT, kServerKey, NULL, path);   // no quotes added
    ExpectString(HKEY_CLASSES_ROOT, kServerKey, "ThreadingModel", "Apartment");
}

TEST_F(Registry, ServerPathOverwritesAnEarlierRegistration)
{
    zt::RegSetText(HKEY_CLASSES_ROOT, kServerKey, NULL, "D:\\Old\\zlclient.exe");
    zt::RegSetText(HKEY_CLASSES_ROOT, kServerKey, "ThreadingModel", "Both");
    EXPECT_EQ(1, RegisterServerPath("C:\\New\\zlclient.exe"));
    ExpectString(HKEY_CLASSES_ROOT, kServerKey, NULL, "C:\\New\\zlclient.exe");
    ExpectString(HKEY_CLASSES_ROOT, kServerKey, "ThreadingModel", "Apartment");
}

TEST_F(Registry, WriteStringJoinsTheSubKeyAndCountsTheZero)
{
    EXPECT_EQ(1, WriteRegistryString(HKEY_CURRENT_USER, kTestKey, "Sub\\Deeper", "Name", "some value"));
    ExpectString(HKEY_CURRENT_USER, Key("Sub\\Deeper"), "Name", "some value");

    EXPECT_EQ(1, WriteRegistryString(HKEY_CURRENT_USER, kTestKey, NULL, NULL, "default"));
    ExpectString(HKEY_CURRENT_USER, kTestKey, NULL, "default");
}

TEST_F(Registry, WriteStringWithoutAValueOnlyCreatesTheKey)
{
    EXPECT_EQ(0, WriteRegistryString(HKEY_CURRENT_USER, kTestKey, "Empty", "Name", NULL));
    EXPECT_TRUE(zt::RegKeyExists(HKEY_CURRENT_USER, Key("Empty")));
    EXPECT_FALSE(zt::RegValue(HKEY_CURRENT_USER, Key("Empty"), "Name", NULL));
}

TEST_F(Registry, WriteStringRefusesAKeyPathLongerThanItsBuffer)
{
    // 4 components of 250 characters and a sub-key: over 1024 characters.
    std::string path = kTestKey;
    for (int i = 0; i < 4; ++i)
        path += "\\" + std::string(250, char('a' + i));
    EXPECT_EQ(0, WriteRegistryString(HKEY_CURRENT_USER, path.c_str(), "Sub", "Name", "x"));
    EXPECT_FALSE(zt::RegKeyExists(HKEY_CURRENT_USER, kTestKey));
}

TEST_F(Registry, ReadStringTellsAMissingKeyFromAMissingValue)
{
    char buffer[64] = "untouched";
    EXPECT_EQ(0, ReadRegistryString(HKEY_CURRENT_USER, kTestKey, "Name", "fallback", buffer, sizeof buffer));
    EXPECT_STREQ("untouched", buffer);

    zt::RegSetText(HKEY_CURRENT_USER, kTestKey, "Other", "x");
    EXPECT_EQ(0, ReadRegistryString(HKEY_CURRENT_USER, kTestKey, "Name", "fallback", buffer, sizeof buffer));
    EXPECT_STREQ("fallback", buffer);

    zt::RegSetText(HKEY_CURRENT_USER, kTestKey, NULL, "the default");
    zt::RegSetText(HKEY_CURRENT_USER, kTestKey, "Name", "named");
    EXPECT_EQ(1, ReadRegistryString(HKEY_CURRENT_USER, kTestKey, NULL, "fallback", buffer, sizeof buffer));
    EXPECT_STREQ("the default", buffer);
    EXPECT_EQ(1, ReadRegistryString(HKEY_CURRENT_USER, kTestKey, "Name", NULL, buffer, sizeof buffer));
    EXPECT_STREQ("named", buffer);
}

TEST_F(Registry, ReadStringAlwaysEndsInAZero)
{
    // Stored without its zero, as the run-once commands are.
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, kTestKey, &key));
    RegSetValueExA(key, "Bare", 0, REG_SZ, (const BYTE *)"abcdefgh", 8);
    RegCloseKey(key);

    char buffer[16];
    memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(1, ReadRegistryString(HKEY_CURRENT_USER, kTestKey, "Bare", "", buffer, sizeof buffer));
    EXPECT_STREQ("abcdefgh", buffer);

    // Exactly as long as the buffer, without a zero: does not fit.
    char small[8];
    memset(small, 'X', sizeof small);
    EXPECT_EQ(0, ReadRegistryString(HKEY_CURRENT_USER, kTestKey, "Bare", "short", small, sizeof small));
    EXPECT_STREQ("short", small);

    zt::RegSetText(HKEY_CURRENT_USER, kTestKey, "Long", std::string(100, 'L'));
    EXPECT_EQ(0, ReadRegistryString(HKEY_CURRENT_USER, kTestKey, "Long", NULL, small, sizeof small));
    EXPECT_STREQ("", small);
}

TEST(FileIsReadable, OpensFilesOthersHoldForWritingAndRefusesMissingOnes)
{
    std::string dir = zt::FreshDir("registry_readable");
    std::string file = dir + "\\held.dll";
    ASSERT_TRUE(zt::WriteFileText(file, "payload"));

    HANDLE held = CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(1, FileIsReadable(dir.c_str(), "held.dll"));
    CloseHandle(held);

    // Held without sharing: cannot be opened.
    held = CreateFileA(file.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(0, FileIsReadable(dir.c_str(), "held.dll"));
    CloseHandle(held);

    EXPECT_EQ(0, FileIsReadable(dir.c_str(), "missing.dll"));
    // A folder ending in "\" gets a second one, which the file system takes.
    EXPECT_EQ(1, FileIsReadable((dir + "\\").c_str(), "held.dll"));
    // A joined path over 512 characters is refused, not cut.
    EXPECT_EQ(0, FileIsReadable(dir.c_str(), (std::string(520, 'x')).c_str()));
    zt::RemoveTree(dir);
}

}  // namespace
