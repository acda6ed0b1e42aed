#pragma once

#include <QString>

#include <stdexcept>

/// An error the program raises or reports: a number and a description, as the error boxes show
/// them ("Error in <handler>", the number, the description, "Line: " and the step).
class AppError : public std::runtime_error {
public:
    /// Base of the program's own error numbers; the causes add small offsets to it.
    static constexpr int ObjectError = -2147221504;
    static constexpr int FolderNotCreated = ObjectError + 199; ///< a settings or report folder
    static constexpr int ScanAborted = ObjectError + 500;
    static constexpr int ReportNotGenerated = ObjectError + 530; ///< a writer gave up
    static constexpr int InvalidSelection = ObjectError + 578;   ///< a menu item's index
    static constexpr int InvalidStartPath = ObjectError + 600;
    static constexpr int NotARootNode = ObjectError + 770;
    static constexpr int NullFolderName = ObjectError + 790;    ///< a node without a path
    static constexpr int InvalidFolderName = ObjectError + 810; ///< Properties cannot show it
    static constexpr int InvalidScanFile = ObjectError + 850; ///< a saved scan that cannot be read

    /// Common numbers of the runtime's own errors.
    static constexpr int Overflow = 6;
    static constexpr int SubscriptOutOfRange = 9;
    static constexpr int TypeMismatch = 13;
    static constexpr int Cancelled = 32755; ///< a dialog's Cancel: never shown

    AppError(int number, const QString &description)
        : std::runtime_error(description.toStdString()), m_number(number),
          m_description(description) {}

    int number() const { return m_number; }
    const QString &description() const { return m_description; }

    static AppError typeMismatch() {
        return AppError(TypeMismatch, QStringLiteral("Type mismatch"));
    }
    static AppError overflow() { return AppError(Overflow, QStringLiteral("Overflow")); }
    static AppError scanAborted() {
        return AppError(ScanAborted, QStringLiteral("Scan was aborted."));
    }

private:
    int m_number;
    QString m_description;
};
