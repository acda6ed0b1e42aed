#include "QtPrompts.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QStyle>

namespace {

QMessageBox::StandardButton standardButton(Prompts::Answer a) {
    switch (a) {
    case Prompts::Yes:
        return QMessageBox::Yes;
    case Prompts::No:
        return QMessageBox::No;
    case Prompts::Cancel:
        return QMessageBox::Cancel;
    default:
        return QMessageBox::Ok;
    }
}

} // namespace

Prompts::Answer QtPrompts::message(QWidget *owner, const QString &text, const QString &title,
                                   Icon icon, Buttons buttons, Answer defaultAnswer) {
    QMessageBox box(owner);
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Icon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::None:
        break;
    }
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    }
    box.setDefaultButton(standardButton(defaultAnswer));
    // A message box sizes itself to its text alone, and the window manager then cuts a longer
    // title short ("Error... ning"). Room for the title and the title bar's buttons is kept.
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout())) {
        const int titleWidth =
            QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(title) +
            box.style()->pixelMetric(QStyle::PM_TitleBarHeight) * 4;
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Yes;
    case QMessageBox::No:
        return No;
    case QMessageBox::Cancel:
        return Cancel;
    default:
        return buttons == Buttons::YesNo ? No : Ok; // closed with the window's close box
    }
}

QString QtPrompts::chooseFolder(QWidget *owner, const QString &title, const QString &startFolder) {
    return QFileDialog::getExistingDirectory(owner, title, startFolder);
}

QString QtPrompts::saveFile(QWidget *owner, const QString &title, const QString &folder,
                            const QString &fileName, const QString &filter) {
    const QString start = folder.isEmpty() ? fileName : folder + u'/' + fileName;
    return QFileDialog::getSaveFileName(owner, title, start, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString QtPrompts::openFile(QWidget *owner, const QString &title, const QString &folder,
                            const QString &filter) {
    return QFileDialog::getOpenFileName(owner, title, folder, filter);
}

QColor QtPrompts::chooseColor(QWidget *owner, const QColor &initial) {
    return QColorDialog::getColor(initial, owner);
}
