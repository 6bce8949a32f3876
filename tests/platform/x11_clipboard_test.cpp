#include "platform/x11/x11_clipboard.h"
#include "x11_test_env.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace tovik {
namespace {

using namespace x11test;

QByteArray readClipboard(const QString& target) {
    const ToolResult result = runTool(QStringLiteral("xclip"),
                                      {QStringLiteral("-o"), QStringLiteral("-selection"),
                                       QStringLiteral("clipboard"), QStringLiteral("-t"), target});
    return result.exitCode == 0 ? result.output : QByteArray("<failed>");
}

// What another application's copy does.
void copyInOtherApplication(const QByteArray& text) {
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"),
                {QStringLiteral("-i"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
    xclip.write(text);
    xclip.closeWriteChannel();
    // xclip leaves a child behind that claims the clipboard and serves the text.
    ASSERT_TRUE(xclip.waitForFinished());
}

const QByteArray uriList = "file:///tmp/out/tovik-001.png\r\nfile:///tmp/out/feedback.md\r\n";
const QByteArray gnomeFiles = "copy\nfile:///tmp/out/tovik-001.png\nfile:///tmp/out/feedback.md";

TEST(X11ClipboardTest, write_eachActionsPayload_isServedUnderEveryMimeType) {
    X11Clipboard clipboard;
    const QList<ClipboardPayload> payloads = {
        {{{QStringLiteral("text/uri-list"), uriList},
          {QStringLiteral("x-special/gnome-copied-files"), gnomeFiles},
          {QStringLiteral("text/plain;charset=utf-8"), "Fix the button – it’s 2 px off"}}},
        {{{QStringLiteral("text/uri-list"), "file:///tmp/out/tovik-001.png\r\n"},
          {QStringLiteral("x-special/gnome-copied-files"), "copy\nfile:///tmp/out/tovik-001.png"},
          {QStringLiteral("image/png"), QByteArray::fromHex("89504e470d0a1a0a0000") + "binary"}}},
        {{{QStringLiteral("text/uri-list"), uriList},
          {QStringLiteral("x-special/gnome-copied-files"), gnomeFiles},
          {QStringLiteral("text/plain"), "/tmp/out/tovik-001.png '/tmp/a b/tovik-002.png'"}}},
    };
    for (const ClipboardPayload& payload : payloads) {
        ASSERT_TRUE(clipboard.write(payload));

        const QList<QByteArray> targets = readClipboard(QStringLiteral("TARGETS")).split('\n');
        for (const ClipboardPayload::Format& format : payload.formats) {
            EXPECT_TRUE(targets.contains(format.mimeType.toUtf8()))
                << format.mimeType.toStdString();
            EXPECT_EQ(readClipboard(format.mimeType), format.data) << format.mimeType.toStdString();
        }
    }
}

TEST(X11ClipboardTest, write_utf8Text_isAlsoServedToClientsAskingForPlainStrings) {
    X11Clipboard clipboard;
    const QByteArray prompt = "Screenshot tovik-001.png: it’s off";

    ASSERT_TRUE(clipboard.write({{{QStringLiteral("text/plain;charset=utf-8"), prompt}}}));

    EXPECT_EQ(readClipboard(QStringLiteral("UTF8_STRING")), prompt);
}

TEST(X11ClipboardTest, changeCount_countsOtherClientsOnly) {
    X11Clipboard clipboard;
    const qint64 before = clipboard.changeCount();

    ASSERT_TRUE(clipboard.write({{{QStringLiteral("text/plain"), "ours"}}}));
    ASSERT_TRUE(clipboard.write({{{QStringLiteral("text/plain"), "ours again"}}}));
    EXPECT_EQ(clipboard.changeCount(), before);

    copyInOtherApplication("theirs");
    EXPECT_TRUE(QTest::qWaitFor([&] { return clipboard.changeCount() == before + 1; }));
}

TEST(X11ClipboardTest, write_refusedByTheServer_isReportedAsFailure) {
    X11Clipboard clipboard;
    // Qt's claims are refused until it has handled the claims other clients made earlier.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return clipboard.write({{{QStringLiteral("text/plain"), "ours"}}});
    }));
    // Taken at the server's present time, later than anything Qt has seen: the server
    // ignores a claim made with Qt's older time.
    OtherClient other;
    other.takeClipboard();

    EXPECT_FALSE(clipboard.write({{{QStringLiteral("text/plain"), "refused"}}}));

    // Once Qt has handled the other client's claim, its own claims are newer again.
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return clipboard.write({{{QStringLiteral("text/plain"), "accepted"}}});
    }));
    EXPECT_EQ(readClipboard(QStringLiteral("text/plain")), "accepted");
}

} // namespace
} // namespace tovik
