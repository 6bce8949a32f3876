// tovik-app: the application, which the tovik executable becomes when given no command.
#include "app/alert_runner.h"
#include "app/app_delegate.h"
#include "app/app_icon.h"
#include "app/control_commands.h"
#include "app/control_server.h"
#include "app/desktop_session_ui.h"
#include "app/idle_memory_trim.h"
#include "app/session_status.h"
#include "app/session_window.h"
#include "app/settings_window.h"
#include "app/single_instance.h"
#include "app/termination_signals.h"
#include "app/trace.h"
#include "control/command_line.h"
#include "control/control_client.h"
#include "control/control_protocol.h"
#include "control/runtime_directory.h"
#include "platform/clock.h"
#include "platform/x11/x11_clipboard.h"
#include "platform/x11/x11_desktop.h"
#include "platform/x11/x11_hot_key_backend.h"
#include "platform/x11/x11_key_injector.h"
#include "platform/x11/x11_keyboard_layout.h"
#include "platform/x11/x11_screen_source.h"
#include "platform/x11/x11_sticky_windows.h"
#include "platform/x11/xcb_connection.h"
#include "session/session_store.h"
#include "shortcuts/global_shortcut.h"
#include "shortcuts/shortcut_preferences.h"
#include "updates/update_controller.h"

#include <QApplication>
#include <QDeadlineTimer>
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

const QString waylandTitle = QStringLiteral("tovik needs an X11 session");
const QString waylandText = QStringLiteral(
    "This desktop runs Wayland, where tovik can’t see other windows or receive its capture "
    "shortcut yet. Log in with an X11 session (for example “GNOME on Xorg”) to use tovik.");

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

// Qt aborts when it cannot open a display, with advice about reinstalling; say what is
// missing instead, before the instance lock is taken.
std::optional<QString> missingDisplay() {
    const QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty() && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return QStringLiteral("There is no display to run on: neither DISPLAY nor "
                              "WAYLAND_DISPLAY is set. Start tovik from a desktop session.");
    if (display.isEmpty())
        return QStringLiteral("tovik needs an X11 display, but DISPLAY is not set (only "
                              "WAYLAND_DISPLAY is). Log in with an X11 session to use tovik.");
    if (!canOpenDisplay())
        return QStringLiteral("The X display “%1” that DISPLAY names could not be opened.")
            .arg(display);
    return std::nullopt;
}

// An X11 client sees neither other windows' pixels nor the keyboard under Wayland.
int refuseWayland(int argc, char** argv) {
    QApplication app(argc, argv);
    fail(waylandTitle + QStringLiteral(". ") + waylandText);
    QMessageBox box(QMessageBox::Critical, waylandTitle, waylandTitle);
    box.setInformativeText(waylandText);
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

int runApp(int argc, char** argv, std::optional<SingleInstance>& instance) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("tovik"), appIcon()));

    X11ScreenSource screens;
    X11Desktop desktop;
    X11Clipboard clipboard;
    X11KeyInjector keys;
    SteadyClock clock;
    X11HotKeyBackend hotKeys;
    X11StickyWindows sticky;
    X11KeyboardLayout keyboardLayout;
    ShortcutPreferences& preferences = ShortcutPreferences::shared();
    // Said once here; the settings window says it too.
    if (!preferences.loadProblem().isEmpty())
        fail(preferences.loadProblem());

    DesktopSessionUi ui(preferences, {FloatingToolbarWindow::defaultStatePath(),
                                      FloatingToolbarWindow::currentVisibleAreas, &sticky});
    PngEncoderPool encoder;
    SessionStore store({screens, desktop, clipboard, keys, clock, ui, encoder});
    ui.setStore(&store);
    // No update mechanism is built for this platform: the update item stays hidden.
    UpdateController updates(nullptr);
    GlobalShortcut sessionShortcut(hotKeys, preferences);
    SessionWindow window(store, preferences);
    ui.setSessionWindow(&window);
    AppDelegate delegate({store, updates, sessionShortcut, preferences, desktop});
    // X11 needs no screen-recording permission: no settings to open for it.
    SettingsWindow settings(preferences, keyboardLayout);
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

    if (const std::optional<QString> problem = missingDisplay())
        return fail(*problem);
    if (qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland"))
        return refuseWayland(argc, argv);

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
    return runApp(argc, argv, instance);
}
