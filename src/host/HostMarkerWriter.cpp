#include "host/HostToolbox.h"
#include "host/StreamFiles.h"

HRESULT HostMarkerWriter::Attach(IStorage* storage) {
  if (!storage) return E_POINTER;
  m_Storage = ComPtr<IStorage>::Share(storage);
  return S_OK;
}

HRESULT HostMarkerWriter::BeginMarker(LONG position, LONG points) {
  m_Current = StoredMarker();
  m_Current.position = position;
  m_Current.points = points;
  m_Begun = true;
  return S_OK;
}

HRESULT HostMarkerWriter::SetType(const char* type) {
  if (!type) return E_POINTER;
  m_Current.type = type;
  return S_OK;
}

HRESULT HostMarkerWriter::SetDate(double date) {
  m_Current.date = date;
  m_Current.hasDate = true;
  return S_OK;
}

HRESULT HostMarkerWriter::SetDescription(const char* description) {
  if (!description) return E_POINTER;
  m_Current.description = description;
  return S_OK;
}

HRESULT HostMarkerWriter::SetChannel(LONG channel) {
  m_Current.channel = channel;
  return S_OK;
}

HRESULT HostMarkerWriter::SetFlag() {
  m_Current.flag = true;
  return S_OK;
}

HRESULT HostMarkerWriter::AddMarker() {
  if (!m_Begun) return E_UNEXPECTED;
  // Kept encoded, the form in which the list is stored, so that a marker takes its stored size only.
  SetMarkerCount(m_Encoded, ++m_Count);
  AppendMarker(m_Encoded, m_Current);
  m_Begun = false;
  return S_OK;
}

HRESULT HostMarkerWriter::Commit() {
  if (!m_Storage) return E_UNEXPECTED;
  SetMarkerCount(m_Encoded, m_Count);
  return WriteWholeStream(m_Storage.Get(), kHostMarkersStream, m_Encoded);
}
