// The settings window and its shortcut recorder on the offscreen platform, with a keyboard
// whose keys the test names and a hot key that answers as told.
#include "app/settings_view.h"
#include "app/settings_window.h"
#include "shortcuts/shortcut_preferences.h"
#include "shortcuts/ui/shortcut_recorder.h"
#include "support/fake_keyboard_layout.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace tovik {
namespace {

using B = ShortcutBinding;
constexpr quint32 keycodeP = 33, keycode1 = 10;
const auto ctrlAlt = Qt::ControlModifier | Qt::AltModifier;

bool activate(QWidget& window) {
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

// A press as X11 delivers it to the widget with the focus.
void press(QWidget* target, int key, Qt::KeyboardModifiers modifiers = {}, quint32 keycode = 0,
           bool autoRepeat = false) {
    // Shortcuts see the press first, as on a real window system.
    QKeyEvent shortcut(QEvent::ShortcutOverride, key, modifiers, keycode, 0, 0, {}, autoRepeat);
    QApplication::sendEvent(target, &shortcut);
    QKeyEvent event(QEvent::KeyPress, key, modifiers, keycode, 0, 0, {}, autoRepeat);
    QApplication::sendEvent(target, &event);
}

class SettingsWindowTest : public ::testing::Test {
protected:
    SettingsWindowTest() {
        layout.keys = {{keycodeP, u'P'}, {keycode1, u'1'}};
        preferences.setApply([this](const B& binding) {
            applied.append(binding);
            return applyResult;
        });
    }
    void SetUp() override {
        window.present();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    template<typename T = QWidget> T* child(const char* name) const {
        return window.findChild<T*>(QString::fromLatin1(name));
    }
    QString text(const char* name) const { return child<QLabel>(name)->text(); }
    bool shown(const char* name) const { return child(name)->isVisible(); }
    // What the field shows: its title and the combination.
    QString field() const { return text("shortcutFieldTitle") + " " + text("shortcutCombination"); }
    QString error() const { return shown("shortcutError") ? text("shortcutError") : QString(); }

    // Clicks the field and waits until the recorder has the keyboard focus.
    bool startRecording() {
        QTest::mouseClick(child("shortcutField"), Qt::LeftButton);
        return QTest::qWaitFor([this] {
            return QApplication::focusWidget() &&
                   QApplication::focusWidget() == child("shortcutRecorder");
        });
    }
    QWidget* focus() const { return QApplication::focusWidget(); }
    bool showOther() {
        other.show();
        return QTest::qWaitForWindowExposed(&other);
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("tovik.conf"));
    FakeKeyboardLayout layout;
    ShortcutPreferences preferences{path};
    QList<B> applied;
    bool applyResult = true;
    QString autostartPath = dir.filePath(QStringLiteral("autostart/tovik.desktop"));
    SettingsWindow window{preferences, layout, QUrl(), AutostartEntry(autostartPath)};
    QWidget other; // another window, with a text field
    QLineEdit* edit = new QLineEdit(&other);
};

TEST_F(SettingsWindowTest, startAtLogin_writesAndRemovesTheAutostartEntry_showsTheFile) {
    auto* toggle = child<QCheckBox>("autostartToggle");
    EXPECT_FALSE(toggle->isChecked());
    toggle->click();
    QFile entry(autostartPath);
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_EQ(entry.readAll(), AutostartEntry::contents(QCoreApplication::applicationFilePath()));
    entry.close();
    EXPECT_TRUE(toggle->isChecked());
    toggle->click();
    EXPECT_FALSE(QFile::exists(autostartPath) || toggle->isChecked());

    // Put there, or removed, by hand: shown when the window next refreshes.
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.close();
    window.view()->refresh();
    EXPECT_TRUE(toggle->isChecked());
    ASSERT_TRUE(entry.remove());
    window.view()->refresh();
    EXPECT_FALSE(toggle->isChecked());
    // A folder that cannot hold it: the file system's words, and the toggle stays off.
    QFile blocker(dir.filePath(QStringLiteral("autostart")));
    ASSERT_TRUE(QDir(blocker.fileName()).removeRecursively() && blocker.open(QIODevice::WriteOnly));
    blocker.close();
    toggle->click();
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_TRUE(shown("autostartError"));
    EXPECT_TRUE(text("autostartError").startsWith(blocker.fileName()))
        << text("autostartError").toStdString();

    // Exec= quoted as desktop entries ask: a space, $, \ and % survive.
    EXPECT_TRUE(AutostartEntry::contents(R"(/a b/$x\y%)").contains(R"(Exec="/a b/\\$x\\\\y%%")"));
}

TEST_F(SettingsWindowTest, record_messagesKeepRecording_confirmSavesByKeyPosition_noShortcutFires) {
    EXPECT_EQ(field(), "Keyboard shortcut Ctrl+Shift+S");
    EXPECT_FALSE(shown("recordingHint") || shown("shortcutError") || shown("settingsFileProblem"));
    EXPECT_EQ(child("screenRecordingSettingsButton"), nullptr); // nothing to open on X11
    EXPECT_FALSE(shown("desktopShortcut"));
    int fired = 0;
    auto* action = new QAction(&window);
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_P));
    QObject::connect(action, &QAction::triggered, &window, [&fired] { ++fired; });
    window.addAction(action);

    ASSERT_TRUE(startRecording());
    EXPECT_TRUE(preferences.isRecording() && shown("recordingHint"));
    EXPECT_EQ(field(), "Press shortcut… Ctrl+Shift+S"); // the stored binding as draft
    press(focus(), Qt::Key_Delete);
    EXPECT_EQ(field(), "Press shortcut… —");
    press(focus(), Qt::Key_Return, Qt::ControlModifier); // confirms, whatever is held
    EXPECT_EQ(error(), "Press a shortcut before confirming.");
    press(focus(), Qt::Key_P, Qt::ShiftModifier, keycodeP);
    EXPECT_EQ(error(), "Use a letter or number with Ctrl, Alt, or Super.");
    EXPECT_EQ(field(), "Press shortcut… —");

    // Modifiers pressed on their own wait for their key.
    press(focus(), Qt::Key_Control, Qt::ControlModifier);
    press(focus(), Qt::Key_Alt, ctrlAlt);
    press(focus(), Qt::Key_P, ctrlAlt, keycodeP);
    EXPECT_EQ(field(), "Press shortcut… Ctrl+Alt+P");
    EXPECT_EQ(error(), "");
    applyResult = false;
    press(focus(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(error(), "This shortcut is unavailable. Choose another combination.");
    EXPECT_EQ(field(), "Press shortcut… Ctrl+Alt+P");
    EXPECT_TRUE(preferences.isRecording());
    EXPECT_EQ(preferences.startOrCapture(), B::defaultBinding());

    // A held key repeats: only its first press counts.
    press(focus(), Qt::Key_Backspace, Qt::ShiftModifier);
    EXPECT_EQ(field(), "Press shortcut… —");
    press(focus(), Qt::Key_P, ctrlAlt, keycodeP, true);
    EXPECT_EQ(field(), "Press shortcut… —");
    // A click on the field starts again from the stored binding.
    press(focus(), Qt::Key_Return);
    ASSERT_FALSE(error().isEmpty());
    ASSERT_TRUE(startRecording());
    EXPECT_EQ(field(), "Press shortcut… Ctrl+Shift+S");
    EXPECT_EQ(error(), "");

    // Qt names the shifted symbol; the key is the 1.
    applyResult = true;
    press(focus(), Qt::Key_Exclam, Qt::ControlModifier | Qt::ShiftModifier, keycode1);
    EXPECT_EQ(field(), "Press shortcut… Ctrl+Shift+1");
    press(focus(), Qt::Key_Return);
    EXPECT_EQ(applied, (QList<B>{B{"P", true, false, true}, B{"1", true, true}}));
    EXPECT_EQ(preferences.startOrCapture(), (B{"1", true, true}));
    EXPECT_EQ(field(), "Keyboard shortcut Ctrl+Shift+1");
    EXPECT_FALSE(preferences.isRecording() || shown("recordingHint"));
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !child("shortcutRecorder"); }));
    // Without a recorder the window's shortcuts work again.
    QTest::keyClick(&window, Qt::Key_P, ctrlAlt);
    EXPECT_EQ(fired, 1);
}

TEST_F(SettingsWindowTest, escapeOtherWindowDeactivationOrClose_endRecording_recorderCancelsOnce) {
    ASSERT_TRUE(showOther());
    const std::function<void()> ways[] = {
        [this] { press(focus(), Qt::Key_Escape, Qt::ShiftModifier); },
        [this] { QTest::mouseClick(edit, Qt::LeftButton); }, [this] { activate(other); },
        [this] { window.close(); }};
    for (const auto& way : ways) {
        window.present();
        ASSERT_TRUE(activate(window));
        ASSERT_TRUE(startRecording());
        way();
        EXPECT_FALSE(preferences.isRecording());
        EXPECT_EQ(field(), "Keyboard shortcut Ctrl+Shift+S");
    }
    EXPECT_TRUE(applied.isEmpty());

    // The recorder itself: cancels once, and leaves the other window's keys alone.
    int cancels = 0, invalid = 0;
    window.present();
    ASSERT_TRUE(activate(window));
    auto* recorder = new ShortcutRecorder(layout, window.view());
    ShortcutRecorder::Callbacks callbacks;
    callbacks.onCancel = [&cancels] { ++cancels; };
    callbacks.onInvalid = [&invalid] { ++invalid; };
    recorder->setCallbacks(callbacks);
    recorder->show();
    recorder->setFocusID(QUuid::createUuid());
    ASSERT_TRUE(QTest::qWaitFor([recorder] { return recorder->hasFocus(); }));

    QTest::keyClick(edit, Qt::Key_X);
    EXPECT_EQ(edit->text(), "x");
    EXPECT_EQ(invalid, 0);
    press(recorder, Qt::Key_Escape);
    QTest::mouseClick(edit, Qt::LeftButton);
    ASSERT_TRUE(activate(other));
    EXPECT_EQ(cancels, 1);
    EXPECT_TRUE(recorder->isFinishing());
    // Presses are still handled; a new focus token takes the focus again.
    press(recorder, Qt::Key_F5, Qt::ControlModifier);
    EXPECT_EQ(invalid, 1);
    ASSERT_TRUE(activate(window));
    child("shortcutField")->setFocus();
    const QUuid token = QUuid::createUuid();
    recorder->setFocusID(token);
    EXPECT_TRUE(QTest::qWaitFor([recorder] { return recorder->hasFocus(); }));
    child("shortcutField")->setFocus();
    recorder->setFocusID(token);
    QTest::qWait(10);
    EXPECT_FALSE(recorder->hasFocus());
    delete recorder;
}

TEST_F(SettingsWindowTest, desktopBindsShortcuts_showsTheCommandToBind_andCopiesIt) {
    window.view()->setDesktopBindsShortcuts(true);
    EXPECT_FALSE(shown("shortcutField"));
    ASSERT_TRUE(shown("desktopShortcut"));
    EXPECT_EQ(text("desktopShortcutCommand"), "tovik capture");
    // On the offscreen platform the clipboard is the test process's own.
    QGuiApplication::clipboard()->clear();
    child<QAbstractButton>("copyCommandButton")->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "tovik capture");
    // Nothing of tovik's to record.
    window.view()->startRecording();
    EXPECT_FALSE(preferences.isRecording());
}

TEST_F(SettingsWindowTest, settingsFileProblem_shownNamingTheFile_settingsPageButtonWithAUrl) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("\x01\x02 not settings") > 0);
    file.close();
    ShortcutPreferences broken(path);
    SettingsWindow other(broken, layout, QUrl(QStringLiteral("settings:privacy")));
    other.present();
    const auto* problem = other.findChild<QLabel*>(QStringLiteral("settingsFileProblem"));
    ASSERT_TRUE(problem && problem->isVisible());
    EXPECT_EQ(problem->text(), broken.loadProblem()); // which names the file
    EXPECT_NE(other.findChild<QAbstractButton*>(QStringLiteral("screenRecordingSettingsButton")),
              nullptr);
}

} // namespace
} // namespace tovik
