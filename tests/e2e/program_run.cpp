#include "program_run.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(20);

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (auto& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

// Waits for `pid` until `timeout`; the decoded status, or nullopt if it is still running.
std::optional<int> reap(pid_t pid, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    if (done < 0) return -1000;  // not our child any more: nothing to wait for
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(kPollInterval);
  }
}

}  // namespace

ProgramRun::ProgramRun(const std::string& program, const std::string& workingDirectory,
                       const std::vector<std::string>& extraEnvironment)
    : m_directory(workingDirectory) {
  // An extra setting replaces an inherited one of the same name: the program would read
  // whichever comes first, and the test must not depend on the caller's environment.
  auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const bool overridden = std::any_of(extraEnvironment.begin(), extraEnvironment.end(),
                                        [&](const std::string& extra) { return nameOf(extra) == nameOf(entry); });
    if (!overridden) environment.push_back(entry);
  }
  environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
  std::vector<std::string> arguments{program};

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
  const std::string out = workingDirectory + "/stdout.txt";
  const std::string err = workingDirectory + "/stderr.txt";
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  auto argv = pointers(arguments);
  auto envp = pointers(environment);
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) m_pid = pid;
  posix_spawn_file_actions_destroy(&actions);
}

ProgramRun::~ProgramRun() {
  if (m_pid > 0 && !m_exit) {
    kill(m_pid, SIGKILL);
    reap(m_pid, std::chrono::seconds(5));
  }
}

bool ProgramRun::running() { return m_pid > 0 && !waitForExit(std::chrono::milliseconds(0)); }

std::optional<int> ProgramRun::waitForExit(std::chrono::milliseconds timeout) {
  if (m_exit || m_pid <= 0) return m_exit;
  m_exit = reap(m_pid, timeout);
  return m_exit;
}

std::string ProgramRun::standardError() const {
  std::ifstream in(m_directory + "/stderr.txt", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::optional<int> runCommand(const std::vector<std::string>& arguments, std::chrono::milliseconds timeout) {
  std::vector<std::string> args = arguments;
  auto argv = pointers(args);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0].c_str(), nullptr, nullptr, argv.data(), environ) != 0) return std::nullopt;
  const auto code = reap(pid, timeout);
  if (!code) {
    kill(pid, SIGKILL);
    reap(pid, std::chrono::seconds(5));
  }
  return code;
}

void makeEmptyDirectory(const std::string& path) {
  std::filesystem::remove_all(path);
  std::filesystem::create_directories(path);
}

PrivateXServer::PrivateXServer(const std::string& screen) {
  // Servers started at the same moment can race for one display number; the loser exits
  // without naming one, so try again.
  for (int attempt = 0; attempt < 3 && m_display.empty(); ++attempt) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return;
    std::vector<std::string> arguments{"Xvfb", "-displayfd", "3",          "-screen", "0",          screen, "-nolisten",
                                       "tcp",  "-noreset",   "+extension", "GLX",     "+extension", "SHAPE"};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 3);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    auto argv = pointers(arguments);
    pid_t pid = -1;
    const bool spawned = posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    std::string number;
    pollfd readable{pipeEnds[0], POLLIN, 0};
    char c = 0;
    while (spawned && poll(&readable, 1, 20000) == 1 && read(pipeEnds[0], &c, 1) == 1 && c != '\n') number += c;
    close(pipeEnds[0]);
    if (!spawned) return;
    m_pid = pid;
    if (!number.empty()) {
      m_display = ":" + number;
    } else {
      kill();
    }
  }
}

PrivateXServer::~PrivateXServer() { kill(); }

void PrivateXServer::kill() {
  if (m_pid <= 0) return;
  ::kill(m_pid, SIGKILL);
  reap(m_pid, std::chrono::seconds(5));
  m_pid = -1;
}
