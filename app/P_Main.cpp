// 晴川叶: a desktop shell for the learning site.

#include "about/U_AB.h"
#include "platform/Application.h"
#include "shell/U_Main.h"

int main(int argc, char *argv[])
{
    TApplication application(argc, argv);
    application.setTitle(QStringLiteral("晴川叶--轻松学英语"));
    application.setWindowIcon(QIcon(QStringLiteral(":/assets/qingchuanye.png")));
    F_Main = new TF_Main;
    F_AB = new TF_AB;
    const int result = application.run();
    delete F_AB;
    delete F_Main;
    return result;
}
