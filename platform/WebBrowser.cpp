#include "WebBrowser.h"

#include "Exception.h"
#include "Shell.h"
#include "WebViewFactory.h"

#include <QCoreApplication>
#include <QDir>
#include <QPluginLoader>
#include <QUrl>
#include <QVBoxLayout>

TWebBrowser::TWebBrowser(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

QStringList TWebBrowser::moduleCandidates()
{
    const QString name = QStringLiteral(QINGCHUANYE_WEBVIEW_MODULE_NAME);
    return {
        // Installed: relative to the executable, so a relocated install works.
        QDir(QCoreApplication::applicationDirPath())
            .filePath(QStringLiteral(QINGCHUANYE_WEBVIEW_MODULE_RELDIR "/") + name),
        // Run from the build tree.
        QStringLiteral(QINGCHUANYE_WEBVIEW_MODULE_BUILDDIR "/") + name,
    };
}

void TWebBrowser::createView()
{
    QStringList errors;
    for (const QString &candidate : moduleCandidates()) {
        QPluginLoader loader(candidate);
        QObject *instance = loader.instance();
        if (auto *factory = qobject_cast<TWebViewFactory *>(instance)) {
            m_factory = factory;
            break;
        }
        errors << loader.errorString();
    }
    if (!m_factory)
        throw Exception(tr("无法启动网页浏览组件：%1").arg(errors.join(QStringLiteral("；"))));
    TWebViewSite site;
    site.base = QUrl(m_siteBase, QUrl::StrictMode);
    site.openOutside = [](const QUrl &url) { OpenInDesktopBrowser(url); };
    m_view = m_factory->createView(this, site);
    layout()->addWidget(m_view);
    m_view->show();
}

void TWebBrowser::navigate(const QString &url)
{
    const QUrl address(url, QUrl::StrictMode);
    if (!address.isValid() || address.isRelative() || address.host().isEmpty())
        throw Exception(tr("无法打开地址“%1”。").arg(url));
    if (!m_view)
        createView();
    m_factory->navigate(m_view, address);
    emit navigated(url);
}
