// The main window: title bar, menu bar, the entry picture, and the panel
// with the browser in which the learning pages open.
#pragma once

#include "platform/Form.h"

class QFrame;
class TF_Top_Frame;
class TFrame_Menu;
class TImage;
class TSiteServer;
class TWebBrowser;

class TF_Main : public TForm
{
    Q_OBJECT

public:
    // siteBase is the learning site's address, ending in "/".
    TF_Main();
    explicit TF_Main(const QString &siteBase, QWidget *parent = nullptr);
    ~TF_Main() override;

    static QString defaultSiteBase();
    QString siteBase() const { return m_siteBase; }
    // Serves the bundled site when the address is this machine and nothing
    // answers there yet.
    TSiteServer *siteServer() const { return m_site; }

    QFrame *P_Main;
    TWebBrowser *WB_Web;
    TF_Top_Frame *F_Top;
    TFrame_Menu *Frame_M_Top;
    TImage *Img_bg;

    void FormCreate();
    void FormShow();
    void FormMouseMove();
    void Img_bgMouseMove();
    void Img_bgClick();

    void Frame_Menu1N_LinkClick();
    void Frame_Menu1N_2_KSCSClick();
    void Frame_Menu1N_2_XXCSClick();
    void Frame_Menu1N1Click();
    void Frame_Menu1N_ABClick();
    void Frame_M_Toplumaferncom1Click();
    void Frame_Menu1N_ExitClick();

    // Brings the program forward from wherever it is: the notification
    // area, minimised, behind other windows.
    void bringToFront();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void prepareFirstShow() override;

private:
    void createComponents();
    void bindMenus();
    void openPage(const char *path);

    QString m_siteBase;
    TSiteServer *m_site;
};

extern TF_Main *F_Main;
