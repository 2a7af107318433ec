#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "caption.h"
#include "player.h"
#include "playlist.h"
#include "sound_fixtures.h"

using namespace kq::soundtest;
using namespace std::chrono_literals;

namespace {

constexpr int kRate = 44100;
constexpr double kStreamSeconds = 3.0;
constexpr double kModuleSeconds = 3.84;  // 32 rows
constexpr int kClickThreshold = 2500;

// Each stream plays its own tone, so the capture tells which track was heard.
double toneOf(int index) { return 300.0 + 100.0 * index; }

FMUSIC_MODULE* moduleHandle() { return static_cast<FMUSIC_MODULE*>(playlist[5].handle); }

class PlayerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new TempDir;
    std::filesystem::create_directory(dir->file("tunes"));
    for (int i = 0; i < kTrackCount; ++i) {
      char name[32];
      if (i == 5) {
        ASSERT_TRUE(writeFile(dir->file("tunes/track06.IT"), shortModule(32)));
        continue;
      }
      std::snprintf(name, sizeof name, "tunes/track%02d.mp3", i + 1);
      ASSERT_TRUE(makeMp3(dir->file(name), kRate, 2, kStreamSeconds, "sine " + std::to_string(int(toneOf(i)))));
    }
    previousDir = std::filesystem::current_path();
    std::filesystem::current_path(dir->path());
  }
  static void TearDownTestSuite() {
    std::filesystem::current_path(previousDir);
    delete dir;
  }
  void SetUp() override {
    capture = std::make_unique<DiskCapture>(
        dir->file(std::string("out-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".raw"));
    ASSERT_TRUE(playerInit(kRate));
    playCurrent();
  }
  void TearDown() override { playerShutdown(); }

  // Moves to `index` with next presses and drains the caption mark.
  void goTo(int index) {
    while (currentTrack != index) nextTrack();
    playerPoll();
  }
  // Main-loop passes until `done` or the timeout; false on timeout.
  template <class Pred>
  bool pollUntil(Pred done, std::chrono::milliseconds timeout = 20s) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      playerPoll();
      std::this_thread::sleep_for(1ms);
    }
    return true;
  }

  static TempDir* dir;
  static std::filesystem::path previousDir;
  std::unique_ptr<DiskCapture> capture;
};
TempDir* PlayerTest::dir = nullptr;
std::filesystem::path PlayerTest::previousDir;

}  // namespace

TEST(Playlist, LayoutOfTheCaptionTexts) {
  static_assert(sizeof(PlaylistEntry::path) == 64 && sizeof(PlaylistEntry::title) == 25 &&
                sizeof(PlaylistEntry::artist) == 11 && sizeof(TrackKind) == 4 && sizeof(currentTrack) == 1);
  const size_t artistLength[kTrackCount] = {5, 5, 5, 5, 5, 6, 4, 4, 8, 4, 4};
  for (int i = 0; i < kTrackCount; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(playlist[i].kind, i == 5 ? TrackKind::Module : TrackKind::Stream);
    EXPECT_EQ(std::strlen(playlist[i].title), i == 8 ? 16u : i == 9 ? 17u : 18u);
    EXPECT_EQ(std::strlen(playlist[i].artist), artistLength[i]);
    EXPECT_EQ(playlist[i].artist[0] == ' ', i != 8);
    EXPECT_EQ(std::strncmp(playlist[i].path, "tunes\\track", 11), 0);
  }
  EXPECT_STREQ(playlist[0].title, "   JingleBells    ");
  EXPECT_STREQ(playlist[5].path, "tunes\\track06.IT");
  for (int i : {1, 2, 3, 4}) EXPECT_STREQ(playlist[i].artist, playlist[0].artist);
  for (int i : {7, 9}) EXPECT_STREQ(playlist[i].artist, playlist[6].artist);
  for (int i : {5, 8, 10}) {
    for (int j = 0; j < kTrackCount; ++j) {
      if (j != i) {
        EXPECT_STRNE(playlist[i].artist, playlist[j].artist) << i << " " << j;
      }
    }
  }
}

TEST_F(PlayerTest, StartsPlayingTrackOneAndReportsTheCaptionOnce) {
  EXPECT_EQ(playerState(), PlayState::Playing);
  EXPECT_EQ(currentTrack, 0);
  EXPECT_TRUE(playerPoll());
  EXPECT_FALSE(playerPoll());
}

TEST_F(PlayerTest, PlayPauseTogglesAndEachPressIsReported) {
  playerPoll();
  const PlayState expected[] = {PlayState::Paused, PlayState::Playing, PlayState::Paused};
  for (PlayState state : expected) {
    playPause();
    EXPECT_EQ(playerState(), state);
    EXPECT_EQ(FSOUND_GetPaused(0) != 0, state == PlayState::Paused);
    EXPECT_TRUE(playerPoll());
    EXPECT_FALSE(playerPoll());
  }
  // The module is paused through its own handle.
  goTo(5);
  playPause();
  EXPECT_EQ(playerState(), PlayState::Paused);
  EXPECT_TRUE(FMUSIC_GetPaused(moduleHandle()));
  playPause();
  EXPECT_EQ(playerState(), PlayState::Playing);
  EXPECT_FALSE(FMUSIC_GetPaused(moduleHandle()));
}

TEST_F(PlayerTest, StopThenPlayPauseRestartsTheSameTrack) {
  nextTrack();
  playerPoll();
  stopTrack();
  EXPECT_EQ(playerState(), PlayState::Stopped);
  EXPECT_TRUE(playerPoll());
  stopTrack();
  EXPECT_EQ(playerState(), PlayState::Stopped);
  EXPECT_TRUE(playerPoll());
  playPause();
  EXPECT_EQ(playerState(), PlayState::Playing);
  EXPECT_EQ(currentTrack, 1);
  EXPECT_TRUE(playerPoll());
  // From Paused as well.
  playPause();
  stopTrack();
  EXPECT_EQ(playerState(), PlayState::Stopped);
  playPause();
  EXPECT_EQ(playerState(), PlayState::Playing);
  EXPECT_FALSE(FSOUND_GetPaused(0));
}

TEST_F(PlayerTest, NextAndPreviousPlayFromAnyStateAndWrap) {
  playPause();  // paused
  nextTrack();
  EXPECT_EQ(playerState(), PlayState::Playing);
  EXPECT_EQ(currentTrack, 1);
  EXPECT_FALSE(FSOUND_GetPaused(0));
  stopTrack();
  nextTrack();
  EXPECT_EQ(playerState(), PlayState::Playing);
  EXPECT_EQ(currentTrack, 2);

  goTo(0);
  playPause();  // paused
  previousTrack();
  EXPECT_EQ(playerState(), PlayState::Playing);
  EXPECT_EQ(currentTrack, 10);
  EXPECT_TRUE(playerPoll());
  nextTrack();
  EXPECT_EQ(currentTrack, 0);
  for (int i = 0; i < kTrackCount; ++i) nextTrack();
  EXPECT_EQ(currentTrack, 0);
  EXPECT_EQ(playerState(), PlayState::Playing);
}

TEST_F(PlayerTest, StoppedModuleDoesNotAdvance) {
  goTo(5);
  stopTrack();
  EXPECT_TRUE(FMUSIC_IsFinished(moduleHandle()));
  ASSERT_TRUE(capture->advance(size_t(kModuleSeconds * kRate) + kRate / 2));
  for (int i = 0; i < 5; ++i) playerPoll();
  EXPECT_EQ(currentTrack, 5);
  EXPECT_EQ(playerState(), PlayState::Stopped);
  playPause();
  EXPECT_EQ(playerState(), PlayState::Playing);
  EXPECT_FALSE(FMUSIC_IsFinished(moduleHandle()));
  EXPECT_EQ(currentTrack, 5);
}

TEST_F(PlayerTest, ModuleEndAdvancesToTrackSevenWithinOnePoll) {
  goTo(5);
  auto deadline = std::chrono::steady_clock::now() + 20s;
  while (!FMUSIC_IsFinished(moduleHandle()) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_TRUE(FMUSIC_IsFinished(moduleHandle()));
  EXPECT_TRUE(playerPoll());
  EXPECT_EQ(currentTrack, 6);
  EXPECT_EQ(playerState(), PlayState::Playing);
}

TEST_F(PlayerTest, StreamEndPlaysTheNextTrack) {
  playerPoll();
  size_t start = capture->frames();
  ASSERT_TRUE(pollUntil([] { return currentTrack == 1; }));
  EXPECT_EQ(playerState(), PlayState::Playing);
  ASSERT_TRUE(capture->advance(kRate + kRate / 4));
  std::vector<std::int16_t> out = capture->samples();
  size_t first = firstLoudFrame(out, start);
  size_t trackEnd = first + size_t(kStreamSeconds * kRate);
  EXPECT_NEAR(toneFrequency(out, first + 1000, trackEnd - 1000, kRate), toneOf(0), 2.0);
  // The next track follows within a few buffers and its first second is its own tone.
  size_t next = firstLoudFrame(out, trackEnd + 64);
  EXPECT_LT(next - trackEnd, 4u * 1024u);
  EXPECT_NEAR(toneFrequency(out, next + 300, next + kRate, kRate), toneOf(1), 2.0);
  EXPECT_LT(maxJump(out, start, out.size() / 2), kClickThreshold);
}

TEST_F(PlayerTest, EndOfATrackAlreadyLeftAdvancesNothing) {
  playerPoll();
  // The stream ends while no poll runs; then the user stops: the late end is dropped.
  ASSERT_TRUE(capture->advance(size_t(kStreamSeconds * kRate) + kRate / 2));
  stopTrack();
  playerPoll();
  EXPECT_EQ(currentTrack, 0);
  EXPECT_EQ(playerState(), PlayState::Stopped);

  // Likewise when the user skipped on.
  playPause();
  ASSERT_TRUE(capture->advance(size_t(kStreamSeconds * kRate) + kRate / 2));
  nextTrack();
  playerPoll();
  EXPECT_EQ(currentTrack, 1);
}

TEST_F(PlayerTest, PauseAndStopAreHeardAsSilenceWithoutClicks) {
  playerPoll();
  size_t start = capture->frames();
  ASSERT_TRUE(capture->advance(kRate / 4));
  size_t pauseAt = capture->frames();
  playPause();
  ASSERT_TRUE(capture->advance(kRate / 4));
  size_t resumeAt = capture->frames();
  playPause();
  ASSERT_TRUE(capture->advance(kRate / 4));
  size_t skipAt = capture->frames();
  nextTrack();
  ASSERT_TRUE(capture->advance(kRate / 4));
  size_t backAt = capture->frames();
  previousTrack();
  ASSERT_TRUE(capture->advance(kRate / 4));
  size_t stopAt = capture->frames();
  stopTrack();
  ASSERT_TRUE(capture->advance(kRate / 4));
  size_t end = capture->frames();

  std::vector<std::int16_t> out = capture->samples();
  const size_t lag = 2048 + 256;
  EXPECT_GT(rms(out, firstLoudFrame(out, start) + 256, pauseAt), 5000.0);
  EXPECT_EQ(rms(out, pauseAt + lag, resumeAt), 0.0);
  EXPECT_GT(rms(out, resumeAt + lag, skipAt), 5000.0);
  EXPECT_NEAR(toneFrequency(out, skipAt + lag, backAt, kRate), toneOf(1), 3.0);
  EXPECT_NEAR(toneFrequency(out, backAt + lag, stopAt, kRate), toneOf(0), 3.0);
  EXPECT_EQ(rms(out, stopAt + lag, end), 0.0);
  EXPECT_LT(maxJump(out, start, end), kClickThreshold);
}

struct Caption {
  char pieces[kCaptionPieceCount][kCaptionPieceSize];
  Caption() {
    std::memset(pieces, 'X', sizeof pieces);  // every byte is written
    buildCaptionLines(pieces);
  }
  std::vector<std::string> texts() const {
    std::vector<std::string> all;
    for (const auto& piece : pieces) {
      EXPECT_EQ(piece[kCaptionPieceSize - 1], '\0');
      all.emplace_back(piece);
    }
    return all;
  }
};

// Pieces 2 to 5 of every track, as the wagons show them; the state word is piece 1.
const std::vector<std::string> kTrackPieces[kTrackCount] = {
    {" track 1 ", "   Jingle", "Bells    ", "by tgen"},  {" track 2 ", "Away In  ", "a Manger ", "by tgen"},
    {" track 3 ", "   Let It", "Snow     ", "by tgen"},  {" track 4 ", " Come All", "Ye Duet  ", "by tgen"},
    {" track 5 ", " What Are", "You Doing", "by tgen"},  {" track 6 ", " Carol Of", "The Bells", "by tg-it"},
    {" track 7 ", "Holy Nite", "Metal Mix", "by kqt"},   {" track 8 ", "Ohh Xmas ", "Tree     ", "by kqt"},
    {" track 9 ", "   Surfer", "Frosty by", "tgen-mix"}, {" track 10", " WeWishUM", "erryXmas ", "by kqt"},
    {" track 11", " O Holy  ", "Night    ", " by kqd"},
};

std::vector<std::string> withState(const char* state, const std::vector<std::string>& rest) {
  std::vector<std::string> all{state};
  all.insert(all.end(), rest.begin(), rest.end());
  return all;
}

TEST_F(PlayerTest, CaptionOfEveryTrackInEveryState) {
  for (int track = 0; track < kTrackCount; ++track) {
    SCOPED_TRACE(track + 1);
    ASSERT_EQ(currentTrack, track);
    EXPECT_EQ(Caption().texts(), withState(" playing ", kTrackPieces[track]));
    togglePause();
    EXPECT_EQ(Caption().texts(), withState(" (paused)", kTrackPieces[track]));
    stopTrack();
    EXPECT_EQ(Caption().texts(), withState("(stopped)", kTrackPieces[track]));
    nextTrack();
  }
  EXPECT_EQ(currentTrack, 0) << "wrapped";
}

// Titles and credits that fill their whole fields, without a terminating NUL, are cut at
// their fields' ends instead of running on into the next field.
TEST_F(PlayerTest, CaptionOfFullFieldsStaysInsideThem) {
  stopTrack();
  PlaylistEntry& entry = playlist[0];
  const PlaylistEntry saved = entry;
  std::memset(entry.title, 'T', sizeof entry.title);
  std::memset(entry.artist, 'A', sizeof entry.artist);
  const std::vector<std::string> expected{"(stopped)", " track 1 ", "TTTTTTTTT", "TTTTTTTTT", "TTTTTTbyA"};
  const std::vector<std::string> texts = Caption().texts();
  entry = saved;
  EXPECT_EQ(texts, expected);
}

TEST(PlayerInit, FailsWhenATuneIsMissing) {
  TempDir empty;
  auto previous = std::filesystem::current_path();
  std::filesystem::current_path(empty.path());
  DiskCapture capture(empty.file("out.raw"));
  EXPECT_FALSE(playerInit(kRate));
  playerShutdown();
  std::filesystem::current_path(previous);
}
