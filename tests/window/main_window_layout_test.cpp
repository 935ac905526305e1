#include <QAbstractButton>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QProgressBar>
#include <QRadioButton>
#include <QTreeView>
#include <gtest/gtest.h>

#include "window/window_layout.h"
#include "sources/folder_list.h"
#include "support/window_harness.h"

namespace {

QString captionOf(QWidget* w)
{
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->title();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* p = qobject_cast<QProgressBar*>(w))
        return p->text();
    return {};
}

TEST(MainWindowLayout, EveryControlSitsWhereTheTableSaysWithItsCaptionAndFont)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    EXPECT_EQ(form.size(), QSize(536, 664));
    for (const auto& place : gg::layout::kVisibleControls) {
        const QString name = QString::fromLatin1(place.name.data(), static_cast<qsizetype>(place.name.size()));
        SCOPED_TRACE(name.toStdString());
        auto* w = form.findChild<QWidget*>(name);
        ASSERT_NE(w, nullptr);
        const QRect expected = gg::layout::rectFromTwips(place.left, place.top, place.width, place.height);
        if (name == QLatin1String("Label1")) {
            // Widened so the list of extensions is not cut; it keeps its place and height.
            EXPECT_EQ(w->pos(), expected.topLeft());
            EXPECT_EQ(w->height(), expected.height());
            EXPECT_GE(w->width(), expected.width());
        } else {
            EXPECT_EQ(w->geometry(), expected);
        }
        if (!place.caption.empty())
            EXPECT_EQ(captionOf(w), QString::fromLatin1(place.caption.data(),
                                                        static_cast<qsizetype>(place.caption.size())));
        EXPECT_EQ(w->font().family(), QStringLiteral("Arial"));
        EXPECT_TRUE(w->font().bold());
        const bool commandButton = name.startsWith(QLatin1String("PushButton"));
        EXPECT_DOUBLE_EQ(w->font().pointSizeF(), commandButton ? 11.25 : 9.0);
    }
    // The counters take the progress bar's place, one hidden while the other shows.
    EXPECT_EQ(form.countersLabel->geometry(), form.progressBar->geometry());
    EXPECT_FALSE(form.countersLabel->isVisibleTo(&form));
    EXPECT_TRUE(form.progressBar->isVisibleTo(&form));
}

TEST(MainWindowLayout, ArialResolvesToAMetricCompatibleFace)
{
    const QFontInfo info(QFont(QStringLiteral("Arial")));
    EXPECT_TRUE(info.family() == QLatin1String("Arial") || info.family() == QLatin1String("Liberation Sans"))
        << info.family().toStdString();
}

TEST(MainWindowLayout, TabOrderFollowsTheTabIndexes)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    const std::vector<QWidget*> expected{static_cast<QWidget*>(form.gallery),          form.saveSelectedButton, form.saveAllButton, form.fileTypeOptions[0],
                                         form.fileTypeOptions[1], form.sourceListView,   form.addFolderButton, form.clearListButton,
                                         form.startExtractingButton, form.chooseOutputFolderButton, form.outputFolderEdit,       form.loadListFileButton,
                                         form.loadSamplesButton};
    // The next control in the focus chain, skipping the inner parts of a compound control. (Only the
    // chosen one of the two options is a Tab stop; the keyboard tests walk the stops.)
    auto nextTabStop = [](QWidget* from) {
        QWidget* w = from->nextInFocusChain();
        while (w != from && (w->focusPolicy() == Qt::NoFocus || from->isAncestorOf(w)))
            w = w->nextInFocusChain();
        return w;
    };
    for (size_t i = 0; i + 1 < expected.size(); ++i)
        EXPECT_EQ(nextTabStop(expected[i]), expected[i + 1]) << expected[i]->objectName().toStdString();
}

TEST(MainWindowLayout, StartsWithApplicationFilesAndTheTitles)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    EXPECT_TRUE(form.fileTypeOptions[1]->isChecked());
    EXPECT_FALSE(form.fileTypeOptions[0]->isChecked());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tessaly Glimmer Gatherer Suite"));
    EXPECT_EQ(form.appTitle(), QStringLiteral("Tessaly Glimmer Gatherer"));
    EXPECT_EQ(form.sourceFolders->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("Folder(s)"));
    EXPECT_EQ(form.sourceListView->header()->sectionSize(0), 467); // 7000 twips, 466.67 px
    EXPECT_EQ(form.sourceFolders->count(), 0);
    EXPECT_FALSE(form.windowIcon().isNull());
    for (int size : {32, 48, 128, 256})
        EXPECT_FALSE(form.windowIcon().pixmap(size, size).isNull()) << size;
    EXPECT_TRUE(h.boxes.boxes.empty());
}

TEST(MainWindowLayout, GrabsTheWindowAsAPicture)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    form.show();
    const QPixmap shot = form.grab();
    EXPECT_EQ(shot.size(), QSize(536, 664) * shot.devicePixelRatio());
    const QString dir = QStringLiteral(GG_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    EXPECT_TRUE(shot.save(dir + QStringLiteral("/window.png")));
    // The window is white where no control stands.
    EXPECT_EQ(shot.toImage().pixelColor(2, 660), QColor(Qt::white));
}

} // namespace
