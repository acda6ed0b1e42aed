#pragma once

#include "Prompts.h"

/// Real dialogs.
class QtPrompts : public Prompts {
public:
    Answer message(QWidget *owner, const QString &text, const QString &title, Icon icon,
                   Buttons buttons, Answer defaultAnswer) override;
    QString chooseFolder(QWidget *owner, const QString &title, const QString &startFolder) override;
    QString saveFile(QWidget *owner, const QString &title, const QString &folder,
                     const QString &fileName, const QString &filter) override;
    QString openFile(QWidget *owner, const QString &title, const QString &folder,
                     const QString &filter) override;
    QColor chooseColor(QWidget *owner, const QColor &initial) override;
};
