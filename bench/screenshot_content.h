#pragma once

#include <QImage>

namespace tovik::bench {

// A deterministic stand-in for a screenshot of a desktop application: flat UI colours,
// text, a gradient banner and a photo-like picture. `variant` shifts colours, text and
// layout so that a session's captures differ.
QImage screenshotContent(int width, int height, int variant);

} // namespace tovik::bench
