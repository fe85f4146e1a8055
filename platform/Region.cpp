#include "Region.h"

#include <QWidget>

QRegion CreateRoundRectRgn(int x1, int y1, int x2, int y2, int cornerWidth, int cornerHeight)
{
    const int width = x2 - x1;
    const int height = y2 - y1;
    if (width <= 0 || height <= 0)
        return QRegion();
    const int cw = qBound(0, cornerWidth, width);
    const int ch = qBound(0, cornerHeight, height);
    if (cw < 2 || ch < 2)
        return QRegion(x1, y1, width, height);

    // Two crossing bands for the straight edges, and a whole ellipse in each
    // corner whose outer quarter rounds it.
    QRegion region(x1 + cw / 2, y1, width - 2 * (cw / 2), height);
    region += QRegion(x1, y1 + ch / 2, width, height - 2 * (ch / 2));
    region += QRegion(x1, y1, cw, ch, QRegion::Ellipse);
    region += QRegion(x2 - cw, y1, cw, ch, QRegion::Ellipse);
    region += QRegion(x1, y2 - ch, cw, ch, QRegion::Ellipse);
    region += QRegion(x2 - cw, y2 - ch, cw, ch, QRegion::Ellipse);
    return region;
}

void SetWindowRgn(QWidget *window, const QRegion &region, bool redraw)
{
    if (!window)
        return;
    window->setMask(region);
    if (redraw)
        window->update();
}
