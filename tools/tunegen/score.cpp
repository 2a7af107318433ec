#include "score.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace tune {

void TempoMap::ritardando(double fromBeat, double toBeat, double endFactor) {
  m_ritFrom = fromBeat;
  m_ritTo = std::max(toBeat, fromBeat + 1e-6);
  m_ritFactor = endFactor;
}

double TempoMap::straightSeconds(double beat) const {
  const double spb = 60.0 / m_bpm;
  if (beat <= m_ritFrom) return beat * spb;
  double t = m_ritFrom * spb;
  const double length = m_ritTo - m_ritFrom;
  const double c = 1.0 - m_ritFactor;
  const double u = std::min(beat, m_ritTo) - m_ritFrom;
  // Integral of 60 / (bpm (1 - c x / length)) over the slowing stretch.
  if (c > 1e-9)
    t += spb * length / c * -std::log(1.0 - c * u / length);
  else
    t += spb * u;
  if (beat > m_ritTo) t += (beat - m_ritTo) * spb / m_ritFactor;
  return t;
}

double TempoMap::seconds(double beat) const {
  const double whole = std::floor(beat);
  double frac = beat - whole;
  if (m_swing != 0.5) frac = frac < 0.5 ? frac * 2.0 * m_swing : m_swing + (frac - 0.5) * 2.0 * (1.0 - m_swing);
  return straightSeconds(whole + frac);
}

namespace {

int pitchClassOf(char letter) {
  switch (letter) {
    case 'C':
      return 0;
    case 'D':
      return 2;
    case 'E':
      return 4;
    case 'F':
      return 5;
    case 'G':
      return 7;
    case 'A':
      return 9;
    case 'B':
      return 11;
    default:
      throw std::invalid_argument(std::string("bad note letter ") + letter);
  }
}

std::vector<std::string_view> tokens(std::string_view text) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\n' || text[i] == '|')) ++i;
    size_t j = i;
    while (j < text.size() && text[j] != ' ' && text[j] != '\n' && text[j] != '|') ++j;
    if (j > i) out.push_back(text.substr(i, j - i));
    i = j;
  }
  return out;
}

// Parses a note letter with its accidentals at s[pos], advancing pos: semitones above the C
// of the letter's octave, not wrapped, so that Cb4 lands on B3 and B#3 on C4.
int parseSemitones(std::string_view s, size_t& pos) {
  if (pos >= s.size()) throw std::invalid_argument("missing note letter in '" + std::string(s) + "'");
  int semis = pitchClassOf(s[pos++]);
  while (pos < s.size() && (s[pos] == '#' || s[pos] == 'b')) semis += s[pos++] == '#' ? 1 : -1;
  return semis;
}

int wrapPitchClass(int semis) { return ((semis % 12) + 12) % 12; }

// A duration in beats: all of `s` must be one positive, finite number, or the token is refused
// (a typo must not turn into a silent zero-length note).
double parseBeats(std::string_view s, std::string_view token) {
  const std::string text(s);
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(v) || v <= 0.0)
    throw std::invalid_argument("bad duration in '" + std::string(token) + "'");
  return v;
}

int parseOctave(std::string_view s, std::string_view token) {
  const bool negative = !s.empty() && s.front() == '-';
  const std::string_view digits = negative ? s.substr(1) : s;
  if (digits.size() != 1 || digits[0] < '0' || digits[0] > '9')
    throw std::invalid_argument("bad octave in '" + std::string(token) + "'");
  return negative ? -(digits[0] - '0') : digits[0] - '0';
}

}  // namespace

std::vector<Note> parseMelody(std::string_view text, double startBeat, int transpose) {
  std::vector<Note> out;
  double beat = startBeat, beats = 1.0;
  for (std::string_view tok : tokens(text)) {
    const size_t colon = tok.find(':');
    std::string_view pitch = tok.substr(0, colon);
    float accent = 1.0f;
    if (colon != std::string_view::npos) {
      std::string_view dur = tok.substr(colon + 1);
      if (!dur.empty() && dur.back() == '!') {
        accent = 1.25f;
        dur.remove_suffix(1);
      }
      beats = parseBeats(dur, tok);
    }
    if (pitch != "r") {
      size_t pos = 0;
      const int semis = parseSemitones(pitch, pos);
      const int octave = parseOctave(pitch.substr(pos), tok);
      out.push_back({beat, beats, static_cast<double>((octave + 1) * 12 + semis + transpose), accent});
    }
    beat += beats;
  }
  return out;
}

double melodyBeats(const std::vector<Note>& notes) {
  double end = 0.0;
  for (const Note& n : notes) end = std::max(end, n.beat + n.beats);
  return end;
}

std::vector<Chord> parseChords(std::string_view text, double startBeat, int transpose) {
  struct Quality {
    std::string_view name;
    std::vector<int> tones;
  };
  static const std::vector<Quality> kQualities = {
      {"maj7", {0, 4, 7, 11}},  {"m7b5", {0, 3, 6, 10}}, {"dim7", {0, 3, 6, 9}}, {"add9", {0, 4, 7, 14}},
      {"sus4", {0, 5, 7}},      {"m7", {0, 3, 7, 10}},   {"m6", {0, 3, 7, 9}},   {"m9", {0, 3, 7, 10, 14}},
      {"dim", {0, 3, 6}},       {"aug", {0, 4, 8}},      {"7", {0, 4, 7, 10}},   {"6", {0, 4, 7, 9}},
      {"9", {0, 4, 7, 10, 14}}, {"m", {0, 3, 7}},        {"5", {0, 7}},          {"", {0, 4, 7}},
  };
  std::vector<Chord> out;
  double beat = startBeat;
  for (std::string_view tok : tokens(text)) {
    const size_t colon = tok.find(':');
    const double beats = colon == std::string_view::npos ? 4.0 : parseBeats(tok.substr(colon + 1), tok);
    std::string_view name = tok.substr(0, colon);
    if (name == "r") {
      beat += beats;
      continue;
    }
    size_t pos = 0;
    Chord c;
    c.beat = beat;
    c.beats = beats;
    c.root = wrapPitchClass(parseSemitones(name, pos) + transpose);
    const size_t slash = name.find('/', pos);
    const std::string_view quality =
        name.substr(pos, slash == std::string_view::npos ? std::string_view::npos : slash - pos);
    bool found = false;
    for (const Quality& q : kQualities) {
      if (q.name == quality) {
        c.tones = q.tones;
        found = true;
        break;
      }
    }
    if (!found) throw std::invalid_argument("unknown chord quality " + std::string(quality));
    c.bass = c.root;
    if (slash != std::string_view::npos) {
      size_t bpos = slash + 1;
      c.bass = wrapPitchClass(parseSemitones(name, bpos) + transpose);
      if (bpos != name.size()) throw std::invalid_argument("bad bass note in '" + std::string(tok) + "'");
    }
    out.push_back(c);
    beat += beats;
  }
  return out;
}

int keyAtOrAbove(int pitchClass, int low) {
  int k = low;
  while (((k % 12) + 12) % 12 != pitchClass) ++k;
  return k;
}

std::vector<std::vector<int>> voiceLead(const std::vector<Chord>& chords, int low, int high, int count) {
  std::vector<std::vector<int>> out;
  std::vector<int> prev;
  for (const Chord& c : chords) {
    // Pitch classes to voice: drop the fifth first when there are more tones than voices.
    std::vector<int> pcs;
    for (int t : c.tones) pcs.push_back((c.root + t) % 12);
    while (static_cast<int>(pcs.size()) > count && pcs.size() > 2) {
      auto fifth = std::find(pcs.begin(), pcs.end(), (c.root + 7) % 12);
      pcs.erase(fifth != pcs.end() ? fifth : pcs.begin() + 1);
    }
    // Every voicing: each voice a chord tone in range, rising, all pitch classes present.
    std::vector<int> candidates;
    for (int k = low; k <= high; ++k)
      if (std::find(pcs.begin(), pcs.end(), k % 12) != pcs.end()) candidates.push_back(k);
    std::vector<int> best;
    double bestCost = 1e18;
    std::vector<int> pick;
    auto search = [&](auto&& self, size_t from) -> void {
      if (static_cast<int>(pick.size()) == count) {
        for (int pc : pcs)
          if (std::none_of(pick.begin(), pick.end(), [&](int k) { return k % 12 == pc; })) return;
        double cost = 0.0;
        if (prev.empty()) {
          const double mid = (low + high) / 2.0;
          for (int k : pick) cost += std::fabs(k - mid);
        } else {
          for (size_t i = 0; i < pick.size(); ++i) cost += std::abs(pick[i] - prev[i]);
        }
        // Prefer spacing of at least a third between neighbours: clusters sound muddy.
        for (size_t i = 1; i < pick.size(); ++i)
          if (pick[i] - pick[i - 1] < 3) cost += 2.5;
        if (cost < bestCost) {
          bestCost = cost;
          best = pick;
        }
        return;
      }
      for (size_t i = from; i < candidates.size(); ++i) {
        if (!pick.empty() && candidates[i] - pick.back() > 9) break;
        pick.push_back(candidates[i]);
        self(self, i + 1);
        pick.pop_back();
      }
    };
    search(search, 0);
    if (best.empty()) {
      for (int i = 0; i < count; ++i) best.push_back(keyAtOrAbove(pcs[i % pcs.size()], low + 4 * i));
      std::sort(best.begin(), best.end());
    }
    out.push_back(best);
    prev = best;
  }
  return out;
}

Arranger::Arranger(std::string title, TempoMap tempo, uint64_t seed) : m_tempo(tempo), m_rng(seed) {
  m_song.title = std::move(title);
}

void Arranger::note(const Part& part, double beat, double beats, double key, float accent) {
  Event e;
  const double offset = 0.03;  // the tune opens almost at once
  const double jitter = m_rng.bipolar() * 0.004;
  const double start = m_tempo.seconds(beat);
  const double end = m_tempo.seconds(beat + beats * part.legato);
  e.time = std::max(0.0, offset + start + jitter);
  e.seconds = std::max(0.02, end - start);
  e.key = key;
  e.velocity = std::clamp(static_cast<float>(part.velocity * accent * (1.0 + m_rng.bipolar() * 0.06)), 0.05f, 1.0f);
  e.inst = part.inst;
  e.pan = part.pan;
  e.reverb = part.reverb;
  e.gain = part.gain;
  e.bus = part.bus;
  m_song.events.push_back(e);
}

void Arranger::melody(const Part& part, const std::vector<Note>& notes, int transpose) {
  for (const Note& n : notes) note(part, n.beat, n.beats, n.key + transpose, n.accent);
}

void Arranger::drums(const Part& part, double startBeat, int bars, double beatsPerBar, std::string_view pattern) {
  if (pattern.empty()) return;
  const double step = beatsPerBar / static_cast<double>(pattern.size());
  for (int b = 0; b < bars; ++b) {
    for (size_t i = 0; i < pattern.size(); ++i) {
      const char c = pattern[i];
      const float accent = c == 'X' ? 1.2f : c == 'x' ? 1.0f : c == 'o' ? 0.55f : 0.0f;
      if (accent > 0.0f) note(part, startBeat + b * beatsPerBar + i * step, step, 60.0, accent);
    }
  }
}

Song Arranger::finish(double tailSeconds) {
  // The tune ends when its last sound has died away, which for struck and plucked notes can
  // be well before or after their written end: render the closing notes to find out.
  double written = 0.0;
  for (const Event& e : m_song.events) written = std::max(written, e.time + e.seconds);
  double sounding = 0.0;
  for (const Event& e : m_song.events) {
    double end = e.time + e.seconds;
    if (end > written - 12.0) {
      const size_t n = renderNote(e.inst, NoteSpec{e.key, e.seconds, e.velocity, 1}).size();
      end = e.time + static_cast<double>(n) / kRate;
    }
    sounding = std::max(sounding, end);
  }
  m_song.seconds = sounding + tailSeconds;
  return m_song;
}

}  // namespace tune
