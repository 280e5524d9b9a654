#include "PictureBox.h"

#include <QPainter>
#include <QStyle>

#include <cstdlib>

PictureBox::PictureBox(QWidget *parent)
    : QWidget(parent)
{ }

void PictureBox::setPicture(const QIcon &picture)
{
    m_picture = picture;
    update();
}

void PictureBox::setScaledContents(bool scaled)
{
    m_scaled = scaled;
    update();
}

namespace {

// The size among `sizes` nearest `target` in width.
QSize nearest(const QList<QSize> &sizes, const QSize &target)
{
    QSize best;
    for (const QSize &size : sizes) {
        if (best.isEmpty()
            || std::abs(size.width() - target.width()) < std::abs(best.width() - target.width()))
            best = size;
    }
    return best;
}

} // namespace

void PictureBox::paintEvent(QPaintEvent *)
{
    const qreal scale = devicePixelRatio();
    QPixmap pixmap;
    if (m_scaled) {
        const QSize target = size() * scale;
        const QSize source = nearest(m_picture.availableSizes(), target);
        pixmap = QPixmap::fromImage(
            m_picture.pixmap(source, 1.0)
                .toImage()
                .scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    } else {
        pixmap = m_picture.pixmap(size(), scale);
    }
    // One picture pixel to one screen pixel.
    pixmap.setDevicePixelRatio(scale);
    QPainter painter(this);
    style()->drawItemPixmap(&painter, rect(), Qt::AlignLeft | Qt::AlignVCenter, pixmap);
}
