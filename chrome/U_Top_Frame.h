// The title bar the borderless main window draws for itself: gradient,
// title, drag to move, maximise/restore, close, and hiding to the
// notification area.
#pragma once

#include <QFrame>

class QAction;
class QLabel;
class QMenu;
class QToolButton;
class TImage;
class TImageList;
class TTrayIcon;

class TF_Top_Frame : public QFrame
{
    Q_OBJECT
    friend class TF_Main;

public:
    explicit TF_Top_Frame(QWidget *parent = nullptr);
    ~TF_Top_Frame() override;

    TImage *Img_Top;
    QLabel *L_Title;
    QToolButton *SB_Max;
    QToolButton *SB_Exit;
    QToolButton *SB_Min;

    TImageList *List_img;
    TTrayIcon *TI_Hide;
    QMenu *PM_TI;
    QAction *PM_N_Restory;
    QAction *PM_N_Exit;

    bool isDragging() const { return IsDragging; }

    void Img_TopMouseDown(Qt::MouseButton button, int X, int Y);
    void Img_TopMouseMove(int X, int Y);
    void Img_TopMouseUp(Qt::MouseButton button, int X, int Y);
    void P_ControlDblClick();
    void SB_MaxClick();
    void SB_ExitClick();
    void SB_MinClick();
    void PM_N_RestoryClick();
    void PM_N_ExitClick();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void createTitle();
    void createButtons();
    void createTray();
    QToolButton *addSpeedButton(const QString &glyph, const QString &hint, int left, int width);
    static bool compositorMovesWindows();

    bool IsDragging = false;
    int DownX = 0;
    int DownY = 0;

    // Distance of each button's left edge from the bar's right edge, kept
    // when the window is resized.
    QList<QPair<QToolButton *, int>> m_rightAnchored;
};
