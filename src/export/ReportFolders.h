#pragma once

#include <QString>

/// The folders reports are kept in, and the path helpers of the export command.
namespace ReportFolders {

/// The user's documents folder (XDG_DOCUMENTS_DIR, normally ~/Documents); empty when the
/// system names none.
QString DocumentsFolder();

/// The report root below a documents folder: "<documents>/Velmoria/Cairnmeter/Reports/". With
/// an empty documents folder it lies at the root of the file system.
QString ReportsFolder(const QString &documentsFolder);

/// Creates every missing level of a folder path, split at "/" (an absolute path's first piece
/// is the root, which is never created; empty pieces create nothing). False when a level
/// cannot be created or is a file. A link on the way is followed only by ReplacingFile's rule;
/// one that is refused throws std::system_error (EPERM) naming it.
bool CreatePath(const QString &path);

/// The folder part of a file path, up to and including its last "/"; a path without one is
/// returned whole with "/" appended.
QString GetFolderPart(const QString &path);

/// The path with one "/" appended when it does not end in one.
QString withSlash(const QString &path);

} // namespace ReportFolders
