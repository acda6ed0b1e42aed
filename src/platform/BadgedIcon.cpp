#include "BadgedIcon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

#include <cmath>

namespace {

class BadgedIconEngine : public QIconEngine {
public:
    BadgedIconEngine(const QIcon &base, const QIcon &badge) : m_base(base), m_badge(badge) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode,
               QIcon::State state) override {
        m_base.paint(painter, rect, Qt::AlignCenter, mode, state);
        // The badge covers a little over half of the icon, in its corner.
        const int w = static_cast<int>(std::ceil(rect.width() * 0.6));
        const int h = static_cast<int>(std::ceil(rect.height() * 0.6));
        m_badge.paint(painter, QRect(rect.right() - w + 1, rect.bottom() - h + 1, w, h),
                      Qt::AlignCenter, mode, state);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        QPixmap pixmap(size * scale);
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            paint(&painter, QRect(QPoint(), pixmap.size()), mode, state);
        }
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }

    QIconEngine *clone() const override { return new BadgedIconEngine(m_base, m_badge); }

private:
    QIcon m_base;
    QIcon m_badge;
};

} // namespace

namespace BadgedIcon {

QIcon make(const QIcon &base, const QIcon &badge) {
    return QIcon(new BadgedIconEngine(base, badge));
}

} // namespace BadgedIcon
