// The audio path's cost and latency, measured on the real layer:
//  - CPU: the whole process's CPU time (SDL's mixing thread plus the decoder worker; the main
//    thread sleeps) per second of audio played in real time on SDL's dummy driver, reported as
//    the counter cpu_percent (percent of one core). Also the decoders alone, per second of audio.
//  - Latency: the time from a track change (stop one stream, play another, as the next button
//    does) until the new track's first loud sample has been mixed and handed to the driver, on the
//    disk driver paced in real time; a real device adds what its own buffer holds.
// Music: tunes/track01.mp3 and tunes/track06.IT when run beside the generated tunes, otherwise
// generated stand-ins (pink noise MP3, the hardest case for the decoder; an 8-channel module with
// a note on every channel every row).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "decoders.h"
#include "fmod.h"
#include "it_writer.h"
#include "path_resolve.h"
#include "sound_fixtures.h"

using namespace kq::soundtest;
using namespace std::chrono_literals;

namespace {

constexpr int kRate = 44100;

std::vector<std::uint8_t> busyModule() {
  itw::Module m;
  m.name = "bench";
  m.channels = 8;
  itw::Sample s;
  s.name = "saw";
  for (int i = 0; i < 256; ++i) s.pcm.push_back(static_cast<std::int16_t>((i - 128) * 200));
  s.loop = true;
  s.loopEnd = 256;
  m.samples.push_back(s);
  itw::Pattern p(64, 8);
  for (int row = 0; row < 64; ++row) {
    for (int ch = 0; ch < 8; ++ch) {
      p.at(row, ch).note = 48 + (row * 7 + ch * 5) % 24;
      p.at(row, ch).instrument = 1;
      p.at(row, ch).volume = 32;
    }
  }
  m.patterns.push_back(p);
  m.orders = {0, 0, 0, 0};
  return itw::writeIt(m).bytes;
}

struct Music {
  TempDir dir;
  std::string mp3, module, tone, silence;
  Music() {
    bool real = std::filesystem::exists("tunes/track01.mp3") && std::filesystem::exists("tunes/track06.IT");
    mp3 = real ? "tunes/track01.mp3" : dir.file("noise.mp3");
    module = real ? "tunes/track06.IT" : dir.file("busy.it");
    if (!real) {
      makeMp3(mp3, kRate, 2, 20.0, "pinknoise", 0.3);
      writeFile(module, busyModule());
    }
    tone = dir.file("tone.mp3");
    silence = dir.file("silence.mp3");
    makeMp3(tone, kRate, 2, 2.0, "sine 440");
    makeMp3(silence, kRate, 2, 30.0, "sine 440", 0.0);
  }
};

Music& music() {
  static Music m;
  return m;
}

double processCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + 1e-6 * double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

// Plays for `seconds` of wall time on the dummy driver; percent of one core used meanwhile.
template <class Start>
double cpuWhilePlaying(Start start, double seconds) {
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  if (!FSOUND_Init(kRate, 32, FSOUND_INIT_GLOBALFOCUS)) return -1.0;
  start();
  std::this_thread::sleep_for(300ms);  // past the first fill of the ring
  double cpu0 = processCpuSeconds();
  auto t0 = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  double cpu = processCpuSeconds() - cpu0;
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  FSOUND_Close();
  return 100.0 * cpu / wall;
}

// The MP3 stream on channel 0, paused right after it starts or not.
double cpuWhileStream(bool paused, double seconds) {
  FSOUND_STREAM* s = nullptr;
  const double percent = cpuWhilePlaying(
      [&] {
        s = FSOUND_Stream_Open(music().mp3.c_str(), 0, 0, 0);
        FSOUND_Stream_Play(0, s);
        if (paused) FSOUND_SetPaused(0, TRUE);
      },
      seconds);
  FSOUND_Stream_Close(s);
  return percent;
}

void BM_CpuWhileStreamPlays(benchmark::State& state) {
  for (auto _ : state) state.counters["cpu_percent"] = cpuWhileStream(false, 5.0);
}
BENCHMARK(BM_CpuWhileStreamPlays)->Iterations(1)->Unit(benchmark::kSecond);

void BM_CpuWhileModulePlays(benchmark::State& state) {
  for (auto _ : state) {
    FMUSIC_MODULE* m = nullptr;
    state.counters["cpu_percent"] = cpuWhilePlaying(
        [&] {
          m = FMUSIC_LoadSongEx(music().module.c_str(), 0, 0, 0, nullptr, 0);
          FMUSIC_SetLooping(m, TRUE);
          FMUSIC_PlaySong(m);
        },
        5.0);
    FMUSIC_FreeSong(m);
  }
}
BENCHMARK(BM_CpuWhileModulePlays)->Iterations(1)->Unit(benchmark::kSecond);

void BM_CpuWhilePaused(benchmark::State& state) {
  for (auto _ : state) state.counters["cpu_percent"] = cpuWhileStream(true, 3.0);
}
BENCHMARK(BM_CpuWhilePaused)->Iterations(1)->Unit(benchmark::kSecond);

// The decoders alone: time to render one second of audio.
void decodeSecond(benchmark::State& state, bool module) {
  auto bytes = kq::sound::readWholeFile(module ? music().module.c_str() : music().mp3.c_str());
  auto decoder = module ? kq::sound::openModule(*bytes, kRate, nullptr) : kq::sound::openMp3(*bytes, kRate, nullptr);
  std::vector<float> out(2 * 1024);
  for (auto _ : state) {
    size_t frames = 0;
    while (frames < size_t(kRate)) {
      bool ended = false;
      size_t n = decoder->render(out.data(), 1024, ended);
      frames += n;
      if (ended) decoder->rewind();
    }
    benchmark::DoNotOptimize(out.data());
  }
  // Seconds of audio rendered per second of CPU.
  state.counters["x_realtime"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
void BM_DecodeMp3Second(benchmark::State& state) { decodeSecond(state, false); }
void BM_DecodeModuleSecond(benchmark::State& state) { decodeSecond(state, true); }
BENCHMARK(BM_DecodeMp3Second)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeModuleSecond)->Unit(benchmark::kMillisecond);

// Frames from `from` on of the disk driver's file.
std::vector<std::int16_t> tailOf(const std::string& file, size_t from) {
  std::vector<std::int16_t> out;
  if (FILE* f = std::fopen(file.c_str(), "rb")) {
    std::fseek(f, long(from * 4), SEEK_SET);
    std::int16_t buf[4096];
    size_t n;
    while ((n = std::fread(buf, 2, 4096, f)) > 0) out.insert(out.end(), buf, buf + n);
    std::fclose(f);
  }
  return out;
}

// Track change to first audible sample, mixed and handed to the (real-time paced) disk driver.
void BM_TrackChangeLatency(benchmark::State& state) {
  TempDir dir;
  DiskCapture capture(dir.file("out.raw"), 12);  // 512 frames per 11.6 ms: real time
  if (!FSOUND_Init(kRate, 32, FSOUND_INIT_GLOBALFOCUS)) {
    state.SkipWithError("no device");
    return;
  }
  FSOUND_STREAM* quiet = FSOUND_Stream_Open(music().silence.c_str(), 0, 0, 0);
  FSOUND_STREAM* tone = FSOUND_Stream_Open(music().tone.c_str(), 0, 0, 0);
  double worst = 0.0, sum = 0.0;
  int count = 0;
  for (auto _ : state) {
    FSOUND_Stream_Play(0, quiet);
    std::this_thread::sleep_for(std::chrono::milliseconds(150 + 7 * (count % 5)));  // vary the phase
    size_t from = capture.frames();
    auto t0 = std::chrono::steady_clock::now();
    FSOUND_Stream_Stop(quiet);
    FSOUND_Stream_Play(0, tone);
    double latency = -1.0;
    while (std::chrono::steady_clock::now() - t0 < 1s) {
      std::vector<std::int16_t> out = tailOf(dir.file("out.raw"), from);
      if (firstLoudFrame(out, 0) < out.size() / 2) {
        latency = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        break;
      }
      std::this_thread::sleep_for(200us);
    }
    state.SetIterationTime(latency / 1000.0);
    worst = std::max(worst, latency);
    sum += latency;
    ++count;
    FSOUND_Stream_Stop(tone);
  }
  state.counters["mean_ms"] = sum / count;
  state.counters["worst_ms"] = worst;
  FSOUND_Stream_Close(quiet);
  FSOUND_Stream_Close(tone);
  FSOUND_Close();
}
BENCHMARK(BM_TrackChangeLatency)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
