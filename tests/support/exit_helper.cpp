// The program's main window on the site address given as the argument,
// for tests that need it in a process of its own. Reads commands from
// stdin: "link" chooses the link-up game, "exit" chooses Help → exit.
#include "about/U_AB.h"
#include "platform/Application.h"
#include "shell/U_Main.h"
#include "shell/U_Menu.h"

#include <QAction>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    TApplication application(argc, argv);
    application.setTitle(QStringLiteral("晴川叶--轻松学英语"));
    if (argc < 2)
        return 2;
    new TF_Main(QString::fromLocal8Bit(argv[1]));

    QObject::connect(&application, &TApplication::exceptionRaised, [](const QString &message) {
        std::fprintf(stderr, "error: %s\n", qPrintable(message));
    });

    QSocketNotifier commands(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&commands, &QSocketNotifier::activated, [&] {
        char line[64] = {};
        const ssize_t n = ::read(STDIN_FILENO, line, sizeof line - 1);
        const QByteArray command = QByteArray(line, n > 0 ? int(n) : 0).trimmed();
        if (command == "link")
            F_Main->Frame_M_Top->N_Link->trigger();
        else if (command == "exit")
            F_Main->Frame_M_Top->N_Exit->trigger();
        else if (n <= 0)
            commands.setEnabled(false);
    });
    QTimer::singleShot(0, [] { std::printf("ready\n"); std::fflush(stdout); });
    const int result = application.run();
    delete F_AB;
    delete F_Main;
    return result;
}
