#pragma once
// The property step of an import: the recording's properties and one channel description per
// channel, written through the host's property writer.
#include <cstdint>
#include <string>

#include "contract/Tags.h"
#include "header/HeaderFile.h"
#include "platform/Storage.h"

// The whole step. Establishes the data point count by opening the data file when the header has
// none; a count of 0 shows "Generic Data Reader: Data size of "PATH" is zero!" and fails with
// GDR_E_SHOWN. Changes `timeZeroPosition` from -1 to 0 where tag 106 needs it, the header's data
// point count, and unit codes outside the table (to 0).
void WriteProperties(CHeaderFile& header, const std::string& rawFilePath, IStorage* storage,
                     std::int32_t& timeZeroPosition);
