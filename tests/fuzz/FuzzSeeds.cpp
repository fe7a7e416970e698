// Writes the seed corpus of each fuzz target: fuzz_seeds FOLDER makes FOLDER/<target>/ with inputs
// in the form each target reads (numbers first, 4 bytes each, then the bytes of a file).
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/PropertyStore.h"
#include "platform/CompoundFile.h"

namespace {

// A number as FuzzInput::Number(low, high) reads it back.
std::string Number(std::int64_t value, std::int64_t low) {
  const std::uint64_t raw = std::uint64_t(value - low);
  return {char(raw >> 24), char(raw >> 16), char(raw >> 8), char(raw)};
}

void Write(const std::filesystem::path& folder, const std::string& name, const std::string& bytes) {
  std::filesystem::create_directories(folder);
  std::ofstream(folder / name, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

const std::string kId = "Tarvo Sylvex Data Exchange Header File Version 1.0\r\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::filesystem::path root = argv[1];

  const std::string common =
      "[Common Infos]\r\nDataFile=h.eeg\r\nMarkerFile=h.vmrk\r\nNumberOfChannels=4\r\nSamplingInterval=1000\r\n";
  Write(root / "header", "binary",
        Number(8000, 0) + kId + common +
            "DataFormat=BINARY\r\n[Binary Infos]\r\nBinaryFormat=INT_16\r\n"
            "[Channel Infos]\r\nCh1=Fp1,Ref,0.5,\xB5V\r\nCh2=a\\1b,,1,mV\r\n[Coordinates]\r\nCh1=1,90,-90\r\n"
            "[Comment]\r\nA comment\r\n\r\n");
  Write(root / "header", "segmented",
        Number(4160, 0) + kId + common +
            "DataFormat=BINARY\r\nSegmentationType=FIXTIME\r\n"
            "SegmentDataPoints=100\r\nDataOrientation=VECTORIZED\r\n[Binary Infos]\r\n"
            "SegmentHeaderSize=16\r\nChannelOffset=4\r\nTrailerSize=8\r\nUseBigEndianOrder=YES\r\n");
  Write(root / "header", "ascii",
        Number(100, 0) + kId + common +
            "Codepage=UTF-8\r\nDataType=TIMEDOMAIN_COMPLEX\r\nLayers=2\r\n"
            "LayerUpperLimit=4\r\n[ASCII Infos]\r\nDecimalSymbol=,\r\nSkipLines=1\r\nSkipColumns=1\r\n");

  Write(root / "markers", "markers",
        Number(4, 1) + Number(1000, 0) + Number(100, 0) +
            "Marker File, Version 1.0\r\n[Marker Infos]\r\nMk1=New Segment,,1,1,0,20261205120000000000\r\n"
            "Mk2=Time 0,,3\r\nMk3=Stimulus,S  1,10,2,2\r\nMk4=Comment,first,second,20,1,0,,1\r\n");

  const std::string asciiLayout = Number(2, 0) + Number(3, -2) + Number(1, 0) + Number(0, 0) + Number(1, 0) +
                                  Number(1, 0) + Number(1, 0) + Number(1, 0);
  std::string reads;
  for (std::int64_t value : {0, 3, 1, 1, 2, 0, 2, 1, 1}) reads += Number(value, -3);
  Write(root / "ascii", "multiplexed", asciiLayout + reads + Number(2, 0) + "head\r\nt 1,5;2\r\nt 3 4\r\nt 5 6\r\n");

  std::string binaryReads;
  for (std::int64_t value : {0, 10, 1, 5, 7, 2, 9, 1, 3}) binaryReads += Number(value, -2);
  for (std::int64_t format : {1, 2, 3, 4}) {
    const std::string layout = Number(format, -1) + Number(3, -1) + Number(12, 0) + Number(format != 2, 0) +
                               Number(0, 0) + Number(format == 3, 0) + Number(1, 0) + Number(6, -2) +
                               Number(format == 2 ? 4 : 0, 0) + Number(format == 1 ? 8 : 0, 0) +
                               Number(format == 1 ? 5 : 0, 0);
    std::string bytes;
    for (int i = 0; i < 300; ++i) bytes += char(i * 37);
    Write(root / "binary", "format" + std::to_string(format), layout + binaryReads + Number(3, 0) + bytes);
  }

  PropertyStore bag;
  const std::uint8_t four[4] = {2, 0, 0, 0};
  for (const ULONG tag : {0, 1, 3}) bag.Set(tag, 0, four);
  const PropertyStore::Bytes encoded = bag.Encode();
  const std::string bagBytes(encoded.begin(), encoded.end());
  Write(root / "storage", "bag", Number(0, 0) + bagBytes);
  StorageNode tree;
  auto& element = tree.children[OLESTR("DATAPATH")] = std::make_shared<StorageElement>();
  element->name = OLESTR("DataPath");
  element->stream = std::make_shared<std::vector<std::uint8_t>>(100, 7);
  std::vector<std::uint8_t> file;
  EncodeCompoundFile(tree, file);
  Write(root / "storage", "compound", Number(1, 0) + std::string(file.begin(), file.end()));
  // a data file's bytes, its name, the internal data and the host's properties
  Write(root / "storage", "store",
        Number(2, 0) + Number(16, 0) + std::string(16, '\x10') + Number(1, 0) +
            Number(std::int64_t(bagBytes.size()), 0) + bagBytes + bagBytes);
  return 0;
}
