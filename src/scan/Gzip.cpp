#include "Gzip.h"

#include <zlib.h>

#include <algorithm>

namespace Gzip {

namespace {

constexpr int GzipWindow = 15 + 16; // the largest window, with the gzip header and trailer

} // namespace

bool isGzip(const QByteArray &data) {
    return data.size() >= 2 && static_cast<unsigned char>(data[0]) == 0x1f &&
           static_cast<unsigned char>(data[1]) == 0x8b;
}

QByteArray compress(const QByteArray &data) {
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, GzipWindow, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK)
        return {};
    QByteArray out(static_cast<qsizetype>(deflateBound(&z, static_cast<uLong>(data.size()))) + 32,
                   Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&z, Z_FINISH);
    const auto written = static_cast<qsizetype>(z.total_out);
    deflateEnd(&z);
    if (status != Z_STREAM_END)
        return {};
    out.truncate(written);
    return out;
}

QByteArray uncompress(const QByteArray &data, qsizetype maxBytes) {
    z_stream z{};
    if (inflateInit2(&z, GzipWindow) != Z_OK)
        return {};
    QByteArray out;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = static_cast<uInt>(data.size());
    int status = Z_OK;
    while (status == Z_OK) {
        const qsizetype have = out.size();
        const qsizetype grow = std::max<qsizetype>(have, 1 << 16);
        if (have >= maxBytes) {
            status = Z_MEM_ERROR;
            break;
        }
        out.resize(std::min(have + grow, maxBytes));
        z.next_out = reinterpret_cast<Bytef *>(out.data() + have);
        z.avail_out = static_cast<uInt>(out.size() - have);
        status = inflate(&z, Z_NO_FLUSH);
        out.truncate(static_cast<qsizetype>(z.total_out));
        if (status == Z_BUF_ERROR && z.avail_in > 0)
            status = Z_OK; // only the output was full
    }
    inflateEnd(&z);
    if (status != Z_STREAM_END)
        return {};
    if (out.isNull())
        out = QByteArray("");
    return out;
}

} // namespace Gzip
