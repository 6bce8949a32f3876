#pragma once

#include "ui/panel_chrome.h"

#include <QSizeF>

#include <functional>

class QLayout;
class QPlainTextEdit;

namespace tovik {

class AnnotationDragHandle;
class CaptureButtonStyle;
class CaptureDraft;
class CompactAction;

// The annotation panel shown next to a selected region: drag handle and cancel, the comment
// field, then reselect, pen, undo and confirm. It edits the shared draft; its frame is set by
// the overlay window.
class CaptureEditor : public PanelChrome {
    Q_OBJECT
public:
    static constexpr int panelHeight = 172;
    static constexpr int maximumWidth = 320;

    CaptureEditor(CaptureDraft* draft, qint64 number, QWidget* parent = nullptr);

    CaptureDraft* draft() const { return draft_; }
    qint64 number() const { return number_; }

    std::function<void()> onConfirm;
    std::function<void()> onCancel;
    std::function<void()> onReselect;
    std::function<void(QSizeF translation, bool ended)> onMove;

    bool commentFocused() const;
    // Gives the comment field the keyboard, or hands it back to the view under the panel.
    void setCommentFocused(bool focused);

private:
    QLayout* makeHeader();
    QWidget* makeCommentField();
    QLayout* makeToolRow();
    void refresh();
    void togglePen();
    void undo();

    CaptureDraft* draft_;
    qint64 number_;
    AnnotationDragHandle* handle_;
    QPlainTextEdit* comment_;
    CaptureButtonStyle* pen_;
    CompactAction* undo_;
};

} // namespace tovik
