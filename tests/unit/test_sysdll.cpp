// System DLLs come from the system folder only; the product's own DLLs load
// by their full path.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "harness.h"
#include "shell/sysdll.h"

namespace {

std::string ModulePath(HMODULE module)
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(module, path, sizeof path);
    return path;
}

std::string SystemFolder()
{
    char folder[MAX_PATH] = "";
    GetSystemDirectoryA(folder, sizeof folder);
    return folder;
}

bool StartsWithIgnoringCase(const std::string &text, const std::string &prefix)
{
    return text.size() >= prefix.size() &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.c_str(), int(prefix.size()),
                          prefix.c_str(), int(prefix.size())) == CSTR_EQUAL;
}

std::string Planted(const char *name) { return zt::ExeDir() + "\\planted\\" + name; }

class SystemDlls : public ::testing::Test {
protected:
    char saved_[MAX_PATH] = "";
    void SetUp() override
    {
        GetCurrentDirectoryA(sizeof saved_, saved_);
        RestrictDllSearch();
    }
    void TearDown() override { SetCurrentDirectoryA(saved_); }
};

TEST_F(SystemDlls, SearchIsRestrictedWhereTheSystemOffersIt)
{
    // Wine has SetDefaultDllDirectories, so the restricted branch is the one tested.
    EXPECT_TRUE(DllSearchRestricted());
}

TEST_F(SystemDlls, CopiesPlantedInTheCurrentFolderAreIgnored)
{
    std::string dir = zt::FreshDir("sysdll-current");
    for (const char *name : {"lz32.dll", "comdlg32.dll"})
        ASSERT_TRUE(zt::CopyFileTo(Planted(name), dir + "\\" + name));
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));

    HMODULE lz = LoadSystemDll("lz32.dll");
    ASSERT_NE(nullptr, lz);
    EXPECT_TRUE(StartsWithIgnoringCase(ModulePath(lz), SystemFolder() + "\\")) << ModulePath(lz);
    EXPECT_EQ(lz, LoadSystemDll("LZ32.DLL"));
    EXPECT_NE(nullptr, SystemDllProc("lz32.dll", "LZCopy"));
    EXPECT_NE(nullptr, SystemDllProc("comdlg32.dll", "GetOpenFileNameA"));

    EXPECT_FALSE(zt::FileExists(dir + "\\lz32.dll.loaded"));
    EXPECT_FALSE(zt::FileExists(dir + "\\comdlg32.dll.loaded"));
}

TEST_F(SystemDlls, OnlyBareNamesOfExistingDllsAndFunctions)
{
    EXPECT_EQ(nullptr, LoadSystemDll(Planted("lz32.dll").c_str()));
    EXPECT_EQ(nullptr, LoadSystemDll("..\\lz32.dll"));
    EXPECT_EQ(nullptr, LoadSystemDll("sub/lz32.dll"));
    EXPECT_EQ(nullptr, LoadSystemDll(nullptr));
    EXPECT_EQ(nullptr, LoadSystemDll("zt-no-such-library.dll"));
    EXPECT_EQ(nullptr, SystemDllProc("lz32.dll", "NoSuchFunction"));
    EXPECT_EQ(nullptr, SystemDllProc("zt-no-such-library.dll", "LZCopy"));
}

TEST_F(SystemDlls, ProductDllsLoadByTheirFullPath)
{
    std::string dir = zt::FreshDir("sysdll-product");
    std::string dll = dir + "\\product.dll";
    ASSERT_TRUE(zt::CopyFileTo(Planted("lz32.dll"), dll));

    HMODULE module = LoadProductDll(dll.c_str());
    ASSERT_NE(nullptr, module) << GetLastError();
    EXPECT_TRUE(zt::FileExists(dll + ".loaded"));
    FreeLibrary(module);

    EXPECT_EQ(nullptr, LoadProductDll((dir + "\\missing.dll").c_str()));
}

// A product DLL's export that loads its companion by bare name, as the
// real ones do while they register.
HRESULT WINAPI LoadCompanion()
{
    HMODULE companion = LoadLibraryA("ztcompanion.dll");
    if (!companion)
        return E_FAIL;
    FreeLibrary(companion);
    return S_OK;
}

TEST_F(SystemDlls, ProductExportsFindCompanionsInTheirFolderOnly)
{
    std::string dir = zt::FreshDir("sysdll-companion");
    ASSERT_TRUE(zt::CopyFileTo(Planted("lz32.dll"), dir + "\\ztcompanion.dll"));
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));

    EXPECT_EQ(E_FAIL, LoadCompanion());
    EXPECT_EQ(S_OK, CallProductExport(LoadCompanion, dir.c_str()));
    // Before and after the call the folder is out of the search again.
    EXPECT_EQ(E_FAIL, LoadCompanion());
    EXPECT_EQ(S_OK, CallProductExport(LoadCompanion, dir.c_str()));
    EXPECT_EQ(E_FAIL, LoadCompanion());
}

}  // namespace
