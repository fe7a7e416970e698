// gdr run as a process, as its users run it.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "contract/Tags.h"
#include "host/HostToolbox.h"
#include "host/PropertyStore.h"
#include "host/StreamFiles.h"
#include "platform/ComRuntime.h"
#include "platform/CompoundFile.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/TestRegistry.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace {

// The test's working folder while it lives, so that gdr takes and shows names as written.
struct InFolder {
  const std::filesystem::path before = std::filesystem::current_path();
  explicit InFolder(const std::filesystem::path& folder) { std::filesystem::current_path(folder); }
  ~InFolder() { std::filesystem::current_path(before); }
};

struct Outcome {
  int status;
  std::string out, err;
};

class GdrTest : public ::testing::Test {
 protected:
  Outcome Gdr(const std::string& arguments) {
    const std::string out = dir.File("stdout"), err = dir.File("stderr");
    const ProgramRun run = RunProgram(program, arguments, out, err);
    EXPECT_TRUE(run.ended) << arguments;
    const bool binary = arguments.find("--format f32") != std::string::npos;
    return {run.status, binary ? Slurp(out) : TextLines(Slurp(out)), TextLines(Slurp(err))};
  }
  // A run's status, output and messages; messages ending in "..." are compared up to there and are one line.
  void Expect(const std::string& arguments, int status, const std::string& out, const std::string& err) {
    const Outcome run = Gdr(arguments);
    EXPECT_EQ(run.status, status) << arguments;
    EXPECT_EQ(run.out, out) << arguments;
    if (err.ends_with("...")) {
      EXPECT_EQ(run.err.substr(0, err.size() - 3), err.substr(0, err.size() - 3)) << arguments;
      EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << arguments;
    } else {
      EXPECT_EQ(run.err, err) << arguments;
    }
  }
  // Text as the tests write it: the Windows programs end their lines with CR LF.
  static std::string TextLines(std::string text) {
#if defined(_WIN32)
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
      EXPECT_TRUE(text[i] != '\n' || (i > 0 && text[i - 1] == '\r')) << "a line ends without CR LF";
      if (text[i] != '\r' || i + 1 >= text.size() || text[i + 1] != '\n') lines += text[i];
    }
    text = lines;
#endif
    return text;
  }
  // INT_16 samples as the data file holds them.
  static std::string Int16s(std::initializer_list<std::int16_t> samples) {
    return std::string(reinterpret_cast<const char*>(std::data(samples)), 2 * samples.size());
  }
  // A small recording: 2 INT_16 channels of 4 points, 1 to 8.
  std::string Small() {
    dir.Write("small.eeg", Int16s({1, 2, 3, 4, 5, 6, 7, 8}));
    return dir.Write("small.shdr", HeaderText("[Common Infos]\nDataFile=small.eeg\nDataFormat=BINARY\n"
                                              "NumberOfChannels=2\nSamplingInterval=1000\n"
                                              "[Channel Infos]\nCh1=A\\1B,,0.5\nCh2=C\n"));
  }
  std::string program = GDR_EXECUTABLE;
  TempDir dir;
};

// What info and dump show of a recording with every kind of field, in one comparison each.
TEST_F(GdrTest, InfoAndDumpShowEveryField) {
  const InFolder inFolder(dir.Path());
  dir.Write("r.txt", "Fp1 O1\r\n1,5 2\r\n3 4\r\n5 6\r\n");
  dir.Write("r.vmrk",
            "Tarvo Sylvex Data Exchange Marker File, Version 1.0\r\n[Marker Infos]\r\n"
            "Mk1=New Segment,,1,1,0,20261205120000000000\r\nMk2=Stimulus,S  1,2,1,1\r\n");
  dir.Write("r.shdr",
            HeaderText("[Common Infos]\nCodepage=UTF-8\nDataFile=r.txt\nMarkerFile=r.vmrk\nDataFormat=ASCII\n"
                       "NumberOfChannels=2\nSamplingInterval=500\n[ASCII Infos]\nDecimalSymbol=,\nSkipLines=1\n"
                       "[Channel Infos]\nCh1=Fp1,Cz,0.5,mV\nCh2=O1,,2\n[Coordinates]\nCh1=1,90,-90\n"
                       "[Comment]\nIn \xC2\xB5V.\n"));
  ASSERT_EQ(Gdr("import r.shdr r.gdr").status, 0);
  const std::string golden[][2] = {
      {"info r.shdr",
       "Data file      r.txt\nMarker file    r.vmrk\nLayout         ASCII, multiplexed\n"
       "Sampling       500 us (2000 Hz)\nData points    3 (0.002 s)\nChannels       2\n"
       "    0  Fp1        ref Cz       0.5 mV\n"
       "    1  O1         ref -        2 \xC2\xB5V\nComment\nIn \xC2\xB5V.\n"},
      {"dump r.gdr",
       "Class          {3E8D6A41-92C7-4B15-A60F-5D27C19B843A}\nHeader         r.shdr\nData           r.txt\n"
       "Recording      2 channels, 3 data points, sampling interval 500.0 us, data type 257\n"
       "Channels       Fp1 O1\nMarkers        2\n         0  New Segment  \n         1  Stimulus     S  1\n"
       "Comment\nIn \xC2\xB5V.\nStreams        DataPath (6) HeaderPath (7) HostMarkers (91) HostProperties (261) "
       "InternalData (205) Name (9) RecordingInfos (7) RecordingInfosW (14)\n"},
      {"info --json r.shdr", R"({"message": "", "result": 0, "header": {"averaged": 0, "averaged_segments": 1,
        "bytes_per_data_point": 0.0, "channel_offset": 0, "comment": "In µV.", "data_file": "r.txt",
        "data_offset": 0, "data_orientation": 1, "data_points": 3, "data_type": 257, "decimal_symbol": ",",
        "layer_function": 0, "layer_lower_limit": 0.0, "layer_upper_limit": 0.0, "layers": 1,
        "marker_file": "r.vmrk", "sample_format": 0, "sampling_interval": 500.0, "segment_data_points": 0,
        "segment_header_size": 0, "segmentation_type": 0, "skip_columns": 0, "skip_lines": 1, "trailer_size": 0,
        "use_big_endian_order": 0, "utf8": true, "channels": [
        {"coordinates": [1.0, 90.0, -90.0], "has_coordinates": true, "name": "Fp1", "reference": "Cz",
         "resolution": 0.5, "unit_code": 1, "unit_text": "mV"},
        {"coordinates": [0.0, 0.0, 0.0], "has_coordinates": false, "name": "O1", "reference": "",
         "resolution": 2.0, "unit_code": 0, "unit_text": ""}]}})"},
      {"dump --json r.gdr", R"({"class_id": "{3E8D6A41-92C7-4B15-A60F-5D27C19B843A}", "comment": "In µV.",
        "comment_w": "In µV.", "data_path": "r.txt", "header_path": "r.shdr", "internal_data": {
        "channel_offset": 0, "channels": 2, "data_offset": 0, "data_orientation": 1, "decimal_symbol": ",",
        "resolutions": [0.5, 2.0], "sample_format": 0, "segment_data_points": 0, "segment_header_size": 0,
        "skip_columns": 0, "skip_lines": 1, "use_big_endian_order": 0}, "name": "Raw Data", "recording": {
        "averaged_segments": null, "channels": 2, "data_points": 3, "data_type": 257, "layer_function": null,
        "layer_lower_limit": null, "layer_upper_limit": null, "layers": null, "sampling_interval": 500.0,
        "segment_data_points": null, "segmentation_type": 0, "tag105": null, "time_zero": null, "unit_code": 0},
        "streams": {"DataPath": 6, "HeaderPath": 7, "HostMarkers": 91, "HostProperties": 261, "InternalData": 205,
        "Name": 9, "RecordingInfos": 7, "RecordingInfosW": 14}, "channels": [
        {"coordinates": [1.0, 90.0, -90.0], "name": "Fp1", "reference": "Cz", "unit_code": 1, "unit_text": "mV"},
        {"coordinates": [1.0, -90.0, 72.0], "name": "O1", "reference": "", "unit_code": null, "unit_text": null}],
        "markers": [{"channel": -1, "date": 46361.5, "description": "", "flag": false, "points": 1, "position": 0,
        "type": "New Segment"}, {"channel": 0, "date": null, "description": "S  1", "flag": false, "points": 1,
        "position": 1, "type": "Stimulus"}]})"},
  };
  for (const auto& [command, expected] : golden) {
    const Outcome run = Gdr(command);
    EXPECT_EQ(run.status, 0) << command << "\n" << run.err;
    if (command.find("--json") == std::string::npos)
      EXPECT_EQ(run.out, expected) << command;
    else
      EXPECT_EQ(nlohmann::json::parse(run.out), nlohmann::json::parse(expected)) << command << "\n" << run.out;
  }
}

// Each command's status, output and message.
TEST_F(GdrTest, StatusesOutputsAndMessages) {
  const std::string small = Small(), store = dir.File("small.gdr");
  ASSERT_EQ(Gdr("import " + small + " " + store).status, 0);
  const std::string first = Slurp(store);
  const std::string other = dir.Write("other.shdr", "Another format 1.0\r\n\r\n"), missing = dir.File("missing.shdr");
  const std::string bad = dir.Write("bad.shdr", HeaderText("[Common Infos]\n"));
  const std::string none = dir.Write("none.shdr", HeaderText("[Other]\n"));
  const std::string text = dir.Write("text.gdr", "x"), cut = dir.Write("cut.gdr", first.substr(0, 600));
  std::string longer = Slurp(small);
  const std::string declared = dir.Write("long.shdr", longer.insert(longer.find("DataFormat"), "DataPoints=6\r\n"));
  dir.Write("unnamed.eeg", Int16s({1, 2, 3, 4, 5, 6}));
  const std::string unnamed =
      dir.Write("unnamed.shdr", HeaderText("[Common Infos]\nDataFile=unnamed.eeg\nDataFormat=BINARY\n"
                                           "NumberOfChannels=3\nSamplingInterval=1000\n[Channel Infos]\n"));
  const float f32[2] = {4, 6};
  const std::string all = "\"A,B\",C\n0.5,2\n1.5,4\n2.5,6\n3.5,8\n",
                    notThis = "gdr: not a header file of this format: ";
  const std::string outside = " lies outside the recording's 4 data points\n";
  const std::string missingPoints =
      "gdr: the data file holds 4 of the 6 data points the recording declares; the rest read as 0\n";
  const std::tuple<std::string, int, std::string, std::string> rows[] = {
      {"", 2, "", "gdr: A subcommand is required (see gdr --help)\n"},
      {"read", 2, "", "gdr: SOURCE is required (see gdr --help)\n"},
      {"read x.gdr --format f64", 2, "", "gdr: --format: f64 not in {csv,f32} (see gdr --help)\n"},
      {"dump --verbose x.gdr", 2, "", "gdr: The following argument was not expected: --verbose (see gdr --help)\n"},
      {"--version", 0, std::string("gdr ") + GDR_VERSION + "\n", ""},
      {"info " + other, 1, "", notThis + other + "\n"},
      {"info " + bad, 2, "", "gdr: " + bad + ": Missing \"NumberOfChannels\" key.\n"},
      {"info --json " + bad, 2, "{\n  \"message\": \"Missing \\\"NumberOfChannels\\\" key.\",\n  \"result\": 2\n}\n",
       ""},
      {"info " + missing, 3, "", "gdr: 0x8004100E (A file cannot be read or written.) cannot read " + missing + "\n"},
      {"info " + cut, 2, "", "gdr: " + cut + " is damaged or cannot be read: 0x8003..."},
      {"dump " + text, 2, "", "gdr: " + text + " is not a store (a compound file): 0x80030050 ..."},
      {"info " + text, 1, "", notThis + text + "\n"},
      // A failed import leaves the store as it was.
      {"import " + other + " " + store, 1, "", notThis + other + "\n"},
      {"import " + none + " " + store, 2, "",
       none + ":Missing section \"[Common Infos]\".\ngdr: OpenRawFile failed: 0x80041003 (The reader failed; its "
              "message says why.)\n"},
      {"read " + other, 1, "", notThis + other + "\n"},
      {"read " + store, 0, all, ""},
      {"read " + store + " --from 2 --count 1 --channels C,0,1", 0, "C,\"A,B\",C\n6,2.5,6\n", ""},
      {"read " + small + " --format f32 --from 1 --count 2 --channels 1", 0,
       std::string(reinterpret_cast<const char*>(f32), 8), ""},
      // Ranges outside the recording, refused with the numbers as given; only a missing count means
      // "to the end".
      {"read " + store + " --from 3 --count 2", 2, "", "gdr: from 3, count 2" + outside},
      {"read " + store + " --from -1", 2, "", "gdr: from -1, to the end" + outside},
      {"read " + store + " --count -1", 2, "", "gdr: from 0, count -1" + outside},
      {"read " + store + " --from 1 --count 9223372036854775807", 2, "",
       "gdr: from 1, count 9223372036854775807" + outside},
      {"read " + store + " --from 4", 0, "\"A,B\",C\n", ""},
      {"read " + store + " --channels Cz", 2, "", "gdr: no channel Cz (the recording has 2 channels)\n"},
      {"read " + store + " --channels 2", 2, "", "gdr: no channel 2 (the recording has 2 channels)\n"},
      {"read " + declared, 0, all + "0,0\n0,0\n", missingPoints},
      {"import " + declared + " " + dir.File("long.gdr"), 0, "", ""},
      {"read " + dir.File("long.gdr"), 0, all + "0,0\n0,0\n", missingPoints},
      // Channels without names are named "1".."N": a number reads the channel of that number, and says so.
      {"read " + unnamed + " --channels 1,2,2", 0, "2,3,3\n2,3,3\n5,6,6\n",
       "gdr: channel 1 is \"2\"; the channel named \"1\" is number 0\n"},
  };
  for (const auto& [arguments, status, out, err] : rows) Expect(arguments, status, out, err);
  EXPECT_EQ(Slurp(store), first);
  EXPECT_FALSE(std::filesystem::exists(store + ".importing"));
  EXPECT_NE(Gdr("read --help").out.find("Example: gdr read"), std::string::npos);
  // A store's summary is the header's, with its markers counted in place of the marker file.
  std::string summary = Gdr("info " + small).out;
  summary.insert(summary.find("Channels"), "Markers        0\n");
  EXPECT_EQ(Gdr("info " + store).out, summary);
  EXPECT_EQ(Gdr("info --json " + store).out, Gdr("dump --json " + store).out);
}

#if !defined(_WIN32)
// Under the umask 077: a new store, a re-import over a store of mode 06755 (its mode is kept, not its
// special bits), and an import beside a leftover of mode 04777 (which passes nothing on).
TEST_F(GdrTest, StoresGetTheUsersPermissions) {
  const std::tuple<int, int, mode_t> rows[] = {{-1, -1, 0600}, {06755, -1, 0755}, {-1, 04777, 0600}};
  const std::string header = Small(), store = dir.File("rec.gdr");
  const mode_t before = umask(077);
  for (const auto& [oldStore, leftover, expected] : rows) {
    std::filesystem::remove(store);
    std::filesystem::remove(store + ".importing");
    if (oldStore >= 0) {
      ASSERT_EQ(Gdr("import " + header + " " + store).status, 0);
      chmod(store.c_str(), mode_t(oldStore));
    }
    if (leftover >= 0) chmod(dir.Write("rec.gdr.importing", "x").c_str(), mode_t(leftover));
    const Outcome run = Gdr("import " + header + " " + store);
    ASSERT_EQ(run.status, 0) << run.err;
    struct stat status {};
    ASSERT_EQ(stat(store.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, expected) << oldStore << " " << leftover;
  }
  umask(before);
}
#endif

// Text from a recording reaches the terminal with its controls escaped, and CSV cells cannot be formulas.
TEST_F(GdrTest, ControlsAreEscapedAndCellsAreNoFormulas) {
  // Windows-1252: 0x9D is the C1 control U+009D.
  dir.Write("ctl.vmrk",
            "Tarvo Sylvex Data Exchange Marker File, Version 1.0\r\n[Marker Infos]\r\n"
            "Mk1=Stimulus,S\x9D\x1B]52;c;eA==\x07,1\r\n");
  dir.Write("ctl.eeg", Int16s({1, 2, 3, 4}));
  const std::string header =
      dir.Write("ctl.shdr", HeaderText("[Common Infos]\nDataFile=ctl.eeg\nMarkerFile=ctl.vmrk\nDataFormat=BINARY\n"
                                       "NumberOfChannels=4\nSamplingInterval=1000\n"
                                       "[Channel Infos]\nCh1=\x1B[2J\x7F\nCh2==HYPERLINK(1)\nCh3=@x\nCh4=-1\xA0\n"
                                       "[Comment]\nfirst\x1B[1A\nsecond\n"));
  const std::string store = dir.File("ctl.gdr");
  ASSERT_EQ(Gdr("import " + header + " " + store).status, 0);
  const std::pair<std::string, std::string> rows[] = {
      // the arguments, and a part of the output
      {"info " + header, "\\x1b[2J\\x7f"},
      {"info " + header, "Comment\nfirst\\x1b[1A\nsecond\n"},
      {"info --json " + header, "\"\\u001b[2J\\u007f\""},
      {"dump " + store, "S\\x9d\\x1b]52;c;eA==\\x07"},
      {"dump --json " + store, "\"S\\u009d\\u001b]52;c;eA==\\u0007\""},
      {"read " + store, "\\x1b[2J\\x7f,'=HYPERLINK(1),'@x,'-1\u00A0\n"},  // no-break space is no control
  };
  for (const auto& [arguments, expected] : rows) {
    const Outcome run = Gdr(arguments);
    EXPECT_EQ(run.status, 0) << arguments << "\n" << run.err;
    EXPECT_NE(run.out.find(expected), std::string::npos) << arguments << "\n" << run.out;
    for (std::size_t i = 0; i < run.out.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(run.out[i]);
      EXPECT_FALSE((c < 0x20 && c != '\n') || c == 0x7F || (c == 0xC2 && (run.out[i + 1] & 0xE0) == 0x80))
          << arguments << ": a raw control at " << i;
    }
  }
  Expect("read " + store + " --channels \x1B[2J", 2, "", "gdr: no channel \\x1b[2J (the recording has 4 channels)\n");
  std::string bad = Slurp(header);
  bad.replace(bad.find("BINARY"), 6, "\x1B[2J");
  Expect("import " + dir.Write("bad.shdr", bad) + " " + store, 2, "",
         dir.File("bad.shdr") +
             ":\"DataFormat\" key has invalid value \"\\x1b[2J\".\ngdr: OpenRawFile failed: 0x80041003 "
             "(The reader failed; its message says why.)\n");
}

TEST_F(GdrTest, ExportWritesAnEdfFileOrRefusesInOneLine) {
  const InFolder inFolder(dir.Path());
  const std::string header = Small(), existing = dir.Write("out.edf", "old");
  using Row = std::pair<std::string, std::string>;  // the arguments and the message
#if defined(_WIN32)
  const Row rows[] = {{header + " " + existing, "gdr: this build cannot export to EDF\n"}};
#else
  Expect("export " + header + " a.edf", 0, "", "gdr: 996 points of zeros complete the last data record\n");
  EXPECT_EQ(Slurp(dir.File("a.edf")).substr(192, 5), "EDF+C");
  std::string text = Slurp(header);
  text.insert(text.find("NumberOfChannels"), "DataType=TIMEFREQUENCYDOMAIN\r\nLayers=2\r\nLayerUpperLimit=4\r\n");
  const std::string layered = dir.Write("layered.shdr", text);
  const Row rows[] = {
      {layered + " " + existing,
       "gdr: the recording has 2 values per data point (layers or complex values), which EDF cannot hold\n"},
      {header + " .edf",
       "gdr: the output's format is not known: name it .edf or .bdf, or give the format (edf or bdf)\n"},
  };
#endif
  for (const auto& [arguments, err] : rows) {
    Expect("export " + arguments, 2, "", err);
    EXPECT_EQ(Slurp(existing), "old");
  }
}

#if !defined(_WIN32)
// File names in UTF-8 travel through the component's ANSI paths; names that the ANSI code page lacks
// are refused with a line that says so.
TEST_F(GdrTest, FileNamesThatAreNotAscii) {
  const InFolder inFolder(dir.Path());
  dir.Write("\u00E9.eeg", Int16s({1, 2, 3, 4}));
  dir.Write("\u00FC.vmrk",
            "Tarvo Sylvex Data Exchange Marker File, Version 1.0\r\n[Marker Infos]\r\nMk1=Comment,x,2,1,0\r\n");
  auto header = [&](const std::string& name, const std::string& dataFile) {
    return dir.Write(name, HeaderText("[Common Infos]\nCodepage=UTF-8\nDataFile=" + dataFile +
                                      "\nMarkerFile=\u00FC.vmrk\nDataFormat=BINARY\nNumberOfChannels=2\n"
                                      "SamplingInterval=1000\n"));
  };
  const std::string mueller = header("M\u00FCller.shdr", "\u00E9.eeg"), store = dir.File("Stra\u00DFe.gdr");
  EXPECT_NE(Gdr("info '" + mueller + "'").out.find("\\\u00E9.eeg\n"), std::string::npos);
  Expect("import '" + mueller + "' '" + store + "'", 0, "", "");
  Expect("read '" + store + "'", 0, "1,2\n1,2\n3,4\n", "");
  EXPECT_NE(Gdr("dump '" + store + "'").out.find("Comment"), std::string::npos);
  // A missing data file whose name fits is told as missing (the header names no marker file).
  dir.Write("gone.shdr", HeaderText("[Common Infos]\nCodepage=UTF-8\nDataFile=\u00E9\u00E9.eeg\nDataFormat=BINARY\n"
                                    "NumberOfChannels=2\nSamplingInterval=1000\n"));
  Expect("info gone.shdr", 2, "", "gdr: gone.shdr: Data file \"\u00E9\u00E9.eeg\" not found.\n");

  // U+4E2D has no byte in Windows-1252: neither as the header's name nor as a name in the header.
  const std::string beyond = ": the name has characters that the ANSI code page (Windows-1252) cannot hold\n";
  dir.Write("\u4E2D.eeg", std::string(8, '\0'));
  const std::string cases[][2] = {
      {header("\u4E2D.shdr", "\u00E9.eeg"), dir.File("\u4E2D.shdr")},
      {header("named.shdr", "\u4E2D.eeg"), dir.File("\u4E2D.eeg")},
  };
  for (const auto& [path, name] : cases)
    for (const std::string& command :
         {"info '" + path + "'", "import '" + path + "' '" + store + "'", "read '" + path + "'"}) {
      Expect(command, 2, "", "gdr: " + name + beyond);
    }
}
#endif

#if !defined(_WIN32)
// --confine: a recording's files must lie in its header's (or store's) folder, links and ".."
// resolved; without it the format's own rules hold.
TEST_F(GdrTest, ConfineRefusesFilesOutsideTheRecordingsFolder) {
  const std::string secret = dir.Write("secret.eeg", std::string(8, '\1'));
  dir.Write("rec/ok.eeg", std::string(8, '\2'));
  std::filesystem::create_symlink(secret, dir.File("rec/link.eeg"));
  auto header = [&](const std::string& name, const std::string& files) {
    return dir.Write("rec/" + name, HeaderText("[Common Infos]\n" + files +
                                               "DataFormat=BINARY\nNumberOfChannels=2\nSamplingInterval=1000\n"));
  };
  const std::string folder = std::filesystem::canonical(dir.File("rec")).string();
  const std::string outside =
      std::filesystem::canonical(secret).string() + " lies outside " + folder + " (--confine)\n";
  const std::string headers[] = {
      header("absolute.shdr", "DataFile=" + secret + "\n"),
      header("link.shdr", "DataFile=link.eeg\n"),
      header("marker.shdr", "DataFile=ok.eeg\nMarkerFile=" + dir.File("rec/../secret.eeg") + "\n"),
  };
  std::filesystem::create_directory(dir.File("stores"));
  const std::string store = dir.File("stores/elsewhere.gdr");
  for (const std::string& path : headers) {
    EXPECT_EQ(Gdr("info " + path).status, 0) << path;
    for (const std::string& command :
         {"info --confine " + path, "import --confine " + path + " " + store, "read --confine " + path})
      Expect(command, 2, "", "gdr: " + outside);
  }
  EXPECT_FALSE(std::filesystem::exists(store));
  const std::string ok = header("ok.shdr", "DataFile=ok.eeg\n");
  EXPECT_EQ(Gdr("read --confine " + ok).status, 0);
  // A store's data file must lie in the store's folder, and only with --confine.
  ASSERT_EQ(Gdr("import " + ok + " " + store).status, 0);
  EXPECT_EQ(Gdr("read " + store).status, 0);
  Expect("read --confine " + store, 2, "",
         "gdr: " + folder + "/ok.eeg lies outside " + std::filesystem::canonical(dir.File("stores")).string() +
             " (--confine)\n");
  ASSERT_EQ(Gdr("import " + ok + " " + dir.File("rec/ok.gdr")).status, 0);
  EXPECT_EQ(Gdr("read --confine " + dir.File("rec/ok.gdr")).status, 0);
}
#endif

TEST_F(GdrTest, AStoreDeclaringMoreChannelsThanItDescribesIsRefused) {
  const std::string store = dir.File("small.gdr");
  ASSERT_EQ(Gdr("import " + Small() + " " + store).status, 0);
  {
    ComPtr<IStorage> storage;
    ASSERT_EQ(StgOpenStorage(WideString(store.begin(), store.end()).c_str(), nullptr,
                             STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0, storage.Receive()),
              S_OK);
    std::vector<std::uint8_t> bytes;
    ASSERT_EQ(ReadWholeStream(storage.Get(), kHostPropertiesStream, bytes), S_OK);
    std::optional<PropertyStore> properties = PropertyStore::Decode(bytes);
    ASSERT_TRUE(properties);
    const std::int32_t channels = 0x7FFFFFFF;
    properties->Set(property_tag::kChannels, 0, std::span(reinterpret_cast<const std::uint8_t*>(&channels), 4));
    ASSERT_EQ(WriteWholeStream(storage.Get(), kHostPropertiesStream, properties->Encode()), S_OK);
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
  }
  Expect("read " + store, 2, "", "gdr: the store declares 2147483647 channels but describes 2\n");
}

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__)  // the sanitizer needs more address space than that
// 200000 channels in a small header: gdr's memory stays bounded by the input, and a store that needs
// more memory than there is ends in one line, never in an abort.
TEST_F(GdrTest, MemoryStaysBoundedAndRunningOutOfItIsOneLine) {
  dir.Write("many.eeg", std::string(400000, '\0'));
  const std::string header = dir.Write("many.shdr", HeaderText("[Common Infos]\nDataFile=many.eeg\nDataFormat=BINARY\n"
                                                               "NumberOfChannels=200000\nSamplingInterval=1000\n"));
  ASSERT_EQ(Gdr("import " + header + " " + dir.File("many.gdr")).status, 0);
  program = "prlimit --as=100000000 " + program;
  EXPECT_EQ(Gdr("info --json " + header).status, 0);
  Expect("dump " + dir.File("many.gdr"), 3, "",
         "gdr: 0x8007000E (Not enough memory resources are available to complete this operation.) out of memory\n");
}
#endif

// Registration itself is checked with the module and the host; gdr only says nothing unless it fails.
TEST_F(GdrTest, RegistrationIsSilentUnlessItFails) {
  {
    const TestRegistry registry(dir.File("registry"));
    for (const char* command : {"register", "unregister"}) Expect(command, 0, "", "");
  }
#if !defined(_WIN32)
  // A registry whose folder is a file cannot be written.
  dir.Write("file", "");
  const TestRegistry registry(dir.File("file/registry"));
  Expect("register", 2, "", "gdr: DllRegisterServer failed: 0x80070005 (Access is denied.)\n");
#endif
}

}  // namespace
