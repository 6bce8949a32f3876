#include "export/export_bundle.h"
#include "export/render_error.h"
#include "export_fixtures.h"
#include "model/annotation_json.h"
#include "model/feedback_prompt.h"
#include "model/json_error.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <limits>
#include <optional>
#include <thread>

#include <sys/resource.h>

namespace tovik {
namespace {

using test::captureOf;
using test::entriesOf;

// The system's own text for an error, in the locale the test runs in, as the export shows it.
QString systemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ExportBundleTest : public ::testing::Test {
protected:
    QTemporaryDir temp;
    QString base() const { return temp.filePath(QStringLiteral("base")); }
    QList<CapturedItem> session{
        captureOf(1, test::patternImage(64, 48), QStringLiteral("Button is misaligned")),
        captureOf(3, test::patternImage(50, 70), QString(), {PenStroke{{{5, 5}, {9, 9}}, 3}})};
    QList<Annotation> records{session[0].annotation, session[1].annotation};
};

TEST_F(ExportBundleTest, makeBundle_files_writesPngPerCaptureFeedbackAndJsonInPrivateFolder) {
    const auto bundle = makeBundle(session, false, base());
    ASSERT_TRUE(bundle.ok()) << qPrintable(bundle.failure().message());
    const QDir dir(bundle->directory);
    EXPECT_EQ(QFileInfo(bundle->directory).path(), base());
    EXPECT_EQ(int(QFileInfo(bundle->directory).permissions() & 0x7777), 0x7700); // rwx------
    // Gaps in the numbering stay gaps in the names; no temporary files remain.
    EXPECT_EQ(entriesOf(bundle->directory),
              QStringList({"annotations.json", "feedback.md", "tovik-001.png", "tovik-003.png"}));
    EXPECT_EQ(bundle->files(),
              QStringList({dir.filePath("tovik-001.png"), dir.filePath("tovik-003.png"),
                           dir.filePath("feedback.md")}));
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(test::samePixels(QImage(bundle->images[i]), session[i].image)) << i;
    EXPECT_EQ(bundle->prompt, FeedbackPrompt::text(records, false));
    EXPECT_EQ(contents(bundle->feedbackFile()), bundle->prompt.toUtf8());
    EXPECT_EQ(contents(dir.filePath("annotations.json")), AnnotationJson::encode(records).value());
    EXPECT_NE(makeBundle(session, false, base())->directory, bundle->directory);

    const auto single = exportScreenshot(session[1], base()); // in a folder of its own
    ASSERT_TRUE(single.ok());
    EXPECT_EQ(entriesOf(QFileInfo(single->url).path()), QStringList{"tovik-003.png"});
    EXPECT_EQ(contents(single->url), single->png);
    EXPECT_TRUE(test::samePixels(QImage::fromData(single->png), session[1].image));
}

TEST_F(ExportBundleTest, makeBundle_contactSheetOnWorkerThread_matchesMainThread) {
    // The store exports off the main thread; text drawing there must work like on it.
    std::optional<Expected<ExportBundle>> bundle;
    std::thread([&] { bundle = makeBundle(session, true, base()); }).join();
    ASSERT_TRUE(bundle->ok());
    const ExportBundle& sheet = bundle->value();
    EXPECT_EQ(entriesOf(sheet.directory),
              QStringList({"annotations.json", "feedback.md", "tovik-contact-sheet.png"}));
    EXPECT_EQ(contents(sheet.feedbackFile()), FeedbackPrompt::text(records, true).toUtf8());
    const auto onMain = makeBundle(session, true, base());
    ASSERT_TRUE(onMain.ok());
    EXPECT_TRUE(test::samePixels(QImage(sheet.images[0]), QImage(onMain->images[0])));
}

// Real failures at each write step: a file-size limit (RLIMIT_FSIZE, which binds root too)
// that only the file of the chosen step exceeds, the files before it being small.
constexpr qint64 sizeLimit = 4096;

template<typename F> auto withFileSizeLimit(F f) {
    std::signal(SIGXFSZ, SIG_IGN); // larger writes fail with EFBIG instead of ending the test
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limited{rlim_t(sizeLimit), saved.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limited);
    auto result = f();
    setrlimit(RLIMIT_FSIZE, &saved);
    return result;
}

TEST_F(ExportBundleTest, makeBundle_emptyTooLargeOrFailingAtAnyStep_leavesNothingAndPassesErrorUp) {
    const QImage small = test::solidImage(8, 8, Qt::yellow);
    PenStroke scribble;
    for (int i = 0; i < 200; ++i)
        scribble.points.append({1 + i * 0.03, 1 + i * 0.02});
    const QList<std::pair<CapturedItem, QString>> steps{
        {captureOf(1, test::patternImage(120, 120)), "tovik-001.png"},
        {captureOf(1, small, QString(5000, QLatin1Char('x'))), "feedback.md"},
        {captureOf(1, small, QStringLiteral("Short"), {scribble}), "annotations.json"},
        {captureOf(1, small), "tovik-contact-sheet.png"}};
    for (const auto& [capture, step] : steps) {
        SCOPED_TRACE(step.toStdString());
        const bool sheet = step.contains("sheet");
        const auto probe = makeBundle({capture}, sheet, temp.filePath("probe"));
        ASSERT_TRUE(probe.ok());
        EXPECT_GT(QFileInfo(QDir(probe->directory).filePath(step)).size(), sizeLimit);
        const auto failed = withFileSizeLimit([&] { return makeBundle({capture}, sheet, base()); });
        EXPECT_EQ(failed.failure().message(), systemText(EFBIG));
        EXPECT_TRUE(entriesOf(base()).isEmpty()) << entriesOf(base()).join(' ').toStdString();
    }
    const auto single = withFileSizeLimit([&] { return exportScreenshot(steps[0].first, base()); });
    EXPECT_EQ(single.failure().message(), systemText(EFBIG));

    // A base path under a regular file, a record JSON cannot hold, an image PNG cannot hold.
    const QString file = temp.filePath(QStringLiteral("file"));
    ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly));
    EXPECT_EQ(makeBundle(session, false, file + "/base").failure().message(), systemText(ENOTDIR));
    EXPECT_EQ(exportScreenshot(session[0], file).failure().message(), systemText(ENOTDIR));
    EXPECT_EQ(entriesOf(temp.path()), QStringList({"base", "file", "probe"})); // nothing new

    const PenStroke broken{{{2, 2}}, std::numeric_limits<double>::quiet_NaN()};
    EXPECT_TRUE(makeBundle({captureOf(1, session[0].image, {}, {broken})}, false, base())
                    .failure()
                    .is(JsonError::nonFinite));
    EXPECT_EQ(makeBundle({session[0], captureOf(2, QImage())}, false, base()).failure().message(),
              QStringLiteral("Could not encode the PNG image."));
    EXPECT_TRUE(entriesOf(base()).isEmpty());

    EXPECT_TRUE(makeBundle({}, false, base()).failure().is(RenderError::empty));
    QList<CapturedItem> many;
    for (int i = 1; i <= 130; ++i)
        many.append(captureOf(i, test::solidImage(24, 16, Qt::darkGreen)));
    EXPECT_TRUE(makeBundle(many, true, base()).failure().is(RenderError::sheetTooLarge));
    EXPECT_TRUE(entriesOf(base()).isEmpty());
    // The same session exports fine as files.
    const auto files = makeBundle(many, false, base());
    ASSERT_TRUE(files.ok());
    EXPECT_EQ(entriesOf(files->directory).size(), 132);
}

// Each format of the payload as "type: data".
QStringList formatsOf(const ClipboardPayload& payload) {
    QStringList formats;
    for (const auto& format : payload.formats)
        formats.append(format.mimeType + ": " + QString::fromUtf8(payload.data(format.mimeType)));
    return formats;
}

TEST(ClipboardPayloadTest, eachAction_putsItsFormats) {
    const ExportBundle bundle{
        QStringLiteral("/tmp/it's é#"),
        {QStringLiteral("/tmp/it's é#/tovik-001.png"), QStringLiteral("/tmp/b/tovik-002.png")},
        QStringLiteral("#1 — tovik-001.png\nFix it")};
    const QString first = "file:///tmp/it's%20%C3%A9%23/tovik-001.png",
                  second = "file:///tmp/b/tovik-002.png",
                  feedback = "file:///tmp/it's%20%C3%A9%23/feedback.md";
    EXPECT_EQ(formatsOf(bundlePayload(bundle)),
              QStringList(
                  {"text/uri-list: " + first + "\r\n" + second + "\r\n" + feedback + "\r\n",
                   "x-special/gnome-copied-files: copy\n" + first + "\n" + second + "\n" + feedback,
                   "text/plain;charset=utf-8: " + bundle.prompt}));
    EXPECT_EQ(
        formatsOf(pasteImagesPayload(bundle)),
        QStringList({"text/uri-list: " + first + "\r\n" + second + "\r\n",
                     "x-special/gnome-copied-files: copy\n" + first + "\n" + second,
                     // A space at the end: the text pasted next must not stick to the last path.
                     "text/plain: '/tmp/it'\\''s é#/tovik-001.png' /tmp/b/tovik-002.png "}));
    EXPECT_EQ(
        formatsOf(screenshotPayload({QStringLiteral("/tmp/b/tovik-002.png"), "PNGBYTES"})),
        QStringList({"text/uri-list: " + second + "\r\n",
                     "x-special/gnome-copied-files: copy\n" + second, "image/png: PNGBYTES"}));
    EXPECT_EQ(formatsOf(textPayload(QStringLiteral("’"))),
              QStringList{"text/plain;charset=utf-8: ’"});
}

} // namespace
} // namespace tovik
