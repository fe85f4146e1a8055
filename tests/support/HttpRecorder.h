// A small HTTP/1.1 server on 127.0.0.1 for tests: records every request
// line and answers with a tiny page, or holds chosen paths unanswered.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;

class HttpRecorder : public QTcpServer
{
    Q_OBJECT

public:
    explicit HttpRecorder(QObject *parent = nullptr);

    bool start();                       // listens on an ephemeral port
    QString baseUrl() const;            // http://127.0.0.1:PORT/

    QStringList requests() const { return m_requests; }   // "GET /path"
    int count(const QString &requestLine) const { return int(m_requests.count(requestLine)); }
    void clear() { m_requests.clear(); }

    // Requests for these paths are read and recorded but never answered.
    void hold(const QString &path) { m_held.insert(path); }
    // Requests for path are answered with this page instead of the tiny one.
    void serve(const QString &path, const QByteArray &html) { m_pages.insert(path, html); }

signals:
    void requested(const QString &requestLine);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);

    QStringList m_requests;
    QSet<QString> m_held;
    QHash<QString, QByteArray> m_pages;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};
