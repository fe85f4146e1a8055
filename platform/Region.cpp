#include "Region.h"

#include <QWidget>

#include <cmath>

QRegion CreateRoundRectRgn(int x1, int y1, int x2, int y2, int cornerWidth, int cornerHeight)
{
    const int width = x2 - x1;
    const int height = y2 - y1;
    if (width <= 0 || height <= 0)
        return QRegion();
    const double a = qBound(0, cornerWidth, width) / 2.0;
    const double b = qBound(0, cornerHeight, height) / 2.0;

    // A pixel belongs to the region when its centre lies inside the corner
    // ellipse. One corner is computed and mirrored, so all four are alike.
    auto insetOf = [&](int row) {
        const double fromEdge = qMin(row, height - 1 - row) + 0.5;
        if (fromEdge >= b)
            return 0;
        const double dy = b - fromEdge;
        const double dx = a * std::sqrt(qMax(0.0, 1.0 - (dy * dy) / (b * b)));
        return qMax(0, int(std::ceil(a - dx - 0.5)));
    };
    QRegion region;
    for (int row = 0; row < height;) {
        const int inset = insetOf(row);
        int last = row;
        while (last + 1 < height && insetOf(last + 1) == inset)
            ++last;
        if (width - 2 * inset > 0)
            region += QRect(x1 + inset, y1 + row, width - 2 * inset, last - row + 1);
        row = last + 1;
    }
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
