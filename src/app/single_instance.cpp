#include "app/single_instance.h"

#include "control/control_protocol.h"

#include <QDir>
#include <QLockFile>

namespace tovik {

SingleInstance::SingleInstance(const QString& runtimeDirectory)
    : lock_(std::make_unique<QLockFile>(QDir(runtimeDirectory).filePath("tovik.lock")))
    , socketPath_(QDir(runtimeDirectory).filePath(controlProtocol::socketName())) {
    // Only a dead owner makes the lock stale, never its age: tovik runs for days.
    lock_->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim() {
    return lock_->isLocked() || lock_->tryLock(0);
}

} // namespace tovik
