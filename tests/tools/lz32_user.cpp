// A program that imports LZ32 the ordinary way, as setup.exe once did: the
// control case of the planting test, which must load a planted copy.
#include <windows.h>
#include <lzexpand.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    LZDone();
    return 0;
}
