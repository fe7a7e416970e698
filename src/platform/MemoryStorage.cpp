#include "platform/MemoryStorage.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "platform/ComObject.h"
#include "platform/ComRuntime.h"

namespace {

constexpr DWORD kAccessMask = 0x3;
constexpr DWORD kShareMask = 0x70;

bool CanWrite(DWORD mode) { return (mode & kAccessMask) != STGM_READ; }
bool CanRead(DWORD mode) { return (mode & kAccessMask) != STGM_WRITE; }

// Windows refuses element modes that do not deny all sharing, and invalid access values.
HRESULT CheckElementMode(DWORD mode) {
  if ((mode & kAccessMask) == 3 || (mode & kShareMask) != STGM_SHARE_EXCLUSIVE) return STG_E_INVALIDFLAG;
  if (mode & STGM_TRANSACTED) return STG_E_INVALIDFUNCTION;
  return S_OK;
}

LPOLESTR TaskCopy(const WideString& name) {
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((name.size() + 1) * sizeof(OLECHAR)));
  if (copy) std::memcpy(copy, name.c_str(), (name.size() + 1) * sizeof(OLECHAR));
  return copy;
}

STATSTG StatOf(const StorageElement& element, DWORD mode, DWORD flags) {
  STATSTG status{};
  status.type = element.stream ? STGTY_STREAM : STGTY_STORAGE;
  status.cbSize.QuadPart = element.stream ? element.stream->size() : 0;
  status.ctime = element.created;
  status.mtime = element.modified;
  status.grfMode = mode;
  if (element.storage) {
    status.clsid = element.storage->clsid;
    status.grfStateBits = element.storage->stateBits;
  }
  if (!(flags & STATFLAG_NONAME)) status.pwcsName = TaskCopy(element.name);
  return status;
}

// Holds an element open for as long as an object works on it.
class OpenElement {
 public:
  explicit OpenElement(std::shared_ptr<StorageElement> element) : m_Element(std::move(element)) {
    if (m_Element) ++m_Element->openCount;
  }
  ~OpenElement() {
    if (m_Element) --m_Element->openCount;
  }
  OpenElement(const OpenElement&) = delete;
  OpenElement& operator=(const OpenElement&) = delete;
  StorageElement* operator->() const { return m_Element.get(); }
  const std::shared_ptr<StorageElement>& Get() const { return m_Element; }

 private:
  std::shared_ptr<StorageElement> m_Element;
};

class MemoryStream final : public ComObject<IStream> {
 public:
  MemoryStream(std::shared_ptr<StorageElement> element, DWORD mode) : m_Element(std::move(element)), m_Mode(mode) {}

  HRESULT Read(void* buffer, ULONG count, ULONG* read) override {
    if (read) *read = 0;
    if (!buffer && count) return STG_E_INVALIDPOINTER;
    if (!CanRead(m_Mode)) return STG_E_ACCESSDENIED;
    const std::vector<std::uint8_t>& data = *m_Element->stream;
    const std::uint64_t available = m_Position < data.size() ? data.size() - m_Position : 0;
    const ULONG copied = ULONG(std::min<std::uint64_t>(count, available));
    if (copied) std::memcpy(buffer, data.data() + m_Position, copied);
    m_Position += copied;
    if (read) *read = copied;
    return S_OK;
  }

  HRESULT Write(const void* buffer, ULONG count, ULONG* written) override {
    if (written) *written = 0;
    if (!buffer && count) return STG_E_INVALIDPOINTER;
    if (!CanWrite(m_Mode)) return STG_E_ACCESSDENIED;
    std::vector<std::uint8_t>& data = *m_Element->stream;
    const std::uint64_t end = m_Position + count;
    if (end > data.max_size()) return STG_E_MEDIUMFULL;
    try {
      if (end > data.size()) data.resize(std::size_t(end));
    } catch (const std::bad_alloc&) {
      return STG_E_INSUFFICIENTMEMORY;
    }
    if (count) std::memcpy(data.data() + m_Position, buffer, count);
    m_Position = end;
    if (written) *written = count;
    return S_OK;
  }

  HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override {
    std::int64_t base;
    switch (origin) {
      case STREAM_SEEK_SET:
        base = 0;
        break;
      case STREAM_SEEK_CUR:
        base = std::int64_t(m_Position);
        break;
      case STREAM_SEEK_END:
        base = std::int64_t(m_Element->stream->size());
        break;
      default:
        return STG_E_INVALIDFUNCTION;
    }
    std::int64_t target;
    if (__builtin_add_overflow(base, move.QuadPart, &target) || target < 0) return STG_E_INVALIDFUNCTION;
    m_Position = std::uint64_t(target);
    if (newPosition) newPosition->QuadPart = m_Position;
    return S_OK;
  }

  HRESULT SetSize(ULARGE_INTEGER size) override {
    if (!CanWrite(m_Mode)) return STG_E_ACCESSDENIED;
    if (size.QuadPart > m_Element->stream->max_size()) return STG_E_MEDIUMFULL;
    try {
      m_Element->stream->resize(std::size_t(size.QuadPart));
    } catch (const std::bad_alloc&) {
      return STG_E_INSUFFICIENTMEMORY;
    }
    return S_OK;
  }

  HRESULT CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read, ULARGE_INTEGER* written) override {
    if (!target) return STG_E_INVALIDPOINTER;
    std::uint64_t done = 0;
    std::uint8_t chunk[65536];
    while (done < count.QuadPart) {
      ULONG got = 0;
      const HRESULT result = Read(chunk, ULONG(std::min<std::uint64_t>(sizeof chunk, count.QuadPart - done)), &got);
      if (FAILED(result)) return result;
      if (got == 0) break;
      ULONG put = 0;
      const HRESULT wrote = target->Write(chunk, got, &put);
      done += put;
      if (FAILED(wrote)) return wrote;
    }
    if (read) read->QuadPart = done;
    if (written) written->QuadPart = done;
    return S_OK;
  }

  HRESULT Commit(DWORD) override { return S_OK; }
  HRESULT Revert() override { return S_OK; }
  HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }

  HRESULT Stat(STATSTG* status, DWORD flags) override {
    if (!status) return STG_E_INVALIDPOINTER;
    *status = StatOf(*m_Element.Get(), m_Mode, flags);
    if (!(flags & STATFLAG_NONAME) && !status->pwcsName) return STG_E_INSUFFICIENTMEMORY;
    return S_OK;
  }

  HRESULT Clone(IStream** clone) override {
    if (!clone) return STG_E_INVALIDPOINTER;
    auto copy = MakeCom<IStream, MemoryStream>(m_Element.Get(), m_Mode);
    copy->Seek({std::int64_t(m_Position)}, STREAM_SEEK_SET, nullptr);
    *clone = copy.Detach();
    return S_OK;
  }

 private:
  OpenElement m_Element;
  DWORD m_Mode;
  std::uint64_t m_Position = 0;
};

class StatEnumerator final : public ComObject<IEnumSTATSTG> {
 public:
  StatEnumerator(std::vector<std::shared_ptr<StorageElement>> elements, std::size_t next = 0)
      : m_Elements(std::move(elements)), m_Next(next) {}

  HRESULT Next(ULONG count, STATSTG* elements, ULONG* fetched) override {
    if (!elements || (count > 1 && !fetched)) return STG_E_INVALIDPOINTER;
    ULONG done = 0;
    for (; done < count && m_Next < m_Elements.size(); ++done, ++m_Next)
      elements[done] = StatOf(*m_Elements[m_Next], 0, STATFLAG_DEFAULT);
    if (fetched) *fetched = done;
    return done == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    const std::size_t left = m_Elements.size() - m_Next;
    m_Next += std::min<std::size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    m_Next = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumSTATSTG** clone) override {
    if (!clone) return STG_E_INVALIDPOINTER;
    *clone = MakeCom<IEnumSTATSTG, StatEnumerator>(m_Elements, m_Next).Detach();
    return S_OK;
  }

 private:
  std::vector<std::shared_ptr<StorageElement>> m_Elements;
  std::size_t m_Next;
};

class MemoryStorage final : public ComObject<IStorage> {
 public:
  MemoryStorage(std::shared_ptr<StorageElement> element, DWORD mode, std::function<HRESULT()> commit)
      : m_Element(std::move(element)), m_Mode(mode), m_Commit(std::move(commit)) {}

  HRESULT CreateStream(LPCOLESTR name, DWORD mode, DWORD, DWORD, IStream** stream) override {
    return Create(name, mode, /*isStream=*/true, reinterpret_cast<void**>(stream));
  }

  HRESULT OpenStream(LPCOLESTR name, void*, DWORD mode, DWORD, IStream** stream) override {
    return Open(name, mode, /*isStream=*/true, reinterpret_cast<void**>(stream));
  }

  HRESULT CreateStorage(LPCOLESTR name, DWORD mode, DWORD, DWORD, IStorage** storage) override {
    return Create(name, mode, /*isStream=*/false, reinterpret_cast<void**>(storage));
  }

  HRESULT OpenStorage(LPCOLESTR name, IStorage*, DWORD mode, SNB, DWORD, IStorage** storage) override {
    return Open(name, mode, /*isStream=*/false, reinterpret_cast<void**>(storage));
  }

  HRESULT CopyTo(DWORD, const IID*, SNB, IStorage*) override { return STG_E_INVALIDFUNCTION; }
  HRESULT MoveElementTo(LPCOLESTR, IStorage*, LPCOLESTR, DWORD) override { return STG_E_INVALIDFUNCTION; }

  HRESULT Commit(DWORD) override { return m_Commit ? m_Commit() : S_OK; }
  HRESULT Revert() override { return S_OK; }

  HRESULT EnumElements(DWORD, void*, DWORD, IEnumSTATSTG** elements) override {
    if (!elements) return STG_E_INVALIDPOINTER;
    std::vector<std::shared_ptr<StorageElement>> children;
    for (const auto& [folded, child] : Node().children) children.push_back(child);
    *elements = MakeCom<IEnumSTATSTG, StatEnumerator>(std::move(children)).Detach();
    return S_OK;
  }

  HRESULT DestroyElement(LPCOLESTR name) override {
    if (!name) return STG_E_INVALIDPOINTER;
    if (!CanWrite(m_Mode)) return STG_E_ACCESSDENIED;
    const auto found = Node().children.find(FoldElementName(name));
    if (found == Node().children.end()) return STG_E_FILENOTFOUND;
    if (found->second->openCount > 0) return STG_E_ACCESSDENIED;
    Node().children.erase(found);
    return S_OK;
  }

  HRESULT RenameElement(LPCOLESTR oldName, LPCOLESTR newName) override {
    if (!oldName || !newName) return STG_E_INVALIDPOINTER;
    if (!CanWrite(m_Mode)) return STG_E_ACCESSDENIED;
    if (!IsValidElementName(newName)) return STG_E_INVALIDNAME;
    auto& children = Node().children;
    const auto found = children.find(FoldElementName(oldName));
    if (found == children.end()) return STG_E_FILENOTFOUND;
    if (children.count(FoldElementName(newName))) return STG_E_ACCESSDENIED;
    if (found->second->openCount > 0) return STG_E_ACCESSDENIED;
    std::shared_ptr<StorageElement> element = found->second;
    children.erase(found);
    element->name = newName;
    children[FoldElementName(newName)] = std::move(element);
    return S_OK;
  }

  HRESULT SetElementTimes(LPCOLESTR name, const FILETIME* created, const FILETIME*, const FILETIME* modified) override {
    if (!CanWrite(m_Mode)) return STG_E_ACCESSDENIED;
    StorageElement* element = m_Element.Get().get();
    if (name) {
      const auto found = Node().children.find(FoldElementName(name));
      if (found == Node().children.end()) return STG_E_FILENOTFOUND;
      element = found->second.get();
    }
    if (created) element->created = *created;
    if (modified) element->modified = *modified;
    return S_OK;
  }

  HRESULT SetClass(REFCLSID clsid) override {
    if (!CanWrite(m_Mode)) return STG_E_ACCESSDENIED;
    Node().clsid = clsid;
    return S_OK;
  }

  HRESULT SetStateBits(DWORD stateBits, DWORD mask) override {
    if (!CanWrite(m_Mode)) return STG_E_ACCESSDENIED;
    Node().stateBits = (Node().stateBits & ~mask) | (stateBits & mask);
    return S_OK;
  }

  HRESULT Stat(STATSTG* status, DWORD flags) override {
    if (!status) return STG_E_INVALIDPOINTER;
    *status = StatOf(*m_Element.Get(), m_Mode, flags);
    if (!(flags & STATFLAG_NONAME) && !status->pwcsName) return STG_E_INSUFFICIENTMEMORY;
    return S_OK;
  }

 private:
  StorageNode& Node() const { return *m_Element->storage; }

  HRESULT Create(LPCOLESTR name, DWORD mode, bool isStream, void** object) {
    if (!object) return STG_E_INVALIDPOINTER;
    *object = nullptr;
    if (!name) return STG_E_INVALIDPOINTER;
    if (const HRESULT checked = CheckElementMode(mode & ~STGM_CREATE); FAILED(checked)) return checked;
    if (!CanWrite(mode)) return STG_E_INVALIDFLAG;
    if (!CanWrite(m_Mode)) return STG_E_ACCESSDENIED;
    if (!IsValidElementName(name)) return STG_E_INVALIDNAME;
    const WideString folded = FoldElementName(name);
    auto& children = Node().children;
    if (const auto found = children.find(folded); found != children.end()) {
      if (!(mode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
      if (found->second->openCount > 0) return STG_E_ACCESSDENIED;
    }
    try {
      auto element = std::make_shared<StorageElement>();
      element->name = name;
      if (isStream)
        element->stream = std::make_shared<std::vector<std::uint8_t>>();
      else
        element->storage = std::make_shared<StorageNode>();
      children[folded] = element;
      return Hand(element, mode, object);
    } catch (const std::bad_alloc&) {
      return STG_E_INSUFFICIENTMEMORY;
    }
  }

  HRESULT Open(LPCOLESTR name, DWORD mode, bool isStream, void** object) {
    if (!object) return STG_E_INVALIDPOINTER;
    *object = nullptr;
    if (!name) return STG_E_INVALIDPOINTER;
    if (const HRESULT checked = CheckElementMode(mode); FAILED(checked)) return checked;
    if (CanWrite(mode) && !CanWrite(m_Mode)) return STG_E_ACCESSDENIED;
    const auto found = Node().children.find(FoldElementName(name));
    if (found == Node().children.end() || bool(found->second->stream) != isStream) return STG_E_FILENOTFOUND;
    if (found->second->openCount > 0) return STG_E_ACCESSDENIED;
    return Hand(found->second, mode, object);
  }

  static HRESULT Hand(const std::shared_ptr<StorageElement>& element, DWORD mode, void** object) {
    if (element->stream)
      *object = MakeCom<IStream, MemoryStream>(element, mode).Detach();
    else
      *object = MakeCom<IStorage, MemoryStorage>(element, mode, nullptr).Detach();
    return S_OK;
  }

  OpenElement m_Element;
  DWORD m_Mode;
  std::function<HRESULT()> m_Commit;
};

char16_t FoldCharacter(char16_t c) {
  if (c >= u'a' && c <= u'z') return char16_t(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return char16_t(c - 0x20);
  if (c == 0xFF) return 0x178;
  return c;
}

}  // namespace

WideString FoldElementName(WideStringView name) {
  WideString folded(name);
  std::transform(folded.begin(), folded.end(), folded.begin(), FoldCharacter);
  return folded;
}

bool IsValidElementName(WideStringView name) {
  return !name.empty() && name.size() <= 31 && name.find_first_of(u"/\\:!") == WideStringView::npos;
}

ComPtr<IStorage> OpenStorageTree(std::shared_ptr<StorageNode> root, DWORD mode, std::function<HRESULT()> commit) {
  auto element = std::make_shared<StorageElement>();
  element->storage = std::move(root);
  return MakeCom<IStorage, MemoryStorage>(std::move(element), mode, std::move(commit));
}

HRESULT CreateMemoryStorage(IStorage** storage) {
  if (!storage) return STG_E_INVALIDPOINTER;
  *storage = OpenStorageTree(std::make_shared<StorageNode>(), STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr).Detach();
  return S_OK;
}

HRESULT WriteClassStg(IStorage* storage, REFCLSID clsid) { return storage ? storage->SetClass(clsid) : E_INVALIDARG; }

HRESULT ReadClassStg(IStorage* storage, CLSID* clsid) {
  if (!storage || !clsid) return E_INVALIDARG;
  STATSTG status{};
  const HRESULT result = storage->Stat(&status, STATFLAG_NONAME);
  if (FAILED(result)) return result;
  *clsid = status.clsid;
  return S_OK;
}
