// List-directed input: the scanner's own rules, and agreement with gfortran's list-directed READ
// over the checked-in cases of tests/data/gfortran_list_input_cases.txt.
#include "nuvex/runtime/list_input.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

namespace {

// A read-only stream over text held in memory.
class MemoryStream {
 public:
  explicit MemoryStream(std::string text) : text_(std::move(text)) {
    stream_ = fmemopen(text_.data(), text_.size(), "r");
  }
  ~MemoryStream() {
    if (stream_ != nullptr) std::fclose(stream_);
  }
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;
  FILE* get() const { return stream_; }

 private:
  std::string text_;
  FILE* stream_ = nullptr;
};

constexpr int32_t kUntouched = -999;

// ---- integers, nulls, repeat factors and the slash ----

TEST(ListInputTest, RepeatFactorFillsArrayThenNextValueFollows) {
  int32_t values[4] = {0, 0, 0, 0};
  MemoryStream input("3*7 1\n");
  EXPECT_EQ(fscanlst(input.get(), "%Ad", int64_t{4}, values), 1);
  EXPECT_EQ(scanlst_status(), 0);
  EXPECT_EQ(std::vector<int32_t>(values, values + 4), (std::vector<int32_t>{7, 7, 7, 1}));
}

TEST(ListInputTest, NullValuesAndSlashLeaveIntegersUnchanged) {
  struct Case {
    const char* input;
    int32_t expected[3];
  };
  const Case cases[] = {{"1,,3", {1, kUntouched, 3}},
                        {"1 / 5", {1, kUntouched, kUntouched}},
                        {"2*,4", {kUntouched, kUntouched, 4}},
                        {"2* 4", {kUntouched, kUntouched, 4}},
                        {",,,", {kUntouched, kUntouched, kUntouched}}};
  for (const Case& c : cases) {
    int32_t a = kUntouched, b = kUntouched, d = kUntouched;
    MemoryStream input(std::string(c.input) + "\n");
    EXPECT_EQ(fscanlst(input.get(), "%d %d %d", &a, &b, &d), 3) << c.input;
    EXPECT_EQ(scanlst_status(), 0) << c.input;
    EXPECT_EQ((std::vector<int32_t>{a, b, d}), (std::vector<int32_t>(c.expected, c.expected + 3)))
        << c.input;
  }
}

TEST(ListInputTest, IntegerConversionClampsAndReportsTrailingText) {
  struct Case {
    const char* input;
    int32_t expected;
    int status;
  };
  const Case cases[] = {{"12x", 12, SCANLST_BAD_INTEGER},
                        {"x", 0, SCANLST_BAD_INTEGER},
                        {"+42", 42, 0},
                        {"99999999999999999999999999", INT32_MAX, 0},
                        {"-99999999999999999999999999", INT32_MIN, 0},
                        {"-2147483648", INT32_MIN, 0}};
  for (const Case& c : cases) {
    int32_t value = kUntouched;
    sscanlst(c.input, "%d", &value);
    EXPECT_EQ(value, c.expected) << c.input;
    EXPECT_EQ(scanlst_status(), c.status) << c.input;
  }
}

TEST(ListInputTest, NarrowIntegersKeepLowOrderBits) {
  int16_t shortValue = 0;
  int8_t byteValue = 0;
  sscanlst("70000 300", "%hd %b", &shortValue, &byteValue);
  EXPECT_EQ(shortValue, static_cast<int16_t>(70000));
  EXPECT_EQ(byteValue, static_cast<int8_t>(300));
}

TEST(ListInputTest, HugeRepeatCountIsClampedAndServesEveryItem) {
  int32_t values[3] = {0, 0, 0};
  sscanlst("99999999999999999999999*5", "%Ad", int64_t{3}, values);
  EXPECT_EQ(scanlst_status(), 0);
  EXPECT_EQ(std::vector<int32_t>(values, values + 3), (std::vector<int32_t>{5, 5, 5}));
}

TEST(ListInputTest, NumericValueKeeps35CharactersAndConsumesTheRest) {
  // 35 zeros then a 9: the 9 is dropped, and the next item reads the next value.
  const std::string input = std::string(35, '0') + "9 8";
  int32_t first = kUntouched, second = kUntouched;
  sscanlst(input.c_str(), "%d %d", &first, &second);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 8);
}

TEST(ListInputTest, SscanlstReturnsCharactersConsumed) {
  int32_t a = 0, b = 0;
  EXPECT_EQ(sscanlst("12, 34  rest", "%d %d", &a, &b), 8);
  EXPECT_EQ(sscanlst("12,34", "%d", &a), 3);  // the comma after a value is its separator
}

// ---- reals ----

TEST(ListInputTest, RealExponentForms) {
  struct Case {
    const char* input;
    double expected;
    int status;
  };
  const Case cases[] = {{"1.5D3", 1500.0, 0},
                        {"1.5d-3", 1.5e-3, 0},
                        {"1.5-3", 1.5e-3, 0},
                        {"1.5+3", 1500.0, 0},
                        {"1.5E+3", 1500.0, 0},
                        {"1.5e-3", 1.5e-3, 0},
                        {"1.5D+3", 1500.0, 0},
                        {"-.5E1", -5.0, 0},
                        {"7", 7.0, 0},
                        {"1.5x3", 1.5, SCANLST_BAD_REAL},
                        {"1.5E3x", 1500.0, SCANLST_BAD_REAL},
                        {"1.2.3", 1.2, SCANLST_BAD_REAL},
                        {"1.5+-3", 1.5, SCANLST_BAD_REAL},
                        {"0x10", 0.0, SCANLST_BAD_REAL},
                        {"inf", 0.0, SCANLST_BAD_REAL}};
  for (const Case& c : cases) {
    double value = kUntouched;
    sscanlst(c.input, "%lf", &value);
    EXPECT_DOUBLE_EQ(value, c.expected) << c.input;
    EXPECT_EQ(scanlst_status(), c.status) << c.input;
  }
}

TEST(ListInputTest, FloatItemsAndOverflowToInfinity) {
  float small = 0, huge = 0;
  sscanlst("0.1 1E300", "%f %f", &small, &huge);
  EXPECT_EQ(small, 0.1f);
  EXPECT_EQ(huge, std::numeric_limits<float>::infinity());
}

// ---- complex constants ----

TEST(ListInputTest, ComplexConstants) {
  struct Case {
    const char* input;
    int items;  // items fscanlst reports
    int status;
    double expected[3][2];
  };
  constexpr double u = kUntouched;
  const Case cases[] = {
      {"(1.0, 2.0) (3,4) (5,6)", 3, 0, {{1, 2}, {3, 4}, {5, 6}}},
      {"2*(1,2) (3,4)", 3, 0, {{1, 2}, {1, 2}, {3, 4}}},
      {"(1,2) ,(3,4) ,(5,6)", 3, 0, {{1, 2}, {3, 4}, {5, 6}}},
      {"(1.5 ,2) ( 3 , 4 ),(5,6)", 3, 0, {{1.5, 2}, {3, 4}, {5, 6}}},
      {"(1.5D1,2.5E-1) (3.5+1,-4.5-1) (1.5E+3,0)", 3, 0, {{15, 0.25}, {35, -0.45}, {1500, 0}}},
      {"(1,2),,(5,6)", 3, 0, {{1, 2}, {u, u}, {5, 6}}},
      {"2*,(5,6)", 3, 0, {{u, u}, {u, u}, {5, 6}}},
      {"2* (5,6)", 3, 0, {{u, u}, {u, u}, {5, 6}}},
      {"(1,2) / (3,4)", 3, 0, {{1, 2}, {u, u}, {u, u}}},
      {"(1,2) 2*/", 3, 0, {{1, 2}, {u, u}, {u, u}}},
      {"3*1.5", 0, SCANLST_BAD_COMPLEX, {{1.5, 0}, {u, u}, {u, u}}},
      {"1.0", 0, SCANLST_BAD_COMPLEX, {{1, 0}, {u, u}, {u, u}}},
      {"(1.5x,2)", 0, SCANLST_BAD_REAL, {{1.5, 2}, {u, u}, {u, u}}}};
  for (const Case& c : cases) {
    double values[3][2] = {{u, u}, {u, u}, {u, u}};
    MemoryStream input(std::string(c.input) + "\n");
    EXPECT_EQ(fscanlst(input.get(), "%lz %lz %lz", values[0], values[1], values[2]), c.items)
        << c.input;
    EXPECT_EQ(scanlst_status(), c.status) << c.input;
    for (int i = 0; i < 3; ++i) {
      EXPECT_DOUBLE_EQ(values[i][0], c.expected[i][0]) << c.input << " item " << i;
      EXPECT_DOUBLE_EQ(values[i][1], c.expected[i][1]) << c.input << " item " << i;
    }
  }
}

TEST(ListInputTest, RepeatedPlainValueBecomesComplexRealPart) {
  int32_t first = 0;
  float pair[2] = {kUntouched, kUntouched};
  sscanlst("2*5", "%d %z", &first, pair);
  EXPECT_EQ(first, 5);
  EXPECT_EQ(pair[0], 5.0f);
  EXPECT_EQ(pair[1], 0.0f);
}

// ---- logicals ----

TEST(ListInputTest, Logicals) {
  struct Case {
    const char* input;
    int16_t expected;
    int status;
  };
  const Case cases[] = {{".TRUE.", 1, 0},
                        {"t", 1, 0},
                        {".f", 0, 0},
                        {"False", 0, 0},
                        {"yes", 0, SCANLST_BAD_LOGICAL},
                        {".", 0, SCANLST_BAD_LOGICAL}};
  for (const Case& c : cases) {
    int16_t value = kUntouched;
    sscanlst(c.input, "%t", &value);
    EXPECT_EQ(value, c.expected) << c.input;
    EXPECT_EQ(scanlst_status(), c.status) << c.input;
  }
  int32_t wide = kUntouched;
  int8_t narrow = 0;
  sscanlst("T .T.", "%lt %T", &wide, &narrow);
  EXPECT_EQ(wide, 1);
  EXPECT_EQ(narrow, 1);
}

// ---- character items ----

TEST(ListInputTest, QuotedStrings) {
  struct Case {
    const char* input;
    const char* expected;
  };
  const Case cases[] = {{"'it''s'", "it's"},
                        {"\"say \"\"hi\"\"\"", "say \"hi\""},
                        {"'a\\tb'", "a\tb"},
                        {"'\\a\\b\\f\\n\\r\\t\\v\\q\\\\'", "\a\b\f\n\r\t\vq\\"},
                        {"'don\\'t'", "don't"},
                        {"'a,b c/d(e)'", "a,b c/d(e)"},
                        {"'unterminated", "unterminated"},
                        {"''", ""},
                        {"plain,", "plain"}};
  for (const Case& c : cases) {
    char text[64] = "old";
    sscanlst(c.input, "%s", text);
    EXPECT_STREQ(text, c.expected) << c.input;
    EXPECT_EQ(scanlst_status(), 0) << c.input;
  }
}

TEST(ListInputTest, SlashEmptiesStringsAndBlanksFixedLengthItems) {
  char text[8] = "old";
  char fixed[6] = "abcde";
  int32_t number = kUntouched;
  EXPECT_EQ(sscanlst("/", "%s %S %d", text, fixed, int64_t{6}, &number), 0);
  EXPECT_EQ(scanlst_status(), 0);
  EXPECT_STREQ(text, "");
  EXPECT_STREQ(fixed, "     ");
  EXPECT_EQ(number, kUntouched);
}

TEST(ListInputTest, NullValueLeavesStringAndPadsFixedLengthItem) {
  char text[8] = "old";
  char fixed[8] = {'a', 'b', '\0', 'x', 'x', 'x', 'x', '#'};  // '#' guards the element's end
  sscanlst(",,", "%s %S", text, fixed, int64_t{7});
  EXPECT_STREQ(text, "old");
  EXPECT_EQ(std::string(fixed, 8), std::string("ab    \0#", 8));
}

TEST(ListInputTest, FixedLengthItemsAreCutAndPadded) {
  char elements[2][4];
  std::memset(elements, '#', sizeof elements);
  sscanlst("'abcdef' x", "%AS", int64_t{2}, &elements[0][0], int64_t{4});
  EXPECT_EQ(std::string(&elements[0][0], 8), std::string("abc\0x  \0", 8));
  char single[3] = {'#', '#', '#'};  // an unterminated old value is padded within the element
  sscanlst(",", "%S", single, int64_t{3});
  EXPECT_EQ(std::string(single, 3), std::string("##\0", 3));
}

TEST(ListInputTest, RepeatedValueIsSavedWith79Characters) {
  const std::string longText(100, 'q');
  std::string first(128, '\0'), second(128, '\0');
  sscanlst(("2*'" + longText + "'").c_str(), "%s %s", first.data(), second.data());
  EXPECT_EQ(std::string(first.c_str()), longText);
  EXPECT_EQ(std::string(second.c_str()), std::string(79, 'q'));
}

TEST(ListInputTest, CharacterItemTakesTheFirstCharacter) {
  char letters[3] = {'-', '-', '-'};
  sscanlst("xyz,,'q'", "%Ac", int64_t{3}, letters);
  EXPECT_EQ(std::string(letters, 3), "x-q");
}

// ---- streams ----

TEST(ListInputTest, QuotedValueContinuesOnTheNextLineOfAStream) {
  char text[32] = "";
  int32_t after = 0;
  MemoryStream input("'first half\nsecond half' 9\n");
  EXPECT_EQ(fscanlst(input.get(), "%s %d", text, &after), 2);
  EXPECT_STREQ(text, "first halfsecond half");
  EXPECT_EQ(after, 9);
  MemoryStream joined("'ab\\\ntc'\n");  // a backslash before the line end escapes the next line's t
  fscanlst(joined.get(), "%s", text);
  EXPECT_STREQ(text, "ab\tc");
}

TEST(ListInputTest, ValuesAndSeparatorsRunOverLineEnds) {
  int32_t values[4] = {0, 0, 0, 0};
  MemoryStream input("1,\n\n  2\r\n3\t4\n");
  EXPECT_EQ(fscanlst(input.get(), "%Ad", int64_t{4}, values), 1);
  EXPECT_EQ(std::vector<int32_t>(values, values + 4), (std::vector<int32_t>{1, 2, 3, 4}));
}

TEST(ListInputTest, ContinuationReadsOnInTheSameLine) {
  int32_t a = 0, b = 0, c = 0, d = 0;
  MemoryStream input("1 2 3\n4\n");
  EXPECT_EQ(fscanlst(input.get(), "%d", &a), 1);
  EXPECT_EQ(fscanlst(input.get(), "%+%d %d", &b, &c), 2);
  EXPECT_EQ(fscanlst(input.get(), "%d", &d), 1);
  EXPECT_EQ((std::vector<int32_t>{a, b, c, d}), (std::vector<int32_t>{1, 2, 3, 4}));
}

TEST(ListInputTest, ContinuationOnAnotherStreamReadsNothing) {
  int32_t a = 0, b = kUntouched;
  MemoryStream first("1 2\n"), other("5\n");
  fscanlst(first.get(), "%d", &a);
  EXPECT_EQ(fscanlst(other.get(), "%+%d", &b), 0);
  EXPECT_EQ(scanlst_status(), SCANLST_READ_ERROR);
  EXPECT_EQ(b, kUntouched);
  sscanlst("7", "%d", &a);  // a string scan leaves no stream to continue on
  EXPECT_EQ(fscanlst(first.get(), "%+%d", &b), 0);
  EXPECT_EQ(scanlst_status(), SCANLST_READ_ERROR);
}

TEST(ListInputTest, EndOfFile) {
  int32_t a = kUntouched, b = kUntouched;
  MemoryStream empty("");
  EXPECT_EQ(fscanlst(empty.get(), "%d", &a), 0);
  EXPECT_EQ(scanlst_status(), SCANLST_END_OF_FILE);
  MemoryStream shortInput("1\n");
  EXPECT_EQ(fscanlst(shortInput.get(), "%d %d", &a, &b), 1);
  EXPECT_EQ(scanlst_status(), SCANLST_END_OF_FILE);
  EXPECT_EQ(b, kUntouched);
  EXPECT_EQ(fscanlst(shortInput.get(), "%+%d", &b), 0);  // the failed read is not continued
  MemoryStream lastLineWithoutNewline("1 2");
  EXPECT_EQ(fscanlst(lastLineWithoutNewline.get(), "%d %d", &a, &b), 2);
  EXPECT_EQ(scanlst_status(), 0);
  char text[16] = "";
  MemoryStream unterminated("'abc\n");
  EXPECT_EQ(fscanlst(unterminated.get(), "%s", text), 0);
  EXPECT_EQ(scanlst_status(), SCANLST_END_OF_FILE);
  EXPECT_STREQ(text, "abc");
}

TEST(ListInputTest, LongLinesAreReadInPiecesOfALine) {
  // 254 characters of "1 ", then "23 4": the first piece ends after the 2, so 23 reads as 2, 3.
  std::string line;
  for (int i = 0; i < 127; ++i) line += "1 ";
  MemoryStream input(line + "23 4\n");
  std::vector<int32_t> values(130, 0);
  EXPECT_EQ(fscanlst(input.get(), "%Ad", int64_t{130}, values.data()), 1);
  EXPECT_EQ(values[126], 1);
  EXPECT_EQ((std::vector<int32_t>(values.end() - 3, values.end())),
            (std::vector<int32_t>{2, 3, 4}));
  // A quoted value goes on over the piece boundary without losing a character.
  const std::string quoted(600, 'x');
  MemoryStream longQuote("'" + quoted + "'\n");
  std::string text(700, '\0');
  EXPECT_EQ(fscanlst(longQuote.get(), "%s", text.data()), 1);
  EXPECT_EQ(std::string(text.c_str()), quoted);
}

// ---- control strings and failures ----

TEST(ListInputTest, ControlStringLettersAndLiterals) {
  int32_t value = 0;
  sscanlst("  =7", "%= %d", &value);
  EXPECT_EQ(scanlst_status(), 0);
  EXPECT_EQ(value, 7);
  sscanlst("x7", "%= %d", &value);
  EXPECT_EQ(scanlst_status(), SCANLST_CONTROL_MISMATCH);
  MemoryStream matching("5 =\n"), different("5 x\n");
  EXPECT_EQ(fscanlst(matching.get(), "%d=%d", &value, &value), 1);  // the literal ends the scan
  EXPECT_EQ(scanlst_status(), 0);
  fscanlst(different.get(), "%d=", &value);
  EXPECT_EQ(scanlst_status(), SCANLST_CONTROL_MISMATCH);
}

TEST(ListInputTest, FailuresReportTheirStatus) {
  int32_t value = kUntouched;
  EXPECT_EQ(fscanlst(nullptr, "%d", &value), 0);
  EXPECT_EQ(scanlst_status(), SCANLST_NO_STREAM);
  EXPECT_EQ(sscanlst(nullptr, "%d", &value), 0);
  EXPECT_EQ(scanlst_status(), SCANLST_READ_ERROR);
  sscanlst("1 2", "%d %", &value);
  EXPECT_EQ(scanlst_status(), SCANLST_CONTROL_MISMATCH);
  sscanlst("1 2", "%Al", int64_t{1});
  EXPECT_EQ(scanlst_status(), SCANLST_CONTROL_MISMATCH);
  char text[8] = "";
  sscanlst("a b", "%As", int64_t{2}, text);  // strings have no element length
  EXPECT_EQ(scanlst_status(), SCANLST_CONTROL_MISMATCH);
  MemoryStream input("1 2x 3\n");
  int32_t values[3] = {0, 0, 0};
  EXPECT_EQ(fscanlst(input.get(), "%d %d %d", &values[0], &values[1], &values[2]), 1);
  EXPECT_EQ(scanlst_status(), SCANLST_BAD_INTEGER);
  EXPECT_EQ(values[1], 2);  // the erroneous item keeps its leading digits
  EXPECT_EQ(values[2], 0);  // the scan stopped before it
}

// ---- agreement with gfortran's list-directed READ ----

// One line of the data file: item kind and count, input text, expected items.
struct GfortranCase {
  std::string line;
  char kind = '\0';
  int count = 0;
  std::string input;
  std::vector<std::string> expected;
};

std::string unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    out += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
  }
  return out;
}

std::vector<std::string> splitFields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = line.find(" | ", start);
    fields.push_back(line.substr(start, bar - start));
    if (bar == std::string::npos) return fields;
    start = bar + 3;
  }
}

std::vector<GfortranCase> loadGfortranCases() {
  std::ifstream file(std::string(NUVEX_TEST_DATA_DIR) + "/gfortran_list_input_cases.txt");
  std::vector<GfortranCase> cases;
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    const std::vector<std::string> fields = splitFields(line);
    GfortranCase c;
    c.line = line;
    c.kind = fields[0][0];
    c.count = std::stoi(fields[0].substr(2));
    c.input = unescape(fields[1]);
    c.expected.assign(fields.begin() + 2, fields.end());
    cases.push_back(c);
  }
  return cases;
}

// Reals are compared through their hexadecimal form: bit for bit, the sign of zero included.
std::string hexReal(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%a", value);
  return text;
}
std::string floatText(float value) {
  return hexReal(value);
}
std::string expectedFloat(const std::string& text) {
  return floatText(std::strtof(text.c_str(), nullptr));
}
std::string expectedDouble(const std::string& text) {
  return hexReal(std::strtod(text.c_str(), nullptr));
}
std::string expectedPair(const std::string& text, std::string (*part)(const std::string&)) {
  const std::size_t comma = text.find(',');
  return part(text.substr(0, comma)) + "," + part(text.substr(comma + 1));
}

// The items of one READ, starting as gfortran's generator sets them.
constexpr int kMaxItems = 8;
constexpr int64_t kCharacterLength = 11;  // CHARACTER*10 and its NUL
struct Items {
  Items() {
    for (int i = 0; i < kMaxItems; ++i) {
      integers[i] = kUntouched;
      logicals[i] = 1;
      reals[i] = complexes[i][0] = complexes[i][1] = kUntouched;
      doubles[i] = doubleComplexes[i][0] = doubleComplexes[i][1] = kUntouched;
      std::memcpy(characters[i], "~~~~~~~~~~", kCharacterLength);
    }
  }
  int32_t integers[kMaxItems];
  float reals[kMaxItems];
  double doubles[kMaxItems];
  int32_t logicals[kMaxItems];
  char characters[kMaxItems][kCharacterLength];
  float complexes[kMaxItems][2];
  double doubleComplexes[kMaxItems][2];
};

// Reads with fscanlst when `stream` is set, else with sscanlst.
template <typename... Args>
void scan(FILE* stream, const std::string& text, const char* control, Args... args) {
  if (stream != nullptr) {
    fscanlst(stream, control, args...);
  } else {
    sscanlst(text.c_str(), control, args...);
  }
}

void readItems(const GfortranCase& c, FILE* stream, Items& v) {
  const int64_t n = c.count;
  switch (c.kind) {
    case 'I':
      return scan(stream, c.input, "%Ad", n, v.integers);
    case 'R':
      return scan(stream, c.input, "%Af", n, v.reals);
    case 'D':
      return scan(stream, c.input, "%Alf", n, v.doubles);
    case 'L':
      return scan(stream, c.input, "%Alt", n, v.logicals);
    case 'C':
      return scan(stream, c.input, "%AS", n, &v.characters[0][0], kCharacterLength);
    case 'Z':
      return scan(stream, c.input, "%Az", n, &v.complexes[0][0]);
    case 'Y':
      return scan(stream, c.input, "%Alz", n, &v.doubleComplexes[0][0]);
    default:
      return scan(stream, c.input, "%d %f %lf %lt %S %z", v.integers, v.reals, v.doubles,
                  v.logicals, v.characters[0], kCharacterLength, v.complexes[0]);
  }
}

std::string itemText(char kind, const Items& v, int i) {
  switch (kind) {
    case 'I':
      return std::to_string(v.integers[i]);
    case 'R':
      return floatText(v.reals[i]);
    case 'D':
      return hexReal(v.doubles[i]);
    case 'L':
      return v.logicals[i] != 0 ? "T" : "F";
    case 'C':
      return "[" + std::string(v.characters[i]) + "]";
    case 'Z':
      return floatText(v.complexes[i][0]) + "," + floatText(v.complexes[i][1]);
    default:
      return hexReal(v.doubleComplexes[i][0]) + "," + hexReal(v.doubleComplexes[i][1]);
  }
}

std::vector<std::string> actualItems(const GfortranCase& c, const Items& v) {
  std::vector<std::string> items;
  if (c.kind != 'M') {
    for (int i = 0; i < c.count; ++i) items.push_back(itemText(c.kind, v, i));
    return items;
  }
  for (char kind : std::string("IRDLCZ")) items.push_back(itemText(kind, v, 0));
  return items;
}

std::vector<std::string> expectedItems(const GfortranCase& c) {
  std::vector<std::string> items;
  for (std::size_t i = 0; i < c.expected.size(); ++i) {
    const char kind = c.kind == 'M' ? "IRDLCZ"[i] : c.kind;
    const std::string& text = c.expected[i];
    switch (kind) {
      case 'R':
        items.push_back(expectedFloat(text));
        break;
      case 'D':
        items.push_back(expectedDouble(text));
        break;
      case 'Z':
        items.push_back(expectedPair(text, expectedFloat));
        break;
      case 'Y':
        items.push_back(expectedPair(text, expectedDouble));
        break;
      default:
        items.push_back(text);
    }
  }
  return items;
}

TEST(ListInputGfortranTest, AgreesWithListDirectedRead) {
  const std::vector<GfortranCase> cases = loadGfortranCases();
  ASSERT_GE(cases.size(), 80u);
  for (const GfortranCase& c : cases) {
    Items fromStream;
    MemoryStream input(c.input + "\n");
    readItems(c, input.get(), fromStream);
    EXPECT_EQ(scanlst_status(), 0) << c.line;
    EXPECT_EQ(actualItems(c, fromStream), expectedItems(c)) << "stream: " << c.line;
    if (c.input.find('\n') != std::string::npos) continue;
    Items fromString;
    readItems(c, nullptr, fromString);
    EXPECT_EQ(scanlst_status(), 0) << c.line;
    EXPECT_EQ(actualItems(c, fromString), expectedItems(c)) << "string: " << c.line;
  }
}

}  // namespace
