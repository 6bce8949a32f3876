// The tovik executable's command line against an instance running in this process: the
// real control server, commands, delegate and store, on fakes. (`tovik quit` against the
// real application: the end-to-end tests.)
#include "app/app_delegate.h"
#include "app/control_commands.h"
#include "app/control_server.h"
#include "control/command_line.h"
#include "model/session_error.h"
#include "paste/paste_error.h"
#include "shortcuts/global_shortcut.h"
#include "shortcuts/shortcut_preferences.h"
#include "support/fake_hot_key_backend.h"
#include "support/store_fixture.h"
#include "updates/update_controller.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>

namespace tovik {
namespace {

struct Ran {
    int exitCode = -1;
    QString out, err;
};

// The executable, run while this process's event loop serves the instance.
Ran tovik(const QStringList& arguments, const QString& runtimeDirectory,
          const QString& executable = QStringLiteral(TOVIK_EXECUTABLE)) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDirectory);
    process.setProcessEnvironment(environment);
    process.start(executable, arguments);
    if (!process.waitForStarted() ||
        !QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 20000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

class CommandLineTest : public StoreFixture {
protected:
    void SetUp() override {
        delegate.applicationDidFinishLaunching();
        addControlCommands(server, store, delegate);
        ASSERT_TRUE(server.listen(runtime.filePath(QStringLiteral("tovik.sock"))).ok());
    }
    Ran run(const QStringList& arguments) { return tovik(arguments, runtime.path()); }

    QTemporaryDir runtime;
    FakeHotKeyBackend hotKeys;
    UpdateController updates{nullptr};
    ShortcutPreferences preferences{exportDir.filePath("tovik.conf")};
    GlobalShortcut shortcut{hotKeys, preferences};
    AppDelegate delegate{{store, updates, shortcut, preferences, desktop}};
    ControlServer server;
};

TEST_F(CommandLineTest, sessionCommands_eachReachesItsOperation_copiesAnswerOnceDoneOrFail) {
    const Ran none = run({"copy"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.err, "tovik: " + message(CommandError::noCaptures) + "\n");
    EXPECT_EQ(run({"capture"}).exitCode, 0);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !ui.openOverlays().isEmpty(); }));
    ui.openOverlays().first()->callbacks.confirm({10, 10, 100, 50}, "Move  it\nleft", {});
    addCapture();
    ASSERT_EQ(store.phase(), Phase::monitoring);

    const Ran text = run({"status"});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_EQ(text.out.toStdString(), "monitoring, 2 captures\n"
                                      "  tovik-001.png  Move it left\n"
                                      "  tovik-002.png  Review the marked region.\n");
    // As JSON: what the control client reads; its fields are the end-to-end tests' status.
    const Ran json = run({"status", "--json"});
    EXPECT_EQ(QJsonDocument::fromJson(json.out.toUtf8())["captures"].toArray().size(), 2);

    // Copies and the paste answer once done, with the store's notice or its error.
    const Ran copied = run({"copy"});
    EXPECT_EQ(copied.exitCode, 0);
    ASSERT_TRUE(store.lastExport());
    EXPECT_EQ(copied.out, "2 PNGs + feedback.md copied\n" + *store.lastExport() + "\n");
    EXPECT_TRUE(QFile::exists(*store.lastExport() + "/tovik-002.png")); // written before the answer
    EXPECT_EQ(run({"copy", "--contact-sheet"}).out.section('\n', 0, 0),
              "Contact sheet + feedback.md copied");
    EXPECT_EQ(run({"copy-prompt"}).out.section('\n', 0, 0), "Feedback text copied");
    EXPECT_EQ(clipboard.writes.last(), textPayload(store.prompt()));
    EXPECT_EQ(run({"paste"}).out.section('\n', 0, 0), "Photos and feedback text sent");

    store.markChanged(); // a fresh export, which the clipboard refuses
    clipboard.refuseAll();
    const Ran refused = run({"copy"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "tovik: " + message(SessionError::clipboard) + "\n");
    desktop.quit(editor); // nowhere to paste
    const Ran nowhere = run({"paste"});
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_EQ(nowhere.err, "tovik: " + message(CommandError::pasteFailed) + "\n");

    ui.calls.clear();
    EXPECT_EQ(run({"show"}).exitCode, 0);
    EXPECT_TRUE(ui.calls.contains("showSessionWindow"));
    QSignalSpy settings(&delegate, &AppDelegate::settingsRequested);
    EXPECT_EQ(run({"settings"}).exitCode, 0);
    EXPECT_EQ(settings.size(), 1);
    EXPECT_EQ(run({"stop"}).exitCode, 0);
    EXPECT_EQ(store.phase(), Phase::review);
}

TEST(CommandLineWithoutInstance, everyCommandFailsWithOne_usageErrorsTwo_helpAndVersion) {
    QTemporaryDir runtime;
    const char* commands[] = {
        "capture",     "show",  "settings", "stop",          "copy", "copy --contact-sheet",
        "copy-prompt", "paste", "status",   "status --json", "quit"};
    for (const QString command : commands) {
        const Ran run = tovik(command.split(' '), runtime.path());
        EXPECT_EQ(run.exitCode, 1) << command.toStdString();
        EXPECT_EQ(run.err, "tovik: tovik is not running.\n") << command.toStdString();
    }
    for (const QString wrong :
         {"Capture", "status now", "status --contact-sheet", "copy --json", "--no-such-option"}) {
        const Ran run = tovik(wrong.split(' '), runtime.path());
        EXPECT_EQ(run.exitCode, 2) << wrong.toStdString();
        EXPECT_TRUE(run.err.endsWith("Try “tovik --help”.\n")) << run.err.toStdString();
    }
    const Ran version = tovik({"--version"}, runtime.path());
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("tovik ") && version.out.count('.') == 2);
    const Ran help = tovik({"--help"}, runtime.path());
    EXPECT_EQ(help.exitCode, 0);
    for (const char* expected : {"copy-prompt", "--contact-sheet", "tovik.conf", "Ctrl+Shift+S",
                                 "/tmp/tovik-<id>/", "0 done, 1", "2 bad usage"})
        EXPECT_TRUE(help.out.contains(expected)) << expected;
}

// Without a command the client becomes the application: beside it in a build folder, as here
// (installed, under libexec: the package check).
TEST(CommandLineLaunch, becomesTheApplicationBesideIt_orSaysWhereItIsMissing) {
    QTemporaryDir dir;
    const QString client = dir.filePath("tovik");
    ASSERT_TRUE(QFile::copy(TOVIK_EXECUTABLE, client));
    const Ran missing = tovik({}, dir.path(), client);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.startsWith("tovik: tovik’s application is missing: neither "))
        << missing.err.toStdString();
    EXPECT_TRUE(missing.err.contains(dir.filePath("tovik-app"))) << missing.err.toStdString();

    QFile app(dir.filePath("tovik-app"));
    ASSERT_TRUE(app.open(QIODevice::WriteOnly));
    app.write("#!/bin/sh\necho \"application, $# arguments\"\nexit 7\n");
    app.close();
    app.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    const Ran launched = tovik({}, dir.path(), client);
    EXPECT_EQ(launched.exitCode, 7);
    EXPECT_EQ(launched.out, "application, 0 arguments\n");
}

} // namespace
} // namespace tovik
