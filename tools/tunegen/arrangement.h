// Accompaniment figures built from a chord progression: pads, comping, bass lines,
// arpeggios, and a second voice under a melody.
#pragma once

#include "score.h"

#include <string_view>
#include <utility>
#include <vector>

namespace tune {

// A part's voice and mix settings in the order the arrangements write them.
Part part(Inst inst, float velocity, float pan, float reverb, float gain = 1.0f, double legato = 0.95);

const Chord* chordAt(const std::vector<Chord>& chords, double beat);

// Sustained voice-led chords; voices fan out across the stereo field by `spread`.
void padChords(Arranger& a, Part part, const std::vector<Chord>& chords, int low, int high, int count,
               float spread = 0.5f);

// Voice-led chords struck on the rhythm's steps ('x'/'X'/'o' as for drums), `beatsPerBar` long,
// each chord held `hold` beats (or to the next step when 0).
void compChords(Arranger& a, Part part, const std::vector<Chord>& chords, int low, int high, int count,
                double beatsPerBar, std::string_view rhythm, double hold = 0.0, double strum = 0.0);

enum class BassStyle {
  Held,       // root held for the chord
  RootFifth,  // root, then fifth halfway through
  Walking,    // a quarter-note line leading into each next root
  OomPah,     // root on the bar's first beat, fifth on its third (a march in 4/4)
  Eighths,    // driving eighth-note roots with an octave on the last
  Waltz,      // the same figure in 3/4: root on one, fifth on three
};

void bassLine(Arranger& a, Part part, const std::vector<Chord>& chords, int low, BassStyle style, double beatsPerBar);

// Broken chords: steps of `step` beats through the voicing in the index order given ("0 1 2 1").
void arpeggio(Arranger& a, Part part, const std::vector<Chord>& chords, int low, int high, int count, double step,
              const std::vector<int>& order, double ring = 1.0);

// A second voice a third or sixth under the melody, on chord tones where they fit.
std::vector<Note> harmonyBelow(const std::vector<Note>& melody, const std::vector<Chord>& chords);

// Re-times a melody: every note `by` beats later.
std::vector<Note> shifted(std::vector<Note> notes, double by, int transpose = 0);
std::vector<Chord> shifted(std::vector<Chord> chords, double by, int transpose = 0);

// Notes or chords split at `beat`: those starting before it, and those from it on.
template <typename Timed>
std::pair<std::vector<Timed>, std::vector<Timed>> splitAt(const std::vector<Timed>& items, double beat) {
  std::pair<std::vector<Timed>, std::vector<Timed>> out;
  for (const Timed& t : items) (t.beat < beat ? out.first : out.second).push_back(t);
  return out;
}

// Notes or chords from `beat` on moved `by` beats later, to open a gap for an inserted section.
template <typename Timed>
std::vector<Timed> gapAt(std::vector<Timed> items, double beat, double by) {
  for (Timed& t : items)
    if (t.beat >= beat) t.beat += by;
  return items;
}

}  // namespace tune
