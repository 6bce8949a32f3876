#include "tovik_driver.h"

#include "control/control_client.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QPoint>
#include <QThread>

#include <xcb/damage.h>
#include <xcb/xtest.h>

#include <poll.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using namespace std::chrono_literals;

// X11 keysyms.
constexpr xcb_keysym_t keysymControl = 0xffe3; // Control_L
constexpr xcb_keysym_t keysymShift = 0xffe1;   // Shift_L
constexpr xcb_keysym_t keysymS = 0x0073;       // s
constexpr xcb_keysym_t keysymEscape = 0xff1b;
constexpr xcb_keysym_t keysymReturn = 0xff0d;
constexpr quint8 primaryButton = 1;

// Probe points, in from the corners: far from the hint text in the middle, and covering
// both ends of the one image a repaint of the whole overlay puts on the screen.
constexpr int probeInset = 8;

// White dimmed by black at 0.42 gives about 148; anything well below white and well above
// black counts as the overlay.
bool isDimmedWhite(QRgb pixel) {
    return qRed(pixel) > 110 && qRed(pixel) < 190 && qGreen(pixel) > 110 && qGreen(pixel) < 190;
}
// TOVIK_BENCH_EXECUTABLE runs another build, to compare two in the same period.
QString executable() {
    return qEnvironmentVariable("TOVIK_BENCH_EXECUTABLE", QStringLiteral(TOVIK_EXECUTABLE));
}

// SIGTERM (QProcess::terminate), then SIGKILL after five seconds.
void stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished();
    }
}

bool isWhite(QRgb pixel) {
    return qRed(pixel) > 245 && qGreen(pixel) > 245 && qBlue(pixel) > 245;
}

} // namespace

TovikDriver::TovikDriver() {
    conn_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(conn_)) {
        error_ = QStringLiteral("cannot open the X display");
        return;
    }
    screen_ = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
    symbols_ = xcb_key_symbols_alloc(conn_);

    const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(conn_, &xcb_test_id);
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(conn_, &xcb_damage_id);
    if (!xtest || !xtest->present || !damage || !damage->present) {
        error_ = QStringLiteral("the X server lacks XTest or DAMAGE");
        return;
    }
    std::free(xcb_damage_query_version_reply(
        conn_, xcb_damage_query_version(conn_, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION),
        nullptr));
    damageEvent_ = damage->first_event + XCB_DAMAGE_NOTIFY;
    // Damage on the root window reports every change of the screen's contents, whichever
    // window draws them.
    damage_ = xcb_generate_id(conn_);
    xcb_damage_create(conn_, damage_, screen_->root, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config_.path());
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::ForwardedChannels);
    environment_ = env;
}

TovikDriver::~TovikDriver() {
    command_.waitForFinished(5000);
    stopTovik();
    stopClients();
    stopCompositor();
    if (symbols_)
        xcb_key_symbols_free(symbols_);
    xcb_disconnect(conn_);
}

QSize TovikDriver::screenSize() const {
    return screen_ ? QSize(screen_->width_in_pixels, screen_->height_in_pixels) : QSize();
}

void TovikDriver::whitenDesktop() {
    const quint32 white = screen_->white_pixel;
    xcb_change_window_attributes(conn_, screen_->root, XCB_CW_BACK_PIXEL, &white);
    xcb_clear_area(conn_, 0, screen_->root, 0, 0, 0, 0);
    // A compositing manager tiles the pixmap named here behind the windows, grey without it.
    if (!rootPixmap_) {
        constexpr quint16 tile = 8;
        rootPixmap_ = xcb_generate_id(conn_);
        xcb_create_pixmap(conn_, screen_->root_depth, rootPixmap_, screen_->root, tile, tile);
        const xcb_gcontext_t gc = xcb_generate_id(conn_);
        xcb_create_gc(conn_, gc, rootPixmap_, XCB_GC_FOREGROUND, &white);
        const xcb_rectangle_t all{0, 0, tile, tile};
        xcb_poly_fill_rectangle(conn_, rootPixmap_, gc, 1, &all);
        xcb_free_gc(conn_, gc);
    }
    for (const char* name : {"_XROOTPMAP_ID", "_XSETROOT_ID"}) {
        const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
            xcb_intern_atom_reply(conn_, xcb_intern_atom(conn_, false, quint16(strlen(name)), name),
                                  nullptr),
            &std::free);
        if (atom)
            xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, screen_->root, atom->atom,
                                XCB_ATOM_PIXMAP, 32, 1, &rootPixmap_);
    }
    sync();
}

bool TovikDriver::startCompositor() {
    const QByteArray name = "_NET_WM_CM_S0";
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(
            conn_, xcb_intern_atom(conn_, false, quint16(name.size()), name.data()), nullptr),
        &std::free);
    if (!atom)
        return false;
    // It reports every window that vanished under it.
    compositor_.setStandardErrorFile(QProcess::nullDevice());
    compositor_.start(QStringLiteral("xcompmgr"), {});
    if (!compositor_.waitForStarted())
        return false;
    const QDeadlineTimer deadline(10s);
    while (!deadline.hasExpired() && compositor_.state() == QProcess::Running) {
        const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
            xcb_get_selection_owner_reply(conn_, xcb_get_selection_owner(conn_, atom->atom),
                                          nullptr),
            &std::free);
        if (owner && owner->owner != XCB_NONE) {
            // Its first full repaint of the screen.
            QThread::msleep(300);
            return true;
        }
        QThread::msleep(20);
    }
    return false;
}

void TovikDriver::stopCompositor() {
    stop(compositor_);
}

bool TovikDriver::startClientUnderToolbar() {
    // Wide and low at the bottom centre: under the toolbar, clear of the probe corners.
    const QSize size = screenSize();
    const int width = size.width() / 2;
    const int height = std::min(400, size.height() / 3);
    return startTerminal(
        client_, {QStringLiteral("top")},
        QRect((size.width() - width) / 2, size.height() - height - 40, width, height), false);
}

bool TovikDriver::startPasteTarget() {
    const QSize size = screenSize();
    return startTerminal(
        pasteTarget_,
        {QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("cat > /dev/null")},
        QRect(40, size.height() / 3, size.width() / 4, size.height() / 4), true);
}

bool TovikDriver::startTerminal(QProcess& process, const QStringList& command, QRect place,
                                bool activate) {
    stop(process);
    process.setProcessEnvironment(environment_);
    process.start(QStringLiteral("lxterminal"),
                  QStringList{QStringLiteral("--no-remote"), QStringLiteral("-e")} + command);
    if (!process.waitForStarted())
        return false;
    QStringList arguments = {QStringLiteral("search"),
                             QStringLiteral("--sync"),
                             QStringLiteral("--onlyvisible"),
                             QStringLiteral("--pid"),
                             QString::number(process.processId()),
                             QStringLiteral("--class"),
                             QStringLiteral("lxterminal"),
                             QStringLiteral("windowsize"),
                             QStringLiteral("%@"),
                             QString::number(place.width()),
                             QString::number(place.height()),
                             QStringLiteral("windowmove"),
                             QStringLiteral("%@"),
                             QString::number(place.x()),
                             QString::number(place.y())};
    if (activate)
        arguments << QStringLiteral("windowactivate") << QStringLiteral("--sync");
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    if (!xdotool.waitForFinished(10000) || xdotool.exitCode() != 0)
        return false;
    QThread::msleep(500);
    return true;
}

void TovikDriver::stopClients() {
    stop(client_);
    stop(pasteTarget_);
}

bool TovikDriver::startTovik(int idleTrimMs) {
    QProcessEnvironment env = environment_;
    if (idleTrimMs > 0)
        env.insert(QStringLiteral("TOVIK_IDLE_TRIM_MS"), QString::number(idleTrimMs));
    process_.setProcessEnvironment(env);
    process_.start(executable(), {});
    if (!process_.waitForStarted())
        return false;
    const QDeadlineTimer deadline(10s);
    while (!deadline.hasExpired() && process_.state() == QProcess::Running) {
        if (phase() == QLatin1String("ready"))
            return true;
        QThread::msleep(20);
    }
    return false;
}

void TovikDriver::stopTovik() {
    stop(process_);
}

QString TovikDriver::socketPath() const {
    return runtime_.filePath(QStringLiteral("tovik.sock"));
}

QString TovikDriver::phase() const {
    return command(QStringLiteral("status"), 2s).value(QStringLiteral("phase")).toString();
}

QJsonObject TovikDriver::command(const QString& name, std::chrono::milliseconds timeout) const {
    const auto answer = tovik::sendControlCommand(socketPath(), name, timeout);
    return answer ? *answer : QJsonObject();
}

void TovikDriver::fakeKey(quint8 type, xcb_keycode_t keycode) {
    xcb_test_fake_input(conn_, type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
}

void TovikDriver::fakeMotion(int x, int y) {
    xcb_test_fake_input(conn_, XCB_MOTION_NOTIFY, false, XCB_CURRENT_TIME, screen_->root, qint16(x),
                        qint16(y), 0);
}

xcb_keycode_t TovikDriver::keycode(xcb_keysym_t keysym) {
    const std::unique_ptr<xcb_keycode_t, decltype(&std::free)> codes(
        xcb_key_symbols_get_keycode(symbols_, keysym), &std::free);
    return codes ? *codes : 0;
}

void TovikDriver::sync() {
    std::free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr));
}

TovikDriver::Clock::time_point TovikDriver::pressHotKey() {
    const xcb_keycode_t control = keycode(keysymControl);
    const xcb_keycode_t shift = keycode(keysymShift);
    const xcb_keycode_t s = keycode(keysymS);
    drainDamage();
    fakeKey(XCB_KEY_PRESS, control);
    fakeKey(XCB_KEY_PRESS, shift);
    fakeKey(XCB_KEY_PRESS, s);
    sync();
    const Clock::time_point pressed = Clock::now();
    fakeKey(XCB_KEY_RELEASE, s);
    fakeKey(XCB_KEY_RELEASE, shift);
    fakeKey(XCB_KEY_RELEASE, control);
    xcb_flush(conn_);
    return pressed;
}

TovikDriver::Clock::time_point TovikDriver::runCaptureCommand() {
    command_.waitForFinished(5000);
    drainDamage();
    const Clock::time_point launched = Clock::now();
    command_.setProcessEnvironment(environment_);
    command_.setProcessChannelMode(QProcess::ForwardedChannels);
    command_.start(executable(), {QStringLiteral("capture")});
    // Not waited for: the overlay may be up before the client has exited.
    command_.waitForStarted();
    return launched;
}

void TovikDriver::pressEscape() {
    const xcb_keycode_t escape = keycode(keysymEscape);
    fakeKey(XCB_KEY_PRESS, escape);
    fakeKey(XCB_KEY_RELEASE, escape);
    sync();
}

bool TovikDriver::confirmRegion(QRect region, std::chrono::milliseconds timeout) {
    const QPoint from = region.topLeft(), by = region.bottomRight() - region.topLeft();
    fakeMotion(from.x(), from.y());
    sync();
    xcb_test_fake_input(conn_, XCB_BUTTON_PRESS, primaryButton, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                        0);
    for (int step = 1; step <= 10; ++step) {
        fakeMotion(from.x() + by.x() * step / 10, from.y() + by.y() * step / 10);
        sync();
        QThread::msleep(10);
    }
    xcb_test_fake_input(conn_, XCB_BUTTON_RELEASE, primaryButton, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                        0);
    sync();
    // The annotation panel takes the keyboard focus once it shows.
    QThread::msleep(300);
    const xcb_keycode_t control = keycode(keysymControl);
    const xcb_keycode_t ret = keycode(keysymReturn);
    fakeKey(XCB_KEY_PRESS, control);
    fakeKey(XCB_KEY_PRESS, ret);
    fakeKey(XCB_KEY_RELEASE, ret);
    fakeKey(XCB_KEY_RELEASE, control);
    sync();
    return waitForPhase(QStringLiteral("monitoring"), timeout);
}

QRgb TovikDriver::pixel(int x, int y) {
    std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> reply(
        xcb_get_image_reply(conn_,
                            xcb_get_image(conn_, XCB_IMAGE_FORMAT_Z_PIXMAP, screen_->root,
                                          qint16(x), qint16(y), 1, 1, ~0u),
                            nullptr),
        &std::free);
    if (!reply || xcb_get_image_data_length(reply.get()) < 4)
        return 0;
    return *reinterpret_cast<const quint32*>(xcb_get_image_data(reply.get()));
}

bool TovikDriver::probesShow(bool dimmed) {
    const QSize size = screenSize();
    for (const QPoint probe : {QPoint(probeInset, probeInset),
                               QPoint(size.width() - probeInset, size.height() - probeInset)}) {
        const QRgb value = pixel(probe.x(), probe.y());
        if (dimmed ? !isDimmedWhite(value) : !isWhite(value))
            return false;
    }
    return true;
}

void TovikDriver::drainDamage() {
    while (xcb_generic_event_t* event = xcb_poll_for_event(conn_))
        std::free(event);
}

std::optional<TovikDriver::Clock::time_point>
TovikDriver::waitForOverlay(std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    pollfd socket{xcb_get_file_descriptor(conn_), POLLIN, 0};
    while (Clock::now() < deadline) {
        // Each change of the screen's contents is a damage event: look at the probes then.
        // The poll's timeout is only a safety net should an event be missed.
        bool damaged = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(conn_)) {
            damaged = damaged || (event->response_type & 0x7f) == damageEvent_;
            std::free(event);
        }
        if (damaged && probesShow(true))
            return Clock::now();
        ::poll(&socket, 1, 5);
    }
    return probesShow(true) ? std::optional(Clock::now()) : std::nullopt;
}

bool TovikDriver::waitForReady(std::chrono::milliseconds timeout) {
    return waitForPhase(QStringLiteral("ready"), timeout);
}

bool TovikDriver::waitForPhase(const QString& wanted, std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    while (!deadline.hasExpired()) {
        if (phase() == wanted && probesShow(false)) {
            drainDamage();
            return true;
        }
        QThread::msleep(10);
    }
    return false;
}

qint64 TovikDriver::statusKb(const char* field) const {
    QFile status(QStringLiteral("/proc/%1/status").arg(process_.processId()));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

qint64 TovikDriver::residentKb() const {
    return statusKb("VmRSS:");
}

qint64 TovikDriver::peakResidentKb() const {
    return statusKb("VmHWM:");
}

bool TovikDriver::resetPeakResident() const {
    // Writing 5 to clear_refs sets the peak back to the current resident set.
    QFile refs(QStringLiteral("/proc/%1/clear_refs").arg(process_.processId()));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}
