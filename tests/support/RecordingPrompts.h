#pragma once

#include "Prompts.h"

#include <QStringList>

#include <vector>

/// Records every prompt and answers from a script (then with the default answer), for tests.
class RecordingPrompts : public Prompts {
public:
    struct Shown {
        QString kind; ///< "message", "folder", "save" or "color"
        QString text, title;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        Answer defaultAnswer = Ok;
    };
    std::vector<Shown> shown;
    std::vector<Answer> answers;    ///< consumed in order by message()
    QStringList folders, saveNames; ///< consumed in order by chooseFolder() / saveFile()
    QStringList openNames;          ///< consumed in order by openFile()
    std::vector<QColor> colors;
    QStringList saveFilters; ///< the filter of every save dialog, in order
    /// A scripted save name that accepts the name the dialog offers, in the folder it starts in.
    static inline const QString AcceptOffered = QStringLiteral("<accept offered name>");

    Answer message(QWidget *owner, const QString &text, const QString &title, Icon icon,
                   Buttons buttons, Answer defaultAnswer) override;
    /// Records the folder the dialog would open at as the shown text.
    QString chooseFolder(QWidget *owner, const QString &title, const QString &startFolder) override;
    QString saveFile(QWidget *owner, const QString &title, const QString &folder,
                     const QString &fileName, const QString &filter) override;
    QString openFile(QWidget *owner, const QString &title, const QString &folder,
                     const QString &filter) override;
    QColor chooseColor(QWidget *owner, const QColor &initial) override;
};
