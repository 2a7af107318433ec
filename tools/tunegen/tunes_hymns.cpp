// Carols and hymns: Away in a Manger, O Come All Ye Faithful, O Christmas Tree, and O Holy
// Night twice (a solemn setting and a metal one). All melodies are traditional or from the
// nineteenth century.
#include "arrangement.h"
#include "tunes.h"

namespace tune {
namespace {
// Away in a Manger, the American hymn tune (1887), 3/4 in F with a pickup.
const char* kMangerMelody =
    "C4:1 | F4:1 F4:1 G4:1 | A4:1 F4:1 F4:1 | A4:1 Bb4:1 C5:1 | C5:2 D5:1 |"
    "Bb4:1 G4:1 A4:1 | Bb4:1 Bb4:1 C5:1 | A4:1 A4:1 Bb4:1 | G4:2 C4:1 |"
    "F4:1 F4:1 G4:1 | A4:1 F4:1 F4:1 | A4:1 Bb4:1 C5:1 | C5:2 D5:1 |"
    "Bb4:1 G4:1 A4:1 | Bb4:1 Bb4:1 C5:1 | A4:1 F4:1 G4:1 | F4:2 r:1";
const char* kMangerChords =
    "r:1 | F:3 | F:3 | F:3 | F:2 Dm:1 | Gm:3 | C7:3 | F:2 Bb:1 | C:2 C7:1 |"
    "F:3 | F:3 | F:3 | F:2 Dm:1 | Gm:3 | Bb:2 C7:1 | F/C:2 C7:1 | F:3";

}  // namespace

Song awayInAManger() {
  TempoMap tempo(84.0);
  const double verseBeats = 48.0;  // pickup on the last beat of the bar before
  const double introAt = 0;
  const double v1 = 11, v2 = v1 + verseBeats;
  const double endAt = v2 + 46;  // the final "hay", held
  tempo.ritardando(endAt - 9, endAt + 2, 0.6);
  Arranger a("Away in a Manger", tempo, 202);

  // Intro: the last phrase on the music box over harp.
  const auto introChords = parseChords("Gm:3 Bb:2 C7:1 F/C:2 C7:1 F:2", introAt);
  a.melody(part(Inst::MusicBox, 0.7f, 0.2f, 0.4f, 0.9f),
           parseMelody("Bb5:1 G5:1 A5:1 | Bb5:1 Bb5:1 C6:1 | A5:1 F5:1 G5:1 | F5:2", introAt));
  arpeggio(a, part(Inst::Harp, 0.6f, -0.3f, 0.4f, 0.6f), introChords, 53, 77, 4, 0.5, {0, 1, 2, 3, 2, 1});

  for (int v = 0; v < 2; ++v) {
    const double at = v == 0 ? v1 : v2;
    const auto chords = parseChords(kMangerChords, at);
    const auto melody = parseMelody(kMangerMelody, at);
    if (v == 0) {
      a.melody(part(Inst::Celesta, 0.75f, 0.1f, 0.4f, 1.0f), melody, 12);
      a.melody(part(Inst::MusicBox, 0.5f, 0.3f, 0.4f, 0.4f), melody, 24);
      arpeggio(a, part(Inst::Harp, 0.55f, -0.3f, 0.4f, 0.6f), chords, 53, 77, 4, 0.5, {0, 1, 2, 3, 2, 1});
      padChords(a, part(Inst::Strings, 0.45f, 0.0f, 0.45f, 0.3f), chords, 53, 67, 3, 0.7f);
      bassLine(a, part(Inst::Pizzicato, 0.7f, 0.0f, 0.2f, 0.8f), chords, 36, BassStyle::Held, 3);
    } else {
      a.melody(part(Inst::Flute, 0.75f, 0.1f, 0.4f, 1.0f), melody, 12);
      a.melody(part(Inst::Clarinet, 0.6f, -0.25f, 0.4f, 0.55f), harmonyBelow(shifted(melody, 0, 12), chords));
      arpeggio(a, part(Inst::Celesta, 0.5f, 0.35f, 0.4f, 0.45f), chords, 65, 89, 3, 1.0, {2, 1, 0});
      padChords(a, part(Inst::Strings, 0.55f, 0.0f, 0.45f, 0.35f), chords, 53, 69, 4, 0.7f);
      bassLine(a, part(Inst::Strings, 0.6f, 0.0f, 0.3f, 0.7f), chords, 36, BassStyle::Held, 3);
    }
  }
  // Final chord: F with an added ninth, rung out on harp and celesta.
  const auto last = parseChords("Fadd9:6", endAt);
  padChords(a, part(Inst::Strings, 0.7f, 0.0f, 0.5f, 0.5f), last, 53, 72, 4, 0.7f);
  arpeggio(a, part(Inst::Harp, 0.6f, -0.3f, 0.5f, 0.6f), last, 41, 84, 6, 0.25, {0, 1, 2, 3, 4, 5}, 8.0);
  a.note(part(Inst::Celesta, 0.7f, 0.2f, 0.5f, 0.8f), endAt + 1.5, 4, 77);
  a.note(part(Inst::Strings, 0.6f, 0.0f, 0.3f, 0.7f), endAt, 6, 29);
  a.song().roomSize = 0.85;
  a.song().brightness = 4.0;  // soft timbres throughout: open up the top a little
  return a.finish(2.0);
}

// Adeste Fideles, 4/4 in G with a pickup.
namespace {
const char* kAdesteMelody =
    "G4:1 | G4:2 D4:1 G4:1 | A4:2 D4:2 | B4:1 A4:1 B4:1 C5:1 | B4:2 A4:1 G4:1 |"
    "G4:2 F#4:1 E4:1 | F#4:1 G4:1 A4:1 B4:1 | F#4:2 E4:1.5 D4:0.5 | D4:3 D5:1 |"
    "D5:2 C5:1 B4:1 | C5:2 B4:2 | A4:1 B4:1 G4:1 A4:1 | F#4:1.5 E4:0.5 D4:1 G4:1 |"
    "G4:1 F#4:1 G4:1 A4:1 | G4:2 D4:1 B4:1 | B4:1 A4:1 B4:1 C5:1 | B4:2 A4:1 B4:1 |"
    "C5:1 B4:1 A4:1 G4:1 | F#4:2 G4:1 C5:1 | B4:2 A4:1.5 G4:0.5 | G4:3 r:1";
const char* kAdesteChords =
    "G:1 | G:2 D:1 G:1 | D:4 | G:1 D:1 G:1 C:1 | G:2 D:2 | Em:2 D:1 C:1 | D:1 G:1 D:1 G:1 | D:2 A7:2 | D:4 |"
    "G:4 | C:2 G:2 | D:1 G:1 Em:1 D:1 | D:1.5 A7:0.5 D:1 G:1 | G:1 D:1 G:1 D:1 | G:2 D:1 G:1 |"
    "G:1 D:1 G:1 C:1 | G:2 D:1 G:1 | C:1 G:1 D:1 Em:1 | D:2 G:1 C:1 | G/D:2 D7:2 | G:4";
}  // namespace

Song comeAllYeFaithful() {
  TempoMap tempo(100.0);
  const double verseBeats = 80.0;
  const double introAt = 0, v1 = 19, v2 = v1 + verseBeats, endAt = v2 + 77;
  tempo.ritardando(endAt - 8, endAt + 1, 0.6);
  Arranger a("O Come All Ye Faithful", tempo, 404);
  const Part trumpet = part(Inst::Trumpet, 0.8f, -0.2f, 0.35f, 1.0f, 0.92);
  const Part flute = part(Inst::Flute, 0.8f, 0.25f, 0.35f, 1.0f, 0.95);

  // Intro: organ alone with the closing "O come, let us adore him ... Christ the Lord".
  const auto introChords = parseChords("C:1 G:1 D:1 Em:1 | D:2 G:1 C:1 | G/D:2 D7:2 | G:4 | D7:3", introAt);
  a.melody(part(Inst::Organ, 0.75f, 0.0f, 0.4f, 0.8f),
           parseMelody("C5:1 B4:1 A4:1 G4:1 | F#4:2 G4:1 C5:1 | B4:2 A4:1.5 G4:0.5 | G4:4 | r:3", introAt));
  padChords(a, part(Inst::Organ, 0.6f, 0.0f, 0.4f, 0.5f), introChords, 48, 62, 3, 0.4f);
  bassLine(a, part(Inst::Organ, 0.6f, 0.0f, 0.3f, 0.7f), introChords, 31, BassStyle::Held, 4);

  for (int v = 0; v < 2; ++v) {
    const double at = v == 0 ? v1 : v2;
    const auto chords = parseChords(kAdesteChords, at);
    const auto melody = parseMelody(kAdesteMelody, at);
    const auto lower = harmonyBelow(melody, chords);
    if (v == 0) {
      // First the trumpet sings; the flute answers with the harmony from "Come and behold him".
      a.melody(trumpet, melody);
      const auto answer = splitAt(shifted(melody, 0, 12), at + 32).second;
      a.melody(flute, harmonyBelow(answer, chords));
    } else {
      // Then the flute leads an octave up and the trumpet takes the lower voice throughout.
      a.melody(flute, melody, 12);
      a.melody(trumpet, lower);
      a.drums(part(Inst::Timpani, 0.7f, -0.1f, 0.3f, 0.6f), at + 49, 8, 4, "x...");
    }
    padChords(a, part(Inst::Organ, 0.55f, 0.0f, 0.4f, 0.45f), chords, 50, 64, 3, 0.5f);
    padChords(a, part(Inst::Strings, 0.5f, 0.0f, 0.4f, v == 0 ? 0.2f : 0.3f), chords, 55, 71, 3, 0.7f);
    bassLine(a, part(Inst::Organ, 0.6f, 0.0f, 0.3f, 0.7f), chords, 31, BassStyle::Held, 4);
    bassLine(a, part(Inst::Pizzicato, 0.6f, 0.0f, 0.2f, 0.5f), chords, 43, BassStyle::Held, 4);
  }
  const auto last = parseChords("G:8", endAt);
  padChords(a, part(Inst::Organ, 0.7f, 0.0f, 0.5f, 0.5f), last, 50, 67, 4, 0.5f);
  padChords(a, part(Inst::Strings, 0.6f, 0.0f, 0.5f, 0.35f), last, 55, 74, 4, 0.7f);
  a.note(flute, endAt, 8, 79);
  a.note(trumpet, endAt, 8, 71);
  a.note(part(Inst::Organ, 0.7f, 0.0f, 0.3f, 0.7f), endAt, 8, 31);
  a.drums(part(Inst::Timpani, 0.6f, -0.1f, 0.3f, 0.5f), endAt, 1, 2, "xxxxxxxxxxxxxxxx");
  a.note(part(Inst::Timpani, 0.9f, -0.1f, 0.3f, 0.8f), endAt + 2, 4, 43);
  a.song().roomSize = 0.9;
  a.song().brightness = 4.0;
  a.song().predelay = 0.035;
  return a.finish(2.5);
}

// O Tannenbaum (German folk song, 1824 words), 3/4 in F with a pickup; played in F, then G.
namespace {
const char* kTreeMelody =
    "C4:1 | F4:0.75 F4:0.25 F4:1.5 G4:0.5 | A4:0.75 A4:0.25 A4:1.5 A4:0.5 | G4:0.5 A4:0.5 Bb4:1 E4:1 |"
    "G4:1 F4:1 C5:1 | C5:0.5 A4:0.5 D5:1.5 C5:0.5 | C5:0.5 Bb4:0.5 Bb4:1.5 Bb4:0.5 |"
    "Bb4:0.5 G4:0.5 C5:1.5 Bb4:0.5 | Bb4:0.5 A4:0.5 A4:1 C4:1 | F4:0.75 F4:0.25 F4:1.5 G4:0.5 |"
    "A4:0.75 A4:0.25 A4:1.5 A4:0.5 | G4:0.5 A4:0.5 Bb4:1 E4:1 | G4:1 F4:1 r:1";
const char* kTreeChords =
    "r:1 | F:3 | F:2 Dm:1 | C7:3 | C7:1 F:2 | F:1 Bb:2 | C7:3 | Gm:1 C7:2 | F:3 | F:3 | F:2 Dm:1 | C7:3 | C7:1 F:2";
}  // namespace

Song christmasTree() {
  TempoMap tempo(100.0);
  const double passBeats = 36.0;
  const double introAt = 0;
  const double passAt[4] = {11, 11 + passBeats, 11 + 2 * passBeats + 3, 11 + 3 * passBeats + 3};
  const double endAt = passAt[3] + 34;
  tempo.ritardando(endAt - 9, endAt + 1, 0.55);
  Arranger a("O Christmas Tree", tempo, 808);

  const auto introChords = parseChords("F:3 Bb:3 C7:3 C7:2", introAt);
  arpeggio(a, part(Inst::Harp, 0.65f, -0.2f, 0.4f, 0.7f), introChords, 53, 77, 4, 0.5, {0, 1, 2, 3, 2, 1});
  a.melody(part(Inst::Glockenspiel, 0.6f, 0.3f, 0.4f, 0.6f), parseMelody("A5:3 | Bb5:3 | G5:3 | E5:2", introAt));

  for (int p = 0; p < 4; ++p) {
    const int k = p >= 2 ? 2 : 0;
    const double at = passAt[p];
    const auto chords = parseChords(kTreeChords, at, k);
    const auto melody = parseMelody(kTreeMelody, at, k);
    const double bar0 = at + 1;
    if (p == 0) {
      a.melody(part(Inst::MusicBox, 0.75f, 0.1f, 0.4f, 1.0f), melody, 12);
      arpeggio(a, part(Inst::Harp, 0.55f, -0.3f, 0.4f, 0.6f), chords, 53, 77, 4, 0.5, {0, 1, 2, 3, 2, 1});
      bassLine(a, part(Inst::Pizzicato, 0.7f, 0.0f, 0.2f, 0.8f), chords, 36, BassStyle::Waltz, 3);
    } else if (p == 1) {
      a.melody(part(Inst::Horn, 0.75f, -0.15f, 0.4f, 1.0f), melody);
      padChords(a, part(Inst::Strings, 0.55f, 0.0f, 0.4f, 0.35f), chords, 53, 69, 4, 0.7f);
      compChords(a, part(Inst::Pizzicato, 0.55f, 0.35f, 0.3f, 0.5f), chords, 60, 74, 3, 3, ".xx");
      bassLine(a, part(Inst::Pizzicato, 0.75f, 0.0f, 0.2f, 0.85f), chords, 36, BassStyle::Waltz, 3);
    } else if (p == 2) {
      a.melody(part(Inst::Clarinet, 0.75f, 0.15f, 0.4f, 1.0f), melody, 12);
      a.melody(part(Inst::Glockenspiel, 0.5f, 0.35f, 0.4f, 0.45f), melody, 24);
      compChords(a, part(Inst::Pizzicato, 0.6f, -0.35f, 0.3f, 0.55f), chords, 55, 71, 3, 3, ".xx");
      padChords(a, part(Inst::Strings, 0.5f, 0.0f, 0.4f, 0.3f), chords, 53, 69, 3, 0.7f);
      bassLine(a, part(Inst::Pizzicato, 0.75f, 0.0f, 0.2f, 0.85f), chords, 36, BassStyle::Waltz, 3);
      a.drums(part(Inst::Triangle, 0.5f, 0.5f, 0.3f, 0.45f), bar0, 12, 3, "x..");
    } else {
      a.melody(part(Inst::Trumpet, 0.8f, 0.05f, 0.35f, 1.0f, 0.92), melody, 12);
      a.melody(part(Inst::Horn, 0.7f, -0.3f, 0.35f, 0.6f, 0.92), harmonyBelow(shifted(melody, 0, 12), chords));
      a.melody(part(Inst::Glockenspiel, 0.55f, 0.35f, 0.4f, 0.45f), melody, 24);
      padChords(a, part(Inst::Strings, 0.6f, 0.0f, 0.4f, 0.35f), chords, 53, 69, 4, 0.7f);
      bassLine(a, part(Inst::Tuba, 0.75f, 0.0f, 0.1f, 0.8f), chords, 34, BassStyle::Waltz, 3);
      a.drums(part(Inst::Timpani, 0.6f, -0.1f, 0.3f, 0.5f), bar0, 12, 3, "x..");
    }
    if (p == 1) {
      // Two bars of harp to lift into the new key.
      const auto lift = parseChords("D7:3", at + passBeats);
      arpeggio(a, part(Inst::Harp, 0.6f, -0.2f, 0.4f, 0.7f), lift, 54, 78, 4, 0.5, {0, 1, 2, 3, 2, 1});
    }
  }
  const auto last = parseChords("G:6", endAt);
  padChords(a, part(Inst::Strings, 0.7f, 0.0f, 0.5f, 0.5f), last, 55, 74, 4, 0.7f);
  padChords(a, part(Inst::Horn, 0.65f, -0.2f, 0.4f, 0.4f), last, 50, 64, 3, 0.4f);
  arpeggio(a, part(Inst::Harp, 0.6f, -0.3f, 0.5f, 0.6f), last, 43, 86, 6, 0.25, {0, 1, 2, 3, 4, 5}, 8.0);
  a.note(part(Inst::Glockenspiel, 0.7f, 0.35f, 0.4f, 0.6f), endAt + 1.5, 2, 91);
  a.note(part(Inst::Tuba, 0.7f, 0.0f, 0.1f, 0.7f), endAt, 6, 31);
  a.song().roomSize = 0.8;
  return a.finish(2.0);
}

// Cantique de Noel (A. Adam, 1847), in 12/8: one beat is an eighth note here.
namespace {
const char* kHolyNightMelody =
    // O holy night, the stars are brightly shining; it is the night of the dear Saviour's birth.
    "E4:3 E4:2 E4:1 G4:5 G4:1 | A4:2 A4:1 F4:2 A4:1 C5:4 G4:2 |"
    "G4:3 G4:2 E4:1 D4:3 C4:2 E4:1 | G4:3 F4:2 D4:1 C4:6 |"
    // Long lay the world in sin and error pining, till He appeared and the soul felt its worth.
    "E4:3 E4:2 E4:1 G4:5 G4:1 | A4:2 A4:1 F4:2 A4:1 C5:4 G4:2 |"
    "B4:3 B4:2 G4:1 F#4:3 E4:2 G4:1 | B4:3 A4:2 F#4:1 E4:6 |"
    // A thrill of hope, the weary world rejoices, for yonder breaks a new and glorious morn.
    "G4:3 G4:2 A4:1 B4:5 G4:1 | C5:3 B4:2 A4:1 G4:6 |"
    "G4:3 G4:2 A4:1 B4:5 G4:1 | D5:3 C5:2 B4:1 C5:6 |"
    // Fall on your knees, O hear the angel voices; O night divine, O night when Christ was born.
    "E5:6 D5:6 | C5:3 B4:2 A4:1 G4:6 | E5:6 D5:5 C5:1 | G5:9 E5:3 |"
    "D5:3 C5:2 B4:1 A4:3 G4:3 | A4:3 G4:2 E4:1 G4:6 | E5:6 D5:5 C5:1 | G5:9 E5:3 |"
    "D5:3 C5:2 B4:1 C5:3 D5:3 | C5:12";
const char* kHolyNightChords =
    "C:12 | F:6 C:6 | C:6 G:3 C:3 | G7:6 C:6 | C:12 | F:6 C:6 | Em:6 B7:3 Em:3 | B7:6 Em:6 |"
    "G:12 | C:6 G:6 | G:12 | G7:6 C:6 | Am:6 G:6 | F:6 C:6 | C:6 G:6 | C:12 |"
    "G:6 F:6 | F:6 C:6 | C:6 G:6 | C:12 | Dm7:6 G7:6 | C:12";
constexpr double kHolyNightLength = 264.0;
}  // namespace

Song holyNight() {
  TempoMap tempo(156.0);  // eighth notes; a dotted quarter at 52
  const double introAt = 0, verseAt = 12, endAt = verseAt + kHolyNightLength - 12;
  tempo.ritardando(endAt - 18, endAt + 2, 0.6);
  Arranger a("O Holy Night", tempo, 1111);
  const int key = 0;  // C major

  // Intro: the piano's rolling triplets alone for a bar.
  const auto introChords = parseChords("C:6 G7:6", introAt, key);
  arpeggio(a, part(Inst::Piano, 0.55f, -0.1f, 0.4f, 0.8f), introChords, 48, 67, 4, 1.0, {0, 1, 2, 3, 2, 1}, 3.0);
  a.note(part(Inst::Piano, 0.6f, -0.1f, 0.35f, 0.8f), introAt, 12, 36);

  const auto chords = parseChords(kHolyNightChords, verseAt, key);
  const auto melody = parseMelody(kHolyNightMelody, verseAt, key);
  // Piano: rolling triplet arpeggios and a bass octave on each chord.
  arpeggio(a, part(Inst::Piano, 0.5f, -0.1f, 0.4f, 0.75f), chords, 48, 67, 4, 1.0, {0, 1, 2, 3, 2, 1}, 3.0);
  for (const Chord& c : chords) {
    const int root = keyAtOrAbove(c.bass, 36);
    a.note(part(Inst::Piano, 0.55f, -0.1f, 0.35f, 0.75f), c.beat, c.beats, root);
    a.note(part(Inst::Piano, 0.45f, -0.1f, 0.35f, 0.6f), c.beat, c.beats, root + 12);
  }
  // First half: the melody on piano, then strings take it from "A thrill of hope".
  const auto [firstHalf, secondHalf] = splitAt(melody, verseAt + 96);
  a.melody(part(Inst::Piano, 0.75f, 0.0f, 0.35f, 1.0f), firstHalf, 12);
  a.melody(part(Inst::Strings, 0.75f, 0.1f, 0.4f, 1.1f), secondHalf, 12);
  a.melody(part(Inst::Piano, 0.6f, 0.0f, 0.35f, 0.6f), secondHalf, 12);
  // Choir pad from the second phrase, strings pad under the climax.
  const auto choirChords = splitAt(chords, verseAt + 24).second;
  const auto climaxChords = splitAt(chords, verseAt + 144).second;
  padChords(a, part(Inst::Choir, 0.55f, 0.0f, 0.5f, 0.45f), choirChords, 55, 72, 4, 0.8f);
  padChords(a, part(Inst::Strings, 0.5f, 0.0f, 0.45f, 0.3f), climaxChords, 48, 64, 3, 0.6f);
  for (const Chord& c : climaxChords)
    a.note(part(Inst::Strings, 0.6f, 0.0f, 0.3f, 0.55f), c.beat, c.beats, keyAtOrAbove(c.bass, 36));
  // "O night divine": a church bell on the climaxes.
  a.note(part(Inst::ChurchBell, 0.6f, 0.3f, 0.5f, 0.5f), verseAt + 180, 12, 67);
  a.note(part(Inst::ChurchBell, 0.6f, 0.3f, 0.5f, 0.5f), verseAt + 228, 12, 67);

  // Final chord, held under a last bell.
  const auto last = parseChords("C:12", endAt);
  padChords(a, part(Inst::Choir, 0.75f, 0.0f, 0.5f, 0.7f), last, 55, 76, 4, 0.8f);
  padChords(a, part(Inst::Strings, 0.7f, 0.0f, 0.5f, 0.5f), last, 48, 67, 4, 0.6f);
  arpeggio(a, part(Inst::Piano, 0.5f, -0.1f, 0.45f, 0.75f), last, 48, 84, 6, 1.0, {0, 1, 2, 3, 4, 5}, 12.0);
  a.note(part(Inst::Piano, 0.6f, -0.1f, 0.4f, 0.8f), endAt, 12, 36);
  a.note(part(Inst::ChurchBell, 0.55f, 0.3f, 0.5f, 0.45f), endAt + 6, 12, 72);
  a.song().roomSize = 0.9;
  a.song().predelay = 0.04;
  return a.finish(3.0);
}

Song holyNightMetal() {
  TempoMap tempo(258.0);  // eighth notes; a dotted quarter at 86
  const int key = 4;      // E major: the guitars' open low string
  const double introAt = 0, verseAt = 48, breakAt = verseAt + 144, climaxAt = breakAt + 48;
  const double endAt = climaxAt + kHolyNightLength - 144 - 12;
  tempo.ritardando(endAt - 12, endAt + 3, 0.5);
  Arranger a("O Holy Night (Metal Mix)", tempo, 7777);

  // The verse plays once, then a breakdown, then the climax from "Fall on your knees".
  const auto [verseChords, climaxChords] =
      splitAt(gapAt(parseChords(kHolyNightChords, verseAt, key), breakAt, climaxAt - breakAt), breakAt);
  const auto [verseMelody, climaxMelody] =
      splitAt(gapAt(parseMelody(kHolyNightMelody, verseAt, key), breakAt, climaxAt - breakAt), breakAt);
  // Intro and breakdown use the minor-side chords metal leans on (bVI, bVII).
  const auto intro = parseChords("C:12 Ab:12 Bb:12 G:12", introAt, key);
  const auto breakdown = parseChords("Am:12 F:6 G:6 Am:12 G:12", breakAt, key);

  const Part rhythmL = part(Inst::MutedPowerChord, 0.8f, -0.8f, 0.08f, 0.8f, 0.9);
  const Part rhythmR = part(Inst::MutedPowerChord, 0.8f, 0.8f, 0.08f, 0.8f, 0.9);
  const Part openL = part(Inst::PowerChord, 0.85f, -0.75f, 0.1f, 0.75f, 0.98);
  const Part openR = part(Inst::PowerChord, 0.85f, 0.75f, 0.1f, 0.75f, 0.98);
  auto chug = [&](const std::vector<Chord>& cs, bool gallop) {
    for (const Chord& c : cs) {
      const int root = keyAtOrAbove(c.root, 40);
      for (double b = 0; b < c.beats - 1e-6; b += 1.0) {
        const int step = static_cast<int>(b) % 3;
        if (!gallop && step != 0) continue;
        if (b == 0) {
          a.note(openL, c.beat, 3, root);
          a.note(openR, c.beat + 0.05, 3, root);
        } else {
          a.note(rhythmL, c.beat + b, 1, root, step == 1 ? 0.85f : 1.0f);
          a.note(rhythmR, c.beat + b + 0.04, 1, root, step == 1 ? 0.85f : 1.0f);
        }
      }
    }
  };
  // `sparse`: under the breakdown's open chords the metal kick's click would stand out, so
  // the double kick there is the rounder kick, played softer.
  auto kit = [&](double at, int bars, bool doubleKick, bool fill, bool sparse = false) {
    const Part kick = sparse ? part(Inst::Kick, 0.6f, 0.0f, 0.02f, 0.8f)
                             : part(doubleKick ? Inst::MetalKick : Inst::Kick, 0.85f, 0.0f, 0.02f, 0.9f);
    a.drums(kick, at, bars, 12, doubleKick ? "xxxxxxxxxxxx" : "x.....x.....");
    a.drums(part(Inst::Snare, 0.9f, 0.05f, 0.15f, 1.6f), at, bars, 12, "......x.....");
    a.drums(part(Inst::Ride, 0.65f, 0.45f, 0.1f, 0.4f), at, bars, 12, "x..x..x..x..");
    for (int b = 0; b < bars; b += 4) a.note(part(Inst::Crash, 0.85f, -0.45f, 0.2f, 0.9f), at + b * 12, 6, 60);
    if (fill) {
      const double f = at + bars * 12 - 6;
      a.drums(part(Inst::TomHigh, 0.8f, 0.3f, 0.15f, 0.7f), f, 1, 2, "xx....");
      a.drums(part(Inst::TomMid, 0.8f, 0.0f, 0.15f, 0.7f), f + 2, 1, 2, "xx....");
      a.drums(part(Inst::TomLow, 0.85f, -0.3f, 0.15f, 0.75f), f + 4, 1, 2, "xx....");
    }
  };
  const Part bass = part(Inst::ElectricBass, 0.85f, 0.0f, 0.02f, 0.9f, 0.9);
  auto bassFollow = [&](const std::vector<Chord>& cs) {
    for (const Chord& c : cs)
      for (double b = 0; b < c.beats - 1e-6; b += 1.0) a.note(bass, c.beat + b, 1, keyAtOrAbove(c.root, 28));
  };

  // Intro: the riff alone for two bars, then the band.
  chug(intro, true);
  bassFollow(std::vector<Chord>(intro.begin() + 2, intro.end()));
  kit(introAt + 24, 2, true, true);
  a.melody(part(Inst::LeadGuitar, 0.8f, 0.1f, 0.25f, 0.9f),
           parseMelody("G4:3 F4:3 Eb4:3 D4:3 | C4:6 Eb4:6 | F4:3 G4:3 Ab4:3 Bb4:3 | B4:12", introAt, key));

  // Verse: chugging gallop, lead guitar on the melody, half-time feel.
  chug(verseChords, true);
  bassFollow(verseChords);
  kit(verseAt, 12, false, true);
  const Part lead = part(Inst::LeadGuitar, 0.85f, 0.1f, 0.25f, 1.0f, 0.97);
  a.melody(lead, verseMelody);

  // Breakdown: open chords ringing, the synth pad, toms.
  for (const Chord& c : breakdown) {
    const int root = keyAtOrAbove(c.root, 40);
    a.note(openL, c.beat, c.beats, root);
    a.note(openR, c.beat + 0.05, c.beats, root);
    a.note(bass, c.beat, c.beats, keyAtOrAbove(c.root, 28));
  }
  padChords(a, part(Inst::SynthPad, 0.6f, 0.0f, 0.4f, 0.5f), breakdown, 57, 74, 4, 0.8f);
  a.drums(part(Inst::TomLow, 0.75f, -0.3f, 0.2f, 0.7f), breakAt, 2, 12, "x.....x.....");
  a.drums(part(Inst::HatClosed, 0.6f, 0.4f, 0.1f, 0.4f), breakAt, 4, 12, "x.xx.xx.xx.x");
  kit(breakAt + 24, 2, true, true, true);

  // Climax: double kick throughout, melody doubled a third below.
  chug(climaxChords, true);
  bassFollow(climaxChords);
  kit(climaxAt, 10, true, false);
  a.melody(lead, climaxMelody);
  a.melody(part(Inst::LeadGuitar, 0.75f, -0.35f, 0.25f, 0.6f, 0.97), harmonyBelow(climaxMelody, climaxChords));
  padChords(a, part(Inst::Choir, 0.6f, 0.0f, 0.4f, 0.4f), climaxChords, 55, 72, 4, 0.8f);

  // Ending: one ringing chord, a last crash, the kick and the bass.
  const int root = keyAtOrAbove((0 + key) % 12, 40);
  a.note(openL, endAt, 12, root);
  a.note(openR, endAt + 0.05, 12, root);
  a.note(bass, endAt, 12, keyAtOrAbove((0 + key) % 12, 28));
  a.note(part(Inst::Crash, 0.95f, -0.45f, 0.25f, 0.7f), endAt, 6, 60);
  a.note(part(Inst::Crash, 0.9f, 0.45f, 0.25f, 0.6f), endAt, 6, 61);
  a.note(part(Inst::MetalKick, 0.95f, 0.0f, 0.05f, 0.9f), endAt, 1, 60);
  a.note(lead, endAt, 12, 60 + key);
  a.song().roomSize = 0.6;
  a.song().compression = 3.0;
  return a.finish(2.0);
}

}  // namespace tune
