// 晴川叶: a desktop shell for the learning site.

#include "about/U_AB.h"
#include "platform/Application.h"
#include "platform/SingleInstance.h"
#include "shell/U_Main.h"

#include <QMessageBox>
#include <QStandardPaths>

int main(int argc, char *argv[])
{
    TApplication application(argc, argv);
    application.setTitle(QStringLiteral("晴川叶--轻松学英语"));

    // The learner's pages keep their data in this folder; a second engine
    // on it would damage it.
    TSingleInstance instance(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    if (!instance.claim()) {
        if (instance.activateRunningCopy())
            return 0;
        QMessageBox::warning(nullptr, application.title(),
                             QStringLiteral("晴川叶已经在运行（进程 %1），但它没有回应。\n"
                                            "请先关闭它，再重新打开晴川叶。")
                                 .arg(instance.runningProcessId()));
        return 1;
    }

    application.setWindowIcon(QIcon(QStringLiteral(":/assets/qingchuanye.png")));
    F_Main = new TF_Main;
    QObject::connect(&instance, &TSingleInstance::activationRequested, F_Main, &TF_Main::bringToFront);
    const int result = application.run();
    delete F_AB; // made by the first 关于
    delete F_Main;
    return result;
}
