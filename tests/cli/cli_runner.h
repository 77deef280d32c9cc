// Runs the built nuvex converter as a child process with a given standard input, and collects
// its exit status, standard output and standard error. Works with files in the current
// directory: call it inside a ScratchDirectory.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace nuvex::testing {

struct CliResult {
  int status = -1;  // exit status; 128 + signal number when the process was killed
  std::string out;
  std::string err;
};

inline std::string readWholeFile(const char* name) {
  std::ifstream file(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline void writeWholeFile(const std::string& name, std::string_view text) {
  std::ofstream file(name, std::ios::binary);
  file << text;
}

inline std::vector<std::string> splitArguments(std::string_view text) {
  std::istringstream stream{std::string(text)};
  return {std::istream_iterator<std::string>(stream), std::istream_iterator<std::string>()};
}

inline CliResult runCli(const std::vector<std::string>& arguments, std::string_view input = {}) {
  constexpr const char* kInput = "cli-stdin.txt";
  constexpr const char* kOutput = "cli-stdout.txt";
  constexpr const char* kErrors = "cli-stderr.txt";
  constexpr int kSignalled = 128;
  writeWholeFile(kInput, input);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, kInput, O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, kOutput, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, kErrors, O_WRONLY | O_CREAT | O_TRUNC, 0644);

  std::vector<std::string> words{NUVEX_CLI_PATH};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  CliResult result;
  pid_t child = 0;
  if (posix_spawn(&child, NUVEX_CLI_PATH, &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : kSignalled + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = readWholeFile(kOutput);
  result.err = readWholeFile(kErrors);
  return result;
}

inline CliResult runCli(std::string_view arguments, std::string_view input = {}) {
  return runCli(splitArguments(arguments), input);
}

}  // namespace nuvex::testing
