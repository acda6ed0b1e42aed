#include "QtPrompts.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>

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
