// An unknown system code reaching the projection ends the calculation: the fatal line on
// standard output, then the host's failure report, and no result written.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "nuvex/engine.h"
#include "nuvex/host.h"
#include "support/recording_host.h"

namespace nuvex {
namespace {

constexpr double kUnset = -7777.0;

// Every routine that would read a table row for the code, and TRGU on its way to one, must end
// with the exception E (the library's own, or the one a throwing host raises).
template <typename E>
void expectFatalEverywhere(int system, bool hostThrows) {
  double out1 = kUnset, out2 = kUnset, easting = 32571666.448;
  int zone = -5;
  const std::vector<std::pair<const char*, std::function<void()>>> calls = {
      {"GEO2GRID", [&] { GEO2GRID(9.0, 10.0, 50.0, out1, out2, system, 6); }},
      {"GRID2GEO", [&] { GRID2GEO(zone, easting, 5539109.815, out1, out2, system, 6); }},
      {"MERARC", [&] { out1 = MERARC(50.0, system); }},
      {"FOOTLAT", [&] { out1 = FOOTLAT(5539109.815, system); }},
      {"TRGU G->E", [&] { TRGU("G", system, "E", system, 6, 1, 1, 0); }},
      {"TRGU E->G", [&] { TRGU("E", system, "G", system, 3, 1, 1, 0); }}};
  for (const auto& [routine, call] : calls) {
    SCOPED_TRACE(::testing::Message() << routine << " system " << system);
    testing::RecordingHost host(hostThrows);
    GRID_XOUT[1] = GRID_YOUT[1] = GEO_XOUT[1] = GEO_YOUT[1] = HGT_OUT[1] = kUnset;
    GEO_XIN[1] = 10.0, GEO_YIN[1] = 50.0, GRID_XIN[1] = 3571686.387, GRID_YIN[1] = 5540758.788;
    ::testing::internal::CaptureStdout();
    EXPECT_THROW(call(), E);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), " FATALER FEHLER IN *TRGU* -> stop\n \n");
    ASSERT_EQ(host.seen().failures.size(), 1u);
    const auto& f = host.seen().failures.front();
    EXPECT_EQ(std::tie(f.hasText, f.text, f.code, f.reserved, f.file, f.line),
              std::make_tuple(true, std::string(kCalculationFailedText), 0, nullptr,
                              std::string("NUVEX/TRGU"), 55));
    for (double value :
         {out1, out2, GRID_XOUT[1], GRID_YOUT[1], GEO_XOUT[1], GEO_YOUT[1], HGT_OUT[1]}) {
      EXPECT_EQ(value, kUnset);
    }
    EXPECT_EQ(zone, -5);
    EXPECT_EQ(easting, 32571666.448);  // not reduced either
  }
}

TEST(FatalReport, UnknownSystemAbortsBeforeAnyResult) {
  for (int system : {0, 5, -1}) expectFatalEverywhere<CCalcAbortException>(system, false);
}

TEST(FatalReport, AHostThatThrowsEndsTheCalculationThere) {
  expectFatalEverywhere<nuvex::testing::HostFailure>(7, true);
}

}  // namespace
}  // namespace nuvex
