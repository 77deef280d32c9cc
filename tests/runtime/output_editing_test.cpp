// Field editing of reals and integers: exact fields (a sentinel after the NUL checks the width),
// the diagnostics they produce, and the comparison data recorded from a Fortran compiler.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <tuple>

#include "nuvex/runtime/diagnostics.h"
#include "nuvex/runtime/formatted_output.h"
#include "runtime/runtime_session.h"
#include "support/case_file.h"
#include "support/recording_host.h"

namespace {

constexpr char kSentinel = '#';
constexpr std::size_t kBufferSize = 512;

using nuvex::testing::TestCase;
using nuvex::testing::units::DiagnosticsCapture;

// Parses "F10.3", "E12.4E3", "I5.3", "Z8" into a descriptor (digits -1 and exponent 2 if absent).
edit_descriptor parseDescriptor(const std::string& text) {
  edit_descriptor d{text.at(0), 0, -1, 2};
  std::size_t pos = 1;
  auto number = [&] {
    int value = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])))
      value = value * 10 + (text[pos++] - '0');
    return value;
  };
  d.width = number();
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    d.digits = number();
  }
  if (pos < text.size() && (text[pos] == 'E' || text[pos] == 'e')) {
    ++pos;
    d.exponent = number();
  }
  return d;
}

// Runs one editor on a sentinel-filled buffer; the field must end exactly at its NUL.
template <typename Edit>
std::string edited(Edit edit) {
  char buffer[kBufferSize];
  std::memset(buffer, kSentinel, sizeof buffer);
  edit(buffer);
  EXPECT_EQ(buffer[std::strlen(buffer) + 1], kSentinel) << "wrote past the NUL";
  return buffer;
}

std::string editReal(double x, edit_descriptor& d, int scale = 0) {
  return edited([&](char* out) { fpedit(x, &d, scale, 0, out); });
}

// Edits `value` (text) under `descriptor`: intedit for I, O, Z and B, fpedit for the others.
std::string edit(const std::string& descriptor, int scale, int plus, const std::string& value) {
  edit_descriptor d = parseDescriptor(descriptor);
  if (std::strchr("IOZB", d.code) != nullptr) {
    const int integer = std::stoi(value);
    return edited([&](char* out) { intedit(integer, d.code, d.width, d.digits, plus, out); });
  }
  const double real = std::strtod(value.c_str(), nullptr);
  return edited([&](char* out) { fpedit(real, &d, scale, plus, out); });
}

TEST(OutputEditing, EditsTheDocumentedFields) {
  for (const TestCase& c : nuvex::testing::readCases("output_editing_fields.txt")) {
    DiagnosticsCapture diagnostics;
    const std::string& diagnostic = c.fields.at(5);
    EXPECT_EQ(edit(c.fields.at(0), c.integer(1), c.integer(2), c.fields.at(3)), c.fields.at(4))
        << c.where();
    EXPECT_EQ(diagnostics.text(), diagnostic.empty() ? "" : diagnostic + "\n") << c.where();
  }
}

// Line format: descriptor, P, SP and value separated by blanks, then the field in double quotes.
TEST(OutputEditing, EveryCaseMatchesTheFieldRecordedFromAFortranCompiler) {
  const auto cases = nuvex::testing::readCases("gfortran_output_cases.txt", '"');
  ASSERT_GT(cases.size(), 1000u);
  int failures = 0;
  for (const TestCase& c : cases) {
    std::istringstream fields(c.fields.at(0));
    std::string descriptor, value;
    int scale = 0, plus = 0;
    fields >> descriptor >> scale >> plus >> value;
    const std::string actual = edit(descriptor, scale, plus, value);
    if (actual != c.fields.at(1) && ++failures <= 20) {
      ADD_FAILURE() << c.where() << ": gave \"" << actual << "\"";
    }
  }
  EXPECT_EQ(failures, 0) << "of " << cases.size() << " cases";
}

TEST(OutputEditing, FpeditNormalisesTheDescriptorInPlace) {
  edit_descriptor g{'g', 10, 3, 0}, fixedG{'G', 10, 3, 2}, scaled{'E', 12, 4, 2};
  edit_descriptor bare{'F', 10, -1, -1};
  editReal(0.05, g);
  editReal(5.0, fixedG);
  editReal(1234.5, scaled, 2);
  editReal(1.0, bare);
  // G fell back to E or kept its F form with that form's d; P and a missing d are resolved.
  EXPECT_EQ(std::make_tuple(g.code, g.exponent, fixedG.code, fixedG.digits, scaled.digits),
            std::make_tuple('E', 2, 'G', 2, 3));
  EXPECT_EQ(std::make_tuple(bare.digits, bare.exponent), std::make_tuple(3, 2));
}

TEST(OutputEditing, WideIntegerFieldsAreFilledWithoutAWorkBuffer) {
  EXPECT_EQ(edit("I300", 0, 0, "42"), std::string(298, ' ') + "42");
}

TEST(OutputEditing, ExponentWidthAboveFiveAndUnknownIntegerLetterAreFatal) {
  nuvex::testing::RecordingHost host;
  DiagnosticsCapture diagnostics;
  EXPECT_THROW(edit("E12.4E6", 0, 0, "1234.5"), CCalcAbortException);
  char buffer[16];
  EXPECT_THROW(intedit(1, 'X', 5, -1, 0, buffer), CCalcAbortException);
  EXPECT_EQ(diagnostics.text(),
            "VOKS ERROR: fpedit: str size\nVOKS ERROR: unknown integer edit (intedit)\n");
  ASSERT_EQ(host.seen().failures.size(), 2u);
  EXPECT_EQ(host.seen().failures[0].text, "PELORA-Calculation Failed (exit Called)!");
}

}  // namespace
