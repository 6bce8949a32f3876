#include "x11_test_env.h"

#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QScreen>
#include <QTest>

#include <xcb/xcb_keysyms.h>

#include <poll.h>

#include <cstdlib>

namespace tovik::x11test {

namespace {

constexpr auto waitTimeout = 5000; // ms, for conditions that normally hold within a moment

xcb_atom_t internAtom(xcb_connection_t* conn, const char* name) {
    auto* reply =
        xcb_intern_atom_reply(conn, xcb_intern_atom(conn, 0, strlen(name), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

void putImage(xcb_connection_t* conn, xcb_window_t window, const QImage& image) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
    const xcb_gcontext_t gc = xcb_generate_id(conn);
    xcb_create_gc(conn, gc, window, 0, nullptr);
    // In strips, so that no request needs BIG-REQUESTS.
    const int rowsPerStrip = 32;
    for (int y = 0; y < image.height(); y += rowsPerStrip) {
        const int rows = std::min(rowsPerStrip, image.height() - y);
        xcb_put_image(conn, XCB_IMAGE_FORMAT_Z_PIXMAP, window, gc, quint16(image.width()),
                      quint16(rows), 0, qint16(y), 0, screen->root_depth,
                      quint32(image.bytesPerLine() * rows), image.constScanLine(y));
    }
    xcb_free_gc(conn, gc);
    xcb_flush(conn);
}

} // namespace

ToolResult runTool(const QString& program, const QStringList& arguments,
                   std::chrono::milliseconds timeout) {
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments);
    const bool finished = QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; },
                                          int(timeout.count()));
    if (!finished) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput()};
}

bool splitIntoTwoMonitors() {
    const QSize size = QGuiApplication::primaryScreen()->size();
    const QString half = QStringLiteral("%1/0x%2/0").arg(size.width() / 2).arg(size.height());
    // The first monitor takes over the output, so the output's own monitor goes away.
    if (runTool(QStringLiteral("xrandr"), {QStringLiteral("--setmonitor"), QStringLiteral("left"),
                                           half + QStringLiteral("+0+0"), QStringLiteral("screen")})
                .exitCode != 0 ||
        runTool(QStringLiteral("xrandr"),
                {QStringLiteral("--setmonitor"), QStringLiteral("right"),
                 half + QStringLiteral("+%1+0").arg(size.width() / 2), QStringLiteral("none")})
                .exitCode != 0)
        return false;
    return QTest::qWaitFor(
        [] {
            QStringList names;
            for (const QScreen* screen : QGuiApplication::screens())
                names.append(screen->name());
            names.sort();
            return names == QStringList{QStringLiteral("left"), QStringLiteral("right")};
        },
        waitTimeout);
}

OtherClient::OtherClient()
    : conn_(xcb_connect(nullptr, nullptr))
    , screen_(xcb_setup_roots_iterator(xcb_get_setup(conn_)).data) {}

OtherClient::~OtherClient() {
    xcb_disconnect(conn_);
}

void OtherClient::showImage(const QRect& rect, const QImage& image) {
    const xcb_window_t window = xcb_generate_id(conn_);
    const quint32 values[] = {1}; // override-redirect: exactly there, no frame
    xcb_create_window(conn_, XCB_COPY_FROM_PARENT, window, screen_->root, qint16(rect.x()),
                      qint16(rect.y()), quint16(rect.width()), quint16(rect.height()), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual, XCB_CW_OVERRIDE_REDIRECT,
                      values);
    xcb_map_window(conn_, window);
    putImage(conn_, window, image);
    std::free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr));
    windows_.append(window);
}

bool OtherClient::grabKey(quint8 keycode, quint16 modifiers) {
    xcb_generic_error_t* error = xcb_request_check(
        conn_, xcb_grab_key_checked(conn_, false, screen_->root, modifiers, keycode,
                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    std::free(error);
    return error == nullptr;
}

void OtherClient::ungrabKey(quint8 keycode, quint16 modifiers) {
    xcb_ungrab_key(conn_, keycode, screen_->root, modifiers);
    std::free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr));
}

quint8 OtherClient::keycode(quint32 keysym) {
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(conn_);
    quint8 found = 0;
    const xcb_setup_t* setup = xcb_get_setup(conn_);
    for (int code = setup->min_keycode; code <= setup->max_keycode && !found; ++code) {
        if (xcb_key_symbols_get_keysym(symbols, xcb_keycode_t(code), 0) == keysym)
            found = quint8(code);
    }
    xcb_key_symbols_free(symbols);
    return found;
}

void OtherClient::takeClipboard() {
    const xcb_window_t window = xcb_generate_id(conn_);
    xcb_create_window(conn_, XCB_COPY_FROM_PARENT, window, screen_->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_set_selection_owner(conn_, window, internAtom(conn_, "CLIPBOARD"), XCB_CURRENT_TIME);
    std::free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr));
    windows_.append(window);
}

bool OtherClient::hasFocus(xcb_window_t window) {
    auto* focus = xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr);
    xcb_window_t current = focus ? focus->focus : xcb_window_t(XCB_WINDOW_NONE);
    std::free(focus);
    // Toolkits such as GTK focus a child of their top-level window.
    while (current != XCB_WINDOW_NONE && current != window) {
        auto* tree = xcb_query_tree_reply(conn_, xcb_query_tree(conn_, current), nullptr);
        current = tree && tree->parent != tree->root ? tree->parent : xcb_window_t(XCB_WINDOW_NONE);
        std::free(tree);
    }
    return current == window && window != XCB_WINDOW_NONE;
}

std::optional<AppRef> OtherClient::activeApp() {
    const xcb_window_t window = cardinal(screen_->root, "_NET_ACTIVE_WINDOW");
    if (window == XCB_WINDOW_NONE)
        return std::nullopt;
    AppRef app{window, qint64(cardinal(window, "_NET_WM_PID")), {}};
    auto* reply = xcb_get_property_reply(
        conn_, xcb_get_property(conn_, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256),
        nullptr);
    if (reply) {
        const QByteArray value(static_cast<const char*>(xcb_get_property_value(reply)),
                               xcb_get_property_value_length(reply));
        app.wmClass = QString::fromLatin1(value.split('\0').value(1));
    }
    std::free(reply);
    return app;
}

quint32 OtherClient::cardinal(xcb_window_t window, const char* property) {
    auto* reply = xcb_get_property_reply(
        conn_, xcb_get_property(conn_, 0, window, internAtom(conn_, property), XCB_ATOM_ANY, 0, 1),
        nullptr);
    quint32 value = 0;
    if (reply && xcb_get_property_value_length(reply) == 4)
        value = *static_cast<const quint32*>(xcb_get_property_value(reply));
    std::free(reply);
    return value;
}

ExposeDrawnWindow::ExposeDrawnWindow(const QRect& rect, QImage image)
    : conn_(xcb_connect(nullptr, nullptr))
    , window_(xcb_generate_id(conn_))
    , image_(std::move(image)) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
    const quint32 values[] = {1, XCB_EVENT_MASK_EXPOSURE}; // override-redirect, events
    xcb_create_window(conn_, XCB_COPY_FROM_PARENT, window_, screen->root, qint16(rect.x()),
                      qint16(rect.y()), quint16(rect.width()), quint16(rect.height()), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    const quint32 below[] = {XCB_STACK_MODE_BELOW};
    xcb_configure_window(conn_, window_, XCB_CONFIG_WINDOW_STACK_MODE, below);
    xcb_map_window(conn_, window_);
    xcb_flush(conn_);
    thread_ = std::thread([this] { run(); });
}

ExposeDrawnWindow::~ExposeDrawnWindow() {
    stop_ = true;
    thread_.join();
    xcb_disconnect(conn_);
}

bool ExposeDrawnWindow::waitUntilDrawn() {
    return QTest::qWaitFor([this] { return draws_ > 0; }, waitTimeout);
}

void ExposeDrawnWindow::run() {
    pollfd socket{xcb_get_file_descriptor(conn_), POLLIN, 0};
    while (!stop_) {
        poll(&socket, 1, 20);
        bool exposed = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(conn_)) {
            exposed = exposed || (event->response_type & 0x7f) == XCB_EXPOSE;
            std::free(event);
        }
        if (exposed) {
            putImage(conn_, window_, image_);
            ++draws_;
        }
    }
}

PasteReceiver::~PasteReceiver() {
    kill();
}

bool PasteReceiver::start(const QString& wmClass) {
    process_.start(QStringLiteral(TOVIK_PASTE_RECEIVER),
                   {QStringLiteral("--log"), dir_.filePath(QStringLiteral("pastes.jsonl")),
                    QStringLiteral("--class"), wmClass});
    if (!process_.waitForStarted())
        return false;
    OtherClient client;
    const std::optional<AppRef> app = waitForActiveApp(client, process_.processId());
    if (app)
        app_ = *app;
    return app.has_value();
}

QList<QJsonObject> PasteReceiver::pastes() const {
    QFile log(dir_.filePath(QStringLiteral("pastes.jsonl")));
    QList<QJsonObject> result;
    if (!log.open(QIODevice::ReadOnly))
        return result;
    for (const QByteArray& line : log.readAll().split('\n')) {
        if (!line.isEmpty())
            result.append(QJsonDocument::fromJson(line).object());
    }
    return result;
}

bool PasteReceiver::waitForPastes(qsizetype count) {
    return QTest::qWaitFor([&] { return pastes().size() >= count; }, waitTimeout);
}

void PasteReceiver::kill() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.kill();
    process_.waitForFinished();
}

QImage patternImage(QSize size, quint32 seed) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            row[x] = 0xff000000u | ((x * 7 + seed) & 0xff) << 16 | ((y * 13 + seed) & 0xff) << 8 |
                     ((x + y + seed * 3) & 0xff);
    }
    return image;
}

std::optional<AppRef> waitForActiveApp(OtherClient& client, qint64 pid) {
    std::optional<AppRef> found;
    const bool active = QTest::qWaitFor(
        [&] {
            found = client.activeApp();
            // The property may still name a destroyed window whose id the new one reuses:
            // keys go where the focus is.
            return found && found->pid == pid && client.hasFocus(found->window);
        },
        waitTimeout);
    return active ? found : std::nullopt;
}

} // namespace tovik::x11test
