#include "progress.h"

#include <unistd.h>

#include <ostream>
#include <string>

#include "number_text.h"
#include "standard_error.h"

namespace nuvex::cli {
namespace {

// Seconds between two updates of the line: often enough to see it move, seldom enough to cost
// nothing.
constexpr std::chrono::milliseconds kUpdateInterval{250};
constexpr double kPercent = 100.0;
// Wide enough to blank out the longest progress line written.
constexpr std::size_t kLineWidth = 79;

}  // namespace

bool standardErrorIsTerminal() {
  return isatty(STDERR_FILENO) != 0;
}

void ProgressMeter::start(std::string_view name, std::uintmax_t totalBytes) {
  active_ = enabled_ && totalBytes >= kLargeInputBytes;
  name_ = name;
  total_ = totalBytes;
  points_ = 0;
  started_ = lastShown_ = Clock::now();
}

void ProgressMeter::advance(std::uintmax_t bytesDone, std::uintmax_t points) {
  points_ += points;
  if (!active_) return;
  const Clock::time_point now = Clock::now();
  if (now - lastShown_ < kUpdateInterval) return;
  lastShown_ = now;
  const double seconds = std::chrono::duration<double>(now - started_).count();
  std::string line = "\rnuvex: ";
  line.append(name_).append(": ");
  appendFixed(line, kPercent * static_cast<double>(bytesDone) / static_cast<double>(total_), 0);
  line.append("%, ");
  appendFixed(line, seconds > 0.0 ? static_cast<double>(points_) / seconds : 0.0, 0);
  line.append(" points/s ");
  const auto lock = lockStandardError();
  terminal_ << line << std::flush;
  shown_ = true;
}

void ProgressMeter::clear() {
  if (!shown_) return;
  const auto lock = lockStandardError();
  terminal_ << '\r' << std::string(kLineWidth, ' ') << '\r' << std::flush;
  shown_ = false;
}

}  // namespace nuvex::cli
