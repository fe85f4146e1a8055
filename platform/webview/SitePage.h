// The page of a view that shows one site and nothing else: addresses off
// the site go to the desktop's browser or nowhere, new windows open in the
// same view, requests for devices and files are refused, the page's
// dialogs never block the window around the view, and a page whose
// process died says so and comes back on the next command.
#pragma once

#include "../WebViewFactory.h"

#include <QElapsedTimer>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QWebEnginePage>

class QWebEngineNewWindowRequest;

class SitePage : public QWebEnginePage
{
    Q_OBJECT

public:
    SitePage(QWebEngineProfile *profile, const TWebViewSite &site, QObject *parent = nullptr);

    // A page command: closes a dialog the page has up, then loads url.
    void open(const QUrl &url);

    void triggerAction(WebAction action, bool checked = false) override;

    // What the view shows after the page's process died.
    static QString crashNoticeTitle();
    bool showingCrashNotice() const { return m_showingNotice; }

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage *createWindow(WebWindowType type) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                            const QStringList &acceptedMimeTypes) override;
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &msg,
                          const QString &defaultValue, QString *result) override;

private:
    void refuseRequests();
    void sendOutside(const QUrl &url);
    void onNewWindowRequested(QWebEngineNewWindowRequest &request);
    void onUrlChanged(const QUrl &url);
    void onRenderProcessTerminated(RenderProcessTerminationStatus status, int exitCode);
    void showCrashNotice();
    QUrl pageToBringBack() const;
    void runDialog(QDialog *dialog);
    QMessageBox *pageMessageBox(QMessageBox::Icon icon, const QString &text) const;
    void closeDialog();
    QWidget *dialogOwner() const;

    TWebViewSite m_site;
    QUrl m_lastSiteUrl;
    QUrl m_requestedUrl;
    bool m_showingNotice = false;
    bool m_noticeLoadAllowed = false;
    QPointer<QDialog> m_dialog;
    QElapsedTimer m_clock;
    QList<QPair<QUrl, qint64>> m_sentOutside;
};
