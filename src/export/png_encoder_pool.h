#pragma once

#include "model/failure.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QUuid>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tovik {

class PngEncoderPool;

// One image's PNG, encoded in the background. Shared by whoever wants the bytes; thread-safe.
class PngJob {
public:
    explicit PngJob(QImage image);

    // The bytes. Encodes on the calling thread when no worker has started, else waits for it.
    Expected<QByteArray> result();
    // A job no worker has started is dropped; a running one finishes unseen.
    void cancel();
    bool isFinished() const;

private:
    friend class PngEncoderPool;
    enum class State { queued, running, finished, cancelled };

    // queued → running; false when someone else has it or it was cancelled.
    bool claim();
    void finish(Expected<QByteArray> result);

    const QImage image_;
    mutable std::mutex mutex_;
    std::condition_variable finished_;
    State state_ = State::queued;
    std::optional<Expected<QByteArray>> result_;
};

// Each capture's PNG, keyed by the capture.
using PngJobs = QHash<QUuid, std::shared_ptr<PngJob>>;

// The process's PNG encoders: a few low-priority threads that encode captures as they are
// confirmed, so an export only writes files. Each worker reuses its buffers while it has
// work, within a bound, and gives them back when it runs out of work.
class PngEncoderPool {
public:
    // Reusable buffers kept across images, over all workers.
    static constexpr size_t workspaceLimit = size_t(96) << 20;
    // Background encoding gives way to the capture, the window system and the user's apps.
    static constexpr int backgroundNice = 10;

    explicit PngEncoderPool(int workers = defaultWorkers(), int nice = backgroundNice);
    ~PngEncoderPool();
    PngEncoderPool(const PngEncoderPool&) = delete;
    PngEncoderPool& operator=(const PngEncoderPool&) = delete;

    static int defaultWorkers();

    std::shared_ptr<PngJob> encode(QImage image);
    // While paused, workers start nothing new (a capture is under way and wants the cores);
    // a job someone asks for still runs at once on the asking thread.
    void setPaused(bool paused);
    // Waits until no job is queued or running; not while paused with jobs queued.
    void waitForIdle();

private:
    void work(std::stop_token stop, int nice);

    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::condition_variable idle_;
    std::deque<std::shared_ptr<PngJob>> queue_;
    int busy_ = 0;
    bool paused_ = false;
    size_t workspaceShare_;
    std::vector<std::jthread> workers_;
};

} // namespace tovik
