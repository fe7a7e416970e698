#include <gtest/gtest.h>

#include "contract/HostInterfaces.h"
#include "doubles/HostDoubles.h"
#include "platform/ComRuntime.h"
#include "platform/MemoryStorage.h"

namespace {

TEST(HostDoubles, RecordCallsInOrderAndFailTheChosenOne) {
  HostDoubles host;
  host.Recorder().FailCall("MarkerWriter.AddMarker", 2, MakeResult(0x80030070));
  ComPtr<IStorage> storage;
  CreateMemoryStorage(storage.Receive());
  ComPtr<IHostMarkerWriter> writer;
  ASSERT_EQ(CoCreateInstance(CLSID_HostToolbox, nullptr, CLSCTX_ALL, IidOf<IHostMarkerWriter>(), writer.ReceiveVoid()),
            S_OK);
  EXPECT_EQ(writer->Attach(storage.Get()), S_OK);
  EXPECT_EQ(writer->BeginMarker(4, 1), S_OK);
  EXPECT_EQ(writer->SetType("Time 0"), S_OK);
  EXPECT_EQ(writer->AddMarker(), S_OK);
  EXPECT_EQ(writer->AddMarker(), MakeResult(0x80030070));
  EXPECT_EQ(writer->SetDate(0.5), S_OK);
  EXPECT_EQ(
      host.Recorder().Calls(),
      (std::vector<std::string>{"Create(IHostMarkerWriter)", "MarkerWriter.Attach(storage)",
                                "MarkerWriter.BeginMarker(4, 1)", "MarkerWriter.SetType(\"Time 0\")",
                                "MarkerWriter.AddMarker()", "MarkerWriter.AddMarker()", "MarkerWriter.SetDate(0.5)"}));
  EXPECT_EQ(host.Recorder().CallsOf("MarkerWriter.AddMarker").size(), 2u);
}

TEST(HostDoubles, CreationsCanFailAndPropertiesShowTheirBytes) {
  HostDoubles host;
  host.Recorder().FailCall("Create", 1, REGDB_E_CLASSNOTREG);
  ComPtr<IHostPropertyWriter> writer;
  EXPECT_EQ(
      CoCreateInstance(CLSID_HostToolbox, nullptr, CLSCTX_ALL, IidOf<IHostPropertyWriter>(), writer.ReceiveVoid()),
      REGDB_E_CLASSNOTREG);
  ASSERT_EQ(
      CoCreateInstance(CLSID_HostToolbox, nullptr, CLSCTX_ALL, IidOf<IHostPropertyWriter>(), writer.ReceiveVoid()),
      S_OK);
  const std::int16_t dataType = 0x101;
  EXPECT_EQ(writer->SetProperty(0, 0, &dataType, 2), S_OK);
  ComPtr<IHostPropertyBag> bag;
  ASSERT_EQ(writer.As(bag), S_OK);
  EXPECT_EQ(bag->Reset(nullptr, 0), S_OK);
  EXPECT_EQ(host.Recorder().CallsOf("PropertyWriter"),
            (std::vector<std::string>{"PropertyWriter.SetProperty(0, 0, [01 01])"}));
  EXPECT_EQ(host.Recorder().CallsOf("PropertyBag"), (std::vector<std::string>{"PropertyBag.Reset(null, 0)"}));
  ComPtr<IEEGData> data;
  ASSERT_EQ(CoCreateInstance(CLSID_HostData, nullptr, CLSCTX_ALL, IidOf<IEEGData>(), data.ReceiveVoid()), S_OK);
  EXPECT_EQ(data->Operation5(7), E_NOTIMPL);
  EXPECT_EQ(host.Recorder().Calls().back(), "HostData.Operation5(7)");
}

}  // namespace
