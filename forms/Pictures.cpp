#include "Pictures.h"

#include <QApplication>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <vector>

namespace {

// One picture in several sizes. A version's size comes from its file's
// header; the version itself is read the first time it is asked for.
class PictureEngine : public QIconEngine
{
public:
    explicit PictureEngine(const QStringList &files)
    {
        for (const QString &file : files)
            m_versions.push_back({ file, QImageReader(file).size(), {} });
    }

    QIconEngine *clone() const override { return new PictureEngine(*this); }
    bool isNull() override { return m_versions.empty(); }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const Version &version : m_versions)
            sizes << version.size;
        return sizes;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const Version *version = best(size);
        return version ? fitted(version->size, size) : QSize();
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    // `size` is in the screen's pixels; QIcon gives the result its scale.
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State, qreal) override
    {
        Version *version = best(size);
        if (!version)
            return {};
        if (version->pixmap.isNull())
            version->pixmap = QPixmap(version->file);
        QPixmap pixmap = version->pixmap;
        const QSize wanted = fitted(pixmap.size(), size);
        if (pixmap.size() != wanted)
            pixmap = pixmap.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (mode != QIcon::Normal) {
            QStyleOption option;
            option.palette = QApplication::palette();
            pixmap = QApplication::style()->generatedIconPixmap(mode, pixmap, &option);
        }
        return pixmap;
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal scale = painter->device()->devicePixelRatio();
        painter->drawPixmap(rect, scaledPixmap(rect.size() * scale, mode, state, scale));
    }

private:
    struct Version
    {
        QString file;
        QSize size;
        QPixmap pixmap;
    };

    static int area(const QSize &size) { return size.width() * size.height(); }

    // A version larger than `box` is scaled down into it.
    static QSize fitted(QSize picture, const QSize &box)
    {
        if (picture.width() > box.width() || picture.height() > box.height())
            picture.scale(box, Qt::KeepAspectRatio);
        return picture;
    }

    // As QIcon chooses: the smallest version at least as large as `size`,
    // else the largest.
    Version *best(const QSize &size)
    {
        if (m_versions.empty())
            return nullptr;
        const int wanted = area(size);
        Version *chosen = &m_versions.front();
        for (Version &version : m_versions) {
            const int a = area(version.size);
            const int b = area(chosen->size);
            if ((a >= wanted && (b < wanted || a < b)) || (b < wanted && a > b))
                chosen = &version;
        }
        return chosen;
    }

    std::vector<Version> m_versions;
};

} // namespace

namespace Pictures {

QIcon picture(QLatin1String name)
{
    QStringList files = { QStringLiteral(":/pictures/%1.xpm").arg(name) };
    for (int percent : { 125, 150, 175, 200 })
        files << QStringLiteral(":/pictures/%1-%2.xpm").arg(name).arg(percent);
    return QIcon(new PictureEngine(files));
}

QIcon programIcon()
{
    QStringList files = { QStringLiteral(":/pictures/kestrum.xpm"),
                          QStringLiteral(":/pictures/kestrum-256.png") };
    for (int pixels : { 16, 20, 24, 40, 48, 64 })
        files << QStringLiteral(":/pictures/kestrum-%1.xpm").arg(pixels);
    return QIcon(new PictureEngine(files));
}

} // namespace Pictures
