#include "playlist.h"

// The credits name what made each arrangement: tgen is the tune generator that renders the MP3s,
// tg-it its Impulse Tracker writer, tgen-mix its mixed arrangement, kqt this program's team and
// kqd the disk itself. Their lengths and leading blanks are part of the caption layout, like the
// blanks inside the titles.
PlaylistEntry playlist[kTrackCount] = {
    {"tunes\\track01.mp3", "   JingleBells    ", " tgen", TrackKind::Stream, nullptr},
    {"tunes\\track02.mp3", "Away In  a Manger ", " tgen", TrackKind::Stream, nullptr},
    {"tunes\\track03.mp3", "   Let ItSnow     ", " tgen", TrackKind::Stream, nullptr},
    {"tunes\\track04.mp3", " Come AllYe Duet  ", " tgen", TrackKind::Stream, nullptr},
    {"tunes\\track05.mp3", " What AreYou Doing", " tgen", TrackKind::Stream, nullptr},
    {"tunes\\track06.IT", " Carol OfThe Bells", " tg-it", TrackKind::Module, nullptr},
    {"tunes\\track07.mp3", "Holy NiteMetal Mix", " kqt", TrackKind::Stream, nullptr},
    {"tunes\\track08.mp3", "Ohh Xmas Tree     ", " kqt", TrackKind::Stream, nullptr},
    {"tunes\\track09.mp3", "   SurferFrosty ", "tgen-mix", TrackKind::Stream, nullptr},
    {"tunes\\track10.mp3", "WeWishUMerryXmas ", " kqt", TrackKind::Stream, nullptr},
    {"tunes\\track11.mp3", "O Holy  Night     ", " kqd", TrackKind::Stream, nullptr},
};

std::int8_t currentTrack = 0;
