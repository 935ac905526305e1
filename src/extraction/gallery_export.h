#pragma once
// Full-quality copies of gallery icons: the gallery's context menu ("Save Original Icon...",
// "Save as PNG...", "Copy Image", "Add to Icon Theme..."), the tooltip of each item (its accessible description too), and
// dragging items out as .ico files.
// The gallery keeps only where each icon came from (GalleryModel::Origin); its group is read again
// from the file when the user acts, so the file is what counts, as it is at that moment.

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "icons/icon_export.h"
#include "runtime/command_context.h"
#include "runtime/run_state.h"

class QAction;
class QListView;
class QMenu;
class QMimeData;
class QPoint;
class QTemporaryDir;
class QWidget;

namespace gg {

class GalleryModel;

// What the export needs from the window, asked for when the user acts.
struct GalleryExportServices {
    std::function<CommandContext()> context; // boxes, dialogs, their owner, the title, the pointer
    std::function<QString()> outputFolder;   // as the window shows it
    RunState* runs = nullptr;                // the window's: saving several icons is a run
};

class GalleryExport : public QObject {
    Q_OBJECT
public:
    // Becomes a child of the gallery; gives it its menu, tooltips and dragging out.
    GalleryExport(QListView& gallery, GalleryModel& images, GalleryExportServices services);
    ~GalleryExport() override;

    QMenu* menu() const { return menu_; }
    // Opens the menu at a point of the screen, its entries enabled when something is selected and
    // no run is under way.
    void showMenu(const QPoint& globalPos);

    // The menu's commands, on the selected items in gallery order.
    void saveOriginals();
    void savePictures();
    void copyImage();
    // The one selected icon into the user's icon theme, every size, under a name the user confirms.
    void addToIconTheme();

    // The item's source file, its number there, and its group's images, one line each.
    QString toolTip(int row) const;

    // The rows' original icons written into a folder of their own, as a list of files to drop;
    // null when none could be written. The files stay until the next drag.
    QMimeData* dragData(const std::vector<int>& rows);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void save(ExportKind kind);
    void saveOne(const CommandContext& context, ExportKind kind, int row);
    void saveSeveral(const CommandContext& context, ExportKind kind, const std::vector<int>& rows);
    void copyOne(const CommandContext& context);
    void installOne(const CommandContext& context, int row);
    QMimeData* dropFiles(const std::vector<int>& rows);
    std::vector<int> selectedRows() const;
    QPoint keyboardMenuPlace() const;

    QListView& gallery_;
    QWidget* viewport_ = nullptr; // the gallery's, whose events are watched
    QPointer<GalleryModel> images_;
    GalleryExportServices services_;
    QMenu* menu_ = nullptr;
    QAction* addToThemeAction_ = nullptr; // for one icon only
    std::unique_ptr<QTemporaryDir> dragFolder_;
};

// Gives the gallery its export; the window calls it once.
GalleryExport* installGalleryExport(QListView& gallery, GalleryModel& images, GalleryExportServices services);

} // namespace gg
