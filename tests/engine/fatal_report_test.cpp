// An unknown system code reaching the projection ends the calculation: the fatal line on
// standard output, then the host's failure report, and no result written.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "nuvex/engine.h"
#include "nuvex/host.h"
#include "support/recording_host.h"

namespace nuvex {
namespace {

using nuvex::testing::RecordingHost;

constexpr const char* kFatalText = " FATALER FEHLER IN *TRGU* -> stop\n \n";
constexpr double kUnset = -7777.0;

struct FatalCase {
  const char* routine;
  std::function<void(int system)> call;
};

// Every routine that would read a table row for the code, and TRGU on its way to one.
std::vector<FatalCase> fatalCases(double& out1, double& out2, int& zone) {
  return {
      {"GEO2GRID", [&](int system) { GEO2GRID(9.0, 10.0, 50.0, out1, out2, system, 6); }},
      {"GRID2GEO",
       [&](int system) {
         double easting = 32571666.448;
         GRID2GEO(zone, easting, 5539109.815, out1, out2, system, 6);
         EXPECT_EQ(easting, 32571666.448);  // not reduced either
       }},
      {"MERARC", [&](int system) { out1 = MERARC(50.0, system); }},
      {"FOOTLAT", [&](int system) { out1 = FOOTLAT(5539109.815, system); }},
      {"TRGU G->E",
       [&](int system) {
         GEO_XIN[1] = 10.0;
         GEO_YIN[1] = 50.0;
         GRID_XOUT[1] = GRID_YOUT[1] = HGT_OUT[1] = kUnset;
         TRGU("G", system, "E", system, 6, 1, 1, 0);
       }},
      {"TRGU E->G",
       [&](int system) {
         GRID_XIN[1] = 3571686.387;
         GRID_YIN[1] = 5540758.788;
         GEO_XOUT[1] = GEO_YOUT[1] = HGT_OUT[1] = kUnset;
         TRGU("E", system, "G", system, 3, 1, 1, 0);
       }},
  };
}

void expectNothingWritten(double out1, double out2, int zone) {
  EXPECT_EQ(out1, kUnset);
  EXPECT_EQ(out2, kUnset);
  EXPECT_EQ(zone, -5);
  EXPECT_EQ(GRID_XOUT[1], kUnset);
  EXPECT_EQ(GRID_YOUT[1], kUnset);
  EXPECT_EQ(GEO_XOUT[1], kUnset);
  EXPECT_EQ(GEO_YOUT[1], kUnset);
  EXPECT_EQ(HGT_OUT[1], kUnset);
}

void resetOutputs(double& out1, double& out2, int& zone) {
  out1 = out2 = kUnset;
  zone = -5;
  GRID_XOUT[1] = GRID_YOUT[1] = GEO_XOUT[1] = GEO_YOUT[1] = HGT_OUT[1] = kUnset;
}

TEST(FatalReport, UnknownSystemAbortsBeforeAnyResult) {
  double out1 = 0.0, out2 = 0.0;
  int zone = 0;
  for (const FatalCase& c : fatalCases(out1, out2, zone)) {
    for (int system : {0, 5, -1}) {
      SCOPED_TRACE(::testing::Message() << c.routine << " system " << system);
      RecordingHost host;
      resetOutputs(out1, out2, zone);
      ::testing::internal::CaptureStdout();
      EXPECT_THROW(c.call(system), CCalcAbortException);
      EXPECT_EQ(::testing::internal::GetCapturedStdout(), kFatalText);
      ASSERT_EQ(host.seen().failures.size(), 1u);
      const auto& failure = host.seen().failures.front();
      EXPECT_TRUE(failure.hasText);
      EXPECT_EQ(failure.text, kCalculationFailedText);
      EXPECT_EQ(failure.code, 0);
      EXPECT_EQ(failure.reserved, nullptr);
      EXPECT_EQ(failure.file, "NUVEX/TRGU");
      EXPECT_EQ(failure.line, 55);
      expectNothingWritten(out1, out2, zone);
    }
  }
}

TEST(FatalReport, AHostThatThrowsEndsTheCalculationThere) {
  double out1 = 0.0, out2 = 0.0;
  int zone = 0;
  for (const FatalCase& c : fatalCases(out1, out2, zone)) {
    SCOPED_TRACE(c.routine);
    RecordingHost host(/*throwOnFailure=*/true);
    resetOutputs(out1, out2, zone);
    ::testing::internal::CaptureStdout();
    EXPECT_THROW(c.call(7), nuvex::testing::HostFailure);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), kFatalText);
    EXPECT_EQ(host.seen().failures.size(), 1u);
    expectNothingWritten(out1, out2, zone);
  }
}

}  // namespace
}  // namespace nuvex
