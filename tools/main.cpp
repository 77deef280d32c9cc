// nuvex: converts coordinates in text files and pipes between the four coordinate systems of the
// library. The run of a command is here; beside this file: the option table (options.cpp), the
// setup of a conversion from the options (conversion_setup.cpp) and their checks against each
// other (option_checks.cpp), the help texts (help_text.cpp), the host callbacks
// (host_callbacks.cpp), input lines, blocks over the batch transformation, the threads that
// convert them and the demo table.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "block_pipeline.h"
#include "conversion_setup.h"
#include "converter.h"
#include "demo.h"
#include "header_line.h"
#include "help_text.h"
#include "host_callbacks.h"
#include "nuvex/systems.h"
#include "options.h"
#include "point_reader.h"
#include "progress.h"
#include "standard_error.h"

#ifndef NUVEX_VERSION
#define NUVEX_VERSION "unknown"
#endif

namespace {

using namespace nuvex;
using namespace nuvex::cli;

// Exit status: 0 everything converted, 1 some line, point or input failed, 2 the command line
// was wrong (nothing was converted).
constexpr int kSuccess = 0;
constexpr int kDataError = 1;
constexpr int kUsageError = 2;

constexpr const char* kStandardInputName = "-";
constexpr const char* kStandardInputLabel = "<stdin>";
constexpr std::size_t kListLineCapacity = 160;  // one line of `nuvex list`; names are shorter

// ---- Running a conversion ----------------------------------------------------------------------

unsigned workerThreads(const Options& options) {
  // More threads than this gain nothing on any machine the converter meets, and each costs memory.
  constexpr unsigned kMostThreads = 256;
  if (options.threads > 0) return std::min(options.threads, kMostThreads);
  return std::max(1u, std::thread::hardware_concurrency());
}

void processFile(BlockPipeline& pipeline, const std::string& name,
                 const std::shared_ptr<const InputContext>& context, const HeaderReader* header) {
  if (name == kStandardInputName) {
    pipeline.process(std::cin, context, header, 0);
    return;
  }
  std::error_code error;
  if (std::filesystem::is_directory(name, error)) {
    pipeline.reportUnreadable(name, "is a directory");
    return;
  }
  std::ifstream file(name, std::ios::binary);
  if (!file) {
    pipeline.reportUnreadable(name, std::string("cannot open: ") + std::strerror(errno));
    return;
  }
  const std::uintmax_t size =
      std::filesystem::is_regular_file(name, error) ? std::filesystem::file_size(name, error) : 0;
  pipeline.process(file, context, header, error ? 0 : size);
}

int runConversion(const ConversionSetup& setup, const Options& options) {
  const BlockConverter converter = makeBlockConverter(setup, options);
  for (const std::string& warning : setup.warnings) std::cerr << warning;
  ProgressMeter progress(std::cerr, !options.quiet && standardErrorIsTerminal());
  BlockPipeline pipeline(converter, workerThreads(options), std::cout, std::cerr, progress);

  std::vector<std::string> files = options.files;
  if (files.empty()) files.push_back(kStandardInputName);
  for (const std::string& name : files) {
    const std::string label = name == kStandardInputName ? kStandardInputLabel : name;
    const auto context =
        std::make_shared<const InputContext>(InputContext{label, setup.layout, {}});
    const HeaderReader header = [&](std::string_view line, std::size_t lineNumber) {
      return readHeader(line, lineNumber, *context, setup.header);
    };
    processFile(pipeline, name, context, setup.hasHeader ? &header : nullptr);
  }
  pipeline.writeSummary();
  std::cout.flush();
  if (!std::cout) {
    const auto lock = lockStandardError();
    std::cerr << "nuvex: cannot write the output\n";
    return kDataError;
  }
  return pipeline.hadDataErrors() ? kDataError : kSuccess;
}

// The EPSG codes the converter takes, one per line; a 3D code says what its heights are.
int runList() {
  std::cout << "EPSG   system zone width name\n";
  for (const EpsgCode& row : epsgCodes()) {
    const bool grid = row.system.type == CoordinateType::Grid;
    const char* dimensions = row.height == HeightKind::Ellipsoidal ? " (3D, ellipsoidal height)"
                             : row.height == HeightKind::Normal    ? " (3D, DHHN2016 height)"
                                                                   : "";
    char line[kListLineCapacity];
    std::snprintf(line, sizeof line, "%-6d %-6s %4s %5s %s%s\n", row.code,
                  formatCoordinateSystem(row.system).c_str(),
                  grid ? std::to_string(row.zone).c_str() : "-",
                  grid ? std::to_string(row.zoneWidth).c_str() : "-", row.name.c_str(), dimensions);
    std::cout << line;
  }
  std::cout << kListNotes;
  return kSuccess;
}

int runDemo(const Options& options) {
  const bool complete = printDemo(std::cout, outputPrecision(options.precision));
  return complete ? kSuccess : kDataError;
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);  // lets a pipe's pending input be seen (batching)
  Options options;

  CLI::App app("nuvex " NUVEX_VERSION
               " - converts coordinates between the grids and datums of four systems",
               "nuvex");
  const Commands commands = defineCommands(app, options);

  if (argc == 1) {  // the demo is `nuvex demo`; no arguments asks how to use it
    std::cout << app.help();
    return kSuccess;
  }
  std::vector<std::string> arguments = commandArguments(argc, argv);
  try {
    app.parse(arguments);
    readDmsFlags(options);
    installHostCallbacks();
    if (commands.toLL->parsed()) {
      return runConversion(setUpConversion(ConversionCommand::ToLL, options), options);
    }
    if (commands.fromLL->parsed()) {
      return runConversion(setUpConversion(ConversionCommand::FromLL, options), options);
    }
    if (commands.convert->parsed()) {
      return runConversion(setUpConversion(ConversionCommand::Convert, options), options);
    }
    if (commands.list->parsed()) return runList();
    return runDemo(options);
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error);
    return status == kSuccess ? kSuccess : kUsageError;
  } catch (const std::exception& error) {
    std::cout.flush();
    std::cerr << "nuvex: " << error.what() << '\n';
    return kDataError;
  }
}
