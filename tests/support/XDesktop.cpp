#include "XDesktop.h"

#include <QProcess>
#include <QRegularExpression>

namespace XDesktop {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString xdotool(const QStringList &arguments)
{
    return run(QStringLiteral("xdotool"), arguments);
}

void click(const QPoint &at, int button)
{
    // --sync: returns once the pointer is there.
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(at.x()), QString::number(at.y())});
    xdotool({QStringLiteral("click"), QString::number(button)});
}

QList<XWindow> visibleWindows(qint64 pid)
{
    QList<XWindow> windows;
    const QStringList ids = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                     QStringLiteral("--pid"), QString::number(pid)})
                                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &id : ids) {
        const QString shell = xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id});
        auto value = [&](const char *key) {
            const QRegularExpression re(QStringLiteral("%1=(-?\\d+)").arg(QLatin1String(key)));
            return re.match(shell).captured(1).toInt();
        };
        windows << XWindow{id, QRect(value("X"), value("Y"), value("WIDTH"), value("HEIGHT"))};
    }
    return windows;
}

} // namespace XDesktop
