// Our count of icons in each PE and NE fixture equals the group icons icoutils' wrestool lists.
#include "icon_test_files.h"

#include "icons/icon_extractor.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

using namespace gg;
using namespace gg::test;

TEST(WrestoolCrossCheck, SameNumberOfGroupIcons)
{
    const QString wrestool = QStandardPaths::findExecutable("wrestool");
    if (wrestool.isEmpty())
        GTEST_SKIP() << "wrestool (icoutils) is not installed";
    const QStringList modules = QDir(GG_TEST_DATA).entryList({"*.dll", "*.exe", "*.icl"}, QDir::Files);
    ASSERT_GE(modules.size(), 7);
    for (const QString& name : modules) {
        SCOPED_TRACE(name.toStdString());
        QProcess process;
        process.start(wrestool, {"-l", "-t14", QDir(GG_TEST_DATA).filePath(name)});
        ASSERT_TRUE(process.waitForFinished(30000));
        const QString listing = QString::fromUtf8(process.readAllStandardOutput());
        const int listed = static_cast<int>(listing.count(QStringLiteral("--type=14")));
        EXPECT_EQ(IconSource::open(dataPath(name.toStdString())).count(), listed);
    }
}
