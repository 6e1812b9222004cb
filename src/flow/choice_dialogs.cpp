#include "flow/choice_dialogs.h"

int g_bCancel = 0;
