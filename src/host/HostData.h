#pragma once
// The host data class: a recording's data as the host keeps it. LoadFromStorage reads back the
// properties that the toolbox's property writer stored, and GetProperties hands them out as a
// property writer. The host does not serve samples itself: that is the reader component's work.
#include "contract/HostInterfaces.h"
#include "platform/ComObject.h"

class CHostData final : public ComObject<IEEGData> {
 public:
  HRESULT LoadFromStorage(IStorage* storage, LONG option) override;
  HRESULT GetProperties(IHostPropertyWriter** properties) override;
  HRESULT GetData(LONG, LONG, float**, const LONG*, LONG) override { return E_NOTIMPL; }
  HRESULT Operation4(LONG, LONG, LONG, LONG) override { return E_NOTIMPL; }
  HRESULT Operation5(LONG) override { return E_NOTIMPL; }
  HRESULT Operation6(LONG, LONG) override { return E_NOTIMPL; }
  HRESULT Operation7(LONG, LONG) override { return E_NOTIMPL; }
  HRESULT Operation8(LONG*) override { return E_NOTIMPL; }

 private:
  ComPtr<IHostPropertyWriter> m_Properties;
};
