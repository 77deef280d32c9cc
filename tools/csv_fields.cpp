#include "csv_fields.h"

#include <algorithm>
#include <array>

namespace nuvex::cli {
namespace {

// The characters of kBlanks as a table: this runs for every input character.
constexpr auto kIsBlank = [] {
  std::array<bool, 256> table{};
  for (const char c : kBlanks) table[static_cast<unsigned char>(c)] = true;
  return table;
}();

bool isBlank(char c) {
  return kIsBlank[static_cast<unsigned char>(c)];
}

// Index just past a quoted field starting at `open` (the closing quote; the line end when it is
// never closed).
std::size_t skipQuoted(std::string_view line, std::size_t open) {
  std::size_t at = open + 1;
  while (at < line.size()) {
    if (line[at] != kQuote) {
      ++at;
    } else if (at + 1 < line.size() && line[at + 1] == kQuote) {
      at += 2;  // a doubled quote inside
    } else {
      return at + 1;
    }
  }
  return line.size();
}

void splitBlankSeparated(std::string_view line, std::size_t mostFields,
                         std::vector<FieldSpan>& fields) {
  std::size_t at = 0;
  while (fields.size() < mostFields) {
    while (at < line.size() && isBlank(line[at])) ++at;
    if (at == line.size()) return;
    if (fields.size() + 1 == mostFields) {
      fields.push_back({(at), (line.size())});
      return;
    }
    const std::size_t start = at;
    while (at < line.size() && !isBlank(line[at])) ++at;
    fields.push_back({(start), (at)});
  }
}

void splitDelimited(std::string_view line, char delimiter, std::size_t mostFields,
                    std::vector<FieldSpan>& fields) {
  std::size_t start = 0;
  while (true) {
    if (fields.size() + 1 == mostFields) {
      fields.push_back({(start), (line.size())});
      return;
    }
    // A quote opens a quoted field only as the field's first character after padding;
    // elsewhere (the seconds mark of 50°30'15"N) it is text.
    std::size_t at = start;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t') && line[at] != delimiter) ++at;
    if (at < line.size() && line[at] == kQuote) at = skipQuoted(line, at);
    while (at < line.size() && line[at] != delimiter) ++at;
    fields.push_back({(start), (at)});
    if (at >= line.size()) return;
    start = at + 1;
  }
}

}  // namespace

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

char detectSeparator(std::string_view line) {
  std::size_t at = 0;
  while (at < line.size() && isBlank(line[at])) ++at;
  if (at == line.size()) return kBlankSeparator;
  if (line[at] == kQuote) at = skipQuoted(line, at);
  while (at < line.size() && !isBlank(line[at]) && line[at] != kCommaSeparator) ++at;
  while (at < line.size() && isBlank(line[at])) ++at;
  return at < line.size() && line[at] == kCommaSeparator ? kCommaSeparator : kBlankSeparator;
}

void splitFields(std::string_view line, char separator, std::size_t mostFields,
                 std::vector<FieldSpan>& fields) {
  fields.clear();
  if (mostFields == 0) return;
  if (separator == kBlankSeparator) {
    splitBlankSeparated(line, mostFields, fields);
  } else {
    splitDelimited(line, separator, mostFields, fields);
  }
}

std::string_view fieldValue(std::string_view raw, std::string& scratch) {
  const std::string_view value = trimBlanks(raw);
  if (value.empty() || value.front() != kQuote) return value;
  bool doubled = false;
  std::size_t close = 1;
  for (; close < value.size(); ++close) {
    if (value[close] != kQuote) continue;
    if (close + 1 < value.size() && value[close + 1] == kQuote) {
      doubled = true;
      ++close;
      continue;
    }
    break;
  }
  // A quote never closed, or text after the closing quote: the field is taken as written.
  if (close + 1 != value.size()) return value;
  const std::string_view inner = value.substr(1, close - 1);
  if (!doubled) return inner;
  scratch.clear();
  for (std::size_t i = 0; i < inner.size(); ++i) {
    scratch.push_back(inner[i]);
    if (inner[i] == kQuote) ++i;  // the second quote of a pair
  }
  return scratch;
}

void appendField(std::string& out, std::string_view text, char separator) {
  const bool plain =
      separator == kBlankSeparator || std::none_of(text.begin(), text.end(), [separator](char c) {
        return c == separator || c == kQuote || c == '\n' || c == '\r';
      });
  if (plain) {
    out.append(text);
    return;
  }
  out.push_back(kQuote);
  for (const char c : text) {
    out.push_back(c);
    if (c == kQuote) out.push_back(kQuote);
  }
  out.push_back(kQuote);
}

}  // namespace nuvex::cli
