// Carol of the Bells (M. Leontovych's Shchedryk, 1916) as an Impulse Tracker module: the
// four-note ostinato over the descending G-F-Eb-D bass, with parts entering one by one, a
// climax of tolling bells, and a slowing close. Its samples are rendered by our instruments.
#include "instruments.h"
#include "dsp.h"
#include "tunes.h"

#include <algorithm>
#include <cmath>

namespace tune {
namespace {

enum Ins { kBell = 1, kPizz, kPad, kChoir, kBass, kTimpani, kCrash, kToll, kSleigh };
enum Ch {
  kChOstinato,
  kChMotif,
  kChPadLow,
  kChPadMid,
  kChPadHigh,
  kChChoir,
  kChBass,
  kChPerc,
  kChToll,
  kChExtra,
  kChannels
};

constexpr int kRowsPerBar = 6;  // one row per eighth note in 3/4

// Renders a note to 16-bit at its natural pitch; `renderKey` is the MIDI key it was played at,
// so that IT note N sounds as MIDI key N.
itw::Sample makeSample(const char* name, Inst inst, int renderKey, double seconds, float velocity, uint64_t seed) {
  const std::vector<float> pcm = renderNote(inst, NoteSpec{static_cast<double>(renderKey), seconds, velocity, seed});
  float peak = 1e-9f;
  for (float v : pcm) peak = std::max(peak, std::fabs(v));
  itw::Sample s;
  s.name = name;
  s.pcm.reserve(pcm.size());
  for (float v : pcm) s.pcm.push_back(static_cast<int16_t>(std::lround(v / peak * 29000.0f)));
  s.c5Speed = static_cast<uint32_t>(std::lround(kRate * std::pow(2.0, (60 - renderKey) / 12.0)));
  return s;
}

// Sustained sample with a seamless loop: the loop's tail is cross-faded into the audio just
// before the loop start, so the jump back is inaudible.
itw::Sample makeLoopedSample(const char* name, Inst inst, int renderKey, uint64_t seed) {
  itw::Sample s = makeSample(name, inst, renderKey, 3.0, 0.8f, seed);
  const uint32_t begin = static_cast<uint32_t>(0.9 * kRate), end = static_cast<uint32_t>(2.4 * kRate);
  const uint32_t fade = static_cast<uint32_t>(0.35 * kRate);
  for (uint32_t i = 0; i < fade; ++i) {
    const double w = static_cast<double>(i) / fade;
    const double a = s.pcm[end - fade + i], b = s.pcm[begin - fade + i];
    s.pcm[end - fade + i] = static_cast<int16_t>(std::lround(a * (1.0 - w) + b * w));
  }
  s.pcm.resize(end);
  s.loop = true;
  s.loopBegin = begin;
  s.loopEnd = end;
  return s;
}

itw::Instrument instrument(const char* name, int sample, int nna, int fadeOut, int volume,
                           std::vector<itw::EnvelopeNode> envelope = {}, int sustain = -1) {
  itw::Instrument ins;
  ins.name = name;
  ins.sample = sample;
  ins.newNoteAction = nna;
  ins.fadeOut = fadeOut;
  ins.globalVolume = volume;
  ins.volumeEnvelope = std::move(envelope);
  ins.sustainNode = sustain;
  return ins;
}

void put(itw::Pattern& p, int row, int ch, int note, int ins, int vol = itw::kNoVolume, char fx = 0, int param = 0) {
  itw::Cell& c = p.at(row, ch);
  c.note = note;
  c.instrument = ins;
  c.volume = vol;
  if (fx) {
    c.command = itw::effect(fx);
    c.param = static_cast<uint8_t>(param);
  }
}

void effectOnly(itw::Pattern& p, int row, int ch, char fx, int param) {
  p.at(row, ch).command = itw::effect(fx);
  p.at(row, ch).param = static_cast<uint8_t>(param);
}

// MIDI keys (= IT notes) for G minor.
constexpr int G2 = 43, F2 = 41, Eb2 = 39, D2 = 38;
constexpr int G3 = 55, Bb3 = 58, A3 = 57, D4 = 62, F3 = 53, C4 = 60, Eb3 = 51, D3 = 50, Fs3 = 54;
constexpr int Fs4 = 66, G4 = 67, A4 = 69, Bb4 = 70, C5 = 72, D5 = 74;

struct BarHarmony {
  int bass;
  int pad[3];
  // The motif over this chord: its top, the step below and the note it falls to, all in G
  // minor with the raised F sharp over D, so no step clashes with the held chord.
  int top, step, fall;
};
// The four-bar cycle under the ostinato: G minor, F, E flat, D.
const BarHarmony kCycle[4] = {{G2, {G3, Bb3, D4}, D5, C5, Bb4},
                              {F2, {F3, A3, C4}, C5, Bb4, A4},
                              {Eb2, {Eb3, G3, Bb3}, Bb4, A4, G4},
                              {D2, {D3, Fs3, A3}, A4, G4, Fs4}};

// The motif (long-short-short-long: rows 0, 2, 3, 4) over the bar's chord, shaped as the
// ostinato, `octave` semitones from where the table has it.
void motif(itw::Pattern& p, int bar, int ch, int ins, int vol, int octave = 0) {
  const BarHarmony& h = kCycle[bar % 4];
  const int row = bar * kRowsPerBar;
  put(p, row, ch, h.top + octave, ins, vol);
  put(p, row + 2, ch, h.step + octave, ins, vol - 6);
  put(p, row + 3, ch, h.top + octave, ins, vol - 4);
  put(p, row + 4, ch, h.fall + octave, ins, vol - 2);
}

void ostinato(itw::Pattern& p, int bar, int ch, int ins, int vol, int octave = 0) {
  const int row = bar * kRowsPerBar;
  put(p, row, ch, Bb4 + octave, ins, vol);
  put(p, row + 2, ch, A4 + octave, ins, vol - 8);
  put(p, row + 3, ch, Bb4 + octave, ins, vol - 6);
  put(p, row + 4, ch, G4 + octave, ins, vol - 3);
}

void bassBar(itw::Pattern& p, int bar, int vol) {
  put(p, bar * kRowsPerBar, kChBass, kCycle[bar % 4].bass, kBass, vol);
}

void padBar(itw::Pattern& p, int bar, int ins, int vol) {
  const BarHarmony& h = kCycle[bar % 4];
  const Ch chans[3] = {kChPadLow, kChPadMid, kChPadHigh};
  for (int v = 0; v < 3; ++v) put(p, bar * kRowsPerBar, chans[v], h.pad[v] + (ins == kChoir ? 12 : 0), ins, vol);
}

itw::Pattern newPattern(int bars) { return itw::Pattern(std::max(32, bars * kRowsPerBar), kChannels); }

}  // namespace

itw::Module carolOfTheBells() {
  itw::Module m;
  m.name = "Carol of the Bells";
  m.channels = kChannels;
  m.initialSpeed = 6;
  m.initialTempo = 76;  // a row is 15/76 s: an eighth note, a quarter at 152
  m.globalVolume = 128;
  m.mixVolume = 114;
  m.rowsPerBeat = 2;
  m.rowsPerMeasure = kRowsPerBar;
  m.message = "Carol of the Bells - after M. Leontovych's Shchedryk (1916).";
  const int pans[kChannels] = {44, 20, 16, 32, 48, 36, 32, 28, 40, 32};
  for (int c = 0; c < kChannels; ++c) m.channelPan[c] = pans[c];

  m.samples = {
      makeSample("bell", Inst::Glockenspiel, 72, 2.5, 0.8f, 61),
      makeSample("pizzicato", Inst::Pizzicato, 60, 0.6, 0.85f, 62),
      makeLoopedSample("strings", Inst::Strings, 60, 63),
      makeLoopedSample("choir", Inst::Choir, 67, 64),
      makeSample("bass", Inst::UprightBass, 43, 1.8, 0.85f, 65),
      makeSample("timpani", Inst::Timpani, 43, 2.5, 0.85f, 66),
      makeSample("crash", Inst::Crash, 60, 2.2, 0.9f, 67),
      makeSample("toll", Inst::ChurchBell, 60, 4.0, 0.8f, 68),
      makeSample("sleigh", Inst::SleighBells, 60, 0.3, 0.8f, 69),
  };
  const std::vector<itw::EnvelopeNode> padEnv = {{0, 0}, {10, 64}, {14, 60}, {40, 0}};
  m.instruments = {
      instrument("Bell", 1, 1, 0, 100),
      instrument("Pizzicato", 2, 1, 0, 110),
      instrument("Strings", 3, 2, 64, 64, padEnv, 2),
      instrument("Choir", 4, 2, 64, 72, padEnv, 2),
      instrument("Bass", 5, 2, 128, 118),
      instrument("Timpani", 6, 1, 0, 86),
      instrument("Crash", 7, 1, 0, 70),
      instrument("Toll", 8, 1, 0, 72),
      instrument("Sleigh bells", 9, 1, 0, 60),
  };

  const int bars = 8;
  // 0: the ostinato alone on the bells, the pizzicato joining an octave below.
  itw::Pattern p0 = newPattern(bars);
  for (int b = 0; b < bars; ++b) {
    ostinato(p0, b, kChOstinato, kBell, 52 + b, 12);
    if (b >= 4) ostinato(p0, b, kChMotif, kPizz, 40, -12);
  }
  // Each pattern is two turns of the four-bar cycle; the second turn changes octave, voicing
  // or instruments, so no turn repeats the one before it.
  // 1: the bass walks down G-F-Eb-D; the strings enter softly; the pizzicato climbs an octave.
  itw::Pattern p1 = newPattern(bars);
  for (int b = 0; b < bars; ++b) {
    ostinato(p1, b, kChOstinato, kBell, 58, 12);
    ostinato(p1, b, kChMotif, kPizz, 42, b < 4 ? -12 : 0);
    bassBar(p1, b, 50);
    padBar(p1, b, kPad, 30 + 2 * b);
  }
  // 2: the choir sings a descending line against it; in the second turn the pizzicato takes
  // the ostinato from the bells and the choir grows.
  itw::Pattern p2 = newPattern(bars);
  for (int b = 0; b < bars; ++b) {
    if (b < 4)
      ostinato(p2, b, kChOstinato, kBell, 58, 12);
    else
      ostinato(p2, b, kChMotif, kPizz, 50, 0);
    bassBar(p2, b, 54);
    padBar(p2, b, kPad, 44);
    put(p2, b * kRowsPerBar, kChChoir, kCycle[b % 4].top, kChoir, b < 4 ? 50 : 58, 'H', 0x24);
  }
  // 3: the motif climbs into the pizzicato, moving with each chord; in the second turn the bells
  // double it an octave up and the timpani marks every other bar.
  itw::Pattern p3 = newPattern(bars);
  for (int b = 0; b < bars; ++b) {
    ostinato(p3, b, kChOstinato, kBell, 56, 12);
    motif(p3, b, kChMotif, kPizz, 50);
    if (b >= 4) motif(p3, b, kChToll, kBell, 30, 12);
    bassBar(p3, b, 56);
    padBar(p3, b, kChoir, 40);
    if (b % (b < 4 ? 4 : 2) == 0) put(p3, b * kRowsPerBar, kChPerc, G2, kTimpani, 44);
  }
  // 4: climax: tolling bells on every beat, timpani and a crash; the second turn moves the
  // pads to the choir and doubles the timpani.
  auto climax = [&](bool sleigh) {
    itw::Pattern p = newPattern(bars);
    for (int b = 0; b < bars; ++b) {
      const BarHarmony& h = kCycle[b % 4];
      ostinato(p, b, kChOstinato, kBell, 56, 12);
      motif(p, b, kChMotif, kPizz, 60);
      bassBar(p, b, 62);
      padBar(p, b, b < 4 ? kPad : kChoir, b < 4 ? 54 : 46);
      put(p, b * kRowsPerBar, kChChoir, h.top, kChoir, 52, 'H', 0x34);
      const int tolls[3] = {h.top - 12, h.pad[2], h.pad[1]};
      for (int t = 0; t < 3; ++t) put(p, b * kRowsPerBar + 2 * t, kChToll, tolls[t] + 12, kToll, 50 - 6 * t);
      put(p, b * kRowsPerBar, kChPerc, b % 2 == 0 ? G2 : D2, kTimpani, 54);
      if (b >= 4) put(p, b * kRowsPerBar + 4, kChPerc, b % 2 == 0 ? D2 : G2, kTimpani, 44);
      if (sleigh)
        for (int t = 0; t < 3; ++t) put(p, b * kRowsPerBar + 2 * t, kChExtra, 60, kSleigh, t == 0 ? 48 : 36);
    }
    put(p, 0, kChExtra, 60, kCrash, 56);
    return p;
  };
  itw::Pattern p4 = climax(false);
  // 5: quiet: pizzicato ostinato, the choir carrying the motif, no bells until the second turn
  // brings them back softly an octave up.
  itw::Pattern p5 = newPattern(bars);
  for (int b = 0; b < bars; ++b) {
    ostinato(p5, b, kChMotif, kPizz, 44, -12);
    motif(p5, b, kChChoir, kChoir, 44);
    if (b >= 4) ostinato(p5, b, kChOstinato, kBell, 34, 24);
    bassBar(p5, b, 44);
    padBar(p5, b, kPad, 28);
  }
  itw::Pattern p6 = climax(true);
  // 7: the close: the ostinato slows, then a held G minor chord fades under ringing bells.
  itw::Pattern p7(36, kChannels);
  for (int b = 0; b < 3; ++b) {
    ostinato(p7, b, kChOstinato, kBell, 56 - 4 * b, 12);
    ostinato(p7, b, kChMotif, kPizz, 40 - 2 * b, -12);
    bassBar(p7, b, 50);
    padBar(p7, b, kPad, 40);
  }
  for (int row = 6; row < 24; row += 3) effectOnly(p7, row, kChExtra, 'T', 0x01);  // tempo slides down
  const int end = 3 * kRowsPerBar;
  put(p7, end, kChOstinato, G4 + 12, kBell, 60);
  put(p7, end, kChMotif, G3, kPizz, 44);
  put(p7, end, kChToll, G4, kToll, 52);
  put(p7, end, kChBass, G2, kBass, 56);
  put(p7, end, kChPadLow, G3, kPad, 44, 'D', 0x01);
  put(p7, end, kChPadMid, Bb3, kPad, 44, 'D', 0x01);
  put(p7, end, kChPadHigh, D4, kPad, 44, 'D', 0x01);
  put(p7, end, kChChoir, G4, kChoir, 40, 'D', 0x01);
  put(p7, end, kChPerc, G2, kTimpani, 50);
  // The slowest volume slide on every other row: the chord fades over the last bars.
  for (int row = end + 2; row < 35; row += 2)
    for (int ch : {kChPadLow, kChPadMid, kChPadHigh, kChChoir}) effectOnly(p7, row, ch, 'D', 0x01);
  put(p7, 33, kChBass, itw::kNoteOff, 0);
  for (int ch = 0; ch < kChannels; ++ch) put(p7, 35, ch, itw::kNoteCut, 0);

  m.patterns = {p0, p1, p2, p3, p4, p5, p6, p7};
  m.orders = {0, 1, 2, 3, 4, 5, 6, 7};
  return m;
}

}  // namespace tune
