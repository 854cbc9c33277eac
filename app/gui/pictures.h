// The wizard's pictures, drawn at run time: the welcome band of the first
// page and the header picture of the other pages (also the window's icon).
#pragma once

#include <QPixmap>

// A vertical band: several tax files flowing into one, and the program's name.
QPixmap WelcomePicture(int width, int height);
// A square picture: two files joined into one.
QPixmap HeaderPicture(int side);
