// qingchuanye-site: serves the local learning site to the desktop program.

#include "site_files.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char *kProgram = "qingchuanye-site";
constexpr int kDefaultPort = 8470;
constexpr const char *kDefaultBind = "127.0.0.1";
// The embedded browser keeps several connections open per page; enough
// workers that idle keep-alive connections cannot starve new ones.
constexpr size_t kWorkers = 32;

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

// httplib reports a failed bind without a reason; redo it to find out why.
std::string bindFailureReason(const std::string &host, int port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo *res = nullptr;
    const std::string service = std::to_string(port);
    const int gai = getaddrinfo(host.c_str(), service.c_str(), &hints, &res);
    if (gai != 0)
        return std::string("cannot resolve address: ") + gai_strerror(gai);
    std::string reason = "unknown error";
    for (addrinfo *ai = res; ai; ai = ai->ai_next) {
        const int fd = socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
        if (fd < 0) {
            reason = std::strerror(errno);
            continue;
        }
        const int yes = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (bind(fd, ai->ai_addr, ai->ai_addrlen) != 0 || listen(fd, 1) != 0) {
            reason = std::strerror(errno);
            if (errno == EADDRINUSE)
                reason += " (another program is using this port)";
        }
        close(fd);
    }
    freeaddrinfo(res);
    return reason;
}

std::string urlHost(const std::string &host)
{
    return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

// Request targets go to the log verbatim apart from bytes that could forge
// log lines or confuse a terminal.
std::string printable(const std::string &s)
{
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x20 || c == 0x7f) {
            char buf[5];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

std::string htmlEscape(const std::string &s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out.push_back(c);
        }
    }
    return out;
}

// The way back to the home page from any path, relative so that it works
// under every base address: "/a/b/c" is two folders deep, so "../../".
std::string homeLinkFor(const std::string &target)
{
    const std::string path = target.substr(0, target.find_first_of("?#"));
    size_t depth = 0;
    for (size_t i = 1; i < path.size(); ++i) {
        if (path[i] == '/')
            ++depth;
    }
    std::string link;
    for (size_t i = 0; i < depth; ++i)
        link += "../";
    return link.empty() ? "./" : link;
}

std::string errorPage(int status, const std::string &target)
{
    std::string title;
    std::string text;
    switch (status) {
    case 404:
        title = "找不到这个页面";
        text = "你要找的页面不存在，可能是地址输错了，或者页面已经搬走了。";
        break;
    case 405:
        title = "不支持这种请求";
        text = "这个网站只提供浏览（GET 和 HEAD 请求）。";
        break;
    case 413:
        title = "请求太大";
        text = "发送的数据太多，服务器没有处理。";
        break;
    default:
        title = "请求出错";
        text = "服务器无法处理这个请求。";
        break;
    }
    const std::string home = htmlEscape(homeLinkFor(target));
    return "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<title>" + title + " - 晴川叶</title>"
           "<link rel=\"icon\" href=\"" + home + "img/logo.svg\" type=\"image/svg+xml\">"
           "<style>body{font-family:\"Noto Sans CJK SC\",\"Noto Sans SC\",\"Microsoft YaHei\",sans-serif;"
           "margin:0;min-height:100vh;display:flex;align-items:center;justify-content:center;"
           "background:#f3f8f4;color:#24332a}main{max-width:28em;padding:1.5em;text-align:center}"
           "h1{font-size:1.4em;color:#2f7d4f;margin:.2em 0}p{line-height:1.6}"
           "a{display:inline-block;margin-top:.6em;padding:.45em 1.2em;border-radius:999px;"
           "background:#2f7d4f;color:#fff;text-decoration:none}</style></head>"
           "<body><main><p style=\"font-size:2.4em;margin:0\">" + std::to_string(status) + "</p>"
           "<h1>" + title + "</h1><p>" + text + "</p>"
           "<a href=\"" + home + "\">返回晴川叶首页</a></main></body></html>\n";
}

bool readWholeFile(const fs::path &file, std::string &out)
{
    // O_NOFOLLOW: the path was canonical when checked; a symlink swapped in
    // since then must not be followed out of the site.
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    out.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = read(fd, &out[done], out.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    close(fd);
    out.resize(done);
    return true;
}

void setError(httplib::Response &res, int status, const std::string &target)
{
    res.status = status;
    res.set_content(errorPage(status, target), "text/html; charset=utf-8");
}

void methodNotAllowed(const httplib::Request &req, httplib::Response &res)
{
    res.set_header("Allow", "GET, HEAD");
    setError(res, 405, req.target);
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
    // inherits the mask and only the waiting thread below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    sigaddset(&stopSignals, SIGUSR1); // internal: the server ended by itself
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    httplib::Server server;
    server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    // httplib's default adds SO_REUSEPORT, which would let a second server
    // share a port already in use instead of failing.
    server.set_socket_options([](socket_t sock) {
        const int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    // httplib closes a connection after 5 requests by default; a page and
    // its assets come over a handful of connections, so allow more.
    server.set_keep_alive_max_count(100);
    server.set_keep_alive_timeout(2);
    server.set_read_timeout(5);
    server.set_write_timeout(5);
    server.set_payload_max_length(64 * 1024);
    server.set_default_headers({
        {"X-Content-Type-Options", "nosniff"},
        {"Cache-Control", "no-cache"},
        {"Referrer-Policy", "no-referrer"},
    });

    std::mutex logMutex;
    server.set_logger([&logMutex](const httplib::Request &req, const httplib::Response &res) {
        const size_t bytes = req.method == "HEAD" ? 0 : res.body.size();
        const std::lock_guard<std::mutex> lock(logMutex);
        std::fprintf(stderr, "%s %s %s %d %zu\n", req.remote_addr.empty() ? "-" : req.remote_addr.c_str(),
                     req.method.empty() ? "-" : printable(req.method).c_str(),
                     printable(req.target).c_str(), res.status, bytes);
    });

    // httplib itself answers malformed requests; give them a body too.
    server.set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request &req, httplib::Response &res) {
            if (!res.body.empty())
                return httplib::Server::HandlerResponse::Unhandled;
            setError(res, res.status, req.target);
            return httplib::Server::HandlerResponse::Handled;
        }));

    // Other methods are refused here unless they carry a body that httplib
    // reads before dispatching (POST, PUT, PATCH, DELETE): those go to the
    // handlers below. Refusing a bodiless POST here also keeps httplib from
    // waiting for a body until the read timeout, and methods without a
    // handler table (TRACE, OPTIONS …) from getting a 400.
    server.set_pre_routing_handler([](const httplib::Request &req, httplib::Response &res) {
        if (req.method == "GET" || req.method == "HEAD")
            return httplib::Server::HandlerResponse::Unhandled;
        const bool bodyIsRead = req.method == "POST" || req.method == "PUT" || req.method == "PATCH"
            || req.method == "DELETE";
        const bool hasBody = req.has_header("Transfer-Encoding")
            || (req.has_header("Content-Length") && req.get_header_value("Content-Length") != "0");
        if (bodyIsRead && hasBody)
            return httplib::Server::HandlerResponse::Unhandled;
        methodNotAllowed(req, res);
        return httplib::Server::HandlerResponse::Handled;
    });

    // Refused only after httplib has read the body, so the connection stays
    // in step for the next request on it.
    server.Post(".*", methodNotAllowed);
    server.Put(".*", methodNotAllowed);
    server.Patch(".*", methodNotAllowed);
    server.Delete(".*", methodNotAllowed);

    // Also answers HEAD: httplib runs the GET handler and drops the body.
    server.Get(".*", [&site](const httplib::Request &req, httplib::Response &res) {
        const qcy::Lookup found = site->lookup(req.target);
        switch (found.kind) {
        case qcy::Lookup::Kind::Redirect:
            res.status = 301;
            res.set_header("Location", found.location);
            return;
        case qcy::Lookup::Kind::File: {
            std::string body;
            if (readWholeFile(found.file, body)) {
                res.status = 200;
                res.set_content(body, qcy::contentTypeFor(found.file));
                return;
            }
            break;
        }
        case qcy::Lookup::Kind::NotFound:
            break;
        }
        setError(res, 404, req.target);
    });

    int port = opts.port;
    bool bound = false;
    if (port == 0) {
        port = server.bind_to_any_port(opts.bind);
        bound = port > 0;
    } else {
        bound = server.bind_to_port(opts.bind, port);
    }
    if (!bound) {
        std::fprintf(stderr, "%s: cannot listen on %s port %d: %s\n", kProgram, opts.bind.c_str(), opts.port,
                     bindFailureReason(opts.bind, opts.port).c_str());
        return 1;
    }

    std::fprintf(stderr, "%s: serving %s\n", kProgram, site->root().c_str());
    std::fprintf(stdout, "listening on http://%s:%d/\n", urlHost(opts.bind).c_str(), port);
    std::fflush(stdout);

    std::atomic<bool> stopRequested{false};
    std::atomic<bool> serverDone{false};
    std::thread signalWaiter([&] {
        int sig = 0;
        sigwait(&stopSignals, &sig);
        if (sig == SIGUSR1)
            return;
        stopRequested = true;
        // stop() is a no-op until the accept loop has started, so keep asking
        // until the loop has actually ended.
        while (!serverDone) {
            server.stop();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });

    server.listen_after_bind();
    serverDone = true;
    if (!stopRequested)
        pthread_kill(signalWaiter.native_handle(), SIGUSR1);
    signalWaiter.join();

    if (!stopRequested) {
        std::fprintf(stderr, "%s: the server stopped unexpectedly\n", kProgram);
        return 1;
    }
    std::fprintf(stderr, "%s: stopped\n", kProgram);
    return 0;
}
