// Window regions: the part of a top-level window that the desktop shows.
#pragma once

#include <QRegion>

class QWidget;

// The rounded rectangle with corners (x1, y1) and (x2, y2), x2 and y2
// exclusive, whose corners are quarter ellipses cornerWidth wide and
// cornerHeight high.
QRegion CreateRoundRectRgn(int x1, int y1, int x2, int y2, int cornerWidth, int cornerHeight);

// Makes region the window's visible area; the window keeps it until the
// next call replaces it.
void SetWindowRgn(QWidget *window, const QRegion &region, bool redraw);
