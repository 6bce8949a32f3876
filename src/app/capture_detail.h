#pragma once

#include "export/ui/screenshot_copy_actions.h"
#include "model/annotation.h"

#include <QPointer>
#include <QWidget>

class QPlainTextEdit;

namespace tovik {

class CompactAction;
class FittedImage;
class SessionStore;

// The capture shown in the session window: its image with the copy control, its comment,
// which every edit writes to the store, and the button that removes it.
class CaptureDetail : public QWidget {
    Q_OBJECT
public:
    static constexpr int editorHeight = 70;

    explicit CaptureDetail(SessionStore& store, QWidget* parent = nullptr);

    QUuid id() const { return id_; }
    ScreenshotCopyActions* copyActions() const { return copyActions_.data(); }

    // Shows this capture; the editor keeps its cursor while the text is the comment already.
    void setItem(const CapturedItem& item);
    // Follows the store's busy flag and error.
    void refresh();

private:
    QWidget* buildCommentEditor();
    void commentEdited();

    SessionStore& store_;
    QUuid id_;
    FittedImage* image_;
    QPlainTextEdit* editor_;
    CompactAction* remove_;
    QPointer<ScreenshotCopyActions> copyActions_;
};

} // namespace tovik
