// The desktop shell's "open" verb.
#pragma once

#include <QString>

class QUrl;
class QWidget;

constexpr int SW_SHOWNORMAL = 1;

// Opens file with params the way the desktop shell does. A program found on
// the search path is started with params as its arguments. A program that
// this desktop does not have (a Windows browser on Linux, say) leaves the
// job to the desktop: an address in params opens in the default browser.
// Like the shell, reports nothing; the result says whether anything started.
bool ShellExecute(QWidget *owner, const QString &verb, const QString &file,
                  const QString &params, const QString &directory, int showCommand);

// Opens an http or https address in the desktop's default browser. Any
// other address is refused; the result says whether a browser started.
bool OpenInDesktopBrowser(const QUrl &url);
