#pragma once

#include "platform/screen_source.h"

#include <QHash>

#include <functional>

namespace tovik {

// Scripted screens: images are plain fills of the requested size unless a test sets one.
class FakeScreenSource final : public ScreenSource {
public:
    struct Grab {
        ScreenInfo screen;
        QSize pixelSize;
    };

    QList<ScreenInfo> screenList;
    bool preflightAnswer = true, requestAnswer = true;
    int requestCount = 0;
    QList<Grab> grabs;
    QHash<int, QImage> images;             // by index into screenList
    QHash<int, QString> grabErrors;        // platform error text by index into screenList
    std::function<void(int index)> onGrab; // runs before a grab answers

    static ScreenInfo screen(QString name, QRect geometry, double ratio = 1,
                             std::optional<quint32> displayId = std::nullopt) {
        return ScreenInfo{std::move(name), geometry, ratio, displayId};
    }

    bool preflightAccess() override { return preflightAnswer; }
    bool requestAccess() override {
        ++requestCount;
        return requestAnswer;
    }
    QList<ScreenInfo> screens() override { return screenList; }
    void windowsWillHide() override {}
    QCoro::Task<> settle() override { co_return; }
    QCoro::Task<Expected<QImage>> grab(const ScreenInfo& screen, QSize pixelSize) override {
        grabs.append(Grab{screen, pixelSize});
        const int index = int(screenList.indexOf(screen));
        if (onGrab)
            onGrab(index);
        if (grabErrors.contains(index))
            co_return Failure::platform(grabErrors.value(index));
        if (images.contains(index))
            co_return images.value(index);
        QImage image(pixelSize, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::darkCyan);
        co_return image;
    }
};

} // namespace tovik
