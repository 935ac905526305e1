#pragma once
// The main window. It owns every control (the program's state lives in them) and its handlers
// are the commands; the work behind each command lives in its subsystem folder.

#include <QCursor>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string_view>
#include <optional>
#include <utility>
#include <vector>

#include "extraction/extraction_run.h"
#include "runtime/command_context.h"
#include "runtime/error_trap.h"
#include "saving/save_run.h"
#include "sources/source_commands.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeView;

namespace gg {

class Dialogs;
class DirectoryLister;
class FolderListModel;
class GalleryModel;
class MessageBoxes;

inline const QString kProductName = QStringLiteral("Tessaly Glimmer Gatherer Suite");

// Everything the window needs from outside; tests swap boxes, dialogs and the exit.
struct WindowServices {
    MessageBoxes* boxes = nullptr;
    Dialogs* dialogs = nullptr;
    QString programFolder;              // holds "Samples", "x/o.cjs", "HAND-M.CUR"; no trailing separator
    std::function<void()> endProgram;   // ends the process at once
    // The folder scan's view of the file system, one per scan; empty means the real one.
    DirectoryListerFactory makeDirectoryLister;
};

class MainWindow : public QWidget, private ErrorReporter {
    Q_OBJECT
public:
    // Production window: real boxes and dialogs, the program's own folder. Runs startUp.
    explicit MainWindow(QWidget* parent = nullptr);
    // Window with the given services. Runs startUp.
    explicit MainWindow(WindowServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // --- visible controls -------------------------------------------------------------------
    QTreeView* sourceListView = nullptr;
    FolderListModel* sourceFolders = nullptr; // the entries sourceListView shows
    QPushButton* saveSelectedButton = nullptr;    // Start Saving Selected Icons
    QPushButton* saveAllButton = nullptr;    // Start Saving All Icons
    QPushButton* chooseOutputFolderButton = nullptr;    // ... (output folder)
    QPushButton* addFolderButton = nullptr;    // Add Folder and Subfolders
    QPushButton* clearListButton = nullptr;    // Clear List
    QPushButton* startExtractingButton = nullptr;    // Start Extracting Icons
    QPushButton* loadListFileButton = nullptr;    // Load List Of Folders From File
    QPushButton* loadSamplesButton = nullptr;    // Load Sample/Example Folders
    QGroupBox* outputFolderFrame = nullptr;
    QGroupBox* galleryFrame = nullptr;
    QGroupBox* fileTypeFrame = nullptr;
    std::array<QRadioButton*, 2> fileTypeOptions{};
    QLabel* fileTypesLabel = nullptr;
    QListView* gallery = nullptr;
    QLineEdit* outputFolderEdit = nullptr;
    QProgressBar* progressBar = nullptr;
    QLabel* countersLabel = nullptr;

    // --- work: never seen ------------------------------------------------------------------
    GalleryModel* galleryModel = nullptr;
    RunState runs; // what the window is doing: nothing, extracting or saving
    ExtractionRun extraction;
    SaveRun saveRun;

    // --- pointer ----------------------------------------------------------------------------
    int mousePointer() const { return mousePointer_; }
    void setMousePointer(int value);
    const std::optional<QCursor>& handCursor() const { return handCursor_; }

    // --- commands and events ----------------------------------------------------------------
    void startUp();
    void closeRequested();
    void saveSelectedIcons();
    void saveAllIcons();
    void chooseOutputFolder();
    void addFolderTree();
    void clearSourceList();
    void startExtracting();
    void loadListFiles();
    void loadSampleFolders();
    void removeSelectedFolder();
    void outputFolderEdited();
    void chooseFileType(int index);

    void setAppTitle(const QString& productName = kProductName);
    void applySkin();

    // The application title that plain message boxes carry. The program keeps it itself: handed
    // to Qt as the display name, it would be appended to every title bar.
    QString appTitle() const { return appTitle_; }
    // Shows a plain box: OK only, the application title, no icon.
    void showMessage(const QString& text);

    const WindowServices& services() const { return services_; }
    ErrorReporter& reporter() { return *this; }
    // What a command needs from the window, as it stands now.
    CommandContext commandContext();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    QPushButton* commandButton(std::string_view name);
    void buildSourceControls();
    void buildFileTypeFrame();
    void buildGalleryFrame();
    void buildOutputFolderFrame();
    void buildProgress();
    void setTabOrderAndFocus();
    void watchPointerEvents();
    void connectHandlers();
    void applyPointer();
    void keepTabStopOnChosenOption();
    void centreOnScreen();
    void reportError(const std::string& label, int line, const std::string& description) override;
    class Progress;


    WindowServices services_;
    std::unique_ptr<MessageBoxes> ownBoxes_;
    std::unique_ptr<Dialogs> ownDialogs_;
    QString appTitle_;
    int mousePointer_ = kPointerDefault;
    std::optional<QCursor> handCursor_;
    // Controls with a pointer of their own (the text box's I-beam), kept while the window's
    // hourglass or hand covers them.
    std::vector<std::pair<QPointer<QWidget>, QCursor>> ownPointers_;
    bool placedOnScreen_ = false;
    bool frameCentringPending_ = false;
    std::unique_ptr<Progress> progress_;
};

} // namespace gg
