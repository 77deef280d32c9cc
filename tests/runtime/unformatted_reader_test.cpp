// Unformatted record reading: gfortran-written files, the item walk
// (tests/data/binary_unformatted_walk.txt), record buffer growth and shrinking, continuations,
// and hostile input (false length words, truncation, pipes).
#include "runtime/unformatted_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "nuvex/runtime/binary.h"
#include "support/case_file.h"
#include "support/recording_host.h"
#include "support/scratch_directory.h"

namespace {

using nuvex::runtime::unformattedBufferSize;

constexpr const char* kGfortranRecords = NUVEX_TEST_DATA_DIR "/unformatted/records.bin";
constexpr const char* kNoPriorRead = "ERROR: fscanunf() read continuation without prior read\n";

// The bytes of a value as the host stores it: little-endian, as the record files are.
template <typename T>
std::string bytesOf(T value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}
std::string lengthWord(uint32_t length) {
  return bytesOf(length);
}
std::string framed(const std::string& data) {
  return lengthWord(static_cast<uint32_t>(data.size())) + data +
         lengthWord(static_cast<uint32_t>(data.size()));
}

class UnformattedReader : public ::testing::Test {
 protected:
  void SetUp() override { nuvex::runtime::resetUnformattedReader(); }
  void TearDown() override {
    for (FILE* file : open_) std::fclose(file);
    nuvex::runtime::resetUnformattedReader();
  }
  FILE* track(FILE* file) {
    EXPECT_NE(file, nullptr);
    if (file != nullptr) open_.push_back(file);
    return file;
  }
  FILE* fileWith(const std::string& contents) {
    const std::string name = "records" + std::to_string(open_.size()) + ".bin";
    std::ofstream(name, std::ios::binary) << contents;
    return track(std::fopen(name.c_str(), "rb"));
  }
  // A stream that cannot tell its size. The contents must fit the pipe's buffer.
  FILE* pipeWith(const std::string& contents) {
    int ends[2];
    EXPECT_EQ(pipe(ends), 0);
    EXPECT_EQ(write(ends[1], contents.data(), contents.size()),
              static_cast<ssize_t>(contents.size()));
    close(ends[1]);
    return track(fdopen(ends[0], "rb"));
  }

  nuvex::testing::ScratchDirectory scratch_;
  std::vector<FILE*> open_;
};

TEST_F(UnformattedReader, ReadsAndSkipsEveryRecordOfAGfortranFile) {
  FILE* file = track(std::fopen(kGfortranRecords, "rb"));
  int i = 0, j = 0, lengths[3] = {}, small[25] = {};
  int16_t h = 0;
  float f = 0, zs[2] = {};
  double d = 0, zd[2] = {};
  char first[8] = {}, second[8] = {};
  EXPECT_EQ(fscanunf(file, "%d%lf", &i, &d), 2);
  lengths[0] = lenunf();
  std::ostringstream seen;
  seen << i << ' ' << d << ' ' << fscanunf(file, "%s %s", first, second) << first << second;
  seen << ' ' << fscanunf(file, "%hd%d%f", &h, &i, &f) << ' ' << h << ' ' << i << ' ' << f;
  seen << ' ' << fscanunf(file, "%d", &i) << ' ' << lenunf();  // the empty record
  seen << ' ' << fscanunf(file, "%z%lz", zs, zd) << ' ' << zs[0] << zs[1] << zd[0] << zd[1];
  seen << ' ' << fscanunf(file, "%d%d", &i, &j) << ' ' << i << j << ' ' << unformattedBufferSize();
  seen << ' ' << fscanunf(file, "%A", sizeof small, small) << ' ' << unformattedBufferSize();
  seen << ' ' << small[0] << small[24] << ' ' << fscanunf(file, "R%d", &i) << ' ' << i;
  seen << ' ' << fscanunf(file, "%d", &i);  // end of file
  EXPECT_EQ(lengths[0], 12);
  EXPECT_EQ(seen.str(), "7 2.5 2abcd 3 -2 100000 1.5 0 0 2 1-234 2 36 10004 1 4096 -1-25 1 42 0");

  std::rewind(file);
  for (int expected : {12, 6, 10, 0, 24, 10000, 100, 5}) {
    EXPECT_EQ(fskipunf(file), 0);
    EXPECT_EQ(lenunf(), expected);
  }
  EXPECT_EQ(fskipunf(file), -1);  // end of file
  EXPECT_EQ(fskipunf(nullptr), -1);
}

TEST_F(UnformattedReader, ATruncatedGfortranFileGivesNoItemsForTheCutRecord) {
  std::ifstream in(kGfortranRecords, std::ios::binary);
  FILE* file = fileWith(std::string(std::istreambuf_iterator<char>(in), {}).substr(0, 150));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(fskipunf(file), 0);
  int value = -1;
  EXPECT_EQ(fscanunf(file, "%d", &value), 0);  // record 6 is cut
  EXPECT_EQ(value, -1);
  EXPECT_EQ(unformattedBufferSize(), 4096u);  // nothing allocated for bytes that are not there
  EXPECT_EQ(fscanunf(file, "%+%d", &value), 0);
  std::rewind(file);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(fskipunf(file), 0);
  EXPECT_EQ(fskipunf(file), -1);  // the cut record cannot be skipped either
  EXPECT_EQ(lenunf(), 10000);
}

TEST_F(UnformattedReader, TheWalkStopsAtTheFirstItemThatCannotBeTaken) {
  char storage[4][64];
  for (const auto& c : nuvex::testing::readCases("binary_unformatted_walk.txt")) {
    std::string record, hex = c.fields.at(0), control = c.fields.at(1).substr(1);
    std::erase(hex, ' ');
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
      record += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    control.pop_back();
    for (std::size_t tab; (tab = control.find("\\t")) != std::string::npos;) {
      control.replace(tab, 2, "\t");
    }
    EXPECT_EQ(fscanunf(fileWith(framed(record)), control.c_str(), storage[0], storage[1],
                       storage[2], storage[3]),
              c.integer(2))
        << c.where();
  }
}

// A record cut off at the end of the file is refused however short it is: what the buffer still
// holds of the record before is not handed out for it.
TEST_F(UnformattedReader, ARecordCutOffAtTheEndIsRefusedEvenWhenShort) {
  for (const auto& [length, tail] : {std::pair{4u, "ab"}, {2u, "a"}, {4u, ""}}) {
    FILE* file = fileWith(framed(bytesOf(7) + bytesOf(8)) + lengthWord(length) + tail);
    int first = 0, value = -1;
    EXPECT_EQ(fscanunf(file, "%d", &first), 1);
    EXPECT_EQ(fscanunf(file, length == 4 ? "%d" : "%hd", &value), 0) << length << tail;
    EXPECT_EQ(value, -1);
  }
}

// A run of items longer than the record stops the walk: what fits is stored, and nothing of the
// rest goes to the narrower item after the run (or counts for a "%+" after it).
TEST_F(UnformattedReader, ARunLongerThanTheRecordStoresWhatFitsAndStops) {
  FILE* file =
      fileWith(framed(bytesOf(7) + bytesOf(int16_t{9})) + framed(bytesOf(7) + bytesOf(int16_t{9})));
  int a = -1, b = -1;
  int16_t c = -1;
  EXPECT_EQ(fscanunf(file, "%d%d%hd", &a, &b, &c), 1);
  EXPECT_EQ(std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c), "7 -1 -1");
  EXPECT_EQ(fscanunf(file, "%d%d%+", &a, &b), 1);
  EXPECT_EQ(fscanunf(file, "%+%hd", &c), 1);  // the walk stopped after the first item
  EXPECT_EQ(c, 9);
}

TEST_F(UnformattedReader, ByteBlocksNeedTheirWholeCount) {
  FILE* file = fileWith(framed("abcd") + framed("abcd") + framed(""));
  char block[8] = {};
  EXPECT_EQ(fscanunf(file, "%A", std::size_t{5}, block), 0);
  EXPECT_EQ(block[0], '\0');
  EXPECT_EQ(fscanunf(file, "%A%&", std::size_t{3}, block, std::size_t{1}, block + 3), 2);
  EXPECT_STREQ(block, "abcd");
  EXPECT_EQ(fscanunf(file, "%&", std::size_t{0}, block), 1);  // a count of 0 takes nothing
}

TEST_F(UnformattedReader, ContinuationsTakeTheRestOfTheRecordReadBeforeOnTheSameStream) {
  FILE* file = fileWith(framed(bytesOf(1) + bytesOf(2) + bytesOf(3)) + framed(bytesOf(4)));
  FILE* other = fileWith(framed(bytesOf(5)));
  int a = 0, b = 0;
  testing::internal::CaptureStderr();
  EXPECT_EQ(fscanunf(file, "%+%d", &a), -2);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kNoPriorRead);
  EXPECT_EQ(fscanunf(file, "%d", &a), 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(fscanunf(other, "%+%d", &a), -2);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kNoPriorRead);
  EXPECT_EQ(fscanunf(file, "  %+%d", &a), 1);  // the refused call changed nothing
  EXPECT_EQ(a, 2);
  EXPECT_EQ(fscanunf(file, "%+%d%d", &a, &b), 1);
  EXPECT_EQ(a, 3);
  EXPECT_EQ(fscanunf(file, "%+%d", &a), 0);  // used up
  EXPECT_EQ(fscanunf(file, "%d", &a), 1);    // the next record
  EXPECT_EQ(a, 4);
  EXPECT_EQ(fscanunf(nullptr, "%d", &a), -2);
}

TEST_F(UnformattedReader, TheBufferGrowsForALargeRecordAndShrinksAfterASmallOne) {
  FILE* file = fileWith(framed(std::string(10000, 'x')) + framed(std::string(100, 'y')) +
                        framed(std::string(5000, 'z')) + framed(std::string(4092, 'w')));
  char c = 0;
  for (std::size_t expected : {10004u, 4096u, 5004u, 5004u}) {  // 4096 bytes fit 5004: it stays
    EXPECT_EQ(fscanunf(file, "%c", &c), 1);
    EXPECT_EQ(unformattedBufferSize(), expected);
  }
  EXPECT_EQ(c, 'w');
}

// Regression: a read that failed after the buffer had moved left the record pointing into the
// freed block, and a continuation read from it.
TEST_F(UnformattedReader, AFailedReadAfterGrowthOrShrinkLeavesAnEmptyRecord) {
  for (uint32_t cutLength : {5000u, 50u}) {  // needs no resize / needs the shrink to 4096
    nuvex::runtime::resetUnformattedReader();
    FILE* file = fileWith(framed(std::string(10000, 'x')) + lengthWord(cutLength) + "qqqqqqqqqq");
    int value = 0;
    EXPECT_EQ(fscanunf(file, "%d", &value), 1);
    EXPECT_EQ(fscanunf(file, "%d", &value), 0);
    EXPECT_EQ(fscanunf(file, "%+%d", &value), 0);
    EXPECT_EQ(fscanunf(file, "%+%c", &value), 0);
  }
}

TEST_F(UnformattedReader, FalseLengthWordsAllocateNothing) {
  int value = 0;
  for (uint32_t length : {0xFFFFFFFFu, 0xFFFFFFFCu, 0x80000000u, 20000u}) {
    FILE* file = fileWith(lengthWord(length) + std::string(8, 'q'));
    EXPECT_EQ(fscanunf(file, "%d", &value), 0) << length;
    EXPECT_EQ(unformattedBufferSize(), 4096u) << length;
    EXPECT_EQ(lenunf(), static_cast<int32_t>(length));
    EXPECT_EQ(fscanunf(file, "%d", &value), 0);  // at the end now
  }
  EXPECT_EQ(fscanunf(pipeWith(lengthWord(0x7FFFFFFF) + std::string(100, 'q')), "%d", &value), 0);
  EXPECT_EQ(unformattedBufferSize(), 4096u);  // a stream without a size grows only with its data
  FILE* real = pipeWith(framed(std::string(20000, 'p') + bytesOf(77)) + framed(bytesOf(5)));
  char head = 0;
  EXPECT_EQ(fscanunf(real, "%c", &head), 1);
  EXPECT_EQ(unformattedBufferSize(), 20008u);
  EXPECT_EQ(fscanunf(real, "%+%A%d", std::size_t{19999}, nullptr, &value), 2);
  EXPECT_EQ(value, 77);
}

// The items of a control string too long to name in a call: one pointer each, in order.
struct PointerList final : nuvex::runtime::ItemArguments {
  std::vector<void*> pointers;
  std::size_t next = 0;
  void* nextPointer() override { return pointers.at(next++); }
  std::size_t nextCount() override { return 0; }
};

// The reader keeps the last control string it decoded: a caller's buffer that now holds another
// string must be decoded anew, and strings too long to keep are still walked whole.
TEST_F(UnformattedReader, ControlStringsAreKeptByContentAndLongOnesWalkedWhole) {
  FILE* file = fileWith(framed(bytesOf(1) + bytesOf(2)) + framed(bytesOf(int16_t{3}) + "de") +
                        framed(bytesOf(5) + bytesOf(6)));
  char control[8] = "%d%d";
  int numbers[2] = {};
  EXPECT_EQ(fscanunf(file, control, &numbers[0], &numbers[1]), 2);
  std::snprintf(control, sizeof control, "%%hd%%c");
  int16_t number = 0;
  char letter = 0;
  EXPECT_EQ(fscanunf(file, control, &number, &letter), 2);
  EXPECT_EQ(std::to_string(number) + letter, "3d");
  const std::string padded = "%d" + std::string(1000, ' ') + "%d";  // longer than what is kept
  EXPECT_EQ(fscanunf(file, padded.c_str(), &numbers[0], &numbers[1]), 2);
  EXPECT_EQ(numbers[1], 6);

  std::string control_text, record;
  PointerList items;
  std::vector<char> letters(50);
  std::vector<int16_t> shorts(50);
  for (int k = 0; k < 50; ++k) {  // items of alternating widths: a hundred steps
    control_text += "%c%hd";
    record += static_cast<char>('a' + k % 26) + bytesOf(static_cast<int16_t>(k));
    items.pointers.insert(items.pointers.end(), {&letters[k], &shorts[k]});
  }
  control_text += "%d";
  int last = 0;
  items.pointers.push_back(&last);
  FILE* records = fileWith(framed(record + bytesOf(77)) + framed(record));
  EXPECT_EQ(nuvex::runtime::scanUnformatted(records, control_text.c_str(), items), 101);
  EXPECT_EQ(std::string(1, letters[49]) + std::to_string(shorts[49]) + std::to_string(last),
            "x4977");
  items.next = 0;
  EXPECT_EQ(nuvex::runtime::scanUnformatted(records, control_text.c_str(), items), 100);
}

TEST_F(UnformattedReader, LongDoublesAreRefusedAndTheLaterItemsKeepTheirArguments) {
  nuvex::testing::RecordingHost host;
  FILE* file = fileWith(framed(bytesOf(9)));
  long double wide = 0;
  int value = 0;
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  EXPECT_EQ(fscanunf(file, "%Lf%d", &wide, &value), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "fscanunf() compiled withOUT long double support\n");
  EXPECT_EQ(value, 9);
  ASSERT_EQ(host.seen().failures.size(), 1u);
  const auto& failure = host.seen().failures[0];
  EXPECT_EQ(failure.text + "|" + std::to_string(failure.code) + "|" + failure.file + ":" +
                std::to_string(failure.line),
            "PELORA-Calculation Failed (exit Called)!|1|calc/VOKS/FSCANUNF:193");
}

}  // namespace
