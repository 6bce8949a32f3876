#pragma once

#include "export/ui/screenshot_copy_actions.h"
#include "model/annotation.h"

#include <QWidget>

class QLabel;

namespace tovik {

class FittedImage;

// One capture in the toolbar's strip: its image fitted into 120 × 80 with the copy control
// attached, and its number under it. One accessibility element named after the capture.
class ToolbarThumbnail : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize imageFrame{120, 80};

    ToolbarThumbnail(QUuid id, ScreenshotCopySource source, QWidget* parent = nullptr);

    QUuid id() const { return id_; }
    ScreenshotCopyActions* copyActions() const { return copyActions_; }

    // Shows this capture; the scaled image is made again only when the image changed.
    void setItem(const CapturedItem& item);

private:
    QUuid id_;
    FittedImage* picture_;
    QLabel* number_;
    ScreenshotCopyActions* copyActions_;
};

} // namespace tovik
