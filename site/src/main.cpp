// qingchuanye-site: serves the local learning site to the desktop program.

#include "site_files.h"

#include "site_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char *kProgram = "qingchuanye-site";
constexpr int kDefaultPort = 8470;
constexpr const char *kDefaultBind = "127.0.0.1";
// One epoll thread per core serves any number of connections; idle or
// slow ones cost memory, not a thread. The limits are in site/README.md.
constexpr unsigned kMaxThreads = 4;
constexpr unsigned kMaxConnections = 512;
constexpr unsigned kIdleSeconds = 10;

void printUsage(FILE *out)
{
    std::fprintf(out,
                 "Usage: %s [--port N] [--bind ADDR] [--root DIR]\n"
                 "Serves the 晴川叶 learning site.\n"
                 "\n"
                 "  --port N     TCP port (default %d; 0 picks a free port)\n"
                 "  --bind ADDR  address to listen on (default %s)\n"
                 "  --root DIR   site folder (default: the installed or source copy)\n"
                 "  --help       show this help\n"
                 "\n"
                 "Prints \"listening on http://ADDR:PORT/\" once ready; stops on SIGINT or SIGTERM.\n",
                 kProgram, kDefaultPort, kDefaultBind);
}

struct Options {
    int port = kDefaultPort;
    std::string bind = kDefaultBind;
    std::optional<fs::path> root;
};

[[noreturn]] void usageError(const std::string &message)
{
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", kProgram, message.c_str(), kProgram);
    std::exit(2);
}

std::optional<int> parsePort(const std::string &s)
{
    if (s.empty() || s.size() > 5)
        return std::nullopt;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v > 65535)
        return std::nullopt;
    return v;
}

Options parseOptions(int argc, char **argv)
{
    Options opts;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (arg.rfind("--", 0) == 0) {
            const size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                hasValue = true;
            }
        }
        if (arg == "--help" || arg == "-h") {
            if (hasValue)
                usageError("--help takes no value");
            printUsage(stdout);
            std::exit(0);
        }
        if (arg != "--port" && arg != "--bind" && arg != "--root")
            usageError("unknown option '" + std::string(argv[i]) + "'");
        if (!hasValue) {
            if (i + 1 >= argc)
                usageError(arg + " needs a value");
            value = argv[++i];
        }
        if (arg == "--port") {
            const auto port = parsePort(value);
            if (!port)
                usageError("--port wants a number from 0 to 65535, got '" + value + "'");
            opts.port = *port;
        } else if (arg == "--bind") {
            if (value.empty())
                usageError("--bind needs an address");
            opts.bind = value;
        } else {
            if (value.empty())
                usageError("--root needs a folder");
            opts.root = fs::path(value);
        }
    }
    return opts;
}

fs::path executableDir()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path() : exe.parent_path();
}

// The installed layout first, so an installed binary never serves a stale
// source tree; then the source folder, for running from the build tree.
std::optional<fs::path> findDefaultRoot(std::vector<fs::path> &tried)
{
    tried = {executableDir() / QCY_INSTALLED_ROOT_FROM_BINDIR, fs::path(QCY_SOURCE_ROOT)};
    for (const auto &dir : tried) {
        std::error_code ec;
        if (fs::is_directory(dir, ec))
            return dir;
    }
    return std::nullopt;
}

struct Listener {
    int fd = -1;
    int port = 0;
    bool ipv6 = false;
    std::string error;
};

// The listening socket is ours, not the library's: a taken port must fail
// (no SO_REUSEPORT sharing), with the reason, and port 0 must tell which
// port it got.
Listener openListener(const std::string &host, int port)
{
    Listener l;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *res = nullptr;
    const std::string service = std::to_string(port);
    const int gai = getaddrinfo(host.c_str(), service.c_str(), &hints, &res);
    if (gai != 0) {
        l.error = std::string("cannot resolve address: ") + gai_strerror(gai);
        return l;
    }
    l.error = "no usable address";
    for (addrinfo *ai = res; ai; ai = ai->ai_next) {
        const int fd = socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
        if (fd < 0) {
            l.error = std::strerror(errno);
            continue;
        }
        const int yes = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (bind(fd, ai->ai_addr, ai->ai_addrlen) != 0 || listen(fd, SOMAXCONN) != 0) {
            l.error = std::strerror(errno);
            if (errno == EADDRINUSE)
                l.error += " (another program is using this port)";
            close(fd);
            continue;
        }
        sockaddr_storage addr{};
        socklen_t len = sizeof addr;
        getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
        l.ipv6 = addr.ss_family == AF_INET6;
        l.port = ntohs(l.ipv6 ? reinterpret_cast<sockaddr_in6 *>(&addr)->sin6_port
                              : reinterpret_cast<sockaddr_in *>(&addr)->sin_port);
        l.fd = fd;
        l.error.clear();
        break;
    }
    freeaddrinfo(res);
    return l;
}

std::string urlHost(const std::string &host)
{
    return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

// Room for every connection the server may hold, and the files it opens.
void raiseFileLimit(rlim_t wanted)
{
    rlimit lim{};
    if (getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur < wanted) {
        lim.rlim_cur = std::min(wanted, lim.rlim_max);
        setrlimit(RLIMIT_NOFILE, &lim);
    }
}

} // namespace

int main(int argc, char **argv)
{
    const Options opts = parseOptions(argc, argv);

    fs::path rootDir;
    if (opts.root) {
        std::error_code ec;
        if (!fs::is_directory(*opts.root, ec)) {
            std::fprintf(stderr, "%s: site folder '%s' does not exist or is not a folder\n", kProgram,
                         opts.root->c_str());
            return 1;
        }
        rootDir = *opts.root;
    } else {
        std::vector<fs::path> tried;
        const auto found = findDefaultRoot(tried);
        if (!found) {
            std::fprintf(stderr, "%s: no site folder found; looked in:\n", kProgram);
            for (const auto &t : tried)
                std::fprintf(stderr, "  %s\n", t.c_str());
            std::fprintf(stderr, "Pass one with --root DIR.\n");
            return 1;
        }
        rootDir = *found;
    }

    std::optional<qcy::SiteFolder> site;
    try {
        site.emplace(rootDir);
    } catch (const fs::filesystem_error &e) {
        std::fprintf(stderr, "%s: cannot use site folder '%s': %s\n", kProgram, rootDir.c_str(),
                     e.code().message().c_str());
        return 1;
    }

    // Block the stop signals before any thread exists so that every thread
    // inherits the mask and only the waiting below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Listener listener = openListener(opts.bind, opts.port);
    if (listener.fd < 0) {
        std::fprintf(stderr, "%s: cannot listen on %s port %d: %s\n", kProgram, opts.bind.c_str(), opts.port,
                     listener.error.c_str());
        return 1;
    }

    qcy::SiteServer::Settings settings;
    settings.listenFd = listener.fd;
    settings.ipv6 = listener.ipv6;
    settings.threads = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxThreads);
    settings.maxConnections = kMaxConnections;
    settings.idleSeconds = kIdleSeconds;
    settings.requestSeconds = kIdleSeconds;
    // Two descriptors a connection: the library's and the watchdog's.
    raiseFileLimit(2 * kMaxConnections + 256);
    qcy::SiteServer server(*site, settings);
    if (!server.start()) {
        std::fprintf(stderr, "%s: cannot start the HTTP server: %s\n", kProgram, std::strerror(errno));
        return 1;
    }

    std::fprintf(stderr, "%s: serving %s\n", kProgram, site->root().c_str());
    std::fprintf(stdout, "listening on http://%s:%d/\n", urlHost(opts.bind).c_str(), listener.port);
    std::fflush(stdout);

    int sig = 0;
    sigwait(&stopSignals, &sig);
    server.stop();
    std::fprintf(stderr, "%s: stopped\n", kProgram);
    return 0;
}
