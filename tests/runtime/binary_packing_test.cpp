// Binary record packing: exact record bytes, unpacking with literal checks, round trips through
// block transfers, and the long double refusals.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "nuvex/runtime/binary.h"
#include "support/recording_host.h"
#include "support/scratch_directory.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes bytesOf(const char* buffer, int64_t count) {
  return Bytes(buffer, buffer + count);
}
template <typename... Args>
Bytes packed(const char* control, Args... args) {
  char buffer[64];
  return bytesOf(buffer, sprtunf(buffer, control, args...));
}

TEST(Sprtunf, PacksItemsInOrderWithoutAlignment) {
  const Bytes expected{1, 0, 0, 0, 2, 0, 'a', 'b', 0};
  EXPECT_EQ(packed("%d%hd%s", 1, 2, "ab"), expected);
  EXPECT_EQ(packed(" %d \t%hd  %s\t", 1, 2, "ab"), expected);     // blanks and tabs take nothing
  EXPECT_EQ(packed("%f", 1.5), (Bytes{0x00, 0x00, 0xC0, 0x3F}));  // a float unless long
  const double wide = 1.5;
  EXPECT_EQ(packed("%lf", wide), bytesOf(reinterpret_cast<const char*>(&wide), sizeof wide));
  // literals and unknown conversions are bytes
  EXPECT_EQ(packed("R%d", 7), (Bytes{'R', 7, 0, 0, 0}));
  EXPECT_EQ(packed("%x%%%ly"), (Bytes{'x', '%', 'y'}));
  EXPECT_EQ(packed("%c%ld%", 0x141, -1), (Bytes{0x41, 255, 255, 255, 255}));
  EXPECT_EQ(packed("ab%l"), (Bytes{'a', 'b'}));
  EXPECT_EQ(packed(""), Bytes{});
  char buffer[8];
  EXPECT_EQ(sprtunf(buffer, nullptr), 0);
  EXPECT_EQ(sprtunf(nullptr, "%d", 1), 0);
  std::memset(buffer, '#', sizeof buffer);  // byte blocks copy exactly their count
  EXPECT_EQ(sprtunf(buffer, "%A", std::size_t{3}, "xyzw"), 3);
  EXPECT_EQ(std::string(buffer, 4), "xyz#");
  EXPECT_EQ(sprtunf(buffer, "%&%A", std::size_t{0}, "q", std::size_t{1}, "r"), 1);
  EXPECT_EQ(std::string(buffer, 2), "ry");
}

TEST(Sscanunf, TakesLiteralsStringsAndBlocks) {
  const char mismatch[] = {'S', 7, 0, 0, 0}, matching[] = {'R', 7, 0, 0, 0};
  int value = -1;
  EXPECT_EQ(sscanunf(mismatch, "R%d", &value), 1);  // one byte consumed, nothing stored
  EXPECT_EQ(value, -1);
  EXPECT_EQ(sscanunf(matching, "R%d", &value), 5);
  EXPECT_EQ(value, 7);
  const char record[] = {'a', 'b', 0, 'c', 0, 'x', 'y', 'z', 'w'};
  char first[8] = "#######", second[8] = "#######", block[5] = "####";
  EXPECT_EQ(
      sscanunf(record, "%s%s%A%&", first, second, std::size_t{3}, block, std::size_t{0}, block + 3),
      8);
  EXPECT_EQ(std::string(first, 4), std::string("ab\0#", 4));
  EXPECT_EQ(std::string(second), "c");
  EXPECT_EQ(std::string(block), "xyz#");
  EXPECT_EQ(sscanunf(record, " \t "), 0);
  EXPECT_EQ(sscanunf(nullptr, "%d", &first), 0);
}

// A scratch file open for update, closed and removed with the test.
struct ScratchFile {
  nuvex::testing::ScratchDirectory directory;
  FILE* file = std::fopen("blocks.bin", "w+b");
  ~ScratchFile() { std::fclose(file); }
};

TEST(BinaryRecords, RoundTripThroughBlockTransfers) {
  ScratchFile scratch;
  const float complexSingle[2] = {1.0f, -2.0f};
  const double complexDouble[2] = {3.25, -4.5};
  char record[64];
  const int64_t size = sprtunf(record, "T %c%d%hd%ld%f%lf%z%lz%s%A", 'q', -123456, -2, 99, 0.75,
                               -1e300, complexSingle, complexDouble, "txt", std::size_t{2}, "ok");
  ASSERT_EQ(size, 1 + 1 + 4 + 2 + 4 + 4 + 8 + 8 + 16 + 4 + 2);
  ASSERT_EQ(f_putblock(scratch.file, 100, static_cast<size_t>(size), record), 0);
  EXPECT_EQ(f_putcount(), size);
  EXPECT_EQ(bytesOf(record, size), Bytes(size, 0));  // cleared for the next record

  char back[64], c = 0, text[8] = {}, block[3] = {};
  ASSERT_EQ(f_getblock(scratch.file, 100, static_cast<size_t>(size), back), 0);
  EXPECT_EQ(f_getcount(), size);
  int i = 0, l = 0;
  int16_t h = 0;
  float f = 0, zs[2] = {};
  double d = 0, zd[2] = {};
  EXPECT_EQ(sscanunf(back, "T%c%d%hd%ld%f%lf%z%lz%s%A", &c, &i, &h, &l, &f, &d, zs, zd, text,
                     std::size_t{2}, block),
            size);
  EXPECT_EQ(std::to_string(c) + " " + std::to_string(i) + " " + std::to_string(h) + " " +
                std::to_string(l) + " " + text + " " + std::string(block, 2),
            "113 -123456 -2 99 txt ok");
  EXPECT_EQ((std::vector<double>{f, d, zs[0], zs[1], zd[0], zd[1]}),
            (std::vector<double>{0.75, -1e300, 1.0, -2.0, 3.25, -4.5}));
}

// f_getblock's result and count, then the 8 bytes of a buffer that starts as "########".
std::string getBlock(FILE* file, int offset, size_t count) {
  char back[8];
  std::memset(back, '#', sizeof back);
  const int result = f_getblock(file, offset, count, back);
  return std::to_string(result) + " " + std::to_string(f_getcount()) + " " + std::string(back, 8);
}

TEST(BlockTransfers, NegativeOffsetsUseTheCurrentPositionAndTheEndReadsShort) {
  ScratchFile scratch;
  char block[4] = {'a', 'b', 'c', 'd'};
  ASSERT_EQ(f_putblock(scratch.file, 0, 2, block), 0);
  EXPECT_EQ(std::string(block, 4), std::string("\0\0cd", 4));
  block[0] = 'e';
  ASSERT_EQ(f_putblock(scratch.file, -1, 4, block), 0);  // right after the first block
  EXPECT_EQ(f_putcount(), 4);
  EXPECT_EQ(getBlock(scratch.file, 0, 6), std::string("0 6 abe\0cd##", 12));
  EXPECT_EQ(getBlock(scratch.file, -1, 8),
            std::string("-2 0 ") + std::string(8, '\0'));  // at the end
  EXPECT_EQ(getBlock(scratch.file, 4, 8), std::string("-2 2 cd\0\0\0\0\0\0", 13));
}

TEST(BlockTransfers, FailuresLeaveTheBufferAndReportTheirKind) {
  ScratchFile scratch;
  FILE* readOnly = std::fopen("blocks.bin", "rb");
  char block[3] = {'x', 'y', 'z'};
  EXPECT_EQ(f_putblock(readOnly, 0, 3, block), -2);
  EXPECT_EQ(f_putcount(), 0);
  EXPECT_EQ(std::string(block, 3), "xyz");  // a failed write leaves the record as it was
  std::fclose(readOnly);
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  FILE* pipeEnd = fdopen(ends[1], "wb");
  EXPECT_EQ(f_putblock(pipeEnd, 0, 3, block), -1);  // a pipe cannot be positioned
  EXPECT_EQ(f_getblock(pipeEnd, 0, 3, block), -1);
  EXPECT_EQ(f_getcount(), 0);
  std::fclose(pipeEnd);
  close(ends[0]);
  EXPECT_EQ(f_putblock(nullptr, 0, 3, block), -1);
  EXPECT_EQ(f_getblock(nullptr, -1, 3, block), -1);
}

// Runs `action` under a recording host; expects the refusal's text on standard output and one
// failure report naming the refusing routine's file and line.
template <typename Action>
void expectRefusal(Action action, const char* output, const char* file, int line) {
  nuvex::testing::RecordingHost host;
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  action();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), output);
  ASSERT_EQ(host.seen().failures.size(), 1u);
  const auto& failure = host.seen().failures[0];
  EXPECT_EQ(failure.reserved, nullptr);
  EXPECT_EQ(failure.text + "|" + std::to_string(failure.code) + "|" + failure.file + ":" +
                std::to_string(failure.line),
            "PELORA-Calculation Failed (exit Called)!|1|" + std::string(file) + ":" +
                std::to_string(line));
}

TEST(LongDoubles, AreRefusedAndTheLaterItemsKeepTheirArguments) {
  char buffer[16];
  int64_t written = 0;
  expectRefusal([&] { written = sprtunf(buffer, "%Lf%d", 1.0L, 5); },
                "sprtunf() compiled withOUT long double support\n", "calc/VOKS/SPRTUNF", 194);
  EXPECT_EQ(bytesOf(buffer, written), (Bytes{5, 0, 0, 0}));
  const char record[] = {9, 0, 0, 0};
  long double wide = 0;
  int value = 0;
  int64_t consumed = 0;
  expectRefusal([&] { consumed = sscanunf(record, "%Lf%d", &wide, &value); },
                "sscanunf() compiled withOUT long double support\n", "calc/VOKS/SSCANUNF", 197);
  EXPECT_EQ(consumed, 4);
  EXPECT_EQ(value, 9);
  EXPECT_EQ(wide, 0.0L);
}

TEST(LongDoubles, AHostThatEndsTheCalculationStopsThePacking) {
  nuvex::testing::RecordingHost host(/*throwOnFailure=*/true);
  char buffer[16];
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  EXPECT_THROW(sprtunf(buffer, "%Lf", 1.0L), nuvex::testing::HostFailure);
  testing::internal::GetCapturedStdout();
}

}  // namespace
