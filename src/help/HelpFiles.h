#pragma once

#include <QString>

/// Where the compiled manual lives and the copy the help window works on.
namespace HelpFiles {

/// The manual's collection file for a program in `programFolder`: "help/Cairnmeter.qhc" beside
/// the program (the build tree), else "../share/cairnmeter/help/Cairnmeter.qhc" (an installed
/// program). When neither exists, the first, so that messages name the place looked at.
QString DefaultHelpFile(const QString &programFolder);

/// A copy of the collection `collectionFile` and the .qch files beside it in the user's cache
/// folder, refreshed when the originals change; the help engine writes its search index next
/// to the collection, which an installed program may not. The original when no copy can be
/// made.
QString writableCopy(const QString &collectionFile);

} // namespace HelpFiles
