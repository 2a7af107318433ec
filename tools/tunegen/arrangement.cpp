#include "arrangement.h"

#include <algorithm>
#include <cmath>

namespace tune {

Part part(Inst inst, float velocity, float pan, float reverb, float gain, double legato) {
  Part p;
  p.inst = inst;
  p.velocity = velocity;
  p.pan = pan;
  p.reverb = reverb;
  p.gain = gain;
  p.legato = legato;
  return p;
}

const Chord* chordAt(const std::vector<Chord>& chords, double beat) {
  const Chord* found = nullptr;
  for (const Chord& c : chords) {
    if (c.beat <= beat + 1e-6)
      found = &c;
    else
      break;
  }
  return found;
}

void padChords(Arranger& a, Part part, const std::vector<Chord>& chords, int low, int high, int count, float spread) {
  const auto voicings = voiceLead(chords, low, high, count);
  for (size_t i = 0; i < chords.size(); ++i) {
    const auto& v = voicings[i];
    for (size_t k = 0; k < v.size(); ++k) {
      Part p = part;
      p.pan = part.pan + (v.size() > 1 ? spread * (2.0f * k / (v.size() - 1) - 1.0f) : 0.0f);
      a.note(p, chords[i].beat, chords[i].beats, v[k]);
    }
  }
}

void compChords(Arranger& a, Part part, const std::vector<Chord>& chords, int low, int high, int count,
                double beatsPerBar, std::string_view rhythm, double hold, double strum) {
  if (chords.empty() || rhythm.empty()) return;
  const auto voicings = voiceLead(chords, low, high, count);
  const double step = beatsPerBar / static_cast<double>(rhythm.size());
  const double start = chords.front().beat;
  const double end = chords.back().beat + chords.back().beats;
  for (double bar = start; bar < end - 1e-6; bar += beatsPerBar) {
    for (size_t s = 0; s < rhythm.size(); ++s) {
      const char c = rhythm[s];
      const float accent = c == 'X' ? 1.2f : c == 'x' ? 1.0f : c == 'o' ? 0.6f : 0.0f;
      if (accent == 0.0f) continue;
      const double beat = bar + s * step;
      if (beat >= end - 1e-6) break;
      const Chord* chord = chordAt(chords, beat);
      if (!chord) continue;
      const auto& v = voicings[static_cast<size_t>(chord - chords.data())];
      double len = hold > 0.0 ? hold : step;
      len = std::min(len, chord->beat + chord->beats - beat);
      for (size_t k = 0; k < v.size(); ++k) a.note(part, beat + k * strum, len, v[k], accent);
    }
  }
}

void bassLine(Arranger& a, Part part, const std::vector<Chord>& chords, int low, BassStyle style, double beatsPerBar) {
  for (size_t i = 0; i < chords.size(); ++i) {
    const Chord& c = chords[i];
    const int root = keyAtOrAbove(c.bass, low);
    // The fifth above the bass note, dropped an octave when that climbs out of the bass range.
    int fifth = keyAtOrAbove((c.root + 7) % 12, root);
    if (fifth > low + 14) fifth -= 12;
    switch (style) {
      case BassStyle::Held:
        a.note(part, c.beat, c.beats, root);
        break;
      case BassStyle::RootFifth:
        if (c.beats >= 2.0) {
          a.note(part, c.beat, c.beats / 2, root);
          a.note(part, c.beat + c.beats / 2, c.beats / 2, fifth);
        } else {
          a.note(part, c.beat, c.beats, root);
        }
        break;
      case BassStyle::OomPah:
      case BassStyle::Waltz:
        // Root on the bar's first beat, fifth on its third (when the chord lasts that long).
        for (double b = 0; b < c.beats - 1e-6; b += beatsPerBar) {
          a.note(part, c.beat + b, std::min(1.0, c.beats - b), root);
          if (c.beats - b > 2.5) a.note(part, c.beat + b + 2.0, 1.0, fifth);
        }
        break;
      case BassStyle::Eighths:
        for (double b = 0; b < c.beats - 1e-6; b += 0.5) {
          const bool last = b + 0.5 >= c.beats - 1e-6 && c.beats >= 2.0;
          a.note(part, c.beat + b, 0.5, last ? root + 12 : root, std::fmod(b, 1.0) == 0.0 ? 1.0f : 0.8f);
        }
        break;
      case BassStyle::Walking: {
        const int third = keyAtOrAbove((c.root + c.tones[1]) % 12, root);
        const int nextRoot = i + 1 < chords.size() ? keyAtOrAbove(chords[i + 1].bass, low) : root;
        const int beats = static_cast<int>(std::lround(c.beats));
        for (int b = 0; b < beats; ++b) {
          int key = root;
          if (b == beats - 1 && b > 0)
            key = nextRoot + (nextRoot > root ? -1 : 1);  // chromatic approach
          else if (b == 1)
            key = third;
          else if (b == 2)
            key = fifth;
          else if (b == 3)
            key = fifth + 2;
          a.note(part, c.beat + b, 1.0, key, b == 0 ? 1.1f : 0.9f);
        }
        break;
      }
    }
  }
}

void arpeggio(Arranger& a, Part part, const std::vector<Chord>& chords, int low, int high, int count, double step,
              const std::vector<int>& order, double ring) {
  if (order.empty()) return;
  const auto voicings = voiceLead(chords, low, high, count);
  size_t idx = 0;
  for (size_t i = 0; i < chords.size(); ++i) {
    const Chord& c = chords[i];
    for (double b = 0; b < c.beats - 1e-6; b += step) {
      const int which = order[idx++ % order.size()];
      const auto& v = voicings[i];
      a.note(part, c.beat + b, step * ring, v[static_cast<size_t>(which) % v.size()], b == 0 ? 1.1f : 1.0f);
    }
  }
}

std::vector<Note> harmonyBelow(const std::vector<Note>& melody, const std::vector<Chord>& chords) {
  std::vector<Note> out;
  for (const Note& n : melody) {
    const Chord* c = chordAt(chords, n.beat);
    const int top = static_cast<int>(std::lround(n.key));
    int best = top - 3;
    int bestScore = 1000;
    for (int d = 3; d <= 9; ++d) {
      const int k = top - d;
      const bool chordTone = c && std::any_of(c->tones.begin(), c->tones.end(),
                                              [&](int t) { return (c->root + t) % 12 == ((k % 12) + 12) % 12; });
      const int score = (chordTone ? 0 : 10) + (d == 3 || d == 4 ? 0 : d == 8 || d == 9 ? 1 : 3);
      if (score < bestScore) {
        bestScore = score;
        best = k;
      }
    }
    Note h = n;
    h.key = best;
    out.push_back(h);
  }
  return out;
}

std::vector<Note> shifted(std::vector<Note> notes, double by, int transpose) {
  for (Note& n : notes) {
    n.beat += by;
    n.key += transpose;
  }
  return notes;
}

std::vector<Chord> shifted(std::vector<Chord> chords, double by, int transpose) {
  for (Chord& c : chords) {
    c.beat += by;
    c.root = (c.root + transpose + 120) % 12;
    c.bass = (c.bass + transpose + 120) % 12;
  }
  return chords;
}

}  // namespace tune
