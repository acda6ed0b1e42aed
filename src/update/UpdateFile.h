#pragma once

#include <QString>

#include <optional>

/// The release files on the maker's server. Each is plain text: a seven-character tag, one
/// separator character, then the payload.
namespace UpdateFile {

inline constexpr char VersionFile[] = "Cairnmeter.ver";  ///< the published version
inline constexpr char NewsFile[] = "Cairnmeter.nwz";     ///< what the new release brings
inline constexpr char DownloadFile[] = "Cairnmeter.dlf"; ///< the installer's address

inline constexpr char VersionTag[] = "VLM_VER";
inline constexpr char NewsTag[] = "VLM_NWZ";
inline constexpr char DownloadTag[] = "VLM_DLF";

/// The payload of a fetched file: `response` trimmed of blanks at both ends must begin with
/// `tag` (in any case); the character after it separates, and the rest is the payload. Empty
/// when the tag differs, so a server's error page is never taken for a release file.
std::optional<QString> payload(const QString &response, const char *tag);

/// Whether `address`, which comes from the network, may be handed to the web browser: an
/// absolute http or https address with a host and nothing that would need quoting. Anything
/// else (file:, javascript:, a local path, a command line) is refused.
bool isWebAddress(const QString &address);

} // namespace UpdateFile
