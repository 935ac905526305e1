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
class ImageList;
class MessageBoxes;

inline const QString kProductName = QStringLiteral("Tessaly Glimmer Gatherer Suite");

// Everything the window needs from outside; tests swap boxes, dialogs and the exit.
struct Form1Services {
    MessageBoxes* boxes = nullptr;
    Dialogs* dialogs = nullptr;
    QString programFolder;              // holds "Samples", "x/o.cjs", "HAND-M.CUR"; no trailing separator
    std::function<void()> endProgram;   // ends the process at once
    // The folder scan's view of the file system, one per scan; empty means the real one.
    DirectoryListerFactory makeDirectoryLister;
};

class Form1 : public QWidget, private ErrorReporter {
    Q_OBJECT
public:
    // Production window: real boxes and dialogs, the program's own folder. Runs Form_Load.
    explicit Form1(QWidget* parent = nullptr);
    // Window with the given services. Runs Form_Load.
    explicit Form1(Form1Services services, QWidget* parent = nullptr);
    ~Form1() override;

    // --- visible controls -------------------------------------------------------------------
    QTreeView* ListView1 = nullptr;
    FolderListModel* sourceList = nullptr; // the entries ListView1 shows
    QPushButton* PushButton1 = nullptr;    // Start Saving Selected Icons
    QPushButton* PushButton2 = nullptr;    // Start Saving All Icons
    QPushButton* PushButton3 = nullptr;    // ... (output folder)
    QPushButton* PushButton4 = nullptr;    // Add Folder and Subfolders
    QPushButton* PushButton5 = nullptr;    // Clear List
    QPushButton* PushButton6 = nullptr;    // Start Extracting Icons
    QPushButton* PushButton7 = nullptr;    // Load List Of Folders From File
    QPushButton* PushButton8 = nullptr;    // Load Sample/Example Folders
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    std::array<QRadioButton*, 2> optFiles{};
    QLabel* Label1 = nullptr;
    QListView* lv = nullptr;
    QLineEdit* Text1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* lblIcons = nullptr;

    // --- work: never seen ------------------------------------------------------------------
    ImageList* Iml = nullptr;     // the gallery's images and captions
    ExtractionRun extraction;
    SaveRun saveRun;

    // --- pointer ----------------------------------------------------------------------------
    int MousePointer() const { return mousePointer_; }
    void setMousePointer(int value);
    const std::optional<QCursor>& handCursor() const { return handCursor_; }

    // --- commands and events ----------------------------------------------------------------
    void Form_Load();
    void Form_QueryUnload();
    void PushButton1_Click(); // save selected icons
    void PushButton2_Click(); // save all icons
    void PushButton3_Click(); // choose the output folder
    void PushButton4_Click(); // add a folder and its sub-folders
    void PushButton5_Click(); // clear the source list
    void PushButton6_Click(); // start extracting icons
    void PushButton7_Click(); // load list files
    void PushButton8_Click(); // add the sample folder
    void ListView1_KeyDown(int keyCode, int shift);
    void Text1_Change();
    void optFiles_Click(int index);

    void SetAppTitle(const QString& productName = kProductName);
    void ApplySkin();

    // The application title that plain message boxes carry. The program keeps it itself: handed
    // to Qt as the display name, it would be appended to every title bar.
    QString appTitle() const { return appTitle_; }
    // Shows a plain box: OK only, the application title, no icon.
    void showMessage(const QString& text);

    const Form1Services& services() const { return services_; }
    ErrorReporter& reporter() { return *this; }
    // What a command needs from the window, as it stands now.
    CommandContext commandContext();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void connectHandlers();
    void applyPointer();
    void keepTabStopOnChosenOption();
    void centreOnScreen();
    void ReportError(const std::string& label, int line, const std::string& description) override;
    class Progress;


    Form1Services services_;
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
