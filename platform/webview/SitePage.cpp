#include "SitePage.h"

#include "SiteAddress.h"
#include "SiteSettings.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <QWebEngineView>

namespace {

// A script that navigates away in a loop must not open a browser window
// per turn: the same address at most once in this time, and only so many
// addresses in the window below.
constexpr qint64 SameAddressMs = 3000;
constexpr qint64 OutsideWindowMs = 10000;
constexpr int OutsidePerWindow = 5;

bool isBlankFrame(const QUrl &url)
{
    return url.scheme() == QLatin1String("about")
        && (url.path() == QLatin1String("blank") || url.path() == QLatin1String("srcdoc"));
}

// The engine asks about leaving a page that wants to keep its user with a
// confirm dialog in English; the user reads Chinese.
bool isLeavePageQuestion(const QString &message)
{
    return message == QCoreApplication::translate(
               "QWebEnginePage",
               "Are you sure you want to leave this page? Changes that you made may not be saved.");
}

} // namespace

SitePage::SitePage(QWebEngineProfile *profile, const TWebViewSite &site, QObject *parent)
    : QWebEnginePage(profile, parent), m_site(site)
{
    m_clock.start();
    applySiteSettings(settings());
    refuseRequests();
    connect(this, &QWebEnginePage::newWindowRequested, this, &SitePage::onNewWindowRequested);
    connect(this, &QWebEnginePage::urlChanged, this, &SitePage::onUrlChanged);
    connect(this, &QWebEnginePage::renderProcessTerminated, this, &SitePage::onRenderProcessTerminated);
}

void SitePage::refuseRequests()
{
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl &origin, Feature feature) {
                setFeaturePermission(origin, feature, PermissionDeniedByUser);
            });
    connect(this, &QWebEnginePage::fullScreenRequested, this,
            [](QWebEngineFullScreenRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::registerProtocolHandlerRequested, this,
            [](QWebEngineRegisterProtocolHandlerRequest request) { request.reject(); });
    connect(this, &QWebEnginePage::fileSystemAccessRequested, this,
            [](QWebEngineFileSystemAccessRequest request) { request.reject(); });
}

void SitePage::open(const QUrl &url)
{
    m_requestedUrl = url;
    if (m_dialog) {
        // Load once the dialog's own event loop has returned, so the page
        // is not asked to navigate from inside its own alert().
        closeDialog();
        QTimer::singleShot(0, this, [this, url] { load(url); });
        return;
    }
    load(url);
}

void SitePage::triggerAction(WebAction action, bool checked)
{
    if (escapingActions().contains(action))
        return;
    if ((action == Reload || action == ReloadAndBypassCache) && m_showingNotice) {
        const QUrl page = pageToBringBack();
        if (page.isValid())
            load(page);
        return;
    }
    QWebEnginePage::triggerAction(action, checked);
}

bool SitePage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    Q_UNUSED(type);
    if (m_noticeLoadAllowed && isMainFrame && url.scheme() == QLatin1String("data")) {
        m_noticeLoadAllowed = false;
        return true;
    }
    const SiteVerdict verdict = classifyAddress(url, m_site.base);
    if (!isMainFrame) {
        // A frame inside a site page: the site's own, or empty. A frame
        // from elsewhere is not worth a browser window.
        return verdict == SiteVerdict::Show || isBlankFrame(url);
    }
    switch (verdict) {
    case SiteVerdict::Show:
        return true;
    case SiteVerdict::OpenOutside:
        sendOutside(url);
        return false;
    case SiteVerdict::Refuse:
        return false;
    }
    return false;
}

QWebEnginePage *SitePage::createWindow(WebWindowType type)
{
    // New windows were placed by onNewWindowRequested; a view of its own
    // would show whatever the page put into it, outside the rules.
    Q_UNUSED(type);
    return nullptr;
}

void SitePage::onNewWindowRequested(QWebEngineNewWindowRequest &request)
{
    const QUrl url = request.requestedUrl();
    switch (classifyAddress(url, m_site.base)) {
    case SiteVerdict::Show:
        // Later: the engine is still inside window.open() here.
        QTimer::singleShot(0, this, [this, url] { load(url); });
        break;
    case SiteVerdict::OpenOutside:
        sendOutside(url);
        break;
    case SiteVerdict::Refuse:
        break;
    }
}

void SitePage::sendOutside(const QUrl &url)
{
    const qint64 now = m_clock.elapsed();
    m_sentOutside.erase(std::remove_if(m_sentOutside.begin(), m_sentOutside.end(),
                                       [now](const QPair<QUrl, qint64> &sent) {
                                           return now - sent.second > OutsideWindowMs;
                                       }),
                        m_sentOutside.end());
    for (const auto &[sentUrl, at] : std::as_const(m_sentOutside)) {
        if (sentUrl == url && now - at < SameAddressMs)
            return;
    }
    if (m_sentOutside.size() >= OutsidePerWindow)
        return;
    m_sentOutside.append({url, now});
    if (m_site.openOutside)
        m_site.openOutside(url);
}

QStringList SitePage::chooseFiles(FileSelectionMode, const QStringList &, const QStringList &)
{
    // Pages of the site read no files from this computer.
    return {};
}

void SitePage::onUrlChanged(const QUrl &url)
{
    if (isUnderSite(url, m_site.base)) {
        m_lastSiteUrl = url;
        m_showingNotice = false;
    }
}

void SitePage::onRenderProcessTerminated(RenderProcessTerminationStatus status, int exitCode)
{
    Q_UNUSED(exitCode);
    closeDialog();
    if (status == NormalTerminationStatus)
        return;
    // Not from inside the engine's notification about its process.
    QTimer::singleShot(0, this, &SitePage::showCrashNotice);
}

QString SitePage::crashNoticeTitle()
{
    return tr("网页已停止");
}

QUrl SitePage::pageToBringBack() const
{
    return m_lastSiteUrl.isValid() ? m_lastSiteUrl : m_requestedUrl;
}

void SitePage::showCrashNotice()
{
    const QUrl page = pageToBringBack();
    QString html = QStringLiteral(
        "<!doctype html><html lang=\"zh-CN\"><meta charset=\"utf-8\"><title>%1</title>"
        "<body style=\"font-family: sans-serif; font-size: 15px; color: #333; margin: 2em;\">"
        "<p>%2</p>")
        .arg(crashNoticeTitle().toHtmlEscaped(), tr("显示网页的进程意外结束了。").toHtmlEscaped());
    if (page.isValid()) {
        html += QStringLiteral("<p><a id=\"again\" href=\"%1\">%2</a>%3</p>")
                    .arg(page.toString(QUrl::FullyEncoded).toHtmlEscaped(), tr("重新打开网页").toHtmlEscaped(),
                         tr("，或从菜单中再选一次。").toHtmlEscaped());
    }
    m_showingNotice = true;
    m_noticeLoadAllowed = true;
    setHtml(html);
}

QWidget *SitePage::dialogOwner() const
{
    QWebEngineView *view = QWebEngineView::forPage(this);
    return view ? view->window() : nullptr;
}

void SitePage::runDialog(QDialog *dialog)
{
    // Modeless, with an event loop of its own: the page waits for the
    // answer, the title bar, menus and tray do not. A page that opens
    // dialogs in a loop cannot keep the user from closing the program.
    QPointer<SitePage> self(this);
    dialog->setWindowModality(Qt::NonModal);
    QEventLoop loop;
    connect(dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    connect(dialog, &QObject::destroyed, &loop, &QEventLoop::quit);
    m_dialog = dialog;
    dialog->show();
    loop.exec();
    if (self)
        m_dialog = nullptr;
}

void SitePage::closeDialog()
{
    if (m_dialog)
        m_dialog->reject();
}

void SitePage::javaScriptAlert(const QUrl &securityOrigin, const QString &msg)
{
    Q_UNUSED(securityOrigin);
    QPointer<QMessageBox> box = pageMessageBox(QMessageBox::Information, msg);
    box->addButton(tr("确定"), QMessageBox::AcceptRole);
    runDialog(box);
    delete box.data();
}

bool SitePage::javaScriptConfirm(const QUrl &securityOrigin, const QString &msg)
{
    Q_UNUSED(securityOrigin);
    const bool leaving = isLeavePageQuestion(msg);
    QPointer<QMessageBox> box = pageMessageBox(
        QMessageBox::Question, leaving ? tr("要离开此网页吗？您所做的更改可能不会保存。") : msg);
    QPushButton *yes = box->addButton(leaving ? tr("离开") : tr("确定"), QMessageBox::AcceptRole);
    box->addButton(tr("取消"), QMessageBox::RejectRole);
    runDialog(box);
    const bool accepted = box && box->clickedButton() == yes;
    delete box.data();
    return accepted;
}

bool SitePage::javaScriptPrompt(const QUrl &securityOrigin, const QString &msg,
                                const QString &defaultValue, QString *result)
{
    Q_UNUSED(securityOrigin);
    QWidget *owner = dialogOwner();
    QPointer<QInputDialog> input = new QInputDialog(owner);
    input->setObjectName(QStringLiteral("PageDialog"));
    input->setWindowTitle(owner ? owner->windowTitle() : QString());
    input->setLabelText(msg);
    input->setTextValue(defaultValue);
    input->setOkButtonText(tr("确定"));
    input->setCancelButtonText(tr("取消"));
    runDialog(input);
    const bool accepted = input && input->result() == QDialog::Accepted;
    if (accepted && result)
        *result = input->textValue();
    delete input.data();
    return accepted;
}

QMessageBox *SitePage::pageMessageBox(QMessageBox::Icon icon, const QString &text) const
{
    QWidget *owner = dialogOwner();
    auto *box = new QMessageBox(icon, owner ? owner->windowTitle() : QString(), text,
                                QMessageBox::NoButton, owner);
    box->setObjectName(QStringLiteral("PageDialog"));
    // The page's text is the page's: never markup that could link out.
    box->setTextFormat(Qt::PlainText);
    return box;
}
