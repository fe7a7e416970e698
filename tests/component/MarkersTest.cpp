#include "component/ComponentTestSupport.h"
#include "description/Markers.h"
#include "support/AllocationCounter.h"

namespace {

class MarkersTest : public ComponentTest {
 protected:
  // Loads a header with `channels` channels and the marker file (none when it is empty), runs the marker
  // step, expects the writer made, attached and committed and the host objects released, and answers the
  // marker writer's calls in between.
  std::vector<std::string> Markers(std::string_view markerFile, int channels = 2, std::string_view common = "") {
    dir.Write("rec.vmrk", markerFile);
    header = CHeaderFile();
    const std::string marker = markerFile.empty() ? "" : "MarkerFile=rec.vmrk\r\n";
    EXPECT_EQ(header.Load(WriteBinaryRecording(channels, marker + std::string(common))), 0) << header.m_ErrorMessage;
    host.Clear();
    EXPECT_EQ(WriteStep(), S_OK);
    const std::vector<std::string>& all = host.CallsOf();
    EXPECT_EQ(std::vector<std::string>(all.begin(), all.begin() + 3),
              (std::vector<std::string>{"Create(MarkerWriter)", "Create(Converter)", "MarkerWriter.Attach(storage)"}));
    EXPECT_EQ(all.back(), "MarkerWriter.Commit()");
    EXPECT_EQ(host.LivingObjects(), 0);
    std::vector<std::string> calls = host.CallsOf("MarkerWriter.");
    return std::vector<std::string>(calls.begin() + 1, calls.end() - 1);
  }
  HRESULT WriteStep() {
    return Answer([&] { WriteMarkers(header, NewStorage().Get(), timeZero); });
  }
  static std::string File(std::string_view lines) {
    return std::string(kMarkerIdentification) + "\r\n\r\n[Marker Infos]\r\n" + std::string(lines);
  }
  // The calls of one marker without a date or flag.
  static std::vector<std::string> Marker(int position, int points, std::string type, std::string description,
                                         int channel) {
    return {"MarkerWriter.BeginMarker(" + std::to_string(position) + ", " + std::to_string(points) + ")",
            "MarkerWriter.SetType(\"" + type + "\")", "MarkerWriter.SetDescription(\"" + description + "\")",
            "MarkerWriter.SetChannel(" + std::to_string(channel) + ")", "MarkerWriter.AddMarker()"};
  }
  static std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
  }
  CHeaderFile header;
  std::int32_t timeZero = -1;
};

TEST_F(MarkersTest, SectionsLinesAndFields) {
  const auto a = Marker(0, 1, "A", "", -1);
  const std::vector<std::string> none;
  const std::pair<std::string, std::vector<std::string>> rows[] = {
      {"", none},  // without a marker file the host still gets a committed list
      {File("Mk1=Stimulus,S  1,5,1,0\r\n"), Marker(4, 1, "Stimulus", "S  1", -1)},
      // Sections: the name in any case, text after the bracket ignored; reading stops at the next
      // section line, a second [Marker Infos] included.
      {std::string(kMarkerIdentification) + "\r\n[marker infos]\r\nMk1=A,,1\r\n", a},
      {"[Marker Infos] trailing\r\nMk1=A,,1\r\n", a},
      {"[Marker  Infos]\r\nMk1=A,,1\r\n", none},
      {"\xEF\xBB\xBF[Marker Infos]\r\nMk1=A,,1\r\n", none},
      {"Mk1=A,,1\r\n[Other]\r\nMk2=B,,1\r\n", none},
      {"[Marker Infos]\r\nMk1=A,,1\r\n[Marker Infos]\r\nMk2=B,,2\r\n", a},
      {"[Marker Infos\r\n[Marker Infos]\r\nMk1=A,,1\r\n", a},
      // Lines and fields
      {File(" Mk1=A,,1\r\nXk1=A,,1\r\nMk1\r\nMk1=A,only two\r\n"), none},
      {File("mk7=A,,1\r\nMK=B,,1\r\n"), Join({a, Marker(0, 1, "B", "", -1)})},
      {File("Mk1=A,,0\r\nMk2=A,,-4\r\nMk3=A,,\r\nMk4=D,,12\r\n"), Join({a, a, a, Marker(11, 1, "D", "", -1)})},
      {File("Mk1= T\\1ype , Desc\\1ription\\1 ,3,0\r\nMk2=P,,4,-3\r\n"),
       Join({Marker(2, 1, "T,ype", "Desc,ription,", -1), Marker(3, 1, "P", "", -1)})},
      // Channels from 1; 0 and numbers beyond the last channel mean all channels.
      {File("Mk1=A,,1,1,0\r\nMk2=A,,1,1,3\r\nMk3=C,,1,1,2\r\nMk4=A,,1,1,-7\r\n"),
       Join({a, a, Marker(0, 1, "C", "", 1), a})},
      // Continuation: description pieces joined until a position follows.
      {File("Mk1=Comment,first,second,third,100,2\r\n"), Marker(99, 2, "Comment", "first, second, third", -1)},
      {File("Mk1=Comment,first,second\r\n"), none},
      {File("Mk1=Comment,a\\1b,c\\1d,5\r\n"), Marker(4, 1, "Comment", "a,b, c\\1d", -1)},
  };
  for (const auto& [file, expected] : rows) EXPECT_EQ(Markers(file), expected) << file;
}

TEST_F(MarkersTest, DatesAndFlags) {
  const auto calls =
      Markers(File("Mk1=New Segment,,1,1,0,20240229235959123456\r\n"
                   "Mk2=A,,2,1,0,202402292359591234567,1\r\n"
                   "Mk3=B,,3,1,0,2024022923595912345,7\r\n"
                   "Mk4=C,,4,1,0,2024022923595912345678,0\r\n"));
  const auto dates = host.CallsOf("Converter.DateToValue");
  EXPECT_EQ(dates, (std::vector<std::string>{"Converter.DateToValue(2024, 2, 29, 23, 59, 59, 123456)",
                                             "Converter.DateToValue(2024, 2, 29, 23, 59, 59, 123456)"}));
  ASSERT_EQ(calls.size(), 4 * 5 + 2 + 2u);
  EXPECT_EQ(calls[3].substr(0, 21), "MarkerWriter.SetDate(");
  EXPECT_EQ(calls[9], "MarkerWriter.SetDate(45351.999989854812)");  // 23:59:59.123456
  EXPECT_EQ(calls[10], "MarkerWriter.SetFlag()");
  EXPECT_EQ(calls[16], "MarkerWriter.SetFlag()");  // B: flag 7, no date
}

TEST_F(MarkersTest, TheFirstTimeZeroMarkerWithAPositionSetsTimeZero) {
  Markers(File("Mk1=Time 0,,\r\nMk2=time 0,,3\r\nMk3=Time 0,,8\r\nMk4=Time 0,,9\r\n"));
  EXPECT_EQ(timeZero, 7);
  timeZero = 4;
  Markers(File("Mk1=Time 0,,9\r\n"));
  EXPECT_EQ(timeZero, 4);  // once set, it stays
}

TEST_F(MarkersTest, SegmentMarkersFillFixedBoundaries) {
  // 10 data points cut to 9 in segments of 3: "New Segment" at 0, 3 and 6, where the file has none.
  const auto calls = Markers(File("Mk1=Stimulus,,4\r\nMk2=New Segment,,4\r\nMk3=New Segment,,6\r\nMk4=Other,,1\r\n"), 2,
                             "SegmentationType=FIXTIME\r\nSegmentDataPoints=3\r\n");
  EXPECT_EQ(calls, Join({Marker(0, 1, "New Segment", "", -1), Marker(0, 1, "Other", "", -1),
                         Marker(3, 1, "New Segment", "", -1), Marker(3, 1, "Stimulus", "", -1),
                         Marker(5, 1, "New Segment", "", -1), Marker(6, 1, "New Segment", "", -1)}));
}

TEST_F(MarkersTest, SegmentMarkersAreMadeOneAtATimeInTheirTurn) {
  std::vector<MarkerInfo> markers(3);
  const std::pair<std::int32_t, const char*> given[] = {{999999, "Last"}, {2, "Other"}, {2, "New Segment"}};
  for (std::size_t i = 0; i < 3; ++i) std::tie(markers[i].position, markers[i].type) = given[i];
  std::vector<std::pair<std::int32_t, std::string>> first;
  std::int64_t count = 0;
  std::int32_t previous = 0;
  const AllocationPeak peak;
  // One segment of one point each: a million segment markers, where the file has one at 2.
  ForEachMarkerInOrder(markers, 1, 1000000, [&](const MarkerInfo& delivered) {
    EXPECT_GE(delivered.position, previous);
    previous = delivered.position;
    if (++count <= 5) first.emplace_back(delivered.position, delivered.type);
  });
  EXPECT_LT(peak.Bytes(), 4096u) << "memory in proportion to the segment markers";
  EXPECT_EQ(count, 1000000 + 2);
  EXPECT_EQ(first, (std::vector<std::pair<std::int32_t, std::string>>{
                       {0, "New Segment"}, {1, "New Segment"}, {2, "New Segment"}, {2, "Other"}, {3, "New Segment"}}));
  EXPECT_EQ(previous, 999999);
}

// Each host call made to fail ends the step with its code, but the writer's answers for a single
// marker are not examined.
TEST_F(MarkersTest, AFailingHostCallEndsTheStepWithItsCode) {
  const std::vector<std::string> each = Markers(File("Mk1=A,,1,1,0,20240101000000000000\r\nMk2=B,,2\r\n"));
  EXPECT_EQ(IgnoredFailures(host, [&] { return WriteStep(); }), each);
}

TEST_F(MarkersTest, AMissingMarkerFileRaisesTheFileException) {
  dir.Write("rec.vmrk", "");
  ASSERT_EQ(header.Load(WriteBinaryRecording(2, "MarkerFile=rec.vmrk\r\n")), 0);
  std::filesystem::remove(dir.File("rec.vmrk"));
  EXPECT_THROW(WriteMarkers(header, NewStorage().Get(), timeZero), CFileException);
}

}  // namespace
