#include "host/HostToolbox.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/ComRuntime.h"

namespace {

std::mutex g_SinkLock;
HostMessageSink g_Sink;
thread_local ThreadMessageSink* t_Sink = nullptr;

}  // namespace

void SetHostMessageSink(HostMessageSink sink) {
  std::lock_guard guard(g_SinkLock);
  g_Sink = std::move(sink);
}

ThreadMessageSink::ThreadMessageSink(HostMessageSink sink) : m_Sink(std::move(sink)), m_Outer(t_Sink) { t_Sink = this; }

ThreadMessageSink::~ThreadMessageSink() { t_Sink = m_Outer; }

HRESULT HostMessages::ShowMessage(const char* text) {
  if (!text) return E_POINTER;
  if (t_Sink) {
    t_Sink->m_Sink(text);
    return S_OK;
  }
  std::lock_guard guard(g_SinkLock);
  if (g_Sink) {
    g_Sink(text);
  } else {
    std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
  }
  return S_OK;
}

void* CHostToolbox::FindInterface(REFIID iid) {
  return FindPart(iid, m_Messages, m_Registration, m_PropertyWriter, m_PropertyBag, m_MarkerWriter, m_Converter);
}

HRESULT TaskCopyBytes(const std::vector<std::uint8_t>& bytes, BYTE** data, ULONG* size) {
  if (!data || !size) return E_POINTER;
  *data = nullptr;
  *size = 0;
  if (bytes.size() > 0xFFFFFFFFu) return E_OUTOFMEMORY;
  *data = static_cast<BYTE*>(CoTaskMemAlloc(bytes.size()));
  if (!*data) return E_OUTOFMEMORY;
  if (!bytes.empty()) std::memcpy(*data, bytes.data(), bytes.size());
  *size = ULONG(bytes.size());
  return S_OK;
}
