#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QRect>
#include <QTimer>

#include <QCoro/QCoroTask>
#include <xcb/xcb.h>

#include <chrono>
#include <functional>
#include <optional>

namespace tovik {

class XcbConnection;

// Makes sure a grab sees neither this app's windows nor their ghosts. A window hidden a
// moment ago may still be mapped (its unmap waiting in Qt's output buffer, its frame waiting
// for the window manager), and what it covered shows stale pixels until the clients below
// have answered their Expose events, or a compositor its next frame.
class X11WindowSettler : public QObject {
    Q_OBJECT
public:
    explicit X11WindowSettler(XcbConnection& conn);
    ~X11WindowSettler() override;

    /** Starts watching the screen before this app hides windows: a drawing the server does
     *  before the watch begins is one a settle cannot see. */
    void windowsWillHide();
    /** Waits, for a bounded time, until this app's hidden windows are off the screen and
     *  the areas they uncovered have been drawn again. The event loop runs meanwhile. */
    QCoro::Task<> settle();
    /** Takes the connection's DAMAGE and unmap events. */
    void handleEvent(const xcb_generic_event_t& event);

Q_SIGNALS:
    /** An unmap or a drawing arrived that a settle may be waiting for. */
    void progressed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Uncovered {
        xcb_window_t top = XCB_NONE; // the window, or the frame it sits in
        QRect area;                  // root coordinates, frame included
        QDeadlineTimer deadline;     // for the unmap, then for the redraw after it
        bool gone = false;           // its unmap has reached this connection
        QElapsedTimer firstDrawn;    // since the first drawing there after it went; invalid before
        QElapsedTimer lastDrawn;     // since the latest one
        bool drawnUnseen = false;    // it went before DAMAGE watched: the first drawing is missed
        QByteArray before;           // the area's pixels while it showed, where a compositor runs
    };
    struct TopWindow {
        xcb_window_t window = XCB_NONE;
        QRect area;
    };

    // How long at most until `pending` may change its mind; none once it is satisfied.
    using Pending = std::function<std::optional<std::chrono::milliseconds>()>;

    QCoro::Task<> waitWhile(Pending pending);
    QCoro::Task<> waitUntilHiddenWindowsAreGone();
    QCoro::Task<> waitUntilUncoveredAreasAreDrawn();
    TopWindow topWindow(xcb_window_t window);
    QByteArray pixels(const QRect& area);
    bool stillShowsItsWindow(const Uncovered& area);
    void watchDamage();
    bool compositorRuns();
    void stopWatchingDamage();

    XcbConnection& conn_;
    quint8 damageEvent_ = 0;    // first event code of DAMAGE; 0 without it
    quint32 damage_ = 0;        // the damage object on the root window while areas are pending
    quint16 damageCreated_ = 0; // sequence number of its creation, which reports the whole root
    bool composited_ = false;   // a compositing manager ran when the watch began
    QHash<xcb_window_t, TopWindow> shown_;           // this app's visible top-level windows by id
    QHash<xcb_window_t, QByteArray> lookBeforeHide_; // their areas' pixels, read before a hide
    QList<Uncovered> uncovered_;
    QTimer forget_;    // drops the pending areas when no grab follows a hide
    int settling_ = 0; // settles under way; the last one to end drops the areas
};

} // namespace tovik
