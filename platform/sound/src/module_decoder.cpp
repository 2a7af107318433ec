#include <libopenmpt/libopenmpt.h>

#include "decoders.h"

namespace kq::sound {
namespace {

struct ModuleDeleter {
  void operator()(openmpt_module* m) const { openmpt_module_destroy(m); }
};

class ModuleDecoder final : public Decoder {
 public:
  ModuleDecoder(openmpt_module* mod, int rate) : m_mod(mod), m_rate(rate) {}

  size_t render(float* out, size_t frames, bool& ended) override {
    size_t done = 0;
    while (done < frames) {
      size_t n = openmpt_module_read_interleaved_float_stereo(m_mod.get(), m_rate, frames - done, out + 2 * done);
      if (n == 0) {  // the song's end (at_end is "stop", so every later read is empty too)
        ended = true;
        break;
      }
      done += n;
    }
    return done;
  }

  void rewind() override { openmpt_module_set_position_seconds(m_mod.get(), 0.0); }

  void setLooping(bool looping) override { openmpt_module_set_repeat_count(m_mod.get(), looping ? -1 : 0); }

 private:
  std::unique_ptr<openmpt_module, ModuleDeleter> m_mod;
  int m_rate;
};

}  // namespace

std::unique_ptr<Decoder> openModule(const std::vector<std::uint8_t>& bytes, int outRate, std::string* why) {
  // "stop" ends the song at its last row; the default adds a tenth of a second of fade-out.
  const openmpt_module_initial_ctl ctls[] = {{"play.at_end", "stop"}, {nullptr, nullptr}};
  int error = 0;
  const char* message = nullptr;
  openmpt_module* mod = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr,
                                                           openmpt_error_func_ignore, nullptr, &error, &message, ctls);
  if (mod == nullptr) {
    if (why) *why = message ? message : "not a module";
    openmpt_free_string(message);
    return nullptr;
  }
  openmpt_free_string(message);
  auto decoder = std::make_unique<ModuleDecoder>(mod, outRate);
  decoder->setLooping(true);
  return decoder;
}

}  // namespace kq::sound
