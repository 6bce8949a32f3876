#include "export/export_bundle.h"
#include "export/render_error.h"
#include "export_fixtures.h"
#include "model/annotation_json.h"
#include "model/feedback_prompt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <thread>

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

TEST_F(ExportBundleTest, makeBundle_files_writesPngPerCaptureFeedbackAndJson) {
    const auto bundle = makeBundle(session, false, base());
    ASSERT_TRUE(bundle.ok()) << qPrintable(bundle.failure().message());
    EXPECT_EQ(QFileInfo(bundle->directory).absolutePath(), QDir(base()).absolutePath());
    EXPECT_TRUE(
        QRegularExpression(
            QStringLiteral("^tovik-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"))
            .match(QFileInfo(bundle->directory).fileName())
            .hasMatch());
    // Gaps in the numbering stay gaps in the names; no temporary files remain.
    EXPECT_EQ(entriesOf(bundle->directory),
              QStringList({"annotations.json", "feedback.md", "tovik-001.png", "tovik-003.png"}));
    const QDir dir(bundle->directory);
    EXPECT_EQ(bundle->images,
              QStringList({dir.filePath("tovik-001.png"), dir.filePath("tovik-003.png")}));
    EXPECT_EQ(bundle->feedbackFile(), dir.filePath("feedback.md"));
    EXPECT_EQ(bundle->files(), bundle->images + QStringList{dir.filePath("feedback.md")});
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(test::samePixels(QImage(bundle->images[i]), session[i].image)) << i;

    const QString prompt = FeedbackPrompt::text(annotationsOf(session), false);
    EXPECT_EQ(bundle->prompt, prompt);
    EXPECT_EQ(contents(bundle->feedbackFile()), prompt.toUtf8());
    EXPECT_EQ(contents(dir.filePath("annotations.json")),
              AnnotationJson::encode(annotationsOf(session)).value());
}

TEST_F(ExportBundleTest, makeBundle_folder_isOwnerOnly) {
    const auto bundle = makeBundle(session, false, base());
    ASSERT_TRUE(bundle.ok());
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(bundle->directory).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
}

TEST_F(ExportBundleTest, makeBundle_contactSheet_writesOneSheetAndSheetPrompt) {
    const auto bundle = makeBundle(session, true, base());
    ASSERT_TRUE(bundle.ok());
    EXPECT_EQ(entriesOf(bundle->directory),
              QStringList({"annotations.json", "feedback.md", "tovik-contact-sheet.png"}));
    ASSERT_EQ(bundle->images.size(), 1);
    EXPECT_EQ(QFileInfo(bundle->images[0]).fileName(), QStringLiteral("tovik-contact-sheet.png"));
    EXPECT_EQ(QImage(bundle->images[0]).width(), 1512);
    EXPECT_TRUE(bundle->prompt.contains(QStringLiteral("#3 — Screenshot #3")));
    EXPECT_EQ(contents(bundle->feedbackFile()),
              FeedbackPrompt::text(annotationsOf(session), true).toUtf8());
}

TEST_F(ExportBundleTest, makeBundle_onWorkerThread_drawsSheetText) {
    // The store exports off the main thread; text drawing there must work like on it.
    std::optional<Expected<ExportBundle>> bundle;
    std::thread([&] { bundle = makeBundle(session, true, base()); }).join();
    ASSERT_TRUE(bundle->ok());
    const auto onMain = makeBundle(session, true, base());
    ASSERT_TRUE(onMain.ok());
    EXPECT_TRUE(test::samePixels(QImage(bundle->value().images[0]), QImage(onMain->images[0])));
}

TEST_F(ExportBundleTest, makeBundle_twice_usesFreshFolders) {
    const auto first = makeBundle(session, false, base());
    const auto second = makeBundle(session, false, base());
    ASSERT_TRUE(first.ok() && second.ok());
    EXPECT_NE(first->directory, second->directory);
    EXPECT_EQ(contents(QDir(first->directory).filePath("annotations.json")),
              contents(QDir(second->directory).filePath("annotations.json")));
}

TEST_F(ExportBundleTest, makeBundle_noCaptures_failsWithEmptyAndCreatesNothing) {
    const auto bundle = makeBundle({}, false, base());
    ASSERT_FALSE(bundle.ok());
    EXPECT_TRUE(bundle.failure().is(RenderError::empty));
    EXPECT_FALSE(QFileInfo::exists(base()));
}

TEST_F(ExportBundleTest, makeBundle_sessionTooLargeForSheet_leavesNothingButExportsAsFiles) {
    QList<CapturedItem> many;
    for (int i = 1; i <= 130; ++i)
        many.append(captureOf(i, test::solidImage(24, 16, Qt::darkGreen)));
    const auto sheet = makeBundle(many, true, base());
    ASSERT_FALSE(sheet.ok());
    EXPECT_TRUE(sheet.failure().is(RenderError::sheetTooLarge));
    EXPECT_TRUE(entriesOf(base()).isEmpty());

    const auto files = makeBundle(many, false, base());
    ASSERT_TRUE(files.ok());
    EXPECT_EQ(files->images.size(), 130);
    EXPECT_EQ(entriesOf(files->directory).size(), 132);
}

TEST_F(ExportBundleTest, exportScreenshot_writesOnePngInItsOwnFolder) {
    const auto exported = exportScreenshot(session[1], base());
    ASSERT_TRUE(exported.ok());
    const QFileInfo file(exported->url);
    EXPECT_EQ(file.fileName(), QStringLiteral("tovik-003.png"));
    EXPECT_EQ(entriesOf(file.absolutePath()), QStringList{"tovik-003.png"});
    EXPECT_TRUE(file.absolutePath().contains(QStringLiteral("/tovik-")));
    EXPECT_EQ(contents(exported->url), exported->png);
    EXPECT_TRUE(test::samePixels(QImage::fromData(exported->png), session[1].image));
}

} // namespace
} // namespace tovik
