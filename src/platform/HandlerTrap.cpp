#include "HandlerTrap.h"

#include <new>
#include <stdexcept>
#include <system_error>

bool HandlerTrap::run(const std::function<void()> &body, const std::function<void()> &restore) {
    std::exception_ptr error;
    try {
        body();
    } catch (...) {
        error = std::current_exception();
    }
    if (restore)
        restore();
    if (!error)
        return true;
    const AppError e = toAppError(error);
    if (e.number() != AppError::Cancelled)
        m_prompts.message(m_owner, messageText(e, line, linePrefix), m_title,
                          Prompts::Icon::Critical);
    return false;
}

AppError HandlerTrap::toAppError(const std::exception_ptr &error) {
    try {
        std::rethrow_exception(error);
    } catch (const AppError &e) {
        return e;
    } catch (const std::out_of_range &e) {
        return AppError(AppError::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    } catch (const std::bad_alloc &) {
        return AppError(7, QStringLiteral("Out of memory"));
    } catch (const std::system_error &e) {
        return AppError(e.code().value(), QString::fromLocal8Bit(e.what()));
    } catch (const std::exception &e) {
        return AppError(51, QStringLiteral("Internal error: ") + QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return AppError(51, QStringLiteral("Internal error"));
    }
}

QString HandlerTrap::messageText(const AppError &error, int line, const QString &linePrefix) {
    return QString::number(error.number()) + u'\n' + error.description() + u'\n' + linePrefix +
           QString::number(line);
}
