#pragma once
// The reader's fixed identity: its class identifier (also written into every recording's storage)
// and the values it registers with the host.
#include "platform/Guid.h"

constexpr CLSID CLSID_GenericDataReader = {
    0x3E8D6A41, 0x92C7, 0x4B15, {0xA6, 0x0F, 0x5D, 0x27, 0xC1, 0x9B, 0x84, 0x3A}};

inline constexpr const char* kReaderProgId = "Sylvex.MISC.TSK GenericDataReader";
inline constexpr const char* kReaderDescription = "TS Kaptor Generic Data Reader";
inline constexpr const char* kReaderCategoryPath = "Kaptor\\Miscellaneous";

// The version that ISylvexVersion reports.
constexpr LONG kReaderVersion = 1200503;
