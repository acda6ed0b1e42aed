#pragma once

#include <QString>

class PrintLayout;
class QIODevice;

/// Turns a composed PrintLayout into a PDF file: one PDF page per layout page, at the
/// layout's paper size, with the fonts it uses embedded so the file reads the same anywhere.
class PdfConverter {
public:
    /// Writes the layout's document to `fileName`, replacing the file when complete. Throws
    /// std::system_error when the file cannot be created or written.
    void convertToPdf(const PrintLayout &layout, const QString &fileName) const;
    /// Writes the document to an open device; `fileName` names it in errors.
    void convertToPdf(const PrintLayout &layout, QIODevice &out, const QString &fileName) const;
};
