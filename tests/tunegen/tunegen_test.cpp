#include "arrangement.h"
#include "instruments.h"
#include "it_writer.h"
#include "score.h"
#include "tunegen.h"
#include "tunes.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct TempDir {
    fs::path path;
    TempDir() {
        char pattern[] = "/tmp/tunegen_test_XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

std::vector<uint8_t> readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Decoded {
    long rate = 0;
    int channels = 0;
    std::vector<float> samples;  // interleaved
    double seconds() const { return channels ? samples.size() / static_cast<double>(channels) / rate : 0.0; }
};

Decoded decodeMp3(const fs::path& p) {
    Decoded d;
    int err = 0;
    std::unique_ptr<mpg123_handle, void (*)(mpg123_handle*)> mh(mpg123_new(nullptr, &err), mpg123_delete);
    if (!mh) return d;
    mpg123_param(mh.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(mh.get());
    mpg123_format(mh.get(), 44100, MPG123_STEREO | MPG123_MONO, MPG123_ENC_FLOAT_32);
    if (mpg123_open(mh.get(), p.c_str()) != MPG123_OK) return d;
    int enc = 0;
    if (mpg123_getformat(mh.get(), &d.rate, &d.channels, &enc) != MPG123_OK) return d;
    std::vector<unsigned char> buf(1 << 16);
    for (;;) {
        size_t done = 0;
        const int rc = mpg123_read(mh.get(), buf.data(), buf.size(), &done);
        const float* f = reinterpret_cast<const float*>(buf.data());
        d.samples.insert(d.samples.end(), f, f + done / sizeof(float));
        if (rc != MPG123_OK) break;
    }
    mpg123_close(mh.get());
    return d;
}

double rmsDb(const std::vector<float>& s, size_t from, size_t to) {
    double sum = 0.0;
    to = std::min(to, s.size());
    for (size_t i = from; i < to; ++i) sum += s[i] * s[i];
    return 10.0 * std::log10(sum / std::max<size_t>(1, to - from) + 1e-20);
}

TEST(Tunegen, RenderedTrackDecodesAtPlannedLengthBelowFullScale) {
    TempDir dir;
    const tune::GenerateResult result = tune::generateTunes({dir.path.string(), {2}});
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_EQ(result.tunes.size(), 1u);
    const fs::path file = dir.path / "track02.mp3";
    ASSERT_TRUE(fs::exists(file));
    EXPECT_FALSE(fs::exists(dir.path / "track02.mp3.part"));

    const std::vector<uint8_t> bytes = readFile(file);
    ASSERT_GT(bytes.size(), 10u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "ID3");

    const Decoded d = decodeMp3(file);
    ASSERT_EQ(d.rate, 44100);
    ASSERT_EQ(d.channels, 2);
    const double planned = result.tunes[0].plannedSeconds;
    EXPECT_GE(planned, 60.0);
    EXPECT_LE(planned, 150.0);
    EXPECT_NEAR(d.seconds(), planned, 0.5);
    // Bit rate: at least 160 kbps over the whole file.
    EXPECT_GE(bytes.size() * 8.0 / d.seconds() / 1000.0, 160.0);

    float peak = 0.0f;
    for (float v : d.samples) peak = std::max(peak, std::fabs(v));
    EXPECT_LT(peak, 0.9f);  // below -0.9 dBFS even after the encoder's overshoot
    EXPECT_GT(peak, 0.5f);
    EXPECT_GT(rmsDb(d.samples, 0, d.samples.size()), -30.0);  // music, not silence
    // Starts at once (no leading silence) and ends faded, not cut.
    EXPECT_GT(rmsDb(d.samples, 0, 2 * 44100 * 3 / 10), -45.0);
    EXPECT_LT(rmsDb(d.samples, d.samples.size() - 2 * 4410, d.samples.size()), -50.0);
}

TEST(Tunegen, SameBytesOnEveryRun) {
    TempDir a, b;
    ASSERT_TRUE(tune::generateTunes({a.path.string(), {6, 10}}).ok);
    ASSERT_TRUE(tune::generateTunes({b.path.string(), {6, 10}}).ok);
    for (const char* name : {"track06.IT", "track10.mp3"}) {
        const auto x = readFile(a.path / name), y = readFile(b.path / name);
        EXPECT_FALSE(x.empty()) << name;
        EXPECT_TRUE(x == y) << name << " differs between runs";
    }
}

TEST(Tunegen, ModuleLoadsAndPlaysToItsEnd) {
    const itw::Module module = tune::carolOfTheBells();
    const itw::WriteResult written = itw::writeIt(module);
    ASSERT_TRUE(written.ok) << written.error;
    std::unique_ptr<openmpt_module, void (*)(openmpt_module*)> mod(
        openmpt_module_create_from_memory2(written.bytes.data(), written.bytes.size(), openmpt_log_func_silent,
                                           nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
        openmpt_module_destroy);
    ASSERT_TRUE(mod);
    EXPECT_EQ(openmpt_module_get_num_orders(mod.get()), static_cast<int>(module.orders.size()));
    EXPECT_EQ(openmpt_module_get_num_patterns(mod.get()), static_cast<int>(module.patterns.size()));
    EXPECT_EQ(openmpt_module_get_num_samples(mod.get()), static_cast<int>(module.samples.size()));
    EXPECT_EQ(openmpt_module_get_num_instruments(mod.get()), static_cast<int>(module.instruments.size()));
    const double planned = itw::playSeconds(module);
    EXPECT_GE(planned, 60.0);
    EXPECT_LE(planned, 150.0);
    EXPECT_NEAR(openmpt_module_get_duration_seconds(mod.get()), planned, 0.5);

    openmpt_module_ctl_set_text(mod.get(), "play.at_end", "stop");
    std::vector<float> buf(2 * 4096);
    size_t frames = 0;
    float peak = 0.0f;
    double lastSecondSum = 0.0, sum = 0.0;
    for (;;) {
        const size_t n = openmpt_module_read_interleaved_float_stereo(mod.get(), 44100, 4096, buf.data());
        if (n == 0) break;
        for (size_t i = 0; i < 2 * n; ++i) {
            peak = std::max(peak, std::fabs(buf[i]));
            sum += buf[i] * buf[i];
            if ((frames + i / 2) / 44100.0 > planned - 1.0) lastSecondSum += buf[i] * buf[i];
        }
        frames += n;
        ASSERT_LT(frames, 44100u * 200) << "module does not stop";
    }
    EXPECT_NEAR(frames / 44100.0, planned, 0.5);
    EXPECT_LT(peak, 1.0f);
    EXPECT_GT(peak, 0.2f);
    EXPECT_GT(10 * std::log10(sum / (2.0 * frames)), -30.0);
    EXPECT_LT(10 * std::log10(lastSecondSum / (2.0 * 44100) + 1e-20), -40.0);  // faded out at the end
}

TEST(Tunegen, EveryCompositionFitsItsPlan) {
    for (const tune::TuneInfo& info : tune::tuneList()) {
        if (info.number == tune::kModuleTrack) continue;
        const tune::Song song = tune::composeSong(info.number);
        EXPECT_GE(song.seconds, 60.0) << info.title;
        EXPECT_LE(song.seconds, 150.0) << info.title;
        ASSERT_FALSE(song.events.empty()) << info.title;
        double first = 1e9;
        for (const tune::Event& e : song.events) {
            first = std::min(first, e.time);
            EXPECT_GT(e.seconds, 0.0);
            EXPECT_GE(e.velocity, 0.0f);
            EXPECT_LE(e.velocity, 1.0f);
            // Every closing note has died away a second before the end: nothing is cut off.
            if (e.time > song.seconds - 20.0) {
                const size_t n = tune::renderNote(e.inst, tune::NoteSpec{e.key, e.seconds, e.velocity, 1}).size();
                EXPECT_LT(e.time + n / 44100.0, song.seconds - 1.0) << info.title;
            }
        }
        EXPECT_LT(first, 0.1) << info.title << " starts late";
    }
}

TEST(Score, RitardandoSlowsWithoutJumps) {
    tune::TempoMap t(120.0);
    t.ritardando(8.0, 12.0, 0.5);
    EXPECT_DOUBLE_EQ(t.seconds(4.0), 2.0);
    EXPECT_NEAR(t.seconds(8.0), 4.0, 1e-12);
    double prevStep = 0.25;  // half a beat at 120
    for (double b = 8.0; b < 14.0; b += 0.5) {
        const double step = t.seconds(b + 0.5) - t.seconds(b);
        EXPECT_GE(step, prevStep - 1e-9);  // each beat at least as long as the one before
        prevStep = step;
    }
    EXPECT_NEAR(t.seconds(14.0) - t.seconds(13.0), 1.0, 1e-9);  // settled at half speed
}

TEST(Score, SwingDelaysTheOffbeatOnly) {
    tune::TempoMap t(60.0, 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(t.seconds(3.0), 3.0);
    EXPECT_NEAR(t.seconds(3.5), 3.0 + 2.0 / 3.0, 1e-12);
}

TEST(Score, ParsesMelodyAndChords) {
    const auto notes = tune::parseMelody("C4:1 | D#4:0.5 Bb3 r:2 A4:1!", 4.0, 2);
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_EQ(notes[0].key, 62);
    EXPECT_EQ(notes[1].key, 65);
    EXPECT_EQ(notes[2].beat, 5.5);
    EXPECT_EQ(notes[2].beats, 0.5);  // the previous length carries over
    EXPECT_EQ(notes[3].beat, 8.0);
    EXPECT_GT(notes[3].accent, 1.0f);
    const auto chords = tune::parseChords("Cmaj7:2 G7/B:2 F#m7b5:1 r:1 Bb6", 0.0);
    ASSERT_EQ(chords.size(), 4u);
    EXPECT_EQ(chords[1].root, 7);
    EXPECT_EQ(chords[1].bass, 11);
    EXPECT_EQ(chords[2].tones, (std::vector<int>{0, 3, 6, 10}));
    EXPECT_EQ(chords[3].beat, 6.0);
    EXPECT_EQ(chords[3].beats, 4.0);
    EXPECT_THROW(tune::parseChords("Cxyz:4", 0.0), std::invalid_argument);
}

TEST(Score, VoiceLeadingKeepsChordTonesInRangeAndMovesLittle) {
    const auto chords = tune::parseChords("C:4 Am7:4 Dm7:4 G7:4 C:4", 0.0);
    const auto v = tune::voiceLead(chords, 52, 70, 4);
    ASSERT_EQ(v.size(), chords.size());
    for (size_t i = 0; i < v.size(); ++i) {
        ASSERT_EQ(v[i].size(), 4u);
        for (int k : v[i]) {
            EXPECT_GE(k, 52);
            EXPECT_LE(k, 70);
            const tune::Chord& c = chords[i];
            EXPECT_TRUE(std::any_of(c.tones.begin(), c.tones.end(), [&](int t) { return (c.root + t) % 12 == k % 12; }));
        }
        EXPECT_TRUE(std::is_sorted(v[i].begin(), v[i].end()));
        if (i > 0) {
            int moved = 0;
            for (size_t k = 0; k < 4; ++k) moved += std::abs(v[i][k] - v[i - 1][k]);
            EXPECT_LE(moved, 8) << "chord " << i;  // smooth: no voice leaps about
        }
    }
}

}  // namespace
