#include "shortcuts/shortcut_binding_printer.h"
#include "shortcuts/shortcut_preferences.h"

#include <QDir>
#include <QFile>
#include <QPoint>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tovik {
namespace {

const ShortcutBinding ctrlAltK{QStringLiteral("K"), true, false, true, false};
const ShortcutBinding superJ{QStringLiteral("J"), false, false, false, true};

class ShortcutPreferencesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    void store(const QVariant& value) {
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(ShortcutPreferences::settingsKey, value);
    }
    // The stored bytes; empty when nothing or something else is stored.
    QByteArray stored() const {
        const QVariant value =
            QSettings(path, QSettings::IniFormat).value(ShortcutPreferences::settingsKey);
        return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
    }
    QByteArray fileBytes() const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Answers `applyResult` and remembers what it was asked.
    ShortcutPreferences::ApplyFunction recordingApply() {
        return [this](const ShortcutBinding& binding) {
            applied.append(binding);
            return applyResult;
        };
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("tovik/tovik.conf"));
    QList<ShortcutBinding> applied;
    bool applyResult = true;
};

TEST_F(ShortcutPreferencesTest, load_restoresStoredBindingOrDefaultWithoutWriting) {
    EXPECT_EQ(ShortcutPreferences(path).startOrCapture(), ShortcutBinding::defaultBinding());
    EXPECT_FALSE(QFile::exists(path));
    store(ctrlAltK.toJson());
    EXPECT_EQ(ShortcutPreferences(path).startOrCapture(), ctrlAltK);
}

TEST_F(ShortcutPreferencesTest, load_unusableStoredValue_keepsDefaultAndLeavesFileAlone) {
    const QVariant cases[] = {
        QByteArray(R"({"key":"s","command":true,"shift":false,"option":false,"control":false})"),
        QByteArray(R"({"key":"F1","command":true,"shift":false,"option":false,"control":false})"),
        QByteArray(R"({"key":"K","command":false,"shift":true,"option":false,"control":false})"),
        QByteArray(R"({"key":"K","command":true,"shift":false,"option":false})"),
        QByteArray(R"({"key":"K","command":"yes","shift":false,"option":false,"control":false})"),
        QByteArray(R"({"key":"K","command":true,"shift":false,"opt)"),
        QByteArray("\x89PNG\r\n\x1a\n"),
        QString::fromUtf8(ctrlAltK.toJson()),
        QVariant(42),
    };
    for (const QVariant& value : cases) {
        SCOPED_TRACE(value.toString().toStdString());
        QFile::remove(path);
        store(value);
        const QByteArray before = fileBytes();
        ASSERT_FALSE(before.isEmpty());
        {
            ShortcutPreferences preferences(path);
            EXPECT_EQ(preferences.startOrCapture(), ShortcutBinding::defaultBinding());
        }
        EXPECT_EQ(fileBytes(), before);
    }
}

TEST_F(ShortcutPreferencesTest, save_invalidOrWithoutApply_failsAndStoresNothing) {
    ShortcutPreferences preferences(path);
    EXPECT_EQ(preferences.save(ctrlAltK).failure().message(),
              "This shortcut is unavailable. Choose another combination.");

    preferences.setApply(recordingApply());
    const ShortcutBinding shiftA{QStringLiteral("A"), false, true, false, false};
    const ShortcutBinding shiftMinus{QStringLiteral("-"), false, true, false, false};
    EXPECT_TRUE(preferences.save(shiftA).failure().is(ShortcutError::noPrimaryModifier));
    EXPECT_TRUE(preferences.save(shiftMinus).failure().is(ShortcutError::keyNotInTable));
    EXPECT_TRUE(applied.isEmpty());
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(preferences.startOrCapture(), ShortcutBinding::defaultBinding());
}

TEST_F(ShortcutPreferencesTest, save_refusedByApply_keepsPreviousBindingEverywhere) {
    store(superJ.toJson());
    const QByteArray before = fileBytes();
    ShortcutPreferences preferences(path);
    QSignalSpy changes(&preferences, &ShortcutPreferences::startOrCaptureChanged);
    applyResult = false;
    preferences.setApply(recordingApply());

    EXPECT_TRUE(preferences.save(ctrlAltK).failure().is(ShortcutError::unavailable));
    EXPECT_EQ(applied, QList<ShortcutBinding>{ctrlAltK});
    EXPECT_EQ(preferences.startOrCapture(), superJ);
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(fileBytes(), before);
}

TEST_F(ShortcutPreferencesTest, save_accepted_appliesStoresAndNotifiesOnce) {
    ShortcutPreferences preferences(path);
    QSignalSpy changes(&preferences, &ShortcutPreferences::startOrCaptureChanged);
    preferences.setApply(recordingApply());

    EXPECT_TRUE(preferences.save(ctrlAltK).ok());
    EXPECT_EQ(applied, QList<ShortcutBinding>{ctrlAltK});
    EXPECT_EQ(preferences.startOrCapture(), ctrlAltK);
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.first().first().value<ShortcutBinding>(), ctrlAltK);
    EXPECT_EQ(stored(), ctrlAltK.toJson());
    EXPECT_EQ(ShortcutPreferences(path).startOrCapture(), ctrlAltK);
}

TEST_F(ShortcutPreferencesTest, save_currentBinding_stillAppliesAndStoresButNotifiesNobody) {
    ShortcutPreferences preferences(path);
    QSignalSpy changes(&preferences, &ShortcutPreferences::startOrCaptureChanged);
    preferences.setApply(recordingApply());

    EXPECT_TRUE(preferences.save(ShortcutBinding::defaultBinding()).ok());
    EXPECT_EQ(applied.size(), 1);
    EXPECT_EQ(stored(), ShortcutBinding::defaultBinding().toJson());
    EXPECT_EQ(changes.count(), 0);
}

TEST_F(ShortcutPreferencesTest, save_unwritableFile_restoresHotKeyAndChangesNothing) {
    store(superJ.toJson());
    ShortcutPreferences preferences(path);
    QSignalSpy changes(&preferences, &ShortcutPreferences::startOrCaptureChanged);
    preferences.setApply(recordingApply());
    // A directory where the file should be cannot be written, not even by root.
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkpath(path));

    const Outcome outcome = preferences.save(ctrlAltK);
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.failure().message(), "Couldn’t save this shortcut.");
    EXPECT_EQ(preferences.startOrCapture(), superJ);
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(applied, (QList<ShortcutBinding>{ctrlAltK, superJ}));

    // Once the file can be written again, an unrelated setting must not carry the
    // refused binding along.
    ASSERT_TRUE(QDir(path).removeRecursively());
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(QStringLiteral("tovikFloatingToolbar"), QPoint(10, 20));
    }
    EXPECT_NE(stored(), ctrlAltK.toJson());
}

TEST_F(ShortcutPreferencesTest, isRecording_notifiesOncePerChange) {
    ShortcutPreferences preferences(path);
    QSignalSpy spy(&preferences, &ShortcutPreferences::recordingChanged);

    for (const bool recording : {false, true, true, false, false})
        preferences.setRecording(recording);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).toBool(), true);
    EXPECT_EQ(spy.at(1).at(0).toBool(), false);
}

} // namespace
} // namespace tovik
