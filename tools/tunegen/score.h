// Writing music down: a tempo map with swing and a closing ritardando, compact melody and
// chord notation, voice leading, and an arranger that turns parts into timed events.
#pragma once

#include "dsp.h"
#include "song.h"

#include <string>
#include <string_view>
#include <vector>

namespace tune {

class TempoMap {
 public:
  explicit TempoMap(double bpm, double swing = 0.5) : m_bpm(bpm), m_swing(swing) {}
  // Tempo falls linearly from the normal tempo at `fromBeat` to `endFactor` times it at
  // `toBeat`, and stays there.
  void ritardando(double fromBeat, double toBeat, double endFactor);
  double seconds(double beat) const;
  double bpm() const { return m_bpm; }

 private:
  double straightSeconds(double beat) const;
  double m_bpm;
  double m_swing;  // where the off-beat eighth falls within the beat: 0.5 straight, ~0.64 swung
  double m_ritFrom = 1e18, m_ritTo = 1e18, m_ritFactor = 1.0;
};

struct Note {
  double beat = 0.0;
  double beats = 1.0;
  double key = 60.0;
  float accent = 1.0f;
};

// Space-separated notes "C5:1 D#5:0.5 Bb4 r:2 |": pitch (or r for a rest), optional duration in
// beats (the previous one when left out), '!' after the duration for an accent. '|' marks bars.
// A malformed token throws std::invalid_argument.
std::vector<Note> parseMelody(std::string_view text, double startBeat, int transpose = 0);
double melodyBeats(const std::vector<Note>& notes);

struct Chord {
  double beat = 0.0;
  double beats = 1.0;
  int root = 0;            // pitch class
  int bass = 0;            // pitch class of the bass note (slash chords)
  std::vector<int> tones;  // intervals above the root, root first
};

// "C:4 Am7:2 G7/B:2 F#dim:1": root, quality (m, 7, maj7, m7, 6, m6, 9, add9, sus4, dim, dim7,
// m7b5, aug, 5), optional /bass, duration in beats (4 when left out). A malformed token throws
// std::invalid_argument.
std::vector<Chord> parseChords(std::string_view text, double startBeat, int transpose = 0);

// Voicings of `count` notes within [low, high] for each chord, each moving as little as
// possible from the one before.
std::vector<std::vector<int>> voiceLead(const std::vector<Chord>& chords, int low, int high, int count);

// Lowest MIDI key at or above `low` with the given pitch class.
int keyAtOrAbove(int pitchClass, int low);

struct Part {
  Inst inst = Inst::Piano;
  float velocity = 0.8f;
  float pan = 0.0f;
  float reverb = 0.2f;
  float gain = 1.0f;
  Bus bus = Bus::Main;
  double legato = 0.95;  // fraction of the written length that sounds
};

class Arranger {
 public:
  Arranger(std::string title, TempoMap tempo, uint64_t seed);

  TempoMap& tempo() { return m_tempo; }
  Song& song() { return m_song; }

  void note(const Part& part, double beat, double beats, double key, float accent = 1.0f);
  void melody(const Part& part, const std::vector<Note>& notes, int transpose = 0);
  // Step pattern per bar: 'X' accent, 'x' normal, 'o' ghost, anything else rests; the pattern
  // spans `beatsPerBar` beats and repeats for `bars` bars.
  void drums(const Part& part, double startBeat, int bars, double beatsPerBar, std::string_view pattern);
  // Ends the tune `tailSeconds` (the reverb's ring) after the last note has died away.
  Song finish(double tailSeconds);

 private:
  TempoMap m_tempo;
  Song m_song;
  Rng m_rng;
};

}  // namespace tune
