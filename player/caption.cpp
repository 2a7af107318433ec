#include "caption.h"

#include <cstdio>
#include <cstring>

#include "player.h"
#include "playlist.h"
#include "shell.h"

namespace {

constexpr int kLineSize = 64;
constexpr int kPieceLength = kCaptionPieceSize - 1;

// Indexed by PlayState; nine characters each, the blanks included, so that the track number
// always starts the second piece.
constexpr const char* kStateWords[] = {" playing ", " (paused)", "(stopped)"};

}  // namespace

void buildCaptionLines(char pieces[kCaptionPieceCount][kCaptionPieceSize]) {
  // Zero-filled, so that a piece reaching past the line's end ends with it.
  char line[kLineSize] = {};
  const PlaylistEntry& entry = playlist[currentTrack];
  // The stored texts are shown exactly as they are, blanks and all: no blank is added around
  // "by". The precisions keep a text that fills its whole field from being read past it.
  std::snprintf(line, sizeof line, "%s track %i %.*sby%.*s", kStateWords[static_cast<int>(playerState())],
                currentTrack + 1, static_cast<int>(sizeof entry.title - 1), entry.title,
                static_cast<int>(sizeof entry.artist - 1), entry.artist);
  for (int k = 0; k < kCaptionPieceCount; ++k) {
    std::memcpy(pieces[k], line + k * kPieceLength, kPieceLength);
    pieces[k][kPieceLength] = '\0';
  }
}

void drawCaption(const char pieces[kCaptionPieceCount][kCaptionPieceSize], WagonTextureLookup wagonTexture) {
  // A new font for every refresh; its result is not tested (TextOutA then draws in the
  // device context's default font).
  HFONT font = CreateFontA(-50, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                           ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Times New Roman");
  for (int k = 0; k < kCaptionPieceCount; ++k) {
    IDirect3DTexture9* texture = wagonTexture(static_cast<UINT>(k + 1));
    if (texture == nullptr) continue;
    IDirect3DSurface9* surface = nullptr;
    if (FAILED(texture->GetSurfaceLevel(0, &surface))) fatalError("Error getting surface level\n");
    HDC dc = nullptr;
    if (FAILED(surface->GetDC(&dc))) fatalError("Error getting dc\n");
    SelectObject(dc, font);
    SetBkColor(dc, RGB(151, 39, 39));  // the wagons' red behind the text
    SetTextColor(dc, RGB(255, 204, 0));
    // The blanks are painted in the background colour over whatever a longer earlier piece
    // left; the state word sits a little further in on the first wagon.
    static constexpr char kBlanks[] = "                  ";
    TextOutA(dc, 10, 70, kBlanks, static_cast<int>(sizeof kBlanks - 1));
    TextOutA(dc, k == 0 ? 20 : 12, 70, pieces[k], static_cast<int>(std::strlen(pieces[k])));
    surface->ReleaseDC(dc);
    surface->Release();
  }
  DeleteObject(font);
}
