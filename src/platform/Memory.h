#pragma once
#include <cstdint>

// The machine's physical memory in bytes: no single allocation larger than this can be served.
std::uint64_t PhysicalMemorySize();
