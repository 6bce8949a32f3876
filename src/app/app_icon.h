#pragma once

#include <QIcon>

namespace tovik {

// tovik's icon, drawn rather than loaded so that it needs no icon theme: the viewfinder in
// orange on a dark rounded square, legible on light and dark panels alike (data/tovik.svg is
// the same picture for the desktop entry).
QIcon appIcon();

} // namespace tovik
