#include "model/feedback_prompt.h"

#include <QStringList>

#include <algorithm>

namespace tovik::FeedbackPrompt {

QString text(const QList<Annotation>& annotations, bool contactSheet) {
    QStringList entries;
    entries.reserve(annotations.size());
    for (const Annotation& a : annotations) {
        const QString number = QString::number(a.number);
        const QString label = contactSheet ? QStringLiteral("Screenshot #") + number : a.fileName();
        entries.append(u'#' + number + QStringLiteral(" \u2014 ") + label + u'\n' +
                       a.instruction());
    }
    const bool anyStrokes = std::any_of(annotations.begin(), annotations.end(),
                                        [](const Annotation& a) { return !a.strokes.isEmpty(); });
    const QString header =
        anyStrokes ? QStringLiteral("Orange pen strokes mark details.\n\n") : QString();
    return header + entries.join(QStringLiteral("\n\n"));
}

} // namespace tovik::FeedbackPrompt
