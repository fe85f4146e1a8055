#include "Application.h"

#include "Exception.h"
#include "Form.h"

#include <QMessageBox>

#include <exception>
#include <unistd.h>

TApplication::TApplication(int &argc, char **argv)
    : QApplication(prepare(argc), argv)
{
    setQuitOnLastWindowClosed(false);
    // Names the user's data folder (~/.local/share/qingchuanye), also for
    // the tests and tools that run the program's windows.
    setApplicationName(QStringLiteral("qingchuanye"));
}

TApplication::~TApplication() = default;

int &TApplication::prepare(int &argc)
{
    // Chromium refuses to start its sandbox as root (containers, CI). A
    // normal user keeps the sandbox.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    return argc;
}

TApplication *TApplication::instance()
{
    return qobject_cast<TApplication *>(QCoreApplication::instance());
}

void TApplication::setTitle(const QString &title)
{
    m_title = title;
    // Not Qt's display name: Qt would append it to every other window's
    // title ("关于 — …").
    if (m_mainForm)
        m_mainForm->updateWindowTitle();
}

void TApplication::registerForm(TForm *form)
{
    if (!m_mainForm)
        m_mainForm = form;
}

void TApplication::unregisterForm(TForm *form)
{
    if (m_mainForm == form)
        m_mainForm = nullptr;
}

int TApplication::run()
{
    if (!m_mainForm)
        return 0;
    m_mainForm->show();
    return exec();
}

void TApplication::handleException(const QString &message)
{
    emit exceptionRaised(message);
    // An error raised while the box is up (a paint, a timer) must not stack
    // a second box on the first.
    if (m_reporting)
        return;
    m_reporting = true;
    QWidget *owner = activeWindow();
    if (!owner && m_mainForm && m_mainForm->isVisible())
        owner = m_mainForm;
    QMessageBox box(QMessageBox::Critical, m_title.isEmpty() ? applicationName() : m_title,
                    message, QMessageBox::Ok, owner);
    box.setObjectName(QStringLiteral("TApplicationErrorBox"));
    box.exec();
    m_reporting = false;
}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const Exception &e) {
        handleException(e.message());
    } catch (const std::exception &e) {
        handleException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        handleException(tr("发生未知错误。"));
    }
    return false;
}
