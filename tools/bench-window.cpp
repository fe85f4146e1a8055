// Reference windows for tools/bench-startup.sh: a bare 671x446 Qt Widgets
// window, and (built with BENCH_WEBVIEW) the same window with a web view
// created up front.
#include <QApplication>
#include <QWidget>
#ifdef BENCH_WEBVIEW
#include <QWebEngineView>
#endif

int main(int argc, char *argv[])
{
#ifdef BENCH_WEBVIEW
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#endif
    QApplication app(argc, argv);
    QWidget window;
    window.resize(671, 446);
    window.setWindowTitle(QStringLiteral("bench"));
#ifdef BENCH_WEBVIEW
    auto *view = new QWebEngineView(&window);
    view->setGeometry(0, 55, 671, 391);
#endif
    window.show();
    return app.exec();
}
