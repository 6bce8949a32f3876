#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>

namespace tovik {

struct ToolResult {
    int exitCode = -1; // -1 when the tool did not finish in time
    QByteArray output;
};

// Runs a program to its end while this process keeps serving its events: tools such as xclip
// or wl-paste read the clipboard this process owns through them.
ToolResult runTool(const QString& program, const QStringList& arguments,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10));

} // namespace tovik
