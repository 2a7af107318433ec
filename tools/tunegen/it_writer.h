// Impulse Tracker module writer: a small data model (samples, instruments, patterns of
// note/instrument/volume/effect cells, an order list, speed and tempo) serialised to the IT
// 2.14 file layout. Sample data is written as uncompressed signed 16-bit mono.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace itw {

// Note column values besides 0..119 (C-0 .. B-9; C-5 = 60 plays a sample at its C5 speed).
constexpr int kNoNote = -1;
constexpr int kNoteCut = 254;
constexpr int kNoteOff = 255;
constexpr int kNoteFade = 246;
constexpr int kMiddleC = 60;

// Volume column: -1 = empty, 0..64 set volume, 128..192 panning, other raw IT codes allowed
// (65..74 fine up, 75..84 fine down, 85..94 slide up, 95..104 slide down, 203..212 vibrato).
constexpr int kNoVolume = -1;
constexpr int volumePan(int pan) { return 128 + pan; }

// Effect column letters A..Z map to 1..26; 0 = no effect.
constexpr uint8_t effect(char letter) { return static_cast<uint8_t>(letter - 'A' + 1); }

struct Cell {
  int note = kNoNote;
  int instrument = 0;  // 1-based; 0 = none
  int volume = kNoVolume;
  uint8_t command = 0;
  uint8_t param = 0;
};

class Pattern {
 public:
  Pattern(int rows, int channels)
      : m_rows(rows),
        m_channels(channels),
        m_cells(static_cast<size_t>(rows > 0 ? rows : 0) * static_cast<size_t>(channels > 0 ? channels : 0)) {}
  int rows() const { return m_rows; }
  int channels() const { return m_channels; }
  Cell& at(int row, int channel) { return m_cells.at(static_cast<size_t>(row) * m_channels + channel); }
  const Cell& at(int row, int channel) const { return m_cells.at(static_cast<size_t>(row) * m_channels + channel); }

 private:
  int m_rows;
  int m_channels;
  std::vector<Cell> m_cells;
};

struct Sample {
  std::string name;
  std::vector<int16_t> pcm;
  uint32_t c5Speed = 44100;  // playback rate at C-5
  int defaultVolume = 64;    // 0..64
  int globalVolume = 64;     // 0..64
  int defaultPan = -1;       // 0..64, or -1 for none
  bool loop = false;
  bool pingPong = false;
  uint32_t loopBegin = 0;
  uint32_t loopEnd = 0;  // one past the last looped frame
  int vibratoSpeed = 0;  // auto-vibrato, 0..64
  int vibratoDepth = 0;
  int vibratoRate = 0;
};

struct EnvelopeNode {
  uint16_t tick;
  int8_t value;  // volume 0..64
};

struct Instrument {
  std::string name;
  int sample = 1;                            // 1-based sample played for every note
  int newNoteAction = 2;                     // 0 cut, 1 continue, 2 note off, 3 note fade
  int fadeOut = 0;                           // 0..1024
  int globalVolume = 128;                    // 0..128
  int defaultPan = -1;                       // 0..64, or -1 for none
  std::vector<EnvelopeNode> volumeEnvelope;  // empty = off; at most 25 nodes
  int sustainNode = -1;                      // node held while the note is on, -1 = none
};

struct Module {
  std::string name;
  int channels = 8;        // 1..64
  int initialSpeed = 6;    // ticks per row
  int initialTempo = 125;  // 32..255
  int globalVolume = 128;  // 0..128
  int mixVolume = 48;      // 0..128
  int panSeparation = 128;
  int rowsPerBeat = 4;
  int rowsPerMeasure = 16;
  bool linearSlides = true;
  std::array<int, 64> channelPan{};     // 0..64 per used channel (filled with 32 by default)
  std::array<int, 64> channelVolume{};  // 0..64
  std::vector<int> orders;              // pattern indices (or 254 = skip); the end marker is appended
  std::vector<Sample> samples;
  std::vector<Instrument> instruments;  // non-empty selects instrument mode
  std::vector<Pattern> patterns;
  std::string message;

  Module() {
    channelPan.fill(32);
    channelVolume.fill(64);
  }
};

struct WriteResult {
  bool ok = false;
  std::string error;  // why the module cannot be written, when !ok
  std::vector<uint8_t> bytes;
};

// Serialises the module; refuses values the format cannot hold instead of truncating them.
WriteResult writeIt(const Module& module);

// Seconds the module plays for, following speed (A) and tempo (T) commands and pattern
// breaks (C); enough to plan a module's length (jumps B and loops are not followed).
double playSeconds(const Module& module);

}  // namespace itw
