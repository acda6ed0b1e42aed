// The main window's geometry, splitter, close box, view options and path controls.
#include "frmMain.h"

#include "ChartView.h"
#include "HandlerTrap.h"
#include "OutlineGridView.h"
#include "mdlFileSearch.h"
#include "yieldOnce.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QCompleter>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// The close box's three looks, drawn rather than loaded: normal, pointer over it, pressed.
QPixmap closeBoxPicture(int look, int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor face = look == 0   ? QColor(240, 240, 240)
                        : look == 1 ? QColor(232, 17, 35)
                                    : QColor(150, 10, 20);
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(face);
    p.drawRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), 3, 3);
    p.setPen(QPen(look == 0 ? QColor(60, 60, 60) : Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    const double m = size * 0.3;
    p.drawLine(QPointF(m, m), QPointF(size - m, size - m));
    p.drawLine(QPointF(size - m, m), QPointF(m, size - m));
    return pm;
}

} // namespace

int frmMain::opacityAlpha(int percent) {
    return static_cast<int>(std::nearbyint(percent / 100.0 * 255.0));
}

int frmMain::splitterLeft() const {
    return static_cast<int>(std::lround(lblBar->x() * twipsPerPixel()));
}

void frmMain::setSplitterLeft(int twips) {
    m_splitterWanted = static_cast<int>(std::lround(twips / twipsPerPixel()));
    lblBar->move(m_splitterWanted, lblBar->y());
    layoutWorkArea();
}

void frmMain::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

QSize frmMain::screenRoom() const {
    const QScreen *shown = screen();
    return shown ? shown->availableGeometry().size() : QSize(INT_MAX, INT_MAX);
}

void frmMain::Form_Resize() {
    if (isMinimized())
        return;
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in Form_Resize"));
    trap.run([&] {
        trap.line = 1;
        const double tpp = twipsPerPixel();
        const QSize outer = frameGeometry().size();
        const QSize room = screenRoom();
        const int leastWidth = std::min(static_cast<int>(std::ceil(9100 / tpp)), room.width());
        const int leastHeight = std::min(static_cast<int>(std::ceil(3200 / tpp)), room.height());
        if (outer.width() < leastWidth) {
            resize(width() + leastWidth - outer.width(), height());
            return;
        }
        if (outer.height() < leastHeight) {
            resize(width(), height() + leastHeight - outer.height());
            return;
        }
        trap.line = 4;
        // Panel 1 takes what the status bar leaves beside panel 2 (and the walk's figures),
        // through its stretch: a minimum width of its own would push them off the bar.
        layoutWorkArea();
    });
}

// Grid, splitter and chart inside the work area, by the window's rules (lengths in twips).
void frmMain::layoutWorkArea() {
    // Until the window shows, the work area has no real size to measure the limits against;
    // the splitter keeps the place it was given and the first real size lays it out.
    if (!lblBar || !fgTreeView || !chMain || !workArea->isVisible())
        return;
    const double tpp = twipsPerPixel();
    auto px = [tpp](double twips) { return static_cast<int>(std::lround(twips / tpp)); };
    const double W = workArea->width() * tpp;
    const int gridLeft = 0, top = 0;
    const int height = std::max(0, workArea->height() - px(50));
    const int barWidth = lblBar->width();
    if (m_chartShown) {
        // The place last given stays wanted: a window made too narrow for it shows the
        // splitter further left only until it is wide enough again.
        double barLeft = (m_splitterWanted >= 0 ? m_splitterWanted : lblBar->x()) * tpp;
        if (!(barLeft > 500 && barLeft < W - 500))
            barLeft = W - 500;
        lblBar->setGeometry(px(barLeft), top, barWidth, height);
        const int gridWidth = std::max(0, lblBar->x() - gridLeft);
        fgTreeView->setGeometry(gridLeft, top, gridWidth, height);
        const int chartLeft = gridLeft + gridWidth + barWidth;
        const int chartWidth = std::max(0, workArea->width() - gridWidth - barWidth - px(100));
        setChartPaneGeometry({chartLeft, top, chartWidth, height});
        placeCloseBox();
    } else {
        const double p = W - chMain->width() * tpp - barWidth * tpp;
        if (p > 500 && p < W - 500) {
            m_splitterWanted = px(p);
            lblBar->move(m_splitterWanted, top);
        }
        fgTreeView->setGeometry(gridLeft, top, std::max(0, workArea->width() - px(100)), height);
    }
}

void frmMain::placeCloseBox() {
    const double tpp = twipsPerPixel();
    const int gap = static_cast<int>(std::lround(60 / tpp));
    picClose->move(chMain->x() + chMain->width() - picClose->width() - gap, chMain->y() + gap);
    picClose->raise();
}

void frmMain::setCloseBoxLook(int look) {
    const int size = std::max(14, fontMetrics().height());
    picClose->setPixmap(closeBoxPicture(look, size));
    picClose->setFixedSize(size, size);
}

bool frmMain::eventFilter(QObject *watched, QEvent *event) {
    const QAbstractItemView *folders =
        cboStartPath->completer() ? cboStartPath->completer()->popup() : nullptr;
    const bool inPathBox = watched == cboStartPath || watched == cboStartPath->lineEdit();
    if ((inPathBox || watched == folders) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        // In the folder pop-up, Enter on a picked folder takes it into the box first.
        const bool picked = watched == folders && folders->currentIndex().isValid();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !picked) {
            if (watched == folders)
                cboStartPath->completer()->popup()->hide();
            cmdBeginScan_Click();
            return true;
        }
    } else if (watched == sbrPanel1 && event->type() == QEvent::Resize) {
        showPanel1Text();
    } else if (watched == lblBar) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            m_dragging = true;
            return true;
        case QEvent::MouseButtonRelease:
            m_dragging = false;
            return true;
        case QEvent::MouseMove:
            lblBar_MouseMove(static_cast<QMouseEvent *>(event)->position().toPoint().x());
            return true;
        default:
            break;
        }
    } else if (watched == picClose) {
        switch (event->type()) {
        case QEvent::Enter:
        case QEvent::MouseMove:
            if (!m_closeBoxPressed)
                setCloseBoxLook(1);
            break;
        case QEvent::Leave:
            setCloseBoxLook(0);
            break;
        case QEvent::MouseButtonPress:
            m_closeBoxPressed = true;
            setCloseBoxLook(2);
            return true;
        case QEvent::MouseButtonRelease:
            if (m_closeBoxPressed) {
                m_closeBoxPressed = false;
                imgX_Click();
            }
            return true;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::lblBar_MouseMove(int xInBar) {
    if (!m_dragging)
        return;
    const double tpp = twipsPerPixel();
    const double proposed = (lblBar->x() + xInBar) * tpp;
    if (!(proposed > 500 && proposed < frameGeometry().width() * tpp - 500))
        return;
    m_splitterWanted = static_cast<int>(std::lround(proposed / tpp));
    lblBar->move(m_splitterWanted, lblBar->y());
    const int gridWidth = lblBar->x();
    fgTreeView->setGeometry(0, fgTreeView->y(), gridWidth, fgTreeView->height());
    setChartPaneGeometry({gridWidth + lblBar->width(), fgTreeView->y(),
                          std::max(0, workArea->width() - gridWidth - lblBar->width() -
                                          static_cast<int>(std::lround(100 / tpp))),
                          fgTreeView->height()});
}

void frmMain::imgX_Click() {
    setCloseBoxLook(2);
    yieldOnce();
    ShowTheChart(false);
    setCloseBoxLook(0);
}

void frmMain::mnuOnTop_Click() {
    mnuOnTop->setChecked(!mnuOnTop->isChecked());
    const QRect placement = geometry();
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, mnuOnTop->isChecked());
    if (wasVisible) { // changing window flags hides the window; bring it back where it was
        setGeometry(placement);
        show();
    }
}

void frmMain::mnuSetOpacity_Click(int index) {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in mnuSetOpacity_Click"));
    trap.run([&] {
        for (int i = 0; i < 10; ++i)
            mnuSetOpacity[static_cast<std::size_t>(i)]->setChecked(i == index);
        trap.line = 2;
        QString caption = mnuSetOpacity[static_cast<std::size_t>(index)]->text();
        caption.remove(u'%');
        const int alpha = opacityAlpha(caption.toInt());
        trap.line = 3;
        setWindowOpacity(alpha / 255.0);
    });
}

void frmMain::drvMain_Change() {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in drvMain_Change"));
    trap.run([&] {
        const QString mountPoint = drvMain->currentData().toString();
        cboStartPath->setEditText(mdlFileSearch::NormalizePath(mountPoint));
        yieldOnce();
        if (m_settings.Imm_Scan_On_Path_Selection)
            cmdBeginScan_Click();
    });
}

void frmMain::cboStartPath_Click() {
    if (isVisible() && m_settings.Imm_Scan_On_Path_Selection)
        cmdBeginScan_Click();
}

void frmMain::cmdBrowse_Click() {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in Browse"));
    trap.run([&] {
        const QString folder = m_prompts
                                   .chooseFolder(this, QStringLiteral("Select node to scan:"),
                                                 BrowseStartFolder(cboStartPath->currentText()))
                                   .trimmed();
        if (folder.isEmpty())
            return;
        cboStartPath->setEditText(folder);
        yieldOnce();
        if (m_settings.Imm_Scan_On_Path_Selection)
            cmdBeginScan_Click();
    });
}

QString frmMain::BrowseStartFolder(const QString &pathBoxText) {
    // The folder in the path box, or the nearest one above it that exists, so that a
    // half-typed or vanished path still opens the dialog close to it.
    QString path = mdlFileSearch::StripNul(pathBoxText).trimmed();
    while (!path.isEmpty()) {
        if (mdlFileSearch::FolderExists(path))
            return path;
        const qsizetype slash = path.lastIndexOf(u'/', path.endsWith(u'/') ? -2 : -1);
        if (slash < 0)
            break;
        path = path.left(slash == 0 ? 1 : slash);
    }
    return QString();
}

void frmMain::AddToList(const QString &path) {
    for (int i = 0; i < cboStartPath->count(); ++i)
        if (cboStartPath->itemText(i) == path)
            return;
    cboStartPath->insertItem(0, path);
    cboStartPath->setEditText(path);
}
