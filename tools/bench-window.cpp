// Reference windows for tools/bench-startup.sh: a bare 671x446 Qt Widgets
// window showing the program's Chinese title, in its title and in a label
// as the program's own title bar does, and (built with BENCH_WEBVIEW) the
// same window with a web view created up front.
#include <QApplication>
#include <QLabel>
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
    const QString title = QStringLiteral("晴川叶--轻松学英语");
    window.setWindowTitle(title);
    auto *label = new QLabel(title, &window);
    label->move(8, 8);
#ifdef BENCH_WEBVIEW
    auto *view = new QWebEngineView(&window);
    view->setGeometry(0, 55, 671, 391);
#endif
    window.show();
    return app.exec();
}
