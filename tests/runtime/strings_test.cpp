// Character temporaries and the blank-padded text routines. Texts are compared exactly, with a
// sentinel after fixed-length fields so that their width is checked too.
#include "nuvex/runtime/strings.h"

#include <cstring>
#include <string>

#include "runtime/runtime_session.h"

namespace nuvex::testing::units {
namespace {

class CharacterTemporaries : public RuntimeSession {
 protected:
  void SetUp() override {
    RuntimeSession::SetUp();
    f_tmpinit(&temp, 1);
  }
  void TearDown() override {
    f_tmpfree(&temp, 1);
    RuntimeSession::TearDown();
  }
  CHRTMP temp;
};

TEST_F(CharacterTemporaries, ConcatJoinsUpToTheNullPointer) {
  EXPECT_STREQ(f_concat(&temp, "ab", "", "cd", nullptr), "abcd");
  f_tmpfree(&temp, 1);
  EXPECT_STREQ(f_concat(&temp, nullptr), "");
  EXPECT_EQ(temp.size, 0) << "an empty result still gets a buffer";
}

// Regression: S = S // X builds from the temporary's own text, which used to be emptied first.
TEST_F(CharacterTemporaries, ConcatMayReadTheTemporaryItself) {
  f_concat(&temp, "abc", nullptr);
  EXPECT_STREQ(f_concat(&temp, temp.buf, "def", nullptr), "abcdef");
  EXPECT_STREQ(f_concat(&temp, "<", temp.buf + 3, ">", nullptr), "<def>");
  EXPECT_STREQ(f_subs(&temp, temp.buf, 1, 3), "def");
}

TEST_F(CharacterTemporaries, SubstringsArePaddedPastTheEnd) {
  struct Case {
    const char* s;
    int first, last;
    const char* expected;
  };
  const Case cases[] = {
      {"hello", 1, 3, "ell"}, {"hi", 0, 4, "hi   "}, {"hello", 3, 2, ""},
      {"hi", 5, 7, "   "},    {"hi", -3, 0, "h"},    {"hello", 0, 4, "hello"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(f_subs(&temp, c.s, c.first, c.last), c.expected)
        << c.s << " " << c.first << ".." << c.last;
  }
  EXPECT_EQ(f_subs(&temp, nullptr, 0, 1), nullptr);
}

TEST_F(CharacterTemporaries, ReuseRuleKeepsBuffersWithinTheSlack) {
  const std::string sixty(60, 'x'), forty(40, 'y'), fifty(50, 'z');
  f_tmpalloc(&temp, 100);
  char* buffer = temp.buf;
  EXPECT_EQ(f_concat(&temp, sixty.c_str(), nullptr), buffer);  // 60 <= 100 < 111
  EXPECT_EQ(temp.size, 100);
  EXPECT_EQ(f_concat(&temp, fifty.c_str(), nullptr), buffer);  // 100 < 101
  EXPECT_EQ(temp.size, 100);
  EXPECT_EQ(f_concat(&temp, forty.c_str(), nullptr), forty);  // 100 is not below 91
  EXPECT_EQ(temp.size, 40);
  EXPECT_EQ(f_concat(&temp, fifty.c_str(), "!", nullptr), fifty + "!");  // too small
  EXPECT_EQ(temp.size, 51);
}

TEST_F(CharacterTemporaries, LengthLimitIs65534) {
  EXPECT_NE(f_tmpalloc(&temp, 65534), nullptr);
  EXPECT_EQ(temp.size, 65534);
  EXPECT_TRUE(seen().failures.empty());
  EXPECT_RUNTIME_FATAL(f_tmpalloc(&temp, 65535), "temp string requires too much space");
  EXPECT_RUNTIME_FATAL(f_subs(&temp, "x", 0, 70000), "temp string requires too much space");
}

TEST_F(CharacterTemporaries, NullTemporaryIsFatal) {
  EXPECT_RUNTIME_FATAL(f_concat(nullptr, "a", nullptr),
                       "NULL CHRTMP pointer in f_concat() or f_subs()");
  EXPECT_RUNTIME_FATAL(f_subs(nullptr, "a", 0, 0), "NULL CHRTMP pointer in f_concat() or f_subs()");
}

int sign(int v) {
  return (v > 0) - (v < 0);
}

TEST(BlankPaddedComparison, BlankPaddedAndCaseFolded) {
  struct Case {
    const char *a, *b;
    int strcmpSign, strcmpiSign;
  };
  const Case cases[] =
      {
          {"abc", "abc  ", 0, 0},  {"ab", "abc", -1, -1}, {"abc", "ab", 1, 1},
          {"READ", "read", -1, 0}, {"", "   ", 0, 0},     {"a", "a\t", 1, 1},
          {"\xe9", "a", -1, -1},  // signed bytes: a byte above 127 sorts before ASCII
      };
  for (const Case& c : cases) {
    EXPECT_EQ(sign(f_strcmp(c.a, c.b)), c.strcmpSign) << c.a << "|" << c.b;
    EXPECT_EQ(sign(f_strcmpi(c.a, c.b)), c.strcmpiSign) << c.a << "|" << c.b;
  }
  EXPECT_EQ(f_strcmp("ab", "abc"), ' ' - 'c');
}

TEST(BlankPaddedComparison, NullArguments) {
  const char* same = "x";
  EXPECT_EQ(f_strcmp(nullptr, nullptr), 0);
  EXPECT_EQ(f_strcmp(nullptr, "a"), -1);
  EXPECT_EQ(f_strcmp("a", nullptr), 1);
  EXPECT_EQ(f_strcmpi(same, same), 0);
  EXPECT_EQ(f_strcmpi(nullptr, "a"), 1);
  EXPECT_EQ(f_strcmpi("a", nullptr), -1);
}

// A fixed-length variable of `length` characters followed by a sentinel that must survive.
struct Variable {
  explicit Variable(const char* text) {
    std::memset(bytes, '#', sizeof bytes);
    std::strcpy(bytes, text);
  }
  std::string upTo(int n) const { return std::string(bytes, bytes + n); }
  char bytes[24];
};

TEST(CharacterAssignment, PadAndAssignGiveExactlyTheLength) {
  Variable a("abc");
  EXPECT_EQ(f_pad(a.bytes, 5), a.bytes);
  EXPECT_EQ(a.upTo(7), std::string("abc  \0#", 7));
  Variable b("abcdef");
  f_pad(b.bytes, 3);
  EXPECT_STREQ(b.bytes, "abc");
  Variable c("xyz");
  f_pad(c.bytes, 0);
  EXPECT_STREQ(c.bytes, "");
  Variable d("");
  f_assign(d.bytes, "hi", 4);
  EXPECT_EQ(d.upTo(6), std::string("hi  \0#", 6));
  f_assign(d.bytes, "toolong", 4);
  EXPECT_EQ(d.upTo(6), std::string("tool\0#", 6));
  EXPECT_EQ(f_assign(d.bytes, "x", 0), nullptr);
  EXPECT_EQ(f_assign(nullptr, "x", 2), nullptr);
  EXPECT_EQ(f_pad(nullptr, 2), nullptr);
}

TEST(CharacterAssignment, SubstringBoundsAreClamped) {
  struct Case {
    const char* before;
    int first, last;
    const char* source;
    const char* after;  // the 10 characters of the variable
  };
  const Case cases[] = {
      {"ab", 4, 5, "xy", "ab  xy    "},           {"abcdefghij", 2, 3, "x", "abx efghij"},
      {"abcdefghij", -2, 1, "XYZ", "XYcdefghij"}, {"abcdefghij", 8, -1, "XYZ", "abcdefghXY"},
      {"abcdefghij", 8, 40, "XYZ", "abcdefghXY"}, {"abcdefghij", 20, 30, "XYZ", "abcdefghij"},
      {"abcdefghij", 5, 4, "XYZ", "abcdefghij"},
  };
  for (const Case& c : cases) {
    Variable v(c.before);
    EXPECT_EQ(f_assign_sub(v.bytes, c.first, c.last, 10, c.source), v.bytes);
    EXPECT_EQ(v.upTo(12), std::string(c.after) + std::string("\0#", 2))
        << c.before << " " << c.first << ".." << c.last;
  }
  Variable v("abc");
  EXPECT_EQ(f_assign_sub(v.bytes, 0, 1, 10, nullptr), nullptr);
  EXPECT_EQ(f_assign_sub(nullptr, 0, 1, 10, "x"), nullptr);
}

TEST(CharacterAssignment, AppendChainsAndEndElementsTerminates) {
  char text[16] = "ab";
  char* end = f_append(f_append(text, "cd"), "ef");
  EXPECT_STREQ(text, "abcdef");
  EXPECT_EQ(end, text + 6);
  char elements[9] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i'};
  f_endelems(elements, 3, 3);
  EXPECT_STREQ(elements, "ab");
  EXPECT_STREQ(elements + 3, "de");
  EXPECT_STREQ(elements + 6, "gh");
}

TEST(KeywordNormalisation, LowtrimTrimsAndLowersIntoTheScratchBuffer) {
  EXPECT_STREQ(f_lowtrim("  Old \n"), "old");
  EXPECT_STREQ(f_lowtrim("\tUN KNOWN\t"), "un known");
  EXPECT_STREQ(f_lowtrim(""), "");
  const std::string longName = "  " + std::string(200, 'N');
  EXPECT_EQ(std::string(f_lowtrim(longName.c_str())), std::string(117, 'n'))
      << "119 characters are copied before trimming";
  std::strcpy(f_lowtrim(nullptr), "  Mixed  ");
  EXPECT_STREQ(f_trim(), "Mixed");
  EXPECT_STREQ(f_lowtrim(nullptr), "mixed");
}

TEST(KeywordNormalisation, CopyNameIsBoundedTo119Characters) {
  char destination[F_KEYWORD_BUFFER_SIZE + 8];
  std::memset(destination, '#', sizeof destination);
  char result[] = "r";
  const std::string longName(300, 'q');
  EXPECT_EQ(f_copyname(result, longName.c_str(), destination), result);
  EXPECT_EQ(std::strlen(destination), 119u);
  EXPECT_EQ(destination[F_KEYWORD_BUFFER_SIZE], '#');
  EXPECT_EQ(f_copyname(result, nullptr, destination), nullptr);
}

}  // namespace
}  // namespace nuvex::testing::units
