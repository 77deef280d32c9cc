// The converter's stream: inputs are read in blocks of whole lines, the blocks converted on a
// pool of worker threads (small inputs and interactive use on the calling thread) and written in
// input order. Memory stays bounded whatever the input's size: a fixed number of blocks is in
// flight at any time. Before a read that may wait for more input (a terminal, a pipe), everything
// read so far is converted and written, so that interactive use answers each line at once.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "block_converter.h"
#include "progress.h"

namespace nuvex::cli {

// What the first line of an input that is not blank or a comment becomes when the input has a
// header: the context for the lines after it, the header's output line and its messages.
struct HeaderOutcome {
  std::shared_ptr<const InputContext> context;
  std::string output;
  std::string diagnostics;
  bool failed = false;
};
using HeaderReader = std::function<HeaderOutcome(std::string_view line, std::size_t lineNumber)>;

class BlockPipeline {
 public:
  // threads: worker threads for large inputs (at least 1; 1 converts on the calling thread).
  BlockPipeline(const BlockConverter& converter, unsigned threads, std::ostream& output,
                std::ostream& diagnostics, ProgressMeter& progress);
  ~BlockPipeline();
  BlockPipeline(const BlockPipeline&) = delete;
  BlockPipeline& operator=(const BlockPipeline&) = delete;

  // Converts every line of input. header, when given, reads the input's header line and
  // supplies the context of the lines after it. sizeBytes (0 when unknown) drives the progress.
  void process(std::istream& input, std::shared_ptr<const InputContext> context,
               const HeaderReader* header, std::uintmax_t sizeBytes);
  // Notes an input that could not be read at all.
  void reportUnreadable(std::string_view inputName, std::string_view reason);
  // Whether any line, point or input failed so far.
  bool hadDataErrors() const { return hadDataErrors_; }
  // Writes the summary of the lines so far (summaryLine) to the diagnostics, when there is one.
  void writeSummary();

 private:
  struct Job {
    Block block;
    BlockResult result;
    bool done = false;
    std::exception_ptr failure;
  };

  bool readChunk(std::streambuf& input, std::string& buffer, std::size_t limit);
  std::size_t consumeHeaderLines(std::string& text, std::size_t& lineNumber,
                                 std::shared_ptr<const InputContext>& context,
                                 const HeaderReader& header, bool& headerPending);
  void submit(std::unique_ptr<Job> job);
  void write(Job& job);
  void writeText(std::string_view output, std::string_view diagnostics, bool failed);
  void drain();
  void writeOldest(std::unique_lock<std::mutex>& lock);
  void startWorkers();
  void work();
  std::unique_ptr<Job> takeJob();

  const BlockConverter& converter_;
  unsigned threads_;
  std::ostream& output_;
  std::ostream& diagnostics_;
  ProgressMeter& progress_;
  bool hadDataErrors_ = false;
  LineTally tally_;
  bool warnedFarZone_ = false;
  std::uintmax_t bytesWritten_ = 0;

  std::mutex mutex_;
  std::condition_variable workAvailable_;
  std::condition_variable jobDone_;
  std::deque<Job*> queue_;                     // waiting for a worker
  std::deque<std::unique_ptr<Job>> inFlight_;  // submitted, in input order
  std::vector<std::unique_ptr<Job>> spare_;    // finished jobs whose buffers are reused
  std::vector<std::thread> workers_;
  bool stopping_ = false;
};

}  // namespace nuvex::cli
