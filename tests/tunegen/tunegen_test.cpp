#include "arrangement.h"
#include "instruments.h"
#include "it_writer.h"
#include "loudness.h"
#include "score.h"
#include "tunegen.h"
#include "tunes.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct TempDir {
  fs::path path;
  TempDir() {
    char pattern[] = "/tmp/tunegen_test_XXXXXX";
    path = mkdtemp(pattern);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

std::vector<uint8_t> readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Decoded {
  long rate = 0;
  int channels = 0;
  std::vector<float> samples;  // interleaved
  double seconds() const { return channels ? samples.size() / static_cast<double>(channels) / rate : 0.0; }
};

Decoded decodeMp3(const fs::path& p) {
  Decoded d;
  int err = 0;
  std::unique_ptr<mpg123_handle, void (*)(mpg123_handle*)> mh(mpg123_new(nullptr, &err), mpg123_delete);
  if (!mh) return d;
  mpg123_param(mh.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  mpg123_format_none(mh.get());
  mpg123_format(mh.get(), 44100, MPG123_STEREO | MPG123_MONO, MPG123_ENC_FLOAT_32);
  if (mpg123_open(mh.get(), p.c_str()) != MPG123_OK) return d;
  int enc = 0;
  if (mpg123_getformat(mh.get(), &d.rate, &d.channels, &enc) != MPG123_OK) return d;
  std::vector<unsigned char> buf(1 << 16);
  for (;;) {
    size_t done = 0;
    const int rc = mpg123_read(mh.get(), buf.data(), buf.size(), &done);
    const float* f = reinterpret_cast<const float*>(buf.data());
    d.samples.insert(d.samples.end(), f, f + done / sizeof(float));
    if (rc != MPG123_OK) break;
  }
  mpg123_close(mh.get());
  return d;
}

double rmsDb(const std::vector<float>& s, size_t from, size_t to) {
  double sum = 0.0;
  to = std::min(to, s.size());
  for (size_t i = from; i < to; ++i) sum += s[i] * s[i];
  return 10.0 * std::log10(sum / std::max<size_t>(1, to - from) + 1e-20);
}

TEST(Tunegen, RenderedTrackDecodesAtPlannedLengthBelowFullScale) {
  TempDir dir;
  const tune::GenerateResult result = tune::generateTunes({dir.path.string(), {2}});
  ASSERT_TRUE(result.ok) << result.error;
  ASSERT_EQ(result.tunes.size(), 1u);
  const fs::path file = dir.path / "track02.mp3";
  ASSERT_TRUE(fs::exists(file));
  EXPECT_FALSE(fs::exists(dir.path / "track02.mp3.part"));

  const std::vector<uint8_t> bytes = readFile(file);
  ASSERT_GT(bytes.size(), 10u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "ID3");

  const Decoded d = decodeMp3(file);
  ASSERT_EQ(d.rate, 44100);
  ASSERT_EQ(d.channels, 2);
  const double planned = result.tunes[0].plannedSeconds;
  EXPECT_GE(planned, 60.0);
  EXPECT_LE(planned, 150.0);
  EXPECT_NEAR(d.seconds(), planned, 0.5);
  // Bit rate: at least 160 kbps over the whole file.
  EXPECT_GE(bytes.size() * 8.0 / d.seconds() / 1000.0, 160.0);

  float peak = 0.0f;
  for (float v : d.samples) peak = std::max(peak, std::fabs(v));
  EXPECT_LT(peak, 0.9f);  // below -0.9 dBFS even after the encoder's overshoot
  EXPECT_GT(peak, 0.5f);
  EXPECT_GT(rmsDb(d.samples, 0, d.samples.size()), -30.0);  // music, not silence
  // Starts at once (no leading silence) and ends faded, not cut.
  EXPECT_GT(rmsDb(d.samples, 0, 2 * 44100 * 3 / 10), -45.0);
  EXPECT_LT(rmsDb(d.samples, d.samples.size() - 2 * 4410, d.samples.size()), -50.0);
}

// A track's bytes depend on nothing but the track: not on the run, nor on which other tracks
// are made with it, nor on the order they are asked for.
TEST(Tunegen, SameBytesWhicheverTracksAreMadeWithIt) {
  TempDir both, moduleOnly, songOnly;
  ASSERT_TRUE(tune::generateTunes({both.path.string(), {10, 6}}).ok);
  ASSERT_TRUE(tune::generateTunes({moduleOnly.path.string(), {6}}).ok);
  const tune::GenerateResult single = tune::generateTunes({songOnly.path.string(), {10}});
  ASSERT_TRUE(single.ok) << single.error;
  ASSERT_EQ(single.tunes.size(), 1u);
  EXPECT_FALSE(fs::exists(songOnly.path / "track06.IT"));
  for (const auto& [name, alone] : {std::pair{"track06.IT", &moduleOnly}, std::pair{"track10.mp3", &songOnly}}) {
    const auto x = readFile(both.path / name), y = readFile(alone->path / name);
    EXPECT_FALSE(x.empty()) << name;
    EXPECT_TRUE(x == y) << name << " differs when made with another track";
  }
}

TEST(Tunegen, ModuleLoadsAndPlaysToItsEnd) {
  const itw::Module module = tune::carolOfTheBells();
  const itw::WriteResult written = itw::writeIt(module);
  ASSERT_TRUE(written.ok) << written.error;
  std::unique_ptr<openmpt_module, void (*)(openmpt_module*)> mod(
      openmpt_module_create_from_memory2(written.bytes.data(), written.bytes.size(), openmpt_log_func_silent, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, nullptr),
      openmpt_module_destroy);
  ASSERT_TRUE(mod);
  EXPECT_EQ(openmpt_module_get_num_orders(mod.get()), static_cast<int>(module.orders.size()));
  EXPECT_EQ(openmpt_module_get_num_patterns(mod.get()), static_cast<int>(module.patterns.size()));
  EXPECT_EQ(openmpt_module_get_num_samples(mod.get()), static_cast<int>(module.samples.size()));
  EXPECT_EQ(openmpt_module_get_num_instruments(mod.get()), static_cast<int>(module.instruments.size()));
  const double planned = itw::playSeconds(module);
  EXPECT_GE(planned, 60.0);
  EXPECT_LE(planned, 150.0);
  EXPECT_NEAR(openmpt_module_get_duration_seconds(mod.get()), planned, 0.5);

  openmpt_module_ctl_set_text(mod.get(), "play.at_end", "stop");
  std::vector<float> buf(2 * 4096);
  size_t frames = 0;
  float peak = 0.0f;
  double lastSecondSum = 0.0, sum = 0.0;
  for (;;) {
    const size_t n = openmpt_module_read_interleaved_float_stereo(mod.get(), 44100, 4096, buf.data());
    if (n == 0) break;
    for (size_t i = 0; i < 2 * n; ++i) {
      peak = std::max(peak, std::fabs(buf[i]));
      sum += buf[i] * buf[i];
      if ((frames + i / 2) / 44100.0 > planned - 1.0) lastSecondSum += buf[i] * buf[i];
    }
    frames += n;
    ASSERT_LT(frames, 44100u * 200) << "module does not stop";
  }
  EXPECT_NEAR(frames / 44100.0, planned, 0.5);
  EXPECT_LT(peak, 1.0f);
  EXPECT_GT(peak, 0.2f);
  EXPECT_GT(10 * std::log10(sum / (2.0 * frames)), -30.0);
  EXPECT_LT(10 * std::log10(lastSecondSum / (2.0 * 44100) + 1e-20), -40.0);  // faded out at the end
}

tune::Stereo split(const std::vector<float>& interleaved) {
  tune::Stereo s;
  for (size_t i = 0; i + 1 < interleaved.size(); i += 2) {
    s.left.push_back(interleaved[i]);
    s.right.push_back(interleaved[i + 1]);
  }
  return s;
}

// The module as the program plays it: libopenmpt's float render, stopping at the song's end.
tune::Stereo renderModule(const std::vector<uint8_t>& bytes) {
  const openmpt_module_initial_ctl ctls[] = {{"play.at_end", "stop"}, {nullptr, nullptr}};
  std::unique_ptr<openmpt_module, void (*)(openmpt_module*)> mod(
      openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr, nullptr, nullptr,
                                         nullptr, nullptr, ctls),
      openmpt_module_destroy);
  std::vector<float> all, buf(2 * 4096);
  while (mod) {
    const size_t n = openmpt_module_read_interleaved_float_stereo(mod.get(), 44100, 4096, buf.data());
    if (n == 0) break;
    all.insert(all.end(), buf.begin(), buf.begin() + static_cast<long>(2 * n));
  }
  return split(all);
}

// The disk as a listener's meter reads it, from the files as written: every tune at the same
// loudness, none of them flat, and no MP3 whose decoded waveform comes near full scale.
// Measures the tunes the program ships: the folder the build's tune fixture fills, named by
// KQ_TUNES_DIR (CTest sets it), so the eleven renders are not made a second time here.
TEST(Tunegen, EveryTuneAtTheDisksLoudnessWithRangeAndHeadroom) {
  const char* folder = std::getenv("KQ_TUNES_DIR");
  ASSERT_NE(folder, nullptr) << "KQ_TUNES_DIR must name a folder of generated tunes";
  for (const tune::TuneInfo& t : tune::tuneList()) {
    const fs::path path = fs::path(folder) / t.fileName;
    ASSERT_TRUE(fs::exists(path)) << path;
    const bool module = t.number == tune::kModuleTrack;
    const tune::Stereo audio = module ? renderModule(readFile(path)) : split(decodeMp3(path).samples);
    ASSERT_GT(audio.left.size(), 44100u * 30) << path;
    const tune::Loudness l = tune::measureLoudness(audio, 44100);
    std::printf("track %2d  %6.1f LUFS  %4.1f LU  %5.2f dBTP\n", t.number, l.integrated, l.range, l.truePeak);
    EXPECT_NEAR(l.integrated, -14.0, 1.0) << path;
    EXPECT_GE(l.range, 3.0) << path;
    if (!module) {
      EXPECT_LE(l.truePeak, -1.0) << path;
    }
  }
}

// Composing finds each tune's end by rendering its closing notes: do it once for all tests.
const std::vector<std::pair<tune::TuneInfo, tune::Song>>& compositions() {
  static const auto songs = [] {
    std::vector<std::pair<tune::TuneInfo, tune::Song>> out;
    for (const tune::TuneInfo& info : tune::tuneList())
      if (info.number != tune::kModuleTrack) out.emplace_back(info, tune::composeSong(info.number));
    return out;
  }();
  return songs;
}

TEST(Tunegen, EveryCompositionFitsItsPlan) {
  for (const auto& [info, song] : compositions()) {
    EXPECT_GE(song.seconds, 60.0) << info.title;
    EXPECT_LE(song.seconds, 150.0) << info.title;
    ASSERT_FALSE(song.events.empty()) << info.title;
    double first = 1e9;
    for (const tune::Event& e : song.events) {
      first = std::min(first, e.time);
      EXPECT_GT(e.seconds, 0.0);
      EXPECT_GE(e.velocity, 0.0f);
      EXPECT_LE(e.velocity, 1.0f);
      // Every closing note has died away a second before the end: nothing is cut off.
      if (e.time > song.seconds - 20.0) {
        const size_t n = tune::renderNote(e.inst, tune::NoteSpec{e.key, e.seconds, e.velocity, 1}).size();
        EXPECT_LT(e.time + n / 44100.0, song.seconds - 1.0) << info.title;
      }
    }
    EXPECT_LT(first, 0.1) << info.title << " starts late";
  }
}

// Sounding ranges (MIDI keys) of the instruments the pitched voices imitate. A few voices are
// used past their namesake on purpose, and the table says so; a note outside it is a
// transposition slip (a part written an octave too high or low).
struct KeyRange {
  tune::Inst inst;
  int low, high;
};
constexpr KeyRange kPlayable[] = {
    {tune::Inst::Piano, 21, 108},
    {tune::Inst::EPiano, 28, 103},
    {tune::Inst::Celesta, 60, 108},
    {tune::Inst::Glockenspiel, 76, 108},  // orchestral bars start at G5 (79); O Christmas Tree opens on E5
    {tune::Inst::MusicBox, 53, 101},
    {tune::Inst::Vibes, 53, 93},  // a vibraphone ends at F6 (89); the waltz climbs
                                  // to A6
    {tune::Inst::ChurchBell, 36, 84},
    {tune::Inst::Harp, 24, 103},
    {tune::Inst::Pizzicato, 28, 100},
    {tune::Inst::UprightBass, 28, 67},
    {tune::Inst::ElectricBass, 28, 67},
    {tune::Inst::SurfGuitar, 40, 88},
    {tune::Inst::PowerChord, 40, 64},
    {tune::Inst::MutedPowerChord, 40, 64},
    {tune::Inst::Timpani, 36, 60},
    {tune::Inst::Strings, 28, 103},
    {tune::Inst::Choir, 40, 81},
    {tune::Inst::Organ, 24, 96},
    {tune::Inst::Flute, 60, 98},
    {tune::Inst::Clarinet, 50, 91},
    {tune::Inst::Trumpet, 54, 89},
    {tune::Inst::Horn, 34, 84},  // a horn's top is usually F5 (77); three arrangements lift it to C6
    {tune::Inst::Tuba, 26, 65},
    {tune::Inst::LeadGuitar, 40, 88},
    {tune::Inst::SynthPad, 24, 96},
};

TEST(Tunegen, PitchedNotesStayInTheirInstrumentsRange) {
  for (const auto& [info, song] : compositions()) {
    for (const tune::Event& e : song.events) {
      const auto range =
          std::find_if(std::begin(kPlayable), std::end(kPlayable), [&](const KeyRange& r) { return r.inst == e.inst; });
      if (range == std::end(kPlayable)) {
        EXPECT_GE(e.inst, tune::Inst::Kick) << info.title << ": pitched voice without a range";
        continue;
      }
      EXPECT_GE(e.key, range->low) << info.title << ", instrument " << static_cast<int>(e.inst) << " at " << e.time
                                   << " s";
      EXPECT_LE(e.key, range->high) << info.title << ", instrument " << static_cast<int>(e.inst) << " at " << e.time
                                    << " s";
    }
  }
}

TEST(Score, RitardandoSlowsWithoutJumps) {
  tune::TempoMap t(120.0);
  t.ritardando(8.0, 12.0, 0.5);
  EXPECT_DOUBLE_EQ(t.seconds(4.0), 2.0);
  EXPECT_NEAR(t.seconds(8.0), 4.0, 1e-12);
  double prevStep = 0.25;  // half a beat at 120
  for (double b = 8.0; b < 14.0; b += 0.5) {
    const double step = t.seconds(b + 0.5) - t.seconds(b);
    EXPECT_GE(step, prevStep - 1e-9);  // each beat at least as long as the one before
    prevStep = step;
  }
  EXPECT_NEAR(t.seconds(14.0) - t.seconds(13.0), 1.0, 1e-9);  // settled at half speed
}

TEST(Score, SwingDelaysTheOffbeatOnly) {
  tune::TempoMap t(60.0, 2.0 / 3.0);
  EXPECT_DOUBLE_EQ(t.seconds(3.0), 3.0);
  EXPECT_NEAR(t.seconds(3.5), 3.0 + 2.0 / 3.0, 1e-12);
}

TEST(Score, ParsesMelodyAndChords) {
  const auto notes = tune::parseMelody("C4:1 | D#4:0.5 Bb3 r:2 A4:1!", 4.0, 2);
  ASSERT_EQ(notes.size(), 4u);
  EXPECT_EQ(notes[0].key, 62);
  EXPECT_EQ(notes[1].key, 65);
  EXPECT_EQ(notes[2].beat, 5.5);
  EXPECT_EQ(notes[2].beats, 0.5);  // the previous length carries over
  EXPECT_EQ(notes[3].beat, 8.0);
  EXPECT_GT(notes[3].accent, 1.0f);
  const auto chords = tune::parseChords("Cmaj7:2 G7/B:2 F#m7b5:1 r:1 Bb6", 0.0);
  ASSERT_EQ(chords.size(), 4u);
  EXPECT_EQ(chords[1].root, 7);
  EXPECT_EQ(chords[1].bass, 11);
  EXPECT_EQ(chords[2].tones, (std::vector<int>{0, 3, 6, 10}));
  EXPECT_EQ(chords[3].beat, 6.0);
  EXPECT_EQ(chords[3].beats, 4.0);
  EXPECT_THROW(tune::parseChords("Cxyz:4", 0.0), std::invalid_argument);
}

std::vector<int> pitchClasses(const tune::Chord& c) {
  std::vector<int> pcs;
  for (int t : c.tones) pcs.push_back((c.root + t) % 12);
  std::sort(pcs.begin(), pcs.end());
  return pcs;
}

TEST(Score, ChordSymbolsSpellTheRightPitchClasses) {
  const struct {
    const char* symbol;
    int transpose;
    int root, bass;
    std::vector<int> pcs;
  } cases[] = {
      {"G7/B", 0, 7, 11, {2, 5, 7, 11}},   // slash chord: the third in the bass
      {"Bb/F", 0, 10, 5, {2, 5, 10}},      // flat root, fifth in the bass
      {"Ebmaj7", 0, 3, 3, {2, 3, 7, 10}},  // major seventh on a flat
      {"Bbm6", 0, 10, 10, {1, 5, 7, 10}},  // 'b' as a flat, then 'm' as minor
      {"F#m7b5", 0, 6, 6, {0, 4, 6, 9}},   // 'b5' belongs to the quality, not the root
      {"Edim7", 0, 4, 4, {1, 4, 7, 10}},  {"Db9", 0, 1, 1, {1, 3, 5, 8, 11}},
      {"Cb", 0, 11, 11, {3, 6, 11}},                                    // wraps below C
      {"B#m7", 0, 0, 0, {0, 3, 7, 10}},                                 // wraps above B
      {"Fadd9", 0, 5, 5, {0, 5, 7, 9}},   {"C", -5, 7, 7, {2, 7, 11}},  // transposed down across C
      {"Bb/F", 2, 0, 7, {0, 4, 7}},                                     // root and bass move together
      {"A7/C#", 3, 0, 4, {0, 4, 7, 10}},
  };
  for (const auto& c : cases) {
    const auto chords = tune::parseChords(std::string(c.symbol) + ":2", 0.0, c.transpose);
    ASSERT_EQ(chords.size(), 1u) << c.symbol;
    EXPECT_EQ(chords[0].root, c.root) << c.symbol;
    EXPECT_EQ(chords[0].bass, c.bass) << c.symbol;
    EXPECT_EQ(pitchClasses(chords[0]), c.pcs) << c.symbol;
    EXPECT_EQ(chords[0].beats, 2.0) << c.symbol;
  }
}

TEST(Score, AccidentalsCarryAcrossTheOctaveLine) {
  const auto notes = tune::parseMelody("Cb4:1 B#3:1 Ebb4:1 C-1:1 G9:1", 0.0);
  ASSERT_EQ(notes.size(), 5u);
  EXPECT_EQ(notes[0].key, 59);  // C flat 4 is B3, not B4
  EXPECT_EQ(notes[1].key, 60);  // B sharp 3 is C4
  EXPECT_EQ(notes[2].key, 62);
  EXPECT_EQ(notes[3].key, 0);
  EXPECT_EQ(notes[4].key, 127);
}

TEST(Score, MalformedNotationIsRefusedNotGuessed) {
  for (const char* melody : {"C:1", "C4:x", "C4:0", "C4:-1", "C4:1.5.2", "H4:1", ":2", "C45:1", "C4.5:1", "C4:"}) {
    EXPECT_THROW(tune::parseMelody(melody, 0.0), std::invalid_argument) << melody;
  }
  for (const char* chords : {"C/:4", "C/X:4", "G7/Bq:2", "Cm7:", "Cm7:nan", ":4", "Qm:4", "Cm7:0"}) {
    EXPECT_THROW(tune::parseChords(chords, 0.0), std::invalid_argument) << chords;
  }
}

TEST(Score, VoiceLeadingKeepsChordTonesInRangeAndMovesLittle) {
  const auto chords = tune::parseChords("C:4 Am7:4 Dm7:4 G7:4 C:4", 0.0);
  const auto v = tune::voiceLead(chords, 52, 70, 4);
  ASSERT_EQ(v.size(), chords.size());
  for (size_t i = 0; i < v.size(); ++i) {
    ASSERT_EQ(v[i].size(), 4u);
    for (int k : v[i]) {
      EXPECT_GE(k, 52);
      EXPECT_LE(k, 70);
      const tune::Chord& c = chords[i];
      EXPECT_TRUE(std::any_of(c.tones.begin(), c.tones.end(), [&](int t) { return (c.root + t) % 12 == k % 12; }));
    }
    EXPECT_TRUE(std::is_sorted(v[i].begin(), v[i].end()));
    if (i > 0) {
      int moved = 0;
      for (size_t k = 0; k < 4; ++k) moved += std::abs(v[i][k] - v[i - 1][k]);
      EXPECT_LE(moved, 8) << "chord " << i;  // smooth: no voice leaps about
    }
  }
}

bool isChordTone(const tune::Chord& c, int key) {
  return std::any_of(c.tones.begin(), c.tones.end(),
                     [&](int t) { return (c.root + t) % 12 == ((key % 12) + 12) % 12; });
}

TEST(Arrangement, HarmonyFallsAThirdToASixthBelowOnChordTones) {
  const auto chords = tune::parseChords("C:4 Am7:4 Dm7:2 G7:2 Fmaj7/A:4 C:4", 0.0, 3);
  const auto melody = tune::parseMelody("E5:1 G5 C6 D6 | C6:2 A5 E5 | F5:1 A5 B5 D6 | C6:2 E6 | G5:4", 0.0, 3);
  const auto harmony = tune::harmonyBelow(melody, chords);
  ASSERT_EQ(harmony.size(), melody.size());
  for (size_t i = 0; i < melody.size(); ++i) {
    const double below = melody[i].key - harmony[i].key;
    EXPECT_GE(below, 3.0) << i;
    EXPECT_LE(below, 9.0) << i;
    EXPECT_EQ(harmony[i].beat, melody[i].beat);
    EXPECT_EQ(harmony[i].beats, melody[i].beats);
    const tune::Chord* c = tune::chordAt(chords, melody[i].beat);
    ASSERT_NE(c, nullptr);
    bool toneAvailable = false;
    for (int d = 3; d <= 9; ++d) toneAvailable = toneAvailable || isChordTone(*c, static_cast<int>(melody[i].key) - d);
    if (toneAvailable) {
      EXPECT_TRUE(isChordTone(*c, static_cast<int>(harmony[i].key))) << "note " << i;
    }
  }
}

// At 60 beats a minute a beat is a second, so the events can be read back in beats.
TEST(Arrangement, CompedChordsNeverRingIntoTheNextChord) {
  tune::Arranger a("comp", tune::TempoMap(60.0), 3);
  const auto chords = tune::parseChords("C:3 F:1 G7:2 Am:2", 0.0);
  tune::Part piano;
  piano.legato = 1.0;
  tune::compChords(a, piano, chords, 55, 72, 3, 4.0, "x.xx", 1.5);
  const auto& events = a.song().events;
  ASSERT_FALSE(events.empty());
  for (const tune::Event& e : events) {
    const double beat = e.time - 0.03;  // the arranger's lead-in
    const tune::Chord* c = tune::chordAt(chords, beat + 0.01);
    ASSERT_NE(c, nullptr);
    EXPECT_LE(e.time + e.seconds, 0.03 + c->beat + c->beats + 0.01) << "struck at beat " << beat;
    EXPECT_TRUE(isChordTone(*c, static_cast<int>(e.key))) << e.key << " at beat " << beat;
    EXPECT_GE(e.key, 55);
    EXPECT_LE(e.key, 72);
  }
}

TEST(Arrangement, WalkingBassLeadsIntoEachNextRootByASemitone) {
  tune::Arranger a("walk", tune::TempoMap(60.0), 4);
  const auto chords = tune::parseChords("C:4 F:4 Bb/D:4 G7:4", 0.0);
  tune::Part bass;
  tune::bassLine(a, bass, chords, 36, tune::BassStyle::Walking, 4);
  const auto& events = a.song().events;
  ASSERT_EQ(events.size(), 16u);
  for (size_t bar = 0; bar < 4; ++bar) {
    const tune::Event& downbeat = events[bar * 4];
    EXPECT_EQ(static_cast<int>(downbeat.key) % 12, chords[bar].bass) << "bar " << bar;  // slash bass included
    if (bar + 1 < 4) {
      const double approach = events[bar * 4 + 3].key, next = events[bar * 4 + 4].key;
      EXPECT_EQ(std::fabs(approach - next), 1.0) << "bar " << bar;
    }
  }
}

}  // namespace
