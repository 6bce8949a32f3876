#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSettings>
#include <QWidget>

#include <functional>
#include <optional>

namespace tovik {

class FloatingToolbar;
class SessionStore;
class ShortcutPreferences;
class StickyWindows;

// The session's floating panel: frameless, above other windows, on every virtual desktop,
// never taking the keyboard focus (also when clicked), dragged by its background. Its
// position is kept in the state file, apart from the user's settings, and restored at
// creation; its size always starts folded.
class FloatingToolbarWindow : public QWidget {
    Q_OBJECT
public:
    // The state key of the saved position.
    static const QString stateKey;
    // tovik/state.conf in the user's state directory ($XDG_STATE_HOME, ~/.local/state).
    static QString defaultStatePath();

    // The visible areas (without panels and docks) of the screens in the window system's
    // order, the primary screen first.
    using VisibleAreas = std::function<QList<QRect>()>;

    struct Environment {
        // INI file that keeps the position.
        QString statePath;
        VisibleAreas visibleAreas = currentVisibleAreas;
        // Puts the panel on every virtual desktop; may be null.
        StickyWindows* sticky = nullptr;
    };

    FloatingToolbarWindow(SessionStore& store, ShortcutPreferences& preferences,
                          Environment environment);

    FloatingToolbar* toolbar() const { return toolbar_; }

    // Brings the panel to the front, on every desktop, leaving the focus where it is.
    void showWithoutActivating();
    // Moves the panel into the visible area of the screen it overlaps most.
    void reposition();
    // Gives the panel this frame, moved the way reposition() moves it, in one step.
    void setFrame(QRect frame);

    static QList<QRect> currentVisibleAreas();
    // Where a panel with this frame goes: the top-left corner that puts it inside the area it
    // overlaps most (on a tie the one listed first; with no overlap the first); a panel
    // larger than the area keeps its left and bottom edges on the area's. None without areas.
    static std::optional<QPoint> placement(const QRect& frame, const QList<QRect>& areas);
    // The frame at creation: folded, centred, its bottom 32 above the bottom of the first
    // area (or of a 1200 × 800 area at the origin when there is none).
    static QRect initialFrame(const QList<QRect>& areas);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    static bool onWayland();
    QList<QRect> visibleAreas() const;
    std::optional<QPoint> savedPosition() const;

    Environment environment_;
    QSettings state_;
    FloatingToolbar* toolbar_;
    std::optional<QPoint> dragOffset_;
    bool savesPosition_ = false;
};

} // namespace tovik
