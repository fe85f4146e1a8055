#include "Canvas.h"

#include <QPainter>

TCanvas::TCanvas(QImage *image, std::function<void()> changed)
    : m_image(image), m_changed(std::move(changed))
{
}

void TCanvas::fillRect(int left, int top, int right, int bottom)
{
    if (right <= left || bottom <= top || !m_image || m_image->isNull())
        return;
    QPainter painter(m_image);
    painter.fillRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), toQColor(m_brushColor));
    painter.end();
    if (m_changed)
        m_changed();
}
