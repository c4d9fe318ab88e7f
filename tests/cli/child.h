// Runs the built melvir binary as a child process, with a time limit, and
// collects its exit status and both output streams.
#ifndef MELVIR_TESTS_CLI_CHILD_H
#define MELVIR_TESTS_CLI_CHILD_H

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

struct ChildResult {
  int status = -1;        // exit code; 128 + N when ended by signal N
  bool timedOut = false;  // killed at the time limit
  std::string out, err;
};

// Called about every 10 ms while the child runs.
typedef std::function<void(pid_t child)> Watch;

// The binary under test: $MELVIR_CLI, else the one this test was built with.
std::string MelvirPath();

// Runs melvir with args in the current folder, no standard input.
ChildResult RunMelvir(const std::vector<std::string>& args, int timeoutSeconds = 60,
                      const Watch& watch = nullptr);
// Runs any program (argv[0] a path) the same way.
ChildResult RunProgram(const std::vector<std::string>& argv, int timeoutSeconds = 60,
                       const Watch& watch = nullptr);

#endif
