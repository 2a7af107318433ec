// The eleven tunes of the playlist: ten rendered songs and one tracker module.
#pragma once

#include "it_writer.h"
#include "song.h"

#include <array>
#include <string>

namespace tune {

struct TuneInfo {
  int number;            // 1..11, the playlist position
  const char* fileName;  // as the program opens it under tunes/
  const char* title;
};

const std::array<TuneInfo, 11>& tuneList();

constexpr int kModuleTrack = 6;
constexpr const char* kArtist = "KQ Music Disk";

// The composition of a rendered track (every number but kModuleTrack).
Song composeSong(int number);

Song jingleBells();
Song awayInAManger();
Song letItSnow();
Song comeAllYeFaithful();
Song newYearsEve();
Song holyNightMetal();
Song christmasTree();
Song surferFrosty();
Song weWishYou();
Song holyNight();

// Carol of the Bells as an Impulse Tracker module with generated samples.
itw::Module carolOfTheBells();

}  // namespace tune
