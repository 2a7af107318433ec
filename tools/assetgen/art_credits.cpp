// The credits panel: a whole picture behind the plaque's opening (window x 46 to 468, y 165 to
// 337), the circling train passing in front of its lower half. Title and roles sit above the
// train's far side; the music fills the lower half, where the train covers only a part at a time.
#include <cmath>
#include <string>
#include <vector>

#include "art.h"

namespace assetgen {
namespace {

constexpr double kCentreX = 257.0;

// One piece of text; x is where its baseline starts.
struct TextRun {
  FontFace face;
  double size;
  double x, y;
  std::string text;
  Colour colour;
};

// Draws the runs over a soft dark halo so they read over the velvet and the snowflakes.
void drawWithHalo(Canvas& c, TextRenderer& text, const std::vector<TextRun>& runs, int haloRadius) {
  Canvas shadow(c.width(), c.height(), {0, 0, 0, 0});
  for (const TextRun& r : runs) text.draw(shadow, r.face, r.size, r.x, r.y, r.text, rgb(0, 0, 10));
  c.draw(shadow.blurred(haloRadius), 0, 0, 0.9);
  for (const TextRun& r : runs) text.draw(c, r.face, r.size, r.x, r.y, r.text, r.colour);
}

void paintVelvet(Canvas& c) {
  // Night-blue velvet with a soft vignette and a faint snowflake pattern.
  c.forEach([](Vec2 p, Colour& px) {
    double r = length(Vec2{(p.x - kCentreX) / 230.0, (p.y - 250) / 110.0});
    px = mix(rgb(26, 40, 96), rgb(6, 10, 34), std::clamp(r * 0.9, 0.0, 1.0));
    double n = fractalNoise(p.x * 0.03, p.y * 0.03, 3, 71);
    px = mix(px, rgb(40, 60, 130), std::clamp((n - 0.5) * 0.8, 0.0, 0.2));
  });
  // Snowflakes: six arms with side branches.
  Random rng(77);
  for (int i = 0; i < 34; ++i) {
    Vec2 ctr{rng.range(50, 465), rng.range(168, 336)};
    double size = rng.range(4, 10);
    double turn = rng.range(0, 1.0);
    Colour col = rgb(140, 170, 240, 0.16 + 0.14 * rng.uniform());
    c.fillShape(
        [&](Vec2 p) {
          double d = 1e9;
          for (int k = 0; k < 6; ++k) {
            double a = turn + k * 3.14159265358979 / 3;
            Vec2 dir{std::cos(a), std::sin(a)};
            d = std::min(d, sdSegment(p, ctr, ctr + dir * size, 0.45));
            Vec2 mid = ctr + dir * (size * 0.55);
            for (double s : {-1.0, 1.0}) {
              double b = a + s * 0.8;
              d = std::min(d, sdSegment(p, mid, mid + Vec2{std::cos(b), std::sin(b)} * (size * 0.35), 0.4));
            }
          }
          return d;
        },
        col, static_cast<int>(ctr.x - size - 2), static_cast<int>(ctr.y - size - 2), static_cast<int>(ctr.x + size + 2),
        static_cast<int>(ctr.y + size + 2));
  }
}

}  // namespace

Canvas paintCredits(TextRenderer& text) {
  Canvas c(512, 512, rgb(8, 14, 42));
  paintVelvet(c);
  const Colour gold = rgb(255, 214, 110), cream = rgb(240, 236, 220), ice = rgb(180, 206, 255);

  auto centred = [&](FontFace face, double size, double x, double y, const std::string& s, Colour colour) {
    return TextRun{face, size, x - text.measure(face, size, s) / 2.0, y, s, colour};
  };
  drawWithHalo(c, text, {centred(FontFace::kSerifBold, 26, kCentreX, 193, "KQ DIVU RAZOV VUZE", gold)}, 2);
  std::vector<TextRun> runs;
  runs.push_back(centred(FontFace::kSerifItalic, 13.5, kCentreX, 209, "a Christmas music disk", ice));

  // Who made what: the program is ours, and its pictures, meshes and tunes come from its own
  // generators.
  const struct {
    const char* role;
    const char* who;
  } kRoles[] = {{"CODE", "the KQ team"}, {"ART", "made by assetgen"}, {"MUSIC", "played by tunegen"}};
  for (int i = 0; i < 3; ++i) {
    const double x = kCentreX + (i - 1) * 128.0;
    runs.push_back(centred(FontFace::kSansBold, 13, x, 227, kRoles[i].role, gold));
    runs.push_back(centred(FontFace::kSans, 13, x, 242, kRoles[i].who, cream));
  }

  // The eleven tunes in playlist order, in two columns. Three are melodies of our own under
  // the titles of songs that are not free to use; the star says so.
  const char* kTunes[] = {"Jingle Bells",
                          "Away in a Manger",
                          "Let It Snow*",
                          "O Come All Ye Faithful",
                          "What Are You Doing*",
                          "Carol of the Bells",
                          "O Holy Night (Metal Mix)",
                          "O Christmas Tree",
                          "Surfer Frosty*",
                          "We Wish You a Merry Christmas",
                          "O Holy Night"};
  constexpr int kRows = 6;
  constexpr double kNumberField = 18, kColumnGap = 26, kFirstRow = 265, kLeading = 13.5;
  double columnWidth[2] = {0, 0};
  for (int i = 0; i < 11; ++i) {
    columnWidth[i / kRows] = std::max(columnWidth[i / kRows], text.measure(FontFace::kSans, 13, kTunes[i]));
  }
  const double total = 2 * kNumberField + columnWidth[0] + kColumnGap + columnWidth[1];
  const double columnX[2] = {kCentreX - total / 2 + kNumberField,
                             kCentreX - total / 2 + 2 * kNumberField + columnWidth[0] + kColumnGap};
  for (int i = 0; i < 11; ++i) {
    const int column = i / kRows;
    const double y = kFirstRow + (i % kRows) * kLeading;
    const std::string number = std::to_string(i + 1);
    runs.push_back({FontFace::kSansBold, 13, columnX[column] - 5 - text.measure(FontFace::kSansBold, 13, number), y,
                    number, gold});
    runs.push_back({FontFace::kSans, 13, columnX[column], y, kTunes[i], cream});
  }
  runs.push_back(
      {FontFace::kSerifItalic, 13.5, columnX[1], kFirstRow + (kRows - 1) * kLeading, "* our own melodies", ice});
  drawWithHalo(c, text, runs, 1);
  return c;
}

}  // namespace assetgen
