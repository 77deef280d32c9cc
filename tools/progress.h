// Progress of a long conversion on standard error: how much of the input is done, how many points
// a second go through and, for a file of known size, about how long the rest takes. Shown only
// where someone watches (standard error is a terminal) and only for inputs large enough to take a
// while: files of kLargeInputBytes or more, and standard input once that much of it is read.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

namespace nuvex::cli {

// Bytes: inputs smaller than this convert in about a second and show no progress.
inline constexpr std::uintmax_t kLargeInputBytes = 64u << 20;

// Whether standard error is a terminal (the one question the converter asks of the system).
bool standardErrorIsTerminal();

class ProgressMeter {
 public:
  using Clock = std::chrono::steady_clock;

  // now: the clock the meter reads; largeInputBytes: the size from which an input shows progress
  // (the tests give their own).
  ProgressMeter(std::ostream& terminal, bool enabled,
                std::function<Clock::time_point()> now = Clock::now,
                std::uintmax_t largeInputBytes = kLargeInputBytes)
      : terminal_(terminal),
        enabled_(enabled),
        now_(std::move(now)),
        largeInputBytes_(largeInputBytes) {}

  // A new input of totalBytes (0: unknown size, as standard input).
  void start(std::string_view name, std::uintmax_t totalBytes);
  // bytesDone of the input are written, with points more points.
  void advance(std::uintmax_t bytesDone, std::uintmax_t points);
  // Removes the progress line, before a message or at the end of the input.
  void clear();

 private:
  std::ostream& terminal_;
  bool enabled_;
  std::function<Clock::time_point()> now_;
  std::uintmax_t largeInputBytes_;
  std::size_t shownLength_ = 0;  // of the line on the terminal; 0 when none is shown
  std::string name_;
  std::uintmax_t total_ = 0;
  std::uintmax_t points_ = 0;
  Clock::time_point started_;
  Clock::time_point lastShown_;
};

}  // namespace nuvex::cli
