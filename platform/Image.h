// An image control: shows a picture, unscaled at its top-left corner or
// stretched to its size, and reports mouse events in its own coordinates.
//
// Painting on its canvas needs a surface: the first time the canvas is
// asked for, the control creates a bitmap of its size at that moment and
// keeps it as its picture for good, never resizing it. With stretch on,
// that bitmap is shown scaled to whatever size the control has later.
#pragma once

#include "Canvas.h"

#include <QImage>
#include <QWidget>

#include <memory>

class TImage : public QWidget
{
    Q_OBJECT

public:
    explicit TImage(QWidget *parent = nullptr);
    ~TImage() override;

    QImage picture() const { return m_picture; }
    void setPicture(const QImage &picture);

    bool stretch() const { return m_stretch; }
    void setStretch(bool stretch);

    TCanvas &canvas();
    bool hasCanvas() const { return m_canvas != nullptr; }

signals:
    void mouseDown(Qt::MouseButton button, int x, int y);
    void mouseMove(int x, int y);
    void mouseUp(Qt::MouseButton button, int x, int y);
    void click();
    void dblClick();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QImage m_picture;
    bool m_stretch = false;
    bool m_clickPending = false;
    std::unique_ptr<TCanvas> m_canvas;
};
