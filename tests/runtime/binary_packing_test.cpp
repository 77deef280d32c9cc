// Binary record packing: exact record bytes, unpacking with literal checks, round trips through
// block transfers, and the long double refusals.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
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

std::string capturedStdout(const std::function<void()>& action) {
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  action();
  return testing::internal::GetCapturedStdout();
}

TEST(Sprtunf, PacksItemsInOrderWithoutAlignment) {
  char buffer[32];
  const int64_t written = sprtunf(buffer, "%d%hd%s", 1, 2, "ab");
  EXPECT_EQ(bytesOf(buffer, written), (Bytes{1, 0, 0, 0, 2, 0, 'a', 'b', 0}));
  char spaced[32];
  EXPECT_EQ(sprtunf(spaced, " %d \t%hd  %s\t", 1, 2, "ab"), 9);
  EXPECT_EQ(std::memcmp(buffer, spaced, 9), 0);
}

TEST(Sprtunf, RealsAreFloatsUnlessLong) {
  char buffer[16];
  EXPECT_EQ(bytesOf(buffer, sprtunf(buffer, "%f", 1.5)), (Bytes{0x00, 0x00, 0xC0, 0x3F}));
  ASSERT_EQ(sprtunf(buffer, "%lf", 1.5), 8);
  double back = 0;
  std::memcpy(&back, buffer, sizeof back);
  EXPECT_EQ(back, 1.5);
}

TEST(Sprtunf, LiteralsAndUnknownConversionsAreBytes) {
  char buffer[16];
  EXPECT_EQ(bytesOf(buffer, sprtunf(buffer, "R%d", 7)), (Bytes{'R', 7, 0, 0, 0}));
  EXPECT_EQ(bytesOf(buffer, sprtunf(buffer, "%x%%%ly")), (Bytes{'x', '%', 'y'}));
  EXPECT_EQ(bytesOf(buffer, sprtunf(buffer, "%c%ld%", 0x141, -1)),
            (Bytes{0x41, 255, 255, 255, 255}));
  EXPECT_EQ(sprtunf(buffer, "ab%l"), 2);
  EXPECT_EQ(sprtunf(buffer, ""), 0);
  EXPECT_EQ(sprtunf(buffer, nullptr), 0);
  EXPECT_EQ(sprtunf(nullptr, "%d", 1), 0);
}

TEST(Sprtunf, ByteBlocksCopyExactlyTheirCount) {
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(sprtunf(buffer, "%A", std::size_t{3}, "xyzw"), 3);
  EXPECT_EQ(std::string(buffer, 4), "xyz#");
  EXPECT_EQ(sprtunf(buffer, "%&%A", std::size_t{0}, "q", std::size_t{1}, "r"), 1);
  EXPECT_EQ(std::string(buffer, 2), "ry");
}

TEST(Sscanunf, LiteralMismatchConsumesOneByteAndStoresNothing) {
  const char record[] = {'S', 7, 0, 0, 0};
  int value = -1;
  EXPECT_EQ(sscanunf(record, "R%d", &value), 1);
  EXPECT_EQ(value, -1);
  const char matching[] = {'R', 7, 0, 0, 0};
  EXPECT_EQ(sscanunf(matching, "R%d", &value), 5);
  EXPECT_EQ(value, 7);
}

TEST(Sscanunf, StringsAndBlocksTakeTheirBytes) {
  const char record[] = {'a', 'b', 0, 'c', 0, 'x', 'y', 'z', 'w'};
  char first[8] = "#######";
  char second[8] = "#######";
  char block[5] = "####";
  EXPECT_EQ(
      sscanunf(record, "%s%s%A%&", first, second, std::size_t{3}, block, std::size_t{0}, block + 3),
      8);
  EXPECT_EQ(std::string(first, 4), std::string("ab\0#", 4));
  EXPECT_EQ(std::string(second), "c");
  EXPECT_EQ(std::string(block), "xyz#");
  EXPECT_EQ(sscanunf(record, " \t "), 0);
  EXPECT_EQ(sscanunf(nullptr, "%d", &first), 0);
}

TEST(BinaryRecords, RoundTripThroughBlockTransfers) {
  nuvex::testing::ScratchDirectory scratch;
  FILE* file = std::fopen("blocks.bin", "w+b");
  ASSERT_NE(file, nullptr);
  const float complexSingle[2] = {1.0f, -2.0f};
  const double complexDouble[2] = {3.25, -4.5};
  char record[64];
  const int64_t size = sprtunf(record, "T %c%d%hd%ld%f%lf%z%lz%s%A", 'q', -123456, -2, 99, 0.75,
                               -1e300, complexSingle, complexDouble, "txt", std::size_t{2}, "ok");
  ASSERT_EQ(size, 1 + 1 + 4 + 2 + 4 + 4 + 8 + 8 + 16 + 4 + 2);
  ASSERT_EQ(f_putblock(file, 100, static_cast<size_t>(size), record), 0);
  EXPECT_EQ(f_putcount(), size);
  EXPECT_EQ(bytesOf(record, size), Bytes(size, 0));  // cleared for the next record

  char back[64];
  ASSERT_EQ(f_getblock(file, 100, static_cast<size_t>(size), back), 0);
  EXPECT_EQ(f_getcount(), size);
  char c = 0;
  int i = 0, l = 0;
  int16_t h = 0;
  float f = 0;
  double d = 0;
  float zs[2] = {};
  double zd[2] = {};
  char text[8] = {};
  char block[3] = {};
  EXPECT_EQ(sscanunf(back, "T%c%d%hd%ld%f%lf%z%lz%s%A", &c, &i, &h, &l, &f, &d, zs, zd, text,
                     std::size_t{2}, block),
            size);
  EXPECT_EQ(c, 'q');
  EXPECT_EQ(i, -123456);
  EXPECT_EQ(h, -2);
  EXPECT_EQ(l, 99);
  EXPECT_EQ(f, 0.75f);
  EXPECT_EQ(d, -1e300);
  EXPECT_EQ(zs[1], -2.0f);
  EXPECT_EQ(zd[0], 3.25);
  EXPECT_EQ(zd[1], -4.5);
  EXPECT_STREQ(text, "txt");
  EXPECT_EQ(std::string(block, 2), "ok");
  std::fclose(file);
}

TEST(BlockTransfers, NegativeOffsetsUseTheCurrentPositionAndTheEndReadsShort) {
  nuvex::testing::ScratchDirectory scratch;
  FILE* file = std::fopen("blocks.bin", "w+b");
  ASSERT_NE(file, nullptr);
  char block[4] = {'a', 'b', 'c', 'd'};
  ASSERT_EQ(f_putblock(file, 0, 2, block), 0);
  EXPECT_EQ(std::string(block, 4), std::string("\0\0cd", 4));
  block[0] = 'e';
  ASSERT_EQ(f_putblock(file, -1, 4, block), 0);  // right after the first block
  EXPECT_EQ(f_putcount(), 4);
  char back[8];
  ASSERT_EQ(f_getblock(file, 0, 6, back), 0);
  EXPECT_EQ(std::string(back, 6), std::string("ab") + std::string("e\0cd", 4));

  std::memset(back, '#', sizeof back);
  EXPECT_EQ(f_getblock(file, -1, 8, back), -2);  // at the end of the file
  EXPECT_EQ(f_getcount(), 0);
  EXPECT_EQ(bytesOf(back, 8), Bytes(8, 0));
  std::memset(back, '#', sizeof back);
  EXPECT_EQ(f_getblock(file, 4, 8, back), -2);  // two bytes left
  EXPECT_EQ(f_getcount(), 2);
  EXPECT_EQ(bytesOf(back, 8), (Bytes{'c', 'd', 0, 0, 0, 0, 0, 0}));
  std::fclose(file);
}

TEST(BlockTransfers, FailuresLeaveTheBufferAndReportTheirKind) {
  nuvex::testing::ScratchDirectory scratch;
  std::fclose(std::fopen("readonly.bin", "wb"));
  FILE* readOnly = std::fopen("readonly.bin", "rb");
  ASSERT_NE(readOnly, nullptr);
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

struct RefusalCase {
  const char* output;
  const char* file;
  int line;
};

void expectRefusal(const nuvex::testing::HostRecorder& seen, const std::string& output,
                   const RefusalCase& expected) {
  EXPECT_EQ(output, expected.output);
  ASSERT_EQ(seen.failures.size(), 1u);
  EXPECT_EQ(seen.failures[0].text, "PELORA-Calculation Failed (exit Called)!");
  EXPECT_EQ(seen.failures[0].code, 1);
  EXPECT_EQ(seen.failures[0].reserved, nullptr);
  EXPECT_EQ(seen.failures[0].file, expected.file);
  EXPECT_EQ(seen.failures[0].line, expected.line);
}

TEST(LongDoubles, PackingRefusesAndTheLaterItemsKeepTheirArguments) {
  nuvex::testing::RecordingHost host;
  char buffer[16];
  int64_t written = 0;
  const std::string output = capturedStdout([&] { written = sprtunf(buffer, "%Lf%d", 1.0L, 5); });
  expectRefusal(host.seen(), output,
                {"sprtunf() compiled withOUT long double support\n", "calc/VOKS/SPRTUNF", 194});
  EXPECT_EQ(bytesOf(buffer, written), (Bytes{5, 0, 0, 0}));
}

TEST(LongDoubles, UnpackingRefusesAndTheLaterItemsKeepTheirArguments) {
  nuvex::testing::RecordingHost host;
  const char record[] = {9, 0, 0, 0};
  long double wide = 0;
  int value = 0;
  int64_t consumed = 0;
  const std::string output =
      capturedStdout([&] { consumed = sscanunf(record, "%Lf%d", &wide, &value); });
  expectRefusal(host.seen(), output,
                {"sscanunf() compiled withOUT long double support\n", "calc/VOKS/SSCANUNF", 197});
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
