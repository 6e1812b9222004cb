#include "flow/driver.h"

#include "shell/messages.h"

int g_bRebootNeeded = 0;

// The installation dialogue itself is not built yet: this only records that
// the start command arrived, so start-up and shutdown can be exercised.
int RunSetup(HWND, int offered, int allowed)
{
    LogFormat("nV=%d nM=%d", offered, allowed);
    return 0;
}
