#include "Shell.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {

bool startFreedesktopOpener(const QUrl &url)
{
    // Platforms without desktop services (no desktop session) still have
    // the freedesktop opener.
    return QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
}

} // namespace

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
    return startFreedesktopOpener(url);
}

bool OpenInDesktopBrowser(const QUrl &url)
{
    // The desktop opener would hand a file: address to a file manager and
    // a custom scheme to whatever claims it: only web addresses leave.
    const QString scheme = url.scheme();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return false;
    if (QDesktopServices::openUrl(url))
        return true;
    return startFreedesktopOpener(url);
}
