#pragma once

#include "AppError.h"
#include "Prompts.h"

#include <QString>

#include <functional>

class QWidget;

/// Runs a handler's body under the program's error convention: every exception is caught,
/// `restore` puts back what the handler changed (pointer, redraw, controls), and then the error
/// box shows the number, the description and the step at which it arose, titled
/// "Error in <handler>" or the handler's own title.
class HandlerTrap {
public:
    HandlerTrap(Prompts &prompts, QWidget *owner, QString title)
        : m_prompts(prompts), m_owner(owner), m_title(std::move(title)) {}

    /// The step the handler has reached; advanced by the body, shown as "Line: ".
    int line = 0;
    /// "Line: " by default; some handlers show "Line:" without the blank.
    QString linePrefix = QStringLiteral("Line: ");

    /// Runs the body; true when it ended without an error.
    bool run(const std::function<void()> &body, const std::function<void()> &restore = {});

    /// The error's number and description as the box shows them, for any exception.
    static AppError toAppError(const std::exception_ptr &error);
    /// The box's text: number, description and line, each on a line of its own.
    static QString messageText(const AppError &error, int line,
                               const QString &linePrefix = QStringLiteral("Line: "));

private:
    Prompts &m_prompts;
    QWidget *m_owner;
    QString m_title;
};
