#include "column_selection.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace nuvex::cli {
namespace {

bool isPosition(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c));
  });
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The column of the name written exactly so, else the one column of that name in another case;
// a second such column makes the name ambiguous, which is said in problem.
std::optional<std::size_t> findName(const std::string& name, const std::vector<std::string>& header,
                                    std::string& problem) {
  const auto exact = std::find(header.begin(), header.end(), name);
  if (exact != header.end()) return static_cast<std::size_t>(exact - header.begin());
  std::optional<std::size_t> found;
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (!equalIgnoringCase(header[i], name)) continue;
    if (found) {
      problem = "the header has columns \"" + header[*found] + "\" and \"" + header[i] +
                "\" for \"" + name + "\": name one exactly as written";
      return std::nullopt;
    }
    found = i;
  }
  if (!found) problem = "the header has no column \"" + name + "\"";
  return found;
}

}  // namespace

bool ColumnSelection::namesAny() const {
  return std::any_of(columns.begin(), columns.end(),
                     [](const ColumnReference& column) { return column.position == 0; });
}

bool ColumnSelection::hasZone() const {
  return columns.size() == kCoordinateAndZoneColumns + (height ? 1 : 0);
}

std::size_t ColumnIndices::highest() const {
  return std::max({x, y, zone.value_or(0), height.value_or(0)});
}

std::optional<ColumnReference> parseColumnReference(std::string_view text, std::string& problem) {
  ColumnReference column;
  if (text.empty()) {
    problem = "expected a column position from 1 or a header name";
    return std::nullopt;
  }
  if (!isPosition(text)) {
    column.name = std::string(text);
    return column;
  }
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), column.position);
  if (error != std::errc{} || column.position == 0) {
    problem = "column " + std::string(text) + ": positions start at 1";
    return std::nullopt;
  }
  return column;
}

std::optional<ColumnSelection> parseColumnSelection(std::string_view text, std::string& problem) {
  ColumnSelection selection;
  while (true) {
    const std::size_t comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    if (item.empty()) {
      problem =
          "expected X,Y or X,Y,ZONE (with heights X,Y,H or X,Y,H,ZONE): column positions "
          "from 1 or header names";
      return std::nullopt;
    }
    std::optional<ColumnReference> column = parseColumnReference(item, problem);
    if (!column) return std::nullopt;
    selection.columns.push_back(std::move(*column));
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  if (selection.columns.size() < kCoordinateColumns ||
      selection.columns.size() > kMostChosenColumns) {
    problem = "expected X,Y or X,Y,ZONE (with heights X,Y,H or X,Y,H,ZONE): two to four columns";
    return std::nullopt;
  }
  for (std::size_t i = 0; i < selection.columns.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      const ColumnReference& a = selection.columns[i];
      const ColumnReference& b = selection.columns[j];
      if (a.position == b.position && a.name == b.name) {
        problem = "a column is named twice";
        return std::nullopt;
      }
    }
  }
  return selection;
}

std::optional<std::size_t> resolveColumn(const ColumnReference& column,
                                         const std::vector<std::string>& header,
                                         std::string& problem) {
  if (column.position != 0) return column.position - 1;
  return findName(column.name, header, problem);
}

std::optional<ColumnIndices> resolveColumns(const ColumnSelection& selection,
                                            const std::vector<std::string>& header,
                                            std::string& problem) {
  std::vector<std::size_t> indices;
  for (const ColumnReference& column : selection.columns) {
    const std::optional<std::size_t> index = resolveColumn(column, header, problem);
    if (!index) return std::nullopt;
    indices.push_back(*index);
  }
  for (std::size_t i = 1; i < indices.size(); ++i) {
    if (std::find(indices.begin(), indices.begin() + static_cast<std::ptrdiff_t>(i), indices[i]) !=
        indices.begin() + static_cast<std::ptrdiff_t>(i)) {
      problem = "--columns names one column twice";
      return std::nullopt;
    }
  }
  ColumnIndices resolved{indices[0], indices[1], std::nullopt};
  std::size_t next = kCoordinateColumns;
  if (selection.height && next < indices.size()) resolved.height = indices[next++];
  if (next < indices.size()) resolved.zone = indices[next];
  return resolved;
}

}  // namespace nuvex::cli
