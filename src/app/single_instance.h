#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace tovik {

// One tovik per user: the first launch holds a lock file in the runtime folder for as long
// as it runs, later launches find it held and hand over to that instance. A lock left by a
// process that died is taken over.
class SingleInstance {
public:
    explicit SingleInstance(const QString& runtimeDirectory);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is now the running instance; false when another one is.
    bool claim();
    // Where the running instance's control socket is.
    const QString& socketPath() const { return socketPath_; }

private:
    std::unique_ptr<QLockFile> lock_;
    QString socketPath_;
};

} // namespace tovik
