// How the lines of a run went: read, converted, refused by reason. A run that refused lines ends
// with one summary line on standard error, so that a long run's outcome is seen without scrolling
// through its messages. The reasons are the library's (rangeProblemName of nuvex/systems.h), with
// the converter's own for lines it could not read.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include "nuvex/systems.h"

namespace nuvex::cli {

struct LineTally {
  std::size_t read = 0;        // every line, passed through or not
  std::size_t converted = 0;   // points written
  std::size_t unreadable = 0;  // lines that are no point (or no header) as written
  std::size_t aborted = 0;     // points whose calculation the engine ended
  std::array<std::size_t, kRangeProblemCount> withoutPath{};  // points refused, by reason

  std::size_t refused() const;
  void refuse(RangeProblem reason) { ++withoutPath[static_cast<std::size_t>(reason)]; }
  LineTally& operator+=(const LineTally& other);
};

// The converter's names of the reasons that are not the library's.
inline constexpr const char* kUnreadableName = "unreadable";
inline constexpr const char* kAbortedName = "aborted";

// "nuvex: 1200 lines read, 1190 converted, 10 refused (7 unreadable, 3 outside_polynomial_area)",
// with its line end; nothing when no line was refused, or when the run had a single point line
// (its message says all).
std::optional<std::string> summaryLine(const LineTally& tally);

}  // namespace nuvex::cli
