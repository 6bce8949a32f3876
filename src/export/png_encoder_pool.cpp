#include "export/png_encoder_pool.h"

#include "export/png_encoder.h"

#include <QThread>

#include <sys/resource.h>
#include <unistd.h>

namespace tovik {

PngJob::PngJob(QImage image)
    : image_(std::move(image)) {}

bool PngJob::claim() {
    const std::lock_guard lock(mutex_);
    if (state_ != State::queued)
        return false;
    state_ = State::running;
    return true;
}

void PngJob::finish(Expected<QByteArray> result) {
    {
        const std::lock_guard lock(mutex_);
        result_ = std::move(result);
        state_ = State::finished;
    }
    finished_.notify_all();
}

Expected<QByteArray> PngJob::result() {
    {
        std::unique_lock lock(mutex_);
        if (state_ == State::cancelled)
            state_ = State::queued;
        if (state_ != State::queued) {
            finished_.wait(lock, [this] { return state_ == State::finished; });
            return *result_;
        }
        state_ = State::running;
    }
    // Nobody has started it: the caller wants it now, at its own priority.
    finish(pngData(image_));
    const std::lock_guard lock(mutex_);
    return *result_;
}

void PngJob::cancel() {
    const std::lock_guard lock(mutex_);
    if (state_ == State::queued)
        state_ = State::cancelled;
}

bool PngJob::isFinished() const {
    const std::lock_guard lock(mutex_);
    return state_ == State::finished;
}

int PngEncoderPool::defaultWorkers() {
    return std::max(1, QThread::idealThreadCount());
}

PngEncoderPool::PngEncoderPool(int workers, int nice)
    : workspaceShare_(workspaceLimit / size_t(std::max(1, workers))) {
    for (int i = 0; i < std::max(1, workers); ++i)
        workers_.emplace_back([this, nice](std::stop_token stop) { work(stop, nice); });
}

PngEncoderPool::~PngEncoderPool() {
    for (std::jthread& worker : workers_)
        worker.request_stop();
    wake_.notify_all();
    workers_.clear(); // joins
}

std::shared_ptr<PngJob> PngEncoderPool::encode(QImage image) {
    auto job = std::make_shared<PngJob>(std::move(image));
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(job);
    }
    wake_.notify_one();
    return job;
}

void PngEncoderPool::setPaused(bool paused) {
    {
        const std::lock_guard lock(mutex_);
        paused_ = paused;
    }
    wake_.notify_all();
}

void PngEncoderPool::waitForIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && busy_ == 0; });
}

void PngEncoderPool::work(std::stop_token stop, int nice) {
    // Linux keeps a nice value per thread.
    ::setpriority(PRIO_PROCESS, ::gettid(), nice);
    PngWorkspace workspace;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (queue_.empty() || paused_) {
            if (queue_.empty()) {
                workspace.release();
                idle_.notify_all();
            }
            if (!wake_.wait(lock, stop, [this] { return !queue_.empty() && !paused_; }))
                return;
        }
        const std::shared_ptr<PngJob> job = std::move(queue_.front());
        queue_.pop_front();
        if (!job->claim())
            continue; // cancelled, or taken by someone who wanted it at once
        ++busy_;
        lock.unlock();
        job->finish(pngData(job->image_, workspace));
        if (workspace.bufferBytes() > workspaceShare_)
            workspace.release();
        lock.lock();
        --busy_;
    }
}

} // namespace tovik
