#pragma once

#include <QByteArray>

/// The gzip format (RFC 1952) through zlib: scan files of the history are kept compressed, and
/// any scan file may be (as `ncdu -o- | gzip` makes them).
namespace Gzip {

/// Whether `data` begins as a gzip stream does.
bool isGzip(const QByteArray &data);
/// `data` compressed as one gzip member.
QByteArray compress(const QByteArray &data);
/// The text of a gzip stream, or a null array when it is damaged, truncated or would grow
/// beyond `maxBytes`.
QByteArray uncompress(const QByteArray &data, qsizetype maxBytes);

} // namespace Gzip
