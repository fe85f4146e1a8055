#include "HttpRecorder.h"

#include <QHostAddress>
#include <QTcpSocket>

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
        const QList<QByteArray> words = head.left(head.indexOf("\r\n")).split(' ');
        if (words.size() < 2)
            continue;
        const QString method = QString::fromLatin1(words[0]);
        const QString path = QString::fromLatin1(words[1]);
        const QString line = method + QLatin1Char(' ') + path;
        m_requests << line;
        emit requested(line);
        if (m_held.contains(path))
            continue;
        const QByteArray body = m_pages.contains(path)
            ? m_pages.value(path)
            : "<!doctype html><meta charset=utf-8><title>" + words[1] + "</title><body>" + words[1] + "</body>";
        const int status = path == QLatin1String("/favicon.ico") ? 404 : 200;
        socket->write("HTTP/1.1 " + QByteArray::number(status) + (status == 200 ? " OK" : " Not Found")
                      + "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: "
                      + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    }
}
