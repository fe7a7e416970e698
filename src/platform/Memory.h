#pragma once
#include <cstddef>
#include <cstdint>

// The machine's physical memory in bytes: no single allocation larger than this can be served.
std::uint64_t PhysicalMemorySize();

// Asks the system to back a large buffer with huge pages, so that filling it the first time takes
// far fewer page faults. Small buffers are left alone.
void AdviseLargeBuffer(void* memory, std::size_t size);
