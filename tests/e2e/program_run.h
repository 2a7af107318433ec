// One run of a program under test: spawned in its own working folder with its output
// captured to files, waited for with timeouts, and killed if a test leaves it running.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class ProgramRun {
 public:
  // Starts `program` with the current environment plus `extraEnvironment` ("NAME=value"),
  // in `workingDirectory`, stdout and stderr going to files there.
  ProgramRun(const std::string& program, const std::string& workingDirectory,
             const std::vector<std::string>& extraEnvironment);
  ~ProgramRun();
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  bool started() const { return m_pid > 0; }
  pid_t pid() const { return m_pid; }
  // True while the process has not ended.
  bool running();
  // The exit code once the process has ended by itself within `timeout`; -signal when it
  // was killed by a signal; nullopt when it is still running.
  std::optional<int> waitForExit(std::chrono::milliseconds timeout);
  std::string standardError() const;

 private:
  std::string m_directory;
  pid_t m_pid = -1;
  std::optional<int> m_exit;
};

// An X server of the test's own (Xvfb), for runs on another screen depth and for ending the
// server under the program without ending every other test's display.
class PrivateXServer {
 public:
  // `screen` is Xvfb's WIDTHxHEIGHTxDEPTH.
  explicit PrivateXServer(const std::string& screen);
  ~PrivateXServer();
  PrivateXServer(const PrivateXServer&) = delete;
  PrivateXServer& operator=(const PrivateXServer&) = delete;

  // ":N"; empty when the server did not start.
  const std::string& display() const { return m_display; }
  // Ends the server at once, as a crash or a dropped remote connection would.
  void kill();

 private:
  pid_t m_pid = -1;
  std::string m_display;
};

// Runs a helper command to completion (at most `timeout`) and returns its exit code, or
// nullopt when it could not be started or did not finish.
std::optional<int> runCommand(const std::vector<std::string>& arguments, std::chrono::milliseconds timeout);

// Makes an empty folder (removing what was there).
void makeEmptyDirectory(const std::string& path);
