#pragma once

#include <QFile>

/// A file that remembers the first write that failed or fell short, with its reason. Qt's file
/// device reports a write the disk took only part of as a success of that length, and some
/// writers (QPdfWriter) never look at what their writes return; the owner of the file asks
/// writeError() before it trusts the file's contents.
class CheckedFile : public QFile {
public:
    using QFile::QFile;

    /// The errno of the first failed or short write (EIO when the system gave none); 0 while
    /// every write went through whole.
    int writeError() const { return m_writeError; }

protected:
    /// Once a write has failed, no later one is attempted: a file with a hole in it is no
    /// better than a short one.
    qint64 writeData(const char *data, qint64 length) override;

private:
    int m_writeError = 0;
};
