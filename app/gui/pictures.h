// The wizard's pictures, drawn at run time: the welcome band of the first
// page and the header picture of the other pages (also the window's icon).
#pragma once

#include <QPixmap>

// A vertical band: several tax files flowing into one, and the program's name.
// Sizes are in device-independent pixels; `dpr` is the screen's pixel ratio.
QPixmap WelcomePicture(int width, int height, qreal dpr = 1.0);
// A square picture: two files joined into one.
QPixmap HeaderPicture(int side, qreal dpr = 1.0);
