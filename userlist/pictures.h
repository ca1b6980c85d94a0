// The product pictures of the user lists and the window's icon: our own
// artwork, drawn in code.
#pragma once

#include <QIcon>
#include <QPixmap>

constexpr int ProductPictureCount = 13;

// Picture k, 28 x 14 (28 x 13 for 8, 9 and 11), drawn at `devicePixelRatio`
// (sharp on scaled screens); opaque, on black. A null pixmap for k outside 0..12.
QPixmap ProductPicture(int k, qreal devicePixelRatio = 1.0);

// The window icon at one size (16 to 256 pixels), and all of them as one icon.
QPixmap WindowIconPixmap(int size, qreal devicePixelRatio = 1.0);
QIcon WindowIcon();
