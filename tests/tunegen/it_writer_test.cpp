#include "it_writer.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

struct ModuleDeleter {
  void operator()(openmpt_module* m) const { openmpt_module_destroy(m); }
};
using ModulePtr = std::unique_ptr<openmpt_module, ModuleDeleter>;

ModulePtr load(const std::vector<uint8_t>& bytes) {
  return ModulePtr(openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr,
                                                      nullptr, nullptr, nullptr, nullptr, nullptr));
}

itw::Sample sineSample(double hz, bool loop) {
  itw::Sample s;
  s.name = "sine";
  const int n = 4410;
  for (int i = 0; i < n; ++i) s.pcm.push_back(static_cast<int16_t>(12000 * std::sin(2 * M_PI * hz * i / 44100.0)));
  s.loop = loop;
  s.loopBegin = 0;
  s.loopEnd = n;
  return s;
}

// Two samples, three patterns, four orders; a note every 8 rows on two channels.
itw::Module smallModule() {
  itw::Module m;
  m.name = "fixture";
  m.channels = 4;
  m.samples = {sineSample(441.0, true), sineSample(882.0, false)};
  for (int p = 0; p < 3; ++p) {
    itw::Pattern pattern(64, m.channels);
    for (int r = 0; r < 64; r += 8) {
      pattern.at(r, 0) = {itw::kMiddleC + p, 1, 48, 0, 0};
      pattern.at(r + 4, 1) = {itw::kMiddleC + 12, 2, itw::kNoVolume, itw::effect('H'), 0x44};
    }
    m.patterns.push_back(pattern);
  }
  m.orders = {0, 1, 0, 2};
  return m;
}

struct Rendered {
  size_t frames = 0;
  float peak = 0.0f;
};

Rendered renderAll(openmpt_module* mod) {
  openmpt_module_ctl_set_text(mod, "play.at_end", "stop");
  Rendered out;
  std::vector<float> buf(2 * 4096);
  for (;;) {
    const size_t n = openmpt_module_read_interleaved_float_stereo(mod, 44100, 4096, buf.data());
    if (n == 0) break;
    for (size_t i = 0; i < 2 * n; ++i) out.peak = std::max(out.peak, std::fabs(buf[i]));
    out.frames += n;
    if (out.frames > 44100u * 600) break;  // a module that never ends fails below
  }
  return out;
}

TEST(ItWriter, LoadsWithExpectedCountsAndLength) {
  itw::Module m = smallModule();
  m.instruments.push_back({"lead", 1, 2, 64, 128, -1, {{0, 64}, {10, 64}, {40, 0}}, 1});
  m.instruments.push_back({"ping", 2, 0, 0, 128, 20, {}, -1});
  const itw::WriteResult written = itw::writeIt(m);
  ASSERT_TRUE(written.ok) << written.error;
  ASSERT_EQ(std::string(written.bytes.begin(), written.bytes.begin() + 4), "IMPM");

  ModulePtr mod = load(written.bytes);
  ASSERT_TRUE(mod);
  EXPECT_EQ(openmpt_module_get_num_orders(mod.get()), 4);
  EXPECT_EQ(openmpt_module_get_num_patterns(mod.get()), 3);
  EXPECT_EQ(openmpt_module_get_num_samples(mod.get()), 2);
  EXPECT_EQ(openmpt_module_get_num_instruments(mod.get()), 2);
  // 4 orders x 64 rows x 6 ticks x 2.5 / 125 s.
  const double expected = 4 * 64 * 6 * 2.5 / 125.0;
  EXPECT_NEAR(itw::playSeconds(m), expected, 1e-9);
  EXPECT_NEAR(openmpt_module_get_duration_seconds(mod.get()), expected, 0.05);

  const Rendered r = renderAll(mod.get());
  EXPECT_NEAR(r.frames / 44100.0, expected, 0.05);  // stops at the end marker
  EXPECT_GT(r.peak, 0.05f);
  EXPECT_LT(r.peak, 1.0f);
}

TEST(ItWriter, SampleModeNotesPlayTheirSamples) {
  itw::Module m = smallModule();
  const itw::WriteResult written = itw::writeIt(m);
  ASSERT_TRUE(written.ok) << written.error;
  ModulePtr mod = load(written.bytes);
  ASSERT_TRUE(mod);
  EXPECT_EQ(openmpt_module_get_num_instruments(mod.get()), 0);
  EXPECT_EQ(openmpt_module_get_pattern_num_rows(mod.get(), 1), 64);
  // The note/instrument cells come back at the rows they were written to.
  const char* cell = openmpt_module_format_pattern_row_channel(mod.get(), 0, 8, 0, 0, 1);
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(std::string(cell).substr(0, 6), "C-5 01");
  openmpt_free_string(cell);
  EXPECT_GT(renderAll(mod.get()).peak, 0.05f);
}

TEST(ItWriter, SpeedTempoAndBreaksChangeTheLength) {
  itw::Module m = smallModule();
  m.initialSpeed = 4;
  m.initialTempo = 100;
  m.patterns[1].at(0, 3) = {itw::kNoNote, 0, itw::kNoVolume, itw::effect('T'), 150};
  m.patterns[1].at(31, 3) = {itw::kNoNote, 0, itw::kNoVolume, itw::effect('C'), 0};
  m.patterns[2].at(0, 3) = {itw::kNoNote, 0, itw::kNoVolume, itw::effect('A'), 3};
  // Order 0 at tempo 100 speed 4, order 1 (32 rows) and order 2 at tempo 150, order 3 at speed 3.
  const double expected = 64 * 4 * 2.5 / 100 + 32 * 4 * 2.5 / 150 + 64 * 4 * 2.5 / 150 + 64 * 3 * 2.5 / 150;
  EXPECT_NEAR(itw::playSeconds(m), expected, 1e-9);
  const itw::WriteResult written = itw::writeIt(m);
  ASSERT_TRUE(written.ok) << written.error;
  ModulePtr mod = load(written.bytes);
  ASSERT_TRUE(mod);
  EXPECT_NEAR(renderAll(mod.get()).frames / 44100.0, expected, 0.05);
}

TEST(ItWriter, RefusesWhatTheFormatCannotHold) {
  {
    itw::Module m = smallModule();
    m.orders.push_back(7);
    EXPECT_FALSE(itw::writeIt(m).ok);
  }
  {
    itw::Module m = smallModule();
    m.patterns[0].at(3, 2).instrument = 3;  // only two samples
    const itw::WriteResult r = itw::writeIt(m);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
  }
  {
    itw::Module m = smallModule();
    m.samples[0].loopEnd = 1u << 20;
    EXPECT_FALSE(itw::writeIt(m).ok);
  }
  {
    itw::Module m = smallModule();
    m.patterns.emplace_back(16, m.channels);  // fewer rows than the format's minimum
    EXPECT_FALSE(itw::writeIt(m).ok);
  }
  {
    itw::Module m = smallModule();
    m.samples.clear();
    EXPECT_FALSE(itw::writeIt(m).ok);
  }
}

void setChannels(itw::Module& m, int channels) {
  m.channels = channels;
  for (itw::Pattern& p : m.patterns) p = itw::Pattern(p.rows(), channels);
}

// Every value the format has no room for is refused with a reason and no bytes.
TEST(ItWriter, RefusesEachValueBeyondTheFormatsLimits) {
  const struct {
    const char* what;
    void (*spoil)(itw::Module&);
  } cases[] = {
      {"note above B-9", [](itw::Module& m) { m.patterns[0].at(1, 0).note = 120; }},
      {"note between B-9 and fade", [](itw::Module& m) { m.patterns[0].at(1, 0).note = itw::kNoteFade - 1; }},
      {"note past note-off", [](itw::Module& m) { m.patterns[0].at(1, 0).note = 256; }},
      {"negative note", [](itw::Module& m) { m.patterns[0].at(1, 0).note = -2; }},
      {"volume column past vibrato", [](itw::Module& m) { m.patterns[1].at(63, 3).volume = 213; }},
      {"negative volume", [](itw::Module& m) { m.patterns[1].at(63, 3).volume = -2; }},
      {"effect past Z", [](itw::Module& m) { m.patterns[2].at(5, 1).command = 27; }},
      {"missing sample", [](itw::Module& m) { m.patterns[2].at(5, 1).instrument = 3; }},
      {"negative instrument", [](itw::Module& m) { m.patterns[2].at(5, 1).instrument = -1; }},
      {"no channels", [](itw::Module& m) { m.channels = 0; }},
      {"65 channels", [](itw::Module& m) { setChannels(m, 65); }},
      {"pattern narrower than the module", [](itw::Module& m) { m.patterns[1] = itw::Pattern(64, 3); }},
      {"256 orders", [](itw::Module& m) { m.orders.assign(256, 0); }},
      {"no orders", [](itw::Module& m) { m.orders.clear(); }},
      {"end marker inside the order list", [](itw::Module& m) { m.orders[1] = 255; }},
      {"negative order", [](itw::Module& m) { m.orders[1] = -1; }},
      {"201 rows", [](itw::Module& m) { m.patterns[2] = itw::Pattern(201, m.channels); }},
      {"31 rows", [](itw::Module& m) { m.patterns[2] = itw::Pattern(31, m.channels); }},
      {"201 patterns", [](itw::Module& m) { m.patterns.resize(201, m.patterns[0]); }},
      {"100 samples", [](itw::Module& m) { m.samples.resize(100, m.samples[0]); }},
      {"tempo 31", [](itw::Module& m) { m.initialTempo = 31; }},
      {"speed 0", [](itw::Module& m) { m.initialSpeed = 0; }},
      {"global volume 129", [](itw::Module& m) { m.globalVolume = 129; }},
      {"sample volume 65", [](itw::Module& m) { m.samples[1].defaultVolume = 65; }},
      {"empty loop", [](itw::Module& m) { m.samples[0].loopEnd = m.samples[0].loopBegin; }},
      {"vibrato depth 65", [](itw::Module& m) { m.samples[1].vibratoDepth = 65; }},
      {"one envelope node",
       [](itw::Module& m) {
         m.instruments = {{"i", 1, 2, 0, 128, -1, {{0, 64}}, -1}};
       }},
      {"26 envelope nodes",
       [](itw::Module& m) {
         itw::Instrument ins{"i", 1, 2, 0, 128, -1, {}, -1};
         for (uint16_t t = 0; t < 26; ++t) ins.volumeEnvelope.push_back({t, 32});
         m.instruments = {ins};
       }},
      {"envelope ticks falling",
       [](itw::Module& m) {
         m.instruments = {{"i", 1, 2, 0, 128, -1, {{5, 64}, {5, 0}}, -1}};
       }},
      {"sustain past the envelope",
       [](itw::Module& m) {
         m.instruments = {{"i", 1, 2, 0, 128, -1, {{0, 64}, {9, 0}}, 2}};
       }},
      {"instrument without its sample",
       [](itw::Module& m) {
         m.instruments = {{"i", 3, 2, 0, 128, -1, {}, -1}};
       }},
      {"fade-out 1025",
       [](itw::Module& m) {
         m.instruments = {{"i", 1, 2, 1025, 128, -1, {}, -1}};
       }},
  };
  for (const auto& c : cases) {
    itw::Module m = smallModule();
    ASSERT_TRUE(itw::writeIt(m).ok);
    c.spoil(m);
    const itw::WriteResult r = itw::writeIt(m);
    EXPECT_FALSE(r.ok) << c.what;
    EXPECT_FALSE(r.error.empty()) << c.what;
    EXPECT_TRUE(r.bytes.empty()) << c.what;
  }
  // Sixty-four channels, on the other hand, is allowed.
  itw::Module wide = smallModule();
  setChannels(wide, 64);
  EXPECT_TRUE(itw::writeIt(wide).ok);
}

// The largest values the format holds go through and load back as written.
TEST(ItWriter, WritesTheFormatsLimitsExactly) {
  itw::Module m = smallModule();
  m.channels = 64;
  m.patterns.assign(200, itw::Pattern(32, 64));
  itw::Pattern tall(200, 64);
  tall.at(0, 63) = {119, 2, 212, itw::effect('Z'), 0};
  tall.at(1, 63) = {itw::kNoteFade, 0, itw::kNoVolume, 0, 0};
  tall.at(2, 63) = {itw::kNoteCut, 0, itw::kNoVolume, 0, 0};
  tall.at(3, 63) = {itw::kNoteOff, 0, itw::kNoVolume, 0, 0};
  tall.at(199, 0) = {0, 1, 0, 0, 0};
  m.patterns[199] = tall;
  m.orders.assign(255, 0);
  m.orders[0] = 199;
  m.orders[254] = 254;  // a skip marker is an order too
  const itw::WriteResult written = itw::writeIt(m);
  ASSERT_TRUE(written.ok) << written.error;
  ModulePtr mod = load(written.bytes);
  ASSERT_TRUE(mod);
  EXPECT_EQ(openmpt_module_get_num_orders(mod.get()), 255);
  EXPECT_EQ(openmpt_module_get_num_patterns(mod.get()), 200);
  EXPECT_EQ(openmpt_module_get_num_channels(mod.get()), 64);
  EXPECT_EQ(openmpt_module_get_pattern_num_rows(mod.get(), 199), 200);
  EXPECT_EQ(openmpt_module_get_pattern_row_channel_command(mod.get(), 199, 0, 63, OPENMPT_MODULE_COMMAND_NOTE), 120);
  EXPECT_EQ(openmpt_module_get_pattern_row_channel_command(mod.get(), 199, 199, 0, OPENMPT_MODULE_COMMAND_NOTE), 1);
  EXPECT_EQ(openmpt_module_get_pattern_row_channel_command(mod.get(), 199, 3, 63, OPENMPT_MODULE_COMMAND_NOTE), 255);
}

}  // namespace
