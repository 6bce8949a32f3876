#pragma once

#include "ui/panel_chrome.h"

#include <QHash>
#include <QUuid>

class QGridLayout;
class QHBoxLayout;
class QLabel;
class QScrollArea;

namespace tovik {

class CaptureButtonStyle;
class CompactAction;
class SessionStore;
class ShortcutPreferences;
class ToolbarThumbnail;
struct ShortcutBinding;

// The view inside the floating toolbar: the strip of captures (while unfolded) over the
// control bar with Capture, the strip toggle, Paste and Close. Holds no session state: it
// reads the store in refresh() and each control calls one store operation.
class FloatingToolbar : public PanelChrome {
    Q_OBJECT
public:
    static constexpr int stripHeight = 166;
    static constexpr int controlBarHeight = 48;

    FloatingToolbar(SessionStore& store, ShortcutPreferences& preferences,
                    QWidget* parent = nullptr);

    // Shows what the store and the preferences hold now; safe to call at any time.
    void refresh();

    // "Select a region (Ctrl+Shift+S)".
    static QString captureHelp(const ShortcutBinding& binding);
    // "2 screenshots, collapsed".
    static QString toggleValue(qsizetype count, bool expanded);

private:
    QWidget* buildStrip();
    QWidget* buildControlBar();
    void refreshThumbnails();

    SessionStore& store_;
    ShortcutPreferences& preferences_;

    QWidget* strip_ = nullptr;
    QLabel* countLabel_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QHBoxLayout* row_ = nullptr;
    QLabel* emptyLabel_ = nullptr;
    QHash<QUuid, ToolbarThumbnail*> thumbnails_;

    CaptureButtonStyle* capture_ = nullptr;
    CaptureButtonStyle* toggle_ = nullptr;
    CaptureButtonStyle* paste_ = nullptr;
    CompactAction* close_ = nullptr;
};

} // namespace tovik
