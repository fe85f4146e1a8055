// The bundled learning site, started on demand. The program's pages live on
// a site address fixed at build time; when that address is this machine and
// nothing answers there, the program serves the site itself with the
// qingchuanye-site program that ships beside it, for as long as it runs.
#pragma once

#include <QObject>
#include <QStringList>

class QProcess;

class TSiteServer : public QObject
{
    Q_OBJECT

public:
    // siteBase: the site's base address, as the pages are opened on it.
    explicit TSiteServer(const QString &siteBase, QObject *parent = nullptr);
    // Stops the server this object started, if any.
    ~TSiteServer() override;

    // Makes sure something answers at the site address before a page is
    // opened there: whatever already answers is used as it is; otherwise,
    // for an address on this machine, the bundled server is started and
    // waited for (events keep being handled meanwhile). Raises Exception
    // with a message for the user when it cannot be started.
    void ensureRunning();

    // Whether the address is one the program may serve itself.
    bool isLocal() const { return m_local; }
    // The server this object started and that still runs, or 0.
    qint64 processId() const;
    void stop();

    // Where the server program is looked for, in order.
    static QStringList programCandidates();
    void setProgramCandidates(const QStringList &candidates) { m_candidates = candidates; }

    // Whether a TCP connection to host:port on this machine is accepted.
    static bool answers(const QString &host, int port);

    // How long a starting server may take before it counts as failed: a
    // cold, busy machine can take seconds to load it.
    static constexpr int StartTimeoutMs = 30000;

private:
    void start();
    QString failureMessage(const QString &why) const;

    QString m_host;
    int m_port = 80;
    bool m_local = false;
    QStringList m_candidates;
    QProcess *m_process = nullptr;
    QByteArray m_errors;
};
