#include "line_tally.h"

#include <numeric>

namespace nuvex::cli {
namespace {

std::string counted(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::size_t LineTally::refused() const {
  return unreadable + aborted +
         std::accumulate(withoutPath.begin(), withoutPath.end(), std::size_t{0});
}

LineTally& LineTally::operator+=(const LineTally& other) {
  read += other.read;
  converted += other.converted;
  unreadable += other.unreadable;
  aborted += other.aborted;
  for (std::size_t i = 0; i < withoutPath.size(); ++i) withoutPath[i] += other.withoutPath[i];
  return *this;
}

std::optional<std::string> summaryLine(const LineTally& tally) {
  const std::size_t refused = tally.refused();
  if (refused == 0 || tally.converted + refused < 2) return std::nullopt;
  std::string line = "nuvex: " + counted(tally.read, "line read", "lines read") + ", " +
                     std::to_string(tally.converted) + " converted, " + std::to_string(refused) +
                     " refused (";
  bool first = true;
  const auto reason = [&](std::size_t count, const char* name) {
    if (count == 0) return;
    line.append(first ? "" : ", ").append(std::to_string(count)).append(" ").append(name);
    first = false;
  };
  reason(tally.unreadable, kUnreadableName);
  for (std::size_t i = 0; i < tally.withoutPath.size(); ++i) {
    reason(tally.withoutPath[i], rangeProblemName(static_cast<RangeProblem>(i)));
  }
  reason(tally.aborted, kAbortedName);
  return line + ")\n";
}

}  // namespace nuvex::cli
