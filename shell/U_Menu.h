// The menu bar: three drop-down buttons on a flat tool bar. It has no code
// of its own; the main window binds its items.
#pragma once

#include <QFrame>

class QAction;
class QMenu;
class QToolButton;

class TFrame_Menu : public QFrame
{
    Q_OBJECT

public:
    explicit TFrame_Menu(QWidget *parent = nullptr);

    QWidget *TB_Menu;
    QWidget *ToolButton3;
    QToolButton *TB_Game;
    QWidget *ToolButton5;
    QToolButton *ToolButton2;
    QWidget *ToolButton4;
    QToolButton *TB_Help;

    QMenu *PM_Game;
    QAction *N_Link;

    QMenu *PM_Control;
    QMenu *N_DC_Menu;
    QAction *N_DC;
    QAction *N_2_KSCS;
    QAction *N_2_XXCS;
    QAction *N_ZD;

    QMenu *PM_Help;
    QAction *N_AB;
    QAction *N4;
    QAction *lumaferncom1;
    QAction *N1;
    QAction *N_Exit;

private:
    void createToolBar();
    void createMenus();
    QToolButton *addButton(const QString &caption, QMenu *menu);
    QWidget *addSeparator();
};
