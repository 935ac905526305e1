#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "extraction/gallery_model.h"
#include "icons/save_names.h"
#include "support/window_harness.h"
#include "support/icotool.h"

namespace {

// A 32 x 32 icon: a transparent background, an opaque red square, a half-transparent blue stripe.
QImage sampleIcon(QColor fill = Qt::red)
{
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.fillRect(8, 8, 16, 16, fill);
    p.fillRect(0, 30, 32, 2, QColor(0, 0, 255, 128));
    return icon;
}


struct SaveFixture : ::testing::Test {
    gg::test::WindowHarness h;
    QTemporaryDir out;
    gg::MainWindow* form = nullptr;

    void SetUp() override
    {
        form = &h.open();
        if (form->gallery->model() != form->galleryImages)
            form->gallery->setModel(form->galleryImages);
        form->outputFolderEdit->setText(out.path() + "/");
        h.boxes.boxes.clear();
    }
    void add(const QString& caption, const QImage& image = sampleIcon())
    {
        form->galleryImages->add(image, caption);
        form->galleryImages->addItems(); // shown in the gallery, as a run publishes it
    }
    QStringList texts() const
    {
        QStringList t;
        for (const auto& b : h.boxes.boxes)
            t << b.text;
        return t;
    }
    QStringList files() const { return QDir(out.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    void select(int row)
    {
        form->gallery->selectionModel()->select(form->galleryImages->index(row), QItemSelectionModel::Select);
    }
};

TEST_F(SaveFixture, EmptyGallerySaysDoneOnly)
{
    form->saveAllIcons();
    form->saveSelectedIcons();
    EXPECT_EQ(texts(), (QStringList{"Done.", "Done."}));
    EXPECT_TRUE(files().isEmpty());
    EXPECT_EQ(h.boxes.boxes[0].title, form->appTitle());
    EXPECT_EQ(h.boxes.boxes[0].icon, gg::BoxIcon::None);
}

TEST_F(SaveFixture, ItemsOfOneFileGetNumberedNamesAndKeepTheirShape)
{
    add("a.dll");
    add("a.dll", sampleIcon(Qt::green));
    add("a.dll");
    add("my.icons.icl");
    add("README");
    form->saveAllIcons();
    EXPECT_EQ(texts(), QStringList{"Done."});
    EXPECT_EQ(files(), (QStringList{"README.ico", "a.ico", "a1.ico", "a2.ico", "my.icons.ico"}));

    // Read back by an independent decoder: the shape survives as the mask, colours as drawn.
    const QImage back = gg::test::decodeWithIcotool(out.filePath("a1.ico"));
    if (back.isNull())
        GTEST_SKIP() << "icotool is not installed";
    EXPECT_EQ(back.size(), QSize(32, 32));
    EXPECT_EQ(qAlpha(back.pixel(0, 0)), 0) << "the transparent background stays transparent";
    EXPECT_EQ(back.pixel(12, 12), qRgb(0, 255, 0));
    // Half-transparent pixels are blended over the key colour and then stay opaque.
    const QRgb stripe = back.pixel(5, 31);
    EXPECT_EQ(qAlpha(stripe), 255);
    EXPECT_EQ(qRed(stripe), 98);
    EXPECT_EQ(qBlue(stripe), 226);
}

TEST_F(SaveFixture, ASecondRunFillsGapsAndNeverTouchesExistingFiles)
{
    auto put = [&](const QString& name, const QByteArray& bytes) {
        QFile f(out.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    put("a.ico", "not a picture at all");
    put("a2.ico", "");
    add("a.dll");
    add("a.dll");
    form->saveAllIcons();
    EXPECT_EQ(files(), (QStringList{"a.ico", "a1.ico", "a2.ico", "a3.ico"}));
    QFile kept(out.filePath("a.ico"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("not a picture at all"));
    EXPECT_EQ(QFileInfo(out.filePath("a2.ico")).size(), 0);
}

TEST_F(SaveFixture, SavingSelectedIconsTakesOnlyTheSelection)
{
    add("none.dll");
    add("one.dll");
    add("two.exe");
    add("three.ico");
    form->saveSelectedIcons();
    EXPECT_TRUE(files().isEmpty()) << "nothing selected";
    select(1);
    form->saveSelectedIcons();
    EXPECT_EQ(files(), QStringList{"one.ico"});
    select(2);
    select(3);
    form->saveSelectedIcons();
    EXPECT_EQ(files(), (QStringList{"one.ico", "one1.ico", "three.ico", "two.ico"}));
    EXPECT_EQ(texts(), (QStringList{"Done.", "Done.", "Done."}));
}

TEST_F(SaveFixture, AMissingOutputFolderIsSaidOnceAndTheRunIsNotDone)
{
    add("a.dll");
    add("b.dll");
    form->outputFolderEdit->setText(out.filePath("gone") + "/");
    form->saveAllIcons();
    EXPECT_EQ(texts(), QStringList{"Folder does not exist. Please select another folder."});
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(SaveFixture, AFolderTypedWithoutASeparatorStillReceivesTheFiles)
{
    add("a.dll");
    form->outputFolderEdit->setText(out.path());
    form->saveAllIcons();
    EXPECT_EQ(files(), QStringList{"a.ico"});
}

TEST_F(SaveFixture, AFolderThatTakesNoFilesIsReportedOnceAndEndsTheRun)
{
    // Even root cannot make files in a process folder.
    add("a.dll");
    add("b.dll");
    add("c.dll");
    form->outputFolderEdit->setText(QStringLiteral("/proc/self/"));
    form->saveAllIcons();
    ASSERT_EQ(h.boxes.boxes.size(), 1u) << texts().join(" | ").toStdString();
    EXPECT_EQ(h.boxes.boxes[0].title, QStringLiteral("Application Error"));
    EXPECT_EQ(form->mousePointer(), gg::kPointerDefault);
}

TEST_F(SaveFixture, NoSecondRunStartsWhileOneIsUnderWay)
{
    add("a.dll");
    form->saveRun.saving = true;
    form->saveAllIcons();
    form->saveSelectedIcons();
    form->saveRun.saving = false;
    form->extraction.extracting = true;
    form->saveAllIcons();
    form->extraction.extracting = false;
    EXPECT_TRUE(h.boxes.boxes.empty());
    EXPECT_TRUE(files().isEmpty());
}

TEST(SaveNames, BasePath)
{
    EXPECT_EQ(gg::SaveBasePath("/out/", "shell32.dll"), "/out/shell32");
    EXPECT_EQ(gg::SaveBasePath("/out/", "my.icons.icl"), "/out/my.icons");
    EXPECT_EQ(gg::SaveBasePath("/out/", "trailing."), "/out/trailing");
    EXPECT_EQ(gg::SaveBasePath("/out", "a.dll"), "/out/a");
    EXPECT_EQ(gg::SaveBasePath("/", "a.dll"), "/a");
    EXPECT_EQ(gg::SaveBasePath("/out/", "noext"), "/out/noext");
}

TEST(SaveNames, TheProbeSkipsEveryTakenNameAndGoesOnWhereTheBaseLeftOff)
{
    QTemporaryDir dir;
    const int folder = ::open(QFile::encodeName(dir.path()).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    auto touch = [&](const char* name) { ::close(::openat(folder, name, O_CREAT | O_WRONLY | O_CLOEXEC, 0644)); };
    touch("x.ico");
    ::symlinkat("nowhere", folder, "x1.ico"); // a dangling link holds its name too
    touch("x3.ico");

    // The names the folder held when it was read count as held; another folder's are its own.
    gg::FreeIconNames names;
    names.readFolder(folder);
    auto first = names.probe("x");
    EXPECT_EQ(first(folder), "x2.ico");
    EXPECT_EQ(first(folder), "x4.ico") << "asked again when x2.ico was taken meanwhile";
    first.taken();

    // A name freed behind the probe stays behind it for the rest of the run; another base and
    // another folder start from their own beginning.
    ::unlinkat(folder, "x.ico", 0);
    auto second = names.probe("x");
    EXPECT_EQ(second(folder), "x5.ico");
    auto third = names.probe("x");
    EXPECT_EQ(third(folder), "x5.ico") << "the icon before was not written, so it took no name";
    auto other = names.probe("y");
    EXPECT_EQ(other(folder), "y.ico");
    QTemporaryDir elsewhere;
    const int otherFolder = ::open(QFile::encodeName(elsewhere.path()).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    auto moved = names.probe("x");
    EXPECT_EQ(moved(otherFolder), "x.ico");
    ::close(otherFolder);
    ::close(folder);
}

} // namespace
