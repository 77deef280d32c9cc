// Progress of a long conversion on standard error: how much of the input is done and how many
// points a second go through. Shown only where someone watches (standard error is a terminal) and
// only for inputs large enough to take a while.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string_view>

namespace nuvex::cli {

// Bytes: inputs smaller than this convert in about a second and show no progress.
inline constexpr std::uintmax_t kLargeInputBytes = 64u << 20;

// Whether standard error is a terminal (the one question the converter asks of the system).
bool standardErrorIsTerminal();

class ProgressMeter {
 public:
  ProgressMeter(std::ostream& terminal, bool enabled) : terminal_(terminal), enabled_(enabled) {}

  // A new input of totalBytes (0: unknown size, shows nothing).
  void start(std::string_view name, std::uintmax_t totalBytes);
  // bytesDone of the input are written, with points more points.
  void advance(std::uintmax_t bytesDone, std::uintmax_t points);
  // Removes the progress line, before a message or at the end of the input.
  void clear();

 private:
  using Clock = std::chrono::steady_clock;
  std::ostream& terminal_;
  bool enabled_;
  bool active_ = false;
  bool shown_ = false;
  std::string_view name_;
  std::uintmax_t total_ = 0;
  std::uintmax_t points_ = 0;
  Clock::time_point started_;
  Clock::time_point lastShown_;
};

}  // namespace nuvex::cli
