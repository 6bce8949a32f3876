#pragma once

#include <QIcon>

namespace tovik {

// tovik's icon, data/tovik.svg from the resource, so that it needs no icon theme: the
// viewfinder in orange on a dark rounded square, legible on light and dark panels alike.
QIcon appIcon();

} // namespace tovik
