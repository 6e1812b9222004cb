#include <windows.h>

#include "shell/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR args, int)
{
    return RunProgram(instance, args);
}
