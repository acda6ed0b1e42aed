#include "ControlPictures.h"

namespace {

QChar controlPicture(char16_t u) {
    if (u < 0x20)
        return QChar(char16_t(0x2400 + u));
    if (u == 0x7f)
        return QChar(char16_t(0x2421));
    if (u == 0x2028 || u == 0x2029)
        return QChar(char16_t(0x2424));
    return QChar(char16_t(0x2426));
}

} // namespace

namespace ControlPictures {

bool isControl(char16_t u) {
    return u < 0x20 || (u >= 0x7f && u < 0xa0) || u == 0x2028 || u == 0x2029;
}

QString shown(QString text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        if (isControl(u))
            text[i] = controlPicture(u);
    }
    return text;
}

} // namespace ControlPictures
