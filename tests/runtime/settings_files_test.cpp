// What the program reads and keeps besides its own settings file: nothing. A system-wide
// Vorlentis.conf is never read, Qt's file dialog leaves no QtProject.conf and remembers nothing,
// and the folder dialog without a start folder opens at its own default place every time.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include "runtime/dialogs.h"
#include "runtime/settings_store.h"

namespace {

QString userConfigFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

TEST(SettingsFiles, ASystemWideFileIsNeverRead)
{
    QTemporaryDir system;
    QFile file(system.filePath(QStringLiteral("Vorlentis.conf")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Tessaly%20Glimmer%20Gatherer%20Suite]\n"
               "Output%20Directory=/chosen/by/the/system/\nLastFolderDot=/etc\n");
    file.close();
    QSettings(userConfigFolder() + QStringLiteral("/Vorlentis.conf"), QSettings::IniFormat).remove(gg::kSettingsSection);
    const QByteArray before = qgetenv("XDG_CONFIG_DIRS");
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(system.path()));

    EXPECT_EQ(gg::readSetting(gg::kKeyOutputDirectory, QStringLiteral("default")), QStringLiteral("default"));
    EXPECT_EQ(gg::readSetting(gg::kKeyLastFolderDot, QString()), QString());
    gg::writeSetting(gg::kKeyLastFolderDot, QStringLiteral("/mine"));
    EXPECT_EQ(gg::readSetting(gg::kKeyLastFolderDot, QString()), QStringLiteral("/mine"));
    EXPECT_EQ(gg::readSetting(gg::kKeyOutputDirectory, QStringLiteral("default")), QStringLiteral("default"));

    qputenv("XDG_CONFIG_DIRS", before);
}

TEST(SettingsFiles, TheFileDialogLeavesNoSettingsFileOfItsOwn)
{
    gg::keepOnlyOwnSettingsFile();
    {
        QFileDialog dialog; // saves what it remembers when it goes
        dialog.setDirectory(QDir::tempPath());
    }
    gg::writeSetting(gg::kKeyLastFolderDot, QStringLiteral("/kept"));
    EXPECT_EQ(gg::readSetting(gg::kKeyLastFolderDot, QString()), QStringLiteral("/kept"));
    const QStringList files = QDir(userConfigFolder()).entryList(QDir::Files);
    EXPECT_TRUE(files.contains(QStringLiteral("Vorlentis.conf")));
    EXPECT_FALSE(files.contains(QStringLiteral("QtProject.conf"))) << files.join(u' ').toStdString();

    // Qt's own places again, for the tests that follow in this process.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, userConfigFolder());
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope,
                       QLibraryInfo::path(QLibraryInfo::SettingsPath));
}

// Answers the next folder dialog as a person would: notes where it opened, then chooses that
// folder or cancels.
void answerNextDialog(bool accept, QString* openedAt)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            *openedAt = dialog->directory().absolutePath();
            QDialog* asked = dialog; // accept() is public on QDialog
            accept ? asked->accept() : asked->reject();
            poll->deleteLater();
        }
    });
    poll->start(5);
}

TEST(FolderDialog, WithoutAStartFolderItOpensAtHomeEvenAfterAnotherFolderWasChosen)
{
    QTemporaryDir elsewhere;
    gg::QtDialogs dialogs;
    QString openedAt;
    answerNextDialog(true, &openedAt);
    EXPECT_EQ(dialogs.browseForFolder(nullptr, QStringLiteral("Please select folder:"), elsewhere.path()),
              elsewhere.path());
    EXPECT_EQ(openedAt, elsewhere.path());

    answerNextDialog(false, &openedAt);
    EXPECT_EQ(dialogs.browseForFolder(nullptr, QStringLiteral("Please select folder:"), QString()), QString());
    EXPECT_EQ(openedAt, QDir::homePath());
}

} // namespace
