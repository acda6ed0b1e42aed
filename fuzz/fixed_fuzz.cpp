// Fixed-point parsing: any text reads as a number within the range, is refused, or raises the
// overflow error; a number read writes back as text that reads as the same number, and sums of
// it are exact or the overflow error.
#include "AppError.h"
#include "Fixed.h"
#include "FuzzInput.h"

#include <cmath>
#include <cstring>
#include <optional>

namespace {

bool inRange(FixedRaw raw) {
    return raw <= Fixed::MaxRaw && raw >= -Fixed::MaxRaw;
}

void checkSum(Fixed a, Fixed b) {
    const FixedRaw exact = a.raw() + b.raw(); // cannot wrap: both are below 10^24
    try {
        FUZZ_CHECK((a + b).raw() == exact);
    } catch (const AppError &e) {
        FUZZ_CHECK(e.number() == AppError::Overflow && !inRange(exact));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0)
        return 0;
    const QChar decimal = (data[0] & 1) ? u',' : u'.';
    const QString text = fuzzText(data + 1, size - 1);
    std::optional<Fixed> value;
    try {
        value = Fixed::parse(text, decimal);
    } catch (const AppError &e) {
        FUZZ_CHECK(e.number() == AppError::Overflow);
    }
    if (value) {
        FUZZ_CHECK(inRange(value->raw()));
        const QString written = value->text(decimal);
        QString appended = QStringLiteral("x");
        value->appendText(appended, decimal);
        FUZZ_CHECK(appended.mid(1) == written);
        const std::optional<Fixed> back = Fixed::parse(written, decimal);
        FUZZ_CHECK(back && *back == *value);
        checkSum(*value, *value);
        checkSum(*value, Fixed::fromRaw(Fixed::MaxRaw));
        FUZZ_CHECK(*value - *value == Fixed());
    }
    // The input's first bytes as a double, converted as sizes in a unit are.
    if (size >= 9) {
        double d = 0;
        std::memcpy(&d, data + 1, sizeof d);
        try {
            const Fixed f = Fixed::fromDouble(d);
            FUZZ_CHECK(inRange(f.raw()));
            FUZZ_CHECK(std::fabs(f.toDouble() - d) <= 0.00005 + std::fabs(d) * 1e-15);
        } catch (const AppError &e) {
            FUZZ_CHECK(e.number() == AppError::Overflow && !(std::fabs(d) < 1e20));
        }
        QString written;
        Fixed::appendTextOfDouble(written, d, decimal);
        FUZZ_CHECK(!written.isEmpty() && written.size() < 400);
    }
    return 0;
}
