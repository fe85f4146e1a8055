// A list of same-sized images, for components that show one of several.
#pragma once

#include <QIcon>
#include <QImage>
#include <QList>
#include <QSize>

class TImageList
{
public:
    TImageList(int width, int height) : m_size(width, height) {}

    QSize size() const { return m_size; }
    int count() const { return int(m_images.size()); }
    int add(const QImage &image)
    {
        m_images << image.scaled(m_size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        return count() - 1;
    }
    QImage image(int index) const { return m_images.value(index); }
    QIcon icon(int index) const { return QIcon(QPixmap::fromImage(image(index))); }

private:
    QSize m_size;
    QList<QImage> m_images;
};
