#include "app/floating_toolbar_window.h"

#include "app/floating_toolbar.h"
#include "platform/sticky_windows.h"
#include "session/session_store.h"

#include <QDir>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace tovik {
namespace {

constexpr int bottomGap = 32;
const QRect fallbackArea(0, 0, 1200, 800);

qint64 overlapArea(const QRect& a, const QRect& b) {
    const qint64 width = std::min<qint64>(qint64(a.x()) + a.width(), qint64(b.x()) + b.width()) -
                         std::max(a.x(), b.x());
    const qint64 height = std::min<qint64>(qint64(a.y()) + a.height(), qint64(b.y()) + b.height()) -
                          std::max(a.y(), b.y());
    return width > 0 && height > 0 ? width * height : 0;
}

} // namespace

const QString FloatingToolbarWindow::stateKey = QStringLiteral("tovikFloatingToolbar");

QString FloatingToolbarWindow::defaultStatePath() {
    // Qt 6.4 knows no state location yet.
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/tovik/state.conf");
}

bool FloatingToolbarWindow::onWayland() {
    return QGuiApplication::platformName() == QLatin1String("wayland");
}

FloatingToolbarWindow::FloatingToolbarWindow(SessionStore& store, ShortcutPreferences& preferences,
                                             Environment environment)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus)
    , environment_(std::move(environment))
    , state_(environment_.statePath, QSettings::IniFormat)
    , toolbar_(new FloatingToolbar(store, preferences, this)) {
    setObjectName(QStringLiteral("floatingToolbarWindow"));
    setWindowTitle(QStringLiteral("tovik"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The store sizes the panel when the strip unfolds; the strip must not resize it first.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    layout->addWidget(toolbar_);

    QRect frame = initialFrame(visibleAreas());
    // Only the position survives a launch: the panel always starts folded.
    if (const std::optional<QPoint> saved = savedPosition())
        frame.moveTopLeft(*saved);
    setFrame(frame);
    savesPosition_ = true;
}

QList<QRect> FloatingToolbarWindow::currentVisibleAreas() {
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas.append(screen->availableGeometry());
    return areas;
}

std::optional<QPoint> FloatingToolbarWindow::placement(const QRect& frame,
                                                       const QList<QRect>& areas) {
    if (areas.isEmpty())
        return std::nullopt;
    QRect chosen = areas.first();
    qint64 chosenOverlap = overlapArea(frame, chosen);
    for (const QRect& area : areas) {
        // Only a strictly larger share replaces the choice, so ties keep the earlier screen.
        const qint64 overlap = overlapArea(frame, area);
        if (overlap > chosenOverlap) {
            chosen = area;
            chosenOverlap = overlap;
        }
    }
    const int right = chosen.x() + chosen.width();
    const int bottom = chosen.y() + chosen.height();
    const int x = std::max(chosen.x(), std::min(frame.x(), right - frame.width()));
    // y grows downward here: a panel taller than the area keeps its bottom edge on the
    // area's, so the control bar stays reachable.
    const int y = std::min(std::max(frame.y(), chosen.y()), bottom - frame.height());
    return QPoint(x, y);
}

QRect FloatingToolbarWindow::initialFrame(const QList<QRect>& areas) {
    const QRect area = areas.isEmpty() ? fallbackArea : areas.first();
    const int centreX = area.x() + area.width() / 2;
    const int bottom = area.y() + area.height();
    const QSize folded = SessionStore::toolbarSize(false);
    return QRect(QPoint(centreX - folded.width() / 2, bottom - bottomGap - folded.height()),
                 folded);
}

void FloatingToolbarWindow::showWithoutActivating() {
    if (environment_.sticky) {
        // The desktop hint must be on the window before it is mapped.
        create();
        if (QWindow* window = windowHandle())
            environment_.sticky->makeSticky(*window);
    }
    show();
    raise();
}

void FloatingToolbarWindow::reposition() {
    setFrame(geometry());
}

void FloatingToolbarWindow::setFrame(QRect frame) {
    // A Wayland compositor places the window itself; a tiling one leaves a window of fixed
    // size floating at that size instead of stretching it over a tile.
    if (onWayland())
        setFixedSize(frame.size());
    if (const std::optional<QPoint> position = placement(frame, visibleAreas()))
        frame.moveTopLeft(*position);
    // One request: a window system may carry out a resize and a move apart, and late.
    setGeometry(frame);
}

QList<QRect> FloatingToolbarWindow::visibleAreas() const {
    return environment_.visibleAreas ? environment_.visibleAreas() : QList<QRect>();
}

std::optional<QPoint> FloatingToolbarWindow::savedPosition() const {
    const QVariant stored = state_.value(stateKey);
    // Anything but a point there was not written by this panel.
    if (stored.typeId() != QMetaType::QPoint)
        return std::nullopt;
    return stored.toPoint();
}

void FloatingToolbarWindow::mousePressEvent(QMouseEvent* event) {
    // Presses reach the panel only where no control took them: its background.
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    event->accept();
    // Only the compositor moves a Wayland window.
    if (onWayland() && windowHandle()) {
        windowHandle()->startSystemMove();
        return;
    }
    dragOffset_ = event->globalPosition().toPoint() - pos();
}

void FloatingToolbarWindow::mouseMoveEvent(QMouseEvent* event) {
    if (!dragOffset_)
        return QWidget::mouseMoveEvent(event);
    move(event->globalPosition().toPoint() - *dragOffset_);
    event->accept();
}

void FloatingToolbarWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragOffset_ || event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    dragOffset_.reset();
    event->accept();
}

void FloatingToolbarWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // The state object writes the file from the event loop, once per burst of moves.
    if (savesPosition_)
        state_.setValue(stateKey, pos());
}

} // namespace tovik
