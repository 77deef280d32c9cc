#include "header_line.h"

#include <algorithm>
#include <memory>

#include "csv_fields.h"

namespace nuvex::cli {

namespace {

// A column as the command line named it.
std::string columnText(const ColumnReference& column) {
  return column.position != 0 ? std::to_string(column.position) : column.name;
}

// The header's fields as written, with the converted columns' names in place of the replaced
// ones: in place at the chosen columns, or the leading columns the rows' leading values replace
// (a zone column that grid output adds is inserted after them, one that geographic output
// consumes is dropped).
std::string renamedHeader(std::string_view content, char separator, const InputContext& input,
                          const HeaderSettings& settings) {
  LineScratch scratch;
  splitFields(content, separator, std::string::npos, scratch.fields);
  std::vector<std::string> texts;
  for (const FieldSpan& field : scratch.fields) texts.emplace_back(trimBlanks(field.in(content)));
  const auto named = [&](std::string_view name) {
    std::string text;
    appendField(text, name, separator);
    return text;
  };
  const std::vector<std::string>& names = settings.heldNames;
  const std::size_t heights = settings.height ? 1 : 0;
  if (settings.placement == Placement::InPlace && input.layout.picked) {
    // names are x, y, [height,] [zone]: the zone's only for grid output.
    const ColumnIndices& picked = *input.layout.picked;
    std::size_t name = 0;
    const auto rename = [&](std::optional<std::size_t> column) {
      if (column && *column < texts.size()) texts[*column] = named(names[name]);
      ++name;
    };
    rename(picked.x);
    rename(picked.y);
    if (heights != 0) rename(picked.height);
    if (names.size() == kCoordinateAndZoneColumns + heights) rename(picked.zone);
  } else {
    const std::size_t consumed =
        std::min(kCoordinateColumns + heights + (readsZoneColumn(input.layout.columns) ? 1 : 0),
                 texts.size());
    std::vector<std::string> rebuilt;
    for (const std::string& name : names) rebuilt.push_back(named(name));
    rebuilt.insert(rebuilt.end(), texts.begin() + static_cast<std::ptrdiff_t>(consumed),
                   texts.end());
    texts = std::move(rebuilt);
  }
  std::string joint(1, separator);
  if (separator == kBlankSeparator) {
    const std::size_t gap = content.find_first_of(kBlanks, content.find_first_not_of(kBlanks));
    if (gap != std::string_view::npos && content[gap] == kTabSeparator) joint = "\t";
  }
  std::string out;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) out += joint;
    out += texts[i];
  }
  return out;
}

// Resolves the names of --columns and --epoch-column against the header's fields into the
// layout; the problem when a name matches no column, or the epoch's column holds a coordinate.
std::string resolveNames(std::string_view content, char separator, const HeaderSettings& settings,
                         LineLayout& layout) {
  const bool columnsNamed = settings.selection && settings.selection->namesAny();
  const bool epochNamed = settings.epochColumn && settings.epochColumn->position == 0;
  if (!columnsNamed && !epochNamed) return {};
  LineScratch scratch;
  splitFields(content, separator, std::string::npos, scratch.fields);
  std::vector<std::string> names;
  for (const FieldSpan& field : scratch.fields) {
    names.emplace_back(fieldValue(field.in(content), scratch.unquoted));
  }
  std::string problem;
  if (columnsNamed) {
    const std::optional<ColumnIndices> indices =
        resolveColumns(*settings.selection, names, problem);
    if (!indices) return problem;
    layout.picked = indices;
  }
  const std::string epochOption =
      settings.epochColumn ? "--epoch-column " + columnText(*settings.epochColumn) + ": " : "";
  if (epochNamed) {
    const std::optional<std::size_t> index = resolveColumn(*settings.epochColumn, names, problem);
    if (!index) return epochOption + problem;
    layout.epochColumn = index;
  }
  problem = epochColumnProblem(layout);
  return problem.empty() ? problem : epochOption + problem;
}

}  // namespace

HeaderOutcome readHeader(std::string_view line, std::size_t lineNumber, const InputContext& input,
                         const HeaderSettings& settings) {
  std::string_view content = line;
  if (lineNumber == 1) removeByteOrderMark(content);
  const char separator =
      input.layout.delimiter != 0 ? input.layout.delimiter : guessDelimiter(content);
  auto context = std::make_shared<InputContext>(input);
  context->layout.delimiter = separator;  // the header's delimiter is the whole file's
  HeaderOutcome outcome;
  const std::string problem = resolveNames(content, separator, settings, context->layout);
  outcome.context = context;
  if (!problem.empty()) {
    // No line of the input can be read: its columns are unknown.
    context->headerProblem = problem;
    outcome.failed = true;
    outcome.output.append(kErrorMarker).append(" ").append(line).push_back('\n');
    outcome.diagnostics =
        "nuvex: " + input.name + ":" + std::to_string(lineNumber) + ": " + problem + "\n";
    return outcome;
  }
  if (settings.placement == Placement::Appended || settings.heldNames.empty()) {
    outcome.output.append(line);
  } else {
    outcome.output.append(line.substr(0, line.size() - content.size()));  // a byte-order mark
    outcome.output.append(renamedHeader(content, separator, *context, settings));
  }
  if (settings.placement == Placement::Appended) {
    const std::string_view joint =
        separator == kBlankSeparator ? " " : std::string_view(&separator, 1);
    for (const std::string& name : settings.outputNames) {
      outcome.output.append(joint);
      appendField(outcome.output, name, separator);
    }
  }
  outcome.output.push_back('\n');
  return outcome;
}

}  // namespace nuvex::cli
