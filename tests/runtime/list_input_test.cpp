// List-directed input: the cases of tests/data/list_input_edge_cases.txt (the scanner's own rules)
// and tests/data/gfortran_list_input_cases.txt (agreement with gfortran's list-directed READ),
// read by one data-driven harness, then the rules that need code to set them up.
#include "nuvex/runtime/list_input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/case_file.h"

namespace {

using nuvex::testing::TestCase;

constexpr int32_t kUntouched = -999;
constexpr std::size_t kSlots = 12;        // arguments passed to every scan
constexpr std::size_t kStringSize = 128;  // bytes of a %s item
constexpr int64_t kCharacterLength = 11;  // CHARACTER*10 and its NUL
constexpr const char* kMixed = "IRDLCZ";  // the gfortran file's mixed READ, one item each

// How a kind is written in the data files: integers, reals (compared bit for bit through their
// hexadecimal form), logicals T/F, texts in brackets (a character item bare).
enum Form { kInteger, kReal, kLogical, kText };
// One kind of item: conversion, bytes of one number or text, numbers per element (2 for complex).
struct Kind {
  char letter;
  const char* conversion;
  std::size_t size;
  std::size_t parts;
  Form form;
  const char* start;  // the value an element starts with
};
// clang-format off
constexpr Kind kKinds[] = {
    {'I', "d", 4, 1, kInteger, "-999"}, {'H', "hd", 2, 1, kInteger, "-999"},
    {'B', "b", 1, 1, kInteger, "-999"}, {'R', "f", 4, 1, kReal, "-999"},
    {'D', "lf", 8, 1, kReal, "-999"},   {'Z', "z", 4, 2, kReal, "-999"},
    {'Y', "lz", 8, 2, kReal, "-999"},   {'L', "lt", 4, 1, kLogical, "T"},
    {'t', "t", 2, 1, kLogical, "T"},    {'T', "T", 1, 1, kLogical, "T"},
    {'c', "c", 1, 1, kText, "-"},       {'S', "s", kStringSize, 1, kText, "[old]"},
    {'C', "S", kCharacterLength, 1, kText, "[~~~~~~~~~~]"}};
// clang-format on

const Kind& kindOf(char letter) {
  return *std::find_if(std::begin(kKinds), std::end(kKinds),
                       [&](const Kind& k) { return k.letter == letter; });
}

template <typename T>
void put(char* p, T v) {
  std::memcpy(p, &v, sizeof v);
}
template <typename T>
T get(const char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void storeNumber(const Kind& k, const std::string& text, char* p) {
  if (k.form == kReal) {
    return k.size == 4 ? put(p, std::strtof(text.c_str(), nullptr))
                       : put(p, std::strtod(text.c_str(), nullptr));
  }
  const long long v = k.form == kLogical ? text == "T" : std::stoll(text);
  k.size == 1   ? put(p, static_cast<int8_t>(v))
  : k.size == 2 ? put(p, static_cast<int16_t>(v))
                : put(p, static_cast<int32_t>(v));
}

std::string numberText(const Kind& k, const char* p) {
  if (k.form == kReal) {
    char text[40];
    std::snprintf(text, sizeof text, "%a", k.size == 4 ? get<float>(p) : get<double>(p));
    return text;
  }
  const int v = k.size == 1 ? get<int8_t>(p) : k.size == 2 ? get<int16_t>(p) : get<int32_t>(p);
  return k.form == kInteger ? std::to_string(v) : v == 1 ? "T" : v == 0 ? "F" : std::to_string(v);
}

// Writes the element `text` (complex parts separated by ','; one part serves both) to `p`.
void store(const Kind& k, std::string text, char* p) {
  if (k.form == kText) {
    k.letter == 'c' ? void(*p = text[0])
                    : void(std::strcpy(p, text.substr(1, text.size() - 2).c_str()));
    return;
  }
  for (std::size_t i = 0; i < k.parts; ++i, p += k.size) {
    storeNumber(k, text.substr(0, text.find(',')), p);
    text.erase(0, text.find(',') + 1);
  }
}

std::string show(const Kind& k, const char* p) {
  if (k.form == kText) return k.letter == 'c' ? std::string(1, *p) : "[" + std::string(p) + "]";
  std::string text = numberText(k, p);
  for (std::size_t i = 1; i < k.parts; ++i) text += "," + numberText(k, p + i * k.size);
  return text;
}

std::string normalised(const Kind& kind, const std::string& text) {
  char element[kStringSize] = {};
  store(kind, text, element);
  return show(kind, element);
}

// A read-only stream over text held in memory (declare, do not move).
struct MemoryStream {
  std::string text;
  std::unique_ptr<FILE, int (*)(FILE*)> file{fmemopen(text.data(), text.size(), "r"), &std::fclose};
  FILE* get() const { return file.get(); }
};

// The items of one READ: "K n" is an array item of n elements, "= KKK" one item per letter.
struct Scan {
  std::string control;
  std::vector<std::uintptr_t> slots;
  std::vector<std::vector<char>> buffers;
  std::vector<std::pair<const Kind*, const char*>> elements;

  explicit Scan(std::string items) {
    if (items.rfind("M ", 0) == 0) items = std::string("= ") + kMixed;
    const bool array = items[0] != '=';
    for (char letter : array ? items.substr(0, 1) : items.substr(2)) {
      add(kindOf(letter), array ? std::stoll(items.substr(2)) : 1, array);
    }
  }
  void add(const Kind& kind, int64_t count, bool array) {
    const std::size_t elementSize = kind.size * kind.parts;
    buffers.emplace_back(elementSize * static_cast<std::size_t>(count));
    char* p = buffers.back().data();
    control += std::string(array ? " %A" : " %") + kind.conversion;
    if (array) slots.push_back(static_cast<std::uintptr_t>(count));
    slots.push_back(reinterpret_cast<std::uintptr_t>(p));
    if (kind.letter == 'C') slots.push_back(kCharacterLength);
    for (int64_t i = 0; i < count; ++i, p += elementSize) {
      store(kind, kind.start, p);
      elements.emplace_back(&kind, p);
    }
  }
  // fscanlst when `stream` is set, else sscanlst over `text`.
  int64_t run(FILE* stream, const std::string& text) const {
    std::uintptr_t s[kSlots] = {};
    std::copy(slots.begin(), slots.end(), s);
    const char* c = control.c_str();
    return stream != nullptr ? fscanlst(stream, c, s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7],
                                        s[8], s[9], s[10], s[11])
                             : sscanlst(text.c_str(), c, s[0], s[1], s[2], s[3], s[4], s[5], s[6],
                                        s[7], s[8], s[9], s[10], s[11]);
  }
};

// The fields of a " | "-separated line, with \n \t \r \a \b \f \v \\ escapes resolved.
std::vector<std::string> fieldsOf(const TestCase& c) {
  std::vector<std::string> fields;
  for (std::size_t i = 0; i < c.fields.size(); ++i) {
    const std::string& f = c.fields[i];
    const std::size_t from = i > 0 ? 1 : 0, to = f.size() - (i + 1 < c.fields.size() ? 1 : 0);
    std::string out;
    for (std::size_t k = from; k < to; ++k) {
      const char* escape = f[k] == '\\' && k + 1 < to ? std::strchr("ntrabfv", f[++k]) : nullptr;
      out += escape != nullptr ? "\n\t\r\a\b\f\v"[escape - "ntrabfv"] : f[k];
    }
    fields.push_back(out);
  }
  return fields;
}

// Scans the case's items from a stream holding exactly `input`, or from the string; returns
// the scan's result and status, then the items read and the items expected, in text form.
struct Outcome {
  int64_t returned;
  int status;
  std::vector<std::string> items, expected;
};
Outcome scanCase(const std::vector<std::string>& f, bool fromStream, const std::string& input,
                 std::size_t firstItem, const std::string& control = "") {
  Scan scan(f[0]);
  if (!control.empty()) scan.control = control;
  const MemoryStream stream{input};
  Outcome out{scan.run(fromStream ? stream.get() : nullptr, input), scanlst_status(), {}, {}};
  for (const auto& [kind, p] : scan.elements) out.items.push_back(show(*kind, p));
  for (std::size_t i = firstItem; i < f.size(); ++i) {
    const std::size_t n = i - firstItem;
    out.expected.push_back(n < scan.elements.size() ? normalised(*scan.elements[n].first, f[i])
                                                    : f[i]);
  }
  return out;
}

// One case of the edge case file: items, input, "<how> <returned> <status> [<control>]",
// expected items.
void expectEdgeCase(const std::vector<std::string>& f, const std::string& where) {
  char mode = '\0';
  long long returned = 0;
  int status = 0, used = 0;
  ASSERT_EQ(std::sscanf(f.at(2).c_str(), "%c %lld %d %n", &mode, &returned, &status, &used), 3)
      << where;
  const Outcome out =
      scanCase(f, mode == 'f', f[1], 3, f[2].substr(static_cast<std::size_t>(used)));
  EXPECT_EQ(out.returned, returned) << where;
  EXPECT_EQ(out.status, status) << where;
  EXPECT_EQ(out.items, out.expected) << where;
}

TEST(ListInputTest, EdgeCases) {
  for (const TestCase& c : nuvex::testing::readCases("list_input_edge_cases.txt")) {
    expectEdgeCase(fieldsOf(c), c.where());
  }
}

TEST(ListInputTest, AgreesWithGfortranListDirectedRead) {
  const auto cases = nuvex::testing::readCases("gfortran_list_input_cases.txt");
  ASSERT_GE(cases.size(), 80u);
  for (const TestCase& c : cases) {
    const std::vector<std::string> f = fieldsOf(c);
    for (bool fromStream : {true, false}) {
      if (!fromStream && f[1].find('\n') != std::string::npos) continue;
      const Outcome out = scanCase(f, fromStream, f[1] + (fromStream ? "\n" : ""), 2);
      EXPECT_EQ(out.status, 0) << c.where() << (fromStream ? " stream" : " string");
      EXPECT_EQ(out.items, out.expected) << c.where() << (fromStream ? " stream" : " string");
    }
  }
}

// Regressions: each of these was read wrongly once.
TEST(ListInputRegression, ExponentWithPlusSignAfterE) {
  expectEdgeCase({"= DD", "1.5E+3 1.5D+3", "s 13 0", "1500", "1500"}, "1.5E+3");
}
TEST(ListInputRegression, BlanksAroundTheComplexComma) {
  expectEdgeCase({"= YY", "( 1.5 , 2 ) (3 ,4)", "s 18 0", "1.5,2", "3,4"}, "blanks");
}
TEST(ListInputRegression, NullValuesLeaveComplexItems) {
  expectEdgeCase({"= YYY", ",(5,6),,\n", "f 3 0", "-999,-999", "5,6", "-999,-999"}, "nulls");
}

TEST(ListInputTest, CharacterItemsAreCutPaddedAndRepeatedWith79Characters) {
  char elements[2][4];
  std::memset(elements, '#', sizeof elements);
  sscanlst("'abcdef' x", "%AS", int64_t{2}, &elements[0][0], int64_t{4});
  EXPECT_EQ(std::string(&elements[0][0], 8), std::string("abc\0x  \0", 8));
  char fixed[8] = {'a', 'b', '\0', 'x', 'x', 'x', 'x', '#'};  // '#' guards the element's end
  sscanlst(",", "%S", fixed, int64_t{7});  // a null value pads the old value within the element
  EXPECT_EQ(std::string(fixed, 8), std::string("ab    \0#", 8));
  // A repeated value is saved with 79 characters.
  const std::string longText(100, 'q');
  std::string first(128, '\0'), second(128, '\0');
  sscanlst(("2*'" + longText + "'").c_str(), "%s %s", first.data(), second.data());
  EXPECT_EQ(std::string(first.c_str()), longText);
  EXPECT_EQ(std::string(second.c_str()), std::string(79, 'q'));
}

TEST(ListInputTest, ContinuationReadsOnOnlyAfterASuccessfulReadOfTheSameStream) {
  int32_t a = 0, b = 0, c = 0, d = 0;
  MemoryStream input{"1 2 3\n4\n"}, other{"5\n"}, shortInput{"1\n"};
  EXPECT_EQ(fscanlst(input.get(), "%d", &a), 1);
  EXPECT_EQ(fscanlst(input.get(), "%+%d %d", &b, &c), 2);
  EXPECT_EQ(fscanlst(input.get(), "%d", &d), 1);
  EXPECT_EQ((std::vector<int32_t>{a, b, c, d}), (std::vector<int32_t>{1, 2, 3, 4}));
  b = kUntouched;
  EXPECT_EQ(fscanlst(other.get(), "%+%d", &b), 0);
  EXPECT_EQ(scanlst_status(), SCANLST_READ_ERROR);
  sscanlst("7", "%d", &a);  // a string scan leaves no stream to continue on
  EXPECT_EQ(fscanlst(input.get(), "%+%d", &b), 0);
  EXPECT_EQ(scanlst_status(), SCANLST_READ_ERROR);
  EXPECT_EQ(fscanlst(shortInput.get(), "%d %d", &a, &b), 1);
  EXPECT_EQ(fscanlst(shortInput.get(), "%+%d", &b), 0);  // the failed read is not continued
  EXPECT_EQ(b, kUntouched);
}

TEST(ListInputTest, LongLinesAreReadInPiecesOfALine) {
  // 254 characters of "1 ", then "23 4": the first piece ends after the 2, so 23 reads as 2, 3.
  std::string line;
  for (int i = 0; i < 127; ++i) line += "1 ";
  MemoryStream input{line + "23 4\n"};
  std::vector<int32_t> values(130, 0);
  EXPECT_EQ(fscanlst(input.get(), "%Ad", int64_t{130}, values.data()), 1);
  EXPECT_EQ((std::vector<int32_t>(values.end() - 4, values.end())),
            (std::vector<int32_t>{1, 2, 3, 4}));
  // A quoted value goes on over the piece boundary without losing a character.
  const std::string quoted(600, 'x');
  MemoryStream longQuote{"'" + quoted + "'\n"};
  std::string text(700, '\0');
  EXPECT_EQ(fscanlst(longQuote.get(), "%s", text.data()), 1);
  EXPECT_EQ(std::string(text.c_str()), quoted);
}

TEST(ListInputTest, MissingStreamOrTextIsReported) {
  int32_t value = 0;
  EXPECT_EQ(fscanlst(nullptr, "%d", &value), 0);
  EXPECT_EQ(scanlst_status(), SCANLST_NO_STREAM);
  EXPECT_EQ(sscanlst(nullptr, "%d", &value), 0);
  EXPECT_EQ(scanlst_status(), SCANLST_READ_ERROR);
}

}  // namespace
