#include "app/session_status.h"

#include <QJsonArray>

namespace tovik {

QString phaseName(Phase phase) {
    switch (phase) {
    case Phase::ready:
        return QStringLiteral("ready");
    case Phase::monitoring:
        return QStringLiteral("monitoring");
    case Phase::capturing:
        return QStringLiteral("capturing");
    case Phase::review:
        return QStringLiteral("review");
    }
    return {};
}

QJsonObject sessionStatus(const SessionStore& store) {
    QJsonArray captures;
    for (const CapturedItem& item : store.items()) {
        const Annotation& annotation = item.annotation;
        captures.append(QJsonObject{
            {QStringLiteral("number"), annotation.number},
            {QStringLiteral("fileName"), annotation.fileName()},
            {QStringLiteral("instruction"), annotation.instruction()},
        });
    }
    return QJsonObject{
        {QStringLiteral("phase"), phaseName(store.phase())},
        {QStringLiteral("captures"), captures},
    };
}

} // namespace tovik
