#include "wayland_test_env.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>
#include <QUrl>

namespace tovik::waylandtest {

namespace {

std::optional<QRect> findContent(const QJsonObject& node, qint64 pid) {
    if (node.value("pid").toInteger(-1) == pid) {
        const QJsonObject rect = node.value("rect").toObject();
        const QJsonObject window = node.value("window_rect").toObject();
        return QRect(rect.value("x").toInt() + window.value("x").toInt(),
                     rect.value("y").toInt() + window.value("y").toInt(),
                     window.value("width").toInt(), window.value("height").toInt());
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue child : node.value(children).toArray()) {
            if (auto found = findContent(child.toObject(), pid))
                return found;
        }
    }
    return std::nullopt;
}

// The portal answers a request with a signal on an object of its own.
class PortalResponse : public QObject {
    Q_OBJECT
public:
    bool answered = false;
    uint code = 0;
    QVariantMap results;

public slots:
    void onResponse(uint response, const QVariantMap& values) {
        answered = true;
        code = response;
        results = values;
    }
};

// Counts the key presses an object gets.
class KeyPresses : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::KeyPress;
        return false;
    }
};

} // namespace

bool giveKeySerial(QWindow* window) {
    KeyPresses presses;
    window->installEventFilter(&presses);
    const bool pressed = runTool("wtype", {"-k", "Shift_L"}).exitCode == 0 &&
                         QTest::qWaitFor([&] { return presses.count > 0; }, 10000);
    window->removeEventFilter(&presses);
    return pressed;
}

QList<TestScreen> testScreens() {
    const QStringList geometries = qEnvironmentVariable("TOVIK_TEST_SCREENS").split(',');
    const QStringList colours = qEnvironmentVariable("TOVIK_TEST_BACKGROUNDS").split(',');
    QList<TestScreen> screens;
    for (qsizetype i = 0; i < geometries.size() && i < colours.size(); ++i) {
        const QStringList n = geometries[i].split(QRegularExpression("[x+]"));
        if (n.size() != 4)
            return {};
        screens.append({QStringLiteral("HEADLESS-%1").arg(i + 1),
                        QRect(n[2].toInt(), n[3].toInt(), n[0].toInt(), n[1].toInt()),
                        QColor(u'#' + colours[i])});
    }
    return screens;
}

bool pointer(const QStringList& steps) {
    return runTool(qEnvironmentVariable("TOVIK_TEST_POINTER"), steps).exitCode == 0;
}

std::optional<QRect> windowContent(qint64 pid) {
    const ToolResult tree = runTool("swaymsg", {"-r", "-t", "get_tree"});
    return tree.exitCode == 0 ? findContent(QJsonDocument::fromJson(tree.output).object(), pid)
                              : std::nullopt;
}

QImage portalScreenshot(std::chrono::milliseconds timeout) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString portal = "org.freedesktop.portal.Desktop";
    static int calls = 0;
    const QString token = QStringLiteral("tovik_test_%1").arg(++calls);
    // The request's path is known before the call, so the answer cannot come unseen.
    const QString request = "/org/freedesktop/portal/desktop/request/" +
                            bus.baseService().mid(1).replace('.', '_') + '/' + token;
    PortalResponse response;
    if (!bus.connect(portal, request, "org.freedesktop.portal.Request", "Response", &response,
                     SLOT(onResponse(uint, QVariantMap))))
        return {};
    QDBusMessage call =
        QDBusMessage::createMethodCall(portal, "/org/freedesktop/portal/desktop",
                                       "org.freedesktop.portal.Screenshot", "Screenshot");
    call << QString() << QVariantMap{{"interactive", false}, {"handle_token", token}};
    const QDBusMessage reply = bus.call(call, QDBus::Block, int(timeout.count()));
    if (reply.type() != QDBusMessage::ReplyMessage)
        return {};
    if (!QTest::qWaitFor([&] { return response.answered; }, int(timeout.count())) ||
        response.code != 0)
        return {};
    return QImage(QUrl(response.results.value("uri").toString()).toLocalFile());
}

} // namespace tovik::waylandtest

#include "wayland_test_env.moc"
