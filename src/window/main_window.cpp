#include "window/main_window.h"

#include "extraction/qimage_conversion.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTreeView>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "extraction/gallery_export.h"
#include "extraction/gallery_view.h"
#include "extraction/gallery_model.h"
#include "runtime/dialogs.h"
#include "icons/icon_extractor.h"
#include "runtime/message_boxes.h"
#include "runtime/fs_helpers.h"
#include "runtime/report_labels.h"
#include "window/window_layout.h"
#include "runtime/settings_store.h"
#include "sources/folder_list.h"

// Resources of a static library are registered by hand.
static void initResources()
{
    Q_INIT_RESOURCE(app);
}

namespace gg {

namespace {

const QString kSkinFile = QStringLiteral("/x/o.cjs");
const QString kHandPointerFile = QStringLiteral("/HAND-M.CUR");
const QString kSourceColumnHeading = QStringLiteral("Folder(s)");
constexpr int kLongestAppTitle = 40;

QFont windowFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    return font;
}

QFont buttonFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    return font;
}

template <class W>
W* placed(QWidget* parent, std::string_view name)
{
    const auto& p = layout::place(name);
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(p.name.data(), static_cast<qsizetype>(p.name.size())));
    w->setGeometry(layout::rectFromTwips(p.left, p.top, p.width, p.height));
    return w;
}

QString captionOf(std::string_view name)
{
    const auto& p = layout::place(name);
    return QString::fromLatin1(p.caption.data(), static_cast<qsizetype>(p.caption.size()));
}

const QString kProgressBarText = QStringLiteral("Progress Bar");
// What a screen reader calls the bar: its shown text names no task.
const QString kProgressBarName = QStringLiteral("Extraction progress");

void endProcessNow()
{
    std::fflush(nullptr);
    std::_Exit(0);
}

} // namespace

// The progress bar and the counters, as the extraction run drives them.
class MainWindow::Progress : public ExtractionDisplay {
public:
    explicit Progress(MainWindow& window) : window_(window) {}
    void resetProgress() override
    {
        window_.progressBar->setValue(0);
        window_.progressBar->setFormat(kProgressBarText);
    }
    void setProgressRange(int maximum) override { window_.progressBar->setRange(0, maximum); }
    void setProgress(int value) override { window_.progressBar->setValue(value); }
    void setProgressVisible(bool visible) override { window_.progressBar->setVisible(visible); }
    void setCounters(const QString& text) override { window_.countersLabel->setText(text); }
    void setCountersVisible(bool visible) override { window_.countersLabel->setVisible(visible); }
    void showImages(GalleryModel* images) override { setGalleryModel(*window_.gallery, images); }
    void arrangeGallery() override { layOutGallery(*window_.gallery, GalleryArrangement::InRows); }

private:
    MainWindow& window_;
};

MainWindow::MainWindow(QWidget* parent) : MainWindow(WindowServices{}, parent) {}

MainWindow::MainWindow(WindowServices services, QWidget* parent)
    : QWidget(parent), services_(std::move(services)), appTitle_(QCoreApplication::applicationName()),
      progress_(std::make_unique<Progress>(*this))
{
    if (!services_.boxes) {
        ownBoxes_ = std::make_unique<QtMessageBoxes>(this);
        services_.boxes = ownBoxes_.get();
    }
    if (!services_.dialogs) {
        ownDialogs_ = std::make_unique<QtDialogs>();
        services_.dialogs = ownDialogs_.get();
    }
    if (services_.programFolder.isEmpty())
        services_.programFolder = QCoreApplication::applicationDirPath();
    if (!services_.endProgram)
        services_.endProgram = endProcessNow;

    initResources();
    buildControls();
    connectHandlers();
    applyPointer(); // the arrow from the start, before any mouse move
    startUp();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    setFixedSize(layout::px(layout::kClientWidthTwips), layout::px(layout::kClientHeightTwips));
    setFont(windowFont());
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setMouseTracking(true);

    buildSourceControls();
    buildFileTypeFrame();
    buildGalleryFrame();
    buildOutputFolderFrame();
    saveSelectedButton = commandButton("PushButton1");
    saveAllButton = commandButton("PushButton2");
    buildProgress();
    setTabOrderAndFocus();
    watchPointerEvents();
}

QPushButton* MainWindow::commandButton(std::string_view name)
{
    auto* b = placed<QPushButton>(this, name);
    b->setText(captionOf(name));
    b->setFont(buttonFont());
    b->setMouseTracking(true);
    b->setAutoDefault(true); // Enter presses the focused button
    return b;
}

void MainWindow::buildSourceControls()
{
    sourceFolders = new FolderListModel(this);
    sourceListView = placed<QTreeView>(this, "ListView1");
    sourceListView->setModel(sourceFolders);
    sourceListView->setRootIsDecorated(false);
    sourceListView->setItemsExpandable(false);
    sourceListView->setUniformRowHeights(true);
    sourceListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sourceListView->setSelectionMode(QAbstractItemView::SingleSelection);
    sourceListView->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    sourceListView->header()->setStretchLastSection(false);
    sourceListView->setToolTip(QStringLiteral("Press Delete to remove the selected folder."));
    // A screen reader names a view by these, never by its column heading or its frame's caption.
    sourceListView->setAccessibleName(kSourceColumnHeading);
    sourceListView->setAccessibleDescription(sourceListView->toolTip());
    sourceListView->setMouseTracking(true);
    sourceListView->viewport()->setMouseTracking(true);

    addFolderButton = commandButton("PushButton4");
    loadListFileButton = commandButton("PushButton7");
    clearListButton = commandButton("PushButton5");
    loadSamplesButton = commandButton("PushButton8");
    startExtractingButton = commandButton("PushButton6");
}

void MainWindow::buildFileTypeFrame()
{
    fileTypeFrame = placed<QGroupBox>(this, "Frame3");
    fileTypeFrame->setTitle(captionOf("Frame3"));
    fileTypeOptions[0] = placed<QRadioButton>(fileTypeFrame, "optFiles_0");
    fileTypeOptions[0]->setText(captionOf("optFiles_0"));
    fileTypeOptions[1] = placed<QRadioButton>(fileTypeFrame, "optFiles_1");
    fileTypeOptions[1]->setText(captionOf("optFiles_1"));
    fileTypeOptions[1]->setChecked(true);
    chooseFileType(1); // the shown choice is the one in force from the start
    keepTabStopOnChosenOption();
    fileTypesLabel = placed<QLabel>(fileTypeFrame, "Label1");
    fileTypesLabel->setText(captionOf("Label1"));
    // The designed width cuts the list of extensions short in this font; let it run to the frame's edge.
    fileTypesLabel->resize(fileTypeFrame->width() - fileTypesLabel->x() - layout::px(120), fileTypesLabel->height());
}

void MainWindow::buildGalleryFrame()
{
    galleryFrame = placed<QGroupBox>(this, "Frame2");
    galleryFrame->setTitle(captionOf("Frame2"));
    galleryModel = new GalleryModel(this);
    gallery = placed<QListView>(galleryFrame, "lv");
    gallery->setAccessibleName(captionOf("Frame2"));
    setUpGallery(*gallery);
}

void MainWindow::buildOutputFolderFrame()
{
    outputFolderFrame = placed<QGroupBox>(this, "Frame1");
    outputFolderFrame->setTitle(captionOf("Frame1"));
    outputFolderEdit = placed<QLineEdit>(outputFolderFrame, "Text1");
    outputFolderEdit->setText(QStringLiteral("Text1"));
    chooseOutputFolderButton = placed<QPushButton>(outputFolderFrame, "PushButton3");
    chooseOutputFolderButton->setText(captionOf("PushButton3"));
    chooseOutputFolderButton->setFont(buttonFont());
    chooseOutputFolderButton->setMouseTracking(true);
    chooseOutputFolderButton->setAutoDefault(true);
}

void MainWindow::buildProgress()
{
    progressBar = placed<QProgressBar>(this, "ProgressBar1");
    progressBar->setRange(0, 1);
    progressBar->setValue(0);
    progressBar->setTextVisible(true);
    progressBar->setAlignment(Qt::AlignCenter);
    progressBar->setFormat(captionOf("ProgressBar1"));
    progressBar->setAccessibleName(kProgressBarName);

    // The counters take the progress bar's place: the run shows one while it hides the other.
    countersLabel = new QLabel(this);
    countersLabel->setObjectName(QStringLiteral("lblIcons"));
    countersLabel->setGeometry(progressBar->geometry());
    countersLabel->setAlignment(Qt::AlignCenter);
    countersLabel->hide();
}

void MainWindow::setTabOrderAndFocus()
{
    // Tab order of the design: gallery, saves, file type, source list and its commands, output folder.
    const std::array<QWidget*, 13> tabOrder{gallery, saveSelectedButton, saveAllButton, fileTypeOptions[0], fileTypeOptions[1],
                                            sourceListView, addFolderButton, clearListButton, startExtractingButton,
                                            chooseOutputFolderButton, outputFolderEdit, loadListFileButton, loadSamplesButton};
    for (size_t i = 0; i + 1 < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i], tabOrder[i + 1]);
    gallery->setFocus(); // the window opens on the first stop, not on a button that Enter would press
    for (QWidget* w : {static_cast<QWidget*>(outputFolderFrame), static_cast<QWidget*>(galleryFrame),
                       static_cast<QWidget*>(fileTypeFrame), static_cast<QWidget*>(progressBar),
                       static_cast<QWidget*>(fileTypesLabel), static_cast<QWidget*>(countersLabel)})
        w->setFocusPolicy(Qt::NoFocus);
}

// Mouse moves drive the pointer rules.
void MainWindow::watchPointerEvents()
{
    for (QObject* o : {static_cast<QObject*>(this), static_cast<QObject*>(sourceListView),
                       static_cast<QObject*>(sourceListView->viewport()), static_cast<QObject*>(outputFolderFrame),
                       static_cast<QObject*>(galleryFrame), static_cast<QObject*>(fileTypeFrame)})
        o->installEventFilter(this);
    for (QGroupBox* f : {outputFolderFrame, galleryFrame, fileTypeFrame})
        f->setMouseTracking(true);
    for (QPushButton* b : {saveSelectedButton, saveAllButton, chooseOutputFolderButton, addFolderButton, clearListButton, startExtractingButton,
                           loadListFileButton, loadSamplesButton})
        b->installEventFilter(this);
    sourceListView->installEventFilter(this);
    for (QRadioButton* option : fileTypeOptions)
        option->installEventFilter(this);
}

void MainWindow::connectHandlers()
{
    connect(saveSelectedButton, &QPushButton::clicked, this, &MainWindow::saveSelectedIcons);
    connect(saveAllButton, &QPushButton::clicked, this, &MainWindow::saveAllIcons);
    connect(chooseOutputFolderButton, &QPushButton::clicked, this, &MainWindow::chooseOutputFolder);
    connect(addFolderButton, &QPushButton::clicked, this, &MainWindow::addFolderTree);
    connect(clearListButton, &QPushButton::clicked, this, &MainWindow::clearSourceList);
    connect(startExtractingButton, &QPushButton::clicked, this, &MainWindow::startExtracting);
    connect(loadListFileButton, &QPushButton::clicked, this, &MainWindow::loadListFiles);
    connect(loadSamplesButton, &QPushButton::clicked, this, &MainWindow::loadSampleFolders);
    connect(outputFolderEdit, &QLineEdit::textChanged, this, &MainWindow::outputFolderEdited);
    connect(fileTypeOptions[0], &QRadioButton::clicked, this, [this] { chooseFileType(0); });
    connect(fileTypeOptions[1], &QRadioButton::clicked, this, [this] { chooseFileType(1); });
    for (QRadioButton* option : fileTypeOptions)
        connect(option, &QRadioButton::toggled, this, &MainWindow::keepTabStopOnChosenOption);
    // The gallery's menu, tooltips and dragging out: full-quality copies of its icons.
    installGalleryExport(*gallery, *galleryModel,
                         {[this] { return commandContext(); }, [this] { return outputFolderEdit->text(); },
                          &runs});
}

// Start-up: each numbered step stands alone; a failing one is reported and the next runs.
void MainWindow::startUp()
{
    Trap trap(reporter(), trapLabel(labels::kStartUp));
    trap.step(104, [&] { setWindowTitle(kProductName); });
    trap.step(104, [&] {
        QIcon icon;
        for (int size : {32, 48, 128, 256})
            icon.addFile(QStringLiteral(":/app-icon-%1.png").arg(size), QSize(size, size));
        if (icon.isNull())
            throw StepFailure("The application icon is missing");
        setWindowIcon(icon);
    });
    trap.step(104, [&] { setAppTitle(); });
    trap.step(106, [&] { applySkin(); });
    const QString handFile = services_.programFolder + kHandPointerFile;
    if (trap.test(108, [&] { return fileExists(handFile); })) {
        trap.step(110, [&] {
            const auto cursor = readCursorFile(QFile::encodeName(handFile).toStdString());
            if (!cursor)
                throw StepFailure("Invalid picture");
            handCursor_ = QCursor(QPixmap::fromImage(toQImage(cursor->image)), cursor->hotX, cursor->hotY);
        });
    }
    trap.step(130, [&] { outputFolderEdit->setText(readSetting(kKeyOutputDirectory, desktopFolder())); });
    trap.step(132, [&] { sourceFolders->setHeading(kSourceColumnHeading); });
    trap.step(134, [&] { sourceListView->header()->resizeSection(0, layout::px(layout::kSourceColumnWidthTwips)); });
}

void MainWindow::setAppTitle(const QString& productName)
{
    QString title = productName;
    do {
        const qsizetype lastBlank = title.lastIndexOf(u' ');
        if (lastBlank < 0)
            throw StepFailure("Invalid procedure call or argument");
        title = title.left(lastBlank);
    } while (title.size() > kLongestAppTitle);
    appTitle_ = title;
}

void MainWindow::applySkin()
{
    const QString skinPath = services_.programFolder + kSkinFile;
    if (!QFile::exists(skinPath) || QFileInfo(skinPath).isDir())
        return;
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    auto paint = [&](QWidget* w) {
        QPalette p = w->palette();
        p.setColor(QPalette::Window, buttonFace);
        w->setPalette(p);
        w->setAutoFillBackground(true);
    };
    paint(this);
    for (QWidget* w : findChildren<QWidget*>()) {
        if (qobject_cast<QRadioButton*>(w) || w->inherits("QCheckBox")
            || qobject_cast<QGroupBox*>(w) || qobject_cast<QLabel*>(w))
            paint(w);
    }
    QFile skin(skinPath);
    if (!skin.open(QIODevice::ReadOnly | QIODevice::Text))
        throw StepFailure(skin.errorString().toStdString());
    const QString styleSheet = QString::fromUtf8(skin.readAll());
    setStyleSheet(styleSheet);
}

void MainWindow::closeRequested()
{
    Trap trap(reporter(), trapLabel(labels::kCloseRequested));
    trap.step(100, [&] { services_.endProgram(); });
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    closeRequested();
    event->accept();
}

void MainWindow::reportError(const std::string& label, int line, const std::string& description)
{
    services_.boxes->show(QStringLiteral("Application Error"),
                          QString::fromStdString(buildErrorReportText(description, label, line)),
                          BoxIcon::Warning, BoxButtons::Ok);
}

void MainWindow::showMessage(const QString& text)
{
    services_.boxes->show(appTitle(), text, BoxIcon::None, BoxButtons::Ok);
}

CommandContext MainWindow::commandContext()
{
    return CommandContext{reporter(), *services_.boxes, *services_.dialogs, this, appTitle(),
                          [this] { return mousePointer(); }, [this](int value) { setMousePointer(value); }};
}

// --- commands: each calls its subsystem ------------------------------------------------------

void MainWindow::saveSelectedIcons()
{
    saveRun.saveSelectedIcons(commandContext(), runs, *galleryModel, *gallery->selectionModel(),
                              [this] { return outputFolderEdit->text(); });
}

void MainWindow::saveAllIcons()
{
    saveRun.saveAllIcons(commandContext(), runs, *galleryModel, [this] { return outputFolderEdit->text(); });
}

void MainWindow::chooseOutputFolder()
{
    gg::chooseOutputFolder(commandContext(), [this](const QString& folder) { outputFolderEdit->setText(folder); });
}

void MainWindow::addFolderTree()
{
    gg::addFolderTree(commandContext(), *sourceFolders, services_.makeDirectoryLister);
}

void MainWindow::clearSourceList()
{
    gg::clearSourceList(commandContext(), *sourceFolders);
}

void MainWindow::startExtracting()
{
    extraction.start(commandContext(), runs, *sourceFolders, *galleryModel, *progress_);
}

void MainWindow::loadListFiles()
{
    gg::loadListFiles(commandContext(), *sourceFolders);
}

void MainWindow::loadSampleFolders()
{
    gg::loadSampleFolders(commandContext(), *sourceFolders, services_.programFolder);
}

void MainWindow::removeSelectedFolder()
{
    gg::removeSelectedFolder(commandContext(), *sourceFolders, *sourceListView->selectionModel());
}

void MainWindow::outputFolderEdited()
{
    storeOutputFolder(outputFolderEdit->text());
}

void MainWindow::chooseFileType(int index)
{
    extraction.chooseFileType(index);
}

// --- pointer ---------------------------------------------------------------------------------

void MainWindow::setMousePointer(int value)
{
    // The hand rule runs on every move over a button; only a change needs the controls walked.
    if (value == mousePointer_ && testAttribute(Qt::WA_SetCursor))
        return;
    mousePointer_ = value;
    applyPointer();
}

void MainWindow::applyPointer()
{
    // The pointer belongs to this window and its controls. Boxes and dialogs are windows of their
    // own and keep their normal pointer, so nothing is set for the whole application.
    QCursor shown(Qt::ArrowCursor);
    if (mousePointer_ == kPointerBusy)
        shown = QCursor(Qt::WaitCursor);
    else if (mousePointer_ == kPointerHand)
        shown = handCursor_ ? *handCursor_ : QCursor(Qt::PointingHandCursor);
    setCursor(shown);

    // The hourglass and the hand cover the controls too, even the text box's I-beam; the arrow
    // gives each control its own pointer back.
    if (mousePointer_ == kPointerDefault) {
        for (auto& [control, own] : ownPointers_)
            if (control)
                control->setCursor(own);
        ownPointers_.clear();
        return;
    }
    for (QWidget* w : findChildren<QWidget*>()) {
        if (w->window() != this)
            continue; // a box or dialog owned by the window
        const auto kept = std::find_if(ownPointers_.begin(), ownPointers_.end(),
                                       [w](const auto& entry) { return entry.first == w; });
        if (kept == ownPointers_.end()) {
            if (!w->testAttribute(Qt::WA_SetCursor))
                continue; // shows the window's pointer anyway
            ownPointers_.emplace_back(w, w->cursor());
        }
        w->setCursor(shown);
    }
}

// The option pair is one Tab stop, on the chosen option, as a desktop's option groups are; the
// arrows move between the options. Qt leaves the stop on whichever option last had focus.
void MainWindow::keepTabStopOnChosenOption()
{
    for (QRadioButton* option : fileTypeOptions)
        option->setFocusPolicy(option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
}

// --- placement -------------------------------------------------------------------------------

void MainWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (placedOnScreen_)
        return;
    placedOnScreen_ = true;
    centreOnScreen();
    // A window manager adds its frame only when the window is mapped; the frame is centred then.
    if (QWindow* window = windowHandle()) {
        frameCentringPending_ = true;
        window->installEventFilter(this);
    }
}

// Centres the window's frame on the free area of its screen (the screen less its panels); without
// a frame, the client area.
void MainWindow::centreOnScreen()
{
    const QScreen* here = screen();
    if (!here)
        return;
    const QRect area = here->availableGeometry();
    QRect frame = frameGeometry();
    frame.moveCenter(area.center());
    // On a screen smaller than the window the title bar stays within reach.
    move(std::max(frame.left(), area.left()), std::max(frame.top(), area.top()));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (!watched->isWidgetType()) {
        // The window's native handle, watched until it is first mapped: a window manager has
        // put its frame around it by then.
        auto* window = static_cast<QWindow*>(watched);
        if (frameCentringPending_ && event->type() == QEvent::Expose && window->isExposed()) {
            frameCentringPending_ = false;
            window->removeEventFilter(this);
            if (!window->frameMargins().isNull())
                centreOnScreen();
        }
        return QWidget::eventFilter(watched, event);
    }
    if (watched == fileTypeOptions[0] || watched == fileTypeOptions[1]) {
        // Focus that reached an option without choosing it (a press dragged off) gives the stop
        // back. The options have no pointer rule.
        if (event->type() == QEvent::FocusOut)
            keepTabStopOnChosenOption();
        return QWidget::eventFilter(watched, event);
    }
    if (event->type() == QEvent::MouseMove && mousePointer_ != kPointerBusy) {
        auto* widget = static_cast<QWidget*>(watched);
        const auto* move = static_cast<QMouseEvent*>(event);
        if (qobject_cast<QPushButton*>(widget)) {
            setMousePointer(kPointerHand);
        } else if (widget == sourceListView || sourceListView->isAncestorOf(widget)
                   || widget->childAt(move->position().toPoint()) == nullptr) {
            // The background, a frame or the source list. A move that a child passed up to
            // its parent belongs to that child, whose own rule (or none) has already run.
            setMousePointer(kPointerDefault);
        }
    } else if (event->type() == QEvent::KeyPress && watched == sourceListView) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete) {
            removeSelectedFolder();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace gg
