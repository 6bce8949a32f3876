#include "x11_test_env.h"

#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QScreen>
#include <QTest>

#include <xcb/xcb_keysyms.h>

#include <cstdlib>

namespace tovik::x11test {

namespace {

void sync(xcb_connection_t* conn) {
    std::free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
}

xcb_atom_t atom(xcb_connection_t* conn, const char* name) {
    auto* reply =
        xcb_intern_atom_reply(conn, xcb_intern_atom(conn, 0, strlen(name), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

QByteArray property(xcb_connection_t* conn, xcb_window_t window, xcb_atom_t property) {
    auto* reply = xcb_get_property_reply(
        conn, xcb_get_property(conn, 0, window, property, XCB_ATOM_ANY, 0, 256), nullptr);
    const QByteArray value =
        reply ? QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                           xcb_get_property_value_length(reply))
              : QByteArray();
    std::free(reply);
    return value;
}

// The first value: xfwm4 writes two windows into _NET_ACTIVE_WINDOW.
quint32 cardinal(xcb_connection_t* conn, xcb_window_t window, const char* name) {
    const QByteArray value = property(conn, window, atom(conn, name));
    return value.size() >= 4 ? *reinterpret_cast<const quint32*>(value.constData()) : 0;
}

} // namespace

bool xdotool(const QStringList& arguments) {
    return runTool(QStringLiteral("xdotool"), arguments).exitCode == 0;
}

QByteArray readClipboard(const QString& target) {
    const ToolResult result = runTool("xclip", {"-o", "-selection", "clipboard", "-t", target});
    return result.exitCode == 0 ? result.output : QByteArray("<failed>");
}

QImage rootPixels(const QRect& rect) {
    xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
    const QRect r = rect & QRect(0, 0, screen->width_in_pixels, screen->height_in_pixels);
    xcb_get_image_reply_t* reply = xcb_get_image_reply(
        conn,
        xcb_get_image(conn, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, qint16(r.x()), qint16(r.y()),
                      quint16(r.width()), quint16(r.height()), ~0u),
        nullptr);
    // Depth 24 comes as 32 bits a pixel, the layout of Format_RGB32 (the unused byte zero).
    const QImage image =
        reply && xcb_get_image_data_length(reply) == r.width() * r.height() * 4
            ? QImage(xcb_get_image_data(reply), r.width(), r.height(), QImage::Format_RGB32).copy()
            : QImage();
    std::free(reply);
    xcb_disconnect(conn);
    return image;
}

bool splitIntoTwoMonitors() {
    const QSize size = QGuiApplication::primaryScreen()->size();
    const QString half = QStringLiteral("%1/0x%2/0+").arg(size.width() / 2).arg(size.height());
    // The first monitor takes over the output, so the output's own monitor goes away.
    if (runTool("xrandr", {"--setmonitor", "left", half + "0+0", "screen"}).exitCode != 0 ||
        runTool("xrandr",
                {"--setmonitor", "right", half + QString::number(size.width() / 2) + "+0", "none"})
                .exitCode != 0)
        return false;
    return QTest::qWaitFor([] {
        QStringList names;
        for (const QScreen* screen : QGuiApplication::screens())
            names.append(screen->name());
        names.sort();
        return names == QStringList{"left", "right"};
    });
}

bool OtherClient::grabKey(quint8 keycode, quint16 modifiers) {
    xcb_generic_error_t* error =
        xcb_request_check(conn_, xcb_grab_key_checked(conn_, false, root_, modifiers, keycode,
                                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    std::free(error);
    return error == nullptr;
}

void OtherClient::ungrabKey(quint8 keycode, quint16 modifiers) {
    xcb_ungrab_key(conn_, keycode, root_, modifiers);
    sync(conn_);
}

quint8 OtherClient::keycode(quint32 keysym) {
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(conn_);
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
    const quint8 found = codes ? codes[0] : 0;
    std::free(codes);
    xcb_key_symbols_free(symbols);
    return found;
}

void OtherClient::takeClipboard() {
    const xcb_window_t window = xcb_generate_id(conn_);
    const quint32 mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(conn_, XCB_COPY_FROM_PARENT, window, root_, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    // The server's time as a property change reports it: no client has seen a later one.
    const auto serverTime = [&] {
        xcb_change_property(conn_, XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING,
                            8, 0, nullptr);
        xcb_flush(conn_);
        xcb_timestamp_t time = XCB_CURRENT_TIME;
        while (xcb_generic_event_t* event = xcb_wait_for_event(conn_)) {
            if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY)
                time = reinterpret_cast<xcb_property_notify_event_t*>(event)->time;
            std::free(event);
            if (time != XCB_CURRENT_TIME)
                break;
        }
        return time;
    };
    // Claimed at a time later than anything the code under test has seen; within the same
    // millisecond its own older claims would still be accepted.
    const xcb_timestamp_t seen = serverTime();
    xcb_timestamp_t now = seen;
    while (now == seen)
        now = serverTime();
    xcb_set_selection_owner(conn_, window, atom(conn_, "CLIPBOARD"), now);
    sync(conn_);
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

void OtherClient::dropFocus() {
    xcb_set_input_focus(conn_, XCB_INPUT_FOCUS_POINTER_ROOT, XCB_INPUT_FOCUS_POINTER_ROOT,
                        XCB_CURRENT_TIME);
    sync(conn_);
}

std::optional<AppRef> OtherClient::activeApp() {
    const xcb_window_t window = cardinal(conn_, root_, "_NET_ACTIVE_WINDOW");
    if (window == XCB_WINDOW_NONE)
        return std::nullopt;
    return AppRef{
        window, cardinal(conn_, window, "_NET_WM_PID"),
        QString::fromLatin1(property(conn_, window, XCB_ATOM_WM_CLASS).split('\0').value(1))};
}

bool PasteReceiver::start(const QString& wmClass) {
    process_.start(TOVIK_PASTE_RECEIVER,
                   {"--log", dir_.filePath("pastes.jsonl"), "--class", wmClass});
    OtherClient client;
    const std::optional<AppRef> app =
        process_.waitForStarted() ? waitForActiveApp(client, process_.processId()) : std::nullopt;
    app_ = app.value_or(AppRef{});
    return app.has_value();
}

QList<QJsonObject> PasteReceiver::pastes() const {
    QFile log(dir_.filePath("pastes.jsonl"));
    QList<QJsonObject> result;
    for (const QByteArray& line :
         log.open(QIODevice::ReadOnly) ? log.readAll().split('\n') : QByteArrayList())
        if (!line.isEmpty())
            result.append(QJsonDocument::fromJson(line).object());
    return result;
}

bool PasteReceiver::waitForPastes(qsizetype count) {
    return QTest::qWaitFor([&] { return pastes().size() >= count; });
}

void PasteReceiver::kill() {
    process_.kill();
    process_.waitForFinished();
}

std::optional<AppRef> waitForActiveApp(OtherClient& client, qint64 pid) {
    std::optional<AppRef> found;
    // The property may still name a destroyed window whose id the new one reuses: keys go
    // where the focus is.
    const bool active = QTest::qWaitFor([&] {
        found = client.activeApp();
        return found && found->pid == pid && client.hasFocus(found->window);
    });
    return active ? found : std::nullopt;
}

} // namespace tovik::x11test
