#include "GzipReader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

struct GzipReader::Stream {
    z_stream z{};
    bool open = false;
    unsigned char input[1 << 16];
};

GzipReader::GzipReader(std::FILE *file, QByteArrayView head, Bound bound)
    : m_file(file), m_bound(bound), m_stream(std::make_unique<Stream>()) {
    // The largest window, with the gzip header and trailer.
    const int status = inflateInit2(&m_stream->z, 15 + 16);
    if (status == Z_MEM_ERROR)
        throw std::bad_alloc();
    m_stream->open = status == Z_OK;
    if (!m_stream->open) {
        m_fault = Fault::Damaged;
        return;
    }
    const std::size_t n =
        std::min<std::size_t>(static_cast<std::size_t>(head.size()), sizeof m_stream->input);
    std::memcpy(m_stream->input, head.data(), n);
    m_stream->z.next_in = m_stream->input;
    m_stream->z.avail_in = static_cast<uInt>(n);
    m_packed = n;
}

GzipReader::~GzipReader() {
    if (m_stream->open)
        inflateEnd(&m_stream->z);
}

std::size_t GzipReader::read(char *out, std::size_t size) {
    if (m_ended || m_fault != Fault::None || size == 0)
        return 0;
    z_stream &z = m_stream->z;
    z.next_out = reinterpret_cast<Bytef *>(out);
    z.avail_out = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
    const uInt asked = z.avail_out;
    while (z.avail_out > 0) {
        if (z.avail_in == 0 && !m_inputEnded) {
            const std::size_t got = std::fread(m_stream->input, 1, sizeof m_stream->input, m_file);
            if (got == 0) {
                m_inputEnded = true;
                if (std::ferror(m_file)) {
                    m_fault = Fault::Unreadable;
                    return 0;
                }
            }
            z.next_in = m_stream->input;
            z.avail_in = static_cast<uInt>(got);
            m_packed += got;
        }
        const int status = inflate(&z, Z_NO_FLUSH);
        if (status == Z_MEM_ERROR)
            throw std::bad_alloc();
        if (status == Z_STREAM_END) {
            m_ended = true;
            break;
        }
        // No progress with all input read: the stream was cut short.
        const bool stuck = status == Z_BUF_ERROR && z.avail_in == 0 && m_inputEnded;
        if ((status != Z_OK && status != Z_BUF_ERROR) || stuck) {
            m_fault = Fault::Damaged;
            return 0;
        }
    }
    const std::size_t produced = asked - z.avail_out;
    m_text += produced;
    if (m_text > m_bound.freeBytes + m_bound.ratio * m_packed) {
        m_fault = Fault::TooLarge;
        return 0;
    }
    return produced;
}
