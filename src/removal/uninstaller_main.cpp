#include <windows.h>

#include "removal/uninstaller.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    return RunUninstaller(instance, commandLine);
}
