// EDF+ and BDF+ export: the header arithmetic, and files read back with EDFlib's reader and checked
// byte by byte at the header's offsets.
#include <edflib.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <tuple>

#include "library/EdfExport.h"
#include "library/EdfFields.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace gdr::edf {
namespace {

TEST(EdfFields, NumbersInEightCharacters) {
  const std::tuple<double, Rounding, std::optional<std::string>> rows[] = {
      {3276.7, Rounding::nearest, "3276.7"},        {double(-3276.8f), Rounding::down, "-3276.81"},
      {double(-3276.8f), Rounding::up, "-3276.8"},  {1234.5678, Rounding::up, "1234.568"},
      {0.000123456, Rounding::nearest, "0.000123"}, {9.9999999, Rounding::up, "10"},
      {-0.0000001, Rounding::nearest, "0"},         {99999999.4, Rounding::nearest, "99999999"},
      {-9999999.6, Rounding::down, std::nullopt},   {123456789, Rounding::nearest, std::nullopt},
  };
  for (const auto& [value, rounding, text] : rows) EXPECT_EQ(NumberField(value, rounding), text) << value;
}

TEST(EdfFields, IntegerRangesExactInEightCharacters) {
  using Range = std::tuple<std::int64_t, std::int64_t, std::string, std::string>;
  // resolution, the data's ends, the limits, the range
  const std::tuple<float, std::int64_t, std::int64_t, std::int64_t, std::int64_t, std::optional<Range>> rows[] = {
      {0.1f, -500, 700, -32768, 32767, Range{-500, 700, "-50", "70"}},
      {0.1f, -32768, 32767, -32768, 32767, Range{-32768, 32767, "-3276.8", "3276.7"}},
      {0.048828125f, -100, 100, -32768, 32767, Range{-112, 104, "-5.46875", "5.078125"}},
      {0.5f, 7, 7, -32768, 32767, Range{7, 8, "3.5", "4"}},
      {2.5e6f, 0, 3, 0, 65535, Range{0, 3, "0", "7500000"}},
      {1.0f, 0, 65535, 0, 65535, Range{0, 65535, "0", "65535"}},
      {0.123456789f, -5, 5, -32768, 32767, std::nullopt},
      {0.0f, -5, 5, -32768, 32767, std::nullopt},
  };
  for (const auto& [resolution, dataLow, dataHigh, limitLow, limitHigh, expected] : rows) {
    const auto range = ExactIntegerRange(Decimal::Of(resolution), dataLow, dataHigh, limitLow, limitHigh);
    EXPECT_EQ(
        range ? std::optional(Range{range->low, range->high, range->physicalLow, range->physicalHigh}) : std::nullopt,
        expected)
        << resolution;
  }
}

TEST(EdfFields, RecordDurations) {
  // the sampling interval, signals, bytes a sample; the duration in 10 us and the samples of a record
  const std::tuple<double, std::int64_t, int, std::optional<std::pair<int, int>>> rows[] = {
      {2000, 32, 2, std::pair{100000, 500}},
      {3906.25, 64, 2, std::pair{100000, 256}},
      {333.333, 8, 2, std::pair{333333, 10000}},  // 3000.003 Hz: the first whole count is at 3.33333 s
      {7, 4, 2, std::pair{105, 150}},             // 1 s would hold 142857.14 samples
      {0.1, 1, 2, std::pair{100, 10000}},         // 1 s of 10 MHz is beyond EDF's 10 MB a record
      {1000, 10000, 3, std::pair{100, 1}},
      {3.14159265358979, 1, 2, std::nullopt},
      {0, 1, 2, std::nullopt},
  };
  for (const auto& [interval, signals, bytes, expected] : rows) {
    const std::optional<RecordShape> shape = ChooseRecord(interval, signals, bytes, 0, 10485760);
    EXPECT_EQ(shape ? std::optional(std::pair{shape->duration10us, shape->samples}) : std::nullopt, expected)
        << interval;
  }
}

TEST(EdfFields, TextInPrintableAscii) {
  EXPECT_EQ(AsciiField("\xC2\xB5V \xCE\xBCV", 8), "uV uV");
  EXPECT_EQ(AsciiField("M\xC3\xBCller \xC3\x84\xC3\x9F\x01\xE2\x82\xAC\x41\xC3\x97", 16), "Muller As__A_");
  EXPECT_EQ(AsciiField("ABCDEFGHIJKLMNOPQRS", 16), "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(CutUtf8("a\xC3\xA9", 2), "a");
  EXPECT_EQ(CutUtf8("a\xC3\xA9", 3), "a\xC3\xA9");
}

// An EDFlib reader of a written file, closed at the end; a file that it cannot open fails the test.
struct EdfFile {
  explicit EdfFile(const std::string& path) : header(std::make_unique<edf_hdr_struct>()) {
    handle = edfopen_file_readonly(path.c_str(), header.get(), EDFLIB_READ_ALL_ANNOTATIONS) == 0 ? header->handle : -1;
    EXPECT_GE(handle, 0) << path;
  }
  ~EdfFile() {
    if (handle >= 0) edfclose_file(handle);
  }
  // The signals against the exported values (point-major; zeros past them): integers as their digital
  // values (less `offset`), physical within one float32 unit in the last place (near 0 within what the
  // reader's own double arithmetic adds); floats within half a step.
  void ExpectSignals(std::span<const float> values, int points, const std::vector<double>& steps, bool integers,
                     int offset = 0) {
    const std::size_t channels = steps.size();
    for (std::size_t c = 0; c < channels; ++c) {
      std::vector<int> digital(std::size_t(points), 0);
      std::vector<double> physical(std::size_t(points), 0);
      edfseek(handle, int(c), 0, EDFSEEK_SET);
      ASSERT_EQ(edfread_digital_samples(handle, int(c), points, digital.data()), points);
      edfseek(handle, int(c), 0, EDFSEEK_SET);
      ASSERT_EQ(edfread_physical_samples(handle, int(c), points, physical.data()), points);
      for (std::size_t p = 0; p < std::size_t(points); ++p) {
        const float value = p * channels < values.size() ? values[p * channels + c] : 0.0f;
        const float ulp = std::nextafter(std::fabs(value), INFINITY) - std::fabs(value);
        const double error = std::fabs(integers ? float(physical[p]) - value : physical[p] - value);
        ASSERT_TRUE(!integers || digital[p] == std::lround(value / float(steps[c])) + offset) << c << " " << p;
        ASSERT_LE(error, integers ? std::max(double(ulp), 1e-12) : steps[c] * 0.5001) << c << " " << p;
      }
    }
  }
  // Each annotation's onset (in 100 ns) and text.
  std::vector<std::pair<long long, std::string>> Annotations() const {
    std::vector<std::pair<long long, std::string>> annotations;
    edf_annotation_struct a{};
    for (int i = 0; i < header->annotations_in_file && edf_get_annotation(handle, i, &a) == 0; ++i)
      annotations.emplace_back(a.onset, a.annotation);
    return annotations;
  }
  std::unique_ptr<edf_hdr_struct> header;
  int handle = -1;
};

// A recording of `points` points whose sample of channel c at point p is values(p, c).
ExportSource Synthetic(SampleFormat format, double interval, std::int64_t points,
                       std::function<float(std::int64_t, std::size_t)> values,
                       std::vector<ExportChannel> channels = {{"A", "uV", 1}}) {
  ExportSource source;
  source.format = format, source.samplingInterval = interval, source.points = points, source.channels = channels;
  source.read = [values, n = channels.size()](std::int64_t first, std::int64_t count, std::span<float> out) {
    ASSERT_EQ(out.size(), std::size_t(count) * n);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = values(first + std::int64_t(i / n), i % n);
  };
  return source;
}

class EdfExportTest : public ::testing::Test {
 protected:
  TempDir dir;
};

TEST_F(EdfExportTest, IntegersAreWrittenAsTheFilesOwnWithExactPhysicalFields) {
  // 256 Hz, 600 points: the third record is completed with zeros. Both channels reach -2000 and 2000.
  const float resolutions[2] = {0.1f, 0.048828125f};
  ExportSource source = Synthetic(
      SampleFormat::int16, 3906.25, 600,
      [&](std::int64_t p, std::size_t c) {
        const std::int64_t stored = p == 1 ? -2000 : p == 2 ? 2000 : (p * 37 + std::int64_t(c) * 11) % 3999 - 1999;
        return float(stored) * resolutions[c];
      },
      {{"Fp1", "\xC2\xB5V", resolutions[0]}, {"O\xC3\xA9", "\xC2\xB5V", resolutions[1]}});
  using namespace std::chrono;
  source.start = sys_days(2024y / March / 5) + 13h + 4min + 7s + 250100us;
  std::string euros;
  for (int i = 0; i < 9; ++i) euros += "\xE2\x82\xAC";
  source.markers = {{"New Segment", "", 0, 1},
                    {"Stimulus", "S  1", 300, 1},
                    {"Comment", std::string(24, 'a') + euros, 512, 40}};  // a text of 51 bytes
  const std::string path = dir.File("out.edf");
  const ExportReport report = ExportToEdf(source, path, false);
  EXPECT_EQ(std::tie(report.paddedPoints, report.cutTexts), std::make_tuple(168, 1u));
  EXPECT_EQ(report.steps, (std::vector<double>{double(resolutions[0]), double(resolutions[1])}));

  EdfFile file(path);
  const edf_hdr_struct& h = *file.header;
  EXPECT_EQ(std::tie(h.filetype, h.edfsignals, h.datarecord_duration, h.datarecords_in_file,
                     h.signalparam[0].smp_in_datarecord, h.signalparam[1].smp_in_datarecord, h.startdate_year,
                     h.startdate_month, h.startdate_day, h.starttime_hour, h.starttime_minute, h.starttime_second,
                     h.starttime_subsecond),
            std::make_tuple(EDFLIB_FILETYPE_EDFPLUS, 2, 10000000LL, 3LL, 256, 256, 2024, 3, 5, 13, 4, 7, 2501000LL));
  std::vector<float> values(1200);
  source.read(0, 600, values);
  file.ExpectSignals(values, 768, report.steps, true);
  // Onsets in 100 ns, to 100 us: 300 points of 3906.25 us; the comment cut to 39 of 40 bytes, 40 points long.
  const std::vector<std::pair<long long, std::string>> annotations = {
      {0, "New Segment"},
      {11719000, "Stimulus: S  1"},
      {20000000, "Comment: " + std::string(24, 'a') + euros.substr(0, 6)}};
  EXPECT_EQ(file.Annotations(), annotations);
  edf_annotation_struct comment{};
  ASSERT_EQ(edf_get_annotation(file.handle, 2, &comment), 0);
  EXPECT_EQ(comment.duration_l, 1563000);

  // The header's bytes: "EDF+C", labels and units in ASCII, the physical fields as the exact texts.
  const std::string bytes = Slurp(path);
  EXPECT_EQ(bytes.substr(192, 5), "EDF+C");
  ASSERT_EQ(bytes.substr(252, 4), "3   ");
  EXPECT_EQ(bytes.substr(256, 48), "Fp1             Oe              EDF Annotations ");
  EXPECT_EQ(bytes.substr(256 + 3 * 96, 16), "uV      uV      ");
  EXPECT_EQ(bytes.substr(256 + 3 * 104, 16), "-200    -98.4375");
  EXPECT_EQ(bytes.substr(256 + 3 * 112, 16), "200     97.65625");
}

// Unsigned integers as the stored numbers less 32768, with more markers than records (three
// annotation signals for two records); floats within half a step of 24 bits: a varying channel, a
// constant one, and one of an unsigned integer format whose samples are no integers.
TEST_F(EdfExportTest, UnsignedIntegersAndFloats) {
  ExportSource integers =
      Synthetic(SampleFormat::uint16, 2000, 1000, [](std::int64_t p, std::size_t) { return float(p * 65) * 0.25f; },
                {{"U", "uV", 0.25f}});
  for (std::int64_t i = 0; i < 5; ++i) integers.markers.push_back({"Stimulus", "S" + std::to_string(i), i * 100, 1});
  integers.start = std::chrono::sys_days(std::chrono::year(2100) / 1 / 1);  // beyond EDF's years: none
  const ExportSource floats =
      Synthetic(SampleFormat::uint16, 1000, 1000,
                [](std::int64_t p, std::size_t c) {
                  return c == 0 ? float(std::sin(double(p) / 7) * 123.456) : c == 1 ? 42.125f : 0.3f;
                },
                {{"A", "mV", 1}, {"B", "mV", 1}, {"C", "", 0.5f}});
  for (const bool bdf : {false, true}) {
    const std::string path = dir.File(bdf ? "out.bdf" : "out.edf");
    const ExportSource& source = bdf ? floats : integers;
    const ExportReport report = ExportToEdf(source, path, bdf);
    EdfFile file(path);
    const edf_hdr_struct& h = *file.header;
    EXPECT_EQ(std::tie(h.filetype, h.datarecords_in_file, h.annotations_in_file, h.startdate_year),
              std::make_tuple(bdf ? EDFLIB_FILETYPE_BDFPLUS : EDFLIB_FILETYPE_EDFPLUS, bdf ? 1LL : 2LL, bdf ? 0LL : 5LL,
                              1985));
    EXPECT_EQ(std::string(h.recording_additional).substr(0, bdf ? 18 : 30),
              bdf ? "start date unknown" : "start date outside EDF's years");
    EXPECT_EQ(Slurp(path).substr(252, 4), "4   ");
    for (const double step : report.steps) EXPECT_TRUE(!bdf || (step > 0 && step < 1e-4)) << step;
    std::vector<float> values(1000 * source.channels.size());
    source.read(0, 1000, values);
    file.ExpectSignals(values, 1000, report.steps, !bdf, bdf ? 0 : -32768);
  }
}

// Integers whose resolution no 8-character range gives exactly keep their numbers, with a note of how far
// a sample can move: one channel reaches the lowest number, one is constant.
TEST_F(EdfExportTest, IntegersWithoutAnExactRangeGetANote) {
  const ExportSource source =
      Synthetic(SampleFormat::uint16, 1000, 1000,
                [](std::int64_t p, std::size_t c) { return float(c == 0 ? p % 7 : 3) * 0.123456789f; },
                {{"V", "uV", 0.123456789f}, {"W", "uV", 0.123456789f}});
  const std::string inexact =
      ": no physical range gives the resolution 0.123457 exactly in 8 characters; a sample can move by up to ";
  EXPECT_EQ(
      ExportToEdf(source, dir.File("out.edf"), false).notes,
      (std::vector<std::string>{"channel V" + inexact + "2.5374e-07 uV", "channel W" + inexact + "3.7313e-07 uV"}));
}

TEST_F(EdfExportTest, RefusalsLeaveAnExistingFileAsItWas) {
  auto constant = [](float value) { return [value](std::int64_t, std::size_t) { return value; }; };
  ExportSource manyMarkers = Synthetic(SampleFormat::int16, 1000, 1000, constant(1));
  manyMarkers.markers.assign(65, ExportMarker{"Comment", "x", 0, 1});
  const std::string existing = dir.Write("out.edf", "old"), missing = dir.File("missing/out.edf");
  const std::tuple<ExportSource, std::string, std::string, std::int32_t> rows[] = {
      {Synthetic(SampleFormat::ieeeFloat32, 1000, 10, [](std::int64_t p, std::size_t) { return p == 7 ? NAN : 1.0f; }),
       existing, "channel A, point 7: the sample is not a number, which EDF cannot hold", kInvalidArgument},
      {Synthetic(SampleFormat::ieeeFloat32, 1000, 10, constant(-1e9f)), existing,
       "channel A: samples as large as -1e+09 do not fit into EDF's 8-character physical fields", kInvalidArgument},
      {Synthetic(SampleFormat::ieeeFloat32, 3.14159265358979, 10, constant(1)), existing,
       "no EDF data record holds a whole number of samples at a sampling interval of 3.14159 us", kInvalidArgument},
      {manyMarkers, existing, "65 markers are more than the 64 annotations that 1 data record can hold",
       kInvalidArgument},
      {Synthetic(SampleFormat::int16, 1000, 10, constant(1)), missing, "cannot write " + missing, 0x80004005},
  };
  for (const auto& [source, path, message, code] : rows) {
    try {
      ExportToEdf(source, path, false);
      ADD_FAILURE() << "no refusal: " << message;
    } catch (const Error& e) {
      EXPECT_EQ(std::make_pair(std::string(e.what()), e.code()), std::make_pair(message, code));
    }
    EXPECT_EQ(Slurp(existing), "old");
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
  }
}

// Every layout, exported under relative names of the fewest characters and read back with EDFlib's reader.
TEST_F(EdfExportTest, EveryLayoutReadsBackAsTheRecordingReads) {
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  for (const std::string layout : {"mux-int16", "vec-int16", "mux-float32", "mux-seg-int16", "packed12", "ascii"}) {
    SCOPED_TRACE(layout);
    const ProgramRun made = RunProgram(GDR_MAKE_RECORDING, dir.File("") + " " + layout + " " + layout + " 0.05 4",
                                       dir.File("out"), dir.File("err"));
    ASSERT_TRUE(made.ended && made.status == 0);
    const Recording recording = Recording::Open(dir.File(layout + ".shdr"));
    const bool integers = recording.Format() != SampleFormat::ieeeFloat32 && recording.Format() != SampleFormat::ascii;
    const std::string path = integers ? "x.edf" : "x.bdf";
    EXPECT_THROW(ExportEdf(recording, path.substr(1), {}), Error);  // the extension alone names no format
    const ExportReport report = ExportEdf(recording, path, {});
    const int points = int(recording.DataPoints());
    EdfFile file(path);
    const edf_hdr_struct& h = *file.header;
    EXPECT_EQ(std::tie(h.edfsignals, h.datarecord_duration, h.startdate_year), std::make_tuple(4, 10000000LL, 1985));
    file.ExpectSignals(recording.ReadBlock(0, points, {}).values(), points, report.steps, integers);
  }
  std::filesystem::current_path(before);
}

// A part of the example recording: its start moves with the range, and only the markers of all channels
// and of the exported ones within the range become annotations, with their onsets from the range's start.
TEST_F(EdfExportTest, ARangeOfChannelsKeepsItsMarkersAndStart) {
  const Recording recording = Recording::Open(std::string(GDR_EXAMPLE_DIR) + "/example.shdr");
  const std::string path = dir.File("part.edf");
  ExportEdf(recording, path,
            {.format = "", .first = 1000, .count = 20000, .channels = {5, 0}, .progress = {}});  // from 2 s at 500 Hz
  EdfFile file(path);
  ASSERT_TRUE(recording.Markers()[0].date.has_value());
  using namespace std::chrono;
  const auto start = *recording.Markers()[0].date + 2s;
  const hh_mm_ss<system_clock::duration> time(start - floor<days>(start));
  const edf_hdr_struct& h = *file.header;
  EXPECT_EQ(std::tie(h.starttime_hour, h.starttime_minute, h.starttime_second),
            std::make_tuple(int(time.hours().count()), int(time.minutes().count()), int(time.seconds().count())));
  std::vector<std::pair<long long, std::string>> expected;
  for (const Marker& m : recording.Markers())
    if ((m.channel < 0 || m.channel == 0 || m.channel == 5) && m.position >= 1000 && m.position < 21000)
      expected.emplace_back((m.position - 1000) * 20000LL,
                            m.description.empty() ? m.type : m.type + ": " + m.description);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(file.Annotations(), expected);
}

}  // namespace
}  // namespace gdr::edf
