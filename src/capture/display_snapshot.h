#pragma once

#include "platform/screen_source.h"

#include <QImage>

namespace tovik {

// One frozen screen: its whole image in device pixels.
struct DisplaySnapshot {
    QImage image;
    ScreenInfo screen;
    quint32 displayID = 0;
};

} // namespace tovik
