#include "model/session_error.h"
#include "session/session_fixture.h"
#include "support/task_result.h"

#include <QFile>
#include <QFileInfo>
#include <QSemaphore>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

namespace tovik {
namespace {

using SessionExportTest = SessionFixture;

// Holds the only worker thread of the pool: an export started meanwhile can only wait, so a
// store that wrote on the main thread would finish while the worker is still held.
class HeldWorkerPool {
public:
    HeldWorkerPool()
        : threads_(QThreadPool::globalInstance()->maxThreadCount()) {
        QThreadPool::globalInstance()->setMaxThreadCount(1);
        held_ = QtConcurrent::run([this] { release_.acquire(); });
    }
    ~HeldWorkerPool() {
        release();
        QThreadPool::globalInstance()->setMaxThreadCount(threads_);
    }
    void release() {
        if (held_.isFinished())
            return;
        release_.release();
        held_.waitForFinished();
    }

private:
    int threads_;
    QSemaphore release_;
    QFuture<void> held_;
};

// Timer ticks counted while the event loop turns for `ms`.
int ticksWithin(int ms) {
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&ticks] { ++ticks; });
    ticker.start(1);
    QTest::qWait(ms);
    return ticks;
}

TEST_F(SessionExportTest, copies_reportTheirNoticesWordForWord) {
    addCapture();
    store.copyFiles(false);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(store.notice(), QStringLiteral("1 PNGs + feedback.md copied"));
    EXPECT_TRUE(store.hasExported());
    const ExportBundle bundle = store.exportCache().value(false).bundle;
    EXPECT_EQ(store.lastExport(), bundle.directory);
    EXPECT_EQ(clipboard.writes.last(), bundlePayload(bundle));

    store.copyFiles(true);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(store.notice(), QStringLiteral("Contact sheet + feedback.md copied"));

    addCapture();
    addCapture();
    store.copyFiles(false);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(store.notice(), QStringLiteral("3 PNGs + feedback.md copied"));
    EXPECT_FALSE(store.error());
}

TEST_F(SessionExportTest, cache_oneExportPerVariantUntilAnEdit) {
    const QUuid id = addCapture();
    store.copyFiles(false);
    ASSERT_TRUE(waitUntilIdle());
    store.copyFiles(false);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(exportFolders(), 1);
    EXPECT_EQ(clipboard.writes[0], clipboard.writes[1]);

    store.copyFiles(true);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(exportFolders(), 2);
    EXPECT_EQ(store.exportCache().keys(), QList<bool>({false, true}));
    for (const CachedExport& entry : store.exportCache())
        EXPECT_EQ(entry.revision, store.revision());

    store.updateComment(id, QStringLiteral("changed"));
    EXPECT_TRUE(store.exportCache().isEmpty());
    store.copyFiles(false);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(exportFolders(), 3);
}

TEST_F(SessionExportTest, copyFiles_withoutCapturesOrWhileACopyRuns_doesNothing) {
    store.copyFiles(false);
    EXPECT_FALSE(store.exporting());

    addCapture();
    HeldWorkerPool pool; // keeps the first copy running
    store.copyFiles(false);
    store.copyFiles(true);
    pool.release();
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(store.notice(), QStringLiteral("1 PNGs + feedback.md copied"));
    EXPECT_EQ(exportFolders(), 1);
    EXPECT_EQ(clipboard.writes.size(), 1);
}

TEST_F(SessionExportTest, exportFailure_setsErrorAndReleasesExporting) {
    QFile occupied(exportDir.filePath("occupied"));
    ASSERT_TRUE(occupied.open(QIODevice::WriteOnly));
    occupied.close();
    // The base is a file, so no export folder can be made in it.
    SessionStore broken(services(), occupied.fileName());
    broken.startOrCapture();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !broken.overlays().empty(); }));
    confirm({0, 0, 20, 20});
    ASSERT_EQ(broken.items().size(), 1);

    broken.copyFiles(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !broken.exporting(); }));
    EXPECT_TRUE(broken.error());
    EXPECT_FALSE(broken.notice());
    EXPECT_FALSE(broken.hasExported());
    EXPECT_TRUE(broken.exportCache().isEmpty());

    broken.setError(std::nullopt);
    const auto copied = waitForTask(broken.copyScreenshot(broken.items()[0].id()));
    EXPECT_EQ(copied, false);
    EXPECT_TRUE(broken.error());
    EXPECT_FALSE(broken.exporting());
    EXPECT_TRUE(clipboard.writes.isEmpty());
}

TEST_F(SessionExportTest, clipboardRefusal_setsClipboardErrorForEveryCopy) {
    const QUuid id = addCapture();
    clipboard.refuseAll();
    store.copyFiles(false);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(store.error(),
              QStringLiteral("The clipboard could not accept the files. Try copying again."));
    EXPECT_FALSE(store.notice());
    EXPECT_FALSE(store.hasExported());

    store.setError(std::nullopt);
    EXPECT_EQ(waitForTask(store.copyScreenshot(id)), false);
    EXPECT_EQ(store.error(), message(SessionError::clipboard));
    EXPECT_FALSE(store.exporting());
}

TEST_F(SessionExportTest, copyScreenshot_putsOneItemWithFileAndPng) {
    addCapture();
    const QUuid second = addCapture({0, 0, 40, 30});
    EXPECT_EQ(waitForTask(store.copyScreenshot(second)), true);
    EXPECT_FALSE(store.exporting());
    EXPECT_EQ(store.notice(), QStringLiteral("Screenshot #2 copied"));
    EXPECT_FALSE(store.hasExported());
    ASSERT_EQ(clipboard.writes.size(), 1);
    const ClipboardPayload& payload = clipboard.writes[0];
    const QString file =
        QUrl(QString::fromUtf8(payload.data("text/uri-list")).trimmed()).toLocalFile();
    EXPECT_TRUE(file.endsWith("tovik-002.png"));
    EXPECT_EQ(QImage::fromData(payload.data("image/png")).size(), QSize(40, 30));
    EXPECT_EQ(store.lastExport(), QFileInfo(file).absolutePath());

    EXPECT_EQ(waitForTask(store.copyScreenshot(QUuid::createUuid())), false);
    EXPECT_EQ(clipboard.writes.size(), 1);
    EXPECT_EQ(store.notice(), QStringLiteral("Screenshot #2 copied"));
}

TEST_F(SessionExportTest, exports_writeOnAWorkerWhileTheEventLoopTurns) {
    const QUuid id = addCapture();
    {
        HeldWorkerPool pool;
        store.copyFiles(false);
        EXPECT_GE(ticksWithin(50), 1);
        EXPECT_TRUE(store.exporting());
        EXPECT_EQ(exportFolders(), 0);
        pool.release();
        EXPECT_TRUE(waitUntilIdle());
        EXPECT_EQ(exportFolders(), 1);
    }
    HeldWorkerPool pool;
    auto task = store.copyScreenshot(id);
    EXPECT_GE(ticksWithin(50), 1);
    EXPECT_TRUE(store.exporting());
    EXPECT_EQ(clipboard.writes.size(), 1);
    pool.release();
    EXPECT_EQ(waitForTask(std::move(task)), true);
}

} // namespace
} // namespace tovik
