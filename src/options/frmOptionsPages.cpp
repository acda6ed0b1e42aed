// The options dialog's controls and layout: the page tree, the four pages and the buttons.
#include "frmOptions.h"

#include "ColorButton.h"
#include "OptionsPictures.h"
#include "OutlineGridView.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

struct PageNode {
    const char *key;
    const char *text;
};
// In the order the page tree lists them; each key also names its picture.
constexpr PageNode PageNodes[] = {
    {"scan", "Scan"}, {"appr", "Appearance"}, {"chrt", "Chart"}, {"misc", "Misc"}};

template <typename W> W *named(W *widget, const char *name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel *label(const QString &text, const char *name, QWidget *buddy = nullptr) {
    auto *l = named(new QLabel(text), name);
    l->setBuddy(buddy);
    return l;
}

QCheckBox *checkBox(const char *text, const char *name) {
    return named(new QCheckBox(QString::fromLatin1(text)), name);
}

QGroupBox *page(const char *title, const char *name) {
    auto *box = named(new QGroupBox(QString::fromLatin1(title)), name);
    return box;
}

// The indent that sets controls below their heading apart.
int indentOf(const QWidget *w) {
    return w->fontMetrics().horizontalAdvance(QStringLiteral("MM"));
}

} // namespace

void frmOptions::buildPageTree() {
    tvwOptions = named(new QTreeWidget, "tvwOptions");
    tvwOptions->setHeaderHidden(true);
    tvwOptions->setRootIsDecorated(false);
    tvwOptions->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvwOptions->setSelectionMode(QAbstractItemView::SingleSelection);
    tvwOptions->setAccessibleName(QStringLiteral("Pages"));
    const int iconSide = fontMetrics().height() * 3 / 2;
    tvwOptions->setIconSize(QSize(iconSide, iconSide));
    for (const PageNode &node : PageNodes) {
        auto *item = new QTreeWidgetItem(tvwOptions, {QString::fromLatin1(node.text)});
        item->setData(0, Qt::UserRole, QString::fromLatin1(node.key));
        item->setIcon(0, OptionsPictures::icon(QString::fromLatin1(node.key)));
        item->setSizeHint(0, QSize(0, iconSide + fontMetrics().height() / 2));
    }
    // As wide as its longest entry with its picture, and no wider.
    int textWidth = 0;
    for (const PageNode &node : PageNodes)
        textWidth =
            std::max(textWidth, fontMetrics().horizontalAdvance(QString::fromLatin1(node.text)));
    const int width = textWidth + iconSide + 2 * tvwOptions->frameWidth() +
                      fontMetrics().horizontalAdvance(u'M') * 3;
    tvwOptions->setFixedWidth(width);
    tvwOptions->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

QGroupBox *frmOptions::buildScanPage() {
    fraScan = page("Scan", "fraScan");
    auto *column = new QVBoxLayout(fraScan);

    cboMatchParams = named(new QComboBox, "cboMatchParams");
    cboMatchParams->setEditable(true);
    cboMatchParams->setInsertPolicy(QComboBox::NoInsert);
    // The text is what the user typed: no completion from the list sneaks in.
    cboMatchParams->setCompleter(nullptr);
    cboMatchParams->setMinimumContentsLength(24);
    cboMatchParams->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cmdPreDef = named(new QToolButton, "cmdPreDef");
    cmdPreDef->setText(QStringLiteral(">"));
    cmdPreDef->setToolTip(QStringLiteral("Predefined file match specs"));
    cmdPreDef->setAccessibleName(QStringLiteral("Predefined file match specs"));
    column->addWidget(label(QStringLiteral("File match specs:"), "Label5", cboMatchParams));
    auto *specRow = new QHBoxLayout;
    specRow->addWidget(cboMatchParams, 1);
    specRow->addWidget(cmdPreDef);
    column->addLayout(specRow);
    column->addSpacing(fontMetrics().height() / 2);

    chkSearchSubFolders = checkBox("Search within subfolders", "chkSearchSubFolders");
    chkCollRoots = checkBox("Collapse existing root nodes before new scan", "chkCollRoots");
    chkClearObj = checkBox("Clear all nodes before new scan", "chkClearObj");
    chkImmScan = checkBox("Scan immediately after selecting the start path", "chkImmScan");
    for (QCheckBox *box : {chkSearchSubFolders, chkCollRoots, chkClearObj, chkImmScan})
        column->addWidget(box);
    column->addSpacing(fontMetrics().height() / 2);

    grpDispProg = new QButtonGroup(this);
    static const char *const progress[] = {"None", "Direct", "Buffered"};
    auto *progressRow = new QHBoxLayout;
    progressRow->setContentsMargins(indentOf(this), 0, 0, 0);
    for (int i = 0; i < 3; ++i) {
        auto *option = new QRadioButton(QString::fromLatin1(progress[i]));
        option->setObjectName(QStringLiteral("optDispProg%1").arg(i));
        optDispProg[static_cast<std::size_t>(i)] = option;
        grpDispProg->addButton(option, i);
        progressRow->addWidget(option);
    }
    cmdDispProgHelp = named(new QToolButton, "cmdDispProgHelp");
    cmdDispProgHelp->setText(QStringLiteral("?"));
    cmdDispProgHelp->setToolTip(QStringLiteral("What the choices mean"));
    cmdDispProgHelp->setAccessibleName(QStringLiteral("What the choices mean"));
    progressRow->addWidget(cmdDispProgHelp);
    progressRow->addStretch(1);
    column->addWidget(
        label(QStringLiteral("Dynamically refresh the scan progress:"), "Label6", optDispProg[0]));
    column->addLayout(progressRow);
    column->addSpacing(fontMetrics().height() / 2);

    grpSizeBasis = new QButtonGroup(this);
    static const char *const bases[] = {"Size of the files", "Space used on disk"};
    auto *basisRow = new QHBoxLayout;
    basisRow->setContentsMargins(indentOf(this), 0, 0, 0);
    for (int i = 0; i < 2; ++i) {
        auto *option = new QRadioButton(QString::fromLatin1(bases[i]));
        option->setObjectName(QStringLiteral("optSizeBasis%1").arg(i));
        optSizeBasis[static_cast<std::size_t>(i)] = option;
        grpSizeBasis->addButton(option, i);
        basisRow->addWidget(option);
    }
    optSizeBasis[1]->setToolTip(
        QStringLiteral("The blocks the files take, with a file of several names counted once"));
    basisRow->addStretch(1);
    column->addWidget(label(QStringLiteral("Count sizes as:"), "lblSizeBasis", optSizeBasis[0]));
    column->addLayout(basisRow);
    column->addSpacing(fontMetrics().height() / 2);

    chkStayOnFs = checkBox("Stay on the start path's file system", "chkStayOnFs");
    chkStayOnFs->setToolTip(
        QStringLiteral("Folders where another file system is mounted are listed but not scanned"));
    column->addWidget(chkStayOnFs);
    txtExclude = named(new QLineEdit, "txtExclude");
    txtExclude->setPlaceholderText(QStringLiteral("for example  .cache;node_modules;/home/*/tmp"));
    txtExclude->setToolTip(QStringLiteral(
        "Folder names or full paths (with a \"/\"), separated by \";\"; * and ? as wildcards. "
        "An excluded folder is listed with a size of zero."));
    column->addWidget(label(QStringLiteral("Folders to exclude:"), "lblExclude", txtExclude));
    column->addWidget(txtExclude);
    chkKeepHistory =
        checkBox("Keep a copy of each finished scan, to compare with later", "chkKeepHistory");
    column->addWidget(chkKeepHistory);
    auto *historyRow = new QHBoxLayout;
    historyRow->setContentsMargins(indentOf(this), 0, 0, 0);
    txtHistoryCount = named(new QSpinBox, "txtHistoryCount");
    txtHistoryCount->setRange(1, 1000);
    txtHistoryMaxMB = named(new QSpinBox, "txtHistoryMaxMB");
    txtHistoryMaxMB->setRange(1, 32767);
    txtHistoryMaxMB->setSuffix(QStringLiteral(" MB"));
    historyRow->addWidget(
        label(QStringLiteral("Keep the last"), "lblHistoryCount", txtHistoryCount));
    historyRow->addWidget(txtHistoryCount);
    historyRow->addWidget(
        label(QStringLiteral("per folder, at most"), "lblHistoryMaxMB", txtHistoryMaxMB));
    historyRow->addWidget(txtHistoryMaxMB);
    historyRow->addStretch(1);
    column->addLayout(historyRow);
    for (QSpinBox *box : {txtHistoryCount, txtHistoryMaxMB})
        connect(chkKeepHistory, &QCheckBox::toggled, box, &QWidget::setEnabled);
    chkLargestInReports =
        checkBox("List the largest files of the selection in reports", "chkLargestInReports");
    chkLargestInReports->setToolTip(
        QStringLiteral("Reports add the largest kept files below the selected node, at most 100"));
    column->addWidget(chkLargestInReports);
    // Further scan choices go here, above the stretch.
    column->addStretch(1);
    return fraScan;
}

ColorButton *frmOptions::makeColorButton(const QString &name, QLabel *caption) {
    auto *button = new ColorButton;
    button->setObjectName(name);
    button->setAccessibleName(caption->text());
    caption->setBuddy(button);
    return button;
}

QGroupBox *frmOptions::buildAppearancePage() {
    fraAppearance = page("Appearance", "fraAppearance");
    auto *column = new QVBoxLayout(fraAppearance);

    cboObjSize = named(new QComboBox, "cboObjSize");
    cboObjSize->addItems({QStringLiteral("Bytes"), QStringLiteral("KiloBytes"),
                          QStringLiteral("MegaBytes"), QStringLiteral("GigaBytes")});
    txtObjSizeFmt = named(new QLineEdit, "txtObjSizeFmt");
    txtObjSizeFmt->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("#,##0.####")) +
                                   fontMetrics().height());
    auto *unitRow = new QHBoxLayout;
    unitRow->addWidget(label(QStringLiteral("Display sizes in:"), "Label1", cboObjSize));
    unitRow->addWidget(cboObjSize);
    unitRow->addWidget(label(QStringLiteral("       with format:"), "Label4", txtObjSizeFmt));
    unitRow->addWidget(txtObjSizeFmt, 1);
    column->addLayout(unitRow);

    chkWallpaper = checkBox("Display wallpaper in tree", "chkWallpaper");
    chkGrids = checkBox("Display gridlines in tree", "chkGrids");
    column->addWidget(chkWallpaper);
    column->addWidget(chkGrids);

    auto *colours = new QGridLayout;
    colours->setColumnStretch(3, 1);
    auto *rootLabel = label(QStringLiteral("Color of root nodes"), "Label2");
    auto *borderLabel = label(QStringLiteral("Color of node highlight border"), "Label3");
    lblHighlightFillColor =
        label(QStringLiteral("Color of node highlight fill"), "lblHighlightFillColor");
    cmdRootColor = makeColorButton(QStringLiteral("cmdRootColor"), rootLabel);
    cmdHighlightBorderColor =
        makeColorButton(QStringLiteral("cmdHighlightBorderColor"), borderLabel);
    cmdHighlightFillColor =
        makeColorButton(QStringLiteral("cmdHighlightFillColor"), lblHighlightFillColor);
    chkHighlightFillTransp = checkBox("Transparent", "chkHighlightFillTransp");
    colours->addWidget(rootLabel, 0, 0);
    colours->addWidget(cmdRootColor, 0, 1);
    colours->addWidget(borderLabel, 1, 0);
    colours->addWidget(cmdHighlightBorderColor, 1, 1);
    colours->addWidget(lblHighlightFillColor, 2, 0);
    colours->addWidget(cmdHighlightFillColor, 2, 1);
    colours->addWidget(chkHighlightFillTransp, 2, 2);
    column->addLayout(colours);

    fgExampleView = new OutlineGridView(&fgExample);
    fgExampleView->setObjectName(QStringLiteral("fgExample"));
    fgExampleView->setAccessibleName(QStringLiteral("Example tree"));
    fgExampleView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    fgExampleView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Only an example: folders dropped on it would go nowhere.
    fgExampleView->setAcceptDrops(false);
    fgExampleView->viewport()->setAcceptDrops(false);
    column->addWidget(fgExampleView);
    column->addStretch(1);
    return fraAppearance;
}

QGroupBox *frmOptions::buildChartPage() {
    fraChart = page("Chart", "fraChart");
    auto *column = new QVBoxLayout(fraChart);
    const int indent = indentOf(this);

    grpChrtTyp = new QButtonGroup(this);
    // One level (pie, bars) in the first row, the whole subtree (treemap, rings) in the second.
    static const char *const types[] = {"Pie chart", "Bar chart", "Treemap", "Rings"};
    auto *typeRow = new QGridLayout;
    typeRow->setContentsMargins(indent, 0, 0, 0);
    for (int i = 0; i < 4; ++i) {
        auto *option = new QRadioButton(QString::fromLatin1(types[i]));
        option->setObjectName(QStringLiteral("optChrtTyp%1").arg(i));
        optChrtTyp[static_cast<std::size_t>(i)] = option;
        grpChrtTyp->addButton(option, i);
        typeRow->addWidget(option, i / 2, i % 2);
    }
    typeRow->setColumnStretch(2, 1);
    column->addWidget(label(QStringLiteral("Display chart as:"), "Label7", optChrtTyp[0]));
    column->addLayout(typeRow);

    chkChart3D = checkBox("Display 3D effects", "chkChart3D");
    column->addWidget(chkChart3D);
    chkCushions = checkBox("Shade treemap tiles as cushions", "chkCushions");
    column->addWidget(chkCushions);
    column->addSpacing(fontMetrics().height() / 2);

    column->addWidget(label(QStringLiteral("If chart is visible:"), "Label10"));
    chkChInHTML = checkBox("Include in HTML export", "chkChInHTML");
    chkChInPDF = checkBox("Include in PDF export", "chkChInPDF");
    for (QCheckBox *box : {chkChInHTML, chkChInPDF}) {
        auto *row = new QHBoxLayout;
        row->setContentsMargins(indent, 0, 0, 0);
        row->addWidget(box);
        column->addLayout(row);
    }
    column->addSpacing(fontMetrics().height() / 2);

    txtOther = named(new QLineEdit, "txtOther");
    auto *otherRow = new QHBoxLayout;
    otherRow->addWidget(label(QStringLiteral("Label \"other\" slice as :"), "Label9", txtOther));
    otherRow->addWidget(txtOther, 1);
    column->addLayout(otherRow);
    column->addStretch(1);
    return fraChart;
}

QGroupBox *frmOptions::buildMiscPage() {
    fraMisc = page("Misc", "fraMisc");
    auto *grid = new QGridLayout(fraMisc);
    lblOSVersion = named(new QLabel, "lblOSVersion");
    lblOSVersion->setTextFormat(Qt::PlainText);
    lblOSVersion->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblOSVersion->setWordWrap(true);
    grid->addWidget(label(QStringLiteral("Operating System:"), "Label8"), 0, 0, Qt::AlignTop);
    grid->addWidget(lblOSVersion, 0, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    return fraMisc;
}

void frmOptions::buildPresetMenu() {
    mnuPopUp1 = new QMenu(QStringLiteral("PopUp1"), this);
    mnuPopUp1->setObjectName(QStringLiteral("mnuPopUp1"));
    for (int i = 0; i < static_cast<int>(Presets.size()); ++i) {
        QAction *item =
            mnuPopUp1->addAction(QString::fromLatin1(Presets[static_cast<std::size_t>(i)].caption));
        connect(item, &QAction::triggered, this, [this, i] { mnuPreDef_Click(i); });
    }
}
