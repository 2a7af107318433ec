// The synthesised instruments: each renders one note as mono samples at 44.1 kHz.
#pragma once

#include <cstdint>
#include <vector>

namespace tune {

enum class Inst {
  // Pitched: struck and plucked.
  Piano,
  EPiano,
  Celesta,
  Glockenspiel,
  MusicBox,
  Vibes,
  ChurchBell,
  Harp,
  Pizzicato,
  UprightBass,
  ElectricBass,
  SurfGuitar,
  PowerChord,
  MutedPowerChord,
  Timpani,
  // Pitched: sustained.
  Strings,
  Choir,
  Organ,
  Flute,
  Clarinet,
  Trumpet,
  Horn,
  Tuba,
  LeadGuitar,
  SynthPad,
  // Unpitched percussion (the key is ignored).
  Kick,
  MetalKick,
  Snare,
  BrushTap,
  BrushSwish,
  HatClosed,
  HatOpen,
  Ride,
  Crash,
  TomHigh,
  TomMid,
  TomLow,
  SleighBells,
  Triangle,
  Tambourine,
  Shaker,
};

struct NoteSpec {
  double key = 60.0;      // MIDI key, fractional allowed
  double seconds = 0.5;   // time the note is held; most instruments ring on after it
  float velocity = 0.8f;  // 0..1
  uint64_t seed = 1;      // varies noise and phases from note to note, reproducibly
};

// Renders one note, attack to the end of its release, at roughly equal loudness across
// instruments for equal velocity (peak about 0.3 at velocity 0.8).
std::vector<float> renderNote(Inst inst, const NoteSpec& note);

}  // namespace tune
