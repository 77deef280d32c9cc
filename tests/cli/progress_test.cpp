// The progress line of a long conversion, on a clock the test turns: the share of a file done,
// the rate and the time left, the bytes read of standard input, blanks over a longer line before,
// and inputs that show nothing. The expected lines follow from the clock and the byte counts by
// hand: 25 % after 2 s leaves 6 s at the same rate.
#include "progress.h"

#include <gtest/gtest.h>

#include <chrono>
#include <istream>
#include <memory>
#include <sstream>
#include <string>

#include "block_pipeline.h"

namespace nuvex::testing {
namespace {

using cli::ProgressMeter;
using Clock = ProgressMeter::Clock;
using std::chrono::milliseconds;
using std::chrono::seconds;
constexpr std::uintmax_t kMiB = 1u << 20;

std::string shown(const std::string& text, std::size_t blanksAfter = 0) {
  return "\r" + text + " " + std::string(blanksAfter, ' ');
}

TEST(CliParts, ProgressOfAFileShowsTheShareTheRateAndTheTimeLeft) {
  std::ostringstream terminal;
  Clock::time_point now{};
  ProgressMeter meter(terminal, true, [&] { return now; });
  meter.start("big.txt", 100 * kMiB);
  now += seconds(2);
  meter.advance(25 * kMiB, 1000000);
  std::string expected = shown("nuvex: big.txt: 25%, 500000 points/s, 6 s left");
  EXPECT_EQ(terminal.str(), expected);
  now += milliseconds(100);  // within the update interval: nothing new
  meter.advance(26 * kMiB, 0);
  EXPECT_EQ(terminal.str(), expected);
  now += seconds(100) - milliseconds(100);  // 102 s: half done, 3000000 points
  meter.advance(50 * kMiB, 2000000);
  expected += shown("nuvex: big.txt: 50%, 29412 points/s, 1 min 42 s left");
  EXPECT_EQ(terminal.str(), expected);
  now += seconds(3600);  // 3702 s for 99 %: 37.4 s left; a shorter line blanks out the longer
  meter.advance(99 * kMiB, 1000000);
  expected += shown("nuvex: big.txt: 99%, 1080 points/s, 37 s left", 7);
  EXPECT_EQ(terminal.str(), expected);
  meter.clear();
  EXPECT_EQ(terminal.str(), expected + "\r" + std::string(53, ' ') + "\r");
  meter.clear();  // nothing shown: nothing to clear
  EXPECT_EQ(terminal.str(), expected + "\r" + std::string(53, ' ') + "\r");
}

TEST(CliParts, ProgressTimeLeftInHours) {
  std::ostringstream terminal;
  Clock::time_point now{};
  ProgressMeter meter(terminal, true, [&] { return now; });
  meter.start("huge.txt", 1000 * kMiB);
  now += seconds(60);
  meter.advance(10 * kMiB, 600);  // 1 % in 60 s: 5940 s left
  EXPECT_EQ(terminal.str(), shown("nuvex: huge.txt: 1%, 10 points/s, 1 h 39 min left"));
}

TEST(CliParts, ProgressOfStandardInputShowsTheBytesReadOnceItIsLarge) {
  std::ostringstream terminal;
  Clock::time_point now{};
  ProgressMeter meter(terminal, true, [&] { return now; });
  meter.start("<stdin>", 0);
  now += seconds(1);
  meter.advance(10 * kMiB, 100);  // below kLargeInputBytes (64 MiB): nothing yet
  EXPECT_EQ(terminal.str(), "");
  now += seconds(1);
  meter.advance(80 * kMiB, 900);
  EXPECT_EQ(terminal.str(), shown("nuvex: <stdin>: 80 MiB read, 500 points/s"));
}

TEST(CliParts, ProgressShowsNothingForSmallFilesOrWhenDisabled) {
  std::ostringstream terminal;
  Clock::time_point now{};
  ProgressMeter small(terminal, true, [&] { return now; });
  small.start("small.txt", 1 * kMiB);
  ProgressMeter off(terminal, false, [&] { return now; });
  off.start("big.txt", 100 * kMiB);
  now += seconds(5);
  small.advance(1 * kMiB, 1000);
  off.advance(50 * kMiB, 1000);
  EXPECT_EQ(terminal.str(), "");
}

// Each input's share counts its own bytes. (Regression: the bytes of earlier inputs were counted
// again, and a second input showed 200 %.)
TEST(CliParts, ProgressOfEachInputCountsItsOwnBytes) {
  std::ostringstream terminal, output, diagnostics;
  Clock::time_point now{};
  ProgressMeter meter(
      terminal, true, [&] { return now += seconds(1); }, 1024);
  const cli::ConversionSettings settings{{CoordinateType::Geographic, 3},
                                         {CoordinateType::Grid, 3}};
  const cli::BlockConverter converter(settings, cli::OutputStyle{});
  cli::BlockPipeline pipeline(converter, 1, output, diagnostics, meter);
  std::string text;
  for (int i = 0; i < 400; ++i) text += "10 50\n";  // 2400 bytes
  for (const char* name : {"a.txt", "b.txt"}) {
    std::istringstream input(text);
    const cli::LineLayout layout{
        {CoordinateType::Geographic, 3, std::nullopt}, std::nullopt, 0, cli::kDecimalPoint};
    pipeline.process(input,
                     std::make_shared<const cli::InputContext>(cli::InputContext{name, layout, {}}),
                     nullptr, text.size());
  }
  EXPECT_NE(terminal.str().find("nuvex: a.txt: 100%, "), std::string::npos) << terminal.str();
  EXPECT_NE(terminal.str().find("nuvex: b.txt: 100%, "), std::string::npos) << terminal.str();
  EXPECT_EQ(terminal.str().find("200%"), std::string::npos) << terminal.str();
}

}  // namespace
}  // namespace nuvex::testing
