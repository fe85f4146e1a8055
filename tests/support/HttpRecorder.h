// A small HTTP/1.1 server on 127.0.0.1 for tests: records every request
// line and answers with a tiny page, or holds chosen paths unanswered, or
// answers them as told: another status, a page of the test's own, late,
// or breaking off in the middle of the body.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
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
    void serve(const QString &path, const QByteArray &html) { setPage(path, html); }

    struct Response
    {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "text/html; charset=utf-8";
        QList<QPair<QByteArray, QByteArray>> headers;
        int delayMs = 0;          // answer this much later
        bool dropMidBody = false; // announce the whole body, send half, close
    };
    // How requests for path (with its query, as requested) are answered.
    void setResponse(const QString &path, const Response &response) { m_responses.insert(path, response); }
    void setPage(const QString &path, const QByteArray &html);
    void redirect(const QString &path, const QByteArray &location);

    // The header fields of the last request for path; names in lower case.
    QHash<QByteArray, QByteArray> headersOf(const QString &path) const { return m_headers.value(path); }

signals:
    void requested(const QString &requestLine);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const QString &path);
    static void send(QTcpSocket *socket, const Response &response);

    QStringList m_requests;
    QSet<QString> m_held;
    QHash<QString, Response> m_responses;
    QHash<QString, QHash<QByteArray, QByteArray>> m_headers;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};
