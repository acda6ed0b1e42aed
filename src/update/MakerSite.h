#pragma once

#include <QString>
#include <QUrl>

/// Where Velmoria, the maker of Cairnmeter, can be reached on the web.
namespace MakerSite {

/// The web site's domain, the caption of the buttons that lead there.
inline constexpr char WebDomain[] = "www.velmoria.example";
/// The home page, opened by the web-site buttons and named in the failure messages.
inline constexpr char WebAddress[] = "https://www.velmoria.example";
/// Where users write to about the program.
inline constexpr char MailAddress[] = "software@velmoria.example";

/// The base address of the server with the release files, without a trailing "/": the
/// CAIRNMETER_UPDATE_URL environment variable when set, else the address the program was
/// built with.
QString updateServer();

/// The address of one of the release files, `fileName` in the server's folder "/files/".
QUrl updateFileUrl(const QString &fileName);

} // namespace MakerSite
