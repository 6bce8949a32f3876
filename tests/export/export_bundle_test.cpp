#include "export/export_bundle.h"
#include "export/render_error.h"
#include "export_fixtures.h"
#include "model/annotation_json.h"
#include "model/feedback_prompt.h"
#include "model/json_error.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <limits>
#include <optional>
#include <thread>

#include <sys/resource.h>
#include <sys/stat.h>

namespace tovik {
namespace {

using test::captureOf;
using test::entriesOf;

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<Annotation> annotationsOf(const QList<CapturedItem>& captures) {
    QList<Annotation> annotations;
    for (const CapturedItem& c : captures)
        annotations.append(c.annotation);
    return annotations;
}

class ExportBundleTest : public ::testing::Test {
protected:
    QTemporaryDir temp;
    QString base() const { return temp.filePath(QStringLiteral("base")); }
    QList<CapturedItem> session{
        captureOf(1, test::patternImage(64, 48), QStringLiteral("Button is misaligned")),
        captureOf(3, test::patternImage(50, 70), QString(), {PenStroke{{{5, 5}, {9, 9}}, 3}})};
};

TEST_F(ExportBundleTest, makeBundle_files_writesPngPerCaptureFeedbackAndJsonInPrivateFolder) {
    const auto bundle = makeBundle(session, false, base());
    ASSERT_TRUE(bundle.ok()) << qPrintable(bundle.failure().message());
    const QDir dir(bundle->directory);
    EXPECT_TRUE(bundle->directory.startsWith(base() + "/"));
    EXPECT_TRUE(dir.dirName().contains(
        QRegularExpression("^tovik-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$")));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(bundle->directory).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    // Gaps in the numbering stay gaps in the names; no temporary files remain.
    EXPECT_EQ(entriesOf(bundle->directory),
              QStringList({"annotations.json", "feedback.md", "tovik-001.png", "tovik-003.png"}));
    EXPECT_EQ(bundle->files(),
              QStringList({dir.filePath("tovik-001.png"), dir.filePath("tovik-003.png"),
                           dir.filePath("feedback.md")}));
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(test::samePixels(QImage(bundle->images[i]), session[i].image)) << i;
    const QString prompt = FeedbackPrompt::text(annotationsOf(session), false);
    EXPECT_EQ(bundle->prompt, prompt);
    EXPECT_EQ(contents(bundle->feedbackFile()), prompt.toUtf8());
    EXPECT_EQ(contents(dir.filePath("annotations.json")),
              AnnotationJson::encode(annotationsOf(session)).value());
    EXPECT_NE(makeBundle(session, false, base())->directory, bundle->directory);
}

TEST_F(ExportBundleTest, makeBundle_contactSheetOnWorkerThread_matchesMainThread) {
    // The store exports off the main thread; text drawing there must work like on it.
    std::optional<Expected<ExportBundle>> bundle;
    std::thread([&] { bundle = makeBundle(session, true, base()); }).join();
    ASSERT_TRUE(bundle->ok());
    const ExportBundle& sheet = bundle->value();
    EXPECT_EQ(entriesOf(sheet.directory),
              QStringList({"annotations.json", "feedback.md", "tovik-contact-sheet.png"}));
    EXPECT_EQ(sheet.images, QStringList{QDir(sheet.directory).filePath("tovik-contact-sheet.png")});
    EXPECT_EQ(contents(sheet.feedbackFile()),
              FeedbackPrompt::text(annotationsOf(session), true).toUtf8());
    const auto onMain = makeBundle(session, true, base());
    ASSERT_TRUE(onMain.ok());
    EXPECT_EQ(QImage(sheet.images[0]).width(), 1512);
    EXPECT_TRUE(test::samePixels(QImage(sheet.images[0]), QImage(onMain->images[0])));
}

TEST_F(ExportBundleTest, makeBundle_emptyOrTooLargeForSheet_leavesNothing) {
    const auto none = makeBundle({}, false, base());
    ASSERT_FALSE(none.ok());
    EXPECT_EQ(none.failure().message(), QStringLiteral("Add a capture before exporting."));
    EXPECT_FALSE(QFileInfo::exists(base()));

    QList<CapturedItem> many;
    for (int i = 1; i <= 130; ++i)
        many.append(captureOf(i, test::solidImage(24, 16, Qt::darkGreen)));
    const auto sheet = makeBundle(many, true, base());
    ASSERT_FALSE(sheet.ok());
    EXPECT_EQ(sheet.failure().message(),
              QStringLiteral("This session is too large for one readable contact sheet. Copy the "
                             "individual files instead."));
    EXPECT_TRUE(entriesOf(base()).isEmpty());
    // The same session exports fine as files.
    const auto files = makeBundle(many, false, base());
    ASSERT_TRUE(files.ok());
    EXPECT_EQ(entriesOf(files->directory).size(), 132);
}

TEST_F(ExportBundleTest, exportScreenshot_writesOnePngInItsOwnFolder) {
    const auto exported = exportScreenshot(session[1], base());
    ASSERT_TRUE(exported.ok());
    const QFileInfo file(exported->url);
    EXPECT_EQ(entriesOf(file.absolutePath()), QStringList{"tovik-003.png"});
    EXPECT_TRUE(file.absolutePath().startsWith(base() + "/tovik-"));
    EXPECT_EQ(contents(exported->url), exported->png);
    EXPECT_TRUE(test::samePixels(QImage::fromData(exported->png), session[1].image));
}

// Real failures at each write step: a base path under a regular file, and a file-size limit
// (RLIMIT_FSIZE, which binds root too) that only the file of the chosen step exceeds.
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

TEST_F(ExportBundleTest, makeBundle_writeFailsAtEachStep_removesFolderAndReportsOsError) {
    const auto tiny = [](const QString& comment = {}, const QList<PenStroke>& strokes = {}) {
        return captureOf(1, test::solidImage(8, 8, Qt::yellow), comment, strokes);
    };
    PenStroke scribble;
    for (int i = 0; i < 200; ++i)
        scribble.points.append({1 + i * 0.03, 1 + i * 0.02});
    const QList<std::pair<CapturedItem, QString>> steps{
        {captureOf(1, test::patternImage(120, 120)), "tovik-001.png"},
        {tiny(QString(5000, QLatin1Char('x'))), "feedback.md"},
        {tiny(QStringLiteral("Short"), {scribble}), "annotations.json"},
        {tiny(), "tovik-contact-sheet.png"}};
    for (const auto& [capture, step] : steps) {
        SCOPED_TRACE(step.toStdString());
        const bool sheet = step.contains("sheet");
        const auto probe = makeBundle({capture}, sheet, temp.filePath("probe"));
        ASSERT_TRUE(probe.ok());
        // The files written before the step fit under the limit; the step's file does not.
        for (const QString name : {"tovik-001.png", "feedback.md", "annotations.json"}) {
            if (name == step || sheet)
                break;
            EXPECT_LT(QFileInfo(QDir(probe->directory).filePath(name)).size(), sizeLimit) << qPrintable(name);
        }
        EXPECT_GT(QFileInfo(QDir(probe->directory).filePath(step)).size(), sizeLimit);
        const auto failed = withFileSizeLimit([&] { return makeBundle({capture}, sheet, base()); });
        ASSERT_FALSE(failed.ok());
        EXPECT_TRUE(failed.failure().isPlatform());
        EXPECT_EQ(failed.failure().message(), QStringLiteral("File too large"));
        EXPECT_TRUE(entriesOf(base()).isEmpty()) << entriesOf(base()).join(' ').toStdString();
    }
    const auto single = withFileSizeLimit([&] { return exportScreenshot(steps[0].first, base()); });
    ASSERT_FALSE(single.ok());
    EXPECT_EQ(single.failure().message(), QStringLiteral("File too large"));
    EXPECT_TRUE(entriesOf(base()).isEmpty());
}

TEST_F(ExportBundleTest, makeBundle_otherFailures_passErrorUpAndLeaveNothing) {
    QFile blocker(temp.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const auto underFile = makeBundle(session, false, blocker.fileName() + "/base");
    ASSERT_FALSE(underFile.ok());
    EXPECT_TRUE(underFile.failure().isPlatform());
    EXPECT_EQ(underFile.failure().message(), QStringLiteral("Not a directory"));
    EXPECT_EQ(exportScreenshot(session[0], blocker.fileName()).failure().message(),
              "Not a directory");
    EXPECT_EQ(entriesOf(temp.path()), QStringList{"file"});

    const PenStroke broken{{{2, 2}}, std::numeric_limits<double>::quiet_NaN()};
    EXPECT_TRUE(makeBundle({captureOf(1, session[0].image, {}, {broken})}, false, base())
                    .failure()
                    .is(JsonError::nonFinite));
    EXPECT_EQ(makeBundle({session[0], captureOf(2, QImage())}, false, base()).failure().message(),
              QStringLiteral("Could not encode the PNG image."));
    EXPECT_TRUE(entriesOf(base()).isEmpty());
}

QStringList mimeTypes(const ClipboardPayload& payload) {
    QStringList types;
    for (const auto& format : payload.formats)
        types.append(format.mimeType);
    return types;
}

TEST(ClipboardPayloadTest, eachAction_putsItsFormats) {
    const ExportBundle bundle{
        QStringLiteral("/tmp/it's é#"),
        {QStringLiteral("/tmp/it's é#/tovik-001.png"), QStringLiteral("/tmp/b/tovik-002.png")},
        QStringLiteral("#1 — tovik-001.png\nFix it")};
    const QByteArray odd = "file:///tmp/it's%20%C3%A9%23/", second = "file:///tmp/b/tovik-002.png";
    const ClipboardPayload all = bundlePayload(bundle);
    EXPECT_EQ(mimeTypes(all), QStringList({"text/uri-list", "x-special/gnome-copied-files",
                                           "text/plain;charset=utf-8"}));
    EXPECT_EQ(all.data("text/uri-list"),
              odd + "tovik-001.png\r\n" + second + "\r\n" + odd + "feedback.md\r\n");
    EXPECT_EQ(all.data("x-special/gnome-copied-files"),
              "copy\n" + odd + "tovik-001.png\n" + second + "\n" + odd + "feedback.md");
    EXPECT_EQ(all.data("text/plain;charset=utf-8"), bundle.prompt.toUtf8());

    const ClipboardPayload images = pasteImagesPayload(bundle);
    EXPECT_EQ(mimeTypes(images),
              QStringList({"text/uri-list", "x-special/gnome-copied-files", "text/plain"}));
    EXPECT_EQ(images.data("text/uri-list"), odd + "tovik-001.png\r\n" + second + "\r\n");
    EXPECT_EQ(images.data("text/plain"), "'/tmp/it'\\''s é#/tovik-001.png' /tmp/b/tovik-002.png");

    const ClipboardPayload one =
        screenshotPayload({QStringLiteral("/tmp/b/tovik-002.png"), "PNGBYTES"});
    EXPECT_EQ(mimeTypes(one),
              QStringList({"text/uri-list", "x-special/gnome-copied-files", "image/png"}));
    EXPECT_EQ(one.data("x-special/gnome-copied-files"), "copy\n" + second);
    EXPECT_EQ(one.data("image/png"), "PNGBYTES");
    EXPECT_EQ(mimeTypes(textPayload(QStringLiteral("’"))), QStringList{"text/plain;charset=utf-8"});
    EXPECT_EQ(textPayload(QStringLiteral("’")).data("text/plain;charset=utf-8"), "\xe2\x80\x99");
}

} // namespace
} // namespace tovik
