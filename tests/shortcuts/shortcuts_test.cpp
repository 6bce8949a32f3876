#include "shortcuts/global_shortcut.h"
#include "shortcuts/settings_file.h"
#include "shortcuts/shortcut_binding.h"
#include "shortcuts/shortcut_preferences.h"
#include "support/fake_hot_key_backend.h"
#include "support/fake_keyboard_layout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tovik {

inline void PrintTo(const ShortcutBinding& binding, std::ostream* os) {
    *os << binding.toJson().constData();
}

namespace {

using B = ShortcutBinding;
using Grab = FakeHotKeyBackend::Grab;
// X11 values, written out so that a wrong constant in the code shows.
constexpr quint16 shiftMask = 0x01, controlMask = 0x04, mod1Mask = 0x08, mod4Mask = 0x40;
const B ctrlAltK{"K", true, false, true, false};
const B superJ{"J", false, false, false, true};

TEST(ShortcutBinding, validityAndForms) {
    for (const B& valid : {B{"A", true}, B{"0", false, false, true}, superJ})
        EXPECT_TRUE(valid.isValid()) << valid.toJson().constData();
    EXPECT_EQ((B{"A", false, true}).validationError(), ShortcutError::noPrimaryModifier);
    // A key outside the table is reported before a missing modifier.
    for (const QString key : {"s", "F1", "", "Ä"})
        EXPECT_EQ((B{key, false, true}).validationError(), ShortcutError::keyNotInTable);

    const B all{"7", true, true, true, true};
    EXPECT_EQ(all.displayString(), "Ctrl+Alt+Shift+Super+7");
    // Grabs use the unshifted (lower-case) keysym.
    EXPECT_EQ(B::defaultBinding().hotKeyGrab(), (HotKeyGrab{0x73, controlMask | shiftMask}));
    EXPECT_EQ(all.hotKeyGrab(), (HotKeyGrab{0x37, controlMask | shiftMask | mod1Mask | mod4Mask}));
    EXPECT_EQ((B{"s", true}).hotKeyGrab(), std::nullopt);
    EXPECT_EQ((B{"4", false, false, true, true}).keySequence(),
              QKeySequence(Qt::ALT | Qt::META | Qt::Key_4));
    EXPECT_TRUE((B{"-", true}).keySequence().isEmpty());

    // JSON: compact, exactly the five members; read in any order, extra members ignored,
    // validity left to isValid().
    EXPECT_EQ(ctrlAltK.toJson(),
              R"({"command":true,"control":false,"key":"K","option":true,"shift":false})");
    for (int flags = 0; flags < 16; ++flags) {
        const B original{"Q", bool(flags & 1), bool(flags & 2), bool(flags & 4), bool(flags & 8)};
        EXPECT_EQ(B::fromJson(original.toJson()), original) << flags;
    }
    EXPECT_EQ(B::fromJson(R"({"control":true,"v":2,"option":false,"shift":false,"command":false,
                              "key":"s"})"),
              (B{"s", false, false, false, true}));
    for (const char* broken :
         {R"({"key":"S","command":true,"shift":true,"option":false})",
          R"({"key":"S","command":1,"shift":true,"option":false,"control":false})",
          R"({"key":83,"command":true,"shift":true,"option":false,"control":false})",
          R"([{"key":"S","command":true,"shift":true,"option":false,"control":false}])"})
        EXPECT_EQ(B::fromJson(broken), std::nullopt) << broken;
}

// A press as the X11 platform reports it: Qt's key is the shifted or non-Latin symbol, the
// native scan code the X keycode.
QKeyEvent press(int qtKey, Qt::KeyboardModifiers modifiers, quint32 keycode) {
    return QKeyEvent(QEvent::KeyPress, qtKey, modifiers, keycode, 0, 0);
}

TEST(ShortcutBinding, fromKeyEvent_byQtKeyOrByKeyPosition) {
    const auto ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
    const auto keypad = Qt::ControlModifier | Qt::KeypadModifier;
    EXPECT_EQ(B::fromKeyEvent(Qt::Key_7, ctrlAlt | Qt::ShiftModifier | Qt::MetaModifier),
              (B{"7", true, true, true, true}));
    EXPECT_EQ(B::fromKeyEvent(Qt::Key_S, Qt::ShiftModifier), std::nullopt);
    // Keypad digits are keys of their own.
    EXPECT_EQ(B::fromKeyEvent(Qt::Key_1, keypad), std::nullopt);
    for (const int key : {Qt::Key_F1, Qt::Key_Minus, Qt::Key_Control, Qt::Key_unknown})
        EXPECT_EQ(B::fromKeyEvent(key, ctrlAlt), std::nullopt) << key;

    FakeKeyboardLayout layout;
    layout.keys = {{10, u'1'}, {24, u'Q'}, {33, u'P'}};
    // A Cyrillic layout: the Latin letter of the same key.
    EXPECT_EQ(B::fromKeyEvent(press(0x0439, Qt::ControlModifier, 24), layout), (B{"Q", true}));
    // The key decides, not what Qt made of it (a remapped or Dvorak key).
    EXPECT_EQ(B::fromKeyEvent(press(Qt::Key_R, Qt::AltModifier, 33), layout),
              (B{"P", false, false, true}));
    EXPECT_EQ(B::fromKeyEvent(press(Qt::Key_1, keypad, 10), layout), std::nullopt);
    // A key without letter or digit, and a synthesised press, go by Qt's key.
    EXPECT_EQ(B::fromKeyEvent(press(Qt::Key_Minus, Qt::ControlModifier, 20), layout), std::nullopt);
    EXPECT_EQ(B::fromKeyEvent(press(Qt::Key_K, ctrlAlt, 0), layout), ctrlAltK);
}

class ShortcutsTest : public ::testing::Test {
protected:
    void store(const QVariant& value) {
        QSettings(path, QSettings::IniFormat).setValue(ShortcutPreferences::settingsKey, value);
    }
    QVariant stored() const {
        return QSettings(path, QSettings::IniFormat).value(ShortcutPreferences::settingsKey);
    }
    QByteArray fileBytes() const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Records what the hot key was asked to take and answers `applyResult`.
    void useApply() {
        preferences.setApply([this](const B& binding) {
            applied.append(binding);
            return applyResult;
        });
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("tovik/tovik.conf"));
    QList<B> applied;
    bool applyResult = true;
    ShortcutPreferences preferences{path};
    QSignalSpy changes{&preferences, &ShortcutPreferences::startOrCaptureChanged};
    FakeHotKeyBackend backend;
    GlobalShortcut shortcut{backend, preferences};
};

TEST_F(ShortcutsTest, load_storedBindingOrDefault_unusableValueOrFileDefaults_neverWritten) {
    EXPECT_EQ(preferences.startOrCapture(), B::defaultBinding());
    EXPECT_FALSE(QFile::exists(path));
    store(ctrlAltK.toJson());
    EXPECT_EQ(ShortcutPreferences(path).startOrCapture(), ctrlAltK);

    const QVariant unusable[] = {
        QByteArray(R"({"key":"K","command":false,"shift":true,"option":false,"control":false})"),
        QByteArray(R"({"key":"K","command":true,"shift":false,"opt)"),
        QByteArray("\x89PNG\r\n\x1a\n"),
        QString::fromUtf8(ctrlAltK.toJson()), // text, not the bytes this program stores
        QVariant(42)};
    for (const QVariant& value : unusable) {
        SCOPED_TRACE(value.toString().toStdString());
        store(value);
        const QByteArray before = fileBytes();
        ASSERT_FALSE(before.isEmpty());
        EXPECT_EQ(ShortcutPreferences(path).startOrCapture(), B::defaultBinding());
        EXPECT_EQ(fileBytes(), before);
    }

    // A file that cannot be read as a whole: the default, a message naming it, never a write.
    store(ctrlAltK.toJson());
    const QByteArray good = fileBytes();
    const QByteArray cases[] = {
        good + QByteArray("\xff\xfe\x00garbage\x01", 11), // not text
        good + "just words\n",                            // a line INI has no place for
        good + ";" + QByteArray(SettingsFile::maximumSize, 'x') + "\n", // too large to read
        {}, // a folder where the file should be: unreadable even for root
    };
    for (const QByteArray& bytes : cases) {
        SCOPED_TRACE(bytes.left(80).toStdString());
        QFile::remove(path);
        QDir(path).removeRecursively();
        if (bytes.isEmpty()) {
            ASSERT_TRUE(QDir().mkpath(path));
        } else {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        }
        ShortcutPreferences loaded(path);
        EXPECT_EQ(loaded.startOrCapture(), B::defaultBinding());
        EXPECT_TRUE(loaded.loadProblem().contains(path)) << loaded.loadProblem().toStdString();
        EXPECT_TRUE(loaded.loadProblem().contains("tovik runs on its default settings"));

        loaded.setApply([](const B&) { return true; });
        EXPECT_TRUE(loaded.save(superJ).failure().is(ShortcutError::notSaved));
        EXPECT_EQ(loaded.startOrCapture(), B::defaultBinding());
        if (bytes.isEmpty())
            EXPECT_TRUE(QFileInfo(path).isDir());
        else
            EXPECT_EQ(fileBytes(), bytes);
    }
    EXPECT_TRUE(ShortcutPreferences(QString(path).replace("tovik.conf", "absent.conf"))
                    .loadProblem()
                    .isEmpty());
}

TEST_F(ShortcutsTest, save_invalidOrRefusedChangesNothing_acceptedIsStoredAndNotifiedOnce) {
    EXPECT_TRUE(preferences.save(ctrlAltK).failure().is(ShortcutError::unavailable)); // no hot key
    useApply();
    EXPECT_TRUE(
        preferences.save(B{"A", false, true}).failure().is(ShortcutError::noPrimaryModifier));
    EXPECT_TRUE(preferences.save(B{"-", false, true}).failure().is(ShortcutError::keyNotInTable));
    applyResult = false;
    EXPECT_TRUE(preferences.save(ctrlAltK).failure().is(ShortcutError::unavailable));
    EXPECT_EQ(preferences.startOrCapture(), B::defaultBinding());
    EXPECT_FALSE(QFile::exists(path));

    applyResult = true;
    EXPECT_TRUE(preferences.save(ctrlAltK).ok());
    EXPECT_TRUE(preferences.save(ctrlAltK).ok()); // applied and stored again, no news
    EXPECT_EQ(applied, (QList<B>{ctrlAltK, ctrlAltK, ctrlAltK}));
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.first().first().value<B>(), ctrlAltK);
    EXPECT_EQ(stored(), ctrlAltK.toJson());
    // Unwritable (a folder where the file should be, even for root): the stored one goes back.
    ASSERT_TRUE(QFile::remove(path) && QDir().mkpath(path));
    EXPECT_TRUE(preferences.save(superJ).failure().is(ShortcutError::notSaved));
    EXPECT_EQ(preferences.startOrCapture(), ctrlAltK);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(applied.mid(3), (QList<B>{superJ, ctrlAltK}));

    QSignalSpy recordingChanges(&preferences, &ShortcutPreferences::recordingChanged);
    for (const bool recording : {false, true, true, false, false})
        preferences.setRecording(recording);
    EXPECT_EQ(recordingChanges, (QList<QVariantList>{{true}, {false}}));
}

// Bytes of the file as a person left it; the binding's line as this program writes it.
const QByteArray ctrlAltKLine =
    R"x(startOrCaptureShortcut="@ByteArray({\"command\":true,\"control\":false,\"key\":\"K\",)x"
    R"x(\"option\":true,\"shift\":false})")x";

TEST_F(ShortcutsTest, save_changesOnlyTheBindingsLine_everythingElseAsTheUserWroteIt) {
    useApply();
    // Written after start-up: what is on disk at the save counts.
    const QByteArray edited =
        "; mine\r\n[General]\r\nstartOrCaptureShortcut=@Invalid()\r\n"
        "theme = dark  \r\n\r\n[Other]\r\nstartOrCaptureShortcut=not ours\r\n";
    QDir().mkpath(QFileInfo(path).path());
    const auto write = [this](const QByteArray& bytes) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    ASSERT_TRUE(write(edited));
    ASSERT_TRUE(preferences.save(ctrlAltK).ok());
    QByteArray expected = edited;
    expected.replace("startOrCaptureShortcut=@Invalid()", ctrlAltKLine);
    EXPECT_EQ(fileBytes(), expected);
    EXPECT_EQ(ShortcutPreferences(path).startOrCapture(), ctrlAltK);

    // No General section yet: one at the top, the rest untouched.
    ASSERT_TRUE(write("[Other]\nx=1"));
    ASSERT_TRUE(preferences.save(ctrlAltK).ok());
    EXPECT_EQ(fileBytes(), "[General]\n" + ctrlAltKLine + "\n\n[Other]\nx=1");
}

TEST_F(ShortcutsTest, register_onlyUsableBindings_pressesRunWhileLive_releasedOnce) {
    // A bad key or a missing primary modifier never reaches the backend.
    EXPECT_FALSE(shortcut.registerShortcut(B{"k", true}));
    EXPECT_FALSE(shortcut.registerShortcut(B{"K", false, true}));
    EXPECT_TRUE(backend.requests.isEmpty());
    backend.refuse = true;
    EXPECT_FALSE(shortcut.registerShortcut(superJ));
    EXPECT_FALSE(shortcut.isLive() || backend.current);

    backend.refuse = false;
    useApply();
    ASSERT_TRUE(preferences.save(ctrlAltK).ok());
    int presses = 0;
    shortcut.setOnPress([&presses] { ++presses; });
    shortcut.unregisterShortcut();
    EXPECT_EQ(backend.ungrabCount, 0);
    backend.press();
    EXPECT_TRUE(shortcut.registerShortcut());
    const Grab ctrlAltKGrab{0x6b, ModifierMask::control | ModifierMask::alt};
    EXPECT_EQ(backend.current, ctrlAltKGrab);
    // While live, nothing changes.
    EXPECT_TRUE(shortcut.registerShortcut(superJ));
    EXPECT_EQ(backend.requests.size(), 2);
    EXPECT_EQ(backend.current, ctrlAltKGrab);
    backend.press();
    shortcut.unregisterShortcut();
    shortcut.unregisterShortcut();
    backend.press();
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(backend.ungrabCount, 1);
    EXPECT_FALSE(shortcut.isLive() || backend.current);

    auto other = std::make_unique<GlobalShortcut>(backend, preferences);
    EXPECT_TRUE(other->registerShortcut(superJ));
    EXPECT_EQ(backend.current, (Grab{0x6a, ModifierMask::super}));
    backend.press(); // no onPress: nothing to run
    other.reset();
    EXPECT_EQ(backend.ungrabCount, 2);
    EXPECT_FALSE(backend.current);
}

} // namespace
} // namespace tovik
