// Original compositions for the three titles whose namesake songs are not free to use:
// a cosy swing, a slow jazz waltz and a surf-rock instrumental. Melodies and progressions
// are our own.
#include "arrangement.h"
#include "tunes.h"

namespace tune {
namespace {
// "Let It Snow": 32-bar AABA swing in B flat; falling phrases like drifting flakes.
const char* kSnowA1 =
    "r:0.5 F5:0.5 D5:1 C5:0.5 Bb4:1.5 | r:0.5 B4:0.5 D5:0.5 F5:0.5 Ab5:1 G5:1 |"
    "r:0.5 G5:0.5 Eb5:1 D5:0.5 C5:1.5 | A4:1 C5:1 Eb5:1 D5:1 |"
    "r:0.5 F5:0.5 D5:1 C5:0.5 Bb4:1.5 | r:0.5 Bb4:0.5 C5:0.5 D5:0.5 Eb5:1 G5:1 | F5:3 r:1 | r:4";
const char* kSnowA2 =
    "r:0.5 F5:0.5 D5:1 C5:0.5 Bb4:1.5 | r:0.5 B4:0.5 D5:0.5 F5:0.5 Ab5:1 G5:1 |"
    "r:0.5 G5:0.5 Eb5:1 D5:0.5 C5:1.5 | A4:1 C5:1 Eb5:1 D5:1 |"
    "r:0.5 F5:0.5 D5:1 C5:0.5 Bb4:1.5 | r:0.5 Bb4:0.5 C5:0.5 D5:0.5 Eb5:1 G5:1 | D5:1 C5:1 Bb4:2 | r:4";
const char* kSnowB =
    "r:0.5 G5:0.5 G5:0.5 F5:0.5 Eb5:1 Bb4:1 | r:0.5 Bb4:0.5 Db5:0.5 E5:0.5 G5:2 |"
    "F5:1 D5:1 Bb4:1 F4:1 | G4:1 B4:1 D5:1 F5:1 | E5:1.5 D5:0.5 C5:1 Bb4:1 | A4:1 G4:1 E4:2 |"
    "Eb5:1.5 D5:0.5 C5:1 Bb4:1 | A4:2 C5:1 Eb5:1";
const char* kSnowAChords = "Bbmaj7:4 G7:4 Cm7:4 F7:4 Dm7:2 G7:2 Cm7:2 F7:2 Bbmaj7:2 G7:2 Cm7:2 F7:2";
const char* kSnowA2Chords = "Bbmaj7:4 G7:4 Cm7:4 F7:4 Dm7:2 G7:2 Cm7:2 F7:2 Bb6:4 Bb6:4";
const char* kSnowBChords = "Ebmaj7:4 Edim7:4 Bb/F:4 G7:4 C7:4 C7:4 Cm7:4 F7:4";

}  // namespace

Song letItSnow() {
  TempoMap tempo(138.0, 0.64);
  const double introAt = 0, headAt = 16, secondAt = headAt + 128, tagAt = secondAt + 64;
  tempo.ritardando(tagAt + 4, tagAt + 14, 0.55);
  Arranger a("Let It Snow", tempo, 303);

  const Part piano = part(Inst::Piano, 0.55f, -0.25f, 0.2f, 0.7f);
  const Part bass = part(Inst::UprightBass, 0.8f, 0.05f, 0.05f, 0.75f, 0.9);
  const Part celesta = part(Inst::Celesta, 0.75f, 0.3f, 0.4f, 0.9f);
  const Part clarinet = part(Inst::Clarinet, 0.75f, 0.0f, 0.3f, 1.0f, 0.9);
  // `level` < 1: the brushes alone, softer (the intro and the second bridge).
  auto rhythm = [&](double at, int bars, float level = 1.0f) {
    a.drums(part(Inst::Ride, 0.55f, 0.4f, 0.1f, 0.45f * level), at, bars, 4, "x.x.xxx.x.xxx.x.");
    a.drums(part(Inst::BrushSwish, 0.6f, -0.2f, 0.1f, 0.7f * level), at, bars, 4, "x...x...x...x...");
    a.drums(part(Inst::BrushTap, 0.6f, 0.1f, 0.1f, 0.6f * level), at, bars, 4, "....x.......x...");
    if (level >= 1.0f) a.drums(part(Inst::Kick, 0.4f, 0.0f, 0.02f, 0.5f), at, bars, 4, "x.......x.......");
  };
  auto comp = [&](const std::vector<Chord>& chords) {
    // Charleston comping: on one and on the and of two, rootless voicings.
    compChords(a, piano, chords, 52, 67, 4, 4, "x..x....", 0.4);
  };
  auto sparkle = [&](double at) {
    // Celesta snowflakes in the bars the tune leaves open.
    a.melody(part(Inst::Celesta, 0.6f, 0.45f, 0.5f, 0.6f),
             parseMelody("D6:0.5 F6:0.5 Bb6:0.5 A6:0.5 F6:0.5 D6:0.5 C6:0.5 Bb5:0.5", at));
  };

  // Intro: celesta alone over bass and brushes, a turnaround twice.
  const auto intro = parseChords("Cm7:2 F7:2 Dm7:2 G7:2 Cm7:2 F7:2 Bb6:2 F7:2", introAt);
  arpeggio(a, part(Inst::Celesta, 0.6f, 0.35f, 0.45f, 0.5f), intro, 70, 86, 4, 0.5, {3, 2, 1, 0}, 1.5);
  Part softBass = bass;
  softBass.gain *= 0.6f;
  bassLine(a, softBass, intro, 34, BassStyle::Walking, 4);
  rhythm(introAt, 4, 0.6f);

  // Head: clarinet with the celesta an octave up.
  const double aAt[3] = {headAt, headAt + 32, headAt + 96};
  const double bAt = headAt + 64;
  for (int i = 0; i < 3; ++i) {
    const auto mel = parseMelody(i == 0 ? kSnowA1 : kSnowA2, aAt[i]);
    const auto chords = parseChords(i == 0 ? kSnowAChords : kSnowA2Chords, aAt[i]);
    a.melody(clarinet, mel);
    a.melody(part(Inst::Celesta, 0.55f, 0.35f, 0.4f, 0.45f), mel, 12);
    comp(chords);
    bassLine(a, bass, chords, 34, BassStyle::Walking, 4);
    sparkle(aAt[i] + 28);
  }
  {
    const auto mel = parseMelody(kSnowB, bAt);
    const auto chords = parseChords(kSnowBChords, bAt);
    a.melody(clarinet, mel);
    padChords(a, part(Inst::Strings, 0.45f, 0.0f, 0.4f, 0.25f), chords, 55, 70, 3, 0.7f);
    comp(chords);
    bassLine(a, bass, chords, 34, BassStyle::Walking, 4);
  }
  rhythm(headAt, 32);

  // Second time through from the bridge, hushed: celesta leads, vibes and strings underneath,
  // the piano laid out and the bass played softly; the band comes back for the last A.
  {
    const auto mel = parseMelody(kSnowB, secondAt);
    const auto chords = parseChords(kSnowBChords, secondAt);
    a.melody(part(Inst::Celesta, 0.65f, 0.3f, 0.4f, 0.6f), mel, 12);
    a.melody(part(Inst::Vibes, 0.5f, -0.4f, 0.35f, 0.35f), harmonyBelow(mel, chords));
    padChords(a, part(Inst::Strings, 0.45f, 0.0f, 0.4f, 0.2f), chords, 55, 70, 3, 0.9f);
    bassLine(a, softBass, chords, 34, BassStyle::Walking, 4);
    const auto mel2 = parseMelody(kSnowA2, secondAt + 32);
    const auto chords2 = parseChords(kSnowA2Chords, secondAt + 32);
    a.melody(celesta, std::vector<Note>(mel2.begin(), mel2.end()), 12);
    a.melody(clarinet, harmonyBelow(mel2, chords2));
    comp(chords2);
    bassLine(a, bass, chords2, 34, BassStyle::Walking, 4);
    rhythm(secondAt, 8, 0.6f);
    rhythm(secondAt + 32, 8);
  }
  // Tag: the last phrase again, slowing to a ringing B flat 6/9.
  const auto tagChords = parseChords("Cm7:2 F7:2 Dm7:2 G7:2 Cm7:2 F7:2 Bb6:8", tagAt);
  const auto tagMel = parseMelody(
      "r:0.5 Bb4:0.5 C5:0.5 D5:0.5 Eb5:1 G5:1 | D5:1 C5:1 Bb4:2 |"
      "r:0.5 Bb4:0.5 C5:0.5 D5:0.5 Eb5:1 G5:1 | F5:2 D5:8",
      tagAt);
  a.melody(clarinet, tagMel);
  a.melody(part(Inst::Celesta, 0.6f, 0.35f, 0.45f, 0.55f), tagMel, 12);
  comp(std::vector<Chord>(tagChords.begin(), tagChords.end() - 1));
  bassLine(a, bass, tagChords, 34, BassStyle::Walking, 4);
  rhythm(tagAt, 3);
  const double endAt = tagAt + 12;
  padChords(a, part(Inst::Strings, 0.5f, 0.0f, 0.45f, 0.3f), parseChords("Bb6:6", endAt), 55, 72, 4, 0.7f);
  a.melody(part(Inst::Celesta, 0.6f, 0.4f, 0.5f, 0.6f),
           parseMelody("Bb5:0.5 D6:0.5 F6:0.5 G6:0.5 Bb6:0.5 D7:3", endAt));
  a.note(part(Inst::Ride, 0.55f, 0.4f, 0.25f, 0.45f), endAt, 4, 60);
  a.note(piano, endAt, 6, 46);
  a.note(piano, endAt, 6, 62);
  a.note(piano, endAt, 6, 67);
  a.song().roomSize = 0.7;
  return a.finish(2.0);
}

// "What Are You Doing (New Year's Eve)": a slow jazz-waltz ballad in F, AABA of 8 bars each.
namespace {
const char* kWaltzA1 = "A4:2 C5:1 | F5:2 E5:1 | D5:3 | r:1 E5:1 G5:1 | G5:2 E5:1 | F#5:2 D5:1 | D5:1 C5:1 Bb4:1 | C5:3";
const char* kWaltzA2 = "A4:2 C5:1 | F5:2 E5:1 | D5:3 | r:1 Bb4:1 C5:1 | A5:2 G5:1 | Eb5:3 | D5:2 C5:1 | Db5:3";
const char* kWaltzB = "C5:2 E5:1 | F#5:2 A5:1 | G5:2 F5:1 | E5:3 | E5:1 D5:1 C5:1 | C5:2 A4:1 | B4:2 D5:1 | E5:2 r:1";
const char* kWaltzA3 = "A4:2 C5:1 | F5:2 E5:1 | D5:3 | r:1 E5:1 G5:1 | A5:2 G5:1 | F5:2 E5:1 | F5:3 | r:3";
const char* kWaltzA1Chords = "Fmaj7:3 Dm7:3 Gm7:3 C7:3 Am7:3 D7:3 Gm7:3 C7:3";
const char* kWaltzA2Chords = "Fmaj7:3 Dm7:3 Gm7:3 C7:3 Fmaj7:3 F7:3 Bbmaj7:3 Bbm6:3";
const char* kWaltzBChords = "Am7:3 D7:3 Gm7:3 C7:3 Am7:3 D7:3 G7:3 C7:3";
const char* kWaltzA3Chords = "Fmaj7:3 Dm7:3 Gm7:3 C7:3 Am7:3 Gm7:1.5 C7:1.5 F6:3 F6:3";
}  // namespace

Song newYearsEve() {
  TempoMap tempo(92.0, 0.6);
  const double introAt = 0, headAt = 12, endAt = headAt + 96 + 12;
  tempo.ritardando(endAt - 9, endAt, 0.6);
  Arranger a("What Are You Doing (New Year's Eve)", tempo, 505);
  const Part rhodes = part(Inst::EPiano, 0.55f, -0.25f, 0.3f, 0.45f);
  const Part bass = part(Inst::UprightBass, 0.75f, 0.05f, 0.05f, 1.0f, 0.95);
  auto waltzKit = [&](double at, int bars) {
    a.drums(part(Inst::BrushSwish, 0.55f, -0.2f, 0.15f, 0.7f), at, bars, 3, "x.....");
    a.drums(part(Inst::BrushTap, 0.5f, 0.15f, 0.15f, 0.55f), at, bars, 3, "..x.x.");
    a.drums(part(Inst::Ride, 0.45f, 0.4f, 0.15f, 0.35f), at, bars, 3, "x.x.xx");
  };
  auto comp = [&](const std::vector<Chord>& chords) { compChords(a, rhodes, chords, 52, 67, 4, 3, "x..x.x", 0.9); };

  const auto intro = parseChords("Gm7:3 C7:3 Fmaj7:3 C7:3", introAt);
  comp(intro);
  bassLine(a, bass, intro, 29, BassStyle::Waltz, 3);
  waltzKit(introAt, 4);
  a.melody(part(Inst::Vibes, 0.55f, 0.3f, 0.4f, 0.6f),
           parseMelody("D5:1 F5:1 A5:1 | G5:3 | E5:1 A5:1 C6:1 | Bb5:3", introAt));

  const char* melodies[4] = {kWaltzA1, kWaltzA2, kWaltzB, kWaltzA3};
  const char* progressions[4] = {kWaltzA1Chords, kWaltzA2Chords, kWaltzBChords, kWaltzA3Chords};
  for (int s = 0; s < 4; ++s) {
    const double at = headAt + 24 * s;
    const auto mel = parseMelody(melodies[s], at);
    const auto chords = parseChords(progressions[s], at);
    if (s < 2) {
      a.melody(part(Inst::Vibes, 0.75f, 0.2f, 0.35f, 1.4f), mel);
    } else {
      a.melody(part(Inst::Horn, 0.7f, 0.1f, 0.35f, 1.0f, 0.97), mel);
      a.melody(part(Inst::Vibes, 0.45f, 0.35f, 0.4f, 0.35f), mel, 12);
      padChords(a, part(Inst::Strings, 0.45f, 0.0f, 0.45f, 0.3f), chords, 55, 72, 3, 0.7f);
    }
    comp(chords);
    bassLine(a, bass, chords, 29, BassStyle::Waltz, 3);
    waltzKit(at, 8);
  }
  // Outro: the last cadence slowed, onto a long F major seventh with a vibes arpeggio.
  const auto outro = parseChords("Gm7:3 C7:3 Fmaj7:6", endAt - 6);
  comp(std::vector<Chord>(outro.begin(), outro.end() - 1));
  bassLine(a, bass, std::vector<Chord>(outro.begin(), outro.end() - 1), 29, BassStyle::Waltz, 3);
  a.melody(part(Inst::Horn, 0.65f, 0.1f, 0.4f, 0.9f, 1.0), parseMelody("D5:2 Bb4:1 | C5:3 | A4:6", endAt - 6));
  const auto last = parseChords("Fmaj7:6", endAt);
  padChords(a, part(Inst::Strings, 0.5f, 0.0f, 0.5f, 0.3f), last, 53, 72, 4, 0.7f);
  compChords(a, rhodes, last, 52, 72, 4, 6, "x", 6.0, 0.08);
  a.melody(part(Inst::Vibes, 0.55f, 0.35f, 0.5f, 0.6f), parseMelody("A5:0.5 C6:0.5 E6:0.5 G6:0.5 A6:4", endAt));
  a.note(bass, endAt, 6, 29);
  a.note(part(Inst::Ride, 0.45f, 0.4f, 0.3f, 0.35f), endAt, 4, 60);
  a.song().roomSize = 0.8;
  a.song().brightness = 4.0;  // brushes and a mellow electric piano: a little more air
  return a.finish(2.5);
}

// "Surfer Frosty": surf rock in E minor, spring-reverb guitar, tremolo picking, driving drums.
namespace {
const char* kSurfA =
    "E5:1.5 B4:0.5 E5:1 G5:1 | F#5:1.5 E5:0.5 D#5:1 E5:1 | G5:3 E5:1 | C5:4 |"
    "A4:1 C5:1 E5:1 A5:1 | G5:1.5 F#5:0.5 E5:2 | D#5:1 F#5:1 A5:1 B5:1 | B5:4 |"
    "E5:1.5 B4:0.5 E5:1 G5:1 | F#5:1.5 E5:0.5 D#5:1 E5:1 | G5:3 E5:1 | C5:4 |"
    "A4:1 C5:1 E5:1 A5:1 | G5:1.5 F#5:0.5 E5:2 | F#5:1 D#5:1 B4:1 A4:1 | E5:4";
const char* kSurfAChords = "Em:4 Em:4 C:4 C:4 Am:4 Am:4 B7:4 B7:4 Em:4 Em:4 C:4 C:4 Am:4 Am:4 B7:4 Em:4";
const char* kSurfB =
    "D5:1 B4:0.5 D5:0.5 G5:2 | F#5:1 E5:1 D5:2 | A5:1 F#5:0.5 A5:0.5 D6:2 | C6:1 B5:1 A5:2 |"
    "G5:1 E5:0.5 G5:0.5 C6:2 | B5:1 A5:1 G5:1 E5:1 | F#5:1 A5:1 D#5:1 F#5:1 | B4:4";
const char* kSurfBChords = "G:4 G:4 D:4 D:4 C:4 C:4 B7:4 B7:4";

// Long notes are tremolo-picked in sixteenths, the surf guitarist's sustain.
std::vector<Note> tremolo(const std::vector<Note>& notes) {
  std::vector<Note> out;
  for (const Note& n : notes) {
    if (n.beats < 2.0) {
      out.push_back(n);
      continue;
    }
    for (double b = 0; b < n.beats - 1e-6; b += 0.25)
      out.push_back({n.beat + b, 0.25, n.key, static_cast<float>(b == 0 ? 1.1 : 0.8)});
  }
  return out;
}
}  // namespace

Song surferFrosty() {
  TempoMap tempo(166.0);
  const double introAt = 0, a1 = 16, b1 = a1 + 64, a2 = b1 + 32, b2 = a2 + 64, a3 = b2 + 32, outroAt = a3 + 32;
  tempo.ritardando(outroAt + 4, outroAt + 12, 0.6);
  Arranger a("Surfer Frosty", tempo, 909);
  Part lead = part(Inst::SurfGuitar, 0.85f, 0.3f, 0.1f, 1.0f, 0.9);
  lead.bus = Bus::Spring;
  Part rhythmGtr = part(Inst::SurfGuitar, 0.6f, -0.75f, 0.1f, 0.55f, 0.5);
  rhythmGtr.bus = Bus::Spring;
  const Part bass = part(Inst::ElectricBass, 0.8f, 0.0f, 0.02f, 1.0f, 0.85);
  // `level` scales the whole band: the breakdown drops to half with only kick and hats.
  auto beat = [&](double at, int bars, bool fill, float level = 1.0f) {
    a.drums(part(Inst::Kick, 0.85f, 0.0f, 0.03f, 0.9f * level), at, bars, 4, "x.....x.x.......");
    a.drums(part(Inst::HatClosed, 0.6f, 0.6f, 0.05f, 0.45f * level), at, bars, 4, "x.x.x.x.x.x.x.x.");
    if (level < 1.0f) return;
    a.drums(part(Inst::Snare, 0.8f, 0.05f, 0.2f, 1.2f), at, bars, 4, "....x.......x...");
    a.drums(part(Inst::Tambourine, 0.6f, -0.65f, 0.1f, 0.4f), at, bars, 4, "....x.......x...");
    if (fill) {
      const double f = at + bars * 4 - 2;
      a.drums(part(Inst::TomHigh, 0.8f, 0.55f, 0.15f, 0.7f), f, 1, 0.5, "xx");
      a.drums(part(Inst::TomMid, 0.8f, 0.0f, 0.15f, 0.7f), f + 0.5, 1, 0.5, "xx");
      a.drums(part(Inst::TomLow, 0.85f, -0.55f, 0.15f, 0.75f), f + 1, 1, 1, "xxxx");
    }
  };
  auto strum = [&](const std::vector<Chord>& chords, float level = 1.0f, float pan = -0.8f) {
    Part p = rhythmGtr;
    p.gain *= level;
    p.pan = pan;
    compChords(a, p, chords, 52, 67, 3, 4, "..x...x...x...x.", 0.4, 0.012);
  };
  auto surfBass = [&](const std::vector<Chord>& chords, float level = 1.0f) {
    Part b = bass;
    b.gain *= level;
    for (const Chord& c : chords) {
      const int root = keyAtOrAbove(c.root, 28);
      const int pattern[8] = {0, 0, 7, 0, 12, 0, 7, 10};
      for (int i = 0; i < 8 && i * 0.5 < c.beats; ++i)
        a.note(b, c.beat + i * 0.5, 0.5, root + (pattern[i] == 10 ? (c.tones.size() > 3 ? 10 : 7) : pattern[i]),
               i % 2 == 0 ? 1.0f : 0.8f);
    }
  };

  // Intro: a tremolo slide down the low string, then the band on a one-chord vamp.
  for (int i = 0; i < 32; ++i) a.note(lead, introAt + i * 0.25, 0.25, 64 - i * 0.75, 0.8f + (i % 2) * 0.1f);
  const auto vamp = parseChords("Em:4 C:4 Em:4 B7:4", introAt + 8);
  a.drums(part(Inst::TomLow, 0.8f, -0.3f, 0.15f, 0.7f), introAt + 6, 1, 2, "xxxxxxxx");
  beat(introAt + 8, 2, true);
  surfBass(vamp);
  strum(vamp);

  // The guitars trade sides between the verses (side 1) and the bridges (side -1). The second
  // bridge is the breakdown: the organ takes the tune over a band at half strength, the lead
  // guitar answering from the other side.
  auto section = [&](double at, const char* mel, const char* chordText, float side, bool breakdown) {
    const auto chords = parseChords(chordText, at);
    const auto notes = parseMelody(mel, at);
    const float level = breakdown ? 0.45f : 1.0f;
    Part voice = lead;
    voice.pan = 0.55f * side;
    if (breakdown) {
      a.melody(part(Inst::Organ, 0.65f, -0.4f, 0.25f, 0.55f), notes);
      Part answer = lead;
      answer.gain = 0.5f;
      answer.pan = 0.5f;
      a.melody(answer, tremolo(harmonyBelow(notes, chords)));
    } else {
      a.melody(voice, tremolo(notes));
      padChords(a, part(Inst::Organ, 0.5f, -0.45f * side, 0.2f, 0.3f), chords, 55, 70, 3, 0.8f);
    }
    strum(chords, level, -0.8f * side);
    surfBass(chords, level);
    const int bars = static_cast<int>((chords.back().beat + chords.back().beats - at) / 4);
    beat(at, bars, !breakdown, level);
  };
  section(a1, kSurfA, kSurfAChords, 1.0f, false);
  section(b1, kSurfB, kSurfBChords, -1.0f, false);
  section(a2, kSurfA, kSurfAChords, 1.0f, false);
  section(b2, kSurfB, kSurfBChords, -1.0f, true);
  // Last A: its second half only, leading to the outro.
  {
    const auto chords = parseChords("Em:4 Em:4 C:4 C:4 Am:4 Am:4 B7:4 B7:4", a3);
    const auto notes = parseMelody(
        "E5:1.5 B4:0.5 E5:1 G5:1 | F#5:1.5 E5:0.5 D#5:1 E5:1 | G5:3 E5:1 | C5:4 |"
        "A4:1 C5:1 E5:1 A5:1 | G5:1.5 F#5:0.5 E5:2 | F#5:1 D#5:1 B4:1 A4:1 | B4:4",
        a3);
    a.melody(lead, tremolo(notes));
    strum(chords);
    surfBass(chords);
    beat(a3, 8, true);
  }
  // Outro: E minor sixth rung out, tremolo on top, a last crash and spring splash.
  const auto outro = parseChords("Em:4 Em6:8", outroAt);
  a.melody(lead, tremolo(parseMelody("B4:1 D5:1 E5:1 G5:1 | E5:8", outroAt)));
  surfBass(std::vector<Chord>(outro.begin(), outro.begin() + 1));
  compChords(a, rhythmGtr, std::vector<Chord>(outro.begin() + 1, outro.end()), 52, 68, 4, 8, "x", 8.0, 0.03);
  a.note(bass, outroAt + 4, 8, 28);
  a.note(part(Inst::Crash, 0.85f, -0.4f, 0.25f, 0.65f), outroAt + 4, 4, 60);
  a.note(part(Inst::Kick, 0.9f, 0.0f, 0.05f, 0.9f), outroAt + 4, 1, 60);
  beat(outroAt, 1, false);
  a.song().roomSize = 0.5;
  a.song().springMix = 0.7f;
  return a.finish(2.0);
}

}  // namespace tune
