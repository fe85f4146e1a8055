// Loads one page of the site in Qt WebEngine, the engine the program
// shows the site in, and prints how long each resource took as the page
// itself measured it (performance.getEntriesByType('resource')).
//   qcy_bench_page_load URL [LOADS]
// The first load starts from an empty cache; later loads of the same URL
// revalidate what it kept. Waits for <html data-state="ready"> when the
// page has one. Output, one line a resource: load, ms, bytes over the
// wire, resource path.
#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

const char *kCollect = R"(JSON.stringify({
    state: document.documentElement.dataset.state || 'ready',
    resources: performance.getEntriesByType('resource').map(e => ({
        name: e.name, duration: e.duration, transfer: e.transferSize }))
}))";

class PageTimer : public QObject {
public:
    PageTimer(const QUrl &url, int loads)
        : url_(url)
        , loadsLeft_(loads)
        , page_(&profile_)
    {
        connect(&page_, &QWebEnginePage::loadFinished, this, &PageTimer::onLoaded);
        QTimer::singleShot(60000, this, [] {
            std::fprintf(stderr, "page did not get ready within 60 s\n");
            QCoreApplication::exit(1);
        });
    }

    void start() { page_.load(url_); }

private:
    void onLoaded(bool ok)
    {
        if (!ok) {
            std::fprintf(stderr, "could not load %s\n", qPrintable(url_.toString()));
            QCoreApplication::exit(1);
            return;
        }
        poll();
    }

    void poll()
    {
        page_.runJavaScript(QString::fromUtf8(kCollect), [this](const QVariant &v) {
            const QJsonObject o = QJsonDocument::fromJson(v.toString().toUtf8()).object();
            if (o.value(QStringLiteral("state")).toString() == QLatin1String("loading")) {
                QTimer::singleShot(20, this, &PageTimer::poll);
                return;
            }
            report(o.value(QStringLiteral("resources")).toArray());
        });
    }

    void report(const QJsonArray &resources)
    {
        ++loadNumber_;
        for (const auto &r : resources) {
            const QJsonObject e = r.toObject();
            const QUrl name(e.value(QStringLiteral("name")).toString());
            std::printf("%d %.2f %d %s\n", loadNumber_, e.value(QStringLiteral("duration")).toDouble(),
                        e.value(QStringLiteral("transfer")).toInt(), qPrintable(name.path()));
        }
        std::fflush(stdout);
        if (--loadsLeft_ > 0)
            page_.load(url_); // a new document, so fresh timing entries
        else
            QCoreApplication::quit();
    }

    QUrl url_;
    int loadsLeft_;
    int loadNumber_ = 0;
    QWebEngineProfile profile_; // off the record: the first load is cold
    QWebEnginePage page_;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s URL [LOADS]\n", argv[0]);
        return 2;
    }
    PageTimer timer(QUrl(QString::fromLocal8Bit(argv[1])), argc > 2 ? std::max(1, std::atoi(argv[2])) : 3);
    timer.start();
    return app.exec();
}
