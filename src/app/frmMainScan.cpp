// The scan command, Abort, Clear All and the switching of the window's controls.
#include "frmMain.h"

#include "BusyPointer.h"
#include "HandlerTrap.h"
#include "NativePath.h"
#include "OutlineGridView.h"
#include "ScanTree.h"
#include "mdlFileSearch.h"
#include "yieldOnce.h"

#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>

#include <chrono>

void frmMain::EnObjs(bool enable) {
    cmdAbort->setEnabled(!enable);
    EnObjs2(enable);
}

void frmMain::EnObjs2(bool enable) {
    cboStartPath->setEnabled(enable);
    drvMain->setEnabled(enable);
    cmdBrowse->setEnabled(enable);
    cmdBeginScan->setEnabled(enable);
    cmdClear->setEnabled(enable);
    fgTree.setEnabled(enable);
    for (QAction *menu : menuBar()->actions())
        menu->setEnabled(enable);
    updateItemActions();
}

void frmMain::cmdAbort_Click() {
    m_session.requestAbort();
}

void frmMain::cmdBeginScan_Click() {
    if (m_scanning)
        return; // only Abort may act while a walk runs
    m_scanning = true;
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in scanning"));
    BusyPointer busy(BusyPointer::Later);
    bool completed = false;
    std::exception_ptr failure;
    int failedAt = 0;
    try {
        trap.line = 1;
        m_search->AbortRequested = false;
        trap.line = 2;
        const QString typed = cboStartPath->currentText();
        const QString path = mdlFileSearch::NormalizePath(typed);
        // The box holds text; a name that is not UTF-8 came into it losslessly decoded (from
        // the command line, a drop, a scanned row) and goes back to its bytes here.
        const QByteArray nativeStart = NativePath::fromText(path);
        trap.line = 3;
        m_tree->SetSizeFactor();
        trap.line = 4;
        setStatusText(1, QString());
        setStatusText(2, QStringLiteral("Scan in progress..."));
        trap.line = 5;
        cboStartPath->setEditText(path);
        trap.line = 6;
        EnObjs(false);
        trap.line = 7;
        // A path that names no folder is refused before it reaches the path list, like an
        // empty one: scanning it would report a 0-byte root as a finished scan.
        if (typed.isEmpty() || !NativePath::isFolder(nativeStart))
            throw AppError(AppError::InvalidStartPath, QStringLiteral("Invalid start path."));
        trap.line = 8;
        AddToList(path);
        trap.line = 9;
        const int root = m_session.beginScan(nativeStart);
        trap.line = 15;
        fgTree.setRedraw(GridRedraw::Buffered);
        yieldOnce();
        fgTree.refresh();
        trap.line = 16;
        const auto start = std::chrono::steady_clock::now();
        beginWalkFigures(root, start);
        busy.set();
        trap.line = 18;
        m_session.walk(root);
        endWalkFigures();
        trap.line = 19;
        fgTree.setRedraw(GridRedraw::Buffered);
        yieldOnce();
        fgTree.refresh();
        const auto end = std::chrono::steady_clock::now();
        trap.line = 20;
        keepScan(root);
        fgTree.setOutlineState(root, OutlineExpanded);
        fgTree.showCell(root, TreeCol::Name);
        fgTree_Click();
        trap.line = 21;
        fgTree.sortNode(ScanTree::TopRow);
        reselectRows();
        trap.line = 22;
        m_tree->UpdateRoots();
        setStatusText(
            2,
            doneText(std::chrono::duration_cast<std::chrono::milliseconds>(end - start).count()));
        completed = true;
    } catch (...) {
        failure = std::current_exception();
        failedAt = trap.line;
    }
    if (m_walking)
        endWalkFigures(); // the walk was left by an abort or an error
    // Whatever happened: the window comes back before anything is said.
    fgTree.setRedraw(GridRedraw::Buffered);
    yieldOnce();
    fgTree.refresh();
    EnObjs(true);
    busy.release();
    m_scanning = false;

    // When the window was asked to close during the walk, nobody is left to read the outcome:
    // the rows and status are as usual, the boxes are left out, and the window closes.
    const bool tell = !m_closeAfterScan;
    if (completed) {
        if (tell)
            m_prompts.message(this, QStringLiteral("The scan has finished.") + unreadableNote(),
                              QStringLiteral("Success"), Prompts::Icon::Information);
    } else if (m_search->AbortRequested) {
        m_session.addAbortedRow();
        setStatusText(2, QStringLiteral("Scan was aborted."));
        yieldOnce();
        if (tell)
            m_prompts.message(this, QStringLiteral("Scan was aborted.") + unreadableNote(),
                              QStringLiteral("Warning in Scan"), Prompts::Icon::Exclamation);
    } else {
        setStatusText(2, QStringLiteral("Error encountered."));
        if (tell)
            m_prompts.message(this,
                              HandlerTrap::messageText(HandlerTrap::toAppError(failure), failedAt),
                              QStringLiteral("Error in scanning"), Prompts::Icon::Critical);
    }
    if (m_closeAfterScan)
        close();
}

QString frmMain::doneText(qint64 ms) {
    const float seconds = static_cast<float>(ms) / 1000.0f;
    return QStringLiteral("Done in ") + QLocale().toString(seconds, 'f', 2) +
           QStringLiteral("  seconds");
}

void frmMain::beginWalkFigures(int root, std::chrono::steady_clock::time_point start) {
    m_walkRoot = root;
    m_walkStart = start;
    m_chartGrowthAt = 0;
    m_foldersBefore = m_tree->foldersAdded();
    m_walking = true;
    sbrPanel3->show();
    showWalkFigures();
    m_liveTimer.start();
}

void frmMain::endWalkFigures() {
    m_walkEnd = std::chrono::steady_clock::now();
    m_walking = false;
    m_liveTimer.stop();
    showWalkFigures();
}

void frmMain::showWalkPath(const QString &text) {
    if (!m_walking) {
        setStatusText(1, text);
        return;
    }
    m_walkPath = text;
    m_walkPathDue = true;
}

void frmMain::showWalkFigures() {
    if (m_walkPathDue) {
        m_walkPathDue = false;
        setStatusText(1, m_walkPath);
    }
    if (m_walkRoot < 0 || m_walkRoot >= fgTree.rows())
        return;
    const QLocale locale;
    const auto end = m_walking ? std::chrono::steady_clock::now() : m_walkEnd;
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(end - m_walkStart).count();
    // The root's cells hold the totals carried up so far; the root itself is a folder too.
    const auto folders = static_cast<qulonglong>(1 + m_tree->foldersAdded() - m_foldersBefore);
    const auto files = static_cast<qulonglong>(
        std::llround(m_tree->cellValue(m_walkRoot, TreeCol::Files).toDouble()));
    const double size =
        m_tree->cellValue(m_walkRoot, TreeCol::Bytes).toDouble() / m_tree->SizeFactor();
    QString text = locale.toString(folders) +
                   (folders == 1 ? QStringLiteral(" folder, ") : QStringLiteral(" folders, ")) +
                   locale.toString(files) +
                   (files == 1 ? QStringLiteral(" file, ") : QStringLiteral(" files, ")) +
                   locale.toString(size, 'f', m_tree->SizeFactor() == 1 ? 0 : 2) + u' ' +
                   m_tree->SizeUnit() + QStringLiteral(", ") +
                   QStringLiteral("%1:%2")
                       .arg(static_cast<qlonglong>(seconds / 60))
                       .arg(static_cast<qlonglong>(seconds % 60), 2, 10, QChar(u'0'));
    if (const std::size_t unreadable = m_tree->unreadableCount())
        text += QStringLiteral(", ") + locale.toString(static_cast<qulonglong>(unreadable)) +
                QStringLiteral(" unreadable");
    sbrPanel3->setText(text);
    followChartGrowth();
}

// The outcome box's second line, when folders of the walk could not be read.
QString frmMain::unreadableNote() const {
    const std::size_t n = m_tree->unreadableCount();
    if (n == 0)
        return {};
    if (n == 1)
        return QStringLiteral("\n1 folder could not be read; it is marked in the tree.");
    return u'\n' + QLocale().toString(static_cast<qulonglong>(n)) +
           QStringLiteral(" folders could not be read; they are marked in the tree.");
}

void frmMain::cmdClear_Click() {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in Clear"));
    BusyPointer busy(BusyPointer::Later);
    trap.run(
        [&] {
            trap.line = 1;
            busy.set();
            EnObjs2(false);
            yieldOnce();
            trap.line = 2;
            fgTree.setRedraw(GridRedraw::None);
            fgTree.setRows(2);
            fgTree.setRedraw(GridRedraw::Buffered);
            fgTree.refresh();
            sbrPanel3->hide(); // its figures were of rows now gone
            m_walkRoot = -1;
            yieldOnce();
            trap.line = 3;
            m_tree->UpdateRoots();
            fgTree.select(ScanTree::TopRow, TreeCol::Name);
            ClearTheChart();
            trap.line = 4;
            const Prompts::Answer a = m_prompts.message(
                this, QStringLiteral("Would you like to clear the path list as well?"),
                QStringLiteral("Clear Path List"), Prompts::Icon::Question, Prompts::Buttons::YesNo,
                Prompts::No);
            if (a == Prompts::Yes) {
                cboStartPath->clear();
                cboStartPath->setEditText(QString());
            }
            trap.line = 5;
            fgTree.select(ScanTree::TopRow, TreeCol::Name);
        },
        [&] {
            EnObjs2(true);
            busy.release();
        });
}
