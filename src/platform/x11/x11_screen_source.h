#pragma once

#include "platform/screen_source.h"

#include <QHash>
#include <QThreadPool>

#include <memory>

namespace tovik {

class XcbConnection;
class X11ImageGrabber;
class X11WindowSettler;

// Screens as Qt lists them, matched by name to RandR monitors (or, before RandR 1.5, to the
// outputs that show a part of the screen; without RandR, the one screen is the whole root
// window); grabs of the root window.
// This app's windows are not hidden here (that is their owners' call: the session hides its
// window and toolbar before a capture); `settle` waits for them to be gone.
class X11ScreenSource final : public ScreenSource {
public:
    /** Uses RandR up to 1.`newestRandrMinor` (the server may offer less); tests lower it to
     *  take an older server's path. */
    explicit X11ScreenSource(quint32 newestRandrMinor = 5);
    ~X11ScreenSource() override;

    /** X11 asks no permission to read the screen. */
    bool preflightAccess() override { return true; }
    bool requestAccess() override { return true; }
    QList<ScreenInfo> screens() override;
    void windowsWillHide() override;
    QCoro::Task<> settle() override;
    QCoro::Task<Expected<QImage>> grab(const ScreenInfo& screen, QSize pixelSize) override;

    /** Makes and touches every grab buffer. */
    void warmUp() override;
    /** Lets go of the grab buffers. */
    void releaseBuffers() override;

private:
    struct Monitor {
        quint32 id;   // the monitor's name atom, the output, or the root window: stable while
                      // the server runs
        QString name; // empty for the whole screen of a server without RandR
        QRect pixels;
    };

    /** The device pixels of the root window that show `screen`. */
    Expected<QRect> grabArea(const ScreenInfo& screen, QSize pixelSize);
    QList<Monitor> monitors();
    QList<Monitor> randrMonitors();
    QList<Monitor> randrOutputs();
    std::optional<QRect> monitorArea(std::optional<quint32> id) const;
    QString atomName(quint32 atom);

    std::unique_ptr<XcbConnection> conn_;
    std::unique_ptr<X11ImageGrabber> grabber_;
    std::unique_ptr<X11WindowSettler> settler_;
    QList<Monitor> monitors_; // as last read
    QHash<quint32, QString> atomNames_;
    quint32 randrMinor_ = 0; // of RandR 1.x; 0 when the server has none or below 1.2
    // Its own, so that no other work queues before a grab; gone first, as its grabs read
    // through the grabber and the connection.
    QThreadPool grabPool_;
};

} // namespace tovik
