#include "header_line.h"

#include <memory>

#include "csv_fields.h"

namespace nuvex::cli {

HeaderOutcome readHeader(std::string_view line, std::size_t lineNumber, const InputContext& input,
                         const HeaderSettings& settings) {
  std::string_view content = line;
  if (lineNumber == 1) removeByteOrderMark(content);
  const char separator =
      input.layout.delimiter != 0 ? input.layout.delimiter : detectSeparator(content);
  auto context = std::make_shared<InputContext>(input);
  HeaderOutcome outcome;
  if (settings.selection && settings.selection->namesAny()) {
    LineScratch scratch;
    splitFields(content, separator, std::string::npos, scratch.fields);
    std::vector<std::string> names;
    for (const FieldSpan& field : scratch.fields) {
      names.emplace_back(fieldValue(field.in(content), scratch.unquoted));
    }
    std::string problem;
    const std::optional<ColumnIndices> indices =
        resolveColumns(*settings.selection, names, problem);
    if (!indices) {
      context->headerProblem = problem;
      outcome.context = context;
      outcome.failed = true;
      outcome.output.append(kErrorMarker).append(" ").append(line).push_back('\n');
      outcome.diagnostics =
          "nuvex: " + input.name + ":" + std::to_string(lineNumber) + ": " + problem + "\n";
      return outcome;
    }
    context->layout.picked = indices;
  }
  outcome.context = context;
  outcome.output.append(line);
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
