#include "capture/ui/capture_draft.h"

namespace tovik {

QString rawValue(Tool tool) {
    switch (tool) {
    case Tool::region:
        return QStringLiteral("Region");
    case Tool::pen:
        return QStringLiteral("Pen");
    }
    return {};
}

CaptureDraft::CaptureDraft(QObject* parent)
    : QObject(parent) {}

void CaptureDraft::setSelection(const std::optional<QRectF>& selection) {
    if (selection_ == selection)
        return;
    selection_ = selection;
    emit selectionChanged();
}

void CaptureDraft::setStrokes(const QList<PenStroke>& strokes) {
    if (strokes_ == strokes)
        return;
    strokes_ = strokes;
    emit strokesChanged();
}

void CaptureDraft::appendStroke(const PenStroke& stroke) {
    strokes_.append(stroke);
    emit strokesChanged();
}

bool CaptureDraft::removeLastStroke() {
    if (strokes_.isEmpty())
        return false;
    strokes_.removeLast();
    emit strokesChanged();
    return true;
}

void CaptureDraft::setComment(const QString& comment) {
    if (comment_ == comment)
        return;
    comment_ = comment;
    emit commentChanged();
}

void CaptureDraft::setTool(Tool tool) {
    if (tool_ == tool)
        return;
    tool_ = tool;
    emit toolChanged();
}

} // namespace tovik
