// Character temporaries and the blank-padded text routines. The case list is
// tests/data/strings_text.txt; the aliasing regression, the length limit and the keyword buffer
// are tested here. Texts are compared exactly.
#include <algorithm>
#include <cstring>
#include <string>

#include "runtime/runtime_session.h"
#include "support/case_file.h"

namespace nuvex::testing::units {
namespace {

// A character temporary released at the end of the scope.
struct Temporary : CHRTMP {
  Temporary() { f_tmpinit(this, 1); }
  ~Temporary() { f_tmpfree(this, 1); }
};

// "\xHH" in the data fields stands for the byte HH (a tab, a line end, a byte above 127).
std::vector<std::string> unescaped(std::vector<std::string> fields) {
  for (std::string& s : fields)
    for (std::size_t at; (at = s.find("\\x")) != std::string::npos;)
      s.replace(at, 4, 1, char(std::stoi(s.substr(at + 2, 2), nullptr, 16)));
  return fields;
}

// One data line's call (see the data file) on a fresh temporary and variable: what it gave.
std::string run(const TestCase& c) {
  const std::vector<std::string> f = unescaped(c.fields);
  auto arg = [&](std::size_t i) { return f[i] == "~" ? nullptr : f[i].c_str(); };
  auto str = [](long value) { return std::to_string(value); };
  auto shown = [](const char* result) { return result ? std::string(result) : "null"; };
  Temporary t;
  char variable[25] = "########################";  // 24 sentinel bytes
  char* destination = arg(1) ? std::strcpy(variable, arg(1)) : nullptr;
  // The variable up to the first sentinel byte, NULs spelt '@', when the call returned it.
  auto bytes = [&](const char* result) {
    std::string out(variable, std::find(variable, variable + 24, '#'));
    std::replace(out.begin(), out.end(), '\0', '@');
    return result == variable ? out : result ? "another pointer" : "null";
  };
  if (f[0] == "subs") return shown(f_subs(&t, arg(1), c.integer(2), c.integer(3)));
  if (f[0] == "concat") return shown(f_concat(&t, arg(1), arg(2), arg(3), nullptr));
  if (f[0] == "reuse") {
    f_tmpalloc(&t, c.integer(1));
    const std::string xs(c.integer(2), 'x');
    return f_concat(&t, xs.c_str(), nullptr) == xs ? str(t.size) : "wrong text";
  }
  if (f[0] == "strcmp") return str(f_strcmp(arg(1), arg(2))) + " " + str(f_strcmpi(arg(1), arg(2)));
  if (f[0] == "pad") return bytes(f_pad(destination, c.integer(2)));
  if (f[0] == "assign") return bytes(f_assign(destination, arg(2), c.integer(3)));
  if (f[0] == "assign_sub")
    return bytes(f_assign_sub(destination, c.integer(2), c.integer(3), c.integer(4), arg(5)));
  if (f[0] == "append") return str(f_append(variable, arg(2)) - variable) + ":" + variable;
  if (f[0] == "endelems") f_endelems(variable, c.integer(2), c.integer(3));
  if (f[0] == "endelems") return bytes(variable);
  if (f[0] == "lowtrim") return f_lowtrim(arg(1));
  if (f[0] == "trim") std::strcpy(f_lowtrim(nullptr), arg(1));  // the buffer's present text
  if (f[0] == "trim") return f_trim();
  return "unknown operation " + f[0];
}

TEST(CharacterText, Cases) {
  for (const TestCase& c : readCases("strings_text.txt"))
    EXPECT_EQ(run(c), c.fields.back()) << c.where();
}

// Regression: S = S // X builds from the temporary's own text, which used to be emptied first.
TEST(CharacterText, ConcatMayReadTheTemporaryItself) {
  Temporary t;
  f_concat(&t, "abc", nullptr);
  EXPECT_STREQ(f_concat(&t, t.buf, "def", nullptr), "abcdef");
  EXPECT_STREQ(f_concat(&t, "<", t.buf + 3, ">", nullptr), "<def>");
  EXPECT_STREQ(f_subs(&t, t.buf, 1, 3), "def");
}

using CharacterTemporaries = RuntimeSession;

TEST_F(CharacterTemporaries, HoldAtMost65534Characters) {
  Temporary t;
  EXPECT_RUNTIME_FATAL(f_tmpalloc(&t, 65535), "temp string requires too much space");
  EXPECT_RUNTIME_FATAL(f_subs(&t, "x", 0, 70000), "temp string requires too much space");
  const char* const noTemporary = "NULL CHRTMP pointer in f_concat() or f_subs()";
  EXPECT_RUNTIME_FATAL(f_concat(nullptr, "a", nullptr), noTemporary);
  EXPECT_RUNTIME_FATAL(f_subs(nullptr, "a", 0, 0), noTemporary);
}

// The keyword buffer holds 119 characters: longer names are cut before they are trimmed.
TEST(KeywordNormalisation, NamesAreCutTo119Characters) {
  const std::string longName = "  " + std::string(300, 'N');
  EXPECT_EQ(std::string(f_lowtrim(longName.c_str())), std::string(117, 'n'));
  std::string name(F_KEYWORD_BUFFER_SIZE + 1, '#');
  EXPECT_EQ(f_copyname(name.data(), longName.c_str(), name.data()), name.data());
  EXPECT_EQ(name, longName.substr(0, 119) + '\0' + '#');
  EXPECT_EQ(f_copyname(name.data(), nullptr, name.data()), nullptr);
}

}  // namespace
}  // namespace nuvex::testing::units
