// tovik-app: the application, which the tovik executable becomes when given no command.
#include "app/alert_runner.h"
#include "app/app_delegate.h"
#include "app/app_icon.h"
#include "app/control_commands.h"
#include "app/control_server.h"
#include "app/desktop_session_ui.h"
#include "app/display_choice.h"
#include "app/idle_memory_trim.h"
#include "app/platform_backends.h"
#include "app/session_status.h"
#include "app/session_window.h"
#include "app/settings_view.h"
#include "app/settings_window.h"
#include "app/single_instance.h"
#include "app/termination_signals.h"
#include "app/trace.h"
#include "control/command_line.h"
#include "control/control_client.h"
#include "control/control_protocol.h"
#include "control/runtime_directory.h"
#include "platform/clock.h"
#include "platform/x11/xcb_connection.h"
#include "session/session_store.h"
#include "shortcuts/global_shortcut.h"
#include "shortcuts/shortcut_preferences.h"
#include "updates/update_controller.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QThread>

#include <cstdio>
#include <optional>

namespace tovik {
namespace {

using namespace std::chrono_literals;

// How long a second launch waits for a first one that is still starting.
constexpr auto startingInstanceWait = 5s;
// Between sessions for this long, tovik gives back the memory kept for fast captures.
constexpr auto idleBeforeTrim = 10s;

int fail(const QString& text, int code = 1) {
    std::fprintf(stderr, "tovik: %s\n", qPrintable(text));
    return code;
}

// A second launch: the running instance shows its session window, this one ends.
int showRunningInstance(int argc, char** argv, const QString& socketPath) {
    QCoreApplication app(argc, argv);
    const QDeadlineTimer deadline(startingInstanceWait);
    for (;;) {
        const Expected<QJsonObject> answer = sendControlCommand(socketPath, QStringLiteral("show"));
        if (answer)
            return 0;
        if (!answer.failure().is(ControlError::noInstance))
            return fail(answer.failure().message());
        // The instance holding the lock may not be listening yet; one that never does is
        // running all the same.
        if (deadline.hasExpired())
            return fail(message(ControlError::noAnswer));
        QThread::msleep(50);
    }
}

// Qt aborts when it cannot open a display or find its platform plugin, with advice about
// reinstalling; say what is missing instead, before the instance lock is taken.
std::optional<QString> displayProblem(const DisplayChoice& choice) {
    switch (choice.kind) {
    case DisplayChoice::Kind::refused:
        return choice.problem;
    case DisplayChoice::Kind::x11:
        if (!canOpenDisplay())
            return QStringLiteral("The X display “%1” that DISPLAY names could not be opened.")
                .arg(qEnvironmentVariable("DISPLAY"));
        return std::nullopt;
    case DisplayChoice::Kind::wayland: {
        const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                             QStringLiteral("/platforms"));
        if (platforms.entryList({QStringLiteral("*qwayland*")}, QDir::Files).isEmpty())
            return QStringLiteral("Qt’s Wayland platform plugin is missing; install it (on "
                                  "Debian: qt6-wayland) to run tovik on Wayland.");
        return std::nullopt;
    }
    }
    Q_UNREACHABLE();
}

// Started from a menu, tovik has no terminal to print to.
int refuse(int argc, char** argv, const QString& text) {
    fail(text);
    QApplication app(argc, argv);
    QMessageBox box(QMessageBox::Critical, QStringLiteral("tovik"),
                    QStringLiteral("tovik can’t run here"));
    box.setInformativeText(text);
    execAlert(box);
    return 1;
}

void traceCaptures(SessionStore& store) {
    if (!trace::enabled())
        return;
    QObject::connect(&store, &SessionStore::phaseChanged, &store, [&store] {
        trace::mark(qPrintable(QStringLiteral("phase ") + phaseName(store.phase())));
    });
    QObject::connect(&store, &SessionStore::overlaysChanged, &store, [&store] {
        if (!store.overlays().empty())
            trace::mark("overlays created");
    });
    trace::markFirstPaint("captureCanvas");
}

int runApp(int argc, char** argv, DisplayChoice::Kind display,
           std::optional<SingleInstance>& instance) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("tovik"), appIcon()));

    PlatformBackend backend =
        display == DisplayChoice::Kind::wayland ? waylandBackend() : x11Backend();
    ScreenSource& screens = *backend.screens;
    SteadyClock clock;
    ShortcutPreferences& preferences = ShortcutPreferences::shared();
    // Said once here; the settings window says it too.
    if (!preferences.loadProblem().isEmpty())
        fail(preferences.loadProblem());

    DesktopSessionUi ui(preferences,
                        {FloatingToolbarWindow::defaultStatePath(),
                         FloatingToolbarWindow::currentVisibleAreas, backend.sticky.get()});
    PngEncoderPool encoder;
    SessionStore store(
        {screens, *backend.desktop, *backend.clipboard, *backend.keys, clock, ui, encoder});
    ui.setStore(&store);
    // No update mechanism is built for this platform: the update item stays hidden.
    UpdateController updates(nullptr);
    GlobalShortcut sessionShortcut(*backend.hotKeys, preferences);
    SessionWindow window(store, preferences);
    ui.setSessionWindow(&window);
    AppDelegate delegate({store, updates, sessionShortcut, preferences, *backend.desktop});
    SettingsWindow settings(preferences, *backend.keyboardLayout);
    settings.view()->setDesktopBindsShortcuts(sessionShortcut.desktopBindsShortcuts());
    window.setDesktopBindsShortcuts(sessionShortcut.desktopBindsShortcuts());
    QObject::connect(&window, &SessionWindow::settingsRequested, &delegate,
                     &AppDelegate::showSettings);
    QObject::connect(&delegate, &AppDelegate::settingsRequested, &settings,
                     &SettingsWindow::present);

    ControlServer control;
    addControlCommands(control, store, delegate);
    if (instance) {
        const Outcome listening = control.listen(instance->socketPath());
        if (!listening)
            fail(listening.failure().message());
    }
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &delegate, &AppDelegate::quit);
    QObject::connect(&window, &SessionWindow::quitRequested, &delegate, &AppDelegate::quit);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, [&control, &delegate] {
        control.close();
        delegate.applicationWillTerminate();
    });

    IdleMemoryTrim idleTrim(store, idleBeforeTrim, [&ui, &screens] {
        ui.releaseSpareOverlays();
        screens.releaseBuffers();
        IdleMemoryTrim::trimFreeMemory();
    });
    traceCaptures(store);
    // The first grab pays for fresh buffers; pay it before the hot key can be pressed.
    screens.warmUp();
    delegate.applicationDidFinishLaunching();
    return app.exec();
}

} // namespace
} // namespace tovik

int main(int argc, char** argv) {
    using namespace tovik;
    QCoreApplication::setApplicationName(QStringLiteral("tovik"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tovik"));

    // Commands go through the small tovik executable, which starts this one without any.
    if (argc > 1)
        return fail(QStringLiteral("tovik’s application takes no arguments; tovik itself takes "
                                   "the commands (try “tovik --help”)."),
                    exitCode::usage);

    const DisplayChoice display = chooseDisplay(
        {qEnvironmentVariable("DISPLAY"), qEnvironmentVariable("WAYLAND_DISPLAY"),
         qEnvironmentVariable("XDG_SESSION_TYPE"), qEnvironmentVariable("QT_QPA_PLATFORM")});
    if (display.shown)
        return refuse(argc, argv, display.problem);
    if (const std::optional<QString> problem = displayProblem(display))
        return fail(*problem);
    // Qt would pick XWayland on some desktops; tovik must see the Wayland windows.
    if (display.kind == DisplayChoice::Kind::wayland)
        qputenv("QT_QPA_PLATFORM", "wayland");

    // Without a private runtime folder there is no control socket: tovik still runs, but
    // `tovik capture` and a second launch cannot reach it.
    std::optional<SingleInstance> instance;
    const Expected<QString> directory = runtimeDirectory();
    if (directory) {
        instance.emplace(*directory);
        if (!instance->claim())
            return showRunningInstance(argc, argv, instance->socketPath());
    } else {
        fail(directory.failure().message());
    }
    return runApp(argc, argv, display.kind, instance);
}
