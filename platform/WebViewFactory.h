// The interface of the browser module. The web engine is large: linking it
// into the program would make every start pay for it, so TWebBrowser loads
// the module that implements this the first time a page is opened.
#pragma once

#include <QtPlugin>

class QUrl;
class QWidget;

class TWebViewFactory
{
public:
    virtual ~TWebViewFactory() = default;
    virtual QWidget *createView(QWidget *parent) = 0;
    virtual void navigate(QWidget *view, const QUrl &url) = 0;
};

#define TWebViewFactory_iid "org.qingchuanye.WebViewFactory/1.0"
Q_DECLARE_INTERFACE(TWebViewFactory, TWebViewFactory_iid)
