// The application object: its title, its main form, the message loop and
// the default error handler.
#pragma once

#include <QApplication>
#include <QPointer>

class TForm;

class TApplication : public QApplication
{
    Q_OBJECT

public:
    TApplication(int &argc, char **argv);
    ~TApplication() override;

    static TApplication *instance();

    // The name the desktop shows for the program: task bar, window list.
    QString title() const { return m_title; }
    void setTitle(const QString &title);

    // The first form created becomes the main form; closing it ends the
    // message loop.
    TForm *mainForm() const { return m_mainForm; }
    void registerForm(TForm *form);
    void unregisterForm(TForm *form);

    // Shows the main form and runs the message loop until it closes.
    int run();

    // Reports an error that escaped an event handler. The program then goes
    // on in whatever state the handler reached.
    void handleException(const QString &message);

    bool notify(QObject *receiver, QEvent *event) override;

signals:
    // Emitted just before the error box opens, so callers can find it.
    void exceptionRaised(const QString &message);

private:
    static int &prepare(int &argc);

    QString m_title;
    QPointer<TForm> m_mainForm;
    bool m_reporting = false;
};
