#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "fmod.h"
#include "path_resolve.h"
#include "sound_fixtures.h"

using namespace kq::soundtest;
using namespace std::chrono_literals;

namespace {

constexpr int kRate = 44100;
// A 440 Hz tone at half scale changes by at most ~1030 per sample; a hard cut jumps up to 16000.
constexpr int kClickThreshold = 2500;

template <class Pred>
bool eventually(Pred pred, std::chrono::milliseconds timeout = 20s) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

class SoundTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new TempDir;
    ASSERT_TRUE(makeMp3(dir->file("tone440.mp3"), kRate, 2, 2.0, "sine 440"));
    ASSERT_TRUE(makeMp3(dir->file("short.mp3"), kRate, 2, 0.5, "sine 440"));
    ASSERT_TRUE(makeMp3(dir->file("sweep.mp3"), kRate, 2, 2.0, "sine 300-3000"));
    ASSERT_TRUE(makeMp3(dir->file("tone22k_mono.mp3"), 22050, 1, 1.5, "sine 1000"));
    ASSERT_TRUE(makeMp3(dir->file("tone48k.mp3"), 48000, 2, 1.5, "sine 1000"));
    ASSERT_TRUE(writeFile(dir->file("song.it"), shortModule(32)));  // 3.84 s
  }
  static void TearDownTestSuite() {
    delete dir;
    dir = nullptr;
  }
  void SetUp() override {
    capture = std::make_unique<DiskCapture>(
        dir->file(std::string("out-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".raw"));
    ASSERT_TRUE(FSOUND_Init(kRate, 32, FSOUND_INIT_GLOBALFOCUS));
  }
  void TearDown() override { FSOUND_Close(); }

  static TempDir* dir;
  std::unique_ptr<DiskCapture> capture;
};
TempDir* SoundTest::dir = nullptr;

struct EndLog {
  std::atomic<int> calls{0};
  std::atomic<bool> onOtherThread{false};
  std::thread::id mainThread = std::this_thread::get_id();
  std::atomic<size_t> framesAtCall{0};
  const DiskCapture* capture = nullptr;
};

signed char recordEnd(FSOUND_STREAM*, void* buff, int len, void* user) {
  auto* log = static_cast<EndLog*>(user);
  log->framesAtCall = log->capture ? log->capture->frames() : 0;
  log->onOtherThread = std::this_thread::get_id() != log->mainThread && buff == nullptr && len == 0;
  ++log->calls;
  return TRUE;
}

// Closing while sound plays: the capture ends on a whole device buffer of exact silence, reached
// by a ramp from the tone that played up to the close rather than by a cut.
void expectEndsInSilence(const std::vector<std::int16_t>& s) {
  const size_t n = s.size() / 2;
  ASSERT_GT(n, 8192u);
  for (size_t f = n - 512; f < n; ++f) {
    ASSERT_EQ(s[2 * f], 0) << "frame " << f << " of " << n;
    ASSERT_EQ(s[2 * f + 1], 0) << "frame " << f << " of " << n;
  }
  EXPECT_GT(rms(s, n - 8192, n - 4096), 3000.0) << "nothing played up to the close";
  EXPECT_LT(maxJump(s, n - 8192, n), kClickThreshold);
}

}  // namespace

// The fatal error routine closes the sound system with its handles still open and ends the
// process at once; a child process plays that part.
TEST(SoundShutdown, FatalPathEndsInSilence) {
  TempDir dir;
  ASSERT_TRUE(makeMp3(dir.file("tone.mp3"), kRate, 2, 3.0, "sine 440"));
  ASSERT_TRUE(writeFile(dir.file("song.it"), shortModule(32)));
  const std::string out = dir.file("fatal.raw");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    DiskCapture capture(out);
    if (!FSOUND_Init(kRate, 32, FSOUND_INIT_GLOBALFOCUS)) ::_exit(1);
    FSOUND_STREAM* stream = FSOUND_Stream_Open(dir.file("tone.mp3").c_str(), 0, 0, 0);
    FMUSIC_MODULE* module = FMUSIC_LoadSongEx(dir.file("song.it").c_str(), 0, 0, 0, nullptr, 0);
    if (!stream || !module || FSOUND_Stream_Play(0, stream) != 0 || !FMUSIC_PlaySong(module)) ::_exit(2);
    if (!capture.advance(kRate / 2)) ::_exit(3);
    FSOUND_Close();
    ::_exit(5);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 5);
  expectEndsInSilence(DiskCapture(out).samples());
}

TEST(SoundInit, FailsWithoutAUsableDevice) {
  ::setenv("SDL_AUDIODRIVER", "disk", 1);
  ::setenv("SDL_DISKAUDIOFILE", "/nonexistent-dir/out.raw", 1);
  EXPECT_FALSE(FSOUND_Init(kRate, 32, FSOUND_INIT_GLOBALFOCUS));
  ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  EXPECT_FALSE(FSOUND_Init(kRate, 32, FSOUND_INIT_GLOBALFOCUS));
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  EXPECT_FALSE(FSOUND_Init(0, 32, 0));
  EXPECT_FALSE(FSOUND_Init(kRate, 0, 0));
  // Nothing opens without a device.
  EXPECT_EQ(FSOUND_Stream_Open("tone440.mp3", 0, 0, 0), nullptr);
  ASSERT_TRUE(FSOUND_Init(kRate, 32, 0));
  EXPECT_FALSE(FSOUND_Init(kRate, 32, 0));  // already started
  FSOUND_Close();
  FSOUND_Close();  // harmless twice
}

TEST_F(SoundTest, OpenRejectsWhatItCannotPlay) {
  auto write = [&](const char* name, std::vector<std::uint8_t> bytes) {
    EXPECT_TRUE(writeFile(dir->file(name), bytes));
    return dir->file(name);
  };
  std::vector<std::uint8_t> mp3 = readFile(dir->file("tone440.mp3"));
  std::vector<std::uint8_t> it = readFile(dir->file("song.it"));
  std::string text = "this is not music, just text with a .mp3 name\n";
  std::vector<std::uint8_t> noise(20000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);

  std::vector<std::string> badStreams = {
      dir->file("missing.mp3"),  write("text.mp3", {text.begin(), text.end()}),
      write("empty.mp3", {}),    write("cut.mp3", {mp3.begin(), mp3.begin() + 200}),  // less than one frame
      write("noise.mp3", noise), write("module.mp3", it),                             // syncs as MPEG layer 1 garbage
  };
  ASSERT_EQ(::mkdir(dir->file("folder.mp3").c_str(), 0755), 0);
  badStreams.push_back(dir->file("folder.mp3"));
  // Each refusal says on stderr which file it was and why.
  auto refusal = [](const std::function<bool()>& refused) {
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(refused());
    return ::testing::internal::GetCapturedStderr();
  };
  for (const std::string& path : badStreams) {
    const std::string line = refusal([&] { return FSOUND_Stream_Open(path.c_str(), 0, 0, 0) == nullptr; });
    EXPECT_NE(line.find(path + ": "), std::string::npos) << line;
  }
  EXPECT_NE(refusal([&] { return !FSOUND_Stream_Open(badStreams[0].c_str(), 0, 0, 0); }).find("no such file"),
            std::string::npos);
  EXPECT_NE(refusal([&] { return !FSOUND_Stream_Open(badStreams[1].c_str(), 0, 0, 0); }).find("no MPEG frame"),
            std::string::npos);
  std::vector<std::string> badModules = {
      dir->file("missing.it"),
      write("text.it", {text.begin(), text.end()}),
      write("cut.it", {it.begin(), it.begin() + 150}),  // inside the header's tables
      write("noise.it", noise),
      dir->file("tone440.mp3"),
      dir->file("folder.mp3"),
  };
  for (const std::string& path : badModules) {
    const std::string line = refusal([&] { return FMUSIC_LoadSongEx(path.c_str(), 0, 0, 0, nullptr, 0) == nullptr; });
    EXPECT_NE(line.find(path + ": "), std::string::npos) << line;
  }
  // Only whole files by name.
  EXPECT_EQ(FSOUND_Stream_Open(dir->file("tone440.mp3").c_str(), 0, 10, 0), nullptr);
  EXPECT_EQ(FMUSIC_LoadSongEx(dir->file("song.it").c_str(), 0, 0, 1, nullptr, 0), nullptr);

  std::string locked = write("locked.mp3", mp3);
  ::chmod(locked.c_str(), 0);
  if (::geteuid() != 0) {
    EXPECT_EQ(FSOUND_Stream_Open(locked.c_str(), 0, 0, 0), nullptr);
  }

  // Calls on null handles and free channels fail cleanly.
  EXPECT_EQ(FSOUND_Stream_Play(0, nullptr), -1);
  EXPECT_FALSE(FSOUND_Stream_Stop(nullptr));
  EXPECT_FALSE(FSOUND_SetPaused(0, TRUE));
  EXPECT_FALSE(FSOUND_GetPaused(99));
  EXPECT_FALSE(FMUSIC_PlaySong(nullptr));
  EXPECT_FALSE(FMUSIC_FreeSong(nullptr));
}

TEST_F(SoundTest, PathsUseBackslashesAndIgnoreCase) {
  std::filesystem::create_directories(dir->file("Tunes"));
  std::filesystem::copy_file(dir->file("short.mp3"), dir->file("Tunes/Track01.MP3"),
                             std::filesystem::copy_options::overwrite_existing);
  std::string asWritten = dir->path() + "\\tunes\\track01.mp3";
  EXPECT_EQ(kq::sound::resolvePath(asWritten.c_str()), dir->file("Tunes/Track01.MP3"));
  FSOUND_STREAM* s = FSOUND_Stream_Open(asWritten.c_str(), 0, 0, 0);
  EXPECT_NE(s, nullptr);
  EXPECT_TRUE(FSOUND_Stream_Close(s));
  EXPECT_FALSE(kq::sound::resolvePath((dir->path() + "\\tunes\\track02.mp3").c_str()));
}

TEST_F(SoundTest, PauseResumeAndStopAreSilentWhereExpectedAndClickFree) {
  FSOUND_STREAM* s = FSOUND_Stream_Open(dir->file("tone440.mp3").c_str(), 0, 0, 0);
  ASSERT_NE(s, nullptr);
  size_t start = capture->frames();
  ASSERT_EQ(FSOUND_Stream_Play(0, s), 0);
  ASSERT_TRUE(capture->advance(kRate / 4));
  size_t pauseAt = capture->frames();
  EXPECT_FALSE(FSOUND_GetPaused(0));
  ASSERT_TRUE(FSOUND_SetPaused(0, TRUE));
  EXPECT_TRUE(FSOUND_GetPaused(0));
  ASSERT_TRUE(capture->advance(kRate / 4));
  size_t resumeAt = capture->frames();
  ASSERT_TRUE(FSOUND_SetPaused(0, FALSE));
  ASSERT_TRUE(capture->advance(kRate / 4));
  size_t stopAt = capture->frames();
  ASSERT_TRUE(FSOUND_Stream_Stop(s));
  ASSERT_TRUE(capture->advance(kRate / 4));
  size_t end = capture->frames();

  std::vector<std::int16_t> out = capture->samples();
  const size_t lag = 2048 + 256;  // the buffer being mixed when a call is made, plus the fade
  size_t heard = firstLoudFrame(out, start);
  EXPECT_LT(heard - start, 2048u + kRate / 20) << "the tone starts within one buffer";
  EXPECT_GT(rms(out, heard + 256, pauseAt), 5000.0);
  EXPECT_EQ(rms(out, pauseAt + lag, resumeAt), 0.0) << "paused";
  EXPECT_GT(rms(out, resumeAt + lag, stopAt), 5000.0) << "resumed";
  EXPECT_EQ(rms(out, stopAt + lag, end), 0.0) << "stopped";
  EXPECT_LT(maxJump(out, start, end), kClickThreshold);
  FSOUND_Stream_Close(s);
}

TEST_F(SoundTest, EndCallbackFiresOnceAfterTheLastSampleAndNeverAfterAStop) {
  FSOUND_STREAM* s = FSOUND_Stream_Open(dir->file("short.mp3").c_str(), 0, 0, 0);
  ASSERT_NE(s, nullptr);
  EndLog log;
  log.capture = capture.get();
  ASSERT_TRUE(FSOUND_Stream_SetEndCallback(s, recordEnd, &log));
  size_t start = capture->frames();
  ASSERT_EQ(FSOUND_Stream_Play(0, s), 0);
  ASSERT_TRUE(eventually([&] { return log.calls > 0; }));
  EXPECT_TRUE(log.onOtherThread);
  // The whole 0.5 s had been mixed by then (lame's padding is trimmed away again).
  EXPECT_GE(log.framesAtCall - start, size_t(kRate / 2) - 1024);
  ASSERT_TRUE(capture->advance(kRate));
  EXPECT_EQ(log.calls, 1);

  // Stopped before its end: no callback, even long after.
  ASSERT_EQ(FSOUND_Stream_Play(0, s), 0);
  ASSERT_TRUE(capture->advance(kRate / 10));
  ASSERT_TRUE(FSOUND_Stream_Stop(s));
  ASSERT_TRUE(capture->advance(kRate));
  EXPECT_EQ(log.calls, 1);

  // Played again after its end: from the start, and once more to the end.
  ASSERT_EQ(FSOUND_Stream_Play(0, s), 0);
  ASSERT_TRUE(eventually([&] { return log.calls == 2; }));
  FSOUND_Stream_Close(s);
}

namespace {
struct Chain {
  FSOUND_STREAM* next = nullptr;
  std::atomic<int> started{0};
};
signed char playNext(FSOUND_STREAM*, void*, int, void* user) {
  auto* chain = static_cast<Chain*>(user);
  if (FSOUND_Stream_Play(0, chain->next) == 0) ++chain->started;
  return TRUE;
}
}  // namespace

TEST_F(SoundTest, EndCallbackMayCallTheLibrary) {
  FSOUND_STREAM* a = FSOUND_Stream_Open(dir->file("short.mp3").c_str(), 0, 0, 0);
  FSOUND_STREAM* b = FSOUND_Stream_Open(dir->file("tone440.mp3").c_str(), 0, 0, 0);
  ASSERT_TRUE(a && b);
  Chain chain{b};
  FSOUND_Stream_SetEndCallback(a, playNext, &chain);
  size_t start = capture->frames();
  FSOUND_Stream_Play(0, a);
  ASSERT_TRUE(eventually([&] { return chain.started == 1; }));
  ASSERT_TRUE(capture->advance(kRate / 2));
  std::vector<std::int16_t> out = capture->samples();
  // No gap worth hearing between the two: at most a few buffers of silence.
  size_t aEnd = start + kRate / 2;
  EXPECT_GT(rms(out, aEnd + 4 * 1024, aEnd + 8 * 1024), 5000.0);
  FSOUND_Stream_Close(a);
  FSOUND_Stream_Close(b);
}

TEST_F(SoundTest, StreamStartsAgainFromItsBeginning) {
  FSOUND_STREAM* s = FSOUND_Stream_Open(dir->file("sweep.mp3").c_str(), 0, 0, 0);
  ASSERT_NE(s, nullptr);
  size_t start = capture->frames();
  FSOUND_Stream_Play(0, s);
  ASSERT_TRUE(capture->advance(kRate));  // the sweep is at ~1650 Hz by now
  FSOUND_Stream_Stop(s);
  ASSERT_TRUE(capture->advance(kRate / 10));
  size_t again = capture->frames();
  FSOUND_Stream_Play(0, s);
  ASSERT_TRUE(capture->advance(kRate / 2));
  std::vector<std::int16_t> out = capture->samples();
  size_t first = firstLoudFrame(out, start);
  size_t restart = firstLoudFrame(out, again);
  double f0 = toneFrequency(out, first + 500, first + 500 + kRate / 10, kRate);
  double f1 = toneFrequency(out, restart + 500, restart + 500 + kRate / 10, kRate);
  EXPECT_NEAR(f1, f0, 40.0);
  EXPECT_LT(f1, 500.0);
  FSOUND_Stream_Close(s);
}

TEST_F(SoundTest, OtherRatesKeepTheirPitchAndMonoFillsBothSides) {
  for (const char* name : {"tone22k_mono.mp3", "tone48k.mp3"}) {
    FSOUND_STREAM* s = FSOUND_Stream_Open(dir->file(name).c_str(), 0, 0, 0);
    ASSERT_NE(s, nullptr) << name;
    EndLog log;
    FSOUND_Stream_SetEndCallback(s, recordEnd, &log);
    size_t start = capture->frames();
    FSOUND_Stream_Play(0, s);
    ASSERT_TRUE(eventually([&] { return log.calls == 1; })) << name;
    std::vector<std::int16_t> out = capture->samples();
    size_t first = firstLoudFrame(out, start);
    double f = toneFrequency(out, first + 2000, first + 2000 + kRate, kRate);
    EXPECT_NEAR(f, 1000.0, 5.0) << name;
    // The same loudness on the right as on the left.
    std::vector<std::int16_t> right(out.size());
    for (size_t i = 0; i + 1 < out.size(); i += 2) right[i] = right[i + 1] = out[i + 1];
    std::vector<std::int16_t> left(out.size());
    for (size_t i = 0; i + 1 < out.size(); i += 2) left[i] = left[i + 1] = out[i];
    EXPECT_NEAR(rms(right, first, first + kRate), rms(left, first, first + kRate), 200.0) << name;
    FSOUND_Stream_Close(s);
  }
}

TEST_F(SoundTest, StreamThatTurnsCorruptEndsThere) {
  std::vector<std::uint8_t> mp3 = readFile(dir->file("tone440.mp3"));
  for (size_t i = mp3.size() / 2; i < mp3.size(); ++i) mp3[i] = static_cast<std::uint8_t>(i * 7919u >> 3);
  ASSERT_TRUE(writeFile(dir->file("halfbad.mp3"), mp3));
  FSOUND_STREAM* s = FSOUND_Stream_Open(dir->file("halfbad.mp3").c_str(), 0, 0, 0);
  ASSERT_NE(s, nullptr);
  EndLog log;
  FSOUND_Stream_SetEndCallback(s, recordEnd, &log);
  FSOUND_Stream_Play(0, s);
  EXPECT_TRUE(eventually([&] { return log.calls == 1; }));
  FSOUND_Stream_Close(s);
}

TEST_F(SoundTest, ModuleEndsWhenNotLoopingAndRestartsFromTheTop) {
  FMUSIC_MODULE* m = FMUSIC_LoadSongEx(dir->file("song.it").c_str(), 0, 0, 0, nullptr, 0);
  ASSERT_NE(m, nullptr);
  EXPECT_TRUE(FMUSIC_IsFinished(m));  // not started
  ASSERT_TRUE(FMUSIC_SetLooping(m, FALSE));
  size_t start = capture->frames();
  ASSERT_TRUE(FMUSIC_PlaySong(m));
  EXPECT_FALSE(FMUSIC_IsFinished(m));
  ASSERT_TRUE(eventually([&] { return FMUSIC_IsFinished(m) != 0; }));
  size_t finishedAt = capture->frames();
  // 32 rows at speed 6, tempo 125: 3.84 s, all of it mixed before the module reports its end
  // (the driver writes the buffer that holds the last frames just after it was mixed).
  EXPECT_GE(finishedAt - start + 512, size_t(3.84 * kRate));
  EXPECT_LE(finishedAt - start, size_t(3.84 * kRate) + 4 * 1024);
  std::vector<std::int16_t> out = capture->samples();
  EXPECT_GT(rms(out, start + kRate / 10, start + kRate / 2), 1000.0);

  // Paused: no progress, no end.
  ASSERT_TRUE(FMUSIC_PlaySong(m));
  ASSERT_TRUE(capture->advance(kRate / 4));
  ASSERT_TRUE(FMUSIC_SetPaused(m, TRUE));
  EXPECT_TRUE(FMUSIC_GetPaused(m));
  ASSERT_TRUE(capture->advance(kRate * 2));
  EXPECT_FALSE(FMUSIC_IsFinished(m));
  ASSERT_TRUE(FMUSIC_StopSong(m));
  EXPECT_TRUE(FMUSIC_IsFinished(m));
  EXPECT_FALSE(FMUSIC_GetPaused(m));

  // Started again after a stop midway: the whole song once more.
  size_t again = capture->frames();
  ASSERT_TRUE(FMUSIC_PlaySong(m));
  ASSERT_TRUE(eventually([&] { return FMUSIC_IsFinished(m) != 0; }));
  EXPECT_GE(capture->frames() - again + 512, size_t(3.84 * kRate));

  // Looping: still going well past its length.
  ASSERT_TRUE(FMUSIC_SetLooping(m, TRUE));
  size_t loopStart = capture->frames();
  ASSERT_TRUE(FMUSIC_PlaySong(m));
  ASSERT_TRUE(capture->advance(5 * kRate));
  EXPECT_FALSE(FMUSIC_IsFinished(m));
  out = capture->samples();
  EXPECT_GT(rms(out, loopStart + 4 * kRate, loopStart + 5 * kRate - 2048), 1000.0);
  EXPECT_TRUE(FMUSIC_FreeSong(m));
}

namespace {
struct PingPong {
  FSOUND_STREAM* other[2] = {nullptr, nullptr};
  std::atomic<int> ends{0};
};
signed char bounce(FSOUND_STREAM* s, void*, int, void* user) {
  auto* p = static_cast<PingPong*>(user);
  ++p->ends;
  FSOUND_Stream_Play(0, s == p->other[0] ? p->other[1] : p->other[0]);
  return TRUE;
}
}  // namespace

// Calls from the application racing the mixer, the decoder and end callbacks that call back in:
// nothing deadlocks, and the sanitizer builds see no race.
TEST_F(SoundTest, CallsRacingTheAudioThreadsStayConsistent) {
  ASSERT_TRUE(makeMp3(dir->file("blip.mp3"), kRate, 2, 0.08, "sine 440"));
  PingPong p;
  p.other[0] = FSOUND_Stream_Open(dir->file("blip.mp3").c_str(), 0, 0, 0);
  p.other[1] = FSOUND_Stream_Open(dir->file("blip.mp3").c_str(), 0, 0, 0);
  FMUSIC_MODULE* m = FMUSIC_LoadSongEx(dir->file("song.it").c_str(), 0, 0, 0, nullptr, 0);
  ASSERT_TRUE(p.other[0] && p.other[1] && m);
  for (FSOUND_STREAM* s : p.other) FSOUND_Stream_SetEndCallback(s, bounce, &p);
  FSOUND_Stream_Play(0, p.other[0]);
  ASSERT_TRUE(eventually([&] { return p.ends >= 4; }));  // the two play each other in turn
  auto until = std::chrono::steady_clock::now() + 1500ms;
  for (int i = 0; std::chrono::steady_clock::now() < until; ++i) {
    switch (i % 7) {
      case 0:
        FSOUND_SetPaused(0, TRUE);
        break;
      case 1:
        FSOUND_SetPaused(0, FALSE);
        break;
      case 2:
        FMUSIC_PlaySong(m);
        break;
      case 3:
        FMUSIC_SetPaused(m, i % 2);
        break;
      case 4:
        FMUSIC_StopSong(m);
        break;
      case 5:
        FSOUND_Stream_Play(0, p.other[i % 2]);
        break;
      default:
        FSOUND_Stream_Stop(p.other[i % 2]);
        FSOUND_Stream_Play(0, p.other[(i + 1) % 2]);
        break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(300 + 97 * (i % 13)));
  }
  FSOUND_Stream_SetEndCallback(p.other[0], nullptr, nullptr);
  FSOUND_Stream_SetEndCallback(p.other[1], nullptr, nullptr);
  EXPECT_TRUE(FSOUND_Stream_Close(p.other[0]));
  EXPECT_TRUE(FSOUND_Stream_Close(p.other[1]));
  EXPECT_TRUE(FMUSIC_FreeSong(m));
}

// The orderly shutdown: close while a stream and a module play, then release the handles.
TEST_F(SoundTest, ShutdownFadesToSilenceBeforeTheDeviceCloses) {
  FSOUND_STREAM* s = FSOUND_Stream_Open(dir->file("tone440.mp3").c_str(), 0, 0, 0);
  FMUSIC_MODULE* m = FMUSIC_LoadSongEx(dir->file("song.it").c_str(), 0, 0, 0, nullptr, 0);
  ASSERT_TRUE(s && m);
  ASSERT_EQ(FSOUND_Stream_Play(0, s), 0);
  ASSERT_TRUE(FMUSIC_PlaySong(m));
  ASSERT_TRUE(capture->advance(kRate / 2));
  FSOUND_Close();
  const size_t closedAt = capture->frames();
  EXPECT_TRUE(FSOUND_Stream_Close(s));
  EXPECT_TRUE(FMUSIC_FreeSong(m));
  EXPECT_EQ(capture->frames(), closedAt) << "the device kept writing after the close";
  expectEndsInSilence(capture->samples());
}

TEST_F(SoundTest, HandlesOutliveClose) {
  FSOUND_STREAM* s = FSOUND_Stream_Open(dir->file("tone440.mp3").c_str(), 0, 0, 0);
  FMUSIC_MODULE* m = FMUSIC_LoadSongEx(dir->file("song.it").c_str(), 0, 0, 0, nullptr, 0);
  ASSERT_TRUE(s && m);
  FSOUND_Stream_Play(0, s);
  FMUSIC_PlaySong(m);
  FSOUND_Close();
  EXPECT_EQ(FSOUND_Stream_Play(0, s), -1);
  EXPECT_FALSE(FMUSIC_PlaySong(m));
  EXPECT_TRUE(FSOUND_Stream_Close(s));
  EXPECT_TRUE(FMUSIC_FreeSong(m));
}
