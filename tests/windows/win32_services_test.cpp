// The Win32 services of the platform layer as the runtime and the entry points meet them: the
// retry question's message box, the critical section left by a host's exception, and runtime
// files with Windows paths and line ends.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "nuvex/runtime.h"
#include "platform/file_system.h"
#include "platform/pause.h"
#include "platform/win32/message_box.h"
#include "support/recording_host.h"
#include "support/scratch_directory.h"

namespace {

struct MessageBoxCall {
  HWND owner;
  std::string text, caption;
  UINT style;
};

std::vector<MessageBoxCall> messageBoxes;
std::vector<int> messageBoxAnswers;  // given in turn
std::vector<unsigned> pauses;        // milliseconds

int WINAPI recordMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  messageBoxes.push_back({owner, text, caption, style});
  return messageBoxAnswers.at(messageBoxes.size() - 1);
}

void recordPause(unsigned milliseconds) {
  pauses.push_back(milliseconds);
}

class Win32Runtime : public ::testing::Test {
 protected:
  void SetUp() override {
    messageBoxes.clear();
    pauses.clear();
    nuvex::platform::setMessageBoxForTesting(recordMessageBox);
    nuvex::platform::setPauseForTesting(recordPause);
    f77ini();
  }
  void TearDown() override {
    close_all_units();
    nuvex::platform::setMessageBoxForTesting(nullptr);
    nuvex::platform::setPauseForTesting(nullptr);
  }

  nuvex::testing::RecordingHost host_;
  nuvex::testing::ScratchDirectory scratch_;
};

std::string questionAfter(int trials) {
  return "Unable to Open File \n    missing\\x.dat\nafter " + std::to_string(trials) +
         " trials.\nCheck if file is in use by another application and check disk free space.";
}

TEST_F(Win32Runtime, RetryQuestionIsTheErrorMessageBoxAndOnlyRetryRetries) {
  messageBoxAnswers = {IDRETRY, 0};  // 0: the box could not be shown
  EXPECT_THROW(open_unit(7, "missing\\x.dat", "OLD", "", "", 0), CCalcAbortException);
  EXPECT_EQ(pauses, std::vector<unsigned>(30, 500u));
  ASSERT_EQ(messageBoxes.size(), 2u);
  for (const MessageBoxCall& box : messageBoxes) {
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.caption, "PELORA");
    EXPECT_EQ(box.style, 0x52015u);  // Retry/Cancel, error icon, task-modal, foreground, topmost
  }
  EXPECT_EQ(messageBoxes[0].text, questionAfter(30));
  EXPECT_EQ(messageBoxes[1].text, questionAfter(31));

  messageBoxAnswers = {IDCANCEL};
  messageBoxes.clear();
  EXPECT_THROW(open_unit(7, "missing\\x.dat", "OLD", "", "", 0), CCalcAbortException);
  EXPECT_EQ(messageBoxes.size(), 1u);
}

std::string fileBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(Win32Runtime, FilesWithWindowsPathsAndLineEnds) {
  CreateDirectoryA("data", nullptr);
  std::ofstream("data\\points.txt", std::ios::binary) << "  42  3.50\r\n   7  1.25\r\n";
  EXPECT_TRUE(nuvex::platform::fileExists("DATA\\Points.TXT"));
  EXPECT_TRUE(nuvex::platform::fileExists("data/points.txt"));
  EXPECT_FALSE(nuvex::platform::fileExists("data\\none.txt"));

  ASSERT_EQ(open_unit(8, " Data\\Points.TXT ", "OLD", "FORMATTED", "", 0), 1);
  char name[128] = {};
  inquire_name(8, name);
  EXPECT_STREQ(name, "data\\points.txt");
  int32_t count = 0;
  double value = 0;
  char after[2] = {};
  EXPECT_EQ(readfmt_seq(8, "(I4,F6.2)", "%d %lf", &count, &value), 2);
  EXPECT_EQ(count, 42);
  EXPECT_EQ(value, 3.5);
  EXPECT_EQ(readfmt_seq(8, "(I4,F6.2,A1)", "%d %lf %s", &count, &value, after), 3);
  EXPECT_EQ(count, 7);
  EXPECT_EQ(value, 1.25);
  EXPECT_STREQ(after, " ") << "the record ends before the line end: no carriage return in it";

  ASSERT_EQ(open_unit(9, "data\\out.txt", "NEW", "FORMATTED", "", 0), 1);
  EXPECT_EQ(wrtfmt_seq(9, "(I4,F6.2)", "%d %lf\n", 42, 3.5), 2);
  EXPECT_EQ(close_unit(9), 1);
  EXPECT_EQ(fileBytes("data/out.txt"), "  42  3.50\r\n");
}

int abortingConversions = 0;
void abortCalculation(const char*, int, const void*, const char*, int) {
  ++abortingConversions;
  throw CCalcAbortException();
}

TEST(Win32EntryPoints, HostAbortLeavesTheCriticalSectionForOtherThreads) {
  nuvex::testing::RecordingHost host;
  DLLCallbacks record = nuvex::testing::recordingCallbacks();
  record.reportFailure = abortCalculation;
  SetNuvexCallbacks(record);
  double longitude = 0, latitude = 0;
  int zone = 3;
  testing::internal::CaptureStdout();  // the engine's fatal line
  EXPECT_THROW(NuvexConvertToLL(3500000.0, 5500000.0, &longitude, &latitude, 5, &zone, 0),
               CCalcAbortException);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(abortingConversions, 1);
  zone = 32;
  int status = 1;
  std::thread other([&] {
    status = NuvexConvertToLL(571666.4475, 5539109.8153, &longitude, &latitude, 3, &zone, 0);
  });
  other.join();
  EXPECT_EQ(status, 0);
}

}  // namespace
