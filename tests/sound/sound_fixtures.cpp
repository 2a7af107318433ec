#include "sound_fixtures.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "it_writer.h"

namespace kq::soundtest {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kqsound-XXXXXX").string();
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (::mkdtemp(buf.data()) == nullptr) std::abort();
  m_path = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(m_path, ec);
}

bool makeMp3(const std::string& path, int rate, int channels, double seconds, const std::string& synth, double volume) {
  std::string wav = path + ".wav";
  char cmd[1024];
  std::snprintf(cmd, sizeof cmd,
                "sox -q -n -r %d -c %d -b 16 '%s' synth %.3f %s vol %.3f && "
                "lame --quiet -b %d '%s' '%s'",
                rate, channels, wav.c_str(), seconds, synth.c_str(), volume, rate > 24000 ? 128 : 64, wav.c_str(),
                path.c_str());
  int rc = std::system(cmd);
  std::remove(wav.c_str());
  return rc == 0;
}

std::vector<std::uint8_t> shortModule(int rows) {
  itw::Module m;
  m.name = "fixture";
  m.channels = 1;
  itw::Sample s;
  s.name = "sine";
  const int period = 100;  // 441 Hz at a C5 speed of 44100
  for (int i = 0; i < period; ++i) {
    s.pcm.push_back(static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * i / period)));
  }
  s.loop = true;
  s.loopBegin = 0;
  s.loopEnd = period;
  m.samples.push_back(s);
  itw::Pattern p(rows, 1);
  p.at(0, 0).note = itw::kMiddleC;
  p.at(0, 0).instrument = 1;
  m.patterns.push_back(p);
  m.orders = {0};
  itw::WriteResult r = itw::writeIt(m);
  if (!r.ok) {
    std::fprintf(stderr, "module fixture: %s\n", r.error.c_str());
    std::abort();
  }
  return r.bytes;
}

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}

std::vector<std::uint8_t> readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

DiskCapture::DiskCapture(std::string file, int delayMs) : m_file(std::move(file)) {
  ::setenv("SDL_AUDIODRIVER", "disk", 1);
  ::setenv("SDL_DISKAUDIOFILE", m_file.c_str(), 1);
  ::setenv("SDL_DISKAUDIODELAY", std::to_string(delayMs).c_str(), 1);
}

size_t DiskCapture::frames() const {
  struct stat st {};
  if (::stat(m_file.c_str(), &st) != 0) return 0;
  return static_cast<size_t>(st.st_size) / 4;
}

bool DiskCapture::waitFrames(size_t count, std::chrono::milliseconds timeout) const {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (frames() < count) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

std::vector<std::int16_t> DiskCapture::samples() const {
  std::vector<std::uint8_t> bytes = readFile(m_file);
  std::vector<std::int16_t> out(bytes.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return out;
}

double rms(const std::vector<std::int16_t>& s, size_t from, size_t to) {
  to = std::min(to, s.size() / 2);
  if (to <= from) return 0.0;
  double sum = 0.0;
  for (size_t i = 2 * from; i < 2 * to; ++i) sum += double(s[i]) * s[i];
  return std::sqrt(sum / double(2 * (to - from)));
}

int maxJump(const std::vector<std::int16_t>& s, size_t from, size_t to) {
  to = std::min(to, s.size() / 2);
  int worst = 0;
  for (size_t f = from + 1; f < to; ++f) {
    for (size_t c = 0; c < 2; ++c) {
      worst = std::max(worst, std::abs(int(s[2 * f + c]) - int(s[2 * (f - 1) + c])));
    }
  }
  return worst;
}

double toneFrequency(const std::vector<std::int16_t>& s, size_t from, size_t to, int rate) {
  to = std::min(to, s.size() / 2);
  double first = -1.0, last = -1.0;
  int crossings = 0;
  for (size_t f = from + 1; f < to; ++f) {
    int a = s[2 * (f - 1)], b = s[2 * f];
    if (a < 0 && b >= 0) {
      double at = double(f - 1) + double(-a) / double(b - a);
      if (first < 0) first = at;
      last = at;
      ++crossings;
    }
  }
  if (crossings < 2) return 0.0;
  return (crossings - 1) * double(rate) / (last - first);
}

size_t firstLoudFrame(const std::vector<std::int16_t>& s, size_t from, int level) {
  for (size_t f = from; f < s.size() / 2; ++f) {
    if (std::abs(int(s[2 * f])) > level || std::abs(int(s[2 * f + 1])) > level) return f;
  }
  return s.size() / 2;
}

}  // namespace kq::soundtest
