#pragma once

// The X desktop seen and driven from outside, as a user would: the
// program's windows as the X server knows them, and the real pointer.

#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

namespace XDesktop {

// Runs a command-line tool (up to 10 s) and returns what it printed.
QString run(const QString &program, const QStringList &arguments);
QString xdotool(const QStringList &arguments);

// Moves the pointer there, waits until it is, and clicks.
void click(const QPoint &at, int button = 1);

struct XWindow
{
    QString id;
    QRect geometry;
};

// The process's mapped windows, from the X server.
QList<XWindow> visibleWindows(qint64 pid);

} // namespace XDesktop
