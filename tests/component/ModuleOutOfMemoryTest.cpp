// The module's exports when memory runs out, in a process of their own: the class factory is made on
// the first request and then kept for the module's life. This executable's operator new serves the
// module too, so that the test can make one allocation fail.
#include <gtest/gtest.h>

#include "contract/ReaderIdentity.h"
#include "platform/ComPtr.h"
#include "platform/Module.h"
#include "support/AllocationCounter.h"

namespace {

TEST(ModuleOutOfMemory, TheFirstClassObjectRequestAnswersACode) {
  const HMODULE module = LoadLibraryA(GDR_READER_MODULE);
  ASSERT_NE(module, nullptr);
  using GetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);
  const auto getClassObject = GetProcAddressAs<GetClassObject>(module, "DllGetClassObject");
  ComPtr<IClassFactory> factory;
  FailNextAllocation();
  EXPECT_EQ(getClassObject(CLSID_GenericDataReader, IidOf<IClassFactory>(), factory.ReceiveVoid()), E_OUTOFMEMORY);
  EXPECT_FALSE(factory);
  // The next request makes the factory, and its CreateInstance answers a code too.
  ASSERT_EQ(getClassObject(CLSID_GenericDataReader, IidOf<IClassFactory>(), factory.ReceiveVoid()), S_OK);
  ComPtr<IUnknown> reader;
  FailNextAllocation();
  EXPECT_EQ(factory->CreateInstance(nullptr, IidOf<IUnknown>(), reader.ReceiveVoid()), E_OUTOFMEMORY);
}

}  // namespace
