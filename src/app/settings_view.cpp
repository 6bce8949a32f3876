#include "app/settings_view.h"

#include "shortcuts/shortcut_preferences.h"
#include "shortcuts/ui/shortcut_recorder.h"
#include "ui/capture_button_style.h"
#include "ui/dark_scheme.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QClipboard>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace tovik {
namespace {

const QString fieldLabel = QStringLiteral("Record capture shortcut");
const QString idleTitle = QStringLiteral("Keyboard shortcut");
const QString recordingTitle = QStringLiteral("Press shortcut…");
const QString noDraft = QStringLiteral("—");
const QString hintText = QStringLiteral("Enter to confirm · Delete to clear · Esc to cancel");
const QString invalidText = QStringLiteral("Use a letter or number with Ctrl, Alt, or Super.");
const QString noDraftText = QStringLiteral("Press a shortcut before confirming.");
const QString screenRecordingText = QStringLiteral("Open Screen Recording settings");
const QString autostartText = QStringLiteral("Start tovik when I log in");
const QString desktopBindsText =
    QStringLiteral("This desktop doesn’t let apps set a global shortcut. In your desktop’s "
                   "keyboard settings, add a custom shortcut that runs:");
const QString copyCommandText = QStringLiteral("Copy command");

constexpr int inset = 24;
constexpr int fieldPadding = 12;
constexpr qreal fieldRadius = 8;
constexpr qreal bodySize = 13;
constexpr qreal captionSize = 11;

QColor red() {
    return QColor(255, 69, 58);
}

// The field's face: one rounded surface that records on a click.
class ShortcutField : public QAbstractButton {
public:
    using QAbstractButton::QAbstractButton;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), fieldRadius, fieldRadius);
        painter.fillPath(path, QColor::fromRgbF(1, 1, 1, isDown() ? 0.14f : 0.08f));
    }
};

QLabel* label(const QString& text, qreal size, const QColor& colour, QWidget* parent) {
    auto* made = new QLabel(text, parent);
    made->setFont(systemFont(size));
    QPalette palette = made->palette();
    palette.setColor(QPalette::WindowText, colour);
    made->setPalette(palette);
    return made;
}

} // namespace

const QString SettingsView::captureCommand = QStringLiteral("tovik capture");

SettingsView::SettingsView(ShortcutPreferences& preferences, KeyboardLayout& keyboardLayout,
                           QUrl screenRecordingSettings, AutostartEntry autostart, QWidget* parent)
    : QWidget(parent)
    , preferences_(preferences)
    , layout_(keyboardLayout)
    , autostart_(std::move(autostart)) {
    setObjectName(QStringLiteral("settingsView"));
    setFixedWidth(fixedWidth);
    setPalette(darkScheme::palette());
    setAutoFillBackground(true);

    hint_ = label(hintText, captionSize, darkScheme::secondaryLabel(), this);
    hint_->setObjectName(QStringLiteral("recordingHint"));
    error_ = label(QString(), captionSize, red(), this);
    error_->setObjectName(QStringLiteral("shortcutError"));
    error_->setWordWrap(true);
    loadProblem_ = label(QString(), captionSize, darkScheme::orange(), this);
    loadProblem_->setObjectName(QStringLiteral("settingsFileProblem"));
    loadProblem_->setWordWrap(true);

    auto* shortcut = new QVBoxLayout;
    shortcut->setSpacing(8);
    shortcut->addWidget(buildShortcutField());
    shortcut->addWidget(buildDesktopBinding());
    shortcut->addWidget(hint_);
    shortcut->addWidget(error_);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(inset, inset, inset, inset);
    stack->setSpacing(16);
    stack->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    stack->addLayout(shortcut);
    stack->addWidget(loadProblem_);

    autostartToggle_ = new QCheckBox(autostartText, this);
    autostartToggle_->setObjectName(QStringLiteral("autostartToggle"));
    autostartToggle_->setFont(systemFont(bodySize));
    connect(autostartToggle_, &QAbstractButton::clicked, this, &SettingsView::setStartsAtLogin);
    autostartError_ = label(QString(), captionSize, red(), this);
    autostartError_->setObjectName(QStringLiteral("autostartError"));
    autostartError_->setWordWrap(true);
    autostartError_->hide();
    stack->addWidget(autostartToggle_);
    stack->addWidget(autostartError_);
    if (!screenRecordingSettings.isEmpty()) {
        auto* open = new CaptureButtonStyle(false, this);
        open->setObjectName(QStringLiteral("screenRecordingSettingsButton"));
        open->setText(screenRecordingText);
        connect(open, &QAbstractButton::clicked, this,
                [screenRecordingSettings] { QDesktopServices::openUrl(screenRecordingSettings); });
        stack->addWidget(open, 0, Qt::AlignLeft);
    }

    connect(&preferences_, &ShortcutPreferences::startOrCaptureChanged, this,
            &SettingsView::refresh);
    connect(&preferences_, &ShortcutPreferences::recordingChanged, this, &SettingsView::refresh);
    refresh();
}

QWidget* SettingsView::buildShortcutField() {
    field_ = new ShortcutField(this);
    field_->setObjectName(QStringLiteral("shortcutField"));
    field_->setAccessibleName(fieldLabel);
    // A click must not take the focus from the recorder; Tab and Space still reach it.
    field_->setFocusPolicy(Qt::TabFocus);
    field_->setFixedWidth(fixedWidth - 2 * inset);
    connect(field_, &QAbstractButton::clicked, this, &SettingsView::startRecording);

    fieldTitle_ = label(QString(), bodySize, darkScheme::primaryLabel(), field_);
    fieldTitle_->setObjectName(QStringLiteral("shortcutFieldTitle"));
    combination_ = label(QString(), bodySize, darkScheme::primaryLabel(), field_);
    combination_->setObjectName(QStringLiteral("shortcutCombination"));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(qRound(bodySize));
    combination_->setFont(mono);

    auto* row = new QHBoxLayout(field_);
    row->setContentsMargins(fieldPadding, fieldPadding, fieldPadding, fieldPadding);
    row->addWidget(fieldTitle_);
    row->addStretch(1);
    row->addWidget(combination_);
    return field_;
}

QWidget* SettingsView::buildDesktopBinding() {
    desktopBinding_ = new QWidget(this);
    desktopBinding_->setObjectName(QStringLiteral("desktopShortcut"));
    auto* explanation =
        label(desktopBindsText, bodySize, darkScheme::primaryLabel(), desktopBinding_);
    explanation->setObjectName(QStringLiteral("desktopShortcutText"));
    explanation->setWordWrap(true);
    auto* command = label(captureCommand, bodySize, darkScheme::primaryLabel(), desktopBinding_);
    command->setObjectName(QStringLiteral("desktopShortcutCommand"));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(qRound(bodySize));
    command->setFont(mono);
    command->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* copy = new CaptureButtonStyle(false, desktopBinding_);
    copy->setObjectName(QStringLiteral("copyCommandButton"));
    copy->setText(copyCommandText);
    connect(copy, &QAbstractButton::clicked, this,
            [] { QGuiApplication::clipboard()->setText(captureCommand); });

    auto* row = new QHBoxLayout;
    row->addWidget(command);
    row->addStretch(1);
    row->addWidget(copy);
    auto* column = new QVBoxLayout(desktopBinding_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addWidget(explanation);
    column->addLayout(row);
    desktopBinding_->setFixedWidth(fixedWidth - 2 * inset);
    desktopBinding_->hide();
    return desktopBinding_;
}

void SettingsView::setDesktopBindsShortcuts(bool binds) {
    if (binds)
        finishRecording();
    desktopBinds_ = binds;
    refresh();
}

void SettingsView::startRecording() {
    // There is no hot key of tovik's to record.
    if (desktopBinds_)
        return;
    draft_ = preferences_.startOrCapture();
    shortcutError_.reset();
    focusID_ = QUuid::createUuid();
    if (!recorder_) {
        recorder_ = new ShortcutRecorder(layout_, field_);
        recorder_->setGeometry(field_->rect());
        recorder_->setCallbacks({
            .onShortcut =
                [this](const ShortcutBinding& binding) {
                    draft_ = binding;
                    setShortcutError(std::nullopt);
                },
            .onCancel = [this] { finishRecording(); },
            .onClear =
                [this] {
                    draft_.reset();
                    setShortcutError(std::nullopt);
                },
            .onConfirm = [this] { confirm(); },
            .onInvalid = [this] { setShortcutError(invalidText); },
        });
        recorder_->show();
    }
    recorder_->setFocusID(focusID_);
    preferences_.setRecording(true);
    refresh();
}

void SettingsView::finishRecording() {
    if (recorder_) {
        // Its callbacks may be running: it goes once they have returned, and says nothing
        // more on the way.
        recorder_->setCallbacks({});
        recorder_->hide();
        recorder_->deleteLater();
        recorder_ = nullptr;
    }
    preferences_.setRecording(false);
    draft_.reset();
    shortcutError_.reset();
    refresh();
}

void SettingsView::confirm() {
    if (!draft_) {
        setShortcutError(noDraftText);
        return;
    }
    const Outcome saved = preferences_.save(*draft_);
    if (saved)
        finishRecording();
    else
        setShortcutError(saved.failure().message());
}

void SettingsView::setShortcutError(std::optional<QString> error) {
    shortcutError_ = std::move(error);
    refresh();
}

void SettingsView::setStartsAtLogin(bool starts) {
    const Outcome written = autostart_.setEnabled(starts);
    autostartError_->setText(written ? QString() : written.failure().message());
    autostartError_->setVisible(!written);
    refresh();
}

void SettingsView::refresh() {
    // The file may have been added or removed by hand since.
    autostartToggle_->setChecked(autostart_.isEnabled());
    const bool recording = recorder_ != nullptr;
    field_->setVisible(!desktopBinds_);
    desktopBinding_->setVisible(desktopBinds_);
    fieldTitle_->setText(recording ? recordingTitle : idleTitle);
    if (recording)
        combination_->setText(draft_ ? draft_->displayString() : noDraft);
    else
        combination_->setText(preferences_.startOrCapture().displayString());
    hint_->setVisible(recording);
    error_->setText(shortcutError_.value_or(QString()));
    error_->setVisible(shortcutError_.has_value());
    loadProblem_->setText(preferences_.loadProblem());
    loadProblem_->setVisible(!preferences_.loadProblem().isEmpty());
}

} // namespace tovik
