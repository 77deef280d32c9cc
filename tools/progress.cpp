#include "progress.h"

#include <unistd.h>

#include <cmath>
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
constexpr double kBytesPerMebibyte = 1024.0 * 1024.0;
constexpr long long kSecondsPerMinute = 60;
constexpr long long kSecondsPerHour = 3600;

// "12 s", "4 min 05 s", "2 h 07 min": the time left, to the second below an hour.
std::string formatDuration(double seconds) {
  const long long whole = std::llround(std::max(seconds, 0.0));
  if (whole < kSecondsPerMinute) return std::to_string(whole) + " s";
  const auto twoDigits = [](long long value) {
    return (value < 10 ? "0" : "") + std::to_string(value);
  };
  if (whole < kSecondsPerHour) {
    return std::to_string(whole / kSecondsPerMinute) + " min " +
           twoDigits(whole % kSecondsPerMinute) + " s";
  }
  return std::to_string(whole / kSecondsPerHour) + " h " +
         twoDigits(whole % kSecondsPerHour / kSecondsPerMinute) + " min";
}

}  // namespace

bool standardErrorIsTerminal() {
  return isatty(STDERR_FILENO) != 0;
}

void ProgressMeter::start(std::string_view name, std::uintmax_t totalBytes) {
  name_ = name;
  total_ = totalBytes;
  points_ = 0;
  started_ = lastShown_ = now_();
}

void ProgressMeter::advance(std::uintmax_t bytesDone, std::uintmax_t points) {
  points_ += points;
  if (!enabled_) return;
  const bool knownSize = total_ > 0;
  if ((knownSize ? total_ : bytesDone) < largeInputBytes_) return;
  const Clock::time_point now = now_();
  if (now - lastShown_ < kUpdateInterval) return;
  lastShown_ = now;
  const double seconds = std::chrono::duration<double>(now - started_).count();
  std::string line = "\rnuvex: ";
  line.append(name_).append(": ");
  if (knownSize) {
    appendFixed(line, kPercent * static_cast<double>(bytesDone) / static_cast<double>(total_), 0);
    line.append("%, ");
  } else {
    appendFixed(line, static_cast<double>(bytesDone) / kBytesPerMebibyte, 0);
    line.append(" MiB read, ");
  }
  appendFixed(line, seconds > 0.0 ? static_cast<double>(points_) / seconds : 0.0, 0);
  line.append(" points/s");
  if (knownSize && bytesDone > 0 && bytesDone < total_) {
    // The rest at the rate so far.
    const double left =
        seconds * static_cast<double>(total_ - bytesDone) / static_cast<double>(bytesDone);
    line.append(", ").append(formatDuration(left)).append(" left");
  }
  line.push_back(' ');
  // Blanks over what a longer line before left on the terminal.
  const std::size_t length = line.size() - 1;  // without the carriage return
  if (length < shownLength_) line.append(shownLength_ - length, ' ');
  shownLength_ = std::max(length, shownLength_);
  const auto lock = lockStandardError();
  terminal_ << line << std::flush;
}

void ProgressMeter::clear() {
  if (shownLength_ == 0) return;
  const auto lock = lockStandardError();
  terminal_ << '\r' << std::string(shownLength_, ' ') << '\r' << std::flush;
  shownLength_ = 0;
}

}  // namespace nuvex::cli
