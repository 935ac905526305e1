#include "window/main_window.h"

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

void endProcessNow()
{
    std::fflush(nullptr);
    std::_Exit(0);
}

} // namespace

// The progress bar and the counters, as the extraction run drives them.
class Form1::Progress : public ProgressDisplay {
public:
    explicit Progress(Form1& window) : window_(window) {}
    void resetProgress() override
    {
        window_.ProgressBar1->setValue(0);
        window_.ProgressBar1->setFormat(kProgressBarText);
    }
    void setProgressRange(int maximum) override { window_.ProgressBar1->setRange(0, maximum); }
    void setProgress(int value) override { window_.ProgressBar1->setValue(value); }
    void setProgressVisible(bool visible) override { window_.ProgressBar1->setVisible(visible); }
    void setCounters(const QString& text) override { window_.lblIcons->setText(text); }
    void setCountersVisible(bool visible) override { window_.lblIcons->setVisible(visible); }

private:
    Form1& window_;
};

Form1::Form1(QWidget* parent) : Form1(Form1Services{}, parent) {}

Form1::Form1(Form1Services services, QWidget* parent)
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
    Form_Load();
}

Form1::~Form1() = default;

void Form1::buildControls()
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

    sourceList = new FolderListModel(this);
    ListView1 = placed<QTreeView>(this, "ListView1");
    ListView1->setModel(sourceList);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ListView1->header()->setStretchLastSection(false);
    ListView1->setToolTip(QStringLiteral("Press Delete to remove the selected folder."));
    ListView1->setMouseTracking(true);
    ListView1->viewport()->setMouseTracking(true);

    auto button = [this](std::string_view name) {
        auto* b = placed<QPushButton>(this, name);
        b->setText(captionOf(name));
        b->setFont(buttonFont());
        b->setMouseTracking(true);
        b->setAutoDefault(true); // Enter presses the focused button
        return b;
    };
    PushButton4 = button("PushButton4");
    PushButton7 = button("PushButton7");
    PushButton5 = button("PushButton5");
    PushButton8 = button("PushButton8");
    PushButton6 = button("PushButton6");

    Frame3 = placed<QGroupBox>(this, "Frame3");
    Frame3->setTitle(captionOf("Frame3"));
    optFiles[0] = placed<QRadioButton>(Frame3, "optFiles_0");
    optFiles[0]->setText(captionOf("optFiles_0"));
    optFiles[1] = placed<QRadioButton>(Frame3, "optFiles_1");
    optFiles[1]->setText(captionOf("optFiles_1"));
    optFiles[1]->setChecked(true);
    optFiles_Click(1); // the shown choice is the one in force from the start
    keepTabStopOnChosenOption();
    Label1 = placed<QLabel>(Frame3, "Label1");
    Label1->setText(captionOf("Label1"));
    // The designed width cuts the list of extensions short in this font; let it run to the frame's edge.
    Label1->resize(Frame3->width() - Label1->x() - layout::px(120), Label1->height());

    Frame2 = placed<QGroupBox>(this, "Frame2");
    Frame2->setTitle(captionOf("Frame2"));
    Iml = new ImageList(this);
    lv = placed<QListView>(Frame2, "lv");
    SetUpGallery(*lv);

    Frame1 = placed<QGroupBox>(this, "Frame1");
    Frame1->setTitle(captionOf("Frame1"));
    Text1 = placed<QLineEdit>(Frame1, "Text1");
    Text1->setText(QStringLiteral("Text1"));
    PushButton3 = placed<QPushButton>(Frame1, "PushButton3");
    PushButton3->setText(captionOf("PushButton3"));
    PushButton3->setFont(buttonFont());
    PushButton3->setMouseTracking(true);
    PushButton3->setAutoDefault(true);

    PushButton1 = button("PushButton1");
    PushButton2 = button("PushButton2");

    ProgressBar1 = placed<QProgressBar>(this, "ProgressBar1");
    ProgressBar1->setRange(0, 1);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setAlignment(Qt::AlignCenter);
    ProgressBar1->setFormat(captionOf("ProgressBar1"));

    // The counters take the progress bar's place: the run shows one while it hides the other.
    lblIcons = new QLabel(this);
    lblIcons->setObjectName(QStringLiteral("lblIcons"));
    lblIcons->setGeometry(ProgressBar1->geometry());
    lblIcons->setAlignment(Qt::AlignCenter);
    lblIcons->hide();

    // Tab order of the design: gallery, saves, file type, source list and its commands, output folder.
    const std::array<QWidget*, 13> tabOrder{lv, PushButton1, PushButton2, optFiles[0], optFiles[1],
                                            ListView1, PushButton4, PushButton5, PushButton6,
                                            PushButton3, Text1, PushButton7, PushButton8};
    for (size_t i = 0; i + 1 < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i], tabOrder[i + 1]);
    lv->setFocus(); // the window opens on the first stop, not on a button that Enter would press
    for (QWidget* w : {static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Frame2),
                       static_cast<QWidget*>(Frame3), static_cast<QWidget*>(ProgressBar1),
                       static_cast<QWidget*>(Label1), static_cast<QWidget*>(lblIcons)})
        w->setFocusPolicy(Qt::NoFocus);

    // Mouse moves drive the pointer rules.
    for (QObject* o : {static_cast<QObject*>(this), static_cast<QObject*>(ListView1),
                       static_cast<QObject*>(ListView1->viewport()), static_cast<QObject*>(Frame1),
                       static_cast<QObject*>(Frame2), static_cast<QObject*>(Frame3)})
        o->installEventFilter(this);
    for (QGroupBox* f : {Frame1, Frame2, Frame3})
        f->setMouseTracking(true);
    for (QPushButton* b : {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton6,
                           PushButton7, PushButton8})
        b->installEventFilter(this);
    ListView1->installEventFilter(this);
    for (QRadioButton* option : optFiles)
        option->installEventFilter(this);
}

void Form1::connectHandlers()
{
    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form1::PushButton6_Click);
    connect(PushButton7, &QPushButton::clicked, this, &Form1::PushButton7_Click);
    connect(PushButton8, &QPushButton::clicked, this, &Form1::PushButton8_Click);
    connect(Text1, &QLineEdit::textChanged, this, &Form1::Text1_Change);
    connect(optFiles[0], &QRadioButton::clicked, this, [this] { optFiles_Click(0); });
    connect(optFiles[1], &QRadioButton::clicked, this, [this] { optFiles_Click(1); });
    for (QRadioButton* option : optFiles)
        connect(option, &QRadioButton::toggled, this, &Form1::keepTabStopOnChosenOption);
}

// Start-up: each numbered step stands alone; a failing one is reported and the next runs.
void Form1::Form_Load()
{
    Trap trap(reporter(), TrapLabel(labels::kStartUp));
    trap.step(104, [&] { setWindowTitle(kProductName); });
    trap.step(104, [&] {
        QIcon icon;
        for (int size : {32, 48, 128, 256})
            icon.addFile(QStringLiteral(":/app-icon-%1.png").arg(size), QSize(size, size));
        if (icon.isNull())
            throw StepFailure("The application icon is missing");
        setWindowIcon(icon);
    });
    trap.step(104, [&] { SetAppTitle(); });
    trap.step(106, [&] { ApplySkin(); });
    const QString handFile = services_.programFolder + kHandPointerFile;
    if (trap.test(108, [&] { return FileExists(handFile); })) {
        trap.step(110, [&] {
            const auto cursor = ReadCursorFile(QFile::encodeName(handFile).toStdString());
            if (!cursor)
                throw StepFailure("Invalid picture");
            handCursor_ = QCursor(QPixmap::fromImage(cursor->image), cursor->hotX, cursor->hotY);
        });
    }
    trap.step(130, [&] { Text1->setText(ReadSetting(kKeyOutputDirectory, GetDesktopFolder())); });
    trap.step(132, [&] { sourceList->setHeading(kSourceColumnHeading); });
    trap.step(134, [&] { ListView1->header()->resizeSection(0, layout::px(layout::kSourceColumnWidthTwips)); });
}

void Form1::SetAppTitle(const QString& productName)
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

void Form1::ApplySkin()
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

void Form1::Form_QueryUnload()
{
    Trap trap(reporter(), TrapLabel(labels::kCloseRequested));
    trap.step(100, [&] { services_.endProgram(); });
}

void Form1::closeEvent(QCloseEvent* event)
{
    Form_QueryUnload();
    event->accept();
}

void Form1::ReportError(const std::string& label, int line, const std::string& description)
{
    services_.boxes->show(QStringLiteral("Application Error"),
                          QString::fromStdString(BuildErrorReportText(description, label, line)),
                          BoxIcon::Warning, BoxButtons::Ok);
}

void Form1::showMessage(const QString& text)
{
    services_.boxes->show(appTitle(), text, BoxIcon::None, BoxButtons::Ok);
}

CommandContext Form1::commandContext()
{
    return CommandContext{reporter(), *services_.boxes, *services_.dialogs, this, appTitle(),
                          [this] { return MousePointer(); }, [this](int value) { setMousePointer(value); }};
}

// --- commands: each calls its subsystem ------------------------------------------------------

void Form1::PushButton1_Click()
{
    saveRun.saveSelectedIcons(commandContext(), *Iml, *lv->selectionModel(), [this] { return Text1->text(); },
                              extraction.extracting);
}

void Form1::PushButton2_Click()
{
    saveRun.saveAllIcons(commandContext(), *Iml, [this] { return Text1->text(); }, extraction.extracting);
}

void Form1::PushButton3_Click()
{
    chooseOutputFolder(commandContext(), [this](const QString& folder) { Text1->setText(folder); });
}

void Form1::PushButton4_Click()
{
    addFolderTree(commandContext(), *sourceList, services_.makeDirectoryLister);
}

void Form1::PushButton5_Click()
{
    clearSourceList(commandContext(), *sourceList);
}

void Form1::PushButton6_Click()
{
    extraction.start(commandContext(), *sourceList, *Iml, *lv, *progress_, saveRun.saving);
}

void Form1::PushButton7_Click()
{
    loadListFiles(commandContext(), *sourceList);
}

void Form1::PushButton8_Click()
{
    loadSampleFolders(commandContext(), *sourceList, services_.programFolder);
}

void Form1::ListView1_KeyDown(int keyCode, int /*shift*/)
{
    constexpr int kDeleteKey = 46;
    if (keyCode == kDeleteKey)
        removeSelectedFolder(commandContext(), *sourceList, *ListView1->selectionModel());
}

void Form1::Text1_Change()
{
    storeOutputFolder(Text1->text());
}

void Form1::optFiles_Click(int index)
{
    extraction.chooseFileType(index);
}

// --- pointer ---------------------------------------------------------------------------------

void Form1::setMousePointer(int value)
{
    // The hand rule runs on every move over a button; only a change needs the controls walked.
    if (value == mousePointer_ && testAttribute(Qt::WA_SetCursor))
        return;
    mousePointer_ = value;
    applyPointer();
}

void Form1::applyPointer()
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
void Form1::keepTabStopOnChosenOption()
{
    for (QRadioButton* option : optFiles)
        option->setFocusPolicy(option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
}

// --- placement -------------------------------------------------------------------------------

void Form1::showEvent(QShowEvent* event)
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
void Form1::centreOnScreen()
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

bool Form1::eventFilter(QObject* watched, QEvent* event)
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
    if (watched == optFiles[0] || watched == optFiles[1]) {
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
        } else if (widget == ListView1 || ListView1->isAncestorOf(widget)
                   || widget->childAt(move->position().toPoint()) == nullptr) {
            // The background, a frame or the source list. A move that a child passed up to
            // its parent belongs to that child, whose own rule (or none) has already run.
            setMousePointer(kPointerDefault);
        }
    } else if (event->type() == QEvent::KeyPress && watched == ListView1) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete) {
            ListView1_KeyDown(46, 0);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace gg
