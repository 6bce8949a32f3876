#pragma once

#include <QHash>
#include <QImage>
#include <QJsonObject>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

// Drives the real tovik executable on the private X server of tests/support/with_display.sh,
// as a user would: through xdotool, the tray, the control socket and what the X server shows.
namespace tovik::e2e {

// One tovik process with its own runtime and configuration folders.
class TovikProcess {
public:
    TovikProcess();
    ~TovikProcess();
    TovikProcess(const TovikProcess&) = delete;
    TovikProcess& operator=(const TovikProcess&) = delete;

    /** Sets a variable of the environment tovik gets from the next start on. */
    void setEnvironment(const QString& name, const QString& value);
    /** Starts tovik and waits until its control socket answers. */
    bool start();
    /** Starts tovik without waiting for anything. */
    bool launch();
    /** Waits for tovik to end by itself; its exit code, -1 when it did not end. */
    int waitForExit();
    /** Asks it to quit as the desktop session would (SIGTERM); its exit code, -1 if it hung. */
    int stop();
    bool isRunning() const { return process_.state() != QProcess::NotRunning; }
    qint64 pid() const { return process_.processId(); }

    /** Runs `tovik <arguments>` against this instance; exit code and standard output. */
    struct Run {
        int exitCode = -1;
        QByteArray output;
        QByteArray errors;
    };
    Run run(const QStringList& arguments) const;

    /** The answer of one control command; empty when there was none. */
    QJsonObject command(const QString& name) const;
    QString phase() const;
    bool waitForPhase(const QString& phase) const;
    const QString& socketPath() const { return socketPath_; }

private:
    QProcessEnvironment environment() const;

    QHash<QString, QString> extraEnvironment_;
    QTemporaryDir runtime_;
    QTemporaryDir config_;
    QString socketPath_;
    QProcess process_;
};

// A top-level window as the X server has it.
struct XWindow {
    quint32 id = 0;
    QRect geometry;
};

/** xdotool with these arguments; true when it succeeded. */
bool xdotool(const QStringList& arguments);
/** The viewable windows of a process, in the window manager's stacking order. */
QList<XWindow> visibleWindows(qint64 pid);
/** The first of them of exactly this size. */
std::optional<XWindow> visibleWindowOfSize(qint64 pid, QSize size);
/** Waits until one of them has this size. */
std::optional<XWindow> waitForWindowOfSize(qint64 pid, QSize size);
/** The window holding the keyboard focus. */
quint32 focusedWindow();

/** The screen's pixels in `rect` (clipped to the screen) as the X server has them. */
QImage grabScreen(const QRect& rect);
/** Saves a screenshot for a person to look at into the test artefacts folder. */
void saveArtifact(const QImage& image, const QString& name);
/** Paints the root window, so the desktop under every window shows `image`. */
void setDesktopBackground(const QImage& image);
/** A desktop-like picture: an application window with a toolbar, text and a list. */
QImage desktopPicture(QSize size);

// Where the controls tovik draws sit inside their panels, read off the same widgets laid
// out in this process.
struct ControlLayout {
    QPoint pen;         // in the annotation panel
    QPoint stripToggle; // in the folded toolbar
    QPoint paste;       // in the folded toolbar
};
ControlLayout controlLayout();

} // namespace tovik::e2e
