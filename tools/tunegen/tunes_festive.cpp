// Jingle Bells and We Wish You a Merry Christmas: traditional melodies, festive band settings.
#include "arrangement.h"
#include "tunes.h"

namespace tune {
namespace {
// Jingle Bells (J. Pierpont, 1857), written in C and played in G, the last chorus in A flat.
const char* kJingleVerse =
    "G4:1 E5:1 D5:1 C5:1 | G4:3 G4:0.5 G4:0.5 | G4:1 E5:1 D5:1 C5:1 | A4:4 |"
    "A4:1 F5:1 E5:1 D5:1 | B4:4 | G5:1 G5:1 F5:1 D5:1 | E5:4 |"
    "G4:1 E5:1 D5:1 C5:1 | G4:4 | G4:1 E5:1 D5:1 C5:1 | A4:3 A4:1 |"
    "A4:1 F5:1 E5:1 D5:1 | G5:1 G5:1 G5:1 G5:1 | A5:1 G5:1 F5:1 D5:1 | C5:2 r:2";
const char* kJingleVerseChords = "C:4 C:4 C:4 F:4 | F:4 G:4 G7:4 C:4 | C:4 C:4 C:4 F:4 | Dm:4 G:4 G7:4 C:4";
const char* kJingleChorus =
    "E5:1 E5:1 E5:2 | E5:1 E5:1 E5:2 | E5:1 G5:1 C5:1.5 D5:0.5 | E5:4 |"
    "F5:1 F5:1 F5:1.5 F5:0.5 | F5:1 E5:1 E5:1 E5:0.5 E5:0.5 | E5:1 D5:1 D5:1 E5:1 | D5:2 G5:2 |"
    "E5:1 E5:1 E5:2 | E5:1 E5:1 E5:2 | E5:1 G5:1 C5:1.5 D5:0.5 | E5:4 |"
    "F5:1 F5:1 F5:1 F5:1 | F5:1 E5:1 E5:1 E5:0.5 E5:0.5 | G5:1 G5:1 F5:1 D5:1 | C5:4";
const char* kJingleChorusChords = "C:4 C:4 C:4 C7:4 | F:4 C:4 D7:4 G7:4 | C:4 C:4 C:4 C7:4 | F:4 C:4 G7:4 C:4";

}  // namespace

Song jingleBells() {
  TempoMap tempo(168.0);
  const double introAt = 0, verse1At = 16, chorus1At = 80, verse2At = 144, chorus2At = 208, tagAt = 272;
  tempo.ritardando(tagAt + 4, tagAt + 16, 0.55);
  Arranger a("Jingle Bells", tempo, 101);
  const int key = -5;

  // Intro: the chorus motif on glockenspiel over a piano vamp.
  const auto introChords = parseChords("C:4 Am:4 Dm7:4 G7:4", introAt, key);
  a.melody(
      part(Inst::Glockenspiel, 0.8f, 0.45f, 0.35f, 0.6f),
      parseMelody("E5:1 E5:1 E5:2 | E5:1 E5:1 E5:2 | E5:1 G5:1 C5:1.5 D5:0.5 | E5:2 D5:1 B4:1", introAt, key + 12));
  compChords(a, part(Inst::Piano, 0.6f, -0.45f, 0.2f, 0.5f), introChords, 55, 72, 4, 4, "x.x.x.x.", 0.45);
  bassLine(a, part(Inst::UprightBass, 0.8f, 0.0f, 0.05f, 0.6f), introChords, 36, BassStyle::RootFifth, 4);
  a.drums(part(Inst::SleighBells, 0.7f, 0.7f, 0.2f, 0.45f), introAt, 4, 4, "xoxoxoxo");

  // Verses are the quiet half: a lighter band, brushes instead of a backbeat, the first one
  // softest; the choruses open up with horns, strings and drums. Parts sit apart across the
  // stereo field: piano and horns left, celesta, glockenspiel and bells right.
  auto section = [&](double at, const char* mel, const char* chordText, int k, bool chorus, Inst lead, int leadOctave,
                     float level, float leadPan) {
    const auto chords = parseChords(chordText, at, k);
    const auto melody = parseMelody(mel, at, k);
    a.melody(part(lead, 0.85f * (0.8f + 0.2f * level), leadPan, 0.25f, level, 0.9), melody, leadOctave);
    if (chorus) {
      a.melody(part(Inst::Horn, 0.7f, -0.55f, 0.25f, 0.65f, 0.9), harmonyBelow(melody, chords));
      a.melody(part(Inst::Glockenspiel, 0.55f, 0.6f, 0.3f, 0.45f), melody, 12);
      padChords(a, part(Inst::Strings, 0.55f, 0.0f, 0.35f, 0.35f), chords, 53, 69, 4, 0.9f);
    } else {
      arpeggio(a, part(Inst::Celesta, 0.55f, 0.65f, 0.35f, 0.5f * level), chords, 72, 88, 3, 0.5, {0, 1, 2, 1}, 1.5);
    }
    compChords(a, part(Inst::Piano, 0.6f, -0.45f, 0.2f, 0.75f * level), chords, 55, 72, 4, 4, ".x.x", 0.8);
    bassLine(a, part(Inst::UprightBass, 0.85f, 0.0f, 0.05f, level), chords, 36,
             chorus ? BassStyle::Walking : BassStyle::RootFifth, 4);
    const int bars = 16;
    a.drums(part(Inst::SleighBells, 0.75f, 0.7f, 0.2f, 0.65f * level), at, bars, 4, "xoxoxoxo");
    if (chorus) {
      a.drums(part(Inst::Kick, 0.8f, 0.0f, 0.02f, 0.8f), at, bars, 4, "x.x.");
      a.drums(part(Inst::Snare, 0.7f, 0.15f, 0.15f, 0.9f), at, bars, 4, ".x.x");
      a.drums(part(Inst::HatClosed, 0.6f, -0.6f, 0.05f, 0.45f), at, bars, 4, "xoxoxoxo");
      a.note(part(Inst::Crash, 0.8f, -0.5f, 0.2f, 0.6f), at, 4, 60);
    } else {
      a.drums(part(Inst::BrushTap, 0.7f, 0.3f, 0.15f, level), at, bars, 4, ".x.x");
    }
  };
  section(verse1At, kJingleVerse, kJingleVerseChords, key, false, Inst::Trumpet, 0, 0.55f, 0.35f);
  section(chorus1At, kJingleChorus, kJingleChorusChords, key, true, Inst::Trumpet, 0, 1.0f, -0.1f);
  section(verse2At, kJingleVerse, kJingleVerseChords, key, false, Inst::Flute, 12, 0.7f, -0.35f);
  section(chorus2At, kJingleChorus, kJingleChorusChords, key + 1, true, Inst::Trumpet, 0, 1.0f, 0.1f);

  // Tag: "jingle all the way" twice, slowing, onto a long final chord.
  const int tk = key + 1;
  const auto tagChords = parseChords("C:4 A7:4 Dm7:2 G7:2 C:8", tagAt, tk);
  const auto tagMelody = parseMelody("E5:1 G5:1 C5:1.5 D5:0.5 | E5:2 r:2 | E5:1 G5:1 C5:1.5 D5:0.5 | C5:8", tagAt, tk);
  a.melody(part(Inst::Trumpet, 0.9f, 0.05f, 0.3f, 1.0f, 0.92), tagMelody);
  a.melody(part(Inst::Horn, 0.75f, -0.55f, 0.3f, 0.65f, 0.92), harmonyBelow(tagMelody, tagChords));
  a.melody(part(Inst::Glockenspiel, 0.6f, 0.6f, 0.3f, 0.45f), tagMelody, 12);
  padChords(a, part(Inst::Strings, 0.6f, 0.0f, 0.35f, 0.35f), tagChords, 53, 69, 4, 0.9f);
  compChords(a, part(Inst::Piano, 0.6f, -0.45f, 0.2f, 0.75f), tagChords, 55, 72, 4, 4, "x.x.", 1.5);
  bassLine(a, part(Inst::UprightBass, 0.85f, 0.0f, 0.05f, 1.0f), tagChords, 36, BassStyle::Held, 4);
  a.drums(part(Inst::SleighBells, 0.75f, 0.7f, 0.2f, 0.65f), tagAt, 3, 4, "xoxoxoxo");
  a.note(part(Inst::Crash, 0.9f, -0.4f, 0.3f, 0.7f), tagAt + 12, 4, 60);
  a.note(part(Inst::Kick, 0.9f, 0.0f, 0.1f, 0.9f), tagAt + 12, 1, 60);
  a.note(part(Inst::SleighBells, 0.9f, 0.45f, 0.3f, 0.8f), tagAt + 12, 1, 60);
  a.song().roomSize = 0.7;
  return a.finish(2.0);
}

// We Wish You a Merry Christmas (English West Country carol), in F, later in G.
namespace {
const char* kWishMelody =
    "C4:1 | F4:1 F4:0.5 G4:0.5 F4:0.5 E4:0.5 | D4:1 D4:1 D4:1 | G4:1 G4:0.5 A4:0.5 G4:0.5 F4:0.5 | E4:1 C4:1 C4:1 |"
    "A4:1 A4:0.5 Bb4:0.5 A4:0.5 G4:0.5 | F4:1 D4:1 C4:0.5 C4:0.5 | D4:1 G4:1 E4:1 | F4:2 C4:1 |"
    "F4:1 F4:1 F4:1 | E4:2 E4:1 | F4:1 E4:1 D4:1 | C4:2 G4:1 |"
    "A4:1 G4:1 F4:1 | C5:1 C4:1 C4:0.5 C4:0.5 | D4:1 G4:1 E4:1 | F4:2 r:1";
const char* kWishChords =
    "r:1 | F:3 | Bb:3 | G7:3 | C:3 | A7:3 | Dm:3 | Bb:1 C7:2 | F:3 |"
    "F:3 | C:3 | Dm:3 | C:2 C7:1 | F:3 | F:1 C:2 | Bb:1 C7:2 | F:3";
}  // namespace

Song weWishYou() {
  TempoMap tempo(138.0);
  const double pass = 48.0;  // each pass's pickup falls on the last beat of the one before
  const double introAt = 0;
  const double passAt[4] = {11, 11 + pass, 11 + 2 * pass, 11 + 3 * pass};
  const double endAt = passAt[3] + 46;  // the last "year", held as the final chord
  tempo.ritardando(endAt - 9, endAt + 1, 0.55);
  Arranger a("We Wish You a Merry Christmas", tempo, 110);

  // Intro: brass fanfare on the dominant.
  const auto intro = parseChords("F:3 Bb:3 C7:3 C7:2", introAt);
  padChords(a, part(Inst::Horn, 0.75f, -0.2f, 0.3f, 0.45f), intro, 55, 70, 3, 0.5f);
  a.melody(part(Inst::Trumpet, 0.85f, 0.1f, 0.3f, 0.9f),
           parseMelody("C5:1 A4:1 C5:1 | D5:1 F5:1 D5:1 | C5:1.5 Bb4:0.5 G4:1 | E4:2", introAt));
  bassLine(a, part(Inst::Tuba, 0.8f, 0.0f, 0.05f, 0.9f), intro, 34, BassStyle::Held, 3);
  a.drums(part(Inst::Snare, 0.6f, 0.1f, 0.2f, 0.45f), introAt + 6, 1, 3, "xxxxxxxxxxxx");
  a.note(part(Inst::Timpani, 0.8f, -0.1f, 0.2f, 0.7f), introAt, 3, 41);
  a.note(part(Inst::Timpani, 0.8f, -0.1f, 0.2f, 0.7f), introAt + 6, 3, 36);

  for (int p = 0; p < 4; ++p) {
    const int k = p >= 2 ? 2 : 0;
    const double at = passAt[p];
    const auto chords = parseChords(kWishChords, at, k);
    const auto melody = parseMelody(kWishMelody, at, k);
    const int bars = 16;
    const double bar0 = at + 1;
    if (p == 0) {
      // The music box pass: soft, small and spread out, so the brass that follows arrives.
      a.melody(part(Inst::Glockenspiel, 0.7f, 0.45f, 0.3f, 0.6f), melody, 24);
      a.melody(part(Inst::Celesta, 0.6f, -0.45f, 0.3f, 0.5f), melody, 12);
      compChords(a, part(Inst::Pizzicato, 0.6f, -0.6f, 0.25f, 0.35f), chords, 53, 69, 3, 3, ".xx");
      bassLine(a, part(Inst::Pizzicato, 0.75f, 0.1f, 0.15f, 0.65f), chords, 36, BassStyle::Waltz, 3);
      a.drums(part(Inst::SleighBells, 0.6f, 0.7f, 0.2f, 0.35f), bar0, bars, 3, "xoxoxo");
    } else if (p == 1) {
      a.melody(part(Inst::Trumpet, 0.85f, 0.25f, 0.25f, 1.0f, 0.9), melody, 12);
      a.melody(part(Inst::Horn, 0.7f, -0.5f, 0.25f, 0.6f, 0.9), harmonyBelow(shifted(melody, 0, 12), chords));
      compChords(a, part(Inst::Horn, 0.6f, -0.7f, 0.25f, 0.35f), chords, 53, 67, 3, 3, ".xx", 0.8);
      bassLine(a, part(Inst::Tuba, 0.85f, 0.0f, 0.05f, 0.9f), chords, 34, BassStyle::Waltz, 3);
      a.drums(part(Inst::Snare, 0.6f, 0.1f, 0.15f, 0.8f), bar0, bars, 3, "x.oxox");
      a.drums(part(Inst::Kick, 0.8f, 0.0f, 0.05f, 0.8f), bar0, bars, 3, "x.....");
      a.drums(part(Inst::SleighBells, 0.7f, 0.7f, 0.2f, 0.55f), bar0, bars, 3, "xoxoxo");
    } else if (p == 2) {
      // Woodwinds and harp: the second quiet pass before the full band.
      a.melody(part(Inst::Flute, 0.75f, 0.35f, 0.3f, 0.6f), melody, 24);
      a.melody(part(Inst::Clarinet, 0.7f, -0.4f, 0.3f, 0.5f), harmonyBelow(shifted(melody, 0, 12), chords));
      padChords(a, part(Inst::Strings, 0.5f, 0.0f, 0.35f, 0.25f), chords, 53, 69, 4, 0.9f);
      arpeggio(a, part(Inst::Harp, 0.55f, -0.65f, 0.3f, 0.4f), chords, 60, 84, 3, 0.5, {0, 1, 2, 1, 2, 1});
      bassLine(a, part(Inst::Pizzicato, 0.8f, 0.1f, 0.15f, 0.65f), chords, 36, BassStyle::Waltz, 3);
      a.drums(part(Inst::Triangle, 0.55f, 0.7f, 0.3f, 0.35f), bar0, bars, 3, "x.....");
    } else {
      a.melody(part(Inst::Trumpet, 0.9f, 0.25f, 0.25f, 1.0f, 0.9), melody, 12);
      a.melody(part(Inst::Horn, 0.75f, -0.5f, 0.25f, 0.6f, 0.9), harmonyBelow(shifted(melody, 0, 12), chords));
      a.melody(part(Inst::Glockenspiel, 0.7f, 0.6f, 0.3f, 0.5f), melody, 24);
      padChords(a, part(Inst::Strings, 0.65f, 0.0f, 0.35f, 0.35f), chords, 53, 69, 4, 0.9f);
      bassLine(a, part(Inst::Tuba, 0.85f, 0.0f, 0.05f, 0.9f), chords, 34, BassStyle::Waltz, 3);
      compChords(a, part(Inst::Horn, 0.6f, -0.7f, 0.25f, 0.35f), chords, 53, 67, 3, 3, ".xx", 0.8);
      a.drums(part(Inst::Snare, 0.65f, 0.1f, 0.15f, 0.8f), bar0, bars - 1, 3, "x.oxox");
      a.drums(part(Inst::Kick, 0.8f, 0.0f, 0.05f, 0.8f), bar0, bars - 1, 3, "x.....");
      a.drums(part(Inst::SleighBells, 0.75f, 0.7f, 0.2f, 0.6f), bar0, bars, 3, "xoxoxo");
      a.note(part(Inst::Crash, 0.85f, -0.4f, 0.25f, 0.6f), bar0, 3, 60);
    }
  }
  // Final chord: "happy new year" held, with a cymbal and timpani.
  const auto last = parseChords("G:6", endAt);
  padChords(a, part(Inst::Strings, 0.7f, 0.0f, 0.4f, 0.4f), last, 55, 71, 4, 0.6f);
  padChords(a, part(Inst::Horn, 0.75f, -0.2f, 0.35f, 0.4f), last, 50, 64, 3, 0.4f);
  a.note(part(Inst::Trumpet, 0.85f, 0.1f, 0.35f, 0.9f, 1.0), endAt, 6, 71);
  a.note(part(Inst::Tuba, 0.85f, 0.0f, 0.1f, 0.9f, 1.0), endAt, 6, 31);
  a.note(part(Inst::Glockenspiel, 0.8f, 0.35f, 0.35f, 0.6f), endAt, 2, 91);
  a.note(part(Inst::Crash, 0.85f, -0.4f, 0.3f, 0.6f), endAt, 4, 60);
  a.note(part(Inst::Timpani, 0.9f, -0.1f, 0.25f, 0.8f), endAt, 4, 43);
  return a.finish(2.0);
}

}  // namespace tune
