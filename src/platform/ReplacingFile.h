#pragma once

#include "CheckedFile.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <memory>
#include <vector>

#include <sys/stat.h>

/// A file written for the user, safe in folders that other users can write (/tmp, a shared
/// folder) and when run by root. The new contents go into a hidden file beside the target,
/// created exclusively and never through a link, written through that one descriptor only,
/// synced, and renamed over the target relative to the folder's descriptor: the target is
/// replaced in one step once complete, or left as it was.
///
/// Links on the way to the target (the target's own name included) are followed only when
/// nobody but the running user (or root) can have placed or changed them: the link belongs to
/// the running user or root, and so does the folder holding it, and that folder is either not
/// writable by group and others or has the sticky bit (others may not rename or remove what
/// they do not own). A link that fails this is refused with an error that names it.
///
/// A replaced file keeps its permissions (not set-id bits), and its owner and group where the
/// user may set them; but in a folder others may write (writable by others, or sticky, as the
/// shared temporary folder), the new file is the user's own and nobody else may write it, so a
/// file planted there is never handed back to whoever planted it.
/// The user's own unfinished files of the same name older than a day (left by a killed run) are
/// removed; other users' are left alone.
class ReplacingFile {
public:
    /// Finds the target's folder and creates the new file there. Throws std::system_error
    /// when a link is refused, the folder cannot be reached or the target is not a regular file.
    explicit ReplacingFile(const QString &target);
    /// Removes the unfinished files when commit() was not reached.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile &) = delete;
    ReplacingFile &operator=(const ReplacingFile &) = delete;

    /// The new file, open for writing (unbuffered, so a failed write leaves errno set).
    QFile &file() { return *m_parts.front()->file; }
    /// The path given, for messages.
    const QString &target() const { return m_target; }
    /// The hidden file being written, in the target's folder (for tests and messages).
    QString partName() const { return QFile::decodeName(m_parts.front()->part); }

    /// A further new file that goes into the folder with the main one (a report's picture):
    /// it gets the target's name without its extension, a random tag and `suffix`, a name
    /// nobody can take in advance; the name is stored in `*name` (without the folder).
    QFile &addCompanion(const QString &suffix, QString *name);

    /// Syncs every file, gives them the replaced file's mode and owner, and puts them into
    /// place. What goes into place is the file written here, never whatever has its hidden name
    /// by then: the target is exchanged with the hidden file in one step and checked after, and
    /// exchanged back when it is not ours; a new name is linked to the written file itself.
    /// Throws std::system_error when anything fails, including a write that failed or fell
    /// short and a hidden file that was replaced by someone else meanwhile, and the abort error
    /// (AppError) when an interrupt of the process (Interrupt.h) was requested before the files
    /// went into place; the target is then left as it was. (Only a file system that cannot
    /// exchange two names falls back to a rename checked after, where a file swapped in at that
    /// moment costs the old file.)
    void commit();

    /// Unfinished files older than this are leftovers of an interrupted run.
    static constexpr long StaleSeconds = 24 * 60 * 60;

    /// Makes every missing folder of `path`, following links by the same rule. Throws
    /// std::system_error (EPERM for a refused link, naming it) when a level cannot be made.
    static void makeFolders(const QString &path);
    /// makeFolders(), then the last folder's descriptor (O_PATH, close-on-exec), for work by
    /// descriptor in it; the caller closes it.
    static int openFolders(const QString &path);
    /// Renames a file within the folder `folder` only when the new name is free (errno EEXIST
    /// when it is not); false, with errno set, when it could not be renamed.
    static bool renameExclusive(int folder, const QByteArray &from, const QByteArray &to);

    /// The hidden name of the file written first, for a target name and a distinguishing tag.
    static QByteArray partialName(const QByteArray &name, quint32 tag);

private:
    struct Part {
        int fd = -1;
        QByteArray part, final;
        struct stat created {};
        std::unique_ptr<CheckedFile> file;
    };

    QString m_target;
    int m_folder = -1;
    QByteArray m_name;
    bool m_existed = false;
    bool m_sharedFolder = false; ///< others may write the folder, or it is sticky
    struct stat m_old {};
    std::vector<std::unique_ptr<Part>> m_parts;
    bool m_committed = false;

    Part &createPart(const QByteArray &final);
    void release() noexcept;
    void removeStaleParts() const;
    bool stillOurs(const QByteArray &name, const struct stat &created) const;
    void keepOldOwnerAndMode(const Part &part) const;
    int linkNew(const Part &part, const QByteArray &name) const;
    int replaceOld(const Part &part) const;
    [[noreturn]] void fail(int code, const QString &what) const;
};
