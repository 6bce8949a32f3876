#pragma once

#include "model/annotation.h"

#include <QList>
#include <QString>

namespace tovik {

// The feedback text handed over with the images: one entry per capture naming its image and
// giving its instruction.
namespace FeedbackPrompt {

// Entries in the given order, each "#<number> — <label>\n<instruction>", separated by a blank
// line; the label is the capture's file name, or "Screenshot #<number>" when the images go out
// as one contact sheet. A header line leads when any capture has pen strokes. No trailing
// newline; an empty list gives an empty text.
QString text(const QList<Annotation>& annotations, bool contactSheet);

} // namespace FeedbackPrompt
} // namespace tovik
