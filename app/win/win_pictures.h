// The wizard's pictures drawn with GDI, as the Qt window draws them: the
// welcome band beside page 0 and the header picture of the other pages.
#pragma once

#include <windows.h>

namespace winui {

// A bitmap of `width` x `height` device pixels: several tax files flowing into
// one, and the program's name. The caller deletes it (DeleteObject); null
// when GDI is out of memory.
HBITMAP WelcomeBitmap(int width, int height);
// A square bitmap of `side` device pixels: two files joined into one, on a
// rounded square over `background`. The caller deletes it; null on failure.
HBITMAP HeaderBitmap(int side, COLORREF background);

// Draws `bitmap` at (x, y) of `dc`.
void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y);

}  // namespace winui
