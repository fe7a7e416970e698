// Writes or checks the interoperability store (see CompoundFileContent.h) with our codec:
//   compound_file_interop write PATH
//   compound_file_interop check PATH   (exit status 0 when every stream holds what it should)
#include <cstdio>
#include <cstring>
#include <string>

#include "CompoundFileContent.h"
#include "platform/CompoundFile.h"

namespace {

constexpr DWORD kCreate = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
constexpr CLSID kRootClass = {0x11223344, 0x5566, 0x7788, {1, 2, 3, 4, 5, 6, 7, 8}};

WideString Wide(const std::string& text) { return WideString(text.begin(), text.end()); }
WideString StreamName(std::uint32_t size) { return Wide("s" + std::to_string(size)); }
const WideString kDeepStream = OLESTR("Gr\u00FC\u00DFe");

std::vector<std::uint8_t> Content(std::uint32_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::uint32_t i = 0; i < size; ++i) bytes[i] = InteropByte(size, i);
  return bytes;
}

bool WriteStream(IStorage& storage, const WideString& name, std::uint32_t size) {
  ComPtr<IStream> stream;
  const std::vector<std::uint8_t> bytes = Content(size);
  return SUCCEEDED(storage.CreateStream(name.c_str(), kCreate, 0, 0, stream.Receive())) &&
         SUCCEEDED(stream->Write(bytes.data(), size, nullptr));
}

bool CheckStream(IStorage& storage, const WideString& name, std::uint32_t size) {
  ComPtr<IStream> stream;
  if (FAILED(storage.OpenStream(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Receive()))) {
    std::fprintf(stderr, "missing stream of %u bytes\n", unsigned(size));
    return false;
  }
  std::vector<std::uint8_t> bytes(size + 1);
  ULONG read = 0;
  stream->Read(bytes.data(), ULONG(bytes.size()), &read);
  bytes.resize(read);
  if (bytes != Content(size)) {
    std::fprintf(stderr, "stream of %u bytes differs (read %u)\n", unsigned(size), unsigned(read));
    return false;
  }
  return true;
}

int Write(const WideString& path) {
  ComPtr<IStorage> root, inner, deep;
  if (FAILED(StgCreateDocfile(path.c_str(), kCreate, 0, root.Receive()))) return 1;
  WriteClassStg(root.Get(), kRootClass);
  for (std::uint32_t size : kInteropSizes)
    if (!WriteStream(*root, StreamName(size), size)) return 1;
  if (FAILED(root->CreateStorage(OLESTR("Inner"), kCreate, 0, 0, inner.Receive())) ||
      !WriteStream(*inner, OLESTR("t100"), 100) ||
      FAILED(inner->CreateStorage(OLESTR("Deep"), kCreate, 0, 0, deep.Receive())) ||
      !WriteStream(*deep, kDeepStream, 5000))
    return 1;
  deep.Reset();
  inner.Reset();
  return FAILED(root->Commit(STGC_DEFAULT)) ? 1 : 0;
}

int Check(const WideString& path) {
  ComPtr<IStorage> root, inner, deep;
  const HRESULT opened =
      StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, root.Receive());
  if (FAILED(opened)) {
    std::fprintf(stderr, "cannot open: 0x%08X\n", unsigned(opened));
    return 1;
  }
  bool good = true;
  for (std::uint32_t size : kInteropSizes) good = CheckStream(*root, StreamName(size), size) && good;
  if (FAILED(
          root->OpenStorage(OLESTR("Inner"), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, inner.Receive())) ||
      FAILED(
          inner->OpenStorage(OLESTR("Deep"), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, deep.Receive()))) {
    std::fprintf(stderr, "missing storages\n");
    return 1;
  }
  good = CheckStream(*inner, OLESTR("t100"), 100) && CheckStream(*deep, kDeepStream, 5000) && good;
  CLSID clsid{};
  ReadClassStg(root.Get(), &clsid);
  if (clsid != kRootClass) std::fprintf(stderr, "class %s\n", GuidToString(clsid).c_str()), good = false;
  return good ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const WideString path = Wide(argv[2]);
  if (std::strcmp(argv[1], "write") == 0) return Write(path);
  if (std::strcmp(argv[1], "check") == 0) return Check(path);
  return 2;
}
