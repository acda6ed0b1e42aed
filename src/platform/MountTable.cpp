#include "MountTable.h"

#include <QFile>
#include <QList>

#include <sys/sysmacros.h>

namespace {

// mountinfo writes space, tab, newline and backslash in paths as octal escapes.
QByteArray unescape(const QByteArray &field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
            field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' &&
            field[i + 3] <= '7') {
            out.append(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                         (field[i + 3] - '0')));
            i += 3;
        } else {
            out.append(c);
        }
    }
    return out;
}

} // namespace

MountTable MountTable::parse(const QByteArray &mountinfo) {
    MountTable table;
    for (const QByteArray &line : mountinfo.split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        // id parent major:minor root mountpoint options [optional...] - fstype source super
        if (f.size() < 10)
            continue;
        qsizetype dash = 6;
        while (dash < f.size() && f[dash] != "-")
            ++dash;
        if (dash + 2 >= f.size())
            continue;
        const QList<QByteArray> dev = f[2].split(':');
        bool okMajor = false, okMinor = false;
        MountEntry e;
        if (dev.size() == 2) {
            e.major = dev[0].toUInt(&okMajor);
            e.minor = dev[1].toUInt(&okMinor);
        }
        if (!okMajor || !okMinor)
            continue;
        e.mountPoint = unescape(f[4]);
        e.fsType = unescape(f[dash + 1]);
        e.source = unescape(f[dash + 2]);
        table.m_entries.push_back(std::move(e));
    }
    return table;
}

MountTable MountTable::current() {
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    // A proc file reports size 0, so read it to the end rather than by its size.
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parse(file.readAll());
}

const MountEntry *MountTable::findMountPoint(const QByteArray &path) const {
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it)
        if (it->mountPoint == path)
            return &*it;
    return nullptr;
}

const MountEntry *MountTable::findDevice(dev_t dev) const {
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it)
        if (it->major == ::major(dev) && it->minor == ::minor(dev))
            return &*it;
    return nullptr;
}
