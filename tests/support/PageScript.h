#pragma once

#include <QVariant>

class QWebEnginePage;

namespace PageScript {

// Runs code in the page and returns its result, waiting up to timeoutMs
// for the engine's answer; an invalid QVariant when none came.
QVariant run(QWebEnginePage *page, const QString &code, int timeoutMs = 10000);

} // namespace PageScript
