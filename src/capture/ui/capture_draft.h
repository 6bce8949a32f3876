#pragma once

#include "model/annotation.h"

#include <QList>
#include <QObject>
#include <QRectF>
#include <QString>

#include <array>
#include <functional>
#include <optional>

namespace tovik {

// What a mouse gesture on the capture canvas does once a region exists.
enum class Tool { region, pen };

// "Region", "Pen".
QString rawValue(Tool tool);
inline constexpr std::array<Tool, 2> allTools{Tool::region, Tool::pen};

// The capture being edited on one overlay, shared by the overlay window, its canvas and its
// panel. Each setter notifies only when the value changes.
class CaptureDraft : public QObject {
    Q_OBJECT
public:
    explicit CaptureDraft(QObject* parent = nullptr);

    // The selected region in display points; none until a region has been dragged.
    const std::optional<QRectF>& selection() const { return selection_; }
    void setSelection(const std::optional<QRectF>& selection);

    // Finished pen strokes in drawing order, in display points.
    const QList<PenStroke>& strokes() const { return strokes_; }
    void setStrokes(const QList<PenStroke>& strokes);
    void appendStroke(const PenStroke& stroke);
    // Removes the last stroke; false when there was none.
    bool removeLastStroke();

    const QString& comment() const { return comment_; }
    void setComment(const QString& comment);

    Tool tool() const { return tool_; }
    void setTool(Tool tool);

    // Set by the overlay window; the panel calls it after it changes the tool or removes a
    // stroke so that the canvas repaints.
    std::function<void()> onChange;

signals:
    void selectionChanged();
    void strokesChanged();
    void commentChanged();
    void toolChanged();

private:
    std::optional<QRectF> selection_;
    QList<PenStroke> strokes_;
    QString comment_;
    Tool tool_ = Tool::region;
};

} // namespace tovik
