// paste_receiver --log FILE [--class WM_CLASS_CLASS]: a stand-in for the application a paste
// goes to, a window that logs each paste shortcut's keys and the clipboard, a JSON line each.
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QMimeData>
#include <QWidget>

namespace {

class Receiver : public QWidget {
public:
    explicit Receiver(QString logPath)
        : logPath_(std::move(logPath)) {
        setWindowTitle("paste receiver");
        resize(320, 200);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
        if (event->key() != Qt::Key_V || !(mods & Qt::ControlModifier) || event->isAutoRepeat())
            return;
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        const QJsonObject line{
            {"keys", mods == (Qt::ControlModifier | Qt::ShiftModifier) ? "ctrl+shift+v"
                     : mods == Qt::ControlModifier                     ? "ctrl+v"
                                                                       : "other"},
            {"text", data ? data->text() : QString()},
            {"uris", data ? QString::fromUtf8(data->data("text/uri-list")) : QString()}};
        QFile log(logPath_);
        if (log.open(QIODevice::Append))
            log.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
    }

private:
    QString logPath_;
};

} // namespace

int main(int argc, char** argv) {
    QString log, wmClass = "paste_receiver";
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--log") == 0)
            log = QString::fromLocal8Bit(argv[i + 1]);
        else if (qstrcmp(argv[i], "--class") == 0)
            wmClass = QString::fromLocal8Bit(argv[i + 1]);
    }
    // The class part of WM_CLASS is the application name; set before any window exists.
    QCoreApplication::setApplicationName(wmClass);
    QApplication app(argc, argv);
    Receiver receiver(log);
    receiver.show();
    return app.exec();
}
