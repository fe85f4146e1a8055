#pragma once

#include "../WebViewFactory.h"

#include <QObject>

class WebEngineModule : public QObject, public TWebViewFactory
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID TWebViewFactory_iid)
    Q_INTERFACES(TWebViewFactory)

public:
    QWidget *createView(QWidget *parent, const TWebViewSite &site) override;
    void navigate(QWidget *view, const QUrl &url) override;
};
