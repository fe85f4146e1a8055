#include "Image.h"

#include <QMouseEvent>
#include <QPainter>

TImage::TImage(QWidget *parent)
    : QWidget(parent)
{
    // Moves are reported without a button held too (hover handlers).
    setMouseTracking(true);
}

TImage::~TImage() = default;

void TImage::setPicture(const QImage &picture)
{
    m_canvas.reset();
    m_picture = picture;
    update();
}

void TImage::setStretch(bool stretch)
{
    m_stretch = stretch;
    update();
}

TCanvas &TImage::canvas()
{
    if (!m_canvas) {
        if (m_picture.isNull()) {
            m_picture = QImage(qMax(1, width()), qMax(1, height()), QImage::Format_RGB32);
            m_picture.fill(Qt::white);
        }
        m_canvas = std::make_unique<TCanvas>(&m_picture, [this] { update(); });
    }
    return *m_canvas;
}

void TImage::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    if (m_stretch)
        painter.drawImage(rect(), m_picture);
    else
        painter.drawImage(QPoint(0, 0), m_picture);
}

void TImage::mousePressEvent(QMouseEvent *event)
{
    m_clickPending = event->button() == Qt::LeftButton;
    const QPoint p = event->position().toPoint();
    emit mouseDown(event->button(), p.x(), p.y());
}

void TImage::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double-click: the double-click first, then the
    // press like any other, so a drag flag is set and later cleared.
    m_clickPending = false;
    emit dblClick();
    const QPoint p = event->position().toPoint();
    emit mouseDown(event->button(), p.x(), p.y());
}

void TImage::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    emit mouseMove(p.x(), p.y());
}

void TImage::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    const bool clicked = m_clickPending && rect().contains(p);
    m_clickPending = false;
    if (clicked)
        emit click();
    emit mouseUp(event->button(), p.x(), p.y());
}
