// Unformatted record reading: gfortran-written files, record buffer growth and shrinking,
// continuations, and hostile input (false length words, truncation, pipes).
#include "runtime/unformatted_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "nuvex/runtime/binary.h"
#include "support/recording_host.h"
#include "support/scratch_directory.h"

namespace {

using nuvex::runtime::unformattedBufferSize;

constexpr const char* kGfortranRecords = NUVEX_TEST_DATA_DIR "/unformatted/records.bin";

std::string lengthWord(uint32_t length) {
  std::string word(4, '\0');
  for (int i = 0; i < 4; ++i) word[i] = static_cast<char>((length >> (8 * i)) & 0xFF);
  return word;
}

std::string framed(const std::string& data) {
  const auto length = static_cast<uint32_t>(data.size());
  return lengthWord(length) + data + lengthWord(length);
}

template <typename T>
std::string bytesOf(T value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

std::string fileContents(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
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

  FILE* gfortranRecords() { return track(std::fopen(kGfortranRecords, "rb")); }

  nuvex::testing::ScratchDirectory scratch_;
  std::vector<FILE*> open_;
};

// ---- Files written by gfortran --------------------------------------------------------------

TEST_F(UnformattedReader, ReadsEveryRecordOfAGfortranFile) {
  FILE* file = gfortranRecords();
  int i = 0;
  double d = 0;
  EXPECT_EQ(fscanunf(file, "%d%lf", &i, &d), 2);
  EXPECT_EQ(i, 7);
  EXPECT_EQ(d, 2.5);
  EXPECT_EQ(lenunf(), 12);

  char first[8] = {}, second[8] = {};
  EXPECT_EQ(fscanunf(file, "%s %s", first, second), 2);
  EXPECT_STREQ(first, "ab");
  EXPECT_STREQ(second, "cd");

  int16_t h = 0;
  float f = 0;
  EXPECT_EQ(fscanunf(file, "%hd%d%f", &h, &i, &f), 3);
  EXPECT_EQ(h, -2);
  EXPECT_EQ(i, 100000);
  EXPECT_EQ(f, 1.5f);

  EXPECT_EQ(fscanunf(file, "%d", &i), 0);  // the empty record
  EXPECT_EQ(lenunf(), 0);

  float zs[2] = {};
  double zd[2] = {};
  EXPECT_EQ(fscanunf(file, "%z%lz", zs, zd), 2);
  EXPECT_EQ(zs[0], 1.0f);
  EXPECT_EQ(zs[1], -2.0f);
  EXPECT_EQ(zd[0], 3.0);
  EXPECT_EQ(zd[1], 4.0);

  int j = 0;
  EXPECT_EQ(fscanunf(file, "%d%d", &i, &j), 2);
  EXPECT_EQ(i, 3);
  EXPECT_EQ(j, 6);
  EXPECT_EQ(unformattedBufferSize(), 10004u);

  int small[25] = {};
  EXPECT_EQ(fscanunf(file, "%A", sizeof small, small), 1);
  EXPECT_EQ(unformattedBufferSize(), 4096u);
  EXPECT_EQ(small[0], -1);
  EXPECT_EQ(small[24], -25);

  EXPECT_EQ(fscanunf(file, "R%d", &i), 1);
  EXPECT_EQ(i, 42);
  EXPECT_EQ(fscanunf(file, "%d", &i), 0);  // end of file
}

TEST_F(UnformattedReader, SkipsRecordsOfAGfortranFile) {
  FILE* file = gfortranRecords();
  for (int expected : {12, 6, 10, 0, 24}) {
    EXPECT_EQ(fskipunf(file), 0);
    EXPECT_EQ(lenunf(), expected);
  }
  int values[3] = {};
  EXPECT_EQ(fscanunf(file, "%d%d%d", values, values + 1, values + 2), 3);
  EXPECT_EQ(values[2], 9);
  EXPECT_EQ(fskipunf(file), 0);
  EXPECT_EQ(fskipunf(file), 0);
  EXPECT_EQ(lenunf(), 5);
  EXPECT_EQ(fskipunf(file), -1);  // end of file
  EXPECT_EQ(fskipunf(nullptr), -1);
}

TEST_F(UnformattedReader, ATruncatedGfortranFileGivesNoItemsForTheCutRecord) {
  FILE* file = fileWith(fileContents(kGfortranRecords).substr(0, 150));  // inside record 6
  for (int i = 0; i < 5; ++i) EXPECT_EQ(fskipunf(file), 0);
  int value = -1;
  EXPECT_EQ(fscanunf(file, "%d", &value), 0);
  EXPECT_EQ(value, -1);
  EXPECT_EQ(unformattedBufferSize(), 4096u);  // nothing allocated for bytes that are not there
  EXPECT_EQ(fscanunf(file, "%+%d", &value), 0);
  EXPECT_EQ(fscanunf(file, "%d", &value), 0);

  std::rewind(file);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(fskipunf(file), 0);
  EXPECT_EQ(fskipunf(file), -1);  // the cut record cannot be skipped either
  EXPECT_EQ(lenunf(), 10000);
  EXPECT_EQ(fskipunf(file), -1);
}

// ---- The item walk ----------------------------------------------------------------------------

TEST_F(UnformattedReader, TheWalkStopsAtTheFirstItemThatCannotBeTaken) {
  struct Case {
    std::string record;
    const char* control;
    int items;
  };
  const Case cases[] = {
      {bytesOf(1) + bytesOf(2.0), "%d%lf", 2},
      {bytesOf(1) + bytesOf(2.0), "%d%lf%d", 2},  // no bytes left for the third
      {"R" + bytesOf(42), "R%d", 1},
      {"S" + bytesOf(42), "R%d", 0},
      {"ab", "%s", 0},  // no NUL: not a string
      {bytesOf(1) + "\x01\x02", "%d%d", 1},
      {bytesOf(1), "%d%+", 2},
      {bytesOf(1), "%d%", 1},
      {bytesOf(1), "%d%l", 1},
      {"xy", "%x%c", 1},
      {"ab", "a%cq", 1},
      {"ab", " a \t b ", 0},
      {"ab", "", 0},
  };
  char storage[4][64];
  for (const Case& c : cases) {
    FILE* file = fileWith(framed(c.record));
    EXPECT_EQ(fscanunf(file, c.control, storage[0], storage[1], storage[2], storage[3]), c.items)
        << c.control;
  }
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

// ---- Continuations ----------------------------------------------------------------------------

TEST_F(UnformattedReader, ContinuationsTakeTheRestOfTheRecord) {
  FILE* file = fileWith(framed(bytesOf(1) + bytesOf(2) + bytesOf(3)) + framed(bytesOf(4)));
  int a = 0, b = 0;
  EXPECT_EQ(fscanunf(file, "%d", &a), 1);
  EXPECT_EQ(fscanunf(file, "  %+%d", &a), 1);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(fscanunf(file, "%+%d%d", &a, &b), 1);
  EXPECT_EQ(a, 3);
  EXPECT_EQ(fscanunf(file, "%+%d", &a), 0);  // used up
  EXPECT_EQ(fscanunf(file, "%+", &a), 0);
  EXPECT_EQ(fscanunf(file, "%d", &a), 1);  // the next record
  EXPECT_EQ(a, 4);
}

TEST_F(UnformattedReader, AContinuationNeedsAPriorReadOnTheSameStream) {
  FILE* first = fileWith(framed(bytesOf(1) + bytesOf(2)));
  FILE* second = fileWith(framed(bytesOf(5)));
  int value = 0;
  testing::internal::CaptureStderr();
  EXPECT_EQ(fscanunf(first, "%+%d", &value), -2);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "ERROR: fscanunf() read continuation without prior read\n");
  EXPECT_EQ(fscanunf(first, "%d", &value), 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(fscanunf(second, "%+%d", &value), -2);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "ERROR: fscanunf() read continuation without prior read\n");
  EXPECT_EQ(fscanunf(first, "%+%d", &value), 1);  // the refused call changed nothing
  EXPECT_EQ(value, 2);
  EXPECT_EQ(fscanunf(nullptr, "%d", &value), -2);
}

// ---- The record buffer ------------------------------------------------------------------------

TEST_F(UnformattedReader, TheBufferGrowsForALargeRecordAndShrinksAfterASmallOne) {
  FILE* file = fileWith(framed(std::string(10000, 'x')) + framed(std::string(100, 'y')) +
                        framed(std::string(5000, 'z')) + framed(std::string(4092, 'w')));
  char c = 0;
  EXPECT_EQ(fscanunf(file, "%c", &c), 1);
  EXPECT_EQ(unformattedBufferSize(), 10004u);
  EXPECT_EQ(fscanunf(file, "%c", &c), 1);
  EXPECT_EQ(unformattedBufferSize(), 4096u);
  EXPECT_EQ(fscanunf(file, "%c", &c), 1);
  EXPECT_EQ(unformattedBufferSize(), 5004u);
  EXPECT_EQ(fscanunf(file, "%c", &c), 1);  // 4096 bytes needed: fits, stays
  EXPECT_EQ(unformattedBufferSize(), 5004u);
  EXPECT_EQ(c, 'w');
}

// Regression: a read that failed after the buffer had moved left the record pointing into the
// freed block, and a continuation read from it.
TEST_F(UnformattedReader, AFailedReadAfterGrowthOrShrinkLeavesAnEmptyRecord) {
  const std::string large = framed(std::string(10000, 'x'));
  for (uint32_t cutLength : {5000u, 50u}) {  // needs no resize / needs the shrink to 4096
    nuvex::runtime::resetUnformattedReader();
    FILE* file = fileWith(large + lengthWord(cutLength) + std::string(10, 'q'));
    int value = 0;
    EXPECT_EQ(fscanunf(file, "%d", &value), 1);
    EXPECT_EQ(fscanunf(file, "%d", &value), 0);
    EXPECT_EQ(fscanunf(file, "%+%d", &value), 0);
    EXPECT_EQ(fscanunf(file, "%+%c", &value), 0);
  }
}

TEST_F(UnformattedReader, FalseLengthWordsAllocateNothing) {
  for (uint32_t length : {0xFFFFFFFFu, 0xFFFFFFFCu, 0x80000000u, 20000u}) {
    FILE* file = fileWith(lengthWord(length) + std::string(8, 'q'));
    int value = 0;
    EXPECT_EQ(fscanunf(file, "%d", &value), 0) << length;
    EXPECT_EQ(unformattedBufferSize(), 4096u) << length;
    EXPECT_EQ(lenunf(), static_cast<int32_t>(length));
    EXPECT_EQ(fscanunf(file, "%d", &value), 0);  // at the end now
  }
}

TEST_F(UnformattedReader, StreamsWithoutASizeGrowTheBufferOnlyWithTheirData) {
  int value = 0;
  FILE* bogus = pipeWith(lengthWord(0x7FFFFFFF) + std::string(100, 'q'));
  EXPECT_EQ(fscanunf(bogus, "%d", &value), 0);
  EXPECT_EQ(unformattedBufferSize(), 4096u);

  FILE* real = pipeWith(framed(std::string(20000, 'p') + bytesOf(77)) + framed(bytesOf(5)));
  char head = 0;
  EXPECT_EQ(fscanunf(real, "%c", &head), 1);
  EXPECT_EQ(head, 'p');
  EXPECT_EQ(unformattedBufferSize(), 20008u);
  EXPECT_EQ(fscanunf(real, "%+%A%d", std::size_t{19999}, nullptr, &value), 2);
  EXPECT_EQ(value, 77);
  EXPECT_EQ(fscanunf(real, "%d", &value), 1);
  EXPECT_EQ(value, 5);
}

// ---- Long doubles -------------------------------------------------------------------------------

TEST_F(UnformattedReader, LongDoublesAreRefusedAndTheLaterItemsKeepTheirArguments) {
  nuvex::testing::RecordingHost host;
  FILE* file = fileWith(framed(bytesOf(9)));
  long double wide = 0;
  int value = 0;
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  const int items = fscanunf(file, "%Lf%d", &wide, &value);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "fscanunf() compiled withOUT long double support\n");
  EXPECT_EQ(items, 1);
  EXPECT_EQ(value, 9);
  ASSERT_EQ(host.seen().failures.size(), 1u);
  const auto& failure = host.seen().failures[0];
  EXPECT_EQ(failure.text, "PELORA-Calculation Failed (exit Called)!");
  EXPECT_EQ(failure.code, 1);
  EXPECT_EQ(failure.file, "calc/VOKS/FSCANUNF");
  EXPECT_EQ(failure.line, 193);
}

}  // namespace
