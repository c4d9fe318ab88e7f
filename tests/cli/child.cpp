#include "child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

std::string MelvirPath() {
  const char* path = std::getenv("MELVIR_CLI");
  return path && *path ? path : MELVIR_CLI_PATH;
}

namespace {
// Moves what is ready on fd into *text; false at end of file.
bool Drain(int fd, std::string* text) {
  char buffer[65536];
  ssize_t n = read(fd, buffer, sizeof buffer);
  if (n > 0) text->append(buffer, size_t(n));
  return n > 0 || (n < 0 && errno == EINTR);
}
}  // namespace

ChildResult RunMelvir(const std::vector<std::string>& args, int timeoutSeconds,
                      const Watch& watch) {
  std::vector<std::string> argv{MelvirPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv, timeoutSeconds, watch);
}

ChildResult RunProgram(const std::vector<std::string>& args, int timeoutSeconds,
                       const Watch& watch) {
  ChildResult result;
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) return result;
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_RDONLY);
    dup2(null, 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    // Only 1 and 2 hold the pipes: a process the child leaves running (a
    // mount in the background) must not keep them open.
    close(out[0]);
    close(err[0]);
    close(out[1]);
    close(err[1]);
    signal(SIGINT, SIG_DFL);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  bool outOpen = true, errOpen = true;
  while (outOpen || errOpen) {
    if (std::chrono::steady_clock::now() > deadline && !result.timedOut) {
      kill(pid, SIGKILL);
      result.timedOut = true;
    }
    pollfd fds[2] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}};
    poll(fds, 2, 10);
    if (fds[0].revents) outOpen = Drain(out[0], &result.out);
    if (fds[1].revents) errOpen = Drain(err[0], &result.err);
    if (watch && !result.timedOut) watch(pid);
  }
  close(out[0]);
  close(err[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}
