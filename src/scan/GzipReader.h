#pragma once

#include <QByteArrayView>

#include <cstdint>
#include <cstdio>
#include <memory>

/// The text of a gzip stream (RFC 1952) read from a file as it is inflated, a slice at a time:
/// however far the stream inflates, only the slice asked for and zlib's window are held. The
/// text may grow only within a bound set by the compressed bytes read so far, so that a small
/// crafted file cannot stand for an endless text.
class GzipReader {
public:
    /// How much text the compressed bytes read so far may inflate to: `freeBytes`, plus
    /// `ratio` times the compressed bytes.
    struct Bound {
        std::uint64_t freeBytes = 0;
        std::uint64_t ratio = 0;
    };
    enum class Fault {
        None,
        Damaged,    ///< not gzip, a bad checksum, or cut short
        TooLarge,   ///< the text would pass the bound
        Unreadable, ///< the file could not be read
    };

    /// Reads from `file`, whose first bytes `head` (the gzip magic, say) were already taken
    /// from it. The stream ends with its first member; what follows is not read.
    GzipReader(std::FILE *file, QByteArrayView head, Bound bound);
    ~GzipReader();
    GzipReader(const GzipReader &) = delete;
    GzipReader &operator=(const GzipReader &) = delete;

    /// Fills `out` with up to `size` bytes of text; less only at the end of the stream, and 0
    /// once it has ended or at a fault. Text beyond the bound is never handed out.
    std::size_t read(char *out, std::size_t size);
    Fault fault() const { return m_fault; }
    /// The compressed bytes read so far, `head` included.
    std::uint64_t packedBytes() const { return m_packed; }

private:
    struct Stream;
    std::FILE *m_file;
    Bound m_bound;
    std::unique_ptr<Stream> m_stream;
    std::uint64_t m_packed = 0, m_text = 0;
    bool m_inputEnded = false, m_ended = false;
    Fault m_fault = Fault::None;
};
