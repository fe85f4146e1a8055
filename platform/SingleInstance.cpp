#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

namespace {
constexpr char Activate[] = "activate\n";
}

TSingleInstance::TSingleInstance(const QString &dataFolder, QObject *parent)
    : QObject(parent), m_folder(dataFolder)
{
    QDir().mkpath(m_folder);
    QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_lock = std::make_unique<QLockFile>(QDir(m_folder).filePath(QStringLiteral("instance.lock")));
    // Only a lock whose process is gone is stale: a copy that has run for
    // hours still owns its folder.
    m_lock->setStaleLockTime(0);
}

TSingleInstance::~TSingleInstance() = default;

QString TSingleInstance::socketPath() const
{
    return QDir(m_folder).filePath(QStringLiteral("instance.socket"));
}

bool TSingleInstance::claim()
{
    if (!m_lock->tryLock(0))
        return false;
    // A socket file left by a copy that crashed would refuse the listen.
    QLocalServer::removeServer(socketPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &TSingleInstance::onNewConnection);
    m_server->listen(socketPath());
    return true;
}

qint64 TSingleInstance::runningProcessId() const
{
    qint64 pid = 0;
    QString host, application;
    return m_lock->getLockInfo(&pid, &host, &application) ? pid : 0;
}

bool TSingleInstance::activateRunningCopy(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    do {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(1000)) {
            socket.write(Activate);
            const bool sent = socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            if (sent)
                return true;
        }
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    return false;
}

void TSingleInstance::onNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->readAll().contains(Activate))
                emit activationRequested();
        });
    }
}
