// "Start Saving Selected Icons" and "Start Saving All Icons".
#include <QCoreApplication>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <functional>
#include <string>

#include "extraction/gallery_model.h"
#include "icons/atomic_file.h"
#include "icons/write_icon.h"
#include "icons/pixel_buffer.h"
#include "icons/save_names.h"
#include "window/main_window.h"
#include "runtime/fs_helpers.h"

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

// What one save run remembers from icon to icon.
struct SaveRun {
    FreeIconNames names;
    std::string readFolder; // the folder read (and cleared of stale temporary files) already
};
SaveRun* activeRun = nullptr;

class ActiveRun {
public:
    ActiveRun() { activeRun = &run_; }
    ~ActiveRun() { activeRun = nullptr; }
    ActiveRun(const ActiveRun&) = delete;
    ActiveRun& operator=(const ActiveRun&) = delete;

private:
    SaveRun run_;
};

// Walks the gallery in order and saves the chosen items; one run at a time.
void runSave(Form1& form, const char* routine, const SaveLines& lines, bool selectedOnly)
{
    if (form.IsSaving || form.IsExtracting)
        return;
    form.IsSaving = true;
    const ActiveRun run;
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

    SaveRun oneIcon;
    SaveRun& run = activeRun != nullptr ? *activeRun : oneIcon;
    const QByteArray native = QFile::encodeName(basePath);
    const qsizetype slash = native.lastIndexOf('/');
    const std::string folder = slash < 0 ? std::string(".") : slash == 0 ? std::string("/")
                                                                        : native.left(slash).toStdString();
    const std::string base = native.mid(slash + 1).toStdString();
    if (folder != run.readFolder) {
        // What a killed save may have left here goes before this run adds its own files.
        const FolderHandle handle = FolderHandle::open(folder);
        if (handle.isValid())
            run.names.readFolder(handle.fd());
        run.readFolder = folder;
    }
    FreeIconNames::Probe probe = run.names.probe(base);
    const SaveResult result = SaveNewIcon(reporter(), folder, std::ref(probe), work, kSaveDepth);
    if (!result.name.empty())
        probe.taken();

    setMousePointer(kPointerDefault);
    QCoreApplication::processEvents();
    clearPicture(picIcon);
    // The writer has reported the failure; one that every further icon would meet ends the run.
    return result.error == 0 || !FailsForEveryIcon(result.error);
}

} // namespace gg
