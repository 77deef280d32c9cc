// Which columns of a line hold the coordinates: --columns X,Y[,ZONE] by 1-based position or by
// header name, resolved against the header line of each input. Where heights are converted the
// height is the third coordinate: X,Y,H[,ZONE]. --epoch-column names one more column the same way.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nuvex::cli {

// One column as given on the command line: a position (1-based) or a header name.
struct ColumnReference {
  std::size_t position = 0;  // 0 when the column is named
  std::string name;
};

// Reads one column: a position from 1 (all digits) or else a header name. Nothing (and a reason)
// for an empty text or position 0.
std::optional<ColumnReference> parseColumnReference(std::string_view text, std::string& problem);

struct ColumnSelection {
  std::vector<ColumnReference> columns;  // X, Y, [H,] and optionally ZONE
  bool height = false;                   // the third column is the height (heights are converted)
  bool namesAny() const;
  bool hasZone() const;
};

inline constexpr std::size_t kCoordinateColumns = 2;         // X, Y
inline constexpr std::size_t kCoordinateAndZoneColumns = 3;  // X, Y, ZONE
inline constexpr std::size_t kMostChosenColumns = 4;         // X, Y, H, ZONE

// Reads two to four columns: X,Y, then ZONE, or with heights H and ZONE (whether a third column is
// a zone or a height is for the conversion to say: ColumnSelection::height). Nothing (and a
// reason) when the text is not of that form.
std::optional<ColumnSelection> parseColumnSelection(std::string_view text, std::string& problem);

// 0-based indices of the coordinate columns of a line.
struct ColumnIndices {
  std::size_t x = 0;
  std::size_t y = 1;
  std::optional<std::size_t> zone;
  std::optional<std::size_t> height{};
  std::size_t highest() const;
};

// The indices of the selection in a line whose header fields (values, unquoted) are given; a name
// matches exactly, or else in any letter case when that match is unique. Nothing (and a reason)
// when a name is missing or matches several columns in other cases ("East" and "EAST" for
// "east").
std::optional<ColumnIndices> resolveColumns(const ColumnSelection& selection,
                                            const std::vector<std::string>& header,
                                            std::string& problem);
// The 0-based index of one column, a name matched as resolveColumns matches it.
std::optional<std::size_t> resolveColumn(const ColumnReference& column,
                                         const std::vector<std::string>& header,
                                         std::string& problem);

}  // namespace nuvex::cli
