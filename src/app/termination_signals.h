#pragma once

#include <QObject>

class QSocketNotifier;

namespace tovik {

// Turns SIGTERM, SIGINT and SIGHUP into a signal on the main thread, so that the end of the
// desktop session or Ctrl+C in a terminal runs the orderly shutdown (hot key released,
// control socket removed) instead of killing the process mid-way. One instance at a time;
// the default handlers come back when it is destroyed.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void received();

private:
    void drain();

    QSocketNotifier* notifier_ = nullptr;
};

} // namespace tovik
