// Entry point of every test program: the program's own instance carries the
// same string table and dialogs as setup.exe.
#include <windows.h>
#include <gtest/gtest.h>
#include "flow/startup.h"

int main(int argc, char **argv) {
    g_hInstance = GetModuleHandleA(NULL);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
