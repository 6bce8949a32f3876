#pragma once

#include <QImage>

namespace tovik::bench {

// A deterministic stand-in for a screenshot of a desktop application: flat UI colours,
// text, a gradient banner and a photo-like picture. `variant` shifts colours, text and
// layout so that a session's captures differ.
QImage screenshotContent(int width, int height, int variant);

// What users capture most: regions, not whole screens. `index` picks one of four kinds in
// turn (an app's UI, code in a dark editor, a photo, a mostly empty page) and one of several
// region sizes between 400 x 300 and 1800 x 1100 pixels.
QImage regionCrop(int index);

} // namespace tovik::bench
