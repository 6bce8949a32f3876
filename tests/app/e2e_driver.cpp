#include "e2e_driver.h"

#include "app/control_client.h"
#include "app/floating_toolbar.h"
#include "capture/ui/capture_draft.h"
#include "capture/ui/capture_editor.h"
#include "platform/x11_test_env.h"
#include "session/session_store.h"
#include "shortcuts/shortcut_preferences.h"
#include "support/fake_clipboard.h"
#include "support/fake_clock.h"
#include "support/fake_desktop.h"
#include "support/fake_key_injector.h"
#include "support/fake_screen_source.h"
#include "support/fake_session_ui.h"

#include <QDir>
#include <QLinearGradient>
#include <QPainter>
#include <QTest>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>

namespace tovik::e2e {

namespace {

using namespace std::chrono_literals;
using x11test::runTool;

constexpr int startTimeoutMs = 10000;
constexpr int waitTimeoutMs = 5000;

// A connection of its own for reading and painting the screen.
class Connection {
public:
    Connection()
        : conn_(xcb_connect(nullptr, nullptr))
        , screen_(xcb_setup_roots_iterator(xcb_get_setup(conn_)).data) {}
    ~Connection() { xcb_disconnect(conn_); }
    xcb_connection_t* get() const { return conn_; }
    const xcb_screen_t* screen() const { return screen_; }

private:
    xcb_connection_t* conn_;
    const xcb_screen_t* screen_;
};

// The point at the centre of a child widget, in the coordinates of `root`.
QPoint centreOf(const QWidget& root, const char* name) {
    const auto* child = root.findChild<QWidget*>(QString::fromLatin1(name));
    return child ? child->mapTo(&root, child->rect().center()) : QPoint(-1, -1);
}

} // namespace

TovikProcess::TovikProcess()
    : socketPath_(runtime_.filePath(QStringLiteral("tovik.sock"))) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

TovikProcess::~TovikProcess() {
    if (isRunning()) {
        process_.kill();
        process_.waitForFinished();
    }
}

QProcessEnvironment TovikProcess::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config_.path());
    env.remove(QStringLiteral("TOVIK_TRACE"));
    for (auto it = extraEnvironment_.cbegin(); it != extraEnvironment_.cend(); ++it)
        env.insert(it.key(), it.value());
    return env;
}

void TovikProcess::setEnvironment(const QString& name, const QString& value) {
    extraEnvironment_.insert(name, value);
}

bool TovikProcess::launch() {
    process_.setProcessEnvironment(environment());
    process_.start(QStringLiteral(TOVIK_EXECUTABLE), {});
    return process_.waitForStarted();
}

int TovikProcess::waitForExit() {
    if (!QTest::qWaitFor([this] { return !isRunning(); }, waitTimeoutMs))
        return -1;
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

bool TovikProcess::start() {
    if (!launch())
        return false;
    return QTest::qWaitFor([this] { return !isRunning() || !command("status").isEmpty(); },
                           startTimeoutMs) &&
           isRunning();
}

int TovikProcess::stop() {
    if (!isRunning())
        return process_.exitCode();
    ::kill(pid_t(process_.processId()), SIGTERM);
    if (!QTest::qWaitFor([this] { return !isRunning(); }, waitTimeoutMs))
        return -1;
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

TovikProcess::Run TovikProcess::run(const QStringList& arguments) const {
    QProcess tool;
    tool.setProcessEnvironment(environment());
    tool.start(QStringLiteral(TOVIK_EXECUTABLE), arguments);
    if (!QTest::qWaitFor([&] { return tool.state() == QProcess::NotRunning; }, startTimeoutMs)) {
        tool.kill();
        tool.waitForFinished();
        return {};
    }
    return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
            tool.readAllStandardOutput(), tool.readAllStandardError()};
}

QJsonObject TovikProcess::command(const QString& name) const {
    const Expected<QJsonObject> answer = sendControlCommand(socketPath_, name, 2s);
    return answer ? *answer : QJsonObject();
}

QString TovikProcess::phase() const {
    return command(QStringLiteral("status")).value(QStringLiteral("phase")).toString();
}

bool TovikProcess::waitForPhase(const QString& phase) const {
    return QTest::qWaitFor([&] { return this->phase() == phase; }, waitTimeoutMs);
}

bool xdotool(const QStringList& arguments) {
    return runTool(QStringLiteral("xdotool"), arguments).exitCode == 0;
}

QList<XWindow> visibleWindows(qint64 pid) {
    QList<XWindow> windows;
    const QByteArray ids = runTool(QStringLiteral("xdotool"),
                                   {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                    QStringLiteral("--pid"), QString::number(pid)})
                               .output;
    for (const QByteArray& id : ids.split('\n')) {
        if (id.trimmed().isEmpty())
            continue;
        const QByteArray shell =
            runTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"),
                                                QStringLiteral("--shell"), QString::fromLatin1(id)})
                .output;
        QHash<QByteArray, int> values;
        for (const QByteArray& line : shell.split('\n')) {
            const qsizetype equals = line.indexOf('=');
            if (equals > 0)
                values.insert(line.left(equals), line.mid(equals + 1).toInt());
        }
        windows.append(
            {id.trimmed().toUInt(), QRect(values.value("X"), values.value("Y"),
                                          values.value("WIDTH"), values.value("HEIGHT"))});
    }
    return windows;
}

std::optional<XWindow> visibleWindowOfSize(qint64 pid, QSize size) {
    for (const XWindow& window : visibleWindows(pid)) {
        if (window.geometry.size() == size)
            return window;
    }
    return std::nullopt;
}

std::optional<XWindow> waitForWindowOfSize(qint64 pid, QSize size) {
    std::optional<XWindow> found;
    (void)QTest::qWaitFor([&] { return (found = visibleWindowOfSize(pid, size)).has_value(); },
                          waitTimeoutMs);
    return found;
}

quint32 focusedWindow() {
    return runTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")})
        .output.trimmed()
        .toUInt();
}

QImage grabScreen(const QRect& wanted) {
    Connection conn;
    const QRect rect =
        wanted & QRect(0, 0, conn.screen()->width_in_pixels, conn.screen()->height_in_pixels);
    std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> reply(
        xcb_get_image_reply(conn.get(),
                            xcb_get_image(conn.get(), XCB_IMAGE_FORMAT_Z_PIXMAP,
                                          conn.screen()->root, qint16(rect.x()), qint16(rect.y()),
                                          quint16(rect.width()), quint16(rect.height()), ~0u),
                            nullptr),
        &std::free);
    if (!reply || reply->depth != 24)
        return {};
    // Depth 24 comes as 32 bits a pixel, the layout of Format_RGB32.
    const QImage view(xcb_get_image_data(reply.get()), rect.width(), rect.height(),
                      rect.width() * 4, QImage::Format_RGB32);
    return view.copy();
}

void saveArtifact(const QImage& image, const QString& name) {
    const QDir dir(QStringLiteral(TOVIK_ARTIFACTS_DIR));
    dir.mkpath(QStringLiteral("."));
    image.save(dir.filePath(name));
}

void setDesktopBackground(const QImage& source) {
    Connection conn;
    const xcb_screen_t* screen = conn.screen();
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const xcb_pixmap_t pixmap = xcb_generate_id(conn.get());
    xcb_create_pixmap(conn.get(), screen->root_depth, pixmap, screen->root, quint16(image.width()),
                      quint16(image.height()));
    const xcb_gcontext_t gc = xcb_generate_id(conn.get());
    xcb_create_gc(conn.get(), gc, pixmap, 0, nullptr);
    // In strips, so that no request needs BIG-REQUESTS.
    constexpr int rowsPerStrip = 32;
    for (int y = 0; y < image.height(); y += rowsPerStrip) {
        const int rows = std::min(rowsPerStrip, image.height() - y);
        xcb_put_image(conn.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, quint16(image.width()),
                      quint16(rows), 0, qint16(y), 0, screen->root_depth,
                      quint32(image.bytesPerLine() * rows), image.constScanLine(y));
    }
    xcb_change_window_attributes(conn.get(), screen->root, XCB_CW_BACK_PIXMAP, &pixmap);
    xcb_clear_area(conn.get(), 0, screen->root, 0, 0, 0, 0);
    xcb_free_gc(conn.get(), gc);
    // The root keeps the pixmap's contents after its id is freed.
    xcb_free_pixmap(conn.get(), pixmap);
    std::free(xcb_get_input_focus_reply(conn.get(), xcb_get_input_focus(conn.get()), nullptr));
}

QImage desktopPicture(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(0x2f, 0x4f, 0x6f));
    sky.setColorAt(1, QColor(0x6f, 0x8f, 0xa8));
    painter.fillRect(image.rect(), sky);

    // One application window per half of the screen, so each monitor shows something.
    for (const int left : {size.width() / 16, size.width() / 2 + size.width() / 16}) {
        const QRect window(left, size.height() / 10, size.width() * 3 / 8, size.height() * 7 / 10);
        painter.fillRect(window, QColor(0xf4, 0xf4, 0xf2));
        painter.fillRect(window.x(), window.y(), window.width(), 36, QColor(0xd8, 0xd8, 0xd4));
        painter.setPen(Qt::black);
        painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 14));
        painter.drawText(window.x() + 16, window.y() + 25, QStringLiteral("Quarterly report"));
        const QColor buttons[] = {QColor(0x35, 0x84, 0xe4), QColor(0x2e, 0xc2, 0x7e),
                                  QColor(0xe0, 0x1b, 0x24)};
        for (int i = 0; i < 3; ++i)
            painter.fillRect(window.x() + 16 + i * 130, window.y() + 56, 110, 34, buttons[i]);
        painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 12));
        for (int line = 0; line < 18; ++line) {
            painter.drawText(window.x() + 16, window.y() + 130 + line * 30,
                             QStringLiteral("Line %1 of the report: revenue, costs and the margin.")
                                 .arg(line + 1));
        }
    }
    return image;
}

ControlLayout controlLayout() {
    QTemporaryDir dir;
    FakeScreenSource screens;
    FakeDesktop desktop;
    FakeClipboard clipboard;
    FakeKeyInjector keys;
    FakeClock clock;
    FakeSessionUi ui;
    SessionStore store({screens, desktop, clipboard, keys, clock, ui}, dir.path());
    ShortcutPreferences preferences(dir.filePath(QStringLiteral("tovik.conf")));

    FloatingToolbar toolbar(store, preferences);
    toolbar.setAttribute(Qt::WA_DontShowOnScreen);
    toolbar.resize(320, 56);
    toolbar.show();

    CaptureDraft draft;
    CaptureEditor editor(&draft, 1);
    editor.setAttribute(Qt::WA_DontShowOnScreen);
    editor.resize(CaptureEditor::maximumWidth, CaptureEditor::panelHeight);
    editor.show();
    QCoreApplication::processEvents();

    return {centreOf(editor, "penButton"), centreOf(toolbar, "stripToggle"),
            centreOf(toolbar, "pasteButton")};
}

} // namespace tovik::e2e
