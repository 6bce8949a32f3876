#include "app/trace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QWidget>

#include <cstdio>

namespace tovik::trace {

namespace {
QElapsedTimer& clock() {
    static QElapsedTimer timer;
    return timer;
}

// Whether the watched paint has been marked since the last start.
bool& paintMarked() {
    static bool marked = false;
    return marked;
}

class PaintWatcher : public QObject {
public:
    PaintWatcher(QByteArray objectName, QObject* parent)
        : QObject(parent)
        , objectName_(std::move(objectName)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !paintMarked() && watched->isWidgetType() &&
            watched->objectName() == QLatin1String(objectName_)) {
            paintMarked() = true;
            mark(objectName_.constData());
        }
        return false;
    }

private:
    QByteArray objectName_;
};
} // namespace

bool enabled() {
    static const bool on = qEnvironmentVariableIntValue("TOVIK_TRACE") == 1;
    return on;
}

void start(const char* what) {
    if (!enabled())
        return;
    clock().start();
    paintMarked() = false;
    mark(what);
}

void mark(const char* what) {
    if (!enabled())
        return;
    const double ms = clock().isValid() ? double(clock().nsecsElapsed()) / 1e6 : 0.0;
    std::fprintf(stderr, "tovik-trace: %8.2f ms %s\n", ms, what);
    std::fflush(stderr);
}

void markFirstPaint(const char* objectName) {
    if (!enabled() || !QCoreApplication::instance())
        return;
    QCoreApplication* app = QCoreApplication::instance();
    app->installEventFilter(new PaintWatcher(objectName, app));
}

} // namespace tovik::trace
