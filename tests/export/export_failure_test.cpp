// Real failures at each step of writing an export: a base path under a regular file, and a
// file-size limit (RLIMIT_FSIZE, which binds root too) that only the file of the chosen step
// exceeds. Every failure must leave the base directory empty and report the OS error.

#include "export/export_bundle.h"
#include "export/render_error.h"
#include "export_fixtures.h"
#include "model/json_error.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <limits>
#include <sys/resource.h>

namespace tovik {
namespace {

using test::captureOf;
using test::entriesOf;

constexpr qint64 sizeLimit = 4096;

// Runs f with every regular file limited to sizeLimit bytes: larger writes fail with EFBIG
// instead of raising SIGXFSZ.
template<typename F> auto withFileSizeLimit(F f) {
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limited{rlim_t(sizeLimit), saved.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limited);
    auto result = f();
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &previous, nullptr);
    return result;
}

qint64 sizeOf(const QString& directory, const char* name) {
    return QFileInfo(QDir(directory).filePath(QString::fromLatin1(name))).size();
}

class ExportFailureTest : public ::testing::Test {
protected:
    QTemporaryDir temp;
    QString base() const { return temp.filePath(QStringLiteral("base")); }

    CapturedItem tiny(const QString& comment = {}, const QList<PenStroke>& strokes = {}) const {
        return captureOf(1, test::solidImage(8, 8, Qt::yellow), comment, strokes);
    }

    // The session exports fine without the limit and with it fails with the OS text,
    // leaving nothing behind.
    void expectFileTooLarge(const QList<CapturedItem>& session, bool contactSheet) {
        const auto failed =
            withFileSizeLimit([&] { return makeBundle(session, contactSheet, base()); });
        ASSERT_FALSE(failed.ok());
        EXPECT_TRUE(failed.failure().isPlatform());
        EXPECT_EQ(failed.failure().message(), QStringLiteral("File too large"));
        EXPECT_TRUE(entriesOf(base()).isEmpty()) << entriesOf(base()).join(' ').toStdString();
    }
};

TEST_F(ExportFailureTest, makeBundle_baseUnderRegularFile_reportsOsErrorAndCreatesNothing) {
    QFile blocker(temp.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const auto bundle = makeBundle({tiny()}, false, blocker.fileName() + "/base");
    ASSERT_FALSE(bundle.ok());
    EXPECT_TRUE(bundle.failure().isPlatform());
    EXPECT_EQ(bundle.failure().message(), QStringLiteral("Not a directory"));
    EXPECT_EQ(entriesOf(temp.path()), QStringList{"file"});

    const auto single = exportScreenshot(tiny(), blocker.fileName());
    ASSERT_FALSE(single.ok());
    EXPECT_EQ(single.failure().message(), QStringLiteral("Not a directory"));
}

TEST_F(ExportFailureTest, makeBundle_pngWriteFails_removesFolder) {
    const QList<CapturedItem> session{captureOf(1, test::patternImage(120, 120))};
    const auto probe = makeBundle(session, false, temp.filePath("probe"));
    ASSERT_TRUE(probe.ok());
    ASSERT_GT(sizeOf(probe->directory, "tovik-001.png"), sizeLimit);
    expectFileTooLarge(session, false);
}

TEST_F(ExportFailureTest, makeBundle_feedbackWriteFails_removesFolderWithImages) {
    const QList<CapturedItem> session{tiny(QString(5000, QLatin1Char('x')))};
    const auto probe = makeBundle(session, false, temp.filePath("probe"));
    ASSERT_TRUE(probe.ok());
    ASSERT_LT(sizeOf(probe->directory, "tovik-001.png"), sizeLimit);
    ASSERT_GT(sizeOf(probe->directory, "feedback.md"), sizeLimit);
    expectFileTooLarge(session, false);
}

TEST_F(ExportFailureTest, makeBundle_annotationsWriteFails_removesFolderWithEverything) {
    PenStroke scribble;
    for (int i = 0; i < 200; ++i)
        scribble.points.append({1 + i * 0.03, 1 + i * 0.02});
    const QList<CapturedItem> session{tiny(QStringLiteral("Short"), {scribble})};
    const auto probe = makeBundle(session, false, temp.filePath("probe"));
    ASSERT_TRUE(probe.ok());
    ASSERT_LT(sizeOf(probe->directory, "tovik-001.png"), sizeLimit);
    ASSERT_LT(sizeOf(probe->directory, "feedback.md"), sizeLimit);
    ASSERT_GT(sizeOf(probe->directory, "annotations.json"), sizeLimit);
    expectFileTooLarge(session, false);
}

TEST_F(ExportFailureTest, makeBundle_contactSheetWriteFails_removesFolder) {
    expectFileTooLarge({tiny()}, true);
}

TEST_F(ExportFailureTest, exportScreenshot_writeFails_removesFolder) {
    const auto single = withFileSizeLimit(
        [&] { return exportScreenshot(captureOf(1, test::patternImage(120, 120)), base()); });
    ASSERT_FALSE(single.ok());
    EXPECT_EQ(single.failure().message(), QStringLiteral("File too large"));
    EXPECT_TRUE(entriesOf(base()).isEmpty());
}

TEST_F(ExportFailureTest, makeBundle_unencodableRecord_passesJsonErrorUp) {
    const PenStroke broken{{{2, 2}}, std::numeric_limits<double>::quiet_NaN()};
    const auto bundle = makeBundle({tiny(QString(), {broken})}, false, base());
    ASSERT_FALSE(bundle.ok());
    EXPECT_TRUE(bundle.failure().is(JsonError::nonFinite));
    EXPECT_TRUE(entriesOf(base()).isEmpty());
}

TEST_F(ExportFailureTest, makeBundle_imageThatCannotBeEncoded_failsWithEncode) {
    const QList<CapturedItem> session{tiny(), captureOf(2, QImage())};
    const auto bundle = makeBundle(session, false, base());
    ASSERT_FALSE(bundle.ok());
    EXPECT_TRUE(bundle.failure().is(RenderError::encode));
    EXPECT_EQ(bundle.failure().message(), QStringLiteral("Could not encode the PNG image."));
    EXPECT_TRUE(entriesOf(base()).isEmpty());
}

} // namespace
} // namespace tovik
