#include "tunes.h"

#include <stdexcept>

namespace tune {

const std::array<TuneInfo, 11>& tuneList() {
  static const std::array<TuneInfo, 11> kTunes = {{
      {1, "track01.mp3", "Jingle Bells"},
      {2, "track02.mp3", "Away in a Manger"},
      {3, "track03.mp3", "Let It Snow"},
      {4, "track04.mp3", "O Come All Ye Faithful (Duet)"},
      {5, "track05.mp3", "What Are You Doing (New Year's Eve)"},
      {6, "track06.IT", "Carol of the Bells"},
      {7, "track07.mp3", "O Holy Night (Metal Mix)"},
      {8, "track08.mp3", "O Christmas Tree"},
      {9, "track09.mp3", "Surfer Frosty"},
      {10, "track10.mp3", "We Wish You a Merry Christmas"},
      {11, "track11.mp3", "O Holy Night"},
  }};
  return kTunes;
}

Song composeSong(int number) {
  switch (number) {
    case 1:
      return jingleBells();
    case 2:
      return awayInAManger();
    case 3:
      return letItSnow();
    case 4:
      return comeAllYeFaithful();
    case 5:
      return newYearsEve();
    case 7:
      return holyNightMetal();
    case 8:
      return christmasTree();
    case 9:
      return surferFrosty();
    case 10:
      return weWishYou();
    case 11:
      return holyNight();
    default:
      throw std::out_of_range("no rendered song for track " + std::to_string(number));
  }
}

}  // namespace tune
