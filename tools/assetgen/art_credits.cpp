// The credits panel: shown through the plaque's opening, behind the circling train, so the
// lettering sits in the sky above the train and along the lower corners.
#include <cmath>
#include <string>
#include <vector>

#include "art.h"

namespace assetgen {

Canvas paintCredits(TextRenderer& text) {
    Canvas c(512, 512, rgb(8, 14, 42));
    // Night-blue velvet with a soft vignette and a faint snowflake pattern.
    c.forEach([](Vec2 p, Colour& px) {
        double r = length(Vec2{(p.x - 257) / 230.0, (p.y - 250) / 110.0});
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
        Colour col = rgb(140, 170, 240, 0.22 + 0.2 * rng.uniform());
        c.fillShape([&](Vec2 p) {
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
        }, col, static_cast<int>(ctr.x - size - 2), static_cast<int>(ctr.y - size - 2), static_cast<int>(ctr.x + size + 2),
            static_cast<int>(ctr.y + size + 2));
    }
    const Colour gold = rgb(255, 214, 110), cream = rgb(240, 236, 220), ice = rgb(170, 200, 255);
    // Title, with a dark halo so it reads over the stars.
    auto halo = [&](FontFace f, double size, double x, double y, const std::string& s, Colour col) {
        Canvas layer(512, 512, {0, 0, 0, 0});
        text.drawCentred(layer, f, size, x, y, s, rgb(0, 0, 10));
        Canvas soft = layer.blurred(2);
        c.draw(soft, 0, 0, 0.9);
        text.drawCentred(c, f, size, x, y, s, col);
    };
    // Everything sits in the band above the train's circle (window rows 165 to 238), which
    // the train never enters.
    halo(FontFace::kSerifBold, 25, 257, 192.5, "KQ DIVU RAZOV VUZE", gold);
    halo(FontFace::kSerifItalic, 10.5, 257, 202.5, "a Christmas music disk", ice);
    // A thin gilt rule under the subtitle.
    c.fillShape([](Vec2 p) { return sdSegment(p, {184, 205.5}, {330, 205.5}, 0.5); }, rgb(200, 160, 80, 0.8));
    // Credit lines: gold labels, cream names, centred as a whole; a line without a label
    // continues the one above.
    auto credit = [&](double y, const std::vector<std::pair<std::string, std::string>>& parts) {
        const double size = 10, between = 14;
        auto gapAfter = [](const std::string& label) { return label.empty() ? 0.0 : 4.0; };
        double total = 0;
        for (const auto& [label, who] : parts) {
            total += text.measure(FontFace::kSansBold, size, label) + gapAfter(label) +
                     text.measure(FontFace::kSans, size, who);
        }
        total += between * (parts.size() - 1);
        Canvas layer(512, 512, {0, 0, 0, 0});
        for (int pass = 0; pass < 2; ++pass) {
            double x = 257 - total / 2;
            for (const auto& [label, who] : parts) {
                const double wl = text.measure(FontFace::kSansBold, size, label) + gapAfter(label);
                text.draw(pass == 0 ? layer : c, FontFace::kSansBold, size, x, y, label, pass == 0 ? rgb(0, 0, 10) : gold);
                text.draw(pass == 0 ? layer : c, FontFace::kSans, size, x + wl, y, who, pass == 0 ? rgb(0, 0, 10) : cream);
                x += wl + text.measure(FontFace::kSans, size, who) + between;
            }
            if (pass == 0) c.draw(layer.blurred(1), 0, 0, 0.9);
        }
    };
    credit(215, {{"CODE", "the KQ team"}, {"GRAPHICS", "painted in code by our assetgen"}});
    // Every tune is rendered by tunegen; the names in brackets are the artists the playlist
    // shows. Three tunes (Let It Snow, New Year's Eve, Surfer Frosty) are our own melodies.
    credit(225.5, {{"MUSIC", "carols and three originals, arranged and played by"}});
    credit(236, {{"", "our tunegen (tgen, tg-it, tgen-mix) and the KQ team (kqt, kqd)"}});
    return c;
}

}  // namespace assetgen
