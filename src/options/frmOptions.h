#pragma once

#include "OutlineGrid.h"

#include <QDialog>
#include <QString>

#include <array>
#include <cstdint>

class ColorButton;
class OptionsHost;
class OutlineGridView;
class Prompts;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QSpinBox;
class QLayout;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;
struct Settings;

/// The options dialog: four pages (Scan, Appearance, Chart, Misc) picked from the page tree,
/// each control standing for one setting, and a small example tree that follows every edit.
/// OK and Apply hand the edited values to the setting variables and re-dress the main window's
/// tree and chart at once; the list of recent match specs is written to the settings file at
/// the same moment. Cancel, Escape and the close box leave everything as it was (apart from
/// what an earlier Apply handed over).
///
/// The dialog is made anew for each opening and reads everything from the setting variables
/// and the settings file when it is made.
class frmOptions : public QDialog {
    Q_OBJECT
public:
    frmOptions(OptionsHost &host, Prompts &prompts, QWidget *parent = nullptr);
    ~frmOptions() override;

    /// The predefined match specs of the ">" menu, by menu index.
    struct Preset {
        const char *caption;
        const char *specs;
    };
    static const std::array<Preset, 8> Presets;

    // Handlers, named after the controls they serve ---------------------------------------
    void tvwOptions_NodeClick(QTreeWidgetItem *node);
    void EnApp();
    void cmdColor_Click(ColorButton *button);
    void chkHighlightFillTransp_Click();
    void cmdPreDef_Click();
    void mnuPreDef_Click(int Index);
    void cmdDispProgHelp_Click();
    void cmdDefaults_Click();
    void cmdOK_Click();
    void cmdApply_Click();
    /// Hands every edited value over and re-dresses the main window; true without an error.
    bool SaveTheSettings();
    /// Puts a spec at the top of the recent list when it is new, then stores the list.
    void AddToListAndSave(const QString &spec);
    void LoadOptINI();
    void InitExampleTree();
    void FillExampleTree(const QString &sizeFormat, int unitIndex);
    void fgExample_AfterSelChange(int oldRow, int newRow);

    // Parts that tests reach ----------------------------------------------------------------
    QTreeWidget *pageTree() const { return tvwOptions; }
    QStackedWidget *pages() const { return pgOptions; }
    OutlineGrid &exampleGrid() { return fgExample; }
    OutlineGridView *exampleView() const { return fgExampleView; }
    QMenu *presetMenu() const { return mnuPopUp1; }
    QRadioButton *sizeBasisOption(int index) const {
        return optSizeBasis[static_cast<std::size_t>(index)];
    }

private:
    OptionsHost &m_host;
    Prompts &m_prompts;
    Settings &m_settings;
    bool m_loading = true; // Form_Load is setting the controls: edits are not yet the user's

    QTreeWidget *tvwOptions = nullptr;
    QStackedWidget *pgOptions = nullptr;
    QGroupBox *fraScan = nullptr;
    QGroupBox *fraAppearance = nullptr;
    QGroupBox *fraChart = nullptr;
    QGroupBox *fraMisc = nullptr;

    // Scan
    QComboBox *cboMatchParams = nullptr;
    QToolButton *cmdPreDef = nullptr;
    QCheckBox *chkSearchSubFolders = nullptr;
    QCheckBox *chkCollRoots = nullptr;
    QCheckBox *chkClearObj = nullptr;
    QCheckBox *chkImmScan = nullptr;
    QCheckBox *chkStayOnFs = nullptr;
    QCheckBox *chkLargestInReports = nullptr;
    QLineEdit *txtExclude = nullptr;
    QCheckBox *chkKeepHistory = nullptr;
    QSpinBox *txtHistoryCount = nullptr;
    QSpinBox *txtHistoryMaxMB = nullptr;
    QButtonGroup *grpDispProg = nullptr;
    std::array<QRadioButton *, 3> optDispProg{};
    QToolButton *cmdDispProgHelp = nullptr;
    QButtonGroup *grpSizeBasis = nullptr;
    std::array<QRadioButton *, 2> optSizeBasis{};
    QMenu *mnuPopUp1 = nullptr;

    // Appearance
    QComboBox *cboObjSize = nullptr;
    QLineEdit *txtObjSizeFmt = nullptr;
    QCheckBox *chkWallpaper = nullptr;
    QCheckBox *chkGrids = nullptr;
    ColorButton *cmdRootColor = nullptr;
    ColorButton *cmdHighlightBorderColor = nullptr;
    ColorButton *cmdHighlightFillColor = nullptr;
    QLabel *lblHighlightFillColor = nullptr;
    QCheckBox *chkHighlightFillTransp = nullptr;
    OutlineGrid fgExample;
    OutlineGridView *fgExampleView = nullptr;
    int m_folderPicture = 0;

    // Chart
    QButtonGroup *grpChrtTyp = nullptr;
    std::array<QRadioButton *, 4> optChrtTyp{};
    QCheckBox *chkChart3D = nullptr;
    QCheckBox *chkCushions = nullptr;
    QCheckBox *chkChInHTML = nullptr;
    QCheckBox *chkChInPDF = nullptr;
    QLineEdit *txtOther = nullptr;

    // Misc
    QLabel *lblOSVersion = nullptr;

    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;
    QPushButton *cmdApply = nullptr;
    QPushButton *cmdDefaults = nullptr;

    void Form_Load();
    void buildPageTree();
    QGroupBox *buildScanPage();
    QGroupBox *buildAppearancePage();
    QGroupBox *buildChartPage();
    QGroupBox *buildMiscPage();
    void buildPresetMenu();
    ColorButton *makeColorButton(const QString &name, QLabel *label);
    void connectEdits();
    void setControlsFrom(const Settings &s);
    /// The example tree's look from the controls as they stand.
    void dressExample();
    void reselectExample();
};
