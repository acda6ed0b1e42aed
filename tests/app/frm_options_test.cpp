// The options dialog, opened from the real window's Tools menu and driven with clicks and key
// presses: what it hands to the setting variables, the tree and the chart, and the list of
// recent match specs it writes to the settings file.
#include "MainFixture.h"

#include "Chart.h"
#include "ColorButton.h"
#include "OutlineGridView.h"
#include "SettingsCatalogue.h"
#include "StoredColor.h"
#include "SystemInfo.h"
#include "basInitEntry.h"
#include "frmOptions.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

namespace {

const char *const ListSection = "Match_Parameter_Items";

template <typename W> W *child(QWidget &dialog, const char *name) {
    W *w = dialog.findChild<W *>(QString::fromLatin1(name));
    if (!w)
        ADD_FAILURE() << "no control " << name;
    return w;
}

void click(QWidget *button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

// Check boxes and option buttons are toggled from the keyboard, as a user tabbing through
// the page would.
void press(QWidget *box) {
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Space);
}

// Replaces the text of a line edit the way a user does: select all, type.
void typeInto(QLineEdit *edit, const QString &text) {
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        QTest::keyClicks(edit, text);
}

void showPage(frmOptions &dialog, int index) {
    QTreeWidget *tree = dialog.pageTree();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      tree->visualItemRect(tree->topLevelItem(index)).center());
}

QStringList comboItems(QComboBox *box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

// Every setting of the catalogue as it would be stored.
QStringList storedTexts(const Settings &s) {
    QStringList texts;
    for (const SettingsCatalogue::Setting &setting : SettingsCatalogue::all())
        texts << QString::fromLatin1(setting.key) + u'=' +
                     SettingsCatalogue::storedText(setting, s);
    return texts;
}

struct OptionsTest : MainFixture {
    void SetUp() override {
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
        MainFixture::SetUp();
        form->LocateSettingsFile();
    }
    void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }

    // Opens the dialog through Tools > Options... and runs `step` while it is up. A step that
    // leaves it open is followed by Cancel, so that a failed check never leaves a test hanging.
    void withOptions(const std::function<void(frmOptions &)> &step) {
        bool ran = false;
        QTimer::singleShot(0, qApp, [&] {
            auto *dialog = form->findChild<frmOptions *>();
            ASSERT_NE(dialog, nullptr);
            ran = true;
            EXPECT_TRUE(dialog->isVisible());
            EXPECT_EQ(QApplication::activeModalWidget(), dialog);
            step(*dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        form->optionsAction()->trigger();
        EXPECT_TRUE(ran);
        EXPECT_EQ(form->findChild<frmOptions *>(), nullptr) << "the dialog outlives its closing";
    }

    QString stored(const QString &key) const {
        return basInitEntry::ReadIniEntry(ListSection, key, "<none>", form->IniPath());
    }
    QStringList storedList() const {
        QStringList items;
        const int n = stored("Number").toInt();
        for (int i = 0; i < n; ++i)
            items << stored(QString::number(i));
        return items;
    }
    void storeList(const QStringList &items) {
        SettingsCatalogue::saveMatchSpecs(items, form->IniPath());
    }
};

TEST_F(OptionsTest, ToolsMenuOpensTheDialogModallyOverTheWindow) {
    const QList<QAction *> menus = form->menuBar()->actions();
    QStringList titles;
    for (QAction *a : menus)
        titles << a->text();
    EXPECT_EQ(titles, QStringList({"&File", "&View", "&Tools", "&Sort", "&Help"}));
    ASSERT_EQ(form->toolsMenu()->actions().size(), 1);
    EXPECT_EQ(form->optionsAction()->text(), "Options...");
    EXPECT_FALSE(form->optionsAction()->shortcut().isEmpty());

    withOptions([&](frmOptions &d) {
        EXPECT_EQ(d.windowTitle(), "Cairnmeter");
        EXPECT_TRUE(d.isModal());
        EXPECT_EQ(d.parentWidget(), form.get());
        EXPECT_FALSE(child<QPushButton>(d, "cmdApply")->isEnabled());
        EXPECT_EQ(child<QPushButton>(d, "cmdOK")->text(), "OK");
        EXPECT_EQ(child<QPushButton>(d, "cmdCancel")->text(), "Cancel");
        EXPECT_EQ(child<QPushButton>(d, "cmdDefaults")->text(), "Defaults");
    });
}

TEST_F(OptionsTest, PageTreeShowsOnePageAtATime) {
    withOptions([&](frmOptions &d) {
        QTreeWidget *tree = d.pageTree();
        ASSERT_EQ(tree->topLevelItemCount(), 4);
        const char *texts[] = {"Scan", "Appearance", "Chart", "Misc"};
        const char *frames[] = {"fraScan", "fraAppearance", "fraChart", "fraMisc"};
        EXPECT_EQ(d.pages()->currentWidget()->objectName(), "fraScan");
        EXPECT_EQ(tree->currentItem(), tree->topLevelItem(0));
        for (int i : {2, 1, 3, 0}) {
            QTreeWidgetItem *item = tree->topLevelItem(i);
            EXPECT_EQ(item->text(0), texts[i]);
            EXPECT_FALSE(item->icon(0).isNull());
            EXPECT_FALSE(item->flags() & Qt::ItemIsEditable);
            showPage(d, i);
            EXPECT_EQ(d.pages()->currentWidget()->objectName(), frames[i]);
            for (const char *frame : frames)
                EXPECT_EQ(child<QGroupBox>(d, frame)->isVisible(), frame == frames[i]);
        }
        showPage(d, 3);
        const SystemInfo::OSVersion &os = SystemInfo::GetOSVersion();
        EXPECT_EQ(child<QLabel>(d, "lblOSVersion")->text(), os.name + " v" + os.text);
        EXPECT_FALSE(os.text.isEmpty());
    });
}

TEST_F(OptionsTest, EveryControlCarriesItsCaption) {
    withOptions([&](frmOptions &d) {
        const std::pair<const char *, const char *> captions[] = {
            {"Label5", "File match specs:"},
            {"cmdPreDef", ">"},
            {"chkSearchSubFolders", "Search within subfolders"},
            {"chkCollRoots", "Collapse existing root nodes before new scan"},
            {"chkClearObj", "Clear all nodes before new scan"},
            {"chkImmScan", "Scan immediately after selecting the start path"},
            {"Label6", "Dynamically refresh the scan progress:"},
            {"optDispProg0", "None"},
            {"optDispProg1", "Direct"},
            {"optDispProg2", "Buffered"},
            {"cmdDispProgHelp", "?"},
            {"Label1", "Display sizes in:"},
            {"Label4", "       with format:"},
            {"chkWallpaper", "Display wallpaper in tree"},
            {"chkGrids", "Display gridlines in tree"},
            {"Label2", "Color of root nodes"},
            {"Label3", "Color of node highlight border"},
            {"lblHighlightFillColor", "Color of node highlight fill"},
            {"chkHighlightFillTransp", "Transparent"},
            {"Label7", "Display chart as:"},
            {"optChrtTyp0", "Pie chart"},
            {"optChrtTyp1", "Bar chart"},
            {"optChrtTyp2", "Treemap"},
            {"optChrtTyp3", "Rings"},
            {"chkChart3D", "Display 3D effects"},
            {"chkCushions", "Shade treemap tiles as cushions"},
            {"Label10", "If chart is visible:"},
            {"chkChInHTML", "Include in HTML export"},
            {"chkChInPDF", "Include in PDF export"},
            {"Label9", "Label \"other\" slice as :"},
            {"Label8", "Operating System:"},
        };
        for (const auto &[name, caption] : captions) {
            QWidget *w = child<QWidget>(d, name);
            if (!w)
                continue;
            const QString text = qobject_cast<QLabel *>(w) ? qobject_cast<QLabel *>(w)->text()
                                 : qobject_cast<QAbstractButton *>(w)
                                     ? qobject_cast<QAbstractButton *>(w)->text()
                                     : QString("<no caption>");
            EXPECT_EQ(text, caption) << name;
        }
    });
}

TEST_F(OptionsTest, CancelEscapeAndTheCloseBoxChangeNothing) {
    storeList({"*.txt"});
    const QByteArray fileBefore = [&] {
        QFile f(form->IniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    const QStringList before = storedTexts(form->settings());
    const GridLook lookBefore = form->grid().look();
    prompts.colors = {QColor(1, 2, 3), QColor(1, 2, 3), QColor(1, 2, 3)};
    for (int way = 0; way < 3; ++way) {
        withOptions([&](frmOptions &d) {
            typeInto(child<QComboBox>(d, "cboMatchParams")->lineEdit(), "*.new");
            press(child<QCheckBox>(d, "chkSearchSubFolders"));
            showPage(d, 1);
            press(child<QCheckBox>(d, "chkGrids"));
            press(child<QCheckBox>(d, "chkWallpaper"));
            click(child<ColorButton>(d, "cmdRootColor"));
            typeInto(child<QLineEdit>(d, "txtObjSizeFmt"), "0.0");
            showPage(d, 2);
            press(child<QRadioButton>(d, "optChrtTyp1"));
            EXPECT_TRUE(child<QPushButton>(d, "cmdApply")->isEnabled());
            if (way == 0)
                click(child<QPushButton>(d, "cmdCancel"));
            else if (way == 1)
                QTest::keyClick(d.focusWidget() ? d.focusWidget() : &d, Qt::Key_Escape);
            else
                d.close();
            EXPECT_FALSE(d.isVisible());
        });
        EXPECT_EQ(storedTexts(form->settings()), before) << "way " << way;
    }
    EXPECT_EQ(form->grid().look().gridLines, lookBefore.gridLines);
    EXPECT_EQ(form->grid().look().wallpaper.isNull(), lookBefore.wallpaper.isNull());
    EXPECT_EQ(form->chart().chartType(), Chart::Type::Pie);
    QFile f(form->IniPath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), fileBefore);
}

TEST_F(OptionsTest, OkWithoutEditsKeepsEveryValueAndStoresTheListWithTheSpecOnTop) {
    form->settings().Match_Parameters = "*.mp3";
    form->settings().Object_Size = 1;
    form->settings().Chart_Type = 1;
    form->settings().Display_Gridlines = true;
    form->settings().Root_Font_Color = 0x123456;
    storeList({"*.txt", "*.doc"});
    const QStringList before = storedTexts(form->settings());
    withOptions([&](frmOptions &d) {
        EXPECT_EQ(child<QComboBox>(d, "cboMatchParams")->currentText(), "*.mp3");
        EXPECT_EQ(comboItems(child<QComboBox>(d, "cboMatchParams")),
                  QStringList({"*.txt", "*.doc"}));
        EXPECT_EQ(child<ColorButton>(d, "cmdRootColor")->color(), 0x123456u);
        click(child<QPushButton>(d, "cmdOK"));
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(storedTexts(form->settings()), before);
    EXPECT_EQ(storedList(), QStringList({"*.mp3", "*.txt", "*.doc"}));
    // The values were handed to the tree and the chart again.
    EXPECT_EQ(form->grid().look().gridLines, 1);
    EXPECT_EQ(form->chart().chartType(), Chart::Type::Bar);
    EXPECT_EQ(form->grid().text(1, 2), "KB");
}

TEST_F(OptionsTest, AKnownSpecKeepsTheOrderANewOneGoesOnTopAndIsStoredAtOnce) {
    storeList({"*.a", "*.b", "*.c"});
    withOptions([&](frmOptions &d) {
        auto *specs = child<QComboBox>(d, "cboMatchParams");
        EXPECT_EQ(specs->currentText(), "*.*");
        typeInto(specs->lineEdit(), "*.b");
        click(child<QPushButton>(d, "cmdApply"));
        EXPECT_EQ(comboItems(specs), QStringList({"*.a", "*.b", "*.c"}));
        EXPECT_EQ(storedList(), QStringList({"*.a", "*.b", "*.c"}));
        EXPECT_EQ(form->settings().Match_Parameters, "*.b");

        // Case counts: "*.B" is another spec.
        typeInto(specs->lineEdit(), "  *.B  ");
        click(child<QPushButton>(d, "cmdApply"));
        EXPECT_EQ(comboItems(specs), QStringList({"*.B", "*.a", "*.b", "*.c"}));
        EXPECT_EQ(specs->currentText(), "*.B");
        // In the file while the dialog is still open, long before the program ends.
        EXPECT_EQ(storedList(), QStringList({"*.B", "*.a", "*.b", "*.c"}));
        EXPECT_EQ(form->settings().Match_Parameters, "*.B");
    });
    // Picking a spec from the list keeps its place.
    withOptions([&](frmOptions &d) {
        auto *specs = child<QComboBox>(d, "cboMatchParams");
        specs->setFocus();
        QTest::keyClick(specs, Qt::Key_Down); // the next item down the list
        const QString picked = specs->currentText();
        EXPECT_TRUE(QStringList({"*.B", "*.a", "*.b", "*.c"}).contains(picked));
        click(child<QPushButton>(d, "cmdOK"));
        EXPECT_EQ(form->settings().Match_Parameters, picked);
    });
    EXPECT_EQ(storedList(), QStringList({"*.B", "*.a", "*.b", "*.c"}));
}

TEST_F(OptionsTest, TheSixteenthSpecPushesTheOldestOutAtTheNextOpening) {
    QStringList fifteen;
    for (int i = 0; i < 15; ++i)
        fifteen << QString("*.s%1").arg(i);
    storeList(fifteen);
    withOptions([&](frmOptions &d) {
        auto *specs = child<QComboBox>(d, "cboMatchParams");
        EXPECT_EQ(comboItems(specs), fifteen);
        typeInto(specs->lineEdit(), "*.new");
        click(child<QPushButton>(d, "cmdApply"));
        EXPECT_EQ(specs->count(), 16);
        EXPECT_EQ(stored("Number"), "15");
        EXPECT_EQ(stored("15"), "<none>");
        EXPECT_EQ(storedList(), QStringList{"*.new"} + fifteen.mid(0, 14));
        click(child<QPushButton>(d, "cmdCancel"));
    });
    withOptions([&](frmOptions &d) {
        EXPECT_EQ(comboItems(child<QComboBox>(d, "cboMatchParams")),
                  QStringList{"*.new"} + fifteen.mid(0, 14));
    });
}

TEST_F(OptionsTest, AnEmptySpecBecomesAllFilesAndThePresetsFillTheText) {
    form->settings().Match_Parameters = "*.mp3";
    withOptions([&](frmOptions &d) {
        auto *specs = child<QComboBox>(d, "cboMatchParams");
        QMenu *menu = d.presetMenu();
        EXPECT_EQ(menu->title(), "PopUp1");
        ASSERT_EQ(menu->actions().size(), 8);
        EXPECT_EQ(menu->actions()[0]->text(), "MPEG Audio (MP3)");
        EXPECT_EQ(menu->actions()[6]->text(), "Compressed Files");
        menu->actions()[5]->trigger();
        EXPECT_EQ(specs->currentText(),
                  "*.doc;*.xl*;*.htm;*.html;*.ppt;*.obd;*.mdb;*.dot;*.xlt;*.pot;*.obt;*.pub");
        EXPECT_TRUE(child<QPushButton>(d, "cmdApply")->isEnabled());
        menu->actions()[7]->trigger();
        EXPECT_EQ(specs->currentText(), "*.*");

        // The ">" button shows the menu.
        click(child<QToolButton>(d, "cmdPreDef"));
        EXPECT_TRUE(menu->isVisible());
        menu->close();

        typeInto(specs->lineEdit(), "   ");
        click(child<QPushButton>(d, "cmdOK"));
    });
    EXPECT_EQ(form->settings().Match_Parameters, "*.*");
    EXPECT_EQ(storedList().value(0), "*.*");
}

TEST_F(OptionsTest, TransparentDisablesTheFillColourAndTheExamplePaintsNoFill) {
    withOptions([&](frmOptions &d) {
        showPage(d, 1);
        OutlineGrid &example = d.exampleGrid();
        OutlineGridView *view = d.exampleView();
        ASSERT_EQ(example.rows(), 3);
        EXPECT_EQ(example.text(0, 0), "RootNode");
        EXPECT_EQ(example.text(1, 0), "SubNode1");
        EXPECT_EQ(example.text(2, 0), "SubNode2");
        EXPECT_TRUE(example.cellBold(0, 0));
        EXPECT_EQ(example.level(1), 1);
        EXPECT_TRUE(example.isRowSelected(1));
        EXPECT_NE(example.cellPicture(1, 0), 0);
        // A sub-node is selected: its text takes the highlight colour, not the root colour.
        EXPECT_EQ(example.selectionForeColor(), StoredColor::SystemBit | 14u);

        // The selected row is filled with the light green of the fill button...
        const QColor fill = StoredColor::toQColor(form->settings().HighLight_Fill_Color);
        auto fillPixels = [&] {
            view->flush();
            const QImage shot = view->viewport()->grab().toImage();
            const QRect row = view->cellRect(1, 3); // the empty column: fill or background
            int n = 0;
            for (int x = row.left(); x <= row.right(); ++x)
                n += shot.pixelColor(x, row.center().y()) == fill;
            return n;
        };
        EXPECT_GT(fillPixels(), 0);

        auto *transparent = child<QCheckBox>(d, "chkHighlightFillTransp");
        press(transparent);
        EXPECT_TRUE(transparent->isChecked());
        EXPECT_FALSE(child<ColorButton>(d, "cmdHighlightFillColor")->isEnabled());
        EXPECT_FALSE(child<QLabel>(d, "lblHighlightFillColor")->isEnabled());
        EXPECT_EQ(example.look().highlight, 0);
        EXPECT_EQ(fillPixels(), 0);
        EXPECT_TRUE(child<QPushButton>(d, "cmdApply")->isEnabled());

        press(transparent);
        EXPECT_TRUE(child<ColorButton>(d, "cmdHighlightFillColor")->isEnabled());
        EXPECT_GT(fillPixels(), 0);
        press(transparent);
        click(child<QPushButton>(d, "cmdOK"));
    });
    EXPECT_TRUE(form->settings().HighLight_Fill_Transparent);
    EXPECT_EQ(form->grid().look().highlight, 0);
}

TEST_F(OptionsTest, KiloBytesAndANewFormatShowInTheExampleAtOnceAndEnableApply) {
    withOptions([&](frmOptions &d) {
        auto *apply = child<QPushButton>(d, "cmdApply");
        EXPECT_FALSE(apply->isEnabled());
        showPage(d, 1);
        OutlineGrid &example = d.exampleGrid();
        EXPECT_EQ(example.text(0, 2), "B"); // the fixture's bytes
        auto *unit = child<QComboBox>(d, "cboObjSize");
        EXPECT_EQ(comboItems(unit), QStringList({"Bytes", "KiloBytes", "MegaBytes", "GigaBytes"}));
        EXPECT_FALSE(unit->isEditable());
        unit->setFocus();
        QTest::keyClick(unit, Qt::Key_Down);
        EXPECT_EQ(unit->currentText(), "KiloBytes");
        for (int r = 0; r < 3; ++r)
            EXPECT_EQ(example.text(r, 2), "KB");
        EXPECT_TRUE(apply->isEnabled());
        click(apply);
        EXPECT_FALSE(apply->isEnabled());
        EXPECT_EQ(form->settings().Object_Size, 1);
        EXPECT_EQ(form->grid().text(1, 2), "KB");

        typeInto(child<QLineEdit>(d, "txtObjSizeFmt"), "0.000");
        EXPECT_EQ(example.displayText(1, 1), "250.000");
        EXPECT_EQ(example.displayText(0, 1), "575.000");
        EXPECT_TRUE(apply->isEnabled());
        click(child<QPushButton>(d, "cmdOK"));
    });
    EXPECT_EQ(form->settings().Object_Size_Format, "0.000");
}

TEST_F(OptionsTest, CancelAfterApplyKeepsWhatWasApplied) {
    withOptions([&](frmOptions &d) {
        press(child<QCheckBox>(d, "chkClearObj"));
        press(child<QRadioButton>(d, "optDispProg2"));
        press(child<QCheckBox>(d, "chkLargestInReports"));
        click(child<QPushButton>(d, "cmdApply"));
        showPage(d, 2);
        typeInto(child<QLineEdit>(d, "txtOther"), "Rest");
        press(child<QCheckBox>(d, "chkChInPDF"));
        click(child<QPushButton>(d, "cmdCancel"));
    });
    const Settings &s = form->settings();
    EXPECT_TRUE(s.Clear_Nodes_B4_Scan);
    EXPECT_EQ(s.Redraw_Scan_Progress, 2);
    EXPECT_TRUE(s.Largest_Files_In_Reports);
    EXPECT_EQ(s.Other_Label, "Other");
    EXPECT_TRUE(s.Chart_In_PDF_Output);
}

TEST_F(OptionsTest, BarChartWithOkRedrawsTheSelectedNodesChartAsBars) {
    scan(root);
    const int sub = rowNamed("sub");
    ASSERT_GT(sub, 0);
    // The chart still shows what it showed before the selection moved.
    form->grid().select(sub, 0);
    const QString titleBefore = form->chart().title();
    ASSERT_NE(titleBefore, "sub");
    withOptions([&](frmOptions &d) {
        showPage(d, 2);
        auto *bars = child<QRadioButton>(d, "optChrtTyp1");
        EXPECT_TRUE(child<QRadioButton>(d, "optChrtTyp0")->isChecked());
        press(bars);
        EXPECT_TRUE(bars->isChecked());
        click(child<QPushButton>(d, "cmdOK"));
    });
    EXPECT_EQ(form->settings().Chart_Type, 1);
    EXPECT_EQ(form->chart().chartType(), Chart::Type::Bar);
    EXPECT_NE(form->chart().title(), titleBefore);
    EXPECT_EQ(form->chart().title(), "sub");
    EXPECT_EQ(form->chart().legendTexts().size(), 2); // "deep" and the files row

    // Back to a pie: the chart is not filled again until the next click.
    form->grid().select(rowNamed("deep"), 0);
    withOptions([&](frmOptions &d) {
        showPage(d, 2);
        press(child<QRadioButton>(d, "optChrtTyp0"));
        press(child<QCheckBox>(d, "chkChart3D"));
        click(child<QPushButton>(d, "cmdOK"));
    });
    EXPECT_EQ(form->chart().chartType(), Chart::Type::Pie);
    EXPECT_EQ(form->chart().title(), "sub");
    EXPECT_TRUE(form->settings().ThreeD_Effects);

    // Rings, flat treemaps: the setting, the chart and the View menu follow.
    withOptions([&](frmOptions &d) {
        showPage(d, 2);
        press(child<QRadioButton>(d, "optChrtTyp3"));
        press(child<QCheckBox>(d, "chkCushions"));
        click(child<QPushButton>(d, "cmdOK"));
    });
    EXPECT_EQ(form->settings().Chart_Type, 3);
    EXPECT_EQ(form->chart().chartType(), Chart::Type::Rings);
    EXPECT_TRUE(form->chartTypeAction(3)->isChecked());
    EXPECT_FALSE(form->settings().Treemap_Cushions);
    EXPECT_FALSE(form->cushionsAction()->isChecked());
}

TEST_F(OptionsTest, ColourButtonsShowTheirColourAndFeedTheExample) {
    prompts.colors = {QColor(0x11, 0x22, 0x33), QColor(), QColor(0x44, 0x55, 0x66)};
    withOptions([&](frmOptions &d) {
        showPage(d, 1);
        auto *rootColor = child<ColorButton>(d, "cmdRootColor");
        auto *border = child<ColorButton>(d, "cmdHighlightBorderColor");
        EXPECT_EQ(rootColor->toolTip(), "Click here to change");
        EXPECT_EQ(rootColor->color(), 16711680u);
        EXPECT_EQ(border->color(), 16711935u);
        EXPECT_EQ(child<ColorButton>(d, "cmdHighlightFillColor")->color(), 8454016u);
        OutlineGrid &example = d.exampleGrid();
        ASSERT_FALSE(example.borders().empty());
        EXPECT_EQ(example.borders().back().color, 16711935u);
        EXPECT_EQ(example.borders().back().range.top, 1);

        click(rootColor);
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].kind, "color");
        EXPECT_EQ(prompts.shown[0].text, "#0000ff"); // starts from the face colour
        EXPECT_EQ(rootColor->color(), StoredColor::fromRgb(0x11, 0x22, 0x33));
        EXPECT_EQ(example.cellForeColor(0, 1), StoredColor::fromRgb(0x11, 0x22, 0x33));

        click(border); // cancelled: nothing changes
        EXPECT_EQ(border->color(), 16711935u);
        click(border);
        EXPECT_EQ(border->color(), StoredColor::fromRgb(0x44, 0x55, 0x66));
        ASSERT_EQ(example.borders().size(), 1u);
        EXPECT_EQ(example.borders().back().color, StoredColor::fromRgb(0x44, 0x55, 0x66));
        EXPECT_EQ(example.borders().back().range.top, 1);

        // Clicking the root row moves the border and shows its text in the root colour.
        d.exampleView()->activateCell(0, 0);
        ASSERT_EQ(example.borders().size(), 1u);
        EXPECT_EQ(example.borders().back().range.top, 0);
        EXPECT_EQ(example.selectionForeColor(), StoredColor::fromRgb(0x11, 0x22, 0x33));
        click(child<QPushButton>(d, "cmdOK"));
    });
    EXPECT_TRUE(std::none_of(prompts.shown.begin(), prompts.shown.end(),
                             [](const auto &p) { return p.kind == "message"; }));
    EXPECT_EQ(form->settings().Root_Font_Color, StoredColor::fromRgb(0x11, 0x22, 0x33));
    EXPECT_EQ(form->settings().HighLight_Border_Color, StoredColor::fromRgb(0x44, 0x55, 0x66));
    // The selected row of the tree is drawn again with the new border.
    const int top = 1;
    ASSERT_TRUE(form->grid().isRowSelected(top));
    bool bordered = false;
    for (const GridBorder &b : form->grid().borders())
        bordered |= b.range.top == top && b.color == StoredColor::fromRgb(0x44, 0x55, 0x66);
    EXPECT_TRUE(bordered);
}

TEST_F(OptionsTest, DefaultsSetTheControlsButNotTheListUntilOk) {
    Settings &s = form->settings();
    s.Match_Parameters = "*.mp3";
    s.Recurse_Subfolders = false;
    s.Clear_Nodes_B4_Scan = true;
    s.Redraw_Scan_Progress = 1;
    s.Object_Size_Format = "0.0";
    s.Display_Wallpaper = false;
    s.Root_Font_Color = 5;
    s.HighLight_Fill_Transparent = true;
    s.Chart_Type = 1;
    s.ThreeD_Effects = true;
    s.Chart_In_HTML_Output = false;
    s.Other_Label = "Rest";
    storeList({"*.x", "*.y"});
    withOptions([&](frmOptions &d) {
        EXPECT_FALSE(child<ColorButton>(d, "cmdHighlightFillColor")->isEnabled());
        click(child<QPushButton>(d, "cmdDefaults"));
        EXPECT_EQ(child<QComboBox>(d, "cboMatchParams")->currentText(), "*.*");
        EXPECT_EQ(comboItems(child<QComboBox>(d, "cboMatchParams")), QStringList({"*.x", "*.y"}));
        EXPECT_EQ(child<QComboBox>(d, "cboObjSize")->currentIndex(), 2);
        EXPECT_TRUE(child<ColorButton>(d, "cmdHighlightFillColor")->isEnabled());
        EXPECT_TRUE(child<QPushButton>(d, "cmdApply")->isEnabled());
        EXPECT_EQ(form->settings().Other_Label, "Rest"); // nothing handed over yet
        click(child<QPushButton>(d, "cmdOK"));
    });
    // Every scan, appearance and chart setting now holds its default.
    for (const SettingsCatalogue::Setting &setting : SettingsCatalogue::all()) {
        const QString section = QString::fromLatin1(setting.section);
        if (section == "Scan" || section == "Appearance" || section == "Chart") {
            EXPECT_EQ(SettingsCatalogue::storedText(setting, s),
                      SettingsCatalogue::defaultText(setting))
                << setting.key;
        }
    }
    EXPECT_EQ(storedList(), QStringList({"*.*", "*.x", "*.y"}));
}

TEST_F(OptionsTest, AnErrorWhileHandingOverIsShownAndOkStillCloses) {
    scan(root);
    // A root whose byte count is no number: writing the top row fails.
    const int scanRoot = form->grid().firstChild(1);
    ASSERT_GT(scanRoot, 1);
    form->grid().setText(scanRoot, 4, "many");
    prompts.shown.clear();
    withOptions([&](frmOptions &d) {
        showPage(d, 2);
        press(child<QRadioButton>(d, "optChrtTyp1"));
        click(child<QPushButton>(d, "cmdOK"));
        EXPECT_FALSE(d.isVisible());
    });
    ASSERT_FALSE(prompts.shown.empty());
    const auto &box = prompts.shown.back();
    EXPECT_EQ(box.title, "Error in SaveTheSettings");
    EXPECT_EQ(box.icon, Prompts::Icon::Critical);
    EXPECT_EQ(box.text, "13\nType mismatch\nLine: 13");
    // What was handed over before the error stays.
    EXPECT_EQ(form->settings().Chart_Type, 1);
    EXPECT_EQ(form->chart().chartType(), Chart::Type::Bar);
}

TEST_F(OptionsTest, TheQuestionMarkExplainsTheRedrawChoices) {
    withOptions([&](frmOptions &d) {
        click(child<QToolButton>(d, "cmdDispProgHelp"));
        EXPECT_FALSE(child<QPushButton>(d, "cmdApply")->isEnabled());
    });
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].title, "Refresh the Scan Progress");
    EXPECT_EQ(prompts.shown[0].icon, Prompts::Icon::Information);
    EXPECT_EQ(prompts.shown[0].text.split('\n'),
              QStringList({"- None (Fastest: The results are displayed only at completion)",
                           "- Direct (Slower: The results are dynamically displayed)",
                           "- Buffered (Slowest: The results are dynamically displayed with "
                           "minimal flicker)"}));
}

TEST_F(OptionsTest, EveryCaptionFitsItsControlAtALargeFont) {
    const QFont normal = QApplication::font();
    QFont big = normal;
    big.setPointSizeF(big.pointSizeF() * 2.2);
    QApplication::setFont(big);
    withOptions([&](frmOptions &d) {
        for (int page = 0; page < 4; ++page) {
            showPage(d, page);
            QWidget *frame = d.pages()->currentWidget();
            for (QWidget *w : frame->findChildren<QWidget *>()) {
                if (!w->isVisible() ||
                    !(qobject_cast<QLabel *>(w) || qobject_cast<QAbstractButton *>(w)))
                    continue;
                // A label that wraps needs the height its width calls for; others their hint.
                if (w->hasHeightForWidth()) {
                    EXPECT_GE(w->height(), w->heightForWidth(w->width()))
                        << w->objectName().toStdString();
                } else {
                    EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString();
                    EXPECT_GE(w->height(), w->sizeHint().height()) << w->objectName().toStdString();
                }
                EXPECT_TRUE(frame->rect().contains(QRect(w->mapTo(frame, QPoint()), w->size())))
                    << w->objectName().toStdString();
            }
        }
        for (const char *name : {"cmdOK", "cmdCancel", "cmdApply", "cmdDefaults"}) {
            auto *b = child<QPushButton>(d, name);
            EXPECT_GE(b->width(), b->sizeHint().width()) << name;
        }
        // The example shows its three rows whole.
        showPage(d, 1);
        OutlineGridView *view = d.exampleView();
        EXPECT_LE(view->cellRect(2, 0).bottom(), view->viewport()->height());
    });
    QApplication::setFont(normal);
}

} // namespace
