// Does nothing: its wall time under Wine is the fixed cost of starting a
// Windows program, which every installer pays too.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
