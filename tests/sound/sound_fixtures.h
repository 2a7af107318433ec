// Fixtures for the sound layer's and the player's tests: MP3s made with sox and lame, a short IT
// module from the tune generator's writer, and the disk audio driver's capture of the mix.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace kq::soundtest {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return m_path; }
  std::string file(const std::string& name) const { return m_path + "/" + name; }

 private:
  std::string m_path;
};

// A sine tone (sox "synth" spec, e.g. "sine 440") encoded as CBR MP3 at the given rate and
// channel count. False when sox or lame failed.
bool makeMp3(const std::string& path, int rate, int channels, double seconds, const std::string& synth,
             double volume = 0.5);

// A module that plays one looped sine note at middle C for `rows` rows (0.12 s each), 32..200.
std::vector<std::uint8_t> shortModule(int rows);

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> readFile(const std::string& path);

// Points SDL's disk driver at `file` (paced: `delayMs` between 512-frame buffers, about 3x real time) for the next
// FSOUND_Init, and reads back what was mixed so far.
class DiskCapture {
 public:
  explicit DiskCapture(std::string file, int delayMs = 4);
  size_t frames() const;
  // Waits until at least `count` frames have been written; false on timeout.
  bool waitFrames(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;
  // Waits for `count` more frames than now.
  bool advance(size_t count) const { return waitFrames(frames() + count); }
  std::vector<std::int16_t> samples() const;  // interleaved stereo

 private:
  std::string m_file;
};

// Over frames [from, to) of interleaved stereo samples.
double rms(const std::vector<std::int16_t>& s, size_t from, size_t to);
// Largest change between neighbouring samples of one channel.
int maxJump(const std::vector<std::int16_t>& s, size_t from, size_t to);
// Tone frequency from the left channel's rising zero crossings (with interpolation).
double toneFrequency(const std::vector<std::int16_t>& s, size_t from, size_t to, int rate);
// First frame at or after `from` whose left or right sample exceeds `level` in magnitude.
size_t firstLoudFrame(const std::vector<std::int16_t>& s, size_t from, int level = 300);

}  // namespace kq::soundtest
