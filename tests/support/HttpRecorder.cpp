#include "HttpRecorder.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

HttpRecorder::HttpRecorder(QObject *parent)
    : QTcpServer(parent)
{
    connect(this, &QTcpServer::newConnection, this, &HttpRecorder::onNewConnection);
}

bool HttpRecorder::start()
{
    return listen(QHostAddress::LocalHost, 0);
}

QString HttpRecorder::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(serverPort());
}

void HttpRecorder::onNewConnection()
{
    while (QTcpSocket *socket = nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void HttpRecorder::onReadyRead(QTcpSocket *socket)
{
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    int end;
    while ((end = buffer.indexOf("\r\n\r\n")) >= 0) {
        const QByteArray head = buffer.left(end);
        buffer.remove(0, end + 4);
        const QList<QByteArray> lines = head.split('\n');
        const QList<QByteArray> words = lines.value(0).trimmed().split(' ');
        if (words.size() < 2)
            continue;
        const QString method = QString::fromLatin1(words[0]);
        const QString path = QString::fromLatin1(words[1]);
        const QString line = method + QLatin1Char(' ') + path;
        QHash<QByteArray, QByteArray> headers;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const int colon = lines[i].indexOf(':');
            if (colon > 0)
                headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
        }
        m_headers.insert(path, headers);
        m_requests << line;
        emit requested(line);
        if (m_held.contains(path))
            continue;
        answer(socket, path);
    }
}

void HttpRecorder::setPage(const QString &path, const QByteArray &html)
{
    Response response;
    response.body = html;
    setResponse(path, response);
}

void HttpRecorder::redirect(const QString &path, const QByteArray &location)
{
    Response response;
    response.status = 302;
    response.headers << qMakePair(QByteArray("Location"), location);
    setResponse(path, response);
}

void HttpRecorder::answer(QTcpSocket *socket, const QString &path)
{
    Response response;
    if (m_responses.contains(path)) {
        response = m_responses.value(path);
    } else {
        const QByteArray name = path.toHtmlEscaped().toUtf8();
        response.body = "<!doctype html><meta charset=utf-8><title>" + name + "</title><body>" + name + "</body>";
        if (path == QLatin1String("/favicon.ico"))
            response.status = 404;
    }
    if (response.delayMs <= 0) {
        send(socket, response);
        return;
    }
    QPointer<QTcpSocket> later(socket);
    QTimer::singleShot(response.delayMs, this, [later, response] {
        if (later)
            send(later, response);
    });
}

void HttpRecorder::send(QTcpSocket *socket, const Response &response)
{
    QByteArray reason = "OK";
    if (response.status == 302)
        reason = "Found";
    else if (response.status == 404)
        reason = "Not Found";
    else if (response.status >= 500)
        reason = "Internal Server Error";
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reason + "\r\n";
    if (!response.contentType.isEmpty())
        head += "Content-Type: " + response.contentType + "\r\n";
    for (const auto &[name, value] : response.headers)
        head += name + ": " + value + "\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n\r\n";
    if (!response.dropMidBody) {
        socket->write(head + response.body);
        return;
    }
    socket->write(head + response.body.left(response.body.size() / 2));
    socket->flush();
    socket->disconnectFromHost();
}
