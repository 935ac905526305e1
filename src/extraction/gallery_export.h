#pragma once
// Full-quality copies of gallery icons: the gallery's context menu ("Save Original Icon...",
// "Save as PNG...", "Copy Image"), the tooltip of each item, and dragging items out as .ico files.
// The gallery keeps only where each icon came from (ImageList::Origin); its group is read again
// from the file when the user acts, so the file is what counts, as it is at that moment.

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QListView;
class QMenu;
class QMimeData;
class QPoint;
class QTemporaryDir;
class QWidget;

namespace gg {

class Dialogs;
class ImageList;
class MessageBoxes;

// What the export needs from the window.
struct GalleryExportServices {
    MessageBoxes* boxes = nullptr;
    Dialogs* dialogs = nullptr;
    QWidget* owner = nullptr;               // boxes and dialogs belong to it
    std::function<QString()> appTitle;      // the title of plain boxes
    std::function<QString()> outputFolder;  // as the window shows it
    std::function<bool()> busy;             // a run extracts or saves
    std::function<void(bool)> markSaving;   // a save of several icons starts (true) or ends (false)
};

class GalleryExport : public QObject {
    Q_OBJECT
public:
    // Becomes a child of the gallery; gives it its menu, tooltips and dragging out.
    GalleryExport(QListView& gallery, ImageList& images, GalleryExportServices services);
    ~GalleryExport() override;

    QMenu* menu() const { return menu_; }
    // Opens the menu at a point of the screen, its entries enabled when something is selected and
    // no run is under way.
    void showMenu(const QPoint& globalPos);

    // The menu's commands, on the selected items in gallery order.
    void saveOriginals();
    void savePictures();
    void copyImage();

    // The item's source file, its number there, and its group's images, one line each.
    QString toolTip(int row) const;

    // The rows' original icons written into a folder of their own, as a list of files to drop;
    // null when none could be written. The files stay until the next drag.
    QMimeData* dragData(const std::vector<int>& rows);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Kind { Original, Picture };
    void save(Kind kind);
    void saveOne(Kind kind, int row);
    void saveSeveral(Kind kind, const std::vector<int>& rows);
    void copyOne();
    QMimeData* dropFiles(const std::vector<int>& rows);
    std::vector<int> selectedRows() const;
    QPoint keyboardMenuPlace() const;
    void tell(const QString& text) const;

    QListView& gallery_;
    QWidget* viewport_ = nullptr; // the gallery's, whose events are watched
    QPointer<ImageList> images_;
    GalleryExportServices services_;
    QMenu* menu_ = nullptr;
    std::unique_ptr<QTemporaryDir> dragFolder_;
};

// Gives the gallery its export; the window calls it once.
GalleryExport* InstallGalleryExport(QListView& gallery, ImageList& images, GalleryExportServices services);

} // namespace gg
