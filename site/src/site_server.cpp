#include "site_server.h"

#include "http_headers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace fs = std::filesystem;

namespace qcy {

struct SiteServer::Connection {
    // A descriptor of our own for the socket, so that the watchdog can
    // shut it down without racing the library closing and reusing its own.
    int watchFd = -1;
    // Steady-clock milliseconds by which a request head must be in; 0 when
    // none is awaited (a request is being handled or answered).
    std::atomic<int64_t> headDeadline{0};
    std::string client; // for the access log
    std::string target; // as it arrived, still percent-encoded
    bool started = false;
    bool responded = false;
    size_t bodyBytes = 0;
    bool speechWaiting = false;
    std::shared_ptr<const SpokenWord> spoken;

    void beginRequest(const char *uri)
    {
        target = uri ? uri : "";
        started = responded = speechWaiting = false;
        bodyBytes = 0;
        spoken.reset();
    }
};

namespace {

int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Words of the site are short; anything longer is not a word of it.
constexpr size_t kMaxWordBytes = 48;

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
    case 503:
        title = "暂时无法提供";
        text = "服务器现在忙不过来，或者读音功能不可用，请稍后再试。";
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

std::string clientAddress(MHD_Connection *connection)
{
    const MHD_ConnectionInfo *info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (!info || !info->client_addr)
        return "-";
    char buf[INET6_ADDRSTRLEN] = "-";
    const sockaddr *sa = info->client_addr;
    if (sa->sa_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in *>(sa)->sin_addr, buf, sizeof buf);
    else if (sa->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6 *>(sa)->sin6_addr, buf, sizeof buf);
    return buf;
}

const char *header(MHD_Connection *connection, const char *name)
{
    return MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
}

// The validators of the representation about to be sent against the
// request's conditions; If-None-Match, when present, decides alone.
bool notModified(MHD_Connection *connection, const std::string &etag, std::time_t modified)
{
    if (const char *inm = header(connection, "If-None-Match"))
        return etagListMatches(inm, etag);
    if (const char *ims = header(connection, "If-Modified-Since")) {
        const auto since = parseHttpDate(ims);
        return since && modified <= *since;
    }
    return false;
}

// The value of the one `name` parameter of a query string; nullopt when it
// is missing, repeated or badly encoded.
std::optional<std::string> queryParameter(const std::string &target, const std::string &name)
{
    const size_t q = target.find('?');
    if (q == std::string::npos)
        return std::nullopt;
    std::string query = target.substr(q + 1, target.find('#', q) - q - 1);
    std::optional<std::string> found;
    size_t pos = 0;
    while (pos <= query.size()) {
        size_t amp = query.find('&', pos);
        if (amp == std::string::npos)
            amp = query.size();
        std::string item = query.substr(pos, amp - pos);
        const size_t eq = item.find('=');
        if (item.substr(0, eq) == name) {
            if (found)
                return std::nullopt;
            std::string value = eq == std::string::npos ? std::string() : item.substr(eq + 1);
            for (char &c : value) {
                if (c == '+')
                    c = ' ';
            }
            auto decoded = percentDecode(value);
            if (!decoded)
                return std::nullopt;
            found = std::move(*decoded);
        }
        pos = amp + 1;
    }
    return found;
}

bool looksLikeAWord(const std::string &w)
{
    if (w.empty() || w.size() > kMaxWordBytes)
        return false;
    for (unsigned char c : w) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && c != '\'' && c != '-' && c != ' ' && c != '.')
            return false;
    }
    return true;
}

} // namespace

SiteServer::SiteServer(const SiteFolder &site, Settings settings)
    : site_(site)
    , settings_(settings)
    , words_(site.root() / "data" / "words.json")
{
}

SiteServer::~SiteServer()
{
    stop();
}

bool SiteServer::start()
{
    speech_.start();
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME
        | MHD_USE_NO_LISTEN_SOCKET;
    if (settings_.ipv6)
        flags |= MHD_USE_IPv6;
    MHD_OptionItem options[] = {
        // The acceptor keeps the real limit. The library splits its own
        // among its threads, and any one of them may be handed them all.
        {MHD_OPTION_CONNECTION_LIMIT, (settings_.maxConnections + 16) * std::max(1u, settings_.threads), nullptr},
        {MHD_OPTION_CONNECTION_TIMEOUT, settings_.idleSeconds, nullptr},
        {MHD_OPTION_URI_LOG_CALLBACK, reinterpret_cast<intptr_t>(&SiteServer::onRequestLine), this},
        {MHD_OPTION_NOTIFY_CONNECTION, reinterpret_cast<intptr_t>(&SiteServer::onConnection), this},
        {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(&SiteServer::onCompleted), this},
        {settings_.threads > 1 ? MHD_OPTION_THREAD_POOL_SIZE : MHD_OPTION_END, settings_.threads, nullptr},
        {MHD_OPTION_END, 0, nullptr},
    };
    daemon_ = MHD_start_daemon(flags, 0, nullptr, nullptr, &SiteServer::onRequest, this, MHD_OPTION_ARRAY,
                               options, MHD_OPTION_END);
    if (!daemon_) {
        speech_.stop();
        return false;
    }
    acceptor_ = std::thread(&SiteServer::acceptLoop, this);
    warmer_ = std::thread(&SiteServer::warmCache, this);
    watchdog_ = std::thread(&SiteServer::watchDeadlines, this);
    return true;
}

void SiteServer::warmCache()
{
    // Half the cache at most, leaving room for what visitors ask for.
    const size_t budget = FileCache::Limits{}.maxBytes / 2;
    size_t taken = 0;
    std::error_code ec;
    fs::recursive_directory_iterator it(site_.root(), fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator() && !stopping_ && taken < budget; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!name.empty() && name.front() == '.') {
            it.disable_recursion_pending(); // never served, never kept
            continue;
        }
        // Symlinks are left to requests, which check where they lead.
        if (!it->is_regular_file(ec) || it->is_symlink(ec))
            continue;
        const FileCache::Result got = files_.get(it->path());
        if (got.file)
            taken += got.file->memoryBytes();
    }
    if (!stopping_)
        words_.preload();
}

void SiteServer::watchDeadlines()
{
    std::unique_lock<std::mutex> lock(watchMutex_);
    while (!stopping_) {
        watchWake_.wait_for(lock, std::chrono::milliseconds(250));
        const int64_t now = nowMs();
        for (Connection *conn : watched_) {
            const int64_t deadline = conn->headDeadline.load();
            if (deadline != 0 && now > deadline) {
                conn->headDeadline = 0;
                // The library then reads end-of-file and closes it.
                shutdown(conn->watchFd, SHUT_RDWR);
            }
        }
    }
}

void SiteServer::stop()
{
    {
        const std::lock_guard<std::mutex> lock(watchMutex_);
        stopping_ = true;
    }
    watchWake_.notify_all();
    if (watchdog_.joinable())
        watchdog_.join();
    if (warmer_.joinable())
        warmer_.join();
    if (acceptor_.joinable()) {
        // Wakes the blocking accept().
        shutdown(settings_.listenFd, SHUT_RDWR);
        acceptor_.join();
    }
    if (settings_.listenFd >= 0) {
        close(settings_.listenFd);
        settings_.listenFd = -1;
    }
    // The speech worker resumes connections it holds; it must be gone
    // before the daemon frees them.
    speech_.stop();
    if (daemon_) {
        MHD_stop_daemon(daemon_);
        daemon_ = nullptr;
    }
}

void SiteServer::acceptLoop()
{
    static const std::string kBody = "服务器连接已满，请稍后再试。\n";
    static const std::string kFull = "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; charset=utf-8\r\n"
                                     "Content-Length: " + std::to_string(kBody.size())
        + "\r\nConnection: close\r\n\r\n" + kBody;
    const int blocking = fcntl(settings_.listenFd, F_GETFL);
    fcntl(settings_.listenFd, F_SETFL, blocking & ~O_NONBLOCK);
    while (!stopping_) {
        sockaddr_storage addr{};
        socklen_t len = sizeof addr;
        const int fd = accept4(settings_.listenFd, reinterpret_cast<sockaddr *>(&addr), &len, SOCK_CLOEXEC);
        if (fd < 0) {
            if (stopping_)
                break;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                std::this_thread::sleep_for(std::chrono::milliseconds(10)); // let connections close
            continue;
        }
        if (open_.load() >= static_cast<int>(settings_.maxConnections)) {
            [[maybe_unused]] const ssize_t n = ::send(fd, kFull.data(), kFull.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            close(fd);
            continue;
        }
        // Headers and body leave at once, whatever the client acknowledges.
        const int yes = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        ++open_;
        if (MHD_add_connection(daemon_, fd, reinterpret_cast<sockaddr *>(&addr), len) != MHD_YES)
            --open_; // the library has closed it
    }
}

void SiteServer::onConnection(void *cls, MHD_Connection *connection, void **socketContext,
                              MHD_ConnectionNotificationCode code)
{
    auto *self = static_cast<SiteServer *>(cls);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        auto *conn = new Connection;
        conn->client = clientAddress(connection);
        const MHD_ConnectionInfo *info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        if (info)
            conn->watchFd = fcntl(info->connect_fd, F_DUPFD_CLOEXEC, 0);
        conn->headDeadline = nowMs() + 1000 * int64_t{self->settings_.requestSeconds};
        if (conn->watchFd >= 0) {
            const std::lock_guard<std::mutex> lock(self->watchMutex_);
            self->watched_.insert(conn);
        }
        *socketContext = conn;
    } else {
        auto *conn = static_cast<Connection *>(*socketContext);
        *socketContext = nullptr;
        if (conn) {
            {
                const std::lock_guard<std::mutex> lock(self->watchMutex_);
                self->watched_.erase(conn);
            }
            if (conn->watchFd >= 0)
                close(conn->watchFd);
            delete conn;
        }
        --self->open_;
    }
}

void SiteServer::onCompleted(void *cls, MHD_Connection *, void **state, MHD_RequestTerminationCode)
{
    // The clock for the next request head starts with this answer sent.
    auto *self = static_cast<SiteServer *>(cls);
    if (auto *conn = static_cast<Connection *>(*state))
        conn->headDeadline = nowMs() + 1000 * int64_t{self->settings_.requestSeconds};
}

void *SiteServer::onRequestLine(void *, const char *uri, MHD_Connection *connection)
{
    const MHD_ConnectionInfo *info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    auto *conn = info ? static_cast<Connection *>(info->socket_context) : nullptr;
    if (conn)
        conn->beginRequest(uri);
    return conn;
}

MHD_Result SiteServer::onRequest(void *cls, MHD_Connection *connection, const char *, const char *method,
                                 const char *, const char *, size_t *uploadSize, void **state)
{
    auto *self = static_cast<SiteServer *>(cls);
    auto *conn = static_cast<Connection *>(*state);
    if (!conn)
        return MHD_NO;
    const std::string verb = method ? method : "";

    if (conn->speechWaiting)
        return self->finishSpeech(*conn, connection, verb);
    if (!conn->started) {
        conn->headDeadline = 0; // the head is in
        // Answered on the next call, once the whole request (body and all)
        // is in: a response queued earlier makes the library close the
        // connection, as it could not tell where the next request starts.
        conn->started = true;
        return MHD_YES;
    }
    if (*uploadSize > 0) {
        conn->bodyBytes += *uploadSize;
        *uploadSize = 0;
        if (conn->bodyBytes > kMaxBody && !conn->responded)
            return self->sendError(*conn, connection, verb, 413);
        return MHD_YES;
    }
    if (conn->responded)
        return MHD_YES;
    return self->respond(*conn, connection, verb);
}

MHD_Result SiteServer::respond(Connection &conn, MHD_Connection *connection, const std::string &method)
{
    if (method != "GET" && method != "HEAD")
        return sendError(conn, connection, method, 405);
    const std::string path = conn.target.substr(0, conn.target.find_first_of("?#"));
    if (path == "/speech")
        return serveSpeech(conn, connection, method);

    const Lookup found = site_.lookup(conn.target);
    switch (found.kind) {
    case Lookup::Kind::Redirect: {
        MHD_Response *r = MHD_create_response_from_buffer(0, const_cast<char *>(""), MHD_RESPMEM_PERSISTENT);
        addCommonHeaders(r);
        MHD_add_response_header(r, "Location", found.location.c_str());
        const MHD_Result ok = send(conn, connection, method, 301, r, 0);
        MHD_destroy_response(r);
        return ok;
    }
    case Lookup::Kind::File:
        return serveFile(conn, connection, method, found.file);
    case Lookup::Kind::NotFound:
        break;
    }
    return sendError(conn, connection, method, 404);
}

MHD_Result SiteServer::serveFile(Connection &conn, MHD_Connection *connection, const std::string &method,
                                 const fs::path &file)
{
    const FileCache::Result got = files_.get(file);
    if (got.status == FileCache::Status::TooLarge)
        return serveLargeFile(conn, connection, method, file);
    if (got.status != FileCache::Status::Cached)
        return sendError(conn, connection, method, 404);

    const CachedFile::Variant *variant = &got.file->plain();
    if (const CachedFile::Variant *gz = got.file->gzip()) {
        const char *accept = header(connection, "Accept-Encoding");
        if (accept && acceptsGzip(accept))
            variant = gz;
    }
    if (notModified(connection, variant->etag, got.file->modified()))
        return send(conn, connection, method, 304, variant->notModified, 0);
    return send(conn, connection, method, 200, variant->full, variant->size);
}

// Too big to keep in memory: straight from disk, validated by its stamp.
MHD_Result SiteServer::serveLargeFile(Connection &conn, MHD_Connection *connection, const std::string &method,
                                      const fs::path &file)
{
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0)
            close(fd);
        return sendError(conn, connection, method, 404);
    }
    char etag[64];
    std::snprintf(etag, sizeof etag, "\"%llx-%llx.%lx\"", static_cast<unsigned long long>(st.st_size),
                  static_cast<unsigned long long>(st.st_mtim.tv_sec), static_cast<long>(st.st_mtim.tv_nsec));
    const bool unchanged = notModified(connection, etag, st.st_mtim.tv_sec);
    MHD_Response *r = unchanged
        ? MHD_create_response_from_buffer(0, const_cast<char *>(""), MHD_RESPMEM_PERSISTENT)
        : MHD_create_response_from_fd(static_cast<size_t>(st.st_size), fd);
    if (unchanged)
        close(fd);
    addCommonHeaders(r);
    MHD_add_response_header(r, "Cache-Control", "no-cache");
    MHD_add_response_header(r, "ETag", etag);
    MHD_add_response_header(r, "Last-Modified", formatHttpDate(st.st_mtim.tv_sec).c_str());
    if (!unchanged)
        MHD_add_response_header(r, "Content-Type", contentTypeFor(file).c_str());
    const MHD_Result ok = send(conn, connection, method, unchanged ? 304 : 200, r,
                               unchanged ? 0 : static_cast<size_t>(st.st_size));
    MHD_destroy_response(r);
    return ok;
}

MHD_Result SiteServer::serveSpeech(Connection &conn, MHD_Connection *connection, const std::string &method)
{
    const auto word = queryParameter(conn.target, "w");
    if (!word || !looksLikeAWord(*word))
        return sendError(conn, connection, method, 400);
    if (!words_.contains(*word))
        return sendError(conn, connection, method, 404);

    Connection *waiting = &conn;
    std::shared_ptr<const SpokenWord> spoken;
    const auto outcome = speech_.request(
        *word, spoken,
        [connection, waiting] {
            MHD_suspend_connection(connection);
            waiting->speechWaiting = true;
        },
        [connection, waiting](std::shared_ptr<const SpokenWord> result) {
            waiting->spoken = std::move(result);
            MHD_resume_connection(connection);
        });
    switch (outcome) {
    case SpeechService::Outcome::Ready:
        return send(conn, connection, method, 200, spoken->response(), spoken->size());
    case SpeechService::Outcome::Queued:
        return MHD_YES;
    case SpeechService::Outcome::Busy:
    case SpeechService::Outcome::Unavailable:
        break;
    }
    return sendError(conn, connection, method, 503);
}

MHD_Result SiteServer::finishSpeech(Connection &conn, MHD_Connection *connection, const std::string &method)
{
    conn.speechWaiting = false;
    if (!conn.spoken)
        return sendError(conn, connection, method, 503);
    const auto spoken = std::move(conn.spoken);
    return send(conn, connection, method, 200, spoken->response(), spoken->size());
}

MHD_Result SiteServer::sendError(Connection &conn, MHD_Connection *connection, const std::string &method, int status)
{
    const std::string page = errorPage(status, conn.target);
    MHD_Response *r = MHD_create_response_from_buffer(page.size(), const_cast<char *>(page.data()),
                                                      MHD_RESPMEM_MUST_COPY);
    addCommonHeaders(r);
    MHD_add_response_header(r, "Content-Type", "text/html; charset=utf-8");
    MHD_add_response_header(r, "Cache-Control", "no-cache");
    if (status == 405)
        MHD_add_response_header(r, "Allow", "GET, HEAD");
    const MHD_Result ok = send(conn, connection, method, status, r, page.size());
    MHD_destroy_response(r);
    return ok;
}

MHD_Result SiteServer::send(Connection &conn, MHD_Connection *connection, const std::string &method, int status,
                            MHD_Response *response, size_t bodyBytes)
{
    conn.responded = true;
    // One write per line: lines of parallel requests never interleave.
    const std::string line = conn.client + " " + (method.empty() ? "-" : printable(method)) + " "
        + printable(conn.target) + " " + std::to_string(status) + " "
        + std::to_string(method == "HEAD" ? 0 : bodyBytes) + "\n";
    [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, line.data(), line.size());
    return MHD_queue_response(connection, static_cast<unsigned>(status), response);
}

} // namespace qcy
