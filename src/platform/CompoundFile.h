#pragma once
// Compound files (the OLE2 compound file binary format) as a storage tree in memory: decoding a
// whole file (versions 3 and 4) with every structure checked, and encoding a tree as a version 3
// file. Files on disk are opened and committed by StgOpenStorage and StgCreateDocfile.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/MemoryStorage.h"

// The Windows build has StgCreateDocfile and StgOpenStorage from the system.
#if !defined(_WIN32)
// The tree held in the bytes of a compound file; on failure the code of a damaged
// (STG_E_DOCFILECORRUPT), not compound (STG_E_FILEALREADYEXISTS) or badly headed (STG_E_INVALIDHEADER) file.
HRESULT DecodeCompoundFile(std::span<const std::uint8_t> bytes, std::shared_ptr<StorageNode>& root);
// The bytes of a version 3 compound file holding the tree. STG_E_INVALIDNAME for a name that the
// format forbids (or two names of one storage that differ only in case).
HRESULT EncodeCompoundFile(const StorageNode& root, std::vector<std::uint8_t>& bytes);

// Creates a compound file (STGM_CREATE replaces an existing one; without it an existing file is
// STG_E_FILEALREADYEXISTS). The storage lives in memory; Commit writes it to the file.
HRESULT StgCreateDocfile(const WCHAR* path, DWORD mode, DWORD reserved, IStorage** storage);
// Opens a compound file: the whole file is read and checked. Commit writes a new file beside it,
// flushes it and renames it over the old one, so that the file is never left half-written.
HRESULT StgOpenStorage(const WCHAR* path, IStorage* priority, DWORD mode, SNB exclude, DWORD reserved,
                       IStorage** storage);
#endif
