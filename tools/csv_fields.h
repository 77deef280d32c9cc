// Splitting an input line into fields, as spreadsheets and GIS exports write them: blank- or
// tab-separated columns, or delimited columns (comma, semicolon, tab) with fields in double quotes
// that may hold the delimiter and doubled quotes. Records are lines: a quote left open runs to the
// end of the line. Fields are kept as spans of the line, so that the columns not converted are
// written back exactly as they came.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace nuvex::cli {

inline constexpr char kBlankSeparator = ' ';  // columns separated by runs of blanks and tabs
inline constexpr char kCommaSeparator = ',';
inline constexpr char kSemicolonSeparator = ';';
inline constexpr char kTabSeparator = '\t';
inline constexpr char kQuote = '"';

// The field's raw text is line.substr(begin, end - begin), with its padding and quotes.
struct FieldSpan {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::string_view in(std::string_view line) const { return line.substr(begin, end - begin); }
};

// Blanks that pad fields (and end lines written on other systems).
inline constexpr std::string_view kBlanks = " \t\r\v\f";
std::string_view trimBlanks(std::string_view text);

// Without a delimiter given: a line whose first field (quoted or not) is followed by a comma is
// comma-separated, any other blank-separated.
char detectSeparator(std::string_view line);

// Splits the line into at most mostFields fields (the last one then holds the rest of the
// line). A delimited line has one field more than delimiters outside quotes; a blank-separated
// line has one field per run of non-blanks and none when it is blank.
void splitFields(std::string_view line, char separator, std::size_t mostFields,
                 std::vector<FieldSpan>& fields);

// The value of a raw field: padding trimmed, surrounding quotes removed and doubled quotes made
// single (into scratch, only when there are any).
std::string_view fieldValue(std::string_view raw, std::string& scratch);

// Appends text as one field of a line with this separator, quoted where it holds the separator,
// a quote or a line end.
void appendField(std::string& out, std::string_view text, char separator);

}  // namespace nuvex::cli
