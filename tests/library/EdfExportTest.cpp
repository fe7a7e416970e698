// EDF+ and BDF+ export: the header arithmetic, and files read back with EDFlib's reader and checked
// byte by byte by a parser of the test's own.
#include <edflib.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <tuple>

#include "library/EdfExport.h"
#include "library/EdfFields.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace gdr::edf {
namespace {

TEST(EdfFields, NumbersInEightCharacters) {
  struct Row {
    double value;
    Rounding rounding;
    std::optional<std::string> text;
  };
  const Row rows[] = {
      {3276.7, Rounding::nearest, "3276.7"},        {double(-3276.8f), Rounding::down, "-3276.81"},
      {double(-3276.8f), Rounding::up, "-3276.8"},  {1234.5678, Rounding::up, "1234.568"},
      {0.000123456, Rounding::nearest, "0.000123"}, {9.9999999, Rounding::up, "10"},
      {-0.0000001, Rounding::nearest, "0"},         {99999999.4, Rounding::nearest, "99999999"},
      {-9999999.6, Rounding::down, std::nullopt},   {123456789, Rounding::nearest, std::nullopt},
  };
  for (const Row& row : rows) EXPECT_EQ(NumberField(row.value, row.rounding), row.text) << row.value;
}

TEST(EdfFields, IntegerRangesExactInEightCharacters) {
  struct Row {
    float resolution;
    std::int64_t dataLow, dataHigh, limitLow, limitHigh;
    std::optional<IntegerRange> range;
  };
  const Row rows[] = {
      {0.1f, -500, 700, -32768, 32767, IntegerRange{-500, 700, "-50", "70"}},
      {0.1f, -32768, 32767, -32768, 32767, IntegerRange{-32768, 32767, "-3276.8", "3276.7"}},
      {0.048828125f, -100, 100, -32768, 32767, IntegerRange{-112, 104, "-5.46875", "5.078125"}},
      {0.5f, 7, 7, -32768, 32767, IntegerRange{7, 8, "3.5", "4"}},
      {2.5e6f, 0, 3, 0, 65535, IntegerRange{0, 3, "0", "7500000"}},
      {1.0f, 0, 65535, 0, 65535, IntegerRange{0, 65535, "0", "65535"}},
      {0.123456789f, -5, 5, -32768, 32767, std::nullopt},
      {0.0f, -5, 5, -32768, 32767, std::nullopt},
  };
  for (const Row& row : rows) {
    const std::optional<IntegerRange> range =
        ExactIntegerRange(Decimal::Of(row.resolution), row.dataLow, row.dataHigh, row.limitLow, row.limitHigh);
    ASSERT_EQ(range.has_value(), row.range.has_value()) << row.resolution;
    if (!range) continue;
    EXPECT_EQ(std::tie(range->low, range->high, range->physicalLow, range->physicalHigh),
              std::tie(row.range->low, row.range->high, row.range->physicalLow, row.range->physicalHigh))
        << row.resolution;
  }
}

TEST(EdfFields, RecordDurations) {
  struct Row {
    double interval;
    std::int64_t signals;
    int bytes;
    std::optional<RecordShape> shape;
  };
  const Row rows[] = {
      {2000, 32, 2, RecordShape{100000, 500}},
      {3906.25, 64, 2, RecordShape{100000, 256}},
      {333.333, 8, 2, RecordShape{333333, 10000}},  // 3000.003 Hz: the first whole count is at 3.33333 s
      {7, 4, 2, RecordShape{105, 150}},             // 1 s would hold 142857.14 samples
      {0.1, 1, 2, RecordShape{100, 10000}},         // 1 s of 10 MHz is beyond EDF's 10 MB a record
      {1000, 10000, 3, RecordShape{100, 1}},
      {3.14159265358979, 1, 2, std::nullopt},
      {0, 1, 2, std::nullopt},
  };
  for (const Row& row : rows) {
    const std::optional<RecordShape> shape = ChooseRecord(row.interval, row.signals, row.bytes, 0, 10485760);
    ASSERT_EQ(shape.has_value(), row.shape.has_value()) << row.interval;
    if (shape) {
      EXPECT_EQ(std::tie(shape->duration10us, shape->samples), std::tie(row.shape->duration10us, row.shape->samples));
    }
  }
}

TEST(EdfFields, TextInPrintableAscii) {
  EXPECT_EQ(AsciiField("\xC2\xB5V", 8), "uV");
  EXPECT_EQ(AsciiField("\xCE\xBCV", 8), "uV");
  EXPECT_EQ(AsciiField("M\xC3\xBCller \xC3\x84\xC3\x9F\x01\xE2\x82\xAC\xC3\x97", 16), "Muller As___");
  EXPECT_EQ(AsciiField("ABCDEFGHIJKLMNOPQRS", 16), "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(CutUtf8("a\xC3\xA9", 2), "a");
  EXPECT_EQ(CutUtf8("a\xC3\xA9", 3), "a\xC3\xA9");
}

// An EDFlib reader of a written file, closed at the end.
struct EdfFile {
  explicit EdfFile(const std::string& path) : header(std::make_unique<edf_hdr_struct>()) {
    handle = edfopen_file_readonly(path.c_str(), header.get(), EDFLIB_READ_ALL_ANNOTATIONS) == 0 ? header->handle : -1;
  }
  ~EdfFile() {
    if (handle >= 0) edfclose_file(handle);
  }
  std::vector<int> Digital(int signal, int count) {
    edfseek(handle, signal, 0, EDFSEEK_SET);
    std::vector<int> samples(static_cast<std::size_t>(count));
    EXPECT_EQ(edfread_digital_samples(handle, signal, count, samples.data()), count);
    return samples;
  }
  std::vector<double> Physical(int signal, int count) {
    edfseek(handle, signal, 0, EDFSEEK_SET);
    std::vector<double> samples(static_cast<std::size_t>(count));
    EXPECT_EQ(edfread_physical_samples(handle, signal, count, samples.data()), count);
    return samples;
  }
  std::unique_ptr<edf_hdr_struct> header;
  int handle = -1;
};

// Within one float32 unit in the last place of the value; near 0 within what the reader's own double
// arithmetic (an offset computed from the physical maximum) adds.
bool WithinOneUlp(double physical, float value) {
  const float ulp = std::nextafter(std::fabs(value), INFINITY) - std::fabs(value);
  return std::fabs(float(physical) - value) <= std::max(double(ulp), 1e-12);
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A recording of `points` points whose sample of channel c at point p is values(p, c).
ExportSource Synthetic(SampleFormat format, double interval, std::int64_t points, std::vector<ExportChannel> channels,
                       std::function<float(std::int64_t, std::size_t)> values) {
  ExportSource source;
  source.format = format;
  source.samplingInterval = interval;
  source.points = points;
  source.channels = std::move(channels);
  source.read = [values, n = source.channels.size()](std::int64_t first, std::int64_t count, std::span<float> out) {
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
      {{"Fp1", "\xC2\xB5V", resolutions[0]}, {"O\xC3\xA9", "\xC2\xB5V", resolutions[1]}},
      [&](std::int64_t p, std::size_t c) {
        const std::int64_t stored = p == 1 ? -2000 : p == 2 ? 2000 : (p * 37 + std::int64_t(c) * 11) % 3999 - 1999;
        return float(stored) * resolutions[c];
      });
  using namespace std::chrono;
  source.start =
      sys_days(year_month_day{year(2024), March, day(5)}) + hours(13) + minutes(4) + seconds(7) + microseconds(250100);
  const std::string euro = "\xE2\x82\xAC";
  source.markers = {{"New Segment", "", 0, 1},
                    {"Stimulus", "S  1", 300, 1},
                    {"Comment", std::string(24, 'a') + euro + euro + euro + euro + euro + euro + euro + euro + euro,
                     512, 40}};  // a text of 60 bytes
  const std::string path = dir.File("out.edf");
  const ExportReport report = ExportToEdf(source, path, false);
  EXPECT_EQ(report.paddedPoints, 168);
  EXPECT_EQ(report.cutTexts, 1u);
  EXPECT_EQ(report.steps, (std::vector<double>{double(resolutions[0]), double(resolutions[1])}));

  EdfFile file(path);
  ASSERT_GE(file.handle, 0);
  const edf_hdr_struct& h = *file.header;
  EXPECT_EQ(std::tie(h.filetype, h.edfsignals, h.datarecord_duration, h.datarecords_in_file),
            std::make_tuple(EDFLIB_FILETYPE_EDFPLUS, 2, 10000000LL, 3LL));
  EXPECT_EQ(std::tie(h.startdate_year, h.startdate_month, h.startdate_day, h.starttime_hour, h.starttime_minute,
                     h.starttime_second, h.starttime_subsecond),
            std::make_tuple(2024, 3, 5, 13, 4, 7, 2501000LL));
  std::vector<float> values(1200);
  source.read(0, 600, values);
  for (int c = 0; c < 2; ++c) {
    EXPECT_EQ(h.signalparam[c].smp_in_datarecord, 256);
    const std::vector<int> digital = file.Digital(c, 768);
    const std::vector<double> physical = file.Physical(c, 768);
    for (std::size_t p = 0; p < 768; ++p) {
      const float value = p < 600 ? values[p * 2 + std::size_t(c)] : 0.0f;
      ASSERT_EQ(digital[p], std::lround(value / resolutions[c])) << c << " " << p;
      ASSERT_TRUE(WithinOneUlp(physical[p], value)) << c << " " << p;
    }
  }
  ASSERT_EQ(h.annotations_in_file, 3);
  edf_annotation_struct a{};
  ASSERT_EQ(edf_get_annotation(file.handle, 1, &a), 0);
  EXPECT_LE(std::llabs(a.onset - 11718750), 1000);  // 300 points of 3906.25 µs, in 100 ns, within 100 µs
  EXPECT_STREQ(a.annotation, "Stimulus: S  1");
  ASSERT_EQ(edf_get_annotation(file.handle, 2, &a), 0);
  EXPECT_LE(std::llabs(a.duration_l - 1562500), 1000);
  EXPECT_EQ(a.annotation, "Comment: " + std::string(24, 'a') + euro + euro);  // cut to 39 of 40 bytes

  // The header's bytes: "EDF+C", labels and units in ASCII, the physical fields as the exact texts.
  const std::string bytes = Slurp(path);
  EXPECT_EQ(bytes.substr(192, 5), "EDF+C");
  ASSERT_EQ(bytes.substr(252, 4), "3   ");
  EXPECT_EQ(bytes.substr(256, 48), "Fp1             Oe              EDF Annotations ");
  EXPECT_EQ(bytes.substr(256 + 3 * 96, 16), "uV      uV      ");
  EXPECT_EQ(bytes.substr(256 + 3 * 104, 16), "-200    -98.4375");
  EXPECT_EQ(bytes.substr(256 + 3 * 112, 16), "200     97.65625");
}

TEST_F(EdfExportTest, FloatsAreQuantisedWithinHalfAStep) {
  // A varying channel, a constant one, and an unsigned integer channel whose samples are no integers.
  ExportSource source = Synthetic(SampleFormat::uint16, 1000, 1000, {{"A", "mV", 1}, {"B", "mV", 1}, {"C", "", 0.5f}},
                                  [](std::int64_t p, std::size_t c) {
                                    return c == 0 ? float(std::sin(double(p) / 7) * 123.456) : c == 1 ? 42.125f : 0.3f;
                                  });
  const std::string path = dir.File("out.bdf");
  const ExportReport report = ExportToEdf(source, path, true);
  EdfFile file(path);
  ASSERT_GE(file.handle, 0);
  EXPECT_EQ(file.header->filetype, EDFLIB_FILETYPE_BDFPLUS);
  std::vector<float> values(3000);
  source.read(0, 1000, values);
  for (int c = 0; c < 3; ++c) {
    EXPECT_GT(report.steps[std::size_t(c)], 0);
    EXPECT_LT(report.steps[std::size_t(c)], 1e-4);
    const std::vector<double> physical = file.Physical(c, 1000);
    for (std::size_t p = 0; p < 1000; ++p)
      ASSERT_LE(std::fabs(physical[p] - values[p * 3 + std::size_t(c)]), report.steps[std::size_t(c)] * 0.5001)
          << c << " " << p;
  }
  EXPECT_EQ(Slurp(path).substr(192, 5), "BDF+C");
}

TEST_F(EdfExportTest, UnsignedIntegersAndMoreMarkersThanRecords) {
  ExportSource source = Synthetic(SampleFormat::uint16, 2000, 1000, {{"U", "uV", 0.25f}},
                                  [](std::int64_t p, std::size_t) { return float(p * 65) * 0.25f; });
  for (std::int64_t i = 0; i < 5; ++i) source.markers.push_back({"Stimulus", "S" + std::to_string(i), i * 100, 1});
  const std::string path = dir.File("u.edf");
  ExportToEdf(source, path, false);
  EdfFile file(path);
  ASSERT_GE(file.handle, 0);
  EXPECT_EQ(file.header->datarecords_in_file, 2);
  EXPECT_EQ(file.header->annotations_in_file, 5);  // three annotation signals for two records
  EXPECT_EQ(Slurp(path).substr(252, 4), "4   ");
  const std::vector<int> digital = file.Digital(0, 1000);
  for (std::size_t p = 0; p < 1000; ++p) ASSERT_EQ(digital[p], std::int64_t(p) * 65 - 32768) << p;
}

TEST_F(EdfExportTest, RefusalsLeaveAnExistingFileAsItWas) {
  auto constant = [](float value) { return [value](std::int64_t, std::size_t) { return value; }; };
  struct Row {
    ExportSource source;
    std::string path, message;
    std::int32_t code = kInvalidArgument;
  };
  ExportSource manyMarkers = Synthetic(SampleFormat::int16, 1000, 1000, {{"A", "uV", 1}}, constant(1));
  manyMarkers.markers.assign(65, ExportMarker{"Comment", "x", 0, 1});
  Row rows[] = {
      {Synthetic(SampleFormat::ieeeFloat32, 1000, 10, {{"A", "uV", 1}},
                 [](std::int64_t p, std::size_t) { return p == 7 ? NAN : 1.0f; }),
       "", "channel A, point 7: the sample is not a number, which EDF cannot hold"},
      {Synthetic(SampleFormat::ieeeFloat32, 1000, 10, {{"A", "uV", 1}}, constant(-1e9f)), "",
       "channel A: samples as large as -1e+09 do not fit into EDF's 8-character physical fields"},
      {Synthetic(SampleFormat::ieeeFloat32, 3.14159265358979, 10, {{"A", "uV", 1}}, constant(1)), "",
       "no EDF data record holds a whole number of samples at a sampling interval of 3.14159 us"},
      {std::move(manyMarkers), "", "65 markers are more than the 64 annotations that 1 data record can hold"},
      {Synthetic(SampleFormat::int16, 1000, 10, {{"A", "uV", 1}}, constant(1)), "missing/out.edf",
       "cannot write " + dir.File("missing/out.edf"), std::int32_t(0x80004005)},
  };
  const std::string existing = dir.Write("out.edf", "old");
  for (Row& row : rows) {
    const std::string path = row.path.empty() ? existing : dir.File(row.path);
    try {
      ExportToEdf(row.source, path, false);
      ADD_FAILURE() << "no refusal: " << row.message;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), row.message);
      EXPECT_EQ(e.code(), row.code) << row.message;
    }
    EXPECT_EQ(Slurp(existing), "old");
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
  }
}

// Recordings of every layout, exported through the API and read back with EDFlib's reader.
TEST_F(EdfExportTest, EveryLayoutReadsBackAsTheRecordingReads) {
  for (const std::string layout : {"mux-int16", "vec-int16", "mux-float32", "mux-seg-int16", "packed12", "ascii"}) {
    const ProgramRun made = RunProgram(GDR_MAKE_RECORDING, dir.File("") + " " + layout + " " + layout + " 0.05 4",
                                       dir.File("out"), dir.File("err"));
    ASSERT_TRUE(made.ended && made.status == 0) << layout;
    const Recording recording = Recording::Open(dir.File(layout + ".shdr"));
    const bool integers = recording.Format() != SampleFormat::ieeeFloat32 && recording.Format() != SampleFormat::ascii;
    const std::string path = dir.File(layout + (integers ? ".edf" : ".bdf"));
    const ExportReport report = ExportEdf(recording, path, {});
    const int points = int(recording.DataPoints());
    std::vector<float> values(std::size_t(points) * 4);
    recording.Read(0, points, {}, values);
    EdfFile file(path);
    ASSERT_GE(file.handle, 0) << layout;
    EXPECT_EQ(std::tie(file.header->edfsignals, file.header->datarecord_duration), std::make_tuple(4, 10000000LL));
    // No "New Segment" date: EDFlib's earliest date, and the recording field says so.
    EXPECT_EQ(file.header->startdate_year, 1985);
    EXPECT_NE(std::string(file.header->recording_additional).find("start date unknown"), std::string::npos);
    for (int c = 0; c < 4; ++c) {
      EXPECT_EQ(file.header->signalparam[c].smp_in_datarecord, 1000) << layout;
      EXPECT_EQ(std::string(file.header->signalparam[c].label).substr(0, 3), "E" + std::to_string(c + 1) + " ");
      const std::vector<double> physical = file.Physical(c, points);
      const std::vector<int> digital = file.Digital(c, points);
      const double step = report.steps[std::size_t(c)];
      for (std::size_t p = 0; p < std::size_t(points); ++p) {
        const float value = values[p * 4 + std::size_t(c)];
        if (integers) {
          ASSERT_EQ(digital[p], std::lround(value / float(step))) << layout << " " << c << " " << p;
          ASSERT_TRUE(WithinOneUlp(physical[p], value)) << layout << " " << c << " " << p;
        } else {
          ASSERT_LE(std::fabs(physical[p] - value), step * 0.5001) << layout << " " << c << " " << p;
        }
      }
    }
  }
}

// A part of the example recording: its start moves with the range, and only the markers of all channels
// and of the exported ones within the range become annotations, with their onsets from the range's start.
TEST_F(EdfExportTest, ARangeOfChannelsKeepsItsMarkersAndStart) {
  const Recording recording = Recording::Open(std::string(GDR_EXAMPLE_DIR) + "/example.shdr");
  ExportOptions options;
  options.first = 1000;  // 2 s at 500 Hz
  options.count = 20000;
  options.channels = {5, 0};
  const std::string path = dir.File("part.edf");
  ExportEdf(recording, path, options);
  EdfFile file(path);
  ASSERT_GE(file.handle, 0);
  const Marker& segment = recording.Markers()[0];
  ASSERT_TRUE(segment.date.has_value());
  using namespace std::chrono;
  const auto start = *segment.date + seconds(2);
  const auto day = floor<days>(start);
  const hh_mm_ss<system_clock::duration> time(start - day);
  const edf_hdr_struct& h = *file.header;
  EXPECT_EQ(std::tie(h.starttime_hour, h.starttime_minute, h.starttime_second),
            std::make_tuple(int(time.hours().count()), int(time.minutes().count()), int(time.seconds().count())));
  std::vector<std::pair<long long, std::string>> expected;
  for (const Marker& m : recording.Markers())
    if ((m.channel < 0 || m.channel == 0 || m.channel == 5) && m.position >= 1000 && m.position < 21000)
      expected.emplace_back((m.position - 1000) * 20000LL,
                            m.description.empty() ? m.type : m.type + ": " + m.description);
  ASSERT_EQ(h.annotations_in_file, std::int64_t(expected.size()));
  ASSERT_FALSE(expected.empty());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    edf_annotation_struct a{};
    ASSERT_EQ(edf_get_annotation(file.handle, int(i), &a), 0);
    EXPECT_EQ(std::make_pair(a.onset, std::string(a.annotation)), expected[i]);
  }
}

}  // namespace
}  // namespace gdr::edf
