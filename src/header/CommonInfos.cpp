// [Common Infos]: channel count, data type and sampling, the data and marker files, data points,
// averaging, segmentation, orientation, format and layers, in the order in which failures win.
#include <cmath>

#include "header/HeaderFile.h"
#include "header/PathFunctions.h"
#include "platform/CNumbers.h"
#include "platform/Conversions.h"
#include "platform/Files.h"

bool CHeaderFile::InterpretCommonInfos() {
  const Section& common = *FindSection("common infos");
  return InterpretChannelCount(common) && InterpretSampling(common) && InterpretFiles(common) &&
         InterpretCounts(common) && InterpretLayers(common);
}

bool CHeaderFile::InterpretChannelCount(const Section& common) {
  const std::string* codepage = FindKey(common, "Codepage");
  m_Utf8 = codepage && EqualsNoCase(*codepage, "UTF-8");

  const std::string* channels = FindKey(common, "NumberOfChannels");
  if (!channels) return Fail("Missing \"NumberOfChannels\" key.");
  m_ChannelCount = StrToLong(channels->c_str());
  if (m_ChannelCount < 1) return RefuseValue("NumberOfChannels", *channels);
  return true;
}

bool CHeaderFile::InterpretSampling(const Section& common) {
  static constexpr Keyword kDataTypes[] = {{"TIMEDOMAIN", TIMEDOMAIN},
                                           {"TIMEDOMAIN_COMPLEX", TIMEDOMAIN_COMPLEX},
                                           {"FREQUENCYDOMAIN", FREQUENCYDOMAIN},
                                           {"FREQUENCYDOMAIN_COMPLEX", FREQUENCYDOMAIN_COMPLEX},
                                           {"TIMEFREQUENCYDOMAIN", TIMEFREQUENCYDOMAIN},
                                           {"TIMEFREQUENCYDOMAIN_COMPLEX", TIMEFREQUENCYDOMAIN_COMPLEX}};
  if (!ReadKeyword(common, "DataType", kDataTypes, TIMEDOMAIN, m_DataType)) return false;

  const std::string* interval = FindKey(common, "SamplingInterval");
  if (!interval) return Fail("Missing \"SamplingInterval\" key.");
  m_SamplingInterval = StrToDouble(*interval);
  // Time data are sampled in whole microseconds at least; frequency steps may be much finer.
  const double least = (m_DataType & DATATYPE_TIME_BIT) ? 1.0 : 0.001;
  if (!(m_SamplingInterval >= least && std::isfinite(m_SamplingInterval)))
    return RefuseValue("SamplingInterval", *interval);
  return true;
}

bool CHeaderFile::InterpretFiles(const Section& common) {
  const std::string* dataFile = FindKey(common, "DataFile");
  if (!dataFile) return Fail("Missing \"DataFile\" key.");
  if (!ResolveFile(*dataFile, "Data file", m_DataFile)) return false;
  const std::string* markerFile = FindKey(common, "MarkerFile");
  return !markerFile || ResolveFile(*markerFile, "Marker file", m_MarkerFile);
}

std::string CHeaderFile::ResolveFileName(std::string_view value, std::string_view headerPath) {
  std::string path = ReplaceNoCase(DecodeUtf8Path(value), "$b", GetFileTitle(headerPath));
  // A bare file name lies beside the header; a value with a drive or any folder part stays as it is.
  if (GetDrive(path).empty() && GetDirectory(path).empty())
    path = GetDrive(headerPath) + GetDirectory(headerPath) + path;
  return path;
}

bool CHeaderFile::ResolveFile(const std::string& value, std::string_view what, std::string& target) {
  std::string path = ResolveFileName(value, m_HeaderPath);
  if (!PathExists(path)) return Fail(std::string(what) + " \"" + path + "\" not found.");
  target = std::move(path);
  return true;
}

bool CHeaderFile::InterpretCounts(const Section& common) {
  static constexpr Keyword kSegmentations[] = {
      {"NOTSEGMENTED", NOTSEGMENTED}, {"MARKERBASED", MARKERBASED}, {"FIXTIME", FIXTIME}};
  static constexpr Keyword kOrientations[] = {{"MULTIPLEXED", MULTIPLEXED}, {"VECTORIZED", VECTORIZED}};
  static constexpr Keyword kFormats[] = {{"ASCII", FORMAT_ASCII}, {"BINARY", FORMAT_INT_16}};

  if (!ReadWholeNumber(common, "DataPoints", 0, 0, m_DataPoints) ||
      !ReadKeyword(common, "Averaged", kYesNo, 0, m_Averaged) ||
      !ReadWholeNumber(common, "AveragedSegments", 1, 0, m_AveragedSegments) ||
      !ReadKeyword(common, "SegmentationType", kSegmentations, NOTSEGMENTED, m_SegmentationType))
    return false;
  m_SegmentDataPoints = 0;
  if (m_SegmentationType != NOTSEGMENTED && !ReadWholeNumber(common, "SegmentDataPoints", 0, 0, m_SegmentDataPoints))
    return false;
  return ReadKeyword(common, "DataOrientation", kOrientations, MULTIPLEXED, m_DataOrientation) &&
         ReadKeyword(common, "DataFormat", kFormats, FORMAT_ASCII, m_SampleFormat);
}

bool CHeaderFile::InterpretLayers(const Section& common) {
  static constexpr Keyword kFunctions[] = {{"LINEAR", LAYER_LINEAR}, {"LOGARITHMIC", LAYER_LOGARITHMIC}};
  if (!ReadWholeNumber(common, "Layers", 1, 1, m_Layers)) return false;
  if (m_Layers == 1) return true;
  if (!ReadFraction(common, "LayerLowerLimit", 0.0, 0.0, m_LayerLowerLimit) ||
      !ReadFraction(common, "LayerUpperLimit", 0.0, 0.0, m_LayerUpperLimit))
    return false;
  if (!(m_LayerLowerLimit < m_LayerUpperLimit))
    return Fail("\"LayerUpperLimit\" is less or equal \"LayerLowerLimit\".");
  return ReadKeyword(common, "LayerFunction", kFunctions, LAYER_LINEAR, m_LayerFunction);
}

bool CHeaderFile::ReadWholeNumber(const Section& section, std::string_view key, std::int32_t absent, std::int32_t least,
                                  std::int32_t& target) {
  const std::string* value = FindKey(section, key);
  if (!value) return target = absent, true;
  target = StrToLong(value->c_str());
  return target >= least || RefuseValue(key, *value);
}

bool CHeaderFile::ReadFraction(const Section& section, std::string_view key, double absent, double least,
                               double& target) {
  const std::string* value = FindKey(section, key);
  if (!value) return target = absent, true;
  target = StrToDouble(*value);
  // A decimal beyond double's range reads as infinite: no limit admits it.
  return (target >= least && std::isfinite(target)) || RefuseValue(key, *value);
}
