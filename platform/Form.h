// A top-level window as the layouts describe it: a caption, a border style,
// a client size, a start position, a colour and a font, and the create, show
// and close events bound to handler methods.
#pragma once

#include "Types.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QPushButton;

enum class TFormBorderStyle { bsNone, bsDialog };
enum class TPosition { poDesigned, poDesktopCenter };

class TForm : public QWidget
{
    Q_OBJECT

public:
    explicit TForm(QWidget *parent = nullptr);
    ~TForm() override;

    // The form's own caption. The main form's window title is the
    // application title instead: that is the name the desktop shows.
    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);
    void updateWindowTitle();

    void setBorderStyle(TFormBorderStyle style);
    void setClientSize(int width, int height);
    void setPosition(TPosition position) { m_position = position; }
    void setColor(TColor color);

    // Applies the state and returns once the window has its new size, so
    // the caller can read the size right after (window managers answer a
    // state change asynchronously).
    TWindowState formWindowState() const;
    void setFormWindowState(TWindowState state);

    // The button that Enter presses anywhere in the form.
    void setDefaultButton(QPushButton *button);

    void setVisible(bool visible) override;

    void setFormCursor(TCursor cursor);
    TCursor formCursor() const { return m_cursor; }

signals:
    // Every time the form becomes visible, once it has its size.
    void formShow();
    void formClose();

protected:
    // Runs once, when the form has its place and is about to be shown for
    // the first time: the last moment to shape its native window.
    virtual void prepareFirstShow() {}

    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void waitForWindowManager(const std::function<bool()> &done);

    QString m_caption;
    QSize m_shownSize;
    TPosition m_position = TPosition::poDesigned;
    bool m_placed = false;
    QPointer<QPushButton> m_defaultButton;
    TCursor m_cursor = crDefault;
};
