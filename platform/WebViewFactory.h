// The interface of the browser module. The web engine is large: linking it
// into the program would make every start pay for it, so TWebBrowser loads
// the module that implements this the first time a page is opened.
#pragma once

#include <QUrl>
#include <QtPlugin>

#include <functional>

class QWidget;

// The one site a view shows. Addresses under base load in the view; other
// http(s) addresses go to openOutside (the desktop's browser); anything
// else is refused.
struct TWebViewSite
{
    QUrl base;
    std::function<void(const QUrl &)> openOutside;
};

class TWebViewFactory
{
public:
    virtual ~TWebViewFactory() = default;
    virtual QWidget *createView(QWidget *parent, const TWebViewSite &site) = 0;
    virtual void navigate(QWidget *view, const QUrl &url) = 0;
};

#define TWebViewFactory_iid "org.qingchuanye.WebViewFactory/2.0"
Q_DECLARE_INTERFACE(TWebViewFactory, TWebViewFactory_iid)
