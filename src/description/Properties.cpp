#include "description/Properties.h"

#include <array>
#include <cstring>
#include <memory>

#include "contract/DataType.h"
#include "contract/Diagnostics.h"
#include "contract/HostInterfaces.h"
#include "platform/ComRuntime.h"
#include "readers/SampleReader.h"

namespace {

using TaskText = TaskMemory<char>;
using TaskBytes = TaskMemory<BYTE>;

template <typename Value>
void SetValue(IHostPropertyWriter& writer, ULONG tag, const Value& value, ULONG index = 0) {
  ThrowIfFailed(writer.SetProperty(tag, index, &value, sizeof value));
}

// Opens the data file once to learn its data point count.
std::int32_t ProbeDataPoints(const CHeaderFile& header) {
  HRESULT opened = S_OK;
  const std::unique_ptr<CIntervalReader> reader =
      OpenSampleReader(header.m_DataFile, std::int32_t(header.m_Channels.size()), 0, {}, IsComplex(header.m_DataType),
                       header.m_Layers, header, opened);
  ThrowIfFailed(opened);
  return reader->GetDataPoints();
}

struct UnitCensus {
  std::uint32_t common = 0;
  bool several = false;  // more than one unit code occurs
};

// Unit codes outside the table become 0; the common code is the most frequent (the smallest of a tie).
UnitCensus TakeUnitCensus(std::vector<CChannelInfo>& channels) {
  std::array<std::size_t, 6> counts{};
  for (CChannelInfo& channel : channels) {
    if (channel.UnitCode > 5) channel.UnitCode = 0;
    ++counts[channel.UnitCode];
  }
  UnitCensus census;
  std::size_t codesUsed = 0;
  for (std::uint32_t code = 0; code < counts.size(); ++code) {
    codesUsed += counts[code] > 0;
    if (counts[code] > counts[census.common]) census.common = code;
  }
  census.several = codesUsed > 1;
  return census;
}

TaskText ConvertLabel(IHostConverter& converter, const std::string& label) {
  char* converted = nullptr;
  ThrowIfFailed(converter.ConvertLabel(label.c_str(), &converted));
  return TaskText(converted);
}

void SetText(IHostPropertyBag& bag, ULONG tag, const char* text) {
  ThrowIfFailed(bag.SetProperty(tag, 0, text, ULONG(std::strlen(text) + 1)));
}

void WriteChannelDescription(IHostPropertyWriter& writer, IHostPropertyBag& bag, IHostConverter& converter,
                             const CChannelInfo& channel, std::size_t index, const UnitCensus& census) {
  ThrowIfFailed(bag.Reset(nullptr, 0));
  TaskText name = ConvertLabel(converter, channel.Name);
  SetText(bag, channel_tag::kName, name.get());
  if (census.several && channel.UnitCode != census.common)
    ThrowIfFailed(bag.SetProperty(channel_tag::kUnit, 0, &channel.UnitCode, 4));
  if (!channel.UnitText.empty())
    ThrowIfFailed(
        bag.SetProperty(channel_tag::kUnitText, 0, channel.UnitText.c_str(), ULONG(2 * channel.UnitText.size() + 2)));
  float coordinates[3];
  if (channel.HasCoordinates)
    std::memcpy(coordinates, channel.Coordinates, sizeof coordinates);
  else
    ThrowIfFailed(converter.LookupCoordinates(name.get(), coordinates));
  ThrowIfFailed(bag.SetProperty(channel_tag::kCoordinates, 0, coordinates, sizeof coordinates));
  TaskText reference = ConvertLabel(converter, channel.Reference);
  name.reset();
  SetText(bag, channel_tag::kReference, reference.get());

  BYTE* bytes = nullptr;
  ULONG size = 0;
  ThrowIfFailed(bag.SaveToMemory(&bytes, &size));
  const TaskBytes description(bytes);
  ThrowIfFailed(writer.SetProperty(property_tag::kChannel, ULONG(index), description.get(), size));
}

}  // namespace

void WriteProperties(CHeaderFile& header, const std::string& rawFilePath, IStorage* storage,
                     std::int32_t& timeZeroPosition) {
  using namespace property_tag;
  ComPtr<IHostPropertyWriter> writer;
  ThrowIfFailed(CoCreateInstance(CLSID_HostToolbox, nullptr, CLSCTX_INPROC_SERVER, IidOf<IHostPropertyWriter>(),
                                 writer.ReceiveVoid()));
  ThrowIfFailed(writer->Attach(storage));

  SetValue(*writer, kDataType, header.m_DataType);
  SetValue(*writer, kChannels, std::int32_t(header.m_Channels.size()));
  SetValue(*writer, kSamplingInterval, header.m_SamplingInterval);
  SetValue(*writer, kSegmentation, header.m_SegmentationType);
  if (header.m_Averaged == 1) SetValue(*writer, kAveragedSegments, header.m_AveragedSegments);
  if (header.m_Averaged == 1 || header.m_SegmentationType == MARKERBASED) {
    if (timeZeroPosition == -1) timeZeroPosition = 0;
    SetValue(*writer, kAveragingStart, std::int32_t(0));
    SetValue(*writer, kTimeZero, double(timeZeroPosition));
    if (header.m_SegmentDataPoints != 0) SetValue(*writer, kSegmentPoints, double(header.m_SegmentDataPoints));
  }

  if (header.m_DataPoints == 0) header.m_DataPoints = ProbeDataPoints(header);
  if (header.m_DataPoints == 0) {
    DisplayError("Generic Data Reader: Data size of \"" + rawFilePath + "\" is zero!");
    AfxThrowOleException(GDR_E_SHOWN);
  }
  SetValue(*writer, kDataPoints, header.m_DataPoints);
  if (header.m_Layers > 1) {
    SetValue(*writer, kLayers, header.m_Layers);
    SetValue(*writer, kLayerLowerLimit, header.m_LayerLowerLimit);
    SetValue(*writer, kLayerUpperLimit, header.m_LayerUpperLimit);
    SetValue(*writer, kLayerFunction, std::int32_t(header.m_LayerFunction));
  }
  const UnitCensus census = TakeUnitCensus(header.m_Channels);
  SetValue(*writer, kUnit, std::int32_t(census.common));

  ComPtr<IHostPropertyBag> bag;
  ThrowIfFailed(writer.As(bag));
  ComPtr<IHostConverter> converter;
  ThrowIfFailed(writer.As(converter));
  for (std::size_t i = 0; i < header.m_Channels.size(); ++i)
    WriteChannelDescription(*writer, *bag, *converter, header.m_Channels[i], i, census);

  writer->Finish();
  writer->Close();
  WriteDebugLog("WriteProperties: %s\n", header.m_DataFile.c_str());
}
