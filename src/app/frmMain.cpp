#include "frmMain.h"

#include "AppError.h"
#include "ChartView.h"
#include "ColumnFit.h"
#include "NodeChart.h"
#include "OutlineGridView.h"
#include "QtPrompts.h"
#include "ScanHistory.h"
#include "ScanTree.h"
#include "SettingsCatalogue.h"
#include "ShellLauncher.h"
#include "SortChoice.h"
#include "TreePictures.h"
#include "mdlDrives.h"
#include "mdlFileSearch.h"
#include "mdlHelp.h"

#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QFileSystemModel>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QStorageInfo>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

QIcon themed(const char *name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QString::fromLatin1(name), qApp->style()->standardIcon(fallback));
}

// The tree's background picture: a faint blue-grey tint laid over the palette's base colour, so
// it suits light and dark palettes alike. Its strength follows cosines of whole periods across
// the tile, so the tiles meet without a seam.
QImage makeWallpaper() {
    constexpr int Size = 256;
    QImage image(Size, Size, QImage::Format_ARGB32_Premultiplied);
    const double step = 2 * M_PI / Size;
    for (int y = 0; y < Size; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < Size; ++x) {
            const double wave = (2 - std::cos(x * step) - std::cos(y * step)) / 4; // 0 to 1
            const int alpha = static_cast<int>(std::lround(6 + 14 * wave));
            line[x] = qPremultiply(qRgba(70, 110, 150, alpha));
        }
    }
    return image;
}

} // namespace

/// The area below the path controls; it lays out grid, splitter and chart by the window's
/// rules whenever its size changes.
class WorkArea : public QWidget {
public:
    explicit WorkArea(frmMain *form) : QWidget(form), m_form(form) {}

protected:
    void resizeEvent(QResizeEvent *) override { m_form->layoutWorkArea(); }
    void showEvent(QShowEvent *) override { m_form->layoutWorkArea(); }

private:
    frmMain *m_form;
};

frmMain::frmMain(Prompts *prompts, QWidget *parent)
    : QMainWindow(parent), m_ownPrompts(prompts ? nullptr : new QtPrompts),
      m_prompts(prompts ? *prompts : *m_ownPrompts), m_session(m_settings) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Cairnmeter"));
    setWindowIcon(themed("drive-harddisk", QStyle::SP_DriveHDIcon));

    m_settingRead.assign(SettingsCatalogue::all().size(), false);
    m_tree->setPictureSource(&TreePictures::icon);
    m_tree->setErrorSink([this](const QString &title, const AppError &e) {
        m_prompts.message(this,
                          QString::number(e.number()) + u'\n' + e.description() +
                              QStringLiteral("\nLine: 0"),
                          title, Prompts::Icon::Critical);
    });
    m_search->setStatusSink([this](const QString &text) { showWalkPath(text); });

    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto *band = new QWidget(central);
    buildTopBand(band);
    column->addWidget(band);
    auto *line = new QFrame(central); // lneMenu
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    column->addWidget(line);
    workArea = new WorkArea(this);
    column->addWidget(workArea, 1);
    setCentralWidget(central);
    buildWorkArea();

    sbrPanel1 = new QLabel(this);
    sbrPanel2 = new QLabel(this);
    sbrPanel1->setTextFormat(Qt::PlainText);
    // A deep path must not push the other panels aside: the panel takes the room the status
    // bar gives it and shows the path elided in the middle (whole in its tooltip).
    sbrPanel1->setObjectName(QStringLiteral("sbrPanel1"));
    sbrPanel2->setObjectName(QStringLiteral("sbrPanel2"));
    sbrPanel1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    sbrPanel1->setMinimumWidth(1);
    sbrPanel1->installEventFilter(this);
    sbrPanel2->setTextFormat(Qt::PlainText);
    statusBar()->setObjectName(QStringLiteral("sbrMain"));
    statusBar()->addWidget(sbrPanel1, 1);
    statusBar()->addPermanentWidget(sbrPanel2);
    sbrPanel2->setMinimumWidth(static_cast<int>(2500 / twipsPerPixel()));
    sbrPanel3 = new QLabel(this);
    sbrPanel3->setObjectName(QStringLiteral("sbrPanel3"));
    sbrPanel3->setTextFormat(Qt::PlainText);
    sbrPanel3->setToolTip(QStringLiteral("Folders, files and size of the scan, and its time"));
    statusBar()->addPermanentWidget(sbrPanel3);
    sbrPanel3->hide();
    m_liveTimer.setInterval(100); // at most ten updates a second
    connect(&m_liveTimer, &QTimer::timeout, this, &frmMain::showWalkFigures);

    buildMenus();
    buildPopupMenu();
    SetSortTags();
    m_wallpaper = makeWallpaper();

    m_tree->InitTreeGrid();
    applyTreeLook(); // the defaults, until the settings are read
    fitColumnsToFont();
    fgTreeView->setStretchColumn(TreeCol::Name);
    m_nodeChart =
        std::make_unique<NodeChart>(fgTree, *chMain->chart(), *m_tree, m_settings,
                                    [this](const QString &text) { setStatusText(1, text); });
    m_nodeChart->applyStartupAppearance();
    showKeptFilesInChart();
    connectPaletteColours();
    connectShareColumn();
    m_nodeChart->applyChartSettings();
    ClearTheChart();

    const double tpp = twipsPerPixel();
    // The least size the layout wants, but never more than the screen can show (a small
    // screen at a large scale factor has less room than that).
    const QSize room = screenRoom();
    setMinimumSize(std::min(static_cast<int>(9100 / tpp), room.width()) - frameGeometry().width() +
                       width(),
                   std::min(static_cast<int>(3200 / tpp), room.height()) -
                       frameGeometry().height() + height());
    resize(static_cast<int>(14400 / tpp), static_cast<int>(9600 / tpp));
    setSplitterLeft(fittedChartLeft() - static_cast<int>(lblBar->width() * tpp));
    cboStartPath->setEditText(QStringLiteral("/"));
}

frmMain::~frmMain() {
    // The views read fgTree until they are gone, and fgTree is destroyed before child widgets.
    delete fgTreeView;
    fgTreeView = nullptr;
}

Chart &frmMain::chart() const {
    return *chMain->chart();
}

double frmMain::twipsPerPixel() const {
    const int dpi = logicalDpiX();
    return 1440.0 / (dpi > 0 ? dpi : 96);
}

QString frmMain::statusText(int panel) const {
    return panel == 1 ? m_panel1Text : (panel == 2 ? sbrPanel2 : sbrPanel3)->text();
}

void frmMain::setStatusText(int panel, const QString &text) {
    if (panel != 1) {
        sbrPanel2->setText(text);
        return;
    }
    m_panel1Text = text;
    showPanel1Text();
}

void frmMain::showPanel1Text() {
    const QString shown = sbrPanel1->fontMetrics().elidedText(m_panel1Text, Qt::ElideMiddle,
                                                              sbrPanel1->contentsRect().width());
    sbrPanel1->setText(shown);
    sbrPanel1->setToolTip(shown == m_panel1Text ? QString() : m_panel1Text);
}

// Selects each selected row again over its written columns, as the list stood before; the last one
// stays selected, so the selection follows its row after a sort.
void frmMain::reselectRows() {
    std::vector<int> rows;
    for (int i = 0; i < fgTree.selectedRowCount(); ++i)
        rows.push_back(fgTree.selectedRow(i));
    for (int r : rows)
        fgTree.select(r, TreeCol::Name, r, TreeCol::Bytes);
}

void frmMain::fitColumnsToFont() {
    m_fittedColWidths = fittedColumnWidths(*fgTreeView, twipsPerPixel());
    for (int c = 0; c < Settings::ColumnCount && c < fgTree.cols(); ++c)
        fgTree.setColWidth(c, m_fittedColWidths[static_cast<std::size_t>(c)]);
}

// The chart's left edge (twips) that leaves the tree room for the name, size, unit and file
// count at their fitted widths, as the design's edge did at the design's widths; never left of
// the design's edge, and never past the middle of the window, so the chart keeps half of it.
int frmMain::fittedChartLeft() const {
    const double tpp = twipsPerPixel();
    double tree = 0; // twips
    for (int c : {TreeCol::Name, TreeCol::Size, TreeCol::Unit, TreeCol::Files})
        tree += m_fittedColWidths[static_cast<std::size_t>(c)];
    tree += (fgTreeView->verticalScrollBar()->sizeHint().width() + 2 * fgTreeView->frameWidth() +
             lblBar->width()) *
            tpp;
    const double designed = Settings().chMain_Left;
    const double half = width() * tpp / 2;
    return static_cast<int>(std::lround(std::max(designed, std::min(tree, half))));
}

void frmMain::buildTopBand(QWidget *band) {
    auto *grid = new QGridLayout(band);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);

    drvMain = new QComboBox(band);
    drvMain->setObjectName(QStringLiteral("drvMain"));
    drvMain->setMinimumContentsLength(6);
    drvMain->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    fillDriveList();
    cboStartPath = new QComboBox(band);
    cboStartPath->setObjectName(QStringLiteral("cboStartPath"));
    cboStartPath->setEditable(true);
    cboStartPath->setInsertPolicy(QComboBox::NoInsert);
    // Both lists may shrink to a few characters, so that the buttons keep their full size down
    // to the window's minimum width; they grow with the window.
    cboStartPath->setMinimumContentsLength(10);
    cboStartPath->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    // The combo box would complete a typed "/" inline to "/usr/" from its list, and Enter would
    // scan that. Folders are offered in a pop-up instead; the typed text is never changed.
    auto *folders = new QCompleter(cboStartPath);
    auto *folderModel = new QFileSystemModel(folders);
    folderModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    folderModel->setRootPath(QString());
    folders->setModel(folderModel);
    folders->setCompletionMode(QCompleter::PopupCompletion);
    folders->setCaseSensitivity(Qt::CaseSensitive);
    cboStartPath->setCompleter(folders);
    // Enter while the pop-up shows scans what was typed, unless a folder was picked in it.
    folders->popup()->installEventFilter(this);
    cmdBrowse = new QPushButton(QStringLiteral("&..."), band);
    cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    cmdBrowse->setToolTip(QStringLiteral("Browse for a folder"));
    cmdBrowse->setAccessibleName(QStringLiteral("Browse for a folder"));
    cmdBeginScan = new QPushButton(QStringLiteral("&Begin Scan"), band);
    cmdBeginScan->setObjectName(QStringLiteral("cmdBeginScan"));
    cmdBeginScan->setDefault(true);
    cmdClear = new QPushButton(QStringLiteral("&Clear All"), band);
    cmdClear->setObjectName(QStringLiteral("cmdClear"));
    cmdAbort = new QPushButton(QStringLiteral("&Abort"), band);
    cmdAbort->setObjectName(QStringLiteral("cmdAbort"));
    cmdAbort->setEnabled(false);

    auto *drvLabel = new QLabel(QStringLiteral("Select a drive:"), band);
    auto *pathLabel = new QLabel(QStringLiteral("Start path:"), band);
    auto *browseLabel = new QLabel(QStringLiteral("-OR- browse for a folder:"), band);
    drvLabel->setBuddy(drvMain);
    pathLabel->setBuddy(cboStartPath);
    grid->addWidget(drvLabel, 0, 0);
    grid->addWidget(drvMain, 1, 0);
    grid->addWidget(pathLabel, 0, 1);
    grid->addWidget(cboStartPath, 1, 1);
    grid->addWidget(browseLabel, 0, 2);
    grid->addWidget(cmdBrowse, 1, 2, Qt::AlignLeft);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdBeginScan);
    buttons->addWidget(cmdClear);
    buttons->addWidget(cmdAbort);
    grid->addLayout(buttons, 1, 3);

    connect(cmdBeginScan, &QPushButton::clicked, this, &frmMain::cmdBeginScan_Click);
    connect(cmdAbort, &QPushButton::clicked, this, &frmMain::cmdAbort_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmMain::cmdClear_Click);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmMain::cmdBrowse_Click);
    connect(drvMain, &QComboBox::activated, this, [this](int) { drvMain_Change(); });
    connect(cboStartPath, &QComboBox::editTextChanged, this,
            [this](const QString &text) { setStatusText(1, text); });
    connect(cboStartPath, &QComboBox::activated, this, [this](int) { cboStartPath_Click(); });
    // Enter in the path box starts the scan, as the default button would in a dialog. It is
    // taken before the line edit sees it: the line edit reports Enter through the combo box as
    // well, and the combo box reports a typed path that is in the list as chosen, so a signal
    // would start the scan two or three times. Keys from the window system reach the combo box,
    // which has the focus and hands them to its line edit without passing event filters, so
    // both are watched.
    cboStartPath->installEventFilter(this);
    cboStartPath->lineEdit()->installEventFilter(this);
}

void frmMain::fillDriveList() {
    drvMain->clear();
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        if (mdlDrives::isPseudoFs(volume.fileSystemType()))
            continue;
        const QString label = volume.name().isEmpty()
                                  ? volume.rootPath()
                                  : volume.rootPath() + QStringLiteral(" [") + volume.name() + u']';
        drvMain->addItem(label, volume.rootPath());
    }
    if (drvMain->count() == 0)
        drvMain->addItem(QStringLiteral("/"), QStringLiteral("/"));
}

void frmMain::buildWorkArea() {
    fgTreeView = new OutlineGridView(&fgTree, workArea);
    fgTreeView->setObjectName(QStringLiteral("fgTree"));
    fgTreeView->setAccessibleName(QStringLiteral("Scan tree"));
    connect(fgTreeView, &OutlineGridView::clicked, this, &frmMain::fgTree_Click);
    connect(fgTreeView, &OutlineGridView::headerClicked, this, &frmMain::fgTree_HeaderClick);
    watchRootToolTips();
    connect(&fgTree, &OutlineGrid::selectionChanged, this, [this](int oldRow, int newRow) {
        // Keyboard moves select too; the chart follows the selected node either way.
        if (oldRow != newRow && !m_scanning && fgTreeView->hasFocus())
            fgTree_Click();
    });

    lblBar = new QLabel(workArea);
    lblBar->setObjectName(QStringLiteral("lblBar"));
    lblBar->setCursor(Qt::SizeHorCursor);
    lblBar->setFixedWidth(6);
    lblBar->installEventFilter(this);

    chMain = new ChartView(workArea);
    chMain->setObjectName(QStringLiteral("chMain"));
    chMain->setAccessibleName(QStringLiteral("Chart of the selected folder"));
    connect(chMain, &ChartView::laidOut, this, &frmMain::placeCloseBox);
    connectChartNavigation();
    connect(chMain, &ChartView::pointerMoved, this, [this] { setCloseBoxLook(0); });
    buildChartPages();

    picClose = new QLabel(workArea);
    picClose->setObjectName(QStringLiteral("picClose"));
    picClose->setToolTip(QStringLiteral("Hide the chart"));
    picClose->setMouseTracking(true);
    picClose->installEventFilter(this);
    setCloseBoxLook(0);
}

void frmMain::buildMenus() {
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    buildScanFileItems();
    buildFileMenu();
    mnuExit = mnuFile->addAction(QStringLiteral("E&xit"));
    mnuExit->setShortcut(QKeySequence::Quit);
    connect(mnuExit, &QAction::triggered, this, &QWidget::close);

    mnuView = menuBar()->addMenu(QStringLiteral("&View"));
    mnuDispChart = mnuView->addAction(QStringLiteral("Display Chart"));
    mnuDispChart->setCheckable(true);
    mnuDispChart->setChecked(true);
    connect(mnuDispChart, &QAction::triggered, this, [this] {
        // The handler itself inverts the check mark, as the close box's path does.
        mnuDispChart->setChecked(!mnuDispChart->isChecked());
        mnuDispChart_Click();
    });
    buildChartTypeMenu();
    // While a comparison is shown, the chart can divide the growth instead of the size.
    QAction *growth = mnuView->addAction(QStringLiteral("Chart the Growth Since the Earlier Scan"));
    growth->setObjectName(QStringLiteral("mnuChartGrowth"));
    growth->setCheckable(true);
    connect(growth, &QAction::toggled, this, [this](bool on) {
        m_nodeChart->setShowGrowth(on);
        fgTree_Click();
    });
    mnuView->addSeparator();
    mnuOnTop = mnuView->addAction(QStringLiteral("Always On Top"));
    mnuOnTop->setCheckable(true);
    connect(mnuOnTop, &QAction::triggered, this, [this] {
        mnuOnTop->setChecked(!mnuOnTop->isChecked());
        mnuOnTop_Click();
    });
    mnuSetOpacityMain = mnuView->addMenu(QStringLiteral("Set Opacity"));
    for (int i = 0; i < 10; ++i) {
        QAction *a = mnuSetOpacityMain->addAction(QString::number(100 - 10 * i) + u'%');
        a->setCheckable(true);
        a->setChecked(i == 0);
        mnuSetOpacity[static_cast<std::size_t>(i)] = a;
        connect(a, &QAction::triggered, this, [this, i] { mnuSetOpacity_Click(i); });
    }
    mnuView->addSeparator();
    for (int i = 0; i < static_cast<int>(mnuSizeBasis.size()); ++i) {
        QAction *a = mnuView->addAction(sizeBasisOf(i) == SizeBasis::DiskUsage
                                            ? QStringLiteral("Space used on disk")
                                            : QStringLiteral("Size of the files"));
        a->setCheckable(true);
        mnuSizeBasis[static_cast<std::size_t>(i)] = a;
        connect(a, &QAction::triggered, this, [this, i] { mnuSizeBasis_Click(i); });
    }
    checkSizeBasisMenu();

    buildToolsMenu();

    mnuSortMain = menuBar()->addMenu(QStringLiteral("&Sort"));
    for (int i = 0; i < static_cast<int>(mnuSort.size()); ++i) {
        const SortChoice &choice = SortChoice::all()[static_cast<std::size_t>(i)];
        QAction *a = choice.isSeparator()
                         ? mnuSortMain->addSeparator()
                         : mnuSortMain->addAction(QString::fromLatin1(choice.caption));
        a->setCheckable(!choice.isSeparator());
        mnuSort[static_cast<std::size_t>(i)] = a;
        if (a->isCheckable())
            connect(a, &QAction::triggered, this, [this, i] { mnuSort_Click(i); });
    }
    mnuSort[SortChoice::NoneIndex]->setChecked(true);
    buildHelpMenu();
}
