#include <windows.h>

#include "flow/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return RunProgram(instance);
}
