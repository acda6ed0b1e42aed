#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

/// Text of the system (file names, command-line arguments, settings file lines) held in a
/// QString without losing a byte. Valid UTF-8 decodes as usual; every byte that is not part of
/// a valid UTF-8 sequence becomes the lone surrogate U+DC00 + byte, which encoding turns back
/// into that byte. Such characters show as replacement glyphs, yet a name that is not UTF-8
/// still names the same file after a trip through the text.
namespace NativeText {

QString decode(QByteArrayView bytes);
QByteArray encode(QStringView text);

} // namespace NativeText
