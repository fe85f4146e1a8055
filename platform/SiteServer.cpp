#include "SiteServer.h"

#include "Exception.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <QUrl>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int ProbeTimeoutMs = 2000;
// Enough of the server's messages to explain a failure.
constexpr int KeptErrorBytes = 4096;

bool connectsTo(int family, const char *address, int port)
{
    const int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_storage storage = {};
    socklen_t length = 0;
    if (family == AF_INET) {
        auto *in = reinterpret_cast<sockaddr_in *>(&storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(quint16(port));
        ::inet_pton(AF_INET, address, &in->sin_addr);
        length = sizeof *in;
    } else {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(quint16(port));
        ::inet_pton(AF_INET6, address, &in6->sin6_addr);
        length = sizeof *in6;
    }
    bool connected = ::connect(fd, reinterpret_cast<sockaddr *>(&storage), length) == 0;
    if (!connected && errno == EINPROGRESS) {
        pollfd p = {fd, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        connected = ::poll(&p, 1, ProbeTimeoutMs) == 1
            && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
    }
    ::close(fd);
    return connected;
}

} // namespace

TSiteServer::TSiteServer(const QString &siteBase, QObject *parent)
    : QObject(parent), m_candidates(programCandidates())
{
    const QUrl url(siteBase);
    m_host = url.host().toLower();
    m_port = url.port(80);
    m_local = url.scheme() == QLatin1String("http")
        && (m_host == QLatin1String("127.0.0.1") || m_host == QLatin1String("localhost"));
}

TSiteServer::~TSiteServer()
{
    stop();
}

QStringList TSiteServer::programCandidates()
{
    const QString name = QStringLiteral("qingchuanye-site");
    return {
        // Installed: beside the program.
        QDir(QCoreApplication::applicationDirPath()).filePath(name),
        // Run from the build tree.
        QStringLiteral(QINGCHUANYE_SITE_BUILDPATH),
    };
}

bool TSiteServer::answers(const QString &host, int port)
{
    if (host == QLatin1String("localhost"))
        return connectsTo(AF_INET, "127.0.0.1", port) || connectsTo(AF_INET6, "::1", port);
    return connectsTo(AF_INET, host.toLatin1().constData(), port);
}

qint64 TSiteServer::processId() const
{
    return m_process && m_process->state() == QProcess::Running ? m_process->processId() : 0;
}

void TSiteServer::ensureRunning()
{
    if (!m_local || processId() || answers(m_host, m_port))
        return;
    start();
}

void TSiteServer::start()
{
    QString program;
    for (const QString &candidate : std::as_const(m_candidates)) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable()) {
            program = candidate;
            break;
        }
    }
    if (program.isEmpty())
        throw Exception(tr("无法打开学习网站：找不到网站程序 qingchuanye-site（找过：%1）。")
                            .arg(m_candidates.join(QStringLiteral("、"))));

    stop();
    m_errors.clear();
    m_process = new QProcess(this);
    // A server left behind by a program that crashed would hold the port
    // and serve an old copy of the site: the kernel ends it with us.
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    connect(m_process, &QProcess::readyReadStandardError, this, [this] {
        m_errors += m_process->readAllStandardError();
        if (m_errors.size() > KeptErrorBytes)
            m_errors = m_errors.right(KeptErrorBytes);
    });

    QEventLoop loop;
    bool listening = false;
    connect(m_process, &QProcess::readyReadStandardOutput, &loop, [&] {
        while (m_process->canReadLine()) {
            if (m_process->readLine().startsWith("listening on ")) {
                listening = true;
                loop.quit();
            }
        }
    });
    connect(m_process, &QProcess::finished, &loop, &QEventLoop::quit);
    connect(m_process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(StartTimeoutMs, &loop, &QEventLoop::quit);

    m_process->start(program, {QStringLiteral("--bind"), QStringLiteral("127.0.0.1"),
                               QStringLiteral("--port"), QString::number(m_port)});
    // The window keeps painting while the server starts; what the user
    // clicks meanwhile waits until the page is on its way.
    if (m_process->state() != QProcess::NotRunning)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    // Anything later on stdout is of no interest, and must not pile up.
    m_process->closeReadChannel(QProcess::StandardOutput);

    if (listening)
        return;
    m_errors += m_process->readAllStandardError();
    QString why;
    if (m_process->error() == QProcess::FailedToStart)
        why = tr("网站程序 %1 无法运行（%2）。").arg(program, m_process->errorString());
    else if (m_process->state() != QProcess::NotRunning)
        why = tr("网站程序在 %1 秒内没有准备好。").arg(StartTimeoutMs / 1000);
    else if (m_errors.contains("cannot listen"))
        why = tr("端口 %1 已被另一个程序占用。").arg(m_port);
    else if (m_errors.contains("site folder"))
        why = tr("网站文件缺失。");
    else
        why = tr("网站程序意外退出。");
    stop();
    throw Exception(failureMessage(why));
}

QString TSiteServer::failureMessage(const QString &why) const
{
    QString message = tr("无法启动学习网站（%1:%2）：%3").arg(m_host).arg(m_port).arg(why);
    const QString details = QString::fromLocal8Bit(m_errors).trimmed();
    if (!details.isEmpty())
        message += QLatin1Char('\n') + details;
    return message;
}

void TSiteServer::stop()
{
    if (!m_process)
        return;
    m_process->disconnect(this);
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
    delete m_process;
    m_process = nullptr;
}
