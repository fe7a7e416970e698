#pragma once
// Whole streams of a storage, written or read in one piece.
#include <cstdint>
#include <span>
#include <vector>

#include "platform/Storage.h"

// Creates (or replaces) the stream and writes the bytes into it.
HRESULT WriteWholeStream(IStorage* storage, LPCOLESTR name, std::span<const std::uint8_t> bytes);
// Reads the whole stream; the storage's code when it has no such stream.
HRESULT ReadWholeStream(IStorage* storage, LPCOLESTR name, std::vector<std::uint8_t>& bytes);
