// The settings store and the output folder: start-up fill, "...", every change stored.
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "runtime/settings_store.h"
#include "sources/sources_support.h"
#include "support/window_harness.h"

namespace {

using gg::readSetting;
using gg::writeSetting;
using gg::test::WindowHarness;

struct OutputFolder : ::testing::Test {
    void SetUp() override { gg::test::clearSettingsStore(); }
    void TearDown() override { gg::test::clearSettingsStore(); }
};

TEST_F(OutputFolder, TheStoreKeepsTextVerbatimInTheUsersConfigFolder)
{
    EXPECT_EQ(readSetting(gg::kKeyLastFolderDot, QStringLiteral("default")), QStringLiteral("default"));
    writeSetting(gg::kKeyLastFolderDot, QString());
    EXPECT_EQ(readSetting(gg::kKeyLastFolderDot, QStringLiteral("default")), QString());
    for (const QString& value : {QStringLiteral("/with/separator/"), QStringLiteral("/without"),
                                 QStringLiteral("  spaced  "), QStringLiteral("a=b;c,d \"e\" \\f"),
                                 QStringLiteral("\xc3\xbc\xe8\x87\xaa")}) {
        writeSetting(gg::kKeyOutputDirectory, value);
        EXPECT_EQ(readSetting(gg::kKeyOutputDirectory, QString()), value);
    }
    // The store is the per-user file of the platform, in the configuration home the tests set.
    const QString file = qEnvironmentVariable("XDG_CONFIG_HOME") + "/Vorlentis.conf";
    ASSERT_TRUE(QFile::exists(file));
    QSettings raw(file, QSettings::IniFormat);
    EXPECT_EQ(raw.value("Tessaly Glimmer Gatherer Suite/LastFolderDot").toString(), QString());
}

TEST_F(OutputFolder, BrowsingShowsTheFolderWithASeparatorAndRemembersWhereItWas)
{
    QTemporaryDir temp;
    const QString out = temp.path();
    WindowHarness h;
    gg::MainWindow& form = h.open();
    h.dialogs.folders.push_back(out);
    form.chooseOutputFolder();
    EXPECT_EQ(form.outputFolderEdit->text(), out + "/");
    EXPECT_EQ(readSetting(gg::kKeyLastFolderDot, QString()), out);
    EXPECT_EQ(readSetting(gg::kKeyOutputDirectory, QString()), out + "/");
    ASSERT_EQ(h.dialogs.calls.size(), 1u);
    EXPECT_EQ(h.dialogs.calls[0].title, QStringLiteral("Please select folder:"));
    EXPECT_EQ(h.dialogs.calls[0].startFolder, QString());

    // The next browse opens where the last one ended; the root keeps its single separator.
    h.dialogs.folders.push_back(QStringLiteral("/"));
    form.chooseOutputFolder();
    EXPECT_EQ(h.dialogs.calls[1].startFolder, out);
    EXPECT_EQ(form.outputFolderEdit->text(), QStringLiteral("/"));
    EXPECT_EQ(readSetting(gg::kKeyLastFolderDot, QString()), QStringLiteral("/"));

    // Cancelling changes neither the box nor the store.
    form.chooseOutputFolder();
    EXPECT_EQ(form.outputFolderEdit->text(), QStringLiteral("/"));
    EXPECT_EQ(readSetting(gg::kKeyLastFolderDot, QString()), QStringLiteral("/"));
    EXPECT_EQ(readSetting(gg::kKeyOutputDirectory, QString()), QStringLiteral("/"));
    EXPECT_TRUE(h.boxes.boxes.empty());
}

TEST_F(OutputFolder, AStartFolderThatIsGoneOpensTheDialogAtItsDefault)
{
    writeSetting(gg::kKeyLastFolderDot, QStringLiteral("/no/such/folder/anywhere"));
    WindowHarness h;
    gg::MainWindow& form = h.open();
    form.chooseOutputFolder();
    ASSERT_EQ(h.dialogs.calls.size(), 1u);
    EXPECT_EQ(h.dialogs.calls[0].startFolder, QString());
    EXPECT_TRUE(h.boxes.boxes.empty());
}

TEST_F(OutputFolder, EveryKeystrokeIsStoredAndARestartReadsItBack)
{
    {
        WindowHarness h;
        gg::MainWindow& form = h.open();
        form.outputFolderEdit->clear();
        EXPECT_EQ(readSetting(gg::kKeyOutputDirectory, QStringLiteral("absent")), QString());
        for (const char* typed : {"/", "/o", "/ou", "/out"}) {
            QTest::keyClick(form.outputFolderEdit, QChar::fromLatin1(typed[qstrlen(typed) - 1]).toLatin1());
            EXPECT_EQ(readSetting(gg::kKeyOutputDirectory, QString()), QString::fromLatin1(typed));
        }
    }
    // A stored folder is shown as it is, whether or not it exists.
    WindowHarness again;
    gg::MainWindow& form = again.open();
    EXPECT_EQ(form.outputFolderEdit->text(), QStringLiteral("/out"));
    EXPECT_TRUE(again.boxes.boxes.empty());
}

TEST_F(OutputFolder, AddingFoldersNeitherUsesNorChangesTheLastBrowseFolder)
{
    QTemporaryDir temp;
    writeSetting(gg::kKeyLastFolderDot, temp.path());
    WindowHarness h;
    gg::MainWindow& form = h.open();
    h.dialogs.folders.push_back(temp.path());
    form.addFolderTree();
    ASSERT_EQ(h.dialogs.calls.size(), 1u);
    EXPECT_EQ(h.dialogs.calls[0].startFolder, QString());
    EXPECT_EQ(readSetting(gg::kKeyLastFolderDot, QString()), temp.path());
}

} // namespace
