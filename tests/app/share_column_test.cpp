// The grid's spare column shows each row's share of its parent on the screen, and on the screen
// only: the reports keep their columns.
#include "MainFixture.h"
#include "OutlineGridView.h"
#include "TreeCol.h"

#include <QProcess>

TEST_F(MainFixture, TheShareColumnShowsEachRowsPartOfItsParentOnTheScreenOnly) {
    scan(root);
    const OutlineGridView *view = form->gridView();
    EXPECT_EQ(view->headerText(TreeCol::Spare), "% of Parent");
    const int sub = rowNamed("sub");
    // root holds 2,130 bytes: sub 2,030 of them, its own files 100, the empty folder none.
    EXPECT_EQ(view->shownText(sub, TreeCol::Spare), "95.3%");
    int ownFiles = -1; // the row of the files directly in root
    for (int r = form->grid().firstChild(form->grid().parentRow(sub)); r >= 0;
         r = form->grid().nextSibling(r)) {
        if (form->grid().text(r, 0).startsWith("<Files in"))
            ownFiles = r;
    }
    ASSERT_GT(ownFiles, 0);
    EXPECT_EQ(view->shownText(ownFiles, TreeCol::Spare), "4.7%");
    EXPECT_EQ(view->shownText(rowNamed("empty"), TreeCol::Spare), "0.0%");
    EXPECT_EQ(view->shownText(form->grid().firstChild(sub), TreeCol::Spare), "1.5%"); // deep
    EXPECT_EQ(view->shownText(1, TreeCol::Spare), QString()); // the top row has no parent
    EXPECT_EQ(form->grid().text(sub, TreeCol::Spare), QString());

    // HTML, PDF, CSV and plain text: none carries the share or its heading.
    const QStringList files{"r.htm", "r.pdf", "r.csv", "r.txt"};
    for (int index = 0; index < files.size(); ++index) {
        const QString file = dir.filePath(files[index]);
        ASSERT_TRUE(form->session().writeReport(index, file, {}).done());
        QByteArray text;
        if (file.endsWith(".pdf")) {
            QProcess pdf;
            pdf.start("pdftotext", {file, "-"});
            ASSERT_TRUE(pdf.waitForFinished(30000));
            text = pdf.readAllStandardOutput();
        } else {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(file);
            text = f.readAll();
        }
        ASSERT_TRUE(text.contains("sub")) << qPrintable(file);
        // (The chart's legend in the PDF says "95.31% sub"; the column would say "95.3%".)
        EXPECT_FALSE(text.contains("95.3%")) << qPrintable(file);
        EXPECT_FALSE(text.contains("of Parent")) << qPrintable(file);
    }
}
