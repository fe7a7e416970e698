#include "library/EdfExport.h"

#include <edflib.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <mutex>

#include "library/EdfFields.h"
#include "platform/FileReplace.h"

namespace gdr::edf {

namespace {

std::mutex g_Exports;  // EDFlib's table of open files is the process's

// Floats one read holds at most, whatever the recording's length.
constexpr std::int64_t kChunkFloats = 1 << 20;
// What EDFlib may put into one annotation signal of a record, and how many such signals it writes.
constexpr std::int64_t kAnnotationBytes = 120, kMaxAnnotationSignals = 64;
constexpr std::size_t kAnnotationText = 40;

// Refusals of what was asked, and failures to write.
[[noreturn]] void Refuse(const std::string& text) { throw gdr::Error(gdr::kInvalidArgument, text); }
[[noreturn]] void Fail(const std::string& text) { throw gdr::Error(std::int32_t(0x80004005), text); }

struct Limits {
  std::int64_t low, high;
};
Limits DigitalLimits(bool bdf) { return bdf ? Limits{-8388608, 8388607} : Limits{-32768, 32767}; }

// The stored integer behind a sample of an integer channel, when the sample gives it back exactly.
std::optional<std::int64_t> Stored(float value, float resolution) {
  if (resolution == 0 || !std::isfinite(value)) return std::nullopt;
  const double n = std::round(double(value) / double(resolution));
  if (!(std::fabs(n) < 1e9) || float(n * double(resolution)) != value) return std::nullopt;
  return std::int64_t(n);
}

struct ChannelStats {
  float low = std::numeric_limits<float>::infinity(), high = -std::numeric_limits<float>::infinity();
  bool integral = true;
  std::int64_t storedLow = std::numeric_limits<std::int64_t>::max();
  std::int64_t storedHigh = std::numeric_limits<std::int64_t>::min();

  void Add(float value, float resolution) {
    low = std::min(low, value);
    high = std::max(high, value);
    if (!integral) return;
    const std::optional<std::int64_t> stored = Stored(value, resolution);
    integral = stored.has_value();
    if (stored) storedLow = std::min(storedLow, *stored), storedHigh = std::max(storedHigh, *stored);
  }
};

// A first pass over the data (the first half of the progress): each channel's extremes and whether its
// samples are integers times its resolution. The zeros that complete the last record count as data.
std::vector<ChannelStats> Scan(const ExportSource& source, bool padded, const std::function<void(double)>& progress) {
  const std::size_t channels = source.channels.size();
  std::vector<ChannelStats> stats(channels);
  const std::int64_t chunk = std::max<std::int64_t>(1, kChunkFloats / std::int64_t(channels));
  std::vector<float> block(std::size_t(std::min(chunk, source.points)) * channels);
  for (std::int64_t first = 0; first < source.points; first += chunk) {
    const std::int64_t count = std::min(chunk, source.points - first);
    const std::span<float> samples(block.data(), std::size_t(count) * channels);
    source.read(first, count, samples);
    for (std::size_t i = 0; i < samples.size(); ++i) {
      const std::size_t c = i % channels;
      if (!std::isfinite(samples[i]))
        Refuse("channel " + source.channels[c].label + ", point " +
               std::to_string(source.firstPoint + first + std::int64_t(i / channels)) + ": the sample is " +
               (std::isnan(samples[i]) ? "not a number" : "infinite") + ", which EDF cannot hold");
      stats[c].Add(samples[i], source.channels[c].resolution);
    }
    if (progress) progress(0.5 * double(first + count) / double(source.points));
  }
  if (padded)
    for (std::size_t c = 0; c < channels; ++c) stats[c].Add(0, source.channels[c].resolution);
  return stats;
}

// How one channel goes into the file: its digital and physical ranges, and how a sample becomes a
// digital value (the stored integer less `shift`, or the sample quantised in steps of `step` from `low`).
struct ChannelPlan {
  bool integer = false;
  std::int64_t shift = 0;
  std::int64_t digitalLow = 0, digitalHigh = 0;
  std::string physicalLow, physicalHigh;
  double low = 0, step = 0;

  int Digital(float value, float resolution) const {
    const double digital = integer ? std::round(double(value) / double(resolution)) - double(shift)
                                   : std::round((double(value) - low) / step) + double(digitalLow);
    return int(std::clamp(digital, double(digitalLow), double(digitalHigh)));
  }
};

// Numbers in messages, and the fields' texts read back; both without regard to the locale.
std::string Number(double value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6).ptr);
}

double Parse(const std::string& text) {
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// The file's own integers, with physical fields exact in 8 characters where a range allows it, else
// the nearest fields (the note says how far a sample can move). None when the samples are no integers
// or no nearest fields tell the data's ends apart: then the channel is written as float data.
std::optional<ChannelPlan> IntegerPlan(const ExportChannel& channel, const ChannelStats& stats, SampleFormat format,
                                       bool bdf, std::vector<std::string>& notes) {
  const bool integers =
      format == SampleFormat::int16 || format == SampleFormat::uint16 || format == SampleFormat::int12Packed;
  if (!integers || !stats.integral) return std::nullopt;
  ChannelPlan plan;
  plan.integer = true;
  plan.shift = format == SampleFormat::uint16 ? 32768 : 0;
  const Limits limits = DigitalLimits(bdf);
  const Decimal resolution = Decimal::Of(channel.resolution);
  if (const std::optional<IntegerRange> range = ExactIntegerRange(resolution, stats.storedLow, stats.storedHigh,
                                                                  limits.low + plan.shift, limits.high + plan.shift)) {
    plan.digitalLow = range->low - plan.shift;
    plan.digitalHigh = range->high - plan.shift;
    plan.physicalLow = range->physicalLow;
    plan.physicalHigh = range->physicalHigh;
    return plan;
  }
  const std::int64_t low = stats.storedLow, high = std::max(stats.storedHigh, low + 1);
  const double r = channel.resolution;
  const std::optional<std::string> lowText = NumberField(r * double(low), Rounding::nearest);
  const std::optional<std::string> highText = NumberField(r * double(high), Rounding::nearest);
  if (!lowText || !highText || *lowText == *highText || low - plan.shift < limits.low ||
      high - plan.shift > limits.high)
    return std::nullopt;
  plan.digitalLow = low - plan.shift;
  plan.digitalHigh = high - plan.shift;
  plan.physicalLow = *lowText;
  plan.physicalHigh = *highText;
  // The error of a linear map is largest at its ends.
  const double moved =
      std::max(std::fabs(Parse(*lowText) - r * double(low)), std::fabs(Parse(*highText) - r * double(high)));
  notes.push_back("channel " + channel.label + ": no physical range gives the resolution " + Number(r) +
                  " exactly in 8 characters; a sample can move by up to " + Number(moved) + " " + channel.unit);
  return plan;
}

// Float samples quantised over the data's range, its ends rounded outward to 8 characters.
ChannelPlan FloatPlan(const ExportChannel& channel, const ChannelStats& stats, bool bdf,
                      std::vector<std::string>& notes) {
  double low = stats.low, high = stats.high;
  if (low == high) {  // a constant channel: a narrow range around its value
    const double margin = std::max(std::fabs(low), 1.0) * 1e-6;
    low -= margin;
    high += margin;
  }
  const std::optional<std::string> lowText = NumberField(low, Rounding::down);
  const std::optional<std::string> highText = NumberField(high, Rounding::up);
  if (!lowText || !highText)
    Refuse("channel " + channel.label + ": samples as large as " + Number(std::fabs(low) > high ? low : high) +
           " do not fit into EDF's 8-character physical fields");
  const Limits limits = DigitalLimits(bdf);
  ChannelPlan plan{.digitalLow = limits.low,
                   .digitalHigh = limits.high,
                   .physicalLow = *lowText,
                   .physicalHigh = *highText,
                   .low = Parse(*lowText)};
  plan.step = (Parse(*highText) - plan.low) / double(limits.high - limits.low);
  notes.push_back("channel " + channel.label + ": quantisation step " + Number(plan.step) + " " + channel.unit);
  return plan;
}

// The file under construction, `path`.part, held open from its exclusive creation on: EDFlib opens it
// through the descriptor, the physical fields are written through it, and it is renamed over `path`
// only while that name is still this file. Closed and removed unless it was finished.
class PartFile {
 public:
  PartFile(const std::string& path, bool bdf, int signals) : m_Path(path), m_Part(path + ".part") {
    if (!m_File.Create(m_Part)) Fail("cannot write " + m_Path);
    m_Handle = edfopen_file_writeonly(m_File.DescriptorPath().c_str(),
                                      bdf ? EDFLIB_FILETYPE_BDFPLUS : EDFLIB_FILETYPE_EDFPLUS, signals);
    if (m_Handle < 0) {
      Discard();
      Fail("cannot write " + m_Path + " (EDFlib error " + std::to_string(m_Handle) + ")");
    }
  }
  ~PartFile() {
    if (m_Handle >= 0) edfclose_file(m_Handle);
    Discard();
  }
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;

  int Handle() const { return m_Handle; }
  // Every header field is set: a refusal here is a fault of ours, said with the field's name.
  void Check(int result, const char* what) const {
    if (result != 0) Fail(std::string("EDFlib refused the ") + what);
  }
  void Close() {
    const int closed = edfclose_file(m_Handle);
    m_Handle = -1;
    if (closed != 0) Fail("cannot write " + m_Path);
  }
  void WriteAt(std::int64_t offset, std::string_view bytes) const {
    if (!m_File.WriteAt(std::uint64_t(offset), bytes)) Fail("cannot write " + m_Path);
  }
  void Finish() {
    if (!m_File.StillAt(m_Part)) Fail("cannot write " + m_Path + ": " + m_Part + " was replaced meanwhile");
    if (!RenameOver(m_Part, m_Path)) Fail("cannot write " + m_Path);
    m_Part.clear();
  }

 private:
  // The part file, unless its name now belongs to another file.
  void Discard() {
    std::error_code ignored;
    if (!m_Part.empty() && m_File.StillAt(m_Part)) std::filesystem::remove(m_Part, ignored);
  }
  std::string m_Path, m_Part;
  FreshFile m_File;
  int m_Handle = -1;
};

// The start, in EDF's years 1985 to 2084; else EDFlib's earliest date and the recording field says why.
void SetStart(const PartFile& file, const std::optional<std::chrono::system_clock::time_point>& start) {
  using namespace std::chrono;
  const year_month_day earliest{year(1985), January, day(1)};
  const bool known =
      start && *start >= sys_days(earliest) && *start < sys_days(year_month_day{year(2085), January, day(1)});
  const system_clock::time_point at = known ? *start : sys_days(earliest);
  const sys_days date = floor<days>(at);
  const year_month_day ymd(date);
  const hh_mm_ss<system_clock::duration> time(floor<seconds>(at) - date);
  file.Check(edf_set_startdatetime(file.Handle(), int(ymd.year()), int(unsigned(ymd.month())), int(unsigned(ymd.day())),
                                   int(time.hours().count()), int(time.minutes().count()), int(time.seconds().count())),
             "start date");
  const auto subsecond = duration_cast<duration<std::int64_t, std::ratio<1, 10000000>>>(at - floor<seconds>(at));
  file.Check(edf_set_subsecond_starttime(file.Handle(), int(subsecond.count())), "start time");
  if (!known)
    file.Check(edf_set_recording_additional(file.Handle(),
                                            start ? "start date outside EDF's years 1985-2084" : "start date unknown"),
               "recording field");
}

void WriteHeader(const PartFile& file, const ExportSource& source, const std::vector<ChannelPlan>& plans,
                 const RecordShape& shape, int annotationSignals) {
  const int h = file.Handle();
  for (std::size_t c = 0; c < plans.size(); ++c) {
    const int signal = int(c);
    const ChannelPlan& plan = plans[c];
    file.Check(edf_set_samplefrequency(h, signal, shape.samples), "samples per record");
    file.Check(edf_set_digital_maximum(h, signal, int(plan.digitalHigh)), "digital maximum");
    file.Check(edf_set_digital_minimum(h, signal, int(plan.digitalLow)), "digital minimum");
    file.Check(edf_set_physical_maximum(h, signal, Parse(plan.physicalHigh)), "physical maximum");
    file.Check(edf_set_physical_minimum(h, signal, Parse(plan.physicalLow)), "physical minimum");
    // A data signal labelled as EDF's annotation signals would be taken for one.
    std::string label = AsciiField(source.channels[c].label, kLabelWidth);
    if (label == "EDF Annotations") label.back() = '_';
    file.Check(edf_set_label(h, signal, label.c_str()), "label");
    file.Check(edf_set_physical_dimension(h, signal, AsciiField(source.channels[c].unit, kUnitWidth).c_str()), "unit");
  }
  file.Check(edf_set_datarecord_duration(h, shape.duration10us), "record duration");
  file.Check(edf_set_number_of_annotation_signals(h, annotationSignals), "number of annotation signals");
  SetStart(file, source.start);
}

// Markers as annotations: "Type: Description", cut on a character boundary; onsets and durations in
// EDFlib's units of 100 µs. Answers the number of texts cut.
std::size_t WriteAnnotations(const PartFile& file, const ExportSource& source) {
  std::size_t cut = 0;
  for (const ExportMarker& m : source.markers) {
    const std::string whole = m.description.empty() ? m.type : m.type + ": " + m.description;
    const std::string text = CutUtf8(whole, kAnnotationText);
    cut += text.size() < whole.size();
    const auto units = [&](std::int64_t points) {
      return std::llround(double(points) * source.samplingInterval / 100);
    };
    file.Check(
        edfwrite_annotation_utf8(file.Handle(), units(m.position), m.points > 1 ? units(m.points) : -1, text.c_str()),
        "annotation");
  }
  return cut;
}

void WriteSamples(const PartFile& file, const ExportSource& source, const std::vector<ChannelPlan>& plans,
                  const RecordShape& shape, std::int64_t records, const std::function<void(double)>& progress) {
  const std::size_t channels = plans.size(), samples = std::size_t(shape.samples);
  const std::int64_t chunk = std::max<std::int64_t>(1, kChunkFloats / std::int64_t(channels * samples));
  std::vector<float> block(std::size_t(std::min(chunk, records)) * samples * channels);
  std::vector<int> digital(samples);
  for (std::int64_t record = 0; record < records; record += chunk) {
    const std::int64_t count = std::min(chunk, records - record), first = record * shape.samples;
    const std::int64_t points = std::min(count * shape.samples, source.points - first);
    source.read(first, points, std::span<float>(block.data(), std::size_t(points) * channels));
    std::fill(block.begin() + std::ptrdiff_t(points) * std::ptrdiff_t(channels), block.end(), 0.0f);
    for (std::int64_t r = 0; r < count; ++r) {
      const float* values = block.data() + std::size_t(r) * samples * channels;
      for (std::size_t c = 0; c < channels; ++c) {
        for (std::size_t i = 0; i < samples; ++i)
          digital[i] = plans[c].Digital(values[i * channels + c], source.channels[c].resolution);
        file.Check(edfwrite_digital_samples(file.Handle(), digital.data()), "samples");
      }
    }
    if (progress) progress(0.5 + 0.5 * double(record + count) / double(records));
  }
}

// EDFlib writes the physical fields cut to 8 characters from its own rendering of the number; each
// gets the text that was meant. The data signals come first, then the annotation signals.
void WritePhysicalFields(const PartFile& file, const std::vector<ChannelPlan>& plans, std::int64_t signals) {
  const std::int64_t physicalMinimum = 256 + signals * (16 + 80 + 8), physicalMaximum = physicalMinimum + signals * 8;
  for (std::size_t c = 0; c < plans.size(); ++c) {
    std::string low = plans[c].physicalLow, high = plans[c].physicalHigh;
    low.resize(kNumberWidth, ' ');
    high.resize(kNumberWidth, ' ');
    file.WriteAt(physicalMinimum + std::int64_t(c) * 8, low);
    file.WriteAt(physicalMaximum + std::int64_t(c) * 8, high);
  }
}

}  // namespace

gdr::ExportReport ExportToEdf(const ExportSource& source, const std::string& path, bool bdf,
                              const std::function<void(double)>& progress) {
  const std::lock_guard lock(g_Exports);
  const std::int64_t channels = std::int64_t(source.channels.size());
  if (channels == 0 || source.points <= 0) Refuse("nothing to export: no channel or no data point");
  if (channels + 1 > EDFLIB_MAXSIGNALS)
    Refuse(std::to_string(channels) + " channels and an annotation signal are more than the " +
           std::to_string(EDFLIB_MAXSIGNALS) + " signals of an EDF file");
  // The record's size allows for all the annotation signals a file may have.
  const std::int64_t maxRecord = bdf ? 15728640 : 10485760;
  const std::optional<RecordShape> shape =
      ChooseRecord(source.samplingInterval, channels, bdf ? 3 : 2, kMaxAnnotationSignals * kAnnotationBytes, maxRecord);
  if (!shape)
    Refuse(ChooseRecord(source.samplingInterval, 0, 0, 0, maxRecord)
               ? "the shortest data record that holds whole samples at a sampling interval of " +
                     Number(source.samplingInterval) + " us is larger than EDF's " + std::to_string(maxRecord) +
                     " bytes for " + std::to_string(channels) + " channels"
               : "no EDF data record holds a whole number of samples at a sampling interval of " +
                     Number(source.samplingInterval) + " us");
  const std::int64_t records = (source.points + shape->samples - 1) / shape->samples;
  const std::int64_t markers = std::int64_t(source.markers.size());
  const std::int64_t annotationSignals = std::max<std::int64_t>(1, (markers + records - 1) / records);
  if (annotationSignals > kMaxAnnotationSignals)
    Refuse(std::to_string(markers) + " markers are more than the " + std::to_string(records * kMaxAnnotationSignals) +
           " annotations that " + std::to_string(records) + (records == 1 ? " data record" : " data records") +
           " can hold");
  if (channels + annotationSignals > EDFLIB_MAXSIGNALS)
    Refuse(std::to_string(channels) + " channels and " + std::to_string(annotationSignals) +
           " annotation signals are more than the " + std::to_string(EDFLIB_MAXSIGNALS) + " signals of an EDF file");

  gdr::ExportReport report;
  report.paddedPoints = records * shape->samples - source.points;
  const std::vector<ChannelStats> stats = Scan(source, report.paddedPoints > 0, progress);
  std::vector<ChannelPlan> plans;
  for (std::int64_t c = 0; c < channels; ++c) {
    const ExportChannel& channel = source.channels[std::size_t(c)];
    const std::optional<ChannelPlan> integer =
        IntegerPlan(channel, stats[std::size_t(c)], source.format, bdf, report.notes);
    plans.push_back(integer ? *integer : FloatPlan(channel, stats[std::size_t(c)], bdf, report.notes));
    report.steps.push_back(plans.back().integer ? double(channel.resolution) : plans.back().step);
  }

  PartFile file(path, bdf, int(channels));
  WriteHeader(file, source, plans, *shape, int(annotationSignals));
  report.cutTexts = WriteAnnotations(file, source);
  WriteSamples(file, source, plans, *shape, records, progress);
  file.Close();
  WritePhysicalFields(file, plans, channels + annotationSignals);
  file.Finish();
  if (report.paddedPoints > 0)
    report.notes.push_back(std::to_string(report.paddedPoints) + " points of zeros complete the last data record");
  if (report.cutTexts > 0)
    report.notes.push_back(std::to_string(report.cutTexts) + " marker texts were cut to " +
                           std::to_string(kAnnotationText) + " bytes");
  return report;
}

}  // namespace gdr::edf
