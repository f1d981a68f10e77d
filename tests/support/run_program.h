// Runs a program as a user would and collects what it printed: for tests of the
// built tools and of the helpers they are checked with (pdftotext).
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

namespace tessaro::testing_support {

struct RunResult {
  bool started = false;  // false: the program could not be started (missing)
  int exitCode = -1;     // -1 when it did not exit normally
  std::string out, err;
};

// program is a path, or with searchPath a name looked up in PATH. stdout and stderr
// go to files in scratch (so neither is a terminal) and are read back.
inline RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::filesystem::path& scratch, bool searchPath = false) {
  const std::filesystem::path outFile = scratch / "program.out", errFile = scratch / "program.err";
  std::vector<std::string> all{program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  const int rc = searchPath ? posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ)
                            : posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  RunResult r;
  if (rc != 0) return r;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return r;
  r.started = true;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  auto slurp = [](const std::filesystem::path& f) {
    std::ifstream in(f, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  r.out = slurp(outFile);
  r.err = slurp(errFile);
  std::error_code ec;
  std::filesystem::remove(outFile, ec);
  std::filesystem::remove(errFile, ec);
  return r;
}

}  // namespace tessaro::testing_support
