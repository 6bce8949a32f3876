#pragma once

#include "capture/display_snapshot.h"
#include "model/cancel_token.h"
#include "model/failure.h"

#include <QCoro/QCoroTask>
#include <QList>

namespace tovik {

enum class ScreenCaptureError { permission, noDisplays, displayChanged };
QString message(ScreenCaptureError error);

// One snapshot per screen, in the platform's screen order. Fails with a
// ScreenCaptureError, the platform's error, or Failure::cancelled().
QCoro::Task<Expected<QList<DisplaySnapshot>>> captureDisplays(ScreenSource& source,
                                                              CancelToken cancel);

} // namespace tovik
