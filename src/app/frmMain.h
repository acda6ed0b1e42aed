#pragma once

#include "OutlineGrid.h"
#include "PdfConverter.h"
#include "PrintLayout.h"
#include "Prompts.h"
#include "ReportFormat.h"
#include "ScanSession.h"
#include "ScannedPath.h"
#include "Settings.h"

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QMainWindow>
#include <QPoint>
#include <QRect>
#include <QStringList>
#include <QTimer>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class BusyPointer;
class ChartView;
class FileTypesView;
class LargestFilesView;
class QTabBar;
class Chart;
class NodeChart;
class OutlineGridView;
class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class ScanTree;
class ShellLauncher;
class mdlFileSearch;
class mdlHelp;
class WorkArea;
namespace ScanHistory {
class Writer;
}

/// The main window: the path controls at the top, the scan tree `fgTree` on the left, the chart
/// `chMain` on the right with the splitter `lblBar` between them, and the status bar.
///
/// Its handlers keep the names of the commands they implement; their bodies are split by
/// concern: frmMainScan.cpp (scan, abort, clear), frmMainChart.cpp (node chart),
/// frmMainLayout.cpp (geometry, splitter, close box, view options, path controls).
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    /// `prompts` shows every message and dialog (a recording one in tests); null for real ones.
    explicit frmMain(Prompts *prompts = nullptr, QWidget *parent = nullptr);
    ~frmMain() override;

    /// Start-up: settings folder and file, settings, start path, placement, then the window
    /// shows and a path given with "/f" on `commandLine` is scanned.
    void Form_Load(const QString &commandLine);
    void LoadINI();
    void SaveINI();
    /// Finds (creating when missing, unless `create` is false) the settings folder and the
    /// settings file's path in it.
    void LocateSettingsFile(bool create = true);
    const QString &IniPath() const { return m_iniPath; }

    // Commands ---------------------------------------------------------------------------
    void cmdBeginScan_Click();
    void cmdAbort_Click();
    void cmdClear_Click();
    void EnObjs(bool enable);
    void EnObjs2(bool enable);
    void fgTree_Click();
    void ClearTheChart();
    void ShowTheChart(bool show);
    void mnuDispChart_Click();
    /// A click on a series of the chart: selects that child in the tree and charts it.
    void chMain_SeriesClick(int series);
    /// The chart's "Up" (Backspace): selects the parent of the charted node and charts it.
    void chMain_Up();
    /// A click on a treemap tile or ring segment: selects that row in the tree, the chart
    /// keeps its centre.
    void chMain_ItemClick(int id);
    /// A double-click on a treemap tile or ring segment: a folder becomes the chart's centre;
    /// the centre itself leads up a level.
    void chMain_ItemActivate(int row);
    /// The View menu's chart types, by `Chart_Type` value: 0 pie, 1 bars, 2 treemap, 3 rings.
    void mnuChartType_Click(int Index);
    /// The View menu's "Cushion Shading" for treemaps.
    void mnuCushions_Click();
    void Form_Resize();
    void mnuOnTop_Click();
    void mnuSetOpacity_Click(int index);
    /// The View menu's choice of what sizes count (`Size_Basis`), used from the next scan on.
    void mnuSizeBasis_Click(int Index);
    void drvMain_Change();
    void cboStartPath_Click();
    void cmdBrowse_Click();
    void imgX_Click();
    void AddToList(const QString &path);
    /// Where the browse dialog opens for the path box's text: that folder, or the nearest
    /// existing one above it; empty when there is none.
    static QString BrowseStartFolder(const QString &pathBoxText);
    /// The screen's available area, the most room the window may take.
    QSize screenRoom() const;
    void SetSortTags();
    void fgTree_BeforeMouseDown(Qt::MouseButton button, QPoint pos);
    void fgTree_MouseDown(Qt::MouseButton button, QPoint pos);
    void fgTree_AfterSelChange(int oldRow, int newRow);
    bool fgTree_OLEDragOver(const QStringList &paths);
    void fgTree_OLEDragDrop(const QStringList &paths);
    void mnuClearRootNode_Click();
    void mnuThisNode_Click(int Index);
    void mnuAllNodes_Click(int Index);
    void mnuOpenFold_Click(int Index);
    void mnuProps_Click();
    /// Walks the selected folder again and puts what it finds in place of its rows (F5).
    void mnuRescan_Click();
    /// Moves the selected folder or file to the trash, after asking (Delete).
    void mnuTrash_Click();
    /// Deletes the selected folder or file for good, after asking twice (Shift+Delete).
    void mnuDeleteItem_Click();
    void mnuTerminal_Click();
    void mnuCopyPath_Click();
    /// Enables the rescan, trash, delete, terminal and copy commands for the selected row, with
    /// a tip that says why when they are not.
    void updateItemActions();
    void mnuSort_Click(int Index);
    void fgTree_HeaderClick(int col);
    void mnuHelp_Click(int Index);
    void mnuVLM_URL_Click();
    void mnuUpdate_Click();
    void mnuExpRep_Click(int Index);
    /// File > Open Scan...: asks for a saved scan and opens it.
    void mnuOpenScan_Click();
    /// File > Save Scan As...: saves the scan root of the selected node.
    void mnuSaveScan_Click();
    /// Opens a saved scan as a new scan root, as a scan would leave it; errors are shown.
    /// Returns true when the scan was opened.
    bool OpenScanFile(const QString &fileName);
    /// Compares the scan root `root` with the scan in `fileName` (see ScanCompare); errors
    /// are shown. Returns true when the tree shows the comparison.
    bool CompareWith(int root, const QString &fileName);
    /// The pop-up menu's "Stop Comparing": the tree without any comparison again.
    void mnuStopComparing_Click();
    /// Where finished scans are kept; none (the default) keeps none.
    void setHistoryFolder(const QString &folder) { m_historyFolder = folder; }
    ScanHistory::Writer &historyWriter() const { return *m_history; }
    void mnuOpenResFold_Click(int Index);
    /// The report root in the user's documents folder, ending in "/".
    QString ReportsFolder() const;
    void mnuAbout_Click();
    /// Shows the options dialog, modal, until it is closed.
    void mnuOptions_Click();

    // Parts the program and its tests reach --------------------------------------------
    OutlineGrid &grid() { return fgTree; }
    OutlineGridView *gridView() const { return fgTreeView; }
    ChartView *chartView() const { return chMain; }
    Chart &chart() const;
    ScanTree &scanTree() const { return *m_tree; }
    mdlFileSearch &fileSearch() const { return *m_search; }
    ScanSession &session() { return m_session; }
    Settings &settings() { return m_settings; }
    QComboBox *startPathBox() const { return cboStartPath; }
    /// The text of status panel 1, 2 or 3 (the walk's figures).
    QString statusText(int panel) const;
    /// Shows the figures of the walk so far in panel 3 (folders, files, bytes in the display
    /// unit, time taken); run at most ten times a second while a walk runs, and once at its end.
    void showWalkFigures();
    /// Shows the folder the walk is in, in panel 1: while the walk runs, with its figures (each
    /// new text lays the status bar and the window out again, too costly at every turn of the
    /// event loop), else at once.
    void showWalkPath(const QString &text);
    void setStatusText(int panel, const QString &text);
    bool isChartShown() const { return m_chartShown; }
    int splitterLeft() const; ///< twips, within the work area
    void setSplitterLeft(int twips);
    double twipsPerPixel() const;
    QAction *opacityAction(int index) const {
        return mnuSetOpacity[static_cast<std::size_t>(index)];
    }
    QAction *onTopAction() const { return mnuOnTop; }
    QAction *sizeBasisAction(int index) const {
        return mnuSizeBasis[static_cast<std::size_t>(index)];
    }
    /// The tooltip of a scan root: which basis its sizes were counted in; empty for other rows.
    QString rootToolTip(int row) const;
    QAction *dispChartAction() const { return mnuDispChart; }
    QAction *chartTypeAction(int index) const {
        return mnuChartType[static_cast<std::size_t>(index)];
    }
    QAction *cushionsAction() const { return mnuCushions; }
    /// The chart pane's tabs: 0 the chart, 1 "Largest files", 2 "File types".
    QTabBar *chartTabs() const { return tabChartPane; }
    LargestFilesView *largestFilesView() const { return lvwLargest; }
    FileTypesView *fileTypesView() const { return lvwTypes; }
    /// The row of the folder (or scan root) whose path's bytes are `folderPath`, in the scan
    /// that holds the selected node; -1 when there is none.
    int rowOfFolder(const QByteArray &folderPath) const;
    QMenu *popupMenu() const { return mnuPopUp1; }
    /// What opens items with the desktop (a recording one in tests).
    ShellLauncher &shellLauncher();
    void setShellLauncher(std::unique_ptr<ShellLauncher> launcher);
    QAction *clearRootAction() const { return mnuClearRootNode; }
    QAction *rescanAction() const { return mnuRescan; }
    QAction *trashAction() const { return mnuTrash; }
    QAction *deleteItemAction() const { return mnuDeleteItem; }
    QAction *terminalAction() const { return mnuTerminal; }
    QAction *copyPathAction() const { return mnuCopyPath; }
    QAction *sortAction(int index) const { return mnuSort[static_cast<std::size_t>(index)]; }
    QMenu *helpMenu() const { return mnuHelpMain; }
    QMenu *toolsMenu() const { return mnuTools; }
    QAction *optionsAction() const { return mnuOptions; }
    /// The manual and its window; the help file is the one start-up found.
    mdlHelp &help();
    const QString &helpFile() const { return m_helpFile; }
    void setHelpFile(const QString &path) { m_helpFile = path; }
    /// Opens a web or mail address with the desktop; failures are reported to the user.
    std::function<void(QWidget *owner, const QString &address)> addressOpener();
    QMenu *fileMenu() const { return mnuFile; }
    /// The "Export Report As..." item of a format, by its index; null when the menu lacks it.
    QAction *exportAction(int index) const;
    QAction *reportsFolderAction(int index) const {
        return mnuOpenResFold[static_cast<std::size_t>(index)];
    }
    /// The report formats by menu index; a format's writer may be replaced (tests do).
    ReportFormat &reportFormat(int index);

    /// Opacity alpha of a percentage: percent / 100 × 255, halves to the even neighbour.
    static int opacityAlpha(int percent);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class WorkArea;
    friend class OptionsLink;

    std::unique_ptr<Prompts> m_ownPrompts;
    Prompts &m_prompts;
    Settings m_settings;

    /// The scan tree, the walk, saved scans and reports; the window shows and drives it.
    ScanSession m_session;
    OutlineGrid &fgTree = m_session.grid();
    OutlineGridView *fgTreeView = nullptr;
    ScanTree *const m_tree = &m_session.tree();
    mdlFileSearch *const m_search = &m_session.walker();
    ChartView *chMain = nullptr;
    std::unique_ptr<NodeChart> m_nodeChart;
    std::unique_ptr<ShellLauncher> m_shellLauncher;

    QWidget *workArea = nullptr;
    QLabel *lblBar = nullptr;
    QLabel *picClose = nullptr;
    QComboBox *drvMain = nullptr;
    QComboBox *cboStartPath = nullptr;
    QPushButton *cmdBrowse = nullptr;
    QPushButton *cmdBeginScan = nullptr;
    QPushButton *cmdClear = nullptr;
    QPushButton *cmdAbort = nullptr;
    QLabel *sbrPanel1 = nullptr;
    QString m_panel1Text; ///< panel 1's whole text; the panel shows it elided to its width
    void showPanel1Text();
    QLabel *sbrPanel2 = nullptr;
    QLabel *sbrPanel3 = nullptr; ///< the walk's figures so far, shown from the first scan on

    // The figures of the walk that runs or ran last (panel 3).
    QTimer m_liveTimer;
    std::chrono::steady_clock::time_point m_walkStart, m_walkEnd;
    int m_walkRoot = -1;
    std::uint64_t m_foldersBefore = 0;
    bool m_walking = false;
    QString m_walkPath; ///< the folder the walk is in, for panel 1 at the next figures
    bool m_walkPathDue = false;

    QMenu *mnuFile = nullptr;
    std::array<QAction *, 2> mnuOpenResFold{};
    QMenu *mnuExpRepMain = nullptr;
    PrintLayout vpTree;  ///< the last PDF report's pages
    PdfConverter vfTree; ///< writes them as a PDF file
    QMenu *mnuView = nullptr;
    QAction *mnuExit = nullptr;
    QAction *mnuDispChart = nullptr;
    std::array<QAction *, 4> mnuChartType{};
    QAction *mnuCushions = nullptr;
    QAction *mnuOnTop = nullptr;
    QMenu *mnuSetOpacityMain = nullptr;
    std::array<QAction *, 10> mnuSetOpacity{};
    std::array<QAction *, 2> mnuSizeBasis{};
    QMenu *mnuTools = nullptr;
    QAction *mnuOptions = nullptr;
    QMenu *mnuSortMain = nullptr;
    QMenu *mnuPopUp1 = nullptr;
    QAction *mnuClearRootNode = nullptr;
    QAction *mnuUpdateNode = nullptr;
    QAction *mnuSep3 = nullptr;
    QAction *mnuRescan = nullptr;
    QAction *mnuTrash = nullptr;
    QAction *mnuDeleteItem = nullptr;
    QAction *mnuTerminal = nullptr;
    QAction *mnuCopyPath = nullptr;
    QMenu *mnuCompareMain = nullptr; ///< "Compare With", for a scan root
    QAction *mnuStopComparing = nullptr;
    std::array<QAction *, 12> mnuSort{};
    QMenu *mnuHelpMain = nullptr;
    std::array<QAction *, 3> mnuHelp{};
    QAction *mnuVLM_URL = nullptr;
    QAction *mnuUpdate = nullptr;
    QAction *mnuAbout = nullptr;
    std::unique_ptr<mdlHelp> m_help;

    QString m_iniPath, m_helpFile;
    QString m_systemDriveRoot = QStringLiteral("/");
    int m_osVersionNumber = 0;
    int m_lockFd = -1;
    bool m_loaded = false;        ///< Form_Load ran: closing saves the settings
    bool m_placementRead = false; ///< start-up placed the window from the settings file
    QRect m_placementAtStart;     ///< placementNow() once start-up had shown the window
    /// Which settings of the catalogue start-up read from the file, by their place in it.
    std::vector<bool> m_settingRead;
    bool m_startPathsRead = false;
    Settings m_settingsAtStart; ///< every setting as start-up left it
    bool m_inFormLoad = false;
    bool m_closeAfterLoad = false;
    QImage m_wallpaper; ///< the tree's background picture

    bool m_chartShown = true;
    bool m_scanning = false;
    bool m_closeAfterScan = false;
    bool m_dragging = false;
    int m_splitterWanted = -1; // pixels: where the splitter was put, by the user or the settings
    bool m_closeBoxPressed = false;

    void buildTopBand(QWidget *band);
    void fitColumnsToFont();
    int fittedChartLeft() const;
    bool mayOverwrite(const QString &fileName);
    void beginWalkFigures(int root, std::chrono::steady_clock::time_point start);
    void endWalkFigures();
    QString unreadableNote() const;
    void showSortIndicator();
    /// The grid's column widths (twips) before any setting: the design widths grown to fit
    /// the interface font.
    std::array<std::int32_t, Settings::ColumnCount> m_fittedColWidths{};
    void buildWorkArea();
    void buildMenus();
    void buildHelpMenu();
    void buildToolsMenu();
    void buildFileMenu();
    bool exportReport(const ReportFormat &format, BusyPointer &busy, int &line);
    void showWrittenReport(const QString &fileName);
    void buildScanFileItems();
    QString m_scanFileFolder; ///< where the last scan file was opened or saved
    /// What a report takes of the window: the grid's width and font, the chart as shown.
    ReportGeometry reportGeometry() const;
    void fillDriveList();
    void layoutWorkArea();
    // The chart pane's tabs and the pages of kept files (frmMainKeptFiles.cpp).
    void buildChartPages();
    void setChartPaneGeometry(const QRect &pane);
    void showChartPage();
    void fillChartPage();
    void lvwLargest_FolderWanted(const QByteArray &folderPath);
    void lvwTypes_TypeChosen(const QString &type);
    QTabBar *tabChartPane = nullptr;
    LargestFilesView *lvwLargest = nullptr;
    FileTypesView *lvwTypes = nullptr;
    std::optional<QString> m_typeShown; ///< the type whose files the list shows, if one
    bool m_choosingType = false;
    void setCloseBoxLook(int look); // 0 normal, 1 hover, 2 pressed
    void placeCloseBox();
    void connectChartNavigation();
    void buildChartTypeMenu();
    /// Checks the View menu's chart type and shading items that the settings name.
    void checkChartTypeMenu();
    /// While a walk runs, redraws a treemap or rings chart that it has grown, at the pace of
    /// `Redraw_Scan_Progress` (none: not until the end).
    void followChartGrowth();
    qint64 m_chartGrowthAt = 0;   ///< ms into the walk when the chart last followed it
    qint64 m_chartGrowthCost = 0; ///< ms that took
    /// Colours left at their factory values follow the palette (root rows, selection, chart).
    void connectPaletteColours();
    /// The grid's spare column shows each row's share of its parent, on the screen only.
    void connectShareColumn();
    /// Fits the window, with its title bar and frame, into the screen's available area.
    void keepOnScreen();
    /// Selects `row` as a click on it would and scrolls to it, expanding what holds it; false
    /// for a row that is not in the tree.
    bool selectAndShow(int row);
    /// Selects `row` as a click on it would, shows it and charts it.
    void selectAndChart(int row);
    void lblBar_MouseMove(int xInBar);
    void reselectRows();
    void buildCompareItems();
    void fillCompareMenu();
    /// A finished scan of `root`: its date is noted and a copy kept in the history.
    void keepScan(int root);
    std::unique_ptr<ScanHistory::Writer> m_history;
    QString m_historyFolder;
    QHash<QByteArray, QDateTime> m_scanTaken; ///< when each scanned folder was last scanned
    void applyTreeLook();
    void applyStoredOpacity(const QString &value);
    /// Checks the View menu's size basis item that `Size_Basis` names.
    void checkSizeBasisMenu();
    void watchRootToolTips();
    void buildPopupMenu();
    void buildItemActions();
    /// The row a command acts on: the last of the grid's selected rows, or -1.
    static int selectedNode(const OutlineGrid &grid);
    static QString itemSummary(const QByteArray &path, qint64 bytes, qint64 files);
    bool confirmRemoval(const QString &text, const QString &title);
    /// An item of the tree or the Largest files list that the user wants gone from the disk.
    struct Removal {
        QByteArray path;
        ScannedPath::Start within; ///< the scanned folder it was found in
        QString name;
        QString summary; ///< its path, size and file count, as the confirmation shows them
        bool folder = true;
    };
    /// The tree row `row` as an item to remove.
    Removal removalOf(int row) const;
    /// Asks (once for the trash, twice to delete for good), then acts; true when the item left
    /// the disk. A refusal is shown; `partly` tells a deletion that got part of the way.
    bool removeFromDisk(const Removal &item, bool permanently, bool *partly = nullptr);
    /// Why the item commands cannot act on `row` now; empty when they can.
    QString itemActionsBlocked(int row) const;
    void removeItemRow(int row, const QString &status);
    /// The Largest files list's "Move to Trash" and "Delete Permanently" on its current file.
    void lvwLargest_Remove(bool permanently);
    /// Shows the kept files of a folder as tiles of their own inside its files row's tile.
    void showKeptFilesInChart();
    void updateLargestActions();
    /// Panel 2's text for a walk that took `ms` milliseconds.
    static QString doneText(qint64 ms);
    bool popupShowsFor(int row) const;
    QString droppablePath(const QStringList &paths) const;
    QByteArray selectedFolderPath() const;
    using OutlineBody = std::function<void(int &line, const std::function<bool()> &goOn)>;
    void runOutlineCommand(const QString &title, const OutlineBody &body);
    void runShellCommand(const QString &title,
                         const std::function<void(const QByteArray &, int &)> &body);
    void Form_Unload();
    QRect placementNow() const;
    /// Start-up's early reading of the size unit and format (before LoadINI).
    void ReadSizeSettings();
    /// The view and layout settings as the window's controls hold them now; returns whether an
    /// opacity item is checked.
    bool takeViewSettings(Settings &s) const;
    void rememberSettingsAtStart();
};
