#include "PageScript.h"

#include <QElapsedTimer>
#include <QTest>
#include <QWebEnginePage>

#include <memory>

namespace PageScript {

QVariant run(QWebEnginePage *page, const QString &code, int timeoutMs)
{
    // Shared with the callback, which may still come after we gave up.
    struct Answer
    {
        QVariant value;
        bool done = false;
    };
    auto answer = std::make_shared<Answer>();
    page->runJavaScript(code, [answer](const QVariant &value) {
        answer->value = value;
        answer->done = true;
    });
    // qWait keeps the event loop running for the whole wait, which the
    // engine's main-thread work needs; qWaitFor sleeps between its passes,
    // and a page loading meanwhile crawls.
    QElapsedTimer timer;
    timer.start();
    while (!answer->done && timer.elapsed() < timeoutMs)
        QTest::qWait(20);
    return answer->done ? answer->value : QVariant();
}

} // namespace PageScript
