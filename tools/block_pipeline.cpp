#include "block_pipeline.h"

#include <algorithm>
#include <istream>
#include <ostream>

#include "standard_error.h"

namespace nuvex::cli {
namespace {

// Bytes of input per block: large enough that a block costs far more than handing it to a
// thread, small enough that the blocks in flight take a few tens of MB at most.
constexpr std::size_t kBlockBytes = 512u << 10;
// A block smaller than this, with nothing else in flight, is converted on the calling thread:
// small files and interactive input need no thread.
constexpr std::size_t kSmallBlockBytes = 64u << 10;
// Blocks in flight per worker: one being converted, one waiting.
constexpr std::size_t kBlocksPerWorker = 2;
constexpr std::size_t kMostBlocksInFlight = 32;

std::size_t linesIn(std::string_view text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), kLineEnd)) +
         (!text.empty() && text.back() != kLineEnd ? 1 : 0);
}

}  // namespace

BlockPipeline::BlockPipeline(const BlockConverter& converter, unsigned threads,
                             std::ostream& output, std::ostream& diagnostics,
                             ProgressMeter& progress)
    : converter_(converter),
      threads_(std::max(threads, 1u)),
      output_(output),
      diagnostics_(diagnostics),
      progress_(progress) {}

BlockPipeline::~BlockPipeline() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  workAvailable_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

// Appends what the input has at hand, up to limit bytes in all, to buffer. Before a read that may
// wait, what was read so far is written. False at the end of the input.
bool BlockPipeline::readChunk(std::streambuf& input, std::string& buffer, std::size_t limit) {
  using Traits = std::char_traits<char>;
  while (buffer.size() < limit) {
    std::streamsize available = input.in_avail();
    if (available <= 0) {
      if (!buffer.empty() && buffer.find(kLineEnd) != std::string::npos) return true;
      drain();
      output_.flush();
      if (Traits::eq_int_type(input.sgetc(), Traits::eof())) return false;
      available = std::max<std::streamsize>(input.in_avail(), 1);
    }
    const std::size_t wanted = std::min(static_cast<std::size_t>(available), limit - buffer.size());
    const std::size_t old = buffer.size();
    buffer.resize(old + wanted);
    const std::streamsize got =
        input.sgetn(buffer.data() + old, static_cast<std::streamsize>(wanted));
    buffer.resize(old + static_cast<std::size_t>(std::max<std::streamsize>(got, 0)));
  }
  return true;
}

namespace {

// The input's context with the delimiter its first data line in the text decides, kept for every
// line after it; the context as it was when the text holds no data line.
std::shared_ptr<const InputContext> withFileDelimiter(std::string_view text, bool firstOfInput,
                                                      std::shared_ptr<const InputContext> context) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find(kLineEnd, at), text.size());
    std::string_view line = text.substr(at, end - at);
    if (at == 0 && firstOfInput) removeByteOrderMark(line);
    if (!isPassThrough(line)) {
      auto decided = std::make_shared<InputContext>(*context);
      decided->layout.delimiter = guessDelimiter(line);
      return decided;
    }
    at = end + 1;
  }
  return context;
}

}  // namespace

void BlockPipeline::process(std::istream& input, std::shared_ptr<const InputContext> context,
                            const HeaderReader* header, std::uintmax_t sizeBytes) {
  progress_.start(context->name, sizeBytes);
  bytesWritten_ = 0;
  bool headerPending = header != nullptr;
  std::size_t lineNumber = 1;
  std::string pending;
  std::size_t limit = kBlockBytes;
  bool more = true;
  try {
    while (more) {
      more = readChunk(*input.rdbuf(), pending, limit);
      // Whole lines go; a line not yet ended waits for the next read (or the end of input).
      const std::size_t lastEnd = pending.rfind(kLineEnd);
      const std::size_t cut = !more                          ? pending.size()
                              : lastEnd == std::string::npos ? 0
                                                             : lastEnd + 1;
      if (cut == 0) {
        // A line longer than a block: read on, in steps that double.
        limit = std::max(kBlockBytes, pending.size() * 2);
        if (more) continue;
        break;
      }
      limit = kBlockBytes;
      std::unique_ptr<Job> job = takeJob();
      job->block.text.assign(pending, cut, std::string::npos);
      std::swap(job->block.text, pending);
      job->block.text.resize(cut);
      if (headerPending) {
        drain();
        consumeHeaderLines(job->block.text, lineNumber, context, *header, headerPending);
      }
      if (context->layout.delimiter == 0) {
        context = withFileDelimiter(job->block.text, lineNumber == 1, std::move(context));
      }
      job->block.firstLine = lineNumber;
      job->block.input = context;
      lineNumber += linesIn(job->block.text);
      submit(std::move(job));
    }
  } catch (const std::ios_base::failure&) {
    drain();
    reportUnreadable(context->name, "read error after line " + std::to_string(lineNumber - 1));
  }
  drain();
  progress_.clear();
}

// Lines before the header pass through, the header line goes to the header reader; what is
// left of the text is the first block of the input's points. Returns the bytes consumed.
std::size_t BlockPipeline::consumeHeaderLines(std::string& text, std::size_t& lineNumber,
                                              std::shared_ptr<const InputContext>& context,
                                              const HeaderReader& header, bool& headerPending) {
  std::size_t at = 0;
  while (headerPending && at < text.size()) {
    const std::size_t end = std::min(text.find(kLineEnd, at), text.size());
    std::string_view line = std::string_view(text).substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string_view content = line;
    if (lineNumber == 1) removeByteOrderMark(content);
    ++tally_.read;
    if (isPassThrough(content)) {
      writeText(std::string(line) + kLineEnd, {}, false);
    } else {
      const HeaderOutcome outcome = header(line, lineNumber);
      writeText(outcome.output, outcome.diagnostics, outcome.failed);
      if (outcome.failed) ++tally_.unreadable;
      context = outcome.context;
      headerPending = false;
    }
    ++lineNumber;
    at = end + 1;
  }
  at = std::min(at, text.size());
  bytesWritten_ += at;
  text.erase(0, at);
  return at;
}

std::unique_ptr<BlockPipeline::Job> BlockPipeline::takeJob() {
  if (spare_.empty()) return std::make_unique<Job>();
  std::unique_ptr<Job> job = std::move(spare_.back());
  spare_.pop_back();
  job->done = false;
  job->failure = nullptr;
  return job;
}

void BlockPipeline::submit(std::unique_ptr<Job> job) {
  if (threads_ <= 1 || (inFlight_.empty() && job->block.text.size() < kSmallBlockBytes)) {
    converter_.convert(job->block, job->result);
    write(*job);
    spare_.push_back(std::move(job));
    return;
  }
  if (workers_.empty()) startWorkers();
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(job.get());
    inFlight_.push_back(std::move(job));
  }
  workAvailable_.notify_one();
  const std::size_t limit = std::min(kBlocksPerWorker * threads_, kMostBlocksInFlight);
  std::unique_lock lock(mutex_);
  while (!inFlight_.empty() && (inFlight_.front()->done || inFlight_.size() >= limit)) {
    writeOldest(lock);
  }
}

void BlockPipeline::drain() {
  std::unique_lock lock(mutex_);
  while (!inFlight_.empty()) {
    writeOldest(lock);
  }
}

// Waits for the oldest block in flight and writes it, so that output keeps the input's order.
void BlockPipeline::writeOldest(std::unique_lock<std::mutex>& lock) {
  jobDone_.wait(lock, [this] { return inFlight_.front()->done; });
  std::unique_ptr<Job> finished = std::move(inFlight_.front());
  inFlight_.pop_front();
  lock.unlock();
  write(*finished);
  lock.lock();
  spare_.push_back(std::move(finished));
}

// Runs on the calling thread only: every message goes to standard error from here, in input
// order (the workers write nothing).
void BlockPipeline::write(Job& job) {
  if (job.failure) std::rethrow_exception(job.failure);
  if (job.result.farFromForcedZone && !warnedFarZone_) {
    warnedFarZone_ = true;
    writeText({}, converter_.farForcedZoneWarning(), false);
  }
  writeText(job.result.output, job.result.diagnostics, job.result.hadErrors);
  tally_ += job.result.tally;
  bytesWritten_ += job.block.text.size();
  progress_.advance(bytesWritten_, job.result.points);
}

void BlockPipeline::writeText(std::string_view output, std::string_view diagnostics, bool failed) {
  output_.write(output.data(), static_cast<std::streamsize>(output.size()));
  if (!diagnostics.empty()) {
    progress_.clear();
    const auto lock = lockStandardError();
    diagnostics_.write(diagnostics.data(), static_cast<std::streamsize>(diagnostics.size()));
  }
  hadDataErrors_ = hadDataErrors_ || failed;
}

void BlockPipeline::reportUnreadable(std::string_view inputName, std::string_view reason) {
  hadDataErrors_ = true;
  progress_.clear();
  const auto lock = lockStandardError();
  diagnostics_ << "nuvex: " << inputName << ": " << reason << '\n';
}

void BlockPipeline::writeSummary() {
  const std::optional<std::string> line = summaryLine(tally_);
  if (!line) return;
  progress_.clear();
  const auto lock = lockStandardError();
  diagnostics_ << *line;
}

void BlockPipeline::startWorkers() {
  for (unsigned i = 0; i < threads_; ++i) workers_.emplace_back([this] { work(); });
}

void BlockPipeline::work() {
  std::unique_lock lock(mutex_);
  while (true) {
    workAvailable_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;
    Job* job = queue_.front();
    queue_.pop_front();
    lock.unlock();
    try {
      converter_.convert(job->block, job->result);
    } catch (...) {
      job->failure = std::current_exception();
    }
    lock.lock();
    job->done = true;
    jobDone_.notify_all();
  }
}

}  // namespace nuvex::cli
