#include "platform/x11/x11_clipboard.h"
#include "platform/x11/x11_key_injector.h"
#include "x11_test_env.h"

#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

namespace tovik {
namespace {

using namespace x11test;

const QByteArray uriList = "file:///tmp/out/tovik-001.png\r\nfile:///tmp/a%20b/tovik-002.png\r\n";
const QByteArray quotedPaths = "/tmp/out/tovik-001.png '/tmp/a b/tovik-002.png'";

// The direct paste's images step, as the clipboard table has it.
ClipboardPayload imagesPayload() {
    return {{{QStringLiteral("text/uri-list"), uriList},
             {QStringLiteral("x-special/gnome-copied-files"),
              "copy\nfile:///tmp/out/tovik-001.png\nfile:///tmp/a%20b/tovik-002.png"},
             {QStringLiteral("text/plain"), quotedPaths}}};
}

class X11KeyInjectorTest : public ::testing::Test {
protected:
    X11Clipboard clipboard;
    X11KeyInjector injector;
};

TEST_F(X11KeyInjectorTest, postPaste_plainApplication_pastesFilesThenTextWithCtrlV) {
    PasteReceiver receiver;
    ASSERT_TRUE(receiver.start());
    ASSERT_TRUE(injector.hasPermission());

    ASSERT_TRUE(clipboard.write(imagesPayload()));
    ASSERT_TRUE(injector.postPaste(receiver.app()));
    ASSERT_TRUE(receiver.waitForPastes(1));
    ASSERT_TRUE(clipboard.write({{{QStringLiteral("text/plain;charset=utf-8"), "It’s 2 px off"}}}));
    ASSERT_TRUE(injector.postPaste(receiver.app()));
    ASSERT_TRUE(receiver.waitForPastes(2));

    const QList<QJsonObject> pastes = receiver.pastes();
    EXPECT_EQ(pastes[0][QStringLiteral("keys")], QStringLiteral("ctrl+v"));
    EXPECT_EQ(pastes[0][QStringLiteral("uris")], QString::fromUtf8(uriList));
    EXPECT_EQ(pastes[0][QStringLiteral("text")], QString::fromUtf8(quotedPaths));
    EXPECT_EQ(pastes[1][QStringLiteral("keys")], QStringLiteral("ctrl+v"));
    EXPECT_EQ(pastes[1][QStringLiteral("text")], QStringLiteral("It’s 2 px off"));
}

TEST_F(X11KeyInjectorTest, postPaste_terminalEmulator_sendsCtrlShiftV) {
    PasteReceiver terminal;
    ASSERT_TRUE(terminal.start(QStringLiteral("Lxterminal")));
    ASSERT_TRUE(clipboard.write(imagesPayload()));

    ASSERT_TRUE(injector.postPaste(terminal.app()));

    ASSERT_TRUE(terminal.waitForPastes(1));
    EXPECT_EQ(terminal.pastes()[0][QStringLiteral("keys")], QStringLiteral("ctrl+shift+v"));
}

TEST_F(X11KeyInjectorTest, postPaste_userStillHoldsModifiers_pastesWithoutThem) {
    PasteReceiver receiver;
    ASSERT_TRUE(receiver.start());
    ASSERT_TRUE(clipboard.write(imagesPayload()));
    // As right after the hot key: its keys still down.
    ASSERT_EQ(
        runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("shift+alt")})
            .exitCode,
        0);

    ASSERT_TRUE(injector.postPaste(receiver.app()));

    const bool pasted = receiver.waitForPastes(1);
    runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("shift+alt")});
    ASSERT_TRUE(pasted);
    EXPECT_EQ(receiver.pastes()[0][QStringLiteral("keys")], QStringLiteral("ctrl+v"));
}

TEST_F(X11KeyInjectorTest, postPaste_lxterminal_receivesThePaths) {
    // The terminal runs cat without line buffering, so what is pasted reaches the file as is.
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("pasted"));
    QProcess terminal;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("OUT"), out);
    terminal.setProcessEnvironment(environment);
    terminal.start(QStringLiteral("lxterminal"),
                   {QStringLiteral("--no-remote"), QStringLiteral("-e"), QStringLiteral("sh"),
                    QStringLiteral("-c"),
                    QStringLiteral("stty -icanon -echo; exec cat > \"$OUT\"")});
    OtherClient observer;
    std::optional<AppRef> app;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            app = observer.activeApp();
            return QFile::exists(out) && app && app->wmClass == QStringLiteral("Lxterminal") &&
                   observer.hasFocus(app->window);
        },
        10000));
    ASSERT_TRUE(clipboard.write(imagesPayload()));

    ASSERT_TRUE(injector.postPaste(*app));

    const auto pasted = [&] {
        QFile file(out);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return pasted() == quotedPaths; })) << pasted().toStdString();
    terminal.kill();
    terminal.waitForFinished();
}

} // namespace
} // namespace tovik
