#include "platform/CompoundFile.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <new>
#include <optional>
#include <set>

namespace {

constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::uint32_t kMiniCutoff = 4096;
constexpr std::uint32_t kMiniSectorSize = 64;
constexpr std::size_t kEntrySize = 128;
constexpr std::size_t kHeaderDifat = 109;
constexpr std::uint8_t kStorageType = 1, kStreamType = 2, kRootType = 5;

// Byte offsets of the fields of the file header, shared by the decoder and the encoder.
namespace header {
constexpr std::size_t kByteOrder = 28, kMajorVersion = 26, kMinorVersion = 24, kSectorShift = 30, kMiniSectorShift = 32,
                      kFatSectors = 44, kFirstDirectory = 48, kMiniCutoff = 56, kFirstMiniFat = 60,
                      kMiniFatSectors = 64, kFirstDifat = 68, kDifatSectors = 72, kDifat = 76;
}  // namespace header

// Byte offsets of the fields of a directory entry.
namespace entry_field {
constexpr std::size_t kNameBytes = 64, kType = 66, kColor = 67, kLeft = 68, kRight = 72, kChild = 76, kClassId = 80,
                      kStateBits = 96, kCreated = 100, kModified = 108, kStart = 116, kSize = 120;
}  // namespace entry_field
// Storages nested deeper than this are taken for damage rather than followed.
constexpr int kDeepestNesting = 1024;

std::uint16_t Get16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }
std::uint32_t Get32(const std::uint8_t* p) { return std::uint32_t(Get16(p)) | std::uint32_t(Get16(p + 2)) << 16; }
std::uint64_t Get64(const std::uint8_t* p) { return std::uint64_t(Get32(p)) | std::uint64_t(Get32(p + 4)) << 32; }
void Put16(std::uint8_t* p, std::uint16_t v) { p[0] = std::uint8_t(v), p[1] = std::uint8_t(v >> 8); }
void Put32(std::uint8_t* p, std::uint32_t v) { Put16(p, std::uint16_t(v)), Put16(p + 2, std::uint16_t(v >> 16)); }
void Put64(std::uint8_t* p, std::uint64_t v) { Put32(p, std::uint32_t(v)), Put32(p + 4, std::uint32_t(v >> 32)); }

// Raised inside the decoder for any damage; the decoder answers it as a code.
struct Damaged {
  HRESULT code = STG_E_DOCFILECORRUPT;
};

// Names order as the format requires: shorter first, then by upper-cased code units.
bool NameLess(const WideString& a, const WideString& b) {
  if (a.size() != b.size()) return a.size() < b.size();
  return FoldElementName(a) < FoldElementName(b);
}

class Decoder {
 public:
  explicit Decoder(std::span<const std::uint8_t> file) : m_File(file) {}

  std::shared_ptr<StorageNode> Decode() {
    ReadHeader();
    ReadFat();
    ReadDirectory();
    ReadMiniStream();
    auto root = std::make_shared<StorageNode>();
    const std::uint8_t* entry = Entry(0);
    if (entry[entry_field::kType] != kRootType) throw Damaged{};
    root->clsid = GuidFromBytes(entry + entry_field::kClassId);
    root->stateBits = Get32(entry + entry_field::kStateBits);
    m_Visited.insert(0);
    ReadChildren(Get32(entry + entry_field::kChild), *root, 0);
    return root;
  }

 private:
  void ReadHeader() {
    if (m_File.size() < 8 || std::memcmp(m_File.data(), kSignature, 8) != 0) throw Damaged{STG_E_FILEALREADYEXISTS};
    if (m_File.size() < 512) throw Damaged{};
    const std::uint8_t* h = m_File.data();
    const std::uint16_t major = Get16(h + header::kMajorVersion), shift = Get16(h + header::kSectorShift);
    if (Get16(h + header::kByteOrder) != 0xFFFE || Get16(h + header::kMiniSectorShift) != 6 ||
        Get32(h + header::kMiniCutoff) != kMiniCutoff || !((major == 3 && shift == 9) || (major == 4 && shift == 12)))
      throw Damaged{STG_E_INVALIDHEADER};
    m_SectorSize = std::size_t(1) << shift;
    if (m_File.size() < m_SectorSize) throw Damaged{};
    m_SectorCount = (m_File.size() - m_SectorSize) / m_SectorSize;
    m_FatSectors = Get32(h + header::kFatSectors);
    m_FirstDirectory = Get32(h + header::kFirstDirectory);
    m_FirstMiniFat = Get32(h + header::kFirstMiniFat);
    m_MiniFatSectors = Get32(h + header::kMiniFatSectors);
    m_FirstDifat = Get32(h + header::kFirstDifat);
    m_DifatSectors = Get32(h + header::kDifatSectors);
  }

  const std::uint8_t* Sector(std::uint32_t sector) const {
    if (sector >= m_SectorCount) throw Damaged{};
    return m_File.data() + (std::size_t(sector) + 1) * m_SectorSize;
  }

  // Marks a sector as used by one structure; a sector used twice means cross-linked chains.
  void Claim(std::uint32_t sector) {
    if (sector >= m_SectorCount || !m_Used.insert(sector).second) throw Damaged{};
  }

  void ReadFat() {
    const std::size_t perSector = m_SectorSize / 4;
    if (m_FatSectors > m_SectorCount) throw Damaged{};
    std::vector<std::uint32_t> fatSectors;
    for (std::size_t i = 0; i < kHeaderDifat && fatSectors.size() < m_FatSectors; ++i)
      fatSectors.push_back(Get32(m_File.data() + header::kDifat + 4 * i));
    std::uint32_t difat = m_FirstDifat;
    for (std::uint32_t n = 0; n < m_DifatSectors; ++n) {
      Claim(difat);
      const std::uint8_t* sector = Sector(difat);
      for (std::size_t i = 0; i + 1 < perSector && fatSectors.size() < m_FatSectors; ++i)
        fatSectors.push_back(Get32(sector + 4 * i));
      difat = Get32(sector + m_SectorSize - 4);
    }
    if (fatSectors.size() != m_FatSectors) throw Damaged{};
    m_Fat.reserve(fatSectors.size() * perSector);
    for (std::uint32_t sector : fatSectors) {
      Claim(sector);
      const std::uint8_t* bytes = Sector(sector);
      for (std::size_t i = 0; i < perSector; ++i) m_Fat.push_back(Get32(bytes + 4 * i));
    }
  }

  // The sectors of a chain; `expected` sectors when given, and each claimed once.
  std::vector<std::uint32_t> Chain(std::uint32_t first, const std::vector<std::uint32_t>& table, std::size_t limit,
                                   std::optional<std::size_t> expected, bool claim) {
    std::vector<std::uint32_t> chain;
    std::set<std::uint32_t> seen;
    for (std::uint32_t sector = first; sector != kEndOfChain; sector = table[sector]) {
      if (sector >= table.size() || sector >= limit || !seen.insert(sector).second) throw Damaged{};
      if (expected && chain.size() >= *expected) throw Damaged{};  // longer than the stream
      if (claim) Claim(sector);
      chain.push_back(sector);
    }
    if (expected && chain.size() != *expected) throw Damaged{};  // shorter than the stream
    return chain;
  }

  std::vector<std::uint8_t> ReadChain(const std::vector<std::uint32_t>& chain, std::uint64_t size) {
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    for (std::size_t i = 0; i < chain.size(); ++i) {
      const std::size_t offset = i * m_SectorSize;
      std::memcpy(data.data() + offset, Sector(chain[i]), std::min<std::size_t>(m_SectorSize, data.size() - offset));
    }
    return data;
  }

  void ReadDirectory() {
    const std::vector<std::uint32_t> chain = Chain(m_FirstDirectory, m_Fat, m_SectorCount, std::nullopt, true);
    if (chain.empty()) throw Damaged{};
    m_Directory = ReadChain(chain, std::uint64_t(chain.size()) * m_SectorSize);
    m_EntryCount = m_Directory.size() / kEntrySize;
  }

  const std::uint8_t* Entry(std::uint32_t id) const {
    if (id >= m_EntryCount) throw Damaged{};
    return m_Directory.data() + std::size_t(id) * kEntrySize;
  }

  std::uint64_t SizeOf(const std::uint8_t* entry) const {
    // Version 3 files keep only 32 bits of size; some writers leave garbage in the rest.
    return m_SectorSize == 512 ? Get32(entry + entry_field::kSize) : Get64(entry + entry_field::kSize);
  }

  void ReadMiniStream() {
    const std::uint8_t* root = Entry(0);
    const std::uint64_t size = SizeOf(root);
    const std::size_t sectors = std::size_t((size + m_SectorSize - 1) / m_SectorSize);
    if (sectors > m_SectorCount) throw Damaged{};
    m_MiniStream = ReadChain(
        Chain(size ? Get32(root + entry_field::kStart) : kEndOfChain, m_Fat, m_SectorCount, sectors, true), size);
    if (m_MiniFatSectors > m_SectorCount) throw Damaged{};
    const std::vector<std::uint32_t> miniFatChain =
        Chain(m_MiniFatSectors ? m_FirstMiniFat : kEndOfChain, m_Fat, m_SectorCount, m_MiniFatSectors, true);
    for (std::uint32_t sector : miniFatChain) {
      const std::uint8_t* bytes = Sector(sector);
      for (std::size_t i = 0; i < m_SectorSize / 4; ++i) m_MiniFat.push_back(Get32(bytes + 4 * i));
    }
  }

  // The children of a storage: the tree below `id`, each entry read once.
  void ReadChildren(std::uint32_t id, StorageNode& node, int depth) {
    if (id == kNoStream) return;
    if (depth > kDeepestNesting) throw Damaged{};
    std::vector<std::uint32_t> pending = {id};
    while (!pending.empty()) {
      const std::uint32_t current = pending.back();
      pending.pop_back();
      if (current == kNoStream) continue;
      if (!m_Visited.insert(current).second) throw Damaged{};  // a cycle, or an entry in two places
      const std::uint8_t* entry = Entry(current);
      pending.push_back(Get32(entry + entry_field::kLeft));
      pending.push_back(Get32(entry + entry_field::kRight));
      ReadEntry(entry, node, depth);
    }
  }

  void ReadEntry(const std::uint8_t* entry, StorageNode& node, int depth) {
    const std::uint16_t nameBytes = Get16(entry + entry_field::kNameBytes);
    const std::uint8_t type = entry[entry_field::kType];
    if (nameBytes < 4 || nameBytes > 64 || nameBytes % 2 != 0 || Get16(entry + nameBytes - 2) != 0 ||
        entry[entry_field::kColor] > 1 || (type != kStorageType && type != kStreamType))
      throw Damaged{};
    WideString name;
    for (std::size_t i = 0; i + 2 < nameBytes; i += 2) name += char16_t(Get16(entry + i));
    if (!IsValidElementName(name)) throw Damaged{};
    auto element = std::make_shared<StorageElement>();
    element->name = name;
    element->created = {Get32(entry + entry_field::kCreated), Get32(entry + entry_field::kCreated + 4)};
    element->modified = {Get32(entry + entry_field::kModified), Get32(entry + entry_field::kModified + 4)};
    if (type == kStreamType) {
      if (Get32(entry + entry_field::kChild) != kNoStream) throw Damaged{};  // a stream has no children
      element->stream = std::make_shared<std::vector<std::uint8_t>>(ReadStream(entry));
    } else {
      // A storage holds no bytes of its own: a size means a stream whose type was damaged.
      if (SizeOf(entry) != 0) throw Damaged{};
      element->storage = std::make_shared<StorageNode>();
      element->storage->clsid = GuidFromBytes(entry + entry_field::kClassId);
      element->storage->stateBits = Get32(entry + entry_field::kStateBits);
      ReadChildren(Get32(entry + entry_field::kChild), *element->storage, depth + 1);
    }
    if (!node.children.emplace(FoldElementName(name), std::move(element)).second) throw Damaged{};
  }

  std::vector<std::uint8_t> ReadStream(const std::uint8_t* entry) {
    const std::uint64_t size = SizeOf(entry);
    if (size == 0) return {};
    const std::uint32_t first = Get32(entry + entry_field::kStart);
    if (size >= kMiniCutoff) {
      if (size > std::uint64_t(m_SectorCount) * m_SectorSize) throw Damaged{};
      return ReadChain(Chain(first, m_Fat, m_SectorCount, std::size_t((size + m_SectorSize - 1) / m_SectorSize), true),
                       size);
    }
    const std::size_t miniSectors = std::size_t((size + kMiniSectorSize - 1) / kMiniSectorSize);
    const std::size_t available = m_MiniStream.size() / kMiniSectorSize;
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    std::size_t offset = 0;
    for (std::uint32_t mini : Chain(first, m_MiniFat, available, miniSectors, false)) {
      if (!m_UsedMini.insert(mini).second) throw Damaged{};
      const std::size_t length = std::min<std::size_t>(kMiniSectorSize, data.size() - offset);
      std::memcpy(data.data() + offset, m_MiniStream.data() + std::size_t(mini) * kMiniSectorSize, length);
      offset += length;
    }
    return data;
  }

  std::span<const std::uint8_t> m_File;
  std::size_t m_SectorSize = 512, m_SectorCount = 0, m_EntryCount = 0;
  std::uint32_t m_FatSectors = 0, m_FirstDirectory = 0, m_FirstMiniFat = 0, m_MiniFatSectors = 0;
  std::uint32_t m_FirstDifat = 0, m_DifatSectors = 0;
  std::vector<std::uint32_t> m_Fat, m_MiniFat;
  std::vector<std::uint8_t> m_Directory, m_MiniStream;
  std::set<std::uint32_t> m_Used, m_UsedMini, m_Visited;
};

// The encoder: directory entries first, then the sectors of every structure, then the file.
class Encoder {
 public:
  HRESULT Encode(const StorageNode& root, std::vector<std::uint8_t>& file) {
    Entry rootEntry;
    rootEntry.name = u"Root Entry";
    rootEntry.type = kRootType;
    rootEntry.clsid = root.clsid;
    rootEntry.stateBits = root.stateBits;
    m_Entries.push_back(rootEntry);
    if (const HRESULT added = AddChildren(root, 0); FAILED(added)) return added;
    LayOut();
    Write(file);
    return S_OK;
  }

 private:
  struct Entry {
    WideString name;
    std::uint8_t type = 0;
    std::uint8_t color = 1;  // black
    std::uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
    CLSID clsid = GUID_NULL;
    std::uint32_t stateBits = 0;
    FILETIME created{}, modified{};
    std::uint32_t start = kEndOfChain;
    std::uint64_t size = 0;
    const std::vector<std::uint8_t>* data = nullptr;
  };

  HRESULT AddChildren(const StorageNode& node, std::uint32_t parent) {
    std::vector<const StorageElement*> children;
    for (const auto& [folded, element] : node.children) {
      if (!IsValidElementName(element->name)) return STG_E_INVALIDNAME;
      children.push_back(element.get());
    }
    std::sort(children.begin(), children.end(),
              [](const StorageElement* a, const StorageElement* b) { return NameLess(a->name, b->name); });
    for (std::size_t i = 1; i < children.size(); ++i)
      if (FoldElementName(children[i - 1]->name) == FoldElementName(children[i]->name)) return STG_E_INVALIDNAME;
    const std::uint32_t first = std::uint32_t(m_Entries.size());
    for (const StorageElement* element : children) {
      Entry entry;
      entry.name = element->name;
      entry.type = element->stream ? kStreamType : kStorageType;
      if (element->storage) {
        entry.clsid = element->storage->clsid;
        entry.stateBits = element->storage->stateBits;
        entry.created = element->created;
        entry.modified = element->modified;
      } else {
        entry.data = element->stream.get();
        entry.size = element->stream->size();
      }
      m_Entries.push_back(entry);
    }
    m_Entries[parent].child = BuildTree(first, first + std::uint32_t(children.size()), 0, TreeDepth(children.size()));
    for (std::size_t i = 0; i < children.size(); ++i)
      if (children[i]->storage)
        if (const HRESULT added = AddChildren(*children[i]->storage, first + std::uint32_t(i)); FAILED(added))
          return added;
    return S_OK;
  }

  static int TreeDepth(std::size_t count) {
    int depth = 0;
    while ((std::size_t(1) << depth) <= count) ++depth;
    return depth;  // levels of a tree of `count` nodes split in the middle
  }

  // A balanced tree of the sorted entries [begin, end); the nodes of its last, incomplete level are
  // red, all others black, which keeps every path's count of black nodes the same.
  std::uint32_t BuildTree(std::uint32_t begin, std::uint32_t end, int level, int depth) {
    if (begin >= end) return kNoStream;
    const std::uint32_t middle = begin + (end - begin) / 2;
    Entry& entry = m_Entries[middle];
    entry.left = BuildTree(begin, middle, level + 1, depth);
    entry.right = BuildTree(middle + 1, end, level + 1, depth);
    // Middle splits leave every empty link on the last two levels, so a red last level (below a
    // black root) gives every path from the root the same number of black nodes.
    entry.color = level > 0 && level == depth - 1 ? 0 : 1;
    return middle;
  }

  // Sector numbers of each structure, in file order: big streams, mini stream, mini FAT,
  // directory, FAT, DIFAT.
  void LayOut() {
    std::vector<std::uint8_t>& mini = m_MiniStream;
    for (Entry& entry : m_Entries) {
      if (entry.type != kStreamType || entry.size == 0) continue;
      if (entry.size < kMiniCutoff) {
        entry.start = std::uint32_t(mini.size() / kMiniSectorSize);
        const std::size_t sectors = (entry.size + kMiniSectorSize - 1) / kMiniSectorSize;
        for (std::size_t i = 0; i < sectors; ++i)
          m_MiniFat.push_back(i + 1 < sectors ? entry.start + std::uint32_t(i) + 1 : kEndOfChain);
        mini.insert(mini.end(), entry.data->begin(), entry.data->end());
        mini.resize(mini.size() + (kMiniSectorSize - mini.size() % kMiniSectorSize) % kMiniSectorSize, 0);
      } else {
        entry.start = AddChain(std::size_t((entry.size + 511) / 512));
      }
    }
    m_Entries[0].size = mini.size();
    if (!mini.empty()) m_Entries[0].start = AddChain((mini.size() + 511) / 512);
    m_MiniFatStart = m_MiniFat.empty() ? kEndOfChain : AddChain((m_MiniFat.size() * 4 + 511) / 512);
    m_MiniFatSectors = std::uint32_t((m_MiniFat.size() * 4 + 511) / 512);
    m_DirectoryStart = AddChain((m_Entries.size() + 3) / 4);
    // FAT and DIFAT sectors cover every sector, themselves included.
    const std::size_t dataSectors = m_Fat.size();
    std::size_t fat = 0, difat = 0;
    while (true) {
      const std::size_t neededFat = (dataSectors + fat + difat + 127) / 128;
      const std::size_t neededDifat = neededFat > kHeaderDifat ? (neededFat - kHeaderDifat + 126) / 127 : 0;
      if (neededFat == fat && neededDifat == difat) break;
      fat = neededFat, difat = neededDifat;
    }
    for (std::size_t i = 0; i < fat; ++i) {
      m_FatLocations.push_back(std::uint32_t(m_Fat.size()));
      m_Fat.push_back(kFatSector);
    }
    for (std::size_t i = 0; i < difat; ++i) {
      m_DifatLocations.push_back(std::uint32_t(m_Fat.size()));
      m_Fat.push_back(kDifatSector);
    }
  }

  std::uint32_t AddChain(std::size_t sectors) {
    const std::uint32_t first = std::uint32_t(m_Fat.size());
    for (std::size_t i = 0; i < sectors; ++i)
      m_Fat.push_back(i + 1 < sectors ? first + std::uint32_t(i) + 1 : kEndOfChain);
    return first;
  }

  void Write(std::vector<std::uint8_t>& file) {
    file.assign((m_Fat.size() + 1) * 512, 0);
    WriteHeader(file.data());
    auto sector = [&](std::uint32_t n) { return file.data() + (std::size_t(n) + 1) * 512; };
    for (const Entry& entry : m_Entries)
      if (entry.type == kStreamType && entry.size >= kMiniCutoff) WriteChain(sector, entry.start, *entry.data);
    if (!m_MiniStream.empty()) WriteChain(sector, m_Entries[0].start, m_MiniStream);
    if (!m_MiniFat.empty()) {
      std::vector<std::uint8_t> bytes(m_MiniFatSectors * 512, 0xFF);
      for (std::size_t i = 0; i < m_MiniFat.size(); ++i) Put32(bytes.data() + 4 * i, m_MiniFat[i]);
      WriteChain(sector, m_MiniFatStart, bytes);
    }
    WriteChain(sector, m_DirectoryStart, DirectoryBytes());
    WriteFat(sector);
  }

  void WriteHeader(std::uint8_t* h) const {
    std::memcpy(h, kSignature, 8);
    Put16(h + header::kMinorVersion, 0x003E);
    Put16(h + header::kMajorVersion, 3);
    Put16(h + header::kByteOrder, 0xFFFE);
    Put16(h + header::kSectorShift, 9);
    Put16(h + header::kMiniSectorShift, 6);
    Put32(h + header::kFatSectors, std::uint32_t(m_FatLocations.size()));
    Put32(h + header::kFirstDirectory, m_DirectoryStart);
    Put32(h + header::kMiniCutoff, kMiniCutoff);
    Put32(h + header::kFirstMiniFat, m_MiniFatStart);
    Put32(h + header::kMiniFatSectors, m_MiniFatSectors);
    Put32(h + header::kFirstDifat, m_DifatLocations.empty() ? kEndOfChain : m_DifatLocations.front());
    Put32(h + header::kDifatSectors, std::uint32_t(m_DifatLocations.size()));
    for (std::size_t i = 0; i < kHeaderDifat; ++i)
      Put32(h + header::kDifat + 4 * i, i < m_FatLocations.size() ? m_FatLocations[i] : kFreeSector);
  }

  // The directory's sectors: an entry for each object, the rest of the last sector unused entries.
  std::vector<std::uint8_t> DirectoryBytes() const {
    std::vector<std::uint8_t> directory((m_Entries.size() + 3) / 4 * 512, 0);
    for (std::size_t i = 0; i < directory.size() / kEntrySize; ++i) {
      std::uint8_t* e = directory.data() + i * kEntrySize;
      Put32(e + entry_field::kLeft, kNoStream);
      Put32(e + entry_field::kRight, kNoStream);
      Put32(e + entry_field::kChild, kNoStream);
      if (i >= m_Entries.size()) continue;
      const Entry& entry = m_Entries[i];
      for (std::size_t c = 0; c < entry.name.size(); ++c) Put16(e + 2 * c, entry.name[c]);
      Put16(e + entry_field::kNameBytes, std::uint16_t(2 * entry.name.size() + 2));
      e[entry_field::kType] = entry.type;
      e[entry_field::kColor] = entry.color;
      Put32(e + entry_field::kLeft, entry.left);
      Put32(e + entry_field::kRight, entry.right);
      Put32(e + entry_field::kChild, entry.child);
      GuidToBytes(entry.clsid, e + entry_field::kClassId);
      Put32(e + entry_field::kStateBits, entry.stateBits);
      Put32(e + entry_field::kCreated, entry.created.dwLowDateTime);
      Put32(e + entry_field::kCreated + 4, entry.created.dwHighDateTime);
      Put32(e + entry_field::kModified, entry.modified.dwLowDateTime);
      Put32(e + entry_field::kModified + 4, entry.modified.dwHighDateTime);
      // Storages have no data; empty streams and an empty mini stream start nowhere.
      Put32(e + entry_field::kStart, entry.type == kStorageType ? 0 : entry.start);
      Put64(e + entry_field::kSize, entry.size);
    }
    return directory;
  }

  // The FAT's sectors and the DIFAT sectors that list those beyond the header's.
  template <typename SectorOf>
  void WriteFat(SectorOf&& sector) const {
    std::vector<std::uint8_t> fat(m_FatLocations.size() * 512, 0xFF);
    for (std::size_t i = 0; i < m_Fat.size(); ++i) Put32(fat.data() + 4 * i, m_Fat[i]);
    for (std::size_t i = 0; i < m_FatLocations.size(); ++i)
      std::memcpy(sector(m_FatLocations[i]), fat.data() + i * 512, 512);
    for (std::size_t i = 0; i < m_DifatLocations.size(); ++i) {
      std::uint8_t* d = sector(m_DifatLocations[i]);
      std::memset(d, 0xFF, 512);
      for (std::size_t k = 0; k < 127; ++k) {
        const std::size_t index = kHeaderDifat + i * 127 + k;
        if (index < m_FatLocations.size()) Put32(d + 4 * k, m_FatLocations[index]);
      }
      Put32(d + 508, i + 1 < m_DifatLocations.size() ? m_DifatLocations[i + 1] : kEndOfChain);
    }
  }

  template <typename SectorOf>
  void WriteChain(SectorOf&& sector, std::uint32_t first, const std::vector<std::uint8_t>& data) {
    std::uint32_t current = first;
    for (std::size_t offset = 0; offset < data.size(); offset += 512, current = m_Fat[current])
      std::memcpy(sector(current), data.data() + offset, std::min<std::size_t>(512, data.size() - offset));
  }

  std::vector<Entry> m_Entries;
  std::vector<std::uint32_t> m_Fat, m_MiniFat, m_FatLocations, m_DifatLocations;
  std::vector<std::uint8_t> m_MiniStream;
  std::uint32_t m_MiniFatStart = kEndOfChain, m_MiniFatSectors = 0, m_DirectoryStart = kEndOfChain;
};

}  // namespace

HRESULT DecodeCompoundFile(std::span<const std::uint8_t> bytes, std::shared_ptr<StorageNode>& root) {
  try {
    root = Decoder(bytes).Decode();
    return S_OK;
  } catch (const Damaged& damage) {
    return damage.code;
  } catch (const std::bad_alloc&) {
    return STG_E_INSUFFICIENTMEMORY;
  }
}

HRESULT EncodeCompoundFile(const StorageNode& root, std::vector<std::uint8_t>& bytes) {
  try {
    return Encoder().Encode(root, bytes);
  } catch (const std::bad_alloc&) {
    return STG_E_INSUFFICIENTMEMORY;
  }
}
