// How the fatal error routine ends the process: after the output is out, with exit code 5,
// and without static destructors, which would run while the sound layer's threads still
// do. Run without a display, so the boxes go to stderr only.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app_state.h"
#include "player.h"
#include "shell.h"

namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

// Reports on stderr when static destruction reaches it, once armed.
struct StaticDestructionWitness {
  bool armed = false;
  ~StaticDestructionWitness() {
    if (armed) std::fputs("static destructors ran\n", stderr);
  }
} staticDestructionWitness;

TEST(FatalExitDeathTest, FlushesOutputAndSkipsStaticDestructors) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        // stdout joins stderr, where the death test looks; what is written to it stays in
        // its buffer (no newline) until someone flushes it.
        dup2(STDERR_FILENO, STDOUT_FILENO);
        std::fputs("pending output", stdout);
        staticDestructionWitness.armed = true;
        instanceHandle = GetModuleHandleA(nullptr);
        fatalError("Error creating device\n");
      },
      ::testing::ExitedWithCode(5),
      AllOf(HasSubstr("pending output"), HasSubstr("Error creating device\n"),
            Not(HasSubstr("static destructors ran"))));
}

// The sound system runs its threads when a tune cannot be opened; the process ends under
// them. Under ThreadSanitizer this shows the path free of races.
TEST(FatalExitDeathTest, MissingTuneEndsWithItsNameAndFive) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto empty = std::filesystem::temp_directory_path() / ("kq-fatal-" + std::to_string(getpid()));
  std::filesystem::create_directories(empty);
  EXPECT_EXIT(
      {
        std::filesystem::current_path(empty);
        staticDestructionWitness.armed = true;
        instanceHandle = GetModuleHandleA(nullptr);
        if (!playerInit(44100)) fatalError("AudioInit failed!");
      },
      ::testing::ExitedWithCode(5),
      AllOf(HasSubstr("tunes\\track01.mp3: no such file"), HasSubstr("AudioInit failed!\n"),
            Not(HasSubstr("static destructors ran")), Not(HasSubstr("Sanitizer"))));
  std::filesystem::remove_all(empty);
}

}  // namespace
