#include <functional>

#include "component/ComponentTestSupport.h"
#include "contract/Diagnostics.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace {

// What the last-resort message box leaves on stderr, and the system's text for E_FAIL. This platform
// writes the box there and has a copy of the Windows text; the Windows build shows the system's box,
// which returns at once under Wine without a desktop, and asks the system for the text (Wine has its own).
#if defined(_WIN32)
constexpr const char* kMessageBoxOutput = "";
const std::string kUnspecifiedError = _com_error(E_FAIL).ErrorMessage();
#else
constexpr const char* kMessageBoxOutput = "Error: Sylvex Toolbox is not correct installed\n";
const std::string kUnspecifiedError = "Unspecified error";
#endif

template <typename Exception>
std::function<HRESULT()> Throwing(Exception exception) {
  return [exception]() -> HRESULT { throw exception; };
}

TEST(GuardTest, ExceptionsMapToTheirCodesAndSomeAreShown) {
  struct Row {
    std::function<HRESULT()> body;
    HRESULT code;
    std::string shown;  // empty: no message
  };
  const Row rows[] = {
      {Throwing(COleException(MakeResult(0x80041010))), MakeResult(0x00041000), ""},
      {Throwing(COleException(MakeResult(0x80030002))), MakeResult(0x80030002), ""},
      {Throwing(CMemoryException()), MakeResult(0x8007000E), ""},
      {Throwing(CFileException(CFileException::cannotOpen, "x.shdr")), MakeResult(0x8004100E), ""},
      {Throwing(std::ios_base::failure("stream")), MakeResult(0x8004100E), ""},
      {Throwing(std::bad_alloc()), MakeResult(0x8007000E), ""},
      {Throwing(42), MakeResult(0x8000FFFF), ""},
      {Throwing(_com_error(E_FAIL)), MakeResult(0x80041003), kUnspecifiedError},
      {Throwing(_com_error(MakeResult(0x80040205))), MakeResult(0x80041003), "IDispatch error #5"},
      {Throwing(_com_error(MakeResult(0x8007FFFF))), MakeResult(0x80041003), "Unknown error 0x8007FFFF"},
      {Throwing(_com_error(E_FAIL, OLESTR("Gr\u00F6\u00DFe \u4E2D"))), MakeResult(0x80041003),
       "Gr\xF6\xDF"
       "e ?"},
      {Throwing(std::runtime_error("x")), MakeResult(0x80041003), "x"},
      {[] { return S_FALSE; }, S_FALSE, ""},  // a completed body answers its own result
      {[] { return MakeResult(0x80041001); }, MakeResult(0x80041001), ""},
  };
  HostDoubles host;
  for (const Row& row : rows) {
    host.Clear();
    EXPECT_EQ(Guarded(row.body), row.code) << row.shown;
    EXPECT_EQ(host.Messages(), row.shown.empty() ? std::vector<std::string>{} : std::vector<std::string>{row.shown});
  }
}

TEST(DisplayError, WithoutTheMessageServiceAMessageBoxSaysTheHostIsMissing) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(Guarded([]() -> HRESULT { throw std::runtime_error("x"); }), MakeResult(0x80041003));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kMessageBoxOutput);
  // The same when the service cannot be made; the next message makes a new one.
  HostDoubles host;
  host.FailCall("Create", 1, REGDB_E_CLASSNOTREG);
  testing::internal::CaptureStderr();
  DisplayError("text");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kMessageBoxOutput);
  EXPECT_TRUE(host.Messages().empty());
  DisplayError("text");
  EXPECT_EQ(host.Messages(), std::vector<std::string>{"text"});
  EXPECT_EQ(host.CallsOf("Create"), (std::vector<std::string>{"Create(Messages)", "Create(Messages)"}));
}

class DebugLogTest : public ::testing::Test {
 protected:
  DebugLogFile log;
};

TEST_F(DebugLogTest, EachLineIsTheMessageBehindTheFixedPrefixCutTo1023Characters) {
  WriteDebugLog("OpenRawFile: %s\n", "/x.shdr");
  EXPECT_FALSE(std::filesystem::exists(DebugLogFile::Path())) << "nothing is created without the file";
  log.SwitchOn();
  WriteDebugLog("OpenRawFile: %s\n", "/rec/s01.shdr");
  WriteDebugLog("GetData: %d, %d\n", 0, 1000);
  WriteDebugLog("%s", std::string(5000, 'a').c_str());
  EXPECT_EQ(log.Text(),
            "GenericDataReader > OpenRawFile: /rec/s01.shdr\nGenericDataReader > GetData: 0, 1000\n"
            "GenericDataReader > " +
                std::string(1023, 'a'));
}

#if !defined(_WIN32)
TEST_F(DebugLogTest, ALinkAtTheLogsPlaceIsNotFollowed) {
  log.SwitchOn();
  const std::filesystem::path target = std::filesystem::path(DebugLogFile::Path()).parent_path() / "bashrc";
  std::ofstream(target) << "keep\n";
  std::filesystem::remove(DebugLogFile::Path());
  std::filesystem::create_symlink(target, DebugLogFile::Path());
  WriteDebugLog("WriteProperties: %s\n", "$(command)");
  std::ifstream in(target);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep\n");
}

TEST_F(DebugLogTest, AFileOfAnotherUserIsNotWritten) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give the file to another user";
  log.SwitchOn();
  ASSERT_EQ(chown(DebugLogFile::Path().c_str(), 65534, 65534), 0);  // nobody
  WriteDebugLog("GetProperties\n");
  EXPECT_EQ(log.Text(), "");
}
#endif

}  // namespace
