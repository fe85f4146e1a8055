// The embedded web browser. It is an empty panel until the first
// navigation, which loads the browser module and creates the engine view;
// a program that never opens a page never starts the engine.
#pragma once

#include <QWidget>

class TWebViewFactory;

class TWebBrowser : public QWidget
{
    Q_OBJECT

public:
    explicit TWebBrowser(QWidget *parent = nullptr);

    // The site the browser shows: only addresses under base (an absolute
    // address ending in "/") load in it; other web addresses open in the
    // desktop's browser. Set before the first navigation.
    void setSiteBase(const QString &base) { m_siteBase = base; }
    QString siteBase() const { return m_siteBase; }

    // Starts loading url and returns at once. Raises Exception when the
    // address is not a valid absolute address or the browser cannot start.
    void navigate(const QString &url);

    bool engineCreated() const { return m_view != nullptr; }
    // The engine's view (a QWebEngineView), or null before the first page.
    QWidget *view() const { return m_view; }

    // Where the browser module is looked for, in order.
    static QStringList moduleCandidates();

signals:
    void navigated(const QString &url);

private:
    void createView();

    QString m_siteBase;
    TWebViewFactory *m_factory = nullptr;
    QWidget *m_view = nullptr;
};
