#include "export/export_bundle.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

QStringList mimeTypes(const ClipboardPayload& payload) {
    QStringList types;
    for (const auto& format : payload.formats)
        types.append(format.mimeType);
    return types;
}

const ExportBundle bundle{
    QStringLiteral("/tmp/tovik-AB"),
    {QStringLiteral("/tmp/tovik-AB/tovik-001.png"), QStringLiteral("/tmp/tovik-AB/tovik-002.png")},
    QStringLiteral("#1 — tovik-001.png\nFix it")};

TEST(ClipboardPayloadTest, bundlePayload_listsImagesThenFeedbackAndCarriesPrompt) {
    const ClipboardPayload payload = bundlePayload(bundle);
    EXPECT_EQ(mimeTypes(payload), QStringList({"text/uri-list", "x-special/gnome-copied-files",
                                               "text/plain;charset=utf-8"}));
    EXPECT_EQ(payload.data("text/uri-list"), "file:///tmp/tovik-AB/tovik-001.png\r\n"
                                             "file:///tmp/tovik-AB/tovik-002.png\r\n"
                                             "file:///tmp/tovik-AB/feedback.md\r\n");
    EXPECT_EQ(payload.data("x-special/gnome-copied-files"),
              "copy\nfile:///tmp/tovik-AB/tovik-001.png\nfile:///tmp/tovik-AB/tovik-002.png\n"
              "file:///tmp/tovik-AB/feedback.md");
    EXPECT_EQ(payload.data("text/plain;charset=utf-8"), bundle.prompt.toUtf8());
}

TEST(ClipboardPayloadTest, bundlePayload_unusualPath_isPercentEncoded) {
    const ExportBundle odd{QStringLiteral("/tmp/a b"), {QStringLiteral("/tmp/a b/é#.png")}, {}};
    EXPECT_EQ(bundlePayload(odd).data("text/uri-list"),
              "file:///tmp/a%20b/%C3%A9%23.png\r\nfile:///tmp/a%20b/feedback.md\r\n");
}

TEST(ClipboardPayloadTest, screenshotPayload_isOneFileAndItsPng) {
    const ClipboardPayload payload =
        screenshotPayload({QStringLiteral("/tmp/tovik-CD/tovik-004.png"), "PNGBYTES"});
    EXPECT_EQ(mimeTypes(payload),
              QStringList({"text/uri-list", "x-special/gnome-copied-files", "image/png"}));
    EXPECT_EQ(payload.data("text/uri-list"), "file:///tmp/tovik-CD/tovik-004.png\r\n");
    EXPECT_EQ(payload.data("x-special/gnome-copied-files"),
              "copy\nfile:///tmp/tovik-CD/tovik-004.png");
    EXPECT_EQ(payload.data("image/png"), "PNGBYTES");
}

TEST(ClipboardPayloadTest, pasteImagesPayload_imagesOnlyWithShellQuotedPaths) {
    const ExportBundle quoted{QStringLiteral("/tmp/it's here"),
                              {QStringLiteral("/tmp/it's here/tovik-001.png"),
                               QStringLiteral("/tmp/plain/tovik-002.png")},
                              QStringLiteral("prompt")};
    const ClipboardPayload payload = pasteImagesPayload(quoted);
    EXPECT_EQ(mimeTypes(payload),
              QStringList({"text/uri-list", "x-special/gnome-copied-files", "text/plain"}));
    EXPECT_FALSE(payload.data("text/uri-list").contains("feedback.md"));
    EXPECT_EQ(payload.data("text/plain"),
              "'/tmp/it'\\''s here/tovik-001.png' /tmp/plain/tovik-002.png");
}

TEST(ClipboardPayloadTest, textPayload_isUtf8TextOnly) {
    const ClipboardPayload payload = textPayload(QStringLiteral("Orange — ’"));
    EXPECT_EQ(mimeTypes(payload), QStringList{"text/plain;charset=utf-8"});
    EXPECT_EQ(payload.data("text/plain;charset=utf-8"), QStringLiteral("Orange — ’").toUtf8());
}

} // namespace
} // namespace tovik
