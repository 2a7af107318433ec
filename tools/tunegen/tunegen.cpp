#include "tunegen.h"

#include "mp3_encoder.h"
#include "tunes.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace tune {
namespace {

bool writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes, std::string& error) {
  const std::filesystem::path tmp = path.string() + ".part";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) {
      error = "cannot create " + tmp.string();
      return false;
    }
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      error = "cannot write " + tmp.string();
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  if (ec) {
    error = "cannot rename " + tmp.string() + ": " + ec.message();
    std::filesystem::remove(tmp, ec);
    return false;
  }
  return true;
}

}  // namespace

GenerateResult generateTunes(const GenerateOptions& options) {
  GenerateResult result;
  std::error_code ec;
  std::filesystem::create_directories(options.outDir, ec);
  if (ec) {
    result.error = "cannot create " + options.outDir + ": " + ec.message();
    return result;
  }
  for (const TuneInfo& info : tuneList()) {
    if (!options.only.empty() && std::find(options.only.begin(), options.only.end(), info.number) == options.only.end())
      continue;
    const auto started = std::chrono::steady_clock::now();
    GeneratedTune tune;
    tune.number = info.number;
    tune.path = (std::filesystem::path(options.outDir) / info.fileName).string();
    std::vector<uint8_t> bytes;
    try {
      if (info.number == kModuleTrack) {
        const itw::Module module = carolOfTheBells();
        itw::WriteResult written = itw::writeIt(module);
        if (!written.ok) {
          result.error = std::string(info.fileName) + ": " + written.error;
          return result;
        }
        tune.plannedSeconds = itw::playSeconds(module);
        bytes = std::move(written.bytes);
      } else {
        const Song song = composeSong(info.number);
        tune.plannedSeconds = song.seconds;
        Mp3Result mp3 = encodeMp3(renderSong(song), info.title, kArtist);
        if (!mp3.ok) {
          result.error = std::string(info.fileName) + ": " + mp3.error;
          return result;
        }
        bytes = std::move(mp3.bytes);
      }
    } catch (const std::exception& e) {
      result.error = std::string(info.fileName) + ": " + e.what();
      return result;
    }
    if (!writeFile(tune.path, bytes, result.error)) return result;
    tune.renderSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    result.tunes.push_back(tune);
  }
  result.ok = true;
  return result;
}

}  // namespace tune
