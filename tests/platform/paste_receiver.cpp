// A stand-in for the application a paste goes to: a plain window that, for each paste
// shortcut it receives, logs the keys and what the clipboard held, one JSON object a line.
//
//   paste_receiver --log FILE [--class WM_CLASS_CLASS]
#include <QApplication>
#include <QClipboard>
#include <QCommandLineParser>
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
        setWindowTitle(QStringLiteral("paste receiver"));
        resize(320, 200);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
        if (event->key() != Qt::Key_V || !(mods & Qt::ControlModifier) || event->isAutoRepeat())
            return;
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QJsonObject line;
        line[QStringLiteral("keys")] = mods == (Qt::ControlModifier | Qt::ShiftModifier)
                                           ? QStringLiteral("ctrl+shift+v")
                                       : mods == Qt::ControlModifier ? QStringLiteral("ctrl+v")
                                                                     : QStringLiteral("other");
        line[QStringLiteral("text")] = data ? data->text() : QString();
        line[QStringLiteral("uris")] =
            data ? QString::fromUtf8(data->data(QStringLiteral("text/uri-list"))) : QString();
        QFile log(logPath_);
        if (log.open(QIODevice::Append))
            log.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
    }

private:
    QString logPath_;
};

} // namespace

int main(int argc, char** argv) {
    // The class part of WM_CLASS is the application name; set before any window exists.
    QString wmClass = QStringLiteral("paste_receiver");
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--class") == 0)
            wmClass = QString::fromLocal8Bit(argv[i + 1]);
    }
    QCoreApplication::setApplicationName(wmClass);
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption logOption(QStringLiteral("log"), QString(), QStringLiteral("file"));
    const QCommandLineOption classOption(QStringLiteral("class"), QString(),
                                         QStringLiteral("name"));
    parser.addOptions({logOption, classOption});
    parser.process(app);

    Receiver receiver(parser.value(logOption));
    receiver.show();
    return app.exec();
}
