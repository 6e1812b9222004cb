#include <windows.h>

#include "flow/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR args, int)
{
    return RunProgram(instance, args);
}
