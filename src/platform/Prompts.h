#pragma once

#include <QColor>
#include <QString>

class QWidget;

/// The one way the program asks or tells the user something: message boxes and the common
/// dialogs. The Qt implementation shows real dialogs; tests script the answers.
class Prompts {
public:
    enum class Icon { None, Critical, Question, Exclamation, Information };
    enum class Buttons { Ok, YesNo, YesNoCancel, OkCancel };
    enum Answer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

    virtual ~Prompts() = default;

    /// Shows a message box; `defaultAnswer` is the button that Enter presses.
    virtual Answer message(QWidget *owner, const QString &text, const QString &title, Icon icon,
                           Buttons buttons = Buttons::Ok, Answer defaultAnswer = Ok) = 0;
    /// Asks for a folder; empty when cancelled.
    /// A folder chosen by the user, the dialog opening at startFolder (when it is not empty);
    /// empty when cancelled.
    virtual QString chooseFolder(QWidget *owner, const QString &title,
                                 const QString &startFolder) = 0;
    /// Asks for a file name to save to; `filter` in the "Desc (*.a *.b);;..." form. Empty when
    /// cancelled. The name comes back as typed (no extension added), and an existing file is
    /// not questioned here: the caller asks about over-writing it.
    virtual QString saveFile(QWidget *owner, const QString &title, const QString &folder,
                             const QString &fileName, const QString &filter) = 0;
    /// Asks for an existing file to open, starting in `folder`; empty when cancelled.
    virtual QString openFile(QWidget *owner, const QString &title, const QString &folder,
                             const QString &filter) = 0;
    /// Asks for a colour starting from `initial`; invalid when cancelled.
    virtual QColor chooseColor(QWidget *owner, const QColor &initial) = 0;
};
