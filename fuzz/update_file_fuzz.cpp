// The update check's release files: any answer from the server either is a release file of
// the expected kind or is refused; an address handed on is an absolute web address; a version
// read writes back as text that reads as the same version.
#include "FuzzInput.h"
#include "ReleaseVersion.h"
#include "UpdateFile.h"

#include <QUrl>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString response = fuzzText(data, size);
    for (const char *tag : {UpdateFile::VersionTag, UpdateFile::NewsTag, UpdateFile::DownloadTag}) {
        if (const std::optional<QString> payload = UpdateFile::payload(response, tag)) {
            FUZZ_CHECK(response.trimmed().startsWith(QLatin1StringView(tag), Qt::CaseInsensitive));
            FUZZ_CHECK(payload->size() < response.size());
        }
    }
    if (UpdateFile::isWebAddress(response)) {
        const QUrl url(response.trimmed(), QUrl::StrictMode);
        FUZZ_CHECK(url.isValid() && !url.host().isEmpty());
        FUZZ_CHECK(url.scheme().toLower().startsWith(QLatin1StringView("http")));
    }
    if (const std::optional<ReleaseVersion> version = ReleaseVersion::parse(response)) {
        const std::optional<ReleaseVersion> back = ReleaseVersion::parse(version->text());
        FUZZ_CHECK(back && *back == *version);
    }
    return 0;
}
