#include "WebEngineModule.h"

#include "SitePage.h"
#include "SiteProfile.h"
#include "SiteSettings.h"
#include "WindowComposition.h"

#include <QCoreApplication>
#include <QOpenGLContext>
#include <QQuickWindow>
#include <QUrl>
#include <QWebEngineProfile>
#include <QWebEngineView>

// QtGui keeps the context that all GL contexts of the application share.
// The engine needs one; the program does not create it at start-up (that
// would load the GL driver for every start, page or no page), so the
// module sets it up when the first view is made.
Q_GUI_EXPORT QOpenGLContext *qt_gl_global_share_context();
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext *context);

namespace {

void ensureSharedGLContext()
{
    if (qt_gl_global_share_context())
        return;
    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL);
    auto *context = new QOpenGLContext(QCoreApplication::instance());
    // Kept even when it cannot be created (no GL on a headless platform):
    // the engine then sees an invalid context and draws without the GPU.
    context->create();
    qt_gl_set_global_share_context(context);
}

} // namespace

QWidget *WebEngineModule::createView(QWidget *parent, const TWebViewSite &site)
{
    ensureSharedGLContext();
    // The language is the engine's own start-up setting, so it goes first.
    prepareSiteEngine();
    QWebEngineProfile *profile = SiteProfile::profile();
    applySiteProfile(profile);
    // Before the view joins: it would otherwise make Qt replace the
    // window's native window.
    if (parent)
        prepareWindowForOpenGLViews(parent->window());
    auto *view = new QWebEngineView(parent);
    view->setObjectName(QStringLiteral("WebEngineView"));
    view->setPage(new SitePage(profile, site, view));
    installSiteContextMenu(view);
    return view;
}

void WebEngineModule::navigate(QWidget *view, const QUrl &url)
{
    auto *engineView = qobject_cast<QWebEngineView *>(view);
    if (!engineView)
        return;
    if (auto *page = qobject_cast<SitePage *>(engineView->page()))
        page->open(url);
    else
        engineView->load(url);
}
