// A drawing surface with a solid brush, over a QImage.
#pragma once

#include "Types.h"

#include <QImage>
#include <QRect>

#include <functional>

class TCanvas
{
public:
    // The canvas draws into image, which must outlive it. changed, if set,
    // runs after every drawing operation (an image control repaints then).
    explicit TCanvas(QImage *image, std::function<void()> changed = {});

    TColor brushColor() const { return m_brushColor; }
    void setBrushColor(TColor color) { m_brushColor = color; }

    // Fills left..right-1 × top..bottom-1 with the brush. An empty or
    // inverted rectangle fills nothing.
    void fillRect(int left, int top, int right, int bottom);

    QImage *image() const { return m_image; }

private:
    QImage *m_image;
    std::function<void()> m_changed;
    TColor m_brushColor = clWhite;
};
