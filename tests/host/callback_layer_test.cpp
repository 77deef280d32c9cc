// What the callback layer hands to the host: texts, codes, files and lines.
#include <gtest/gtest.h>

#include "support/recording_host.h"

namespace {

using nuvex::testing::RecordingHost;

TEST(CallbackRecord, WrongSizeIsInstalledAndReportedThroughTheNewRecord) {
  for (std::uint64_t size : {std::uint64_t{0}, std::uint64_t{800}}) {
    RecordingHost host;
    DLLCallbacks record = nuvex::testing::recordingCallbacks();
    record.structSize = size;
    EXPECT_EQ(SetNuvexCallbacks(record), 0);
    EXPECT_EQ(InstalledCallbacks().structSize, size);
    ASSERT_EQ(host.seen().failures.size(), 1u);
    const auto& failure = host.seen().failures.front();
    EXPECT_EQ(failure.text, "callBacks.structSize == sizeof(DLLCallbacks)");
    EXPECT_EQ(failure.code, 0);
    EXPECT_EQ(failure.reserved, nullptr);
    EXPECT_EQ(failure.file, "Shared/DllCallBack");
    EXPECT_EQ(failure.line, 18);
  }
}

TEST(CallbackRecord, ResetLeavesAnEmptyRecordOfTheRightSize) {
  const DLLCallbacks* record = ResetCallbacks();
  EXPECT_EQ(record->structSize, 784u);
  EXPECT_EQ(record->logMessage, nullptr);
  EXPECT_EQ(record->reportFailure, nullptr);
}

TEST(CallbackLayer, FinishedTextsReachTheHostUnchangedPercentSignsIncluded) {
  RecordingHost host;
  DllLog(2, "value %d", 5);
  DllLog(-1, "%s", "100% done %d");
  DllMessage("Unable to Open File %s", "a%sb.dat");
  ASSERT_EQ(host.seen().logs.size(), 2u);
  EXPECT_EQ(host.seen().logs[0].level, 2);
  EXPECT_EQ(host.seen().logs[0].text, "value 5");
  EXPECT_EQ(host.seen().logs[1].text, "100% done %d");
  ASSERT_EQ(host.seen().messages.size(), 1u);
  EXPECT_EQ(host.seen().messages[0], "Unable to Open File a%sb.dat");
}

TEST(CallbackLayer, FailureReportsCarryTheirTextsAndCodes) {
  RecordingHost host;
  DllExit(3, "calc/VOKS/F77INI", 90);
  DllFail(3, "somewhere", 7);
  DllAssertFailed("x > 0", 11, "file", 12);
  DllCheckRecordSize();
  const auto& seen = host.seen().failures;
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].text, "PELORA-Calculation Failed (exit Called)!");
  EXPECT_EQ(seen[0].code, 3);
  EXPECT_EQ(seen[0].line, 90);
  EXPECT_FALSE(seen[1].hasText);
  EXPECT_EQ(seen[1].code, 3);
  EXPECT_EQ(seen[2].text, "x > 0");
  EXPECT_EQ(seen[2].code, 11);
  EXPECT_EQ(seen[3].text, "callBacks.structSize == sizeof(DLLCallbacks)");
  EXPECT_EQ(seen[3].line, 18);
}

TEST(CallbackLayer, ExitFatalThrowsWhenTheHostsReportFailureReturns) {
  RecordingHost host;
  EXPECT_THROW(DllExitFatal(0, "NUVEX/TRGU", 55), CCalcAbortException);
  ASSERT_EQ(host.seen().failures.size(), 1u);
  EXPECT_EQ(host.seen().failures[0].file, "NUVEX/TRGU");
}

TEST(CallbackLayer, StructuredReportsFillTheFixedArguments) {
  RecordingHost host;
  DllReport(7, "plain 100%% text");
  DllReportSub(8, 3, 4, "sub %d", 1);
  DllReportRaw(5, 6, 1, 2, 3, 4, "a7", 8, 1.5, nullptr, 11, "%s", "raw %d");
  const auto& seen = host.seen().reports;
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].kind, 2);
  EXPECT_EQ(seen[0].code, 7);
  EXPECT_EQ(seen[0].a3 + seen[0].extra + seen[0].a6 + seen[0].a8, 0);
  EXPECT_EQ(seen[0].sub, 0u);
  EXPECT_EQ(seen[0].a7, "");
  EXPECT_EQ(seen[0].a9, 0.0);
  EXPECT_EQ(seen[0].a10, nullptr);
  EXPECT_EQ(seen[0].a11, 9);
  EXPECT_EQ(seen[0].text, "plain 100% text");
  EXPECT_EQ(seen[1].sub, 3u);
  EXPECT_EQ(seen[1].extra, 4);
  EXPECT_EQ(seen[1].text, "sub 1");
  EXPECT_EQ(seen[2].kind, 5);
  EXPECT_EQ(seen[2].a7, "a7");
  EXPECT_EQ(seen[2].a9, 1.5);
  EXPECT_EQ(seen[2].text, "raw %d");
}

TEST(CallbackLayer, EmptySlotsAreSkipped) {
  ResetCallbacks();
  DllLog(2, "nobody listens");
  DllMessage("nobody listens");
  DllExit(1, "f", 1);
  DllReport(1, "x");
  EXPECT_THROW(DllExitFatal(1, "f", 1), CCalcAbortException);
}

}  // namespace
