#include "Shell.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

bool ShellExecute(QWidget *owner, const QString &verb, const QString &file,
                  const QString &params, const QString &directory, int showCommand)
{
    Q_UNUSED(owner);
    Q_UNUSED(showCommand);
    if (verb != QLatin1String("open"))
        return false;
    const QString program = QStandardPaths::findExecutable(file);
    if (!program.isEmpty()) {
        return QProcess::startDetached(program, QProcess::splitCommand(params),
                                       directory);
    }
    const QUrl url(params, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative())
        return false;
    if (QDesktopServices::openUrl(url))
        return true;
    // Platforms without desktop services (no desktop session) still have
    // the freedesktop opener.
    return QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString()});
}
