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


#include "extraction/gallery_model.h"
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
        if (form->gallery->model() != form->galleryModel)
            form->gallery->setModel(form->galleryModel);
        form->outputFolderEdit->setText(out.path() + "/");
        h.boxes.boxes.clear();
    }
    void add(const QString& caption, const QImage& image = sampleIcon())
    {
        form->galleryModel->add(image, caption);
        form->galleryModel->addItems(); // shown in the gallery, as a run publishes it
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
        form->gallery->selectionModel()->select(form->galleryModel->index(row), QItemSelectionModel::Select);
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
    form->runs.start(gg::RunState::Activity::Saving);
    form->saveAllIcons();
    form->saveSelectedIcons();
    form->runs.finish();
    form->runs.start(gg::RunState::Activity::Extracting);
    form->saveAllIcons();
    form->runs.finish();
    EXPECT_TRUE(h.boxes.boxes.empty());
    EXPECT_TRUE(files().isEmpty());
}

} // namespace
