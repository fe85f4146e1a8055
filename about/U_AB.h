// The About box. It is made once, hidden, and shown again on every
// opening; while it is up the main window is disabled.
#pragma once

#include "platform/Form.h"

class QFrame;
class QLabel;
class QPushButton;
class TImage;

class TF_AB : public TForm
{
    Q_OBJECT

public:
    explicit TF_AB(QWidget *parent = nullptr);
    ~TF_AB() override;

    QFrame *Panel1;
    TImage *ProgramIcon;
    QLabel *ProductName;
    QLabel *Version;
    QLabel *Label3;
    QLabel *Label4;
    QPushButton *OKButton;

    void OKButtonClick();
    void FormClose();

private:
    void createComponents();
    QLabel *addLabel(const QString &text, int left, int top);
};

extern TF_AB *F_AB;
