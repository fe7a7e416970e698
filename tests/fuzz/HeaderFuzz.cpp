// CHeaderFile::Load on arbitrary header bytes, with a data file of arbitrary length beside it.
#include <new>

#include "FuzzInput.h"
#include "header/HeaderFile.h"
#include "platform/Exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  WriteFuzzFile("h.eeg", std::string(std::size_t(input.Number(0, 70000)), '\x01'));
  WriteFuzzFile("h.vmrk", "");
  const std::string path = WriteFuzzFile("h.shdr", input.Rest());
  CHeaderFile header;
  try {
    header.Load(path);
  } catch (const CFileException&) {
  } catch (const std::bad_alloc&) {
  }
  return 0;
}
