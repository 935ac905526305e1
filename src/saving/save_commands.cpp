// "Start Saving Selected Icons" and "Start Saving All Icons".
#include <QCoreApplication>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>

#include "extraction/image_list.h"
#include "icon_writer/write_icon.h"
#include "platform/pixel_buffer.h"
#include "saving/save_names.h"
#include "shell/form1.h"
#include "shell/fs_helpers.h"

namespace gg {

namespace {

constexpr int kSaveDepth = 24;
constexpr int kIconSide = 32;
const QColor kKeyQColor(197, 197, 197);

// The numbered lines of one save command; 0 where the command has no such step.
struct SaveLines {
    int loop, folderTest, selectionTest, emptyPicture, setPicture, callSave, folderMessage, done;
};
constexpr SaveLines kSelectedLines{106, 108, 110, 112, 124, 126, 128, 132};
constexpr SaveLines kAllLines{106, 108, 0, 110, 122, 124, 126, 130};

void clearPicture(QImage& picture)
{
    picture.fill(Qt::white);
}

// The gallery image over the key colour, so that the writer's mask carries the icon's own shape.
void putImageOnKeyColour(QImage& picture, const QImage& image)
{
    picture.fill(kKeyQColor);
    QPainter painter(&picture);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(0, 0, image);
}

// Walks the gallery in order and saves the chosen items; one run at a time.
void runSave(Form1& form, const char* routine, const SaveLines& lines, bool selectedOnly)
{
    if (form.IsSaving || form.IsExtracting)
        return;
    form.IsSaving = true;
    Trap trap(form.reporter(), TrapLabel("Form1", routine));
    const int itemCount = trap.value<int>(lines.loop, [&] { return form.Iml->itemCount(); });
    for (int i = 0; i < itemCount; ++i) {
        if (trap.test(lines.folderTest, [&] { return !IsFolder(form.Text1->text()); })) {
            // Every further item would meet the same folder: say it once and end.
            trap.step(lines.folderMessage, [&] {
                form.showMessage(QStringLiteral("Folder does not exist. Please select another folder."));
            });
            form.IsSaving = false;
            return;
        }
        if (selectedOnly && !trap.test(lines.selectionTest, [&] {
                return form.lv->selectionModel()->isSelected(form.Iml->index(i));
            }))
            continue;
        trap.step(lines.emptyPicture, [&] { clearPicture(form.picIcon); });
        const QString basePath = SaveBasePath(form.Text1->text(), form.Iml->tag(i));
        trap.step(lines.setPicture, [&] { putImageOnKeyColour(form.picIcon, form.Iml->image(i)); });
        bool goOn = true;
        trap.step(lines.callSave, [&] { goOn = form.SaveGalleryIcon(basePath); });
        if (!goOn) {
            form.IsSaving = false;
            return;
        }
    }
    trap.step(lines.done, [&] { form.showMessage(QStringLiteral("Done.")); });
    form.IsSaving = false;
}

} // namespace

void Form1::PushButton1_Click()
{
    runSave(*this, "PushButton1_Click", kSelectedLines, true);
}

void Form1::PushButton2_Click()
{
    runSave(*this, "PushButton2_Click", kAllLines, false);
}

bool Form1::SaveGalleryIcon(const QString& basePath)
{
    setMousePointer(kPointerBusy);
    const QImage square = picIcon.copy(0, 0, kIconSide, kIconSide).convertToFormat(QImage::Format_RGB32);
    const Bitmap work = Bitmap::fromRgb32(reinterpret_cast<const std::uint32_t*>(square.constBits()), kIconSide,
                                          kIconSide, static_cast<int>(square.bytesPerLine() / 4));
    QCoreApplication::processEvents();

    const QString path = FirstFreeIconName(basePath);
    SaveIcon(reporter(), QFile::encodeName(path).toStdString(), work, kSaveDepth);
    // The writer has already reported a failed write; when the folder itself takes no new file
    // (not writable, disk full) every further icon would fail the same way.
    const bool writtenOrWorthGoingOn = QFileInfo::exists(path) || FolderTakesNewFiles(QFileInfo(path).path());

    setMousePointer(kPointerDefault);
    QCoreApplication::processEvents();
    clearPicture(picIcon);
    return writtenOrWorthGoingOn;
}

} // namespace gg
