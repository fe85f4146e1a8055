#include "SiteSettings.h"

#include <QLocale>
#include <QMenu>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <initializer_list>

namespace {

constexpr char ConfiguredProperty[] = "qingchuanyeSiteProfile";

// Removes separators left at either end or next to each other once
// entries are gone.
void tidySeparators(QMenu *menu)
{
    QAction *previous = nullptr;
    const QList<QAction *> actions = menu->actions();
    for (QAction *action : actions) {
        if (action->isSeparator() && (!previous || previous->isSeparator()))
            menu->removeAction(action);
        else
            previous = action;
    }
    if (previous && previous->isSeparator())
        menu->removeAction(previous);
}

void showSiteContextMenu(QWebEngineView *view, const QPoint &pos)
{
    QMenu *menu = view->createStandardContextMenu();
    if (!menu)
        return;
    QWebEnginePage *page = view->page();
    for (QWebEnginePage::WebAction action : escapingActions())
        menu->removeAction(page->action(action));
    tidySeparators(menu);
    menu->setObjectName(QStringLiteral("SiteContextMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (menu->isEmpty()) {
        delete menu;
        return;
    }
    menu->popup(view->mapToGlobal(pos));
}

} // namespace

QList<QWebEnginePage::WebAction> escapingActions()
{
    return {
        QWebEnginePage::OpenLinkInNewWindow,
        QWebEnginePage::OpenLinkInNewTab,
        QWebEnginePage::OpenLinkInNewBackgroundTab,
        QWebEnginePage::DownloadLinkToDisk,
        QWebEnginePage::DownloadImageToDisk,
        QWebEnginePage::DownloadMediaToDisk,
        QWebEnginePage::SavePage,
        QWebEnginePage::ViewSource,
        QWebEnginePage::InspectElement,
    };
}

void prepareSiteEngine()
{
    // The engine reads its language once, from the default locale, when
    // the first profile is made. The program speaks Chinese whatever the
    // desktop's language, and so do the pages and the engine's own pages.
    const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    if (QLocale().language() != QLocale::Chinese)
        QLocale::setDefault(chinese);
}

void applySiteProfile(QWebEngineProfile *profile)
{
    if (profile->property(ConfiguredProperty).toBool())
        return;
    profile->setProperty(ConfiguredProperty, true);
    profile->setHttpAcceptLanguage(QStringLiteral("zh-CN,zh"));
    // Nothing from a page is written to the disk.
    QObject::connect(profile, &QWebEngineProfile::downloadRequested, profile,
                     [](QWebEngineDownloadRequest *download) { download->cancel(); });
    applySiteSettings(profile->settings());
}

void applySiteSettings(QWebEngineSettings *settings)
{
    using S = QWebEngineSettings;
    const std::initializer_list<std::pair<S::WebAttribute, bool>> attributes = {
        {S::LocalContentCanAccessFileUrls, false},
        {S::LocalContentCanAccessRemoteUrls, false},
        {S::PluginsEnabled, false},
        {S::PdfViewerEnabled, false},
        {S::FullScreenSupportEnabled, false},
        {S::ScreenCaptureEnabled, false},
        {S::AllowGeolocationOnInsecureOrigins, false},
        {S::AllowRunningInsecureContent, false},
        {S::AllowWindowActivationFromJavaScript, false},
        {S::JavascriptCanAccessClipboard, false},
        {S::JavascriptCanPaste, false},
        {S::HyperlinkAuditingEnabled, false},
        {S::DnsPrefetchEnabled, false},
        {S::WebRTCPublicInterfacesOnly, true},
        // A file dropped on the view would otherwise open as a page.
        {S::NavigateOnDropEnabled, false},
        // window.open must reach the page's handler, which decides where
        // the address goes; turned off, it would silently do nothing.
        {S::JavascriptCanOpenWindows, true},
        // The engine's own page says what went wrong, in Chinese.
        {S::ErrorPageEnabled, true},
    };
    for (const auto &[attribute, on] : attributes)
        settings->setAttribute(attribute, on);
    // mailto:, custom schemes and the like would start another program.
    settings->setUnknownUrlSchemePolicy(S::DisallowUnknownUrlSchemes);
}

void installSiteContextMenu(QWebEngineView *view)
{
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(view, &QWidget::customContextMenuRequested, view,
                     [view](const QPoint &pos) { showSiteContextMenu(view, pos); });
}
