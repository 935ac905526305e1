// The gallery's context menu, tooltips and dragging out, driven through the window with recorded
// boxes and scripted dialogs; and the save dialog itself.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QWindow>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

#include "extraction/gallery_export.h"
#include "extraction/gallery_model.h"
#include "extraction/qimage_conversion.h"
#include "icons/icon_extractor.h"
#include "icons/icon_groups.h"
#include "sources/folder_list.h"
#include "sources/unprivileged.h"
#include "support/window_harness.h"
#include "test_files.h"

using namespace gg;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

enum Entry { SaveOriginal, SavePng, CopyImage, AddToIconTheme };

// The gallery holds icons32.dll's five icons (rows 0 to 4) and tool.v2.exe's two (rows 5 and 6); the
// second's name keeps its first dot in the names of its saved icons.
class GalleryMenu : public ::testing::Test {
protected:
    void SetUp() override
    {
        source = test::makeFolder(data.path(), QStringLiteral("source"));
        output = test::makeFolder(data.path(), QStringLiteral("out"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(GG_TEST_DATA "/icons32.dll"), dll()));
        ASSERT_TRUE(QFile::copy(QStringLiteral(GG_TEST_DATA "/tool.exe"), exe()));
        form = &harness.open();
        form->outputFolderEdit->setText(output + u'/');
        form->sourceFolders->append(source);
        form->startExtractingButton->click();
        ASSERT_EQ(form->galleryModel->itemCount(), 7);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    }

    QString dll() const { return source + QStringLiteral("/icons32.dll"); }
    QString exe() const { return source + QStringLiteral("/tool.v2.exe"); }
    QString out(const QString& name) const { return output + u'/' + name; }
    QWidget* viewport() const { return form->gallery->viewport(); }
    QPoint centre(int row) const { return form->gallery->visualRect(form->galleryModel->index(row)).center(); }
    GalleryExport& exporter() const { return *form->gallery->findChild<GalleryExport*>(); }
    QMenu& menu() const { return *exporter().menu(); }
    std::vector<RecordingMessageBoxes::Box>& boxes() { return harness.boxes.boxes; }

    void select(std::initializer_list<int> rows)
    {
        form->gallery->selectionModel()->clearSelection();
        for (int row : rows)
            form->gallery->selectionModel()->select(form->galleryModel->index(row), QItemSelectionModel::Select);
    }
    // Opens the menu from the keyboard and picks an entry, as Shift+F10 and Return would.
    void choose(Entry entry)
    {
        QTest::keyClick(form->gallery, Qt::Key_F10, Qt::ShiftModifier);
        ASSERT_TRUE(menu().isVisible());
        QAction* action = menu().actions().at(entry);
        ASSERT_TRUE(action->isEnabled());
        menu().hide();
        action->trigger();
    }
    static QByteArray original(const QString& path, int icon)
    {
        const IconSource source = IconSource::open(QFile::encodeName(path).toStdString());
        const auto file = rebuildIconFile(*source.group(icon));
        return QByteArray(reinterpret_cast<const char*>(file->data()), static_cast<qsizetype>(file->size()));
    }
    static QImage picture(const QString& path, int icon, int side)
    {
        const IconSource source = IconSource::open(QFile::encodeName(path).toStdString());
        return toQImage(*pictureAt(*source.group(icon), side));
    }
    static bool hasTransparentPixel(const QImage& image)
    {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) == 0)
                    return true;
        return false;
    }

    QTemporaryDir data;
    QString source, output;
    test::WindowHarness harness;
    MainWindow* form = nullptr;
};

TEST_F(GalleryMenu, OpensOnTheRightButtonTheMenuKeyAndShiftF10WithItsEntriesInOrder)
{
    // A right click selects the item under it; the window system then asks for the menu.
    QTest::mouseClick(viewport(), Qt::RightButton, {}, centre(2));
    QContextMenuEvent click(QContextMenuEvent::Mouse, centre(2), viewport()->mapToGlobal(centre(2)));
    QApplication::sendEvent(viewport(), &click);
    EXPECT_EQ(form->gallery->selectionModel()->selectedIndexes(), QModelIndexList{form->galleryModel->index(2)});
    ASSERT_TRUE(menu().isVisible());
    QStringList entries;
    for (QAction* action : menu().actions()) {
        entries << action->text();
        EXPECT_TRUE(action->isEnabled()) << qPrintable(action->text());
    }
    EXPECT_EQ(entries, (QStringList{QStringLiteral("Save Original Icon..."), QStringLiteral("Save as PNG..."),
                                    QStringLiteral("Copy Image"), QStringLiteral("Add to Icon Theme...")}));
    menu().hide();

    // The Menu key reaches the focused gallery as a keyboard request.
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(0, 0), form->gallery->mapToGlobal(QPoint(0, 0)));
    QApplication::sendEvent(form->gallery, &menuKey);
    EXPECT_TRUE(menu().isVisible());
    menu().hide();
    QTest::keyClick(form->gallery, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(menu().isVisible());
    menu().hide();
}

TEST_F(GalleryMenu, EntriesAreDisabledWhileARunExtractsOrSavesOrNothingIsSelected)
{
    auto allDisabled = [&] {
        QTest::keyClick(form->gallery, Qt::Key_F10, Qt::ShiftModifier);
        bool disabled = menu().isVisible();
        for (QAction* action : menu().actions())
            disabled = disabled && !action->isEnabled();
        menu().hide();
        return disabled;
    };
    select({1});
    for (const RunState::Activity busy : {RunState::Activity::Extracting, RunState::Activity::Saving}) {
        form->runs.start(busy);
        EXPECT_TRUE(allDisabled());
        exporter().saveOriginals(); // nor does a command run that was asked for before
        form->runs.finish();
    }
    EXPECT_TRUE(harness.dialogs.calls.empty());
    select({});
    EXPECT_TRUE(allDisabled());
}

TEST_F(GalleryMenu, OneOriginalIsSavedThroughTheDialogOnTheFirstFreeName)
{
    test::writeTextFile(out(QStringLiteral("icons32.ico")), "taken");
    // A dangling link holds its name as well: a file saved there would go where it points.
    ASSERT_TRUE(QFile::link(out(QStringLiteral("nowhere")), out(QStringLiteral("icons321.ico"))));
    select({1});
    harness.dialogs.saves = {out(QStringLiteral("icons322.ico"))}; // Return on the name offered
    ASSERT_NO_FATAL_FAILURE(choose(SaveOriginal));
    ASSERT_EQ(harness.dialogs.calls.size(), 1U);
    const ScriptedDialogs::Call& call = harness.dialogs.calls[0];
    EXPECT_EQ(call.kind, QStringLiteral("save"));
    EXPECT_EQ(call.title, QStringLiteral("Save Original Icon"));
    EXPECT_EQ(call.filter, QStringLiteral("Icon files (*.ico)"));
    EXPECT_EQ(call.startFolder, out(QStringLiteral("icons322.ico")));
    EXPECT_EQ(fileBytes(out(QStringLiteral("icons322.ico"))), original(dll(), 1));
    EXPECT_EQ(fileBytes(out(QStringLiteral("icons32.ico"))), QByteArray("taken"));

    // An existing name comes back from the dialog only once the user agreed to replace it.
    harness.dialogs.saves = {out(QStringLiteral("icons32.ico"))};
    ASSERT_NO_FATAL_FAILURE(choose(SaveOriginal));
    EXPECT_EQ(harness.dialogs.calls.back().startFolder, out(QStringLiteral("icons323.ico")));
    EXPECT_EQ(fileBytes(out(QStringLiteral("icons32.ico"))), original(dll(), 1));

    // Cancel writes nothing.
    ASSERT_NO_FATAL_FAILURE(choose(SaveOriginal));
    EXPECT_EQ(QDir(output).entryList(QDir::Files).size(), 2);
    EXPECT_TRUE(boxes().empty());

    // Without its output folder the dialog opens at home.
    form->outputFolderEdit->setText(data.path() + QStringLiteral("/missing/"));
    ASSERT_NO_FATAL_FAILURE(choose(SaveOriginal));
    EXPECT_EQ(QFileInfo(harness.dialogs.calls.back().startFolder).absolutePath(), QDir::homePath());
}

TEST_F(GalleryMenu, SeveralOriginalsGoIntoTheOutputFolderUnderFreeNamesWithOneDone)
{
    test::writeTextFile(out(QStringLiteral("icons321.ico")), "taken");
    select({0, 3, 4, 6});
    ASSERT_NO_FATAL_FAILURE(choose(SaveOriginal));
    EXPECT_TRUE(harness.dialogs.calls.empty());
    EXPECT_EQ(fileBytes(out(QStringLiteral("icons32.ico"))), original(dll(), 0));
    EXPECT_EQ(fileBytes(out(QStringLiteral("icons321.ico"))), QByteArray("taken"));
    EXPECT_EQ(fileBytes(out(QStringLiteral("icons322.ico"))), original(dll(), 3));
    EXPECT_EQ(fileBytes(out(QStringLiteral("icons323.ico"))), original(dll(), 4));
    EXPECT_EQ(fileBytes(out(QStringLiteral("tool.v2.ico"))), original(exe(), 1));
    EXPECT_EQ(QDir(output).entryList(QDir::Files).size(), 5);
    ASSERT_EQ(boxes().size(), 1U);
    EXPECT_EQ(boxes()[0].text, QStringLiteral("Done."));
    EXPECT_EQ(boxes()[0].title, form->appTitle());
    EXPECT_EQ(boxes()[0].icon, BoxIcon::None);
    EXPECT_FALSE(form->runs.saving());
    EXPECT_EQ(form->mousePointer(), kPointerDefault);
}

TEST_F(GalleryMenu, SaveAsPngWritesThePictureAt256WithItsAlpha)
{
    // Icon 0 has only a 32 x 32 image: the picture rule scales it up.
    const QImage expected = picture(dll(), 0, 256);
    ASSERT_TRUE(hasTransparentPixel(expected));
    select({0});
    harness.dialogs.saves = {out(QStringLiteral("icons32.png"))};
    ASSERT_NO_FATAL_FAILURE(choose(SavePng));
    ASSERT_EQ(harness.dialogs.calls.size(), 1U);
    EXPECT_EQ(harness.dialogs.calls[0].title, QStringLiteral("Save as PNG"));
    EXPECT_EQ(harness.dialogs.calls[0].filter, QStringLiteral("PNG images (*.png)"));
    EXPECT_EQ(harness.dialogs.calls[0].startFolder, out(QStringLiteral("icons32.png")));
    const QImage png(out(QStringLiteral("icons32.png")));
    EXPECT_EQ(png.size(), QSize(256, 256));
    EXPECT_TRUE(png.hasAlphaChannel());
    EXPECT_EQ(png.convertToFormat(QImage::Format_ARGB32), expected);
}

TEST_F(GalleryMenu, CopyImagePutsTheLargestImageWithAlphaOnTheClipboard)
{
    select({0, 1});
    form->gallery->selectionModel()->setCurrentIndex(form->galleryModel->index(1), QItemSelectionModel::NoUpdate);
    ASSERT_NO_FATAL_FAILURE(choose(CopyImage));
    const QImage copied = QGuiApplication::clipboard()->image();
    const QImage expected = picture(dll(), 1, 256); // its 256 x 256 PNG as stored
    ASSERT_TRUE(hasTransparentPixel(expected));
    EXPECT_EQ(copied.convertToFormat(QImage::Format_ARGB32), expected);

    // On an item outside the selection, the first selected one is copied: icon 0, only 32 x 32.
    form->gallery->selectionModel()->setCurrentIndex(form->galleryModel->index(2), QItemSelectionModel::NoUpdate);
    ASSERT_NO_FATAL_FAILURE(choose(CopyImage));
    EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_ARGB32), picture(dll(), 0, 32));
}

TEST_F(GalleryMenu, AddToIconThemeInstallsTheOneSelectedIconUnderTheNameGivenAndAsksBeforeReplacing)
{
    QTemporaryDir place;
    const QByteArray data = QFile::encodeName(place.filePath(QStringLiteral("data")));
    const QByteArray savedHome = qgetenv("XDG_DATA_HOME"), savedDirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_HOME", data);
    qputenv("XDG_DATA_DIRS", QFile::encodeName(place.filePath(QStringLiteral("system"))));
    const std::unique_ptr<void, std::function<void(void*)>> restore(this, [&](void*) {
        qputenv("XDG_DATA_HOME", savedHome);
        qputenv("XDG_DATA_DIRS", savedDirs);
    });
    const auto icon = [&](int side) { return QStringLiteral("%1/icons/hicolor/%2x%2/apps/icons-32.png").arg(QString(data)).arg(side); };

    // Icon 1 of the library holds 16, 32 (three depths), 48 and 256.
    select({1});
    harness.dialogs.texts = {QStringLiteral("Icons 32")};
    ASSERT_NO_FATAL_FAILURE(choose(AddToIconTheme));
    ASSERT_EQ(harness.dialogs.calls.size(), 1U);
    EXPECT_EQ(harness.dialogs.calls[0].kind, QStringLiteral("text"));
    EXPECT_EQ(harness.dialogs.calls[0].startFolder, QStringLiteral("icons32")) << "the file's name, as a theme takes it";
    for (const int side : {16, 32, 48, 256})
        EXPECT_EQ(QImage(icon(side)).size(), QSize(side, side)) << side;
    ASSERT_EQ(boxes().size(), 1U);
    EXPECT_EQ(boxes()[0].text, QStringLiteral("Added icons-32 to the icon theme at 16, 32, 48 and 256 pixels.\n\n"
                                              "A launcher shows it with Icon=icons-32."));

    // The same name again, for icon 0 (32 x 32 alone): No keeps the first, Yes puts the new one in its place.
    select({0});
    for (const BoxAnswer answer : {BoxAnswer::No, BoxAnswer::Yes}) {
        harness.boxes.nextAnswer = answer;
        harness.dialogs.texts = {QStringLiteral("icons-32")};
        ASSERT_NO_FATAL_FAILURE(choose(AddToIconTheme));
        EXPECT_EQ(QFile::exists(icon(16)), answer == BoxAnswer::No);
    }
    ASSERT_EQ(boxes().size(), 4U) << "a question each time, one message for the replacement";
    for (const std::size_t question : {1U, 2U}) {
        EXPECT_EQ(boxes()[question].icon, BoxIcon::Question);
        EXPECT_EQ(boxes()[question].buttons, BoxButtons::YesNo);
    }
    EXPECT_EQ(QImage(icon(32)).convertToFormat(QImage::Format_ARGB32), picture(dll(), 0, 32));
    EXPECT_EQ(boxes()[3].text, QStringLiteral("Added icons-32 to the icon theme at 32 pixels.\n\nA launcher shows it with Icon=icons-32."));

    // A theme holds one icon under a name: with two selected the entry is disabled.
    select({0, 1});
    QTest::keyClick(form->gallery, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(menu().actions().at(SaveOriginal)->isEnabled());
    EXPECT_FALSE(menu().actions().at(AddToIconTheme)->isEnabled());
    menu().hide();
}

TEST_F(GalleryMenu, TooltipNamesTheFileTheIconsNumberAndTheGroupsImages)
{
    QHelpEvent hover(QEvent::ToolTip, centre(1), viewport()->mapToGlobal(centre(1)));
    QApplication::sendEvent(viewport(), &hover);
    EXPECT_EQ(QToolTip::text(),
              dll() + QStringLiteral("\nIcon number 1 in the file\n"
                                     "16x16 8-bit, 32x32 4-bit, 32x32 24-bit, 32x32 32-bit, 48x48 32-bit, 256x256 PNG"));
    QToolTip::hideText();
}

TEST_F(GalleryMenu, AnIconGoneFromItsChangedFileIsToldInOneMessage)
{
    // The library now holds tool.v2.exe's two icons: its icons 3 and 4 are gone.
    ASSERT_TRUE(QFile::remove(dll()));
    ASSERT_TRUE(QFile::copy(exe(), dll()));
    select({4});
    ASSERT_NO_FATAL_FAILURE(choose(SaveOriginal));
    EXPECT_TRUE(harness.dialogs.calls.empty());
    select({3, 4, 5});
    ASSERT_NO_FATAL_FAILURE(choose(SaveOriginal));
    const QString gone = QStringLiteral("Icon %1 is no longer in ") + dll()
                         + QStringLiteral(".\n\nThe file has changed since its icons were extracted.");
    ASSERT_EQ(boxes().size(), 3U);
    EXPECT_EQ(boxes()[0].text, gone.arg(4));
    EXPECT_EQ(boxes()[1].text, gone.arg(3));
    EXPECT_EQ(boxes()[2].text, QStringLiteral("Done."));
    EXPECT_EQ(QDir(output).entryList(QDir::Files), QStringList{QStringLiteral("tool.v2.ico")});
}

TEST_F(GalleryMenu, SeveralEndAtAFailureEveryIconWouldMeetWithOneMessage)
{
    select({0, 1, 2});
    form->outputFolderEdit->setText(data.path() + QStringLiteral("/missing/"));
    ASSERT_NO_FATAL_FAILURE(choose(SaveOriginal));
    ASSERT_EQ(boxes().size(), 1U);
    EXPECT_EQ(boxes()[0].text, QStringLiteral("Folder does not exist. Please select another folder."));

    // An output folder nobody may write into, below folders everybody may read.
    form->outputFolderEdit->setText(output);
    const auto readable = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                          | QFile::ExeOther;
    for (const QString& folder : {data.path(), source})
        ASSERT_TRUE(QFile::setPermissions(folder, readable | QFile::WriteOwner));
    ASSERT_TRUE(QFile::setPermissions(output, readable));
    {
        test::Unprivileged nobody;
        if (!nobody.active())
            GTEST_SKIP() << "cannot drop privileges";
        ASSERT_NO_FATAL_FAILURE(choose(SaveOriginal));
    }
    QFile::setPermissions(output, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(boxes().size(), 2U);
    EXPECT_EQ(boxes()[1].text, QStringLiteral("Cannot save icon 0 of ") + dll() + QStringLiteral(" into ") + output
                                   + QStringLiteral(".\n\nPermission denied."));
    EXPECT_FALSE(form->runs.saving());
    EXPECT_EQ(form->mousePointer(), kPointerDefault);
}

TEST_F(GalleryMenu, DraggedItemsCarryTheirOriginalIconFiles)
{
    EXPECT_TRUE(form->gallery->dragEnabled());
    select({1, 2, 6});
    const std::unique_ptr<QMimeData> first(form->galleryModel->mimeData(form->gallery->selectionModel()->selectedIndexes()));
    ASSERT_TRUE(first);
    const QList<QUrl> urls = first->urls();
    ASSERT_EQ(urls.size(), 3);
    QStringList names;
    for (const QUrl& url : urls)
        names << QFileInfo(url.toLocalFile()).fileName();
    EXPECT_EQ(names, (QStringList{QStringLiteral("icons32.ico"), QStringLiteral("icons321.ico"), QStringLiteral("tool.v2.ico")}));
    EXPECT_EQ(fileBytes(urls[0].toLocalFile()), original(dll(), 1));
    EXPECT_EQ(fileBytes(urls[1].toLocalFile()), original(dll(), 2));
    EXPECT_EQ(fileBytes(urls[2].toLocalFile()), original(exe(), 1));

    // The files of one drag stay for the file manager to copy, until the next drag.
    select({0});
    const std::unique_ptr<QMimeData> second(form->galleryModel->mimeData(form->gallery->selectionModel()->selectedIndexes()));
    ASSERT_TRUE(second);
    EXPECT_FALSE(QFile::exists(urls[0].toLocalFile()));
    EXPECT_TRUE(QFile::exists(second->urls().value(0).toLocalFile()));
}

// Presses Return where the window's focus is, from the event loop: a box it opens runs its own loop,
// in which the next answer must be able to come.
void pressReturnIn(QWidget* window)
{
    QTimer::singleShot(0, window, [window] {
        QWidget* focus = window->focusWidget();
        QTest::keyClick(focus ? focus : window, Qt::Key_Return);
    });
}

// Answers the modal boxes and dialogs that open from now on, one step each, until all are done.
void answerModals(std::vector<std::function<bool(QWidget*)>> steps)
{
    auto* poll = new QTimer;
    auto remaining = std::make_shared<std::vector<std::function<bool(QWidget*)>>>(std::move(steps));
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || remaining->empty() || !remaining->front()(modal))
            return;
        remaining->erase(remaining->begin());
        if (remaining->empty())
            poll->deleteLater();
    });
    poll->start(5);
}

TEST(SaveDialog, OpensOnTheNameInItsFolderUnderItsOwnTitleAndReturnSaves)
{
    QTemporaryDir folder;
    QtDialogs dialogs;
    QString title, openedIn;
    answerModals({[&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog || !dialog->windowHandle())
            return false;
        title = dialog->windowHandle()->title();
        openedIn = dialog->directory().absolutePath();
        pressReturnIn(dialog);
        return true;
    }});
    EXPECT_EQ(dialogs.saveFile(nullptr, QStringLiteral("Save Original Icon"), QStringLiteral("Icon files (*.ico)"),
                               folder.filePath(QStringLiteral("a.ico"))),
              folder.filePath(QStringLiteral("a.ico")));
    EXPECT_EQ(title, QStringLiteral("Save Original Icon"));
    EXPECT_EQ(openedIn, folder.path());
}

TEST(SaveDialog, AnExistingNameComesBackOnlyWhenTheUserAgreesToReplaceIt)
{
    QTemporaryDir folder;
    const QString taken = folder.filePath(QStringLiteral("a.png"));
    test::writeTextFile(taken);
    QtDialogs dialogs;
    auto returnOnTheName = [](QWidget* modal) {
        if (!qobject_cast<QFileDialog*>(modal))
            return false;
        pressReturnIn(modal);
        return true;
    };
    auto answer = [](QMessageBox::StandardButton button) {
        return [button](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box)
                return false;
            box->button(button)->click();
            return true;
        };
    };
    auto cancelTheDialog = [](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog)
            return false;
        dialog->reject();
        return true;
    };
    answerModals({returnOnTheName, answer(QMessageBox::No), cancelTheDialog});
    EXPECT_EQ(dialogs.saveFile(nullptr, QStringLiteral("Save as PNG"), QStringLiteral("PNG images (*.png)"), taken),
              QString());
    answerModals({returnOnTheName, answer(QMessageBox::Yes)});
    EXPECT_EQ(dialogs.saveFile(nullptr, QStringLiteral("Save as PNG"), QStringLiteral("PNG images (*.png)"), taken),
              taken);
}

} // namespace
