#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>

#include "host/HostClasses.h"
#include "host/HostToolbox.h"
#include "host/StoredMarkers.h"
#include "platform/ComRuntime.h"
#include "platform/MemoryStorage.h"
#include "support/TempDir.h"
#include "support/TestRegistry.h"

namespace {

template <typename Interface>
ComPtr<Interface> CreateToolbox() {
  ComPtr<Interface> made;
  EXPECT_EQ(CoCreateInstance(CLSID_HostToolbox, nullptr, CLSCTX_INPROC_SERVER, IidOf<Interface>(), made.ReceiveVoid()),
            S_OK);
  return made;
}

std::vector<std::uint8_t> TakeTaskBytes(BYTE* data, ULONG size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  CoTaskMemFree(data);
  return bytes;
}

class HostTest : public ::testing::Test {
 protected:
  HostClasses classes;
};

TEST_F(HostTest, TheBagEncodingRoundTripsAndRefusesDamagedBytes) {
  ComPtr<IHostPropertyBag> bag = CreateToolbox<IHostPropertyBag>();
  const std::int32_t count = 2;
  const float resolution = 0.5f;
  ASSERT_EQ(bag->SetProperty(0, 0, &count, 4), S_OK);
  ASSERT_EQ(bag->SetProperty(1, 1, &resolution, 4), S_OK);
  ASSERT_EQ(bag->SetProperty(0x04030201, 0, "", 0), S_OK);  // a tag of four distinct bytes
  BYTE* data = nullptr;
  ULONG size = 0;
  ASSERT_EQ(bag->SaveToMemory(&data, &size), S_OK);
  const std::vector<std::uint8_t> encoded = TakeTaskBytes(data, size);
  ASSERT_EQ(encoded.size(), 3 * 12 + 8u);
  EXPECT_EQ(std::vector<std::uint8_t>(encoded.begin(), encoded.begin() + 16),
            (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 2, 0, 0, 0}));

  ComPtr<IHostPropertyBag> other = CreateToolbox<IHostPropertyBag>();
  ASSERT_EQ(other->Reset(encoded.data(), ULONG(encoded.size())), S_OK);
  ASSERT_EQ(other->GetProperty(1, 1, &data, &size), S_OK);
  EXPECT_EQ(TakeTaskBytes(data, size), (std::vector<std::uint8_t>{0, 0, 0, 0x3F}));  // 0.5f
  EXPECT_EQ(other->GetProperty(1, 0, &data, &size), S_FALSE);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(other->GetProperty(0x04030201, 0, &data, &size), S_OK);
  CoTaskMemFree(data);
  EXPECT_EQ(other->GetProperty(1, 1, &data, nullptr), E_POINTER);
  EXPECT_EQ(other->SaveToMemory(&data, nullptr), E_POINTER);

  std::vector<std::uint8_t> twice = encoded;
  twice.insert(twice.end(), encoded.begin(), encoded.begin() + 16);  // the first entry again
  const std::vector<std::uint8_t> damaged[] = {{encoded.begin(), encoded.begin() + 1},
                                               {encoded.begin(), encoded.begin() + 11},
                                               {encoded.begin(), encoded.end() - 1},
                                               twice,
                                               {1, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}};
  for (const std::vector<std::uint8_t>& bytes : damaged) {
    ASSERT_EQ(other->Reset(encoded.data(), ULONG(encoded.size())), S_OK);
    EXPECT_EQ(other->Reset(bytes.data(), ULONG(bytes.size())), E_INVALID_DATA) << bytes.size();
    other->SaveToMemory(&data, &size);
    EXPECT_EQ(TakeTaskBytes(data, size).size(), 0u) << "a refused buffer leaves the bag empty";
  }
  EXPECT_EQ(other->Reset(nullptr, 0), S_OK);
}

TEST_F(HostTest, DatesAreOleAutomationDays) {
  ComPtr<IHostConverter> converter = CreateToolbox<IHostConverter>();
  struct Row {
    std::array<LONG, 7> date;  // year, month, day, hour, minute, second, microsecond
    double days;               // NAN: refused with E_INVALIDARG
  };
  const Row rows[] = {
      {{1899, 12, 30, 0, 0, 0, 0}, 0.0},     {{1900, 1, 1, 0, 0, 0, 0}, 2.0},
      {{2000, 1, 1, 12, 0, 0, 0}, 36526.5},  {{1899, 12, 29, 6, 0, 0, 0}, -1.25},
      {{2000, 2, 29, 0, 0, 0, 0}, 36585},    {{2400, 2, 29, 0, 0, 0, 0}, 182682},
      {{1600, 2, 29, 0, 0, 0, 0}, -109512},  {{100, 1, 1, 0, 0, 0, 0}, -657434},
      {{9999, 12, 31, 0, 0, 0, 0}, 2958465}, {{2023, 2, 29, 0, 0, 0, 0}, NAN},
      {{1900, 2, 29, 0, 0, 0, 0}, NAN},      {{2100, 2, 29, 0, 0, 0, 0}, NAN},
      {{2000, 4, 31, 0, 0, 0, 0}, NAN},      {{2000, 13, 1, 0, 0, 0, 0}, NAN},
      {{2000, 1, 32, 0, 0, 0, 0}, NAN},      {{2000, 1, 1, 24, 0, 0, 0}, NAN},
      {{2000, 1, 1, 0, 0, 0, 1000000}, NAN}, {{99, 1, 1, 0, 0, 0, 0}, NAN},
  };
  for (const Row& row : rows) {
    const auto& d = row.date;
    double value = -1;
    const HRESULT result = converter->DateToValue(d[0], d[1], d[2], d[3], d[4], d[5], d[6], &value);
    if (std::isnan(row.days)) {
      EXPECT_EQ(result, E_INVALIDARG) << d[0] << "-" << d[1] << "-" << d[2];
      continue;
    }
    ASSERT_EQ(result, S_OK);
    EXPECT_EQ(value, row.days) << d[0] << "-" << d[1] << "-" << d[2];
    LONG year = 0, month = 0, day = 0;  // back from the value, its fraction dropped
    ASSERT_EQ(converter->ValueToDate(row.days, &year, &month, &day), S_OK);
    EXPECT_EQ((std::array<LONG, 3>{year, month, day}), (std::array<LONG, 3>{d[0], d[1], d[2]}));
  }
  double value = 0;
  ASSERT_EQ(converter->DateToValue(2024, 2, 29, 23, 59, 59, 999999, &value), S_OK);
  EXPECT_NEAR((value - 45351.0) * 86400.0, 86399.999999, 1e-5);  // the microseconds survive
  // A stored date is read back as a time only within the years 100 to 9999.
  EXPECT_EQ((std::array<bool, 4>{bool(OleDateToTime(-657435.5)), bool(OleDateToTime(-657435.0)),
                                 bool(OleDateToTime(2958465.9)), bool(OleDateToTime(2958466.0))}),
            (std::array<bool, 4>{false, true, true, false}));
}

TEST_F(HostTest, ElectrodePositionsMirroredAcrossTheMidline) {
  ComPtr<IHostConverter> converter = CreateToolbox<IHostConverter>();
  float unknown[3] = {9, 9, 9};
  ASSERT_EQ(converter->LookupCoordinates("Unknown", unknown), S_OK);
  EXPECT_EQ(unknown[0] + unknown[1] + unknown[2], 0.0f);
  const auto position = [&](const char* label) {
    std::array<float, 3> at{};
    EXPECT_EQ(converter->LookupCoordinates(label, at.data()), S_OK);
    EXPECT_EQ(at[0], 1.0f) << label;  // on the unit sphere
    return at;
  };
  const std::pair<const char*, const char*> pairs[] = {{"Fp1", "Fp2"}, {"F7", "F8"}, {"F3", "F4"}, {"T7", "T8"},
                                                       {"C3", "C4"},   {"P7", "P8"}, {"P3", "P4"}, {"O1", "O2"},
                                                       {"T3", "T4"},   {"T5", "T6"}};
  for (const auto& [left, right] : pairs) {
    const std::array<float, 3> l = position(left), r = position(right);
    EXPECT_LT(l[1], 0.0f) << left;
    EXPECT_EQ(r[1], -l[1]) << right;
    EXPECT_EQ(r[2], -l[2]) << right;
  }
  EXPECT_EQ(position("Fp1")[1], -90.0f);
  EXPECT_EQ(position("CZ"), position("Cz"));  // in any case
  for (const char* midline : {"Fpz", "Fz", "Pz", "Oz"}) {
    EXPECT_GT(position(midline)[1], 0.0f) << midline;
    EXPECT_EQ(std::fabs(position(midline)[2]), 90.0f) << midline;
  }
}

TEST_F(HostTest, PropertiesStoredByTheWriterComeBackThroughTheHostData) {
  ComPtr<IStorage> storage;
  ASSERT_EQ(CreateMemoryStorage(storage.Receive()), S_OK);
  {
    ComPtr<IHostPropertyWriter> writer = CreateToolbox<IHostPropertyWriter>();
    EXPECT_EQ(writer->Finish(), E_UNEXPECTED);  // nothing attached
    ASSERT_EQ(writer->Attach(storage.Get()), S_OK);
    const std::int32_t channels = 32;
    ASSERT_EQ(writer->SetProperty(1, 0, &channels, 4), S_OK);
    ASSERT_EQ(writer->SetProperty(4, 31, "desc", 4), S_OK);
    EXPECT_EQ(writer->RemoveProperty(4, 31), S_OK);
    EXPECT_EQ(writer->RemoveProperty(4, 31), S_FALSE);
    ASSERT_EQ(writer->Finish(), S_OK);
  }
  ComPtr<IEEGData> data;
  ASSERT_EQ(CoCreateInstance(CLSID_HostData, nullptr, CLSCTX_ALL, IidOf<IEEGData>(), data.ReceiveVoid()), S_OK);
  ComPtr<IHostPropertyWriter> properties;
  EXPECT_EQ(data->GetProperties(properties.Receive()), E_UNEXPECTED);
  ASSERT_EQ(data->LoadFromStorage(storage.Get(), 0), S_OK);
  ASSERT_EQ(data->GetProperties(properties.Receive()), S_OK);
  BYTE* bytes = nullptr;
  ULONG size = 0;
  ASSERT_EQ(properties->GetProperty(1, 0, &bytes, &size), S_OK);
  EXPECT_EQ(TakeTaskBytes(bytes, size), (std::vector<std::uint8_t>{32, 0, 0, 0}));
  EXPECT_EQ(properties->GetProperty(4, 31, &bytes, &size), S_FALSE);  // removed before it was stored
}

TEST_F(HostTest, MarkersAreCommittedIntoTheStorage) {
  ComPtr<IStorage> storage;
  ASSERT_EQ(CreateMemoryStorage(storage.Receive()), S_OK);
  ComPtr<IHostMarkerWriter> writer = CreateToolbox<IHostMarkerWriter>();
  EXPECT_EQ(writer->Commit(), E_UNEXPECTED);
  ASSERT_EQ(writer->Attach(storage.Get()), S_OK);
  const std::vector<StoredMarker> written = {{0, 1, -1, false, true, 36526.5, "New Segment", ""},
                                             {99, 3, 2, true, false, 0.0, "Stimulus", "S  1, extra"}};
  for (const StoredMarker& marker : written) {
    writer->BeginMarker(marker.position, marker.points);
    writer->SetType(marker.type.c_str());
    writer->SetDescription(marker.description.c_str());
    if (marker.hasDate) writer->SetDate(marker.date);
    if (marker.flag) writer->SetFlag();
    writer->SetChannel(marker.channel);
    writer->AddMarker();
  }
  ASSERT_EQ(writer->Commit(), S_OK);
  const std::optional<std::vector<StoredMarker>> markers = ReadStoredMarkers(storage.Get());
  ASSERT_TRUE(markers);
  EXPECT_EQ(*markers, written);

  const std::vector<std::uint8_t> encoded = EncodeMarkers(*markers);
  for (std::size_t cut = 0; cut < encoded.size(); ++cut)
    EXPECT_FALSE(DecodeMarkers(std::span(encoded).first(cut))) << cut;
  const std::vector<std::uint8_t> many = {0xFF, 0xFF, 0xFF, 0x7F};
  EXPECT_FALSE(DecodeMarkers(many));
}

TEST_F(HostTest, MessagesGoToTheSink) {
  std::vector<std::string> shown;
  SetHostMessageSink([&](const std::string& text) { shown.push_back(text); });
  ComPtr<IHostMessages> messages = CreateToolbox<IHostMessages>();
  messages->ShowMessage("first");
  messages->ShowMessage("second");
  SetHostMessageSink(nullptr);
  EXPECT_EQ(shown, (std::vector<std::string>{"first", "second"}));
  testing::internal::CaptureStderr();
  messages->ShowMessage("to stderr");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "to stderr\n");
}

TEST_F(HostTest, ARegisteredClassCanBeCreatedFromItsModule) {
  const TempDir dir;
  const TestRegistry registry{dir.File("registry")};
  constexpr CLSID kClass = {0x0BADF00D, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  HMODULE module = LoadLibraryA(GDR_TEST_MODULE);
  ASSERT_NE(module, nullptr);
  ComPtr<IHostRegistration> registration = CreateToolbox<IHostRegistration>();
  ASSERT_EQ(registration->RegisterClass(kClass, module, "Test.Module"), S_OK);
  HKEY key = nullptr;
  ASSERT_EQ(registration->RegisterComponent("Kaptor\\Miscellaneous", &key, kClass, "A test module"), S_OK);
  EXPECT_NE(key, nullptr);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  CLSID found{};
  ASSERT_EQ(registration->FindComponent("Test.Module", &found), S_OK);
  EXPECT_EQ(found, kClass);

  ComPtr<IUnknown> made;
  EXPECT_EQ(CoCreateInstance(kClass, nullptr, CLSCTX_INPROC_SERVER, IidOf<IUnknown>(), made.ReceiveVoid()), S_OK);

  EXPECT_EQ(registration->UnregisterComponent("Kaptor\\Miscellaneous", kClass), S_OK);
  EXPECT_EQ(registration->UnregisterClass(kClass), S_OK);
  EXPECT_EQ(registration->FindComponent("Test.Module", &found), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(kClass, nullptr, CLSCTX_INPROC_SERVER, IidOf<IUnknown>(), made.ReceiveVoid()),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(registration->UnregisterClass(kClass), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));

  const HRESULT nulls[] = {registration->RegisterComponent(nullptr, &key, kClass, "d"),
                           registration->RegisterComponent("p", &key, kClass, nullptr),
                           registration->RegisterCategory(nullptr, "d"),
                           registration->RegisterCategory("p", nullptr),
                           registration->RegisterClass(kClass, module, nullptr),
                           registration->FindComponent(nullptr, &found),
                           registration->FindComponent("Test.Module", nullptr),
                           registration->UnregisterCategory(nullptr),
                           registration->UnregisterComponent(nullptr, kClass)};
  for (std::size_t i = 0; i < std::size(nulls); ++i) EXPECT_EQ(nulls[i], E_POINTER) << i;
}

}  // namespace
