#include "frmOptions.h"

#include "ColorButton.h"
#include "HandlerTrap.h"
#include "OptionsHost.h"
#include "OutlineGridView.h"
#include "Prompts.h"
#include "Settings.h"
#include "SettingsCatalogue.h"
#include "StoredColor.h"
#include "SystemInfo.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>

const std::array<frmOptions::Preset, 8> frmOptions::Presets{{
    {"MPEG Audio (MP3)", "*.mp3;*.mp2;*.mp1"},
    {"Other Audio", "*.wav;*.wma;*.au;*.ra;*.aif;*.m3u"},
    {"Video", "*.asf;*.mpeg;*.mpg;*.avi;*.mov;*.rm;*.wmv"},
    {"Pictures", "*.jpg;*.jpeg;*.gif;*.tiff;*.bmp;*.pcx;*.psp"},
    {"Executables", "*.exe"},
    {"Office Documents",
     "*.doc;*.xl*;*.htm;*.html;*.ppt;*.obd;*.mdb;*.dot;*.xlt;*.pot;*.obt;*.pub"},
    {"Compressed Files", "*.zip;*.rar;*.ace;*.cab;*.lzh;*.tar;*.7z;*.gzip;*.gz;*.bzip;*.bz2"},
    {"All Files", "*.*"},
}};

frmOptions::frmOptions(OptionsHost &host, Prompts &prompts, QWidget *parent)
    : QDialog(parent), m_host(host), m_prompts(prompts), m_settings(host.settings()) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Cairnmeter"));
    setModal(true);

    buildPageTree();
    pgOptions = new QStackedWidget;
    pgOptions->setObjectName(QStringLiteral("pgOptions"));
    pgOptions->addWidget(buildScanPage());
    pgOptions->addWidget(buildAppearancePage());
    pgOptions->addWidget(buildChartPage());
    pgOptions->addWidget(buildMiscPage());
    buildPresetMenu();

    cmdOK = new QPushButton(QStringLiteral("OK"));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"));
    cmdApply = new QPushButton(QStringLiteral("Apply"));
    cmdDefaults = new QPushButton(QStringLiteral("Defaults"));
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdApply->setObjectName(QStringLiteral("cmdApply"));
    cmdDefaults->setObjectName(QStringLiteral("cmdDefaults"));
    cmdOK->setDefault(true);
    cmdApply->setEnabled(false);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdDefaults);
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdApply);
    auto *grid = new QGridLayout(this);
    grid->addWidget(tvwOptions, 0, 0);
    grid->addWidget(pgOptions, 0, 1);
    grid->addLayout(buttons, 1, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(0, 1);

    connectEdits();
    Form_Load();
}

frmOptions::~frmOptions() {
    // The view reads fgExample until it is gone, and fgExample goes before child widgets.
    delete fgExampleView;
    fgExampleView = nullptr;
}

void frmOptions::connectEdits() {
    for (QCheckBox *box :
         {chkSearchSubFolders, chkCollRoots, chkClearObj, chkImmScan, chkWallpaper, chkGrids,
          chkChart3D, chkCushions, chkChInHTML, chkChInPDF, chkKeepHistory, chkLargestInReports})
        connect(box, &QCheckBox::toggled, this, &frmOptions::EnApp);
    for (QSpinBox *box : {txtHistoryCount, txtHistoryMaxMB})
        connect(box, &QSpinBox::valueChanged, this, &frmOptions::EnApp);
    connect(chkHighlightFillTransp, &QCheckBox::toggled, this,
            &frmOptions::chkHighlightFillTransp_Click);
    for (QButtonGroup *group : {grpDispProg, grpSizeBasis, grpChrtTyp})
        connect(group, &QButtonGroup::idToggled, this, [this](int, bool checked) {
            if (checked)
                EnApp();
        });
    connect(cboMatchParams, &QComboBox::editTextChanged, this, &frmOptions::EnApp);
    connect(txtObjSizeFmt, &QLineEdit::textChanged, this, &frmOptions::EnApp);
    connect(chkStayOnFs, &QCheckBox::toggled, this, &frmOptions::EnApp);
    connect(txtExclude, &QLineEdit::textChanged, this, &frmOptions::EnApp);
    connect(txtOther, &QLineEdit::textChanged, this, &frmOptions::EnApp);
    connect(cboObjSize, &QComboBox::currentIndexChanged, this, &frmOptions::EnApp);
    for (ColorButton *button : {cmdRootColor, cmdHighlightBorderColor, cmdHighlightFillColor})
        connect(button, &QPushButton::clicked, this, [this, button] { cmdColor_Click(button); });

    connect(cmdPreDef, &QToolButton::clicked, this, &frmOptions::cmdPreDef_Click);
    connect(cmdDispProgHelp, &QToolButton::clicked, this, &frmOptions::cmdDispProgHelp_Click);
    connect(cmdDefaults, &QPushButton::clicked, this, &frmOptions::cmdDefaults_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmOptions::cmdOK_Click);
    connect(cmdApply, &QPushButton::clicked, this, &frmOptions::cmdApply_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(tvwOptions, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *node) { tvwOptions_NodeClick(node); });
    connect(&fgExample, &OutlineGrid::selectionChanged, this,
            &frmOptions::fgExample_AfterSelChange);
}

void frmOptions::Form_Load() {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in Form_Load"));
    trap.run(
        [&] {
            trap.line = 1;
            tvwOptions->setCurrentItem(tvwOptions->topLevelItem(0));
            trap.line = 3;
            // The list first: the first item put into an empty list would become the text.
            LoadOptINI();
            trap.line = 4;
            setControlsFrom(m_settings);
            trap.line = 5;
            InitExampleTree();
            FillExampleTree(m_settings.Object_Size_Format, cboObjSize->currentIndex());
            // The rows got their levels only now: the selection takes the colour of its own.
            reselectExample();
            trap.line = 6;
            const SystemInfo::OSVersion &os = SystemInfo::GetOSVersion();
            lblOSVersion->setText(os.name + QStringLiteral(" v") + os.text);
            trap.line = 7;
            cmdApply->setEnabled(false);
        },
        [&] { m_loading = false; });
}

void frmOptions::setControlsFrom(const Settings &s) {
    cboMatchParams->setEditText(s.Match_Parameters);
    chkSearchSubFolders->setChecked(s.Recurse_Subfolders);
    chkCollRoots->setChecked(s.Collapse_Root_Nodes_B4_Scan);
    chkClearObj->setChecked(s.Clear_Nodes_B4_Scan);
    chkImmScan->setChecked(s.Imm_Scan_On_Path_Selection);
    chkStayOnFs->setChecked(s.Stay_On_File_System);
    chkLargestInReports->setChecked(s.Largest_Files_In_Reports);
    txtExclude->setText(s.Exclude_Folders);
    chkKeepHistory->setChecked(s.Keep_History);
    txtHistoryCount->setValue(s.History_Count);
    txtHistoryMaxMB->setValue(s.History_Max_MB);
    txtHistoryCount->setEnabled(s.Keep_History);
    txtHistoryMaxMB->setEnabled(s.Keep_History);
    if (QAbstractButton *option = grpDispProg->button(s.Redraw_Scan_Progress))
        option->setChecked(true);
    if (QAbstractButton *option = grpSizeBasis->button(s.Size_Basis))
        option->setChecked(true);
    cboObjSize->setCurrentIndex(s.Object_Size);
    txtObjSizeFmt->setText(s.Object_Size_Format);
    chkWallpaper->setChecked(s.Display_Wallpaper);
    chkGrids->setChecked(s.Display_Gridlines);
    cmdRootColor->setColor(s.Root_Font_Color);
    cmdHighlightBorderColor->setColor(s.HighLight_Border_Color);
    cmdHighlightFillColor->setColor(s.HighLight_Fill_Color);
    chkHighlightFillTransp->setChecked(s.HighLight_Fill_Transparent);
    chkHighlightFillTransp_Click(); // the fill colour's controls follow the box
    if (QAbstractButton *option = grpChrtTyp->button(s.Chart_Type))
        option->setChecked(true);
    chkChart3D->setChecked(s.ThreeD_Effects);
    chkCushions->setChecked(s.Treemap_Cushions);
    chkChInHTML->setChecked(s.Chart_In_HTML_Output);
    chkChInPDF->setChecked(s.Chart_In_PDF_Output);
    txtOther->setText(s.Other_Label);
}

void frmOptions::tvwOptions_NodeClick(QTreeWidgetItem *node) {
    if (!node)
        return;
    const QString key = node->data(0, Qt::UserRole).toString();
    QGroupBox *const frames[] = {fraScan, fraAppearance, fraChart, fraMisc};
    static const char *const keys[] = {"scan", "appr", "chrt", "misc"};
    for (int i = 0; i < 4; ++i)
        if (key == QLatin1String(keys[i]))
            pgOptions->setCurrentWidget(frames[i]);
}

void frmOptions::EnApp() {
    if (m_loading)
        return;
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in EnApp"));
    trap.run([&] {
        trap.line = 1;
        FillExampleTree(txtObjSizeFmt->text(), cboObjSize->currentIndex());
        trap.line = 2;
        dressExample();
        trap.line = 7;
        reselectExample();
        trap.line = 8;
        cmdApply->setEnabled(true);
    });
}

void frmOptions::cmdColor_Click(ColorButton *button) {
    // This handler's box has its own title and shows no line.
    try {
        const QColor chosen = m_prompts.chooseColor(this, button->faceColor());
        if (!chosen.isValid())
            return; // cancelled
        button->setColor(StoredColor::fromQColor(chosen));
        EnApp();
    } catch (...) {
        const AppError e = HandlerTrap::toAppError(std::current_exception());
        m_prompts.message(this, QString::number(e.number()) + u'\n' + e.description(),
                          QStringLiteral("Error in color select"), Prompts::Icon::Critical);
    }
}

void frmOptions::chkHighlightFillTransp_Click() {
    const bool fill = !chkHighlightFillTransp->isChecked();
    cmdHighlightFillColor->setEnabled(fill);
    lblHighlightFillColor->setEnabled(fill);
    EnApp();
}

void frmOptions::cmdPreDef_Click() {
    // At the pointer when the button was clicked, below the button when it was pressed by key.
    const QPoint at = cmdPreDef->underMouse()
                          ? QCursor::pos()
                          : cmdPreDef->mapToGlobal(QPoint(0, cmdPreDef->height()));
    mnuPopUp1->popup(at);
}

void frmOptions::mnuPreDef_Click(int Index) {
    if (Index < 0 || Index >= static_cast<int>(Presets.size()))
        return;
    cboMatchParams->setEditText(
        QString::fromLatin1(Presets[static_cast<std::size_t>(Index)].specs));
}

void frmOptions::cmdDispProgHelp_Click() {
    m_prompts.message(
        this,
        QStringLiteral("- None (Fastest: The results are displayed only at completion)\n"
                       "- Direct (Slower: The results are dynamically displayed)\n"
                       "- Buffered (Slowest: The results are dynamically displayed with minimal "
                       "flicker)"),
        QStringLiteral("Refresh the Scan Progress"), Prompts::Icon::Information);
}

void frmOptions::cmdDefaults_Click() {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in cmdDefaults_Click"));
    trap.run([&] {
        trap.line = 1;
        // The reading defaults of every setting the dialog shows; the list is kept.
        setControlsFrom(Settings());
        trap.line = 2;
        EnApp();
    });
}

bool frmOptions::SaveTheSettings() {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in SaveTheSettings"));
    Settings &s = m_settings;
    return trap.run([&] {
        trap.line = 1;
        QString spec = cboMatchParams->currentText().trimmed();
        if (spec.isEmpty())
            spec = FilePattern::AllFiles;
        s.Match_Parameters = spec;
        AddToListAndSave(spec);
        trap.line = 2;
        s.Recurse_Subfolders = chkSearchSubFolders->isChecked();
        s.Collapse_Root_Nodes_B4_Scan = chkCollRoots->isChecked();
        s.Clear_Nodes_B4_Scan = chkClearObj->isChecked();
        s.Imm_Scan_On_Path_Selection = chkImmScan->isChecked();
        s.Stay_On_File_System = chkStayOnFs->isChecked();
        s.Largest_Files_In_Reports = chkLargestInReports->isChecked();
        s.Exclude_Folders = txtExclude->text().trimmed();
        s.Keep_History = chkKeepHistory->isChecked();
        s.History_Count = static_cast<std::int16_t>(txtHistoryCount->value());
        s.History_Max_MB = static_cast<std::int16_t>(txtHistoryMaxMB->value());
        trap.line = 3;
        s.Redraw_Scan_Progress = optDispProg[2]->isChecked()   ? 2
                                 : optDispProg[1]->isChecked() ? 1
                                                               : 0;
        s.setSizeBasis(optSizeBasis[1]->isChecked() ? SizeBasis::DiskUsage : SizeBasis::FileSize);
        trap.line = 4;
        s.Object_Size = static_cast<std::int16_t>(std::max(cboObjSize->currentIndex(), 0));
        s.Object_Size_Format = txtObjSizeFmt->text();
        trap.line = 5;
        s.Display_Wallpaper = chkWallpaper->isChecked();
        s.Display_Gridlines = chkGrids->isChecked();
        trap.line = 6;
        s.Root_Font_Color = cmdRootColor->color();
        s.HighLight_Border_Color = cmdHighlightBorderColor->color();
        s.HighLight_Fill_Color = cmdHighlightFillColor->color();
        trap.line = 7;
        s.HighLight_Fill_Transparent = chkHighlightFillTransp->isChecked();
        trap.line = 8;
        s.Chart_Type = static_cast<std::int16_t>(std::max(grpChrtTyp->checkedId(), 0));
        trap.line = 9;
        s.ThreeD_Effects = chkChart3D->isChecked();
        s.Treemap_Cushions = chkCushions->isChecked();
        s.Chart_In_PDF_Output = chkChInPDF->isChecked();
        s.Chart_In_HTML_Output = chkChInHTML->isChecked();
        trap.line = 10;
        s.Other_Label = txtOther->text().trimmed();
        trap.line = 11;
        m_host.redressTree();
        trap.line = 12;
        m_host.redressChart();
        trap.line = 13;
        m_host.SetSizeFactor();
        m_host.UpdateRoots();
        trap.line = 14;
        if (m_host.chartShowsBars())
            m_host.fgTree_Click();
    });
}

void frmOptions::AddToListAndSave(const QString &spec) {
    if (cboMatchParams->findText(spec, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) {
        cboMatchParams->insertItem(0, spec);
        cboMatchParams->setEditText(spec);
    }
    QStringList items;
    for (int i = 0; i < cboMatchParams->count(); ++i)
        items.append(cboMatchParams->itemText(i));
    SettingsCatalogue::saveMatchSpecs(items, m_host.iniPath());
}

void frmOptions::LoadOptINI() {
    Settings stored;
    SettingsCatalogue::loadMatchSpecs(stored, m_host.iniPath());
    cboMatchParams->clear();
    cboMatchParams->addItems(stored.Match_Parameter_Items);
}

void frmOptions::cmdOK_Click() {
    // The dialog closes even when handing over failed; the box has told what went wrong.
    SaveTheSettings();
    accept();
}

void frmOptions::cmdApply_Click() {
    SaveTheSettings();
    cmdApply->setEnabled(false);
}
