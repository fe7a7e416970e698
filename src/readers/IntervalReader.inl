// The template part of CIntervalReader.
#include "contract/Diagnostics.h"
#include "platform/ComRuntime.h"

template <typename Fill>
HRESULT CIntervalReader::ReadWith(LONG position, LONG count, float** block, const LONG* channels, LONG channelCount,
                                  Fill&& fill) {
  std::size_t floats = 0;
  if (const HRESULT checked = CheckRead(position, count, block, channels, channelCount, floats); FAILED(checked))
    return checked;
  float* data = static_cast<float*>(CoTaskMemAlloc(floats * sizeof(float)));
  if (!data) return E_OUTOFMEMORY;
  const Selection selection{channels, channels ? std::size_t(channelCount) : std::size_t(m_nChannels)};
  try {
    fill(data, selection);
  } catch (...) {
    CoTaskMemFree(data);
    return ResultOfCurrentException();
  }
  *block = data;
  return S_OK;
}
