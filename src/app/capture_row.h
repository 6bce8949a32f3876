#pragma once

#include "export/ui/screenshot_copy_actions.h"
#include "model/annotation.h"

#include <QAbstractButton>

class QLabel;

namespace tovik {

class FittedImage;
class NumberBadge;

// One capture in the session window's sidebar: its thumbnail with the number badge and the
// copy control, and its summary. Clicking it shows the capture.
class CaptureRow : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int thumbnailHeight = 88;

    CaptureRow(QUuid id, ScreenshotCopySource source, QWidget* parent = nullptr);

    QUuid id() const { return id_; }
    ScreenshotCopyActions* copyActions() const { return copyActions_; }

    void setItem(const CapturedItem& item);
    void setSelected(bool selected);
    bool selected() const { return selected_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QUuid id_;
    FittedImage* thumbnail_;
    NumberBadge* badge_;
    QLabel* summary_;
    ScreenshotCopyActions* copyActions_;
    bool selected_ = false;
};

} // namespace tovik
