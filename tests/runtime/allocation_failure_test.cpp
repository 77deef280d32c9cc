// Every allocation failure of the runtime, made to happen by the allocation hook: each gives its
// specified report or iostat, and the runtime works again afterwards (after f77ini). The cases
// are tests/data/allocation_failures.txt; the sanitizer build checks that nothing leaks.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "runtime/allocation.h"
#include "runtime/runtime_session.h"
#include "runtime/unformatted_reader.h"
#include "support/case_file.h"
#include "support/scratch_directory.h"

namespace nuvex::testing::units {
namespace {

constexpr int kUnit = 20;
constexpr uint32_t kLargeRecord = 10000;  // bytes: more than the reader's first buffer

struct Temporary : CHRTMP {
  Temporary() { f_tmpinit(this, 1); }
  ~Temporary() { f_tmpfree(this, 1); }
};

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

// Three framed records of 8, kLargeRecord and 8 bytes.
File recordFile() {
  File file(std::tmpfile(), &std::fclose);
  for (uint32_t length : {8u, kLargeRecord, 8u}) {
    const std::string data(length, 'r');
    std::fwrite(&length, sizeof length, 1, file.get());
    std::fwrite(data.data(), 1, length, file.get());
    std::fwrite(&length, sizeof length, 1, file.get());
  }
  std::rewind(file.get());
  return file;
}

// Each scenario does one piece of work and says whether it succeeded.
const std::map<std::string, std::function<bool()>>& scenarios() {
  static const std::map<std::string, std::function<bool()>> all = {
      {"open_formatted",
       [] { return open_unit_once(kUnit, "a.txt", "NEW", "FORMATTED", "", 0) == 1; }},
      {"open_unformatted",
       [] { return open_unit_once(kUnit, "a.bin", "NEW", "UNFORMATTED", "", 0) == 1; }},
      {"auto_open", [] { return wrtfmt_seq(21, "(I3)", "%d\n", 5) == 1; }},
      {"f77ini",
       [] {
         f77ini();
         return f_unit(6)->record != nullptr;
       }},
      {"tmpalloc",
       [] {
         Temporary t;
         return f_tmpalloc(&t, 10) != nullptr;
       }},
      {"concat_of_itself",
       [] {
         Temporary t;
         f_concat(&t, "ab", nullptr);
         return std::string(f_concat(&t, t.buf, t.buf, nullptr)) == "abab";
       }},
      {"subs_of_itself",
       [] {
         Temporary t;
         f_concat(&t, "hello", nullptr);
         return std::string(f_subs(&t, t.buf, 1, 60)) == "ello" + std::string(56, ' ');
       }},
      {"ntstr", [] { return std::string(ntstr("a\0b", 3)) == "a b"; }},
      {"integer_under_a",
       [] {
         char text[5] = "";
         begin_write_internal(text, 0, 3, "(A4)");
         return wrtfmt(UNIT_INTERNAL, "%d\n", 0x44434241) == 1 && std::string(text) == "ABCD";
       }},
      {"fscanunf",
       [] {
         runtime::resetUnformattedReader();
         File file = recordFile();
         char first = 0;
         bool all = true;
         for (int record = 0; record < 3; ++record) all &= fscanunf(file.get(), "%c", &first) == 1;
         return all && first == 'r';
       }},
      {"list_repeat",
       [] {
         double reals[3] = {};
         char texts[2][4] = {};
         sscanlst("3*1.5 2*'ab'", "%Alf %AS", int64_t{3}, reals, int64_t{2}, &texts[0][0],
                  int64_t{4});
         return scanlst_status() == 0 && reals[2] == 1.5 && std::string(texts[1]) == "ab ";
       }},
      {"formatted_read",
       [] {
         char record[] = "     42   1234.5678      0.5000     -2.2500   0.12345E+02";
         int32_t id = 0;
         double values[4] = {};
         begin_read_internal(record, 0, sizeof record - 2, "(1X,I6,3F12.4,2X,E12.5)");
         readfmt(UNIT_INTERNAL, "%d %Alf", &id, int64_t{4}, values);
         return id == 42 && values[3] == 12.345;
       }},
  };
  return all;
}

class AllocationFailures : public RuntimeSession {
 protected:
  // Runs the scenario and returns how many allocations it made.
  uint64_t allocationsOf(const std::function<bool()>& scenario) {
    const uint64_t before = runtime::allocationsAttempted();
    EXPECT_TRUE(scenario());
    return runtime::allocationsAttempted() - before;
  }
  void startAfresh() {
    runtime::failNthAllocation(0);
    f77ini();
    close_all_units();
  }

  ScratchDirectory directory_;
};

TEST_F(AllocationFailures, EverySiteGivesItsReportAndLeavesTheRuntimeUsable) {
  std::map<std::string, uint64_t> sites;
  for (const TestCase& c : readCases("allocation_failures.txt")) {
    const std::function<bool()>& scenario = scenarios().at(c.fields.at(0));
    const uint64_t n = std::stoull(c.fields.at(1));
    if (n > 0) ++sites[c.fields[0]];
    const std::string outcome = c.fields.at(2);
    const std::string text = outcome.substr(outcome.find(' ') + 1);
    startAfresh();
    DiagnosticsCapture capture;
    seen().failures.clear();
    runtime::failNthAllocation(n);
    if (outcome.rfind("fatal ", 0) == 0 || outcome.rfind("memory ", 0) == 0) {
      const bool fatal = outcome[0] == 'f';
      EXPECT_THROW(scenario(), CCalcAbortException) << c.where();
      EXPECT_PRED_FORMAT2(::testing::IsSubstring,
                          (fatal ? "VOKS ERROR: " : "MEM ERROR: ") + text + "\n", capture.text())
          << c.where();
      EXPECT_EQ(seen().failures.empty() ? 0 : seen().failures.back().line, fatal ? 90 : 165)
          << c.where();
    } else if (outcome.rfind("iostat ", 0) == 0) {
      EXPECT_FALSE(scenario()) << c.where();
      EXPECT_EQ(f_unit(kUnit)->iostat, std::stoi(text)) << c.where();
    }
    for (int unit = 0; unit < UNIT_COUNT; ++unit) {
      const unit_record* record = f_unit(unit);
      EXPECT_TRUE(record->stream == nullptr || record->record != nullptr)
          << c.where() << ": unit " << unit << " passes for connected without its buffer";
    }
    startAfresh();
    EXPECT_TRUE(scenario()) << c.where() << ": the runtime works again";
  }
  for (const auto& [name, scenario] : scenarios()) {
    startAfresh();
    EXPECT_EQ(allocationsOf(scenario), sites[name]) << name << ": a site without a line";
  }
}

}  // namespace
}  // namespace nuvex::testing::units
