#include "it_writer.h"

#include <algorithm>
#include <cstring>

namespace itw {
namespace {

class ByteWriter {
 public:
  void u8(int v) { m_bytes.push_back(static_cast<uint8_t>(v)); }
  void u16(unsigned v) {
    u8(v & 0xFF);
    u8((v >> 8) & 0xFF);
  }
  void u32(uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  }
  void zeros(size_t n) { m_bytes.insert(m_bytes.end(), n, 0); }
  void text(const std::string& s, size_t width) {
    // Fixed-width, NUL-padded; the last byte is always NUL.
    for (size_t i = 0; i < width; ++i) u8(i + 1 < width && i < s.size() ? s[i] : 0);
  }
  void tag(const char* four) {
    for (int i = 0; i < 4; ++i) u8(four[i]);
  }
  size_t size() const { return m_bytes.size(); }
  void patch32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) m_bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }
  void patch16(size_t at, unsigned v) {
    m_bytes[at] = static_cast<uint8_t>(v);
    m_bytes[at + 1] = static_cast<uint8_t>(v >> 8);
  }
  std::vector<uint8_t> take() { return std::move(m_bytes); }

 private:
  std::vector<uint8_t> m_bytes;
};

bool inRange(int v, int lo, int hi) { return v >= lo && v <= hi; }

std::string validate(const Module& m) {
  if (!inRange(m.channels, 1, 64)) return "channel count must be 1..64";
  if (!inRange(m.initialSpeed, 1, 255)) return "initial speed must be 1..255";
  if (!inRange(m.initialTempo, 32, 255)) return "initial tempo must be 32..255";
  if (!inRange(m.globalVolume, 0, 128) || !inRange(m.mixVolume, 0, 128)) return "volume out of range";
  if (m.orders.empty() || m.orders.size() > 255) return "order list must hold 1..255 entries";
  if (m.patterns.empty() || m.patterns.size() > 200) return "module must have 1..200 patterns";
  if (m.samples.empty() || m.samples.size() > 99) return "module must have 1..99 samples";
  if (m.instruments.size() > 99) return "at most 99 instruments";
  for (int o : m.orders) {
    if (o != 254 && !inRange(o, 0, static_cast<int>(m.patterns.size()) - 1)) return "order refers to a missing pattern";
  }
  const int maxInstrument = static_cast<int>(m.instruments.empty() ? m.samples.size() : m.instruments.size());
  for (const Pattern& p : m.patterns) {
    if (!inRange(p.rows(), 32, 200)) return "pattern rows must be 32..200";
    if (p.channels() != m.channels) return "pattern channel count differs from the module's";
    for (int r = 0; r < p.rows(); ++r) {
      for (int c = 0; c < p.channels(); ++c) {
        const Cell& cell = p.at(r, c);
        if (cell.note != kNoNote && !inRange(cell.note, 0, 119) && !inRange(cell.note, kNoteFade, kNoteOff))
          return "invalid note value";
        if (!inRange(cell.instrument, 0, maxInstrument)) return "cell refers to a missing instrument";
        if (cell.volume != kNoVolume && !inRange(cell.volume, 0, 212)) return "invalid volume column value";
        if (cell.command > 26) return "invalid effect command";
      }
    }
  }
  for (const Sample& s : m.samples) {
    if (s.pcm.size() > 0x7FFFFFFF) return "sample too long";
    if (!inRange(s.defaultVolume, 0, 64) || !inRange(s.globalVolume, 0, 64)) return "sample volume out of range";
    if (s.defaultPan != -1 && !inRange(s.defaultPan, 0, 64)) return "sample pan out of range";
    if (s.loop && (s.loopBegin >= s.loopEnd || s.loopEnd > s.pcm.size())) return "sample loop outside the sample";
    if (!inRange(s.vibratoSpeed, 0, 64) || !inRange(s.vibratoDepth, 0, 64) || !inRange(s.vibratoRate, 0, 64))
      return "sample vibrato out of range";
  }
  for (const Instrument& ins : m.instruments) {
    if (!inRange(ins.sample, 1, static_cast<int>(m.samples.size()))) return "instrument refers to a missing sample";
    if (!inRange(ins.newNoteAction, 0, 3) || !inRange(ins.fadeOut, 0, 1024) || !inRange(ins.globalVolume, 0, 128))
      return "instrument setting out of range";
    if (ins.defaultPan != -1 && !inRange(ins.defaultPan, 0, 64)) return "instrument pan out of range";
    if (ins.volumeEnvelope.size() > 25 || ins.volumeEnvelope.size() == 1) return "volume envelope needs 2..25 nodes";
    for (size_t i = 0; i < ins.volumeEnvelope.size(); ++i) {
      if (!inRange(ins.volumeEnvelope[i].value, 0, 64)) return "envelope value out of range";
      if (i > 0 && ins.volumeEnvelope[i].tick <= ins.volumeEnvelope[i - 1].tick) return "envelope ticks must rise";
    }
    if (ins.sustainNode >= static_cast<int>(ins.volumeEnvelope.size())) return "sustain node outside the envelope";
  }
  return {};
}

void writeEnvelope(ByteWriter& w, const std::vector<EnvelopeNode>& nodes, int sustainNode) {
  int flags = nodes.empty() ? 0 : 1;
  if (sustainNode >= 0 && !nodes.empty()) flags |= 4;
  w.u8(flags);
  w.u8(static_cast<int>(nodes.size()));
  w.u8(0);  // loop begin
  w.u8(0);  // loop end
  w.u8(sustainNode >= 0 ? sustainNode : 0);
  w.u8(sustainNode >= 0 ? sustainNode : 0);
  for (size_t i = 0; i < 25; ++i) {
    if (i < nodes.size()) {
      w.u8(static_cast<uint8_t>(nodes[i].value));
      w.u16(nodes[i].tick);
    } else {
      w.zeros(3);
    }
  }
  w.u8(0);
}

void writeInstrument(ByteWriter& w, const Instrument& ins) {
  w.tag("IMPI");
  w.text("", 12);  // DOS file name
  w.u8(0);
  w.u8(ins.newNoteAction);
  w.u8(0);  // duplicate check type: off
  w.u8(0);  // duplicate check action
  w.u16(static_cast<unsigned>(ins.fadeOut));
  w.u8(0);         // pitch-pan separation
  w.u8(kMiddleC);  // pitch-pan centre
  w.u8(ins.globalVolume);
  w.u8(ins.defaultPan >= 0 ? ins.defaultPan : 32 | 0x80);  // bit 7: no default pan
  w.u8(0);                                                 // random volume variation: none, so renders repeat exactly
  w.u8(0);                                                 // random pan variation
  w.u16(0x0214);
  w.u8(1);  // number of samples
  w.u8(0);
  w.text(ins.name, 26);
  w.u8(0);        // filter cutoff: unused
  w.u8(0);        // filter resonance: unused
  w.u8(0);        // MIDI channel
  w.u8(0xFF);     // MIDI program
  w.u16(0xFFFF);  // MIDI bank
  for (int note = 0; note < 120; ++note) {
    w.u8(note);
    w.u8(ins.sample);
  }
  writeEnvelope(w, ins.volumeEnvelope, ins.sustainNode);
  writeEnvelope(w, {}, -1);  // panning
  writeEnvelope(w, {}, -1);  // pitch
  w.zeros(4);
}

void writeSampleHeader(ByteWriter& w, const Sample& s, uint32_t dataOffset) {
  w.tag("IMPS");
  w.text("", 12);
  w.u8(0);
  w.u8(s.globalVolume);
  int flags = 0x01 | 0x02;  // data present, 16-bit
  if (s.loop) flags |= 0x10 | (s.pingPong ? 0x40 : 0);
  w.u8(flags);
  w.u8(s.defaultVolume);
  w.text(s.name, 26);
  w.u8(0x01);                                            // signed samples
  w.u8(s.defaultPan >= 0 ? (s.defaultPan | 0x80) : 32);  // bit 7: use default pan
  w.u32(static_cast<uint32_t>(s.pcm.size()));
  w.u32(s.loop ? s.loopBegin : 0);
  w.u32(s.loop ? s.loopEnd : 0);
  w.u32(s.c5Speed);
  w.u32(0);  // sustain loop begin
  w.u32(0);  // sustain loop end
  w.u32(dataOffset);
  w.u8(s.vibratoSpeed);
  w.u8(s.vibratoDepth);
  w.u8(s.vibratoRate);
  w.u8(0);  // sine
}

void writePattern(ByteWriter& w, const Pattern& p) {
  const size_t start = w.size();
  w.u16(0);  // packed length, patched below
  w.u16(static_cast<unsigned>(p.rows()));
  w.zeros(4);
  for (int r = 0; r < p.rows(); ++r) {
    for (int c = 0; c < p.channels(); ++c) {
      const Cell& cell = p.at(r, c);
      int mask = 0;
      if (cell.note != kNoNote) mask |= 1;
      if (cell.instrument != 0) mask |= 2;
      if (cell.volume != kNoVolume) mask |= 4;
      if (cell.command != 0) mask |= 8;
      if (mask == 0) continue;
      w.u8((c + 1) | 0x80);
      w.u8(mask);
      if (mask & 1) w.u8(cell.note);
      if (mask & 2) w.u8(cell.instrument);
      if (mask & 4) w.u8(cell.volume);
      if (mask & 8) {
        w.u8(cell.command);
        w.u8(cell.param);
      }
    }
    w.u8(0);  // end of row
  }
  w.patch16(start, static_cast<unsigned>(w.size() - start - 8));
}

}  // namespace

WriteResult writeIt(const Module& m) {
  WriteResult result;
  result.error = validate(m);
  if (!result.error.empty()) return result;

  const bool instrumentMode = !m.instruments.empty();
  const size_t ordNum = m.orders.size() + 1;
  ByteWriter w;
  w.tag("IMPM");
  w.text(m.name, 26);
  w.u8(m.rowsPerBeat);
  w.u8(m.rowsPerMeasure);
  w.u16(static_cast<unsigned>(ordNum));
  w.u16(static_cast<unsigned>(m.instruments.size()));
  w.u16(static_cast<unsigned>(m.samples.size()));
  w.u16(static_cast<unsigned>(m.patterns.size()));
  w.u16(0x0214);  // made with
  w.u16(0x0214);  // compatible with
  w.u16(0x01 | (instrumentMode ? 0x04 : 0) | (m.linearSlides ? 0x08 : 0));
  w.u16(m.message.empty() ? 0 : 1);
  w.u8(m.globalVolume);
  w.u8(m.mixVolume);
  w.u8(m.initialSpeed);
  w.u8(m.initialTempo);
  w.u8(m.panSeparation);
  w.u8(0);  // pitch wheel depth
  w.u16(static_cast<unsigned>(m.message.empty() ? 0 : m.message.size() + 1));
  const size_t messageOffsetAt = w.size();
  w.u32(0);
  w.u32(0);  // reserved
  for (int c = 0; c < 64; ++c) w.u8(c < m.channels ? std::clamp(m.channelPan[c], 0, 64) : 32 | 0x80);
  for (int c = 0; c < 64; ++c) w.u8(c < m.channels ? std::clamp(m.channelVolume[c], 0, 64) : 64);
  for (int o : m.orders) w.u8(o);
  w.u8(255);  // end of song: players with looping off stop here

  const size_t instrumentTable = w.size();
  w.zeros(4 * m.instruments.size());
  const size_t sampleTable = w.size();
  w.zeros(4 * m.samples.size());
  const size_t patternTable = w.size();
  w.zeros(4 * m.patterns.size());

  if (!m.message.empty()) {
    w.patch32(messageOffsetAt, static_cast<uint32_t>(w.size()));
    for (char ch : m.message) w.u8(ch == '\n' ? '\r' : ch);
    w.u8(0);
  }
  for (size_t i = 0; i < m.instruments.size(); ++i) {
    w.patch32(instrumentTable + 4 * i, static_cast<uint32_t>(w.size()));
    writeInstrument(w, m.instruments[i]);
  }
  std::vector<size_t> sampleHeaders;
  for (size_t i = 0; i < m.samples.size(); ++i) {
    w.patch32(sampleTable + 4 * i, static_cast<uint32_t>(w.size()));
    sampleHeaders.push_back(w.size());
    writeSampleHeader(w, m.samples[i], 0);
  }
  for (size_t i = 0; i < m.patterns.size(); ++i) {
    w.patch32(patternTable + 4 * i, static_cast<uint32_t>(w.size()));
    writePattern(w, m.patterns[i]);
  }
  for (size_t i = 0; i < m.samples.size(); ++i) {
    w.patch32(sampleHeaders[i] + 72, static_cast<uint32_t>(w.size()));
    for (int16_t v : m.samples[i].pcm) w.u16(static_cast<uint16_t>(v));
  }
  if (w.size() > 0xFFFFFFFFu) {
    result.error = "module larger than 4 GiB";
    return result;
  }
  result.ok = true;
  result.bytes = w.take();
  return result;
}

double playSeconds(const Module& m) {
  double seconds = 0.0;
  int speed = m.initialSpeed;
  double tempo = m.initialTempo;
  for (int order : m.orders) {
    if (order == 254) continue;
    if (order < 0 || order >= static_cast<int>(m.patterns.size())) break;
    const Pattern& p = m.patterns[static_cast<size_t>(order)];
    for (int r = 0; r < p.rows(); ++r) {
      bool patternBreak = false;
      int tempoSlide = 0;
      for (int c = 0; c < p.channels(); ++c) {
        const Cell& cell = p.at(r, c);
        if (cell.command == effect('A') && cell.param > 0) speed = cell.param;
        if (cell.command == effect('T')) {
          if (cell.param >= 0x20)
            tempo = cell.param;
          else if (cell.param >= 0x10)
            tempoSlide = cell.param - 0x10;
          else
            tempoSlide = -static_cast<int>(cell.param);
        }
        if (cell.command == effect('C')) patternBreak = true;
      }
      // A tempo slide applies on every tick but the row's first.
      for (int tick = 0; tick < speed; ++tick) {
        if (tick > 0) tempo = std::clamp(tempo + tempoSlide, 32.0, 255.0);
        seconds += 2.5 / tempo;
      }
      if (patternBreak) break;
    }
  }
  return seconds;
}

}  // namespace itw
