#include "component/ModuleLock.h"

#include <atomic>

namespace {

std::atomic<LONG> g_Locks{0};

}  // namespace

void LockModule() { ++g_Locks; }
void UnlockModule() { --g_Locks; }
LONG ModuleLockCount() { return g_Locks; }
