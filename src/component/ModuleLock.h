#pragma once
// The module's lock count: one for every living reader object and every LockServer lock. The
// module can be unloaded only at 0.
#include "platform/WinTypes.h"

void LockModule();
void UnlockModule();
LONG ModuleLockCount();
