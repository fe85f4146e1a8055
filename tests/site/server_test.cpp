// Drives the real qingchuanye-site binary over real sockets on 127.0.0.1.
// Requests are written by hand so that targets reach the server exactly as
// written here (no client-side normalisation of "..", "%2f" and the like).

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <zlib.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <regex>
#include <sstream>
#include <tuple>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const fs::path kServer = QCY_SERVER_BINARY;
const fs::path kSiteRoot = QCY_SITE_ROOT;

std::string readFile(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const fs::path &p, const std::string &text)
{
    std::ofstream out(p, std::ios::binary);
    out << text;
}

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "qcy-site-test-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path &path() const { return path_; }

private:
    fs::path path_;
};

// One run of the server binary with stdout on a pipe (for the listening
// line) and stderr in a file (for messages and the access log).
class ServerProcess {
public:
    explicit ServerProcess(std::vector<std::string> args, const fs::path &binary = kServer)
        : stderrFile_(logDir_.path() / "stderr.txt")
    {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        pid_ = fork();
        if (pid_ < 0)
            throw std::runtime_error("fork failed");
        if (pid_ == 0) {
            const int err = open(stderrFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out[1], STDOUT_FILENO);
            dup2(err, STDERR_FILENO);
            std::vector<char *> argv;
            std::string bin = binary.string();
            argv.push_back(bin.data());
            for (auto &a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(bin.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        stdoutFd_ = out[0];
    }

    ~ServerProcess()
    {
        if (running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (stdoutFd_ >= 0)
            close(stdoutFd_);
    }

    // The first stdout line, or nullopt if the process closed stdout (exited)
    // or said nothing in time.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout = 5000ms)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (true) {
            const size_t nl = stdoutBuf_.find('\n');
            if (nl != std::string::npos) {
                std::string line = stdoutBuf_.substr(0, nl);
                stdoutBuf_.erase(0, nl + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return std::nullopt;
            pollfd p{stdoutFd_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return std::nullopt;
            char buf[512];
            const ssize_t n = read(stdoutFd_, buf, sizeof buf);
            if (n <= 0)
                return std::nullopt;
            stdoutBuf_.append(buf, static_cast<size_t>(n));
        }
    }

    // Waits for the listening line and returns the port it names.
    int waitListening()
    {
        const auto line = readLine();
        if (!line)
            throw std::runtime_error("server did not report listening; stderr: " + stderrText());
        static const std::regex re(R"(^listening on http://127\.0\.0\.1:(\d+)/$)");
        std::smatch m;
        if (!std::regex_match(*line, m, re))
            throw std::runtime_error("unexpected listening line: " + *line);
        port_ = std::stoi(m[1]);
        return port_;
    }

    // Exit status if the process ends within `timeout`; -1 for a signal
    // death, nullopt if it is still running.
    std::optional<int> waitExit(std::chrono::milliseconds timeout = 5000ms)
    {
        if (exitCode_)
            return exitCode_;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            const pid_t r = waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return exitCode_;
            }
            std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }

    void signal(int sig) { kill(pid_, sig); }
    bool running() { return !exitCode_ && !waitExit(0ms); }
    int port() const { return port_; }
    std::string stderrText() const { return readFile(stderrFile_); }

private:
    TempDir logDir_;
    fs::path stderrFile_;
    pid_t pid_ = -1;
    int stdoutFd_ = -1;
    std::string stdoutBuf_;
    std::optional<int> exitCode_;
    int port_ = 0;
};

struct Response {
    int status = 0;
    std::map<std::string, std::string> headers; // lower-cased names
    std::string body;                          // everything after the header block
    std::string header(const std::string &name) const
    {
        const auto it = headers.find(name);
        return it == headers.end() ? std::string() : it->second;
    }
};

int connectTo(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    timeval tv{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    return fd;
}

bool sendAll(int fd, const std::string &data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string readUntilClosed(int fd)
{
    std::string all;
    char buf[16384];
    while (true) {
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        all.append(buf, static_cast<size_t>(n));
    }
    return all;
}

// Splits a byte stream into consecutive responses; the body of each is
// taken by Content-Length (or, for the last, the rest), unless `noBody`.
std::vector<Response> parseResponses(const std::string &raw, bool noBody = false)
{
    std::vector<Response> out;
    size_t pos = 0;
    while (pos < raw.size()) {
        const size_t end = raw.find("\r\n\r\n", pos);
        if (end == std::string::npos)
            break;
        Response r;
        std::istringstream head(raw.substr(pos, end - pos));
        std::string line;
        std::getline(head, line);
        if (line.rfind("HTTP/1.", 0) != 0)
            break;
        r.status = std::stoi(line.substr(9, 3));
        while (std::getline(head, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const size_t colon = line.find(':');
            if (colon == std::string::npos)
                continue;
            std::string name = line.substr(0, colon);
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            r.headers[name] = value;
        }
        pos = end + 4;
        if (!noBody) {
            const std::string len = r.header("content-length");
            const size_t n = len.empty() ? raw.size() - pos : std::min<size_t>(std::stoul(len), raw.size() - pos);
            r.body = raw.substr(pos, n);
            pos += n;
        } else {
            r.body = raw.substr(pos);
            pos = raw.size();
        }
        out.push_back(std::move(r));
    }
    return out;
}

std::string requestText(const std::string &method, const std::string &target, const std::string &body = "",
                        bool close = true)
{
    std::string req = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    if (!body.empty())
        req += "Content-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
    if (close)
        req += "Connection: close\r\n";
    return req + "\r\n" + body;
}

// Sends raw bytes on a fresh connection and reads until the server closes it.
std::vector<Response> exchange(int port, const std::string &bytes, bool noBody = false)
{
    const int fd = connectTo(port);
    if (fd < 0)
        return {};
    sendAll(fd, bytes);
    const std::string raw = readUntilClosed(fd);
    close(fd);
    return parseResponses(raw, noBody);
}

Response request(int port, const std::string &method, const std::string &target, const std::string &body = "")
{
    auto rs = exchange(port, requestText(method, target, body), method == "HEAD");
    return rs.empty() ? Response{} : rs.front();
}

Response get(int port, const std::string &target) { return request(port, "GET", target); }

const std::string kHtml = "text/html; charset=utf-8";

// One server on the real site folder, shared by the tests that only read.
class Site : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server_ = new ServerProcess({"--port", "0", "--bind", "127.0.0.1", "--root", kSiteRoot.string()});
        port_ = server_->waitListening();
    }
    static void TearDownTestSuite()
    {
        delete server_;
        server_ = nullptr;
    }
    static ServerProcess *server_;
    static int port_;
};
ServerProcess *Site::server_ = nullptr;
int Site::port_ = 0;

TEST_F(Site, EveryPageAnswersWithItsContentTypeAndFile)
{
    struct Case {
        std::string target;
        std::string type;
        std::string file; // relative to the site folder
        std::string mustContain;
    };
    const std::vector<Case> cases = {
        {"/", kHtml, "index.html", "晴川叶"},
        {"/llk/", kHtml, "llk/index.html", "单词连连看"},
        {"/quicktest.php", kHtml, "quicktest.html", "快速测试"},
        {"/slowtest.php", kHtml, "slowtest.html", "详细测试"},
        {"/search.php", kHtml, "search.html", "id=\"q\""},
        {"/search.php?q=apple", kHtml, "search.html", "图文字典"},
        {"/css/site.css", "text/css; charset=utf-8", "css/site.css", "Noto Color Emoji"},
        {"/js/dictionary.js", "text/javascript; charset=utf-8", "js/dictionary.js", "export function search"},
        {"/js/search-page.js", "text/javascript; charset=utf-8", "js/search-page.js", "import"},
        {"/js/llk/page.js", "text/javascript; charset=utf-8", "js/llk/page.js", "import"},
        {"/css/llk.css", "text/css; charset=utf-8", "css/llk.css", ".tile"},
        {"/data/emoji.json", "application/json", "data/emoji.json", "\"entries\""},
        {"/data/words.json", "application/json", "data/words.json", "\"rows\""},
        {"/img/logo.svg", "image/svg+xml", "img/logo.svg", "<svg"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.target);
        const Response r = get(port_, c.target);
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.header("content-type"), c.type);
        EXPECT_EQ(r.body, readFile(kSiteRoot / c.file));
        EXPECT_NE(r.body.find(c.mustContain), std::string::npos);
    }
}

// What a browser requests for a relative link on a page in folder: the
// dot segments are resolved by the client, never sent.
std::string resolveRelative(const std::string &folder, const std::string &link)
{
    std::vector<std::string> parts;
    std::string path = folder + link, segment;
    std::istringstream in(path);
    while (std::getline(in, segment, '/')) {
        if (segment == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!segment.empty() && segment != ".") {
            parts.push_back(segment);
        }
    }
    std::string out;
    for (const auto &p : parts)
        out += "/" + p;
    if (out.empty() || path.back() == '/')
        out += "/";
    return out;
}

TEST_F(Site, ToolPagesLinkHomeAndAllTheirResourcesResolve)
{
    // Each tool page, the folder its relative links resolve against, and its
    // link back to the home page.
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"/llk/", "/llk/", "href=\"../\""},
        {"/quicktest.php", "/", "href=\"./\""},
        {"/slowtest.php", "/", "href=\"./\""},
        {"/search.php", "/", "href=\"./\""},
    };
    static const std::regex link(R"re((?:href|src)="([^"#?]+)[^"]*")re");
    for (const auto &[target, folder, homeLink] : cases) {
        SCOPED_TRACE(target);
        const Response r = get(port_, target);
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.body.find("此功能正在建设中"), std::string::npos) << "still a placeholder";
        EXPECT_NE(r.body.find(homeLink), std::string::npos);
        for (auto it = std::sregex_iterator(r.body.begin(), r.body.end(), link); it != std::sregex_iterator(); ++it) {
            const std::string t = (*it)[1];
            SCOPED_TRACE(t);
            EXPECT_NE(t.front(), '/') << "links must work under any base address";
            EXPECT_EQ(t.find("://"), std::string::npos) << "nothing from outside the site";
            EXPECT_EQ(get(port_, resolveRelative(folder, t)).status, 200);
        }
    }
}

TEST_F(Site, HomePageLinksAreRelativeAndAllResolve)
{
    const std::string home = get(port_, "/").body;
    static const std::regex link(R"re((?:href|src)="([^"]*)")re");
    std::vector<std::string> targets;
    for (auto it = std::sregex_iterator(home.begin(), home.end(), link); it != std::sregex_iterator(); ++it)
        targets.push_back((*it)[1]);
    for (const std::string tool : {"llk/", "quicktest.php", "slowtest.php", "search.php"})
        EXPECT_NE(std::find(targets.begin(), targets.end(), tool), targets.end()) << tool;
    for (const auto &t : targets) {
        SCOPED_TRACE(t);
        EXPECT_NE(t.front(), '/') << "links must work under any base address";
        EXPECT_EQ(t.find("://"), std::string::npos);
        EXPECT_EQ(get(port_, "/" + t).status, 200);
    }
}

TEST_F(Site, FolderWithoutSlashRedirectsRelatively)
{
    const Response r = get(port_, "/llk");
    EXPECT_EQ(r.status, 301);
    EXPECT_EQ(r.header("location"), "llk/");
}

TEST_F(Site, UnknownPathGetsChineseNotFoundPage)
{
    for (const std::string target : {"/nope.html", "/llk/nope/", "/index.html/", "/data/"}) {
        SCOPED_TRACE(target);
        const Response r = get(port_, target);
        EXPECT_EQ(r.status, 404);
        EXPECT_EQ(r.header("content-type"), kHtml);
        EXPECT_NE(r.body.find("找不到这个页面"), std::string::npos);
    }
    // The way home from a nested path climbs back to the site root.
    EXPECT_NE(get(port_, "/a/b/c").body.find("href=\"../../\""), std::string::npos);
}

TEST_F(Site, OtherMethodsGet405WithAllow)
{
    for (const std::string method : {"POST", "PUT", "DELETE", "PATCH", "OPTIONS", "TRACE"}) {
        for (const std::string body : {"", "name=value"}) {
            SCOPED_TRACE(method + " body='" + body + "'");
            const auto start = std::chrono::steady_clock::now();
            const Response r = request(port_, method, "/search.php", body);
            EXPECT_EQ(r.status, 405);
            EXPECT_EQ(r.header("allow"), "GET, HEAD");
            EXPECT_EQ(r.header("content-type"), kHtml);
            // A bodiless POST must not make the server wait for a body.
            EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
        }
    }
}

// Reads exactly one response (headers plus Content-Length bytes) from a
// connection that stays open.
std::optional<Response> readOneResponse(int fd)
{
    std::string raw;
    char buf[4096];
    while (true) {
        const size_t end = raw.find("\r\n\r\n");
        if (end != std::string::npos) {
            auto rs = parseResponses(raw.substr(0, end + 4), true);
            if (rs.empty())
                return std::nullopt;
            const size_t want = std::stoul(rs[0].header("content-length").empty() ? "0" : rs[0].header("content-length"));
            if (raw.size() >= end + 4 + want) {
                rs[0].body = raw.substr(end + 4, want);
                return rs[0];
            }
        }
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return std::nullopt;
        raw.append(buf, static_cast<size_t>(n));
    }
}

TEST_F(Site, RefusedRequestWithBodyKeepsConnectionInStep)
{
    // The refused request's body must be consumed, or the next request on
    // the same keep-alive connection would be read from the middle of it.
    const int fd = connectTo(port_);
    ASSERT_GE(fd, 0);
    for (const std::string method : {"POST", "PUT", "DELETE"}) {
        SCOPED_TRACE(method);
        ASSERT_TRUE(sendAll(fd, requestText(method, "/", "a=1&b=2&GET / HTTP/1.1", false)));
        const auto refused = readOneResponse(fd);
        ASSERT_TRUE(refused.has_value());
        EXPECT_EQ(refused->status, 405);
        ASSERT_TRUE(sendAll(fd, requestText("GET", "/css/site.css", "", false)));
        const auto next = readOneResponse(fd);
        ASSERT_TRUE(next.has_value());
        EXPECT_EQ(next->status, 200);
        EXPECT_EQ(next->body, readFile(kSiteRoot / "css/site.css"));
    }
    close(fd);
}

TEST_F(Site, HeadGivesHeadersWithoutBody)
{
    for (const std::string target : {"/", "/search.php", "/data/emoji.json"}) {
        SCOPED_TRACE(target);
        const Response full = get(port_, target);
        const Response head = request(port_, "HEAD", target);
        EXPECT_EQ(head.status, 200);
        EXPECT_EQ(head.header("content-type"), full.header("content-type"));
        EXPECT_EQ(head.header("content-length"), std::to_string(full.body.size()));
        EXPECT_TRUE(head.body.empty()) << head.body.size() << " bytes after the headers";
    }
}

TEST_F(Site, FiftyConcurrentClientsAreAllServed)
{
    const std::vector<std::string> files = {"index.html", "search.html", "data/emoji.json", "js/dictionary.js",
                                            "css/site.css"};
    std::map<std::string, std::string> expected;
    for (const auto &f : files)
        expected[f] = readFile(kSiteRoot / f);

    constexpr int kClients = 50;
    std::mutex m;
    std::condition_variable cv;
    int connected = 0;
    std::atomic<int> good{0};
    std::vector<std::string> failures(kClients);
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back([&, i] {
            const std::string &file = files[i % files.size()];
            const std::string target = file == "index.html" ? "/" : file == "search.html" ? "/search.php" : "/" + file;
            const int fd = connectTo(port_);
            {
                // Everyone connects first, then all requests go out at once.
                std::unique_lock<std::mutex> lock(m);
                ++connected;
                cv.notify_all();
                cv.wait_for(lock, 10s, [&] { return connected == kClients; });
            }
            if (fd < 0) {
                failures[i] = "connect failed";
                return;
            }
            sendAll(fd, requestText("GET", target));
            const auto rs = parseResponses(readUntilClosed(fd));
            close(fd);
            if (rs.size() != 1 || rs[0].status != 200 || rs[0].body != expected[file])
                failures[i] = target + ": bad response";
            else
                ++good;
        });
    }
    for (auto &t : clients)
        t.join();
    EXPECT_EQ(good.load(), kClients);
    for (int i = 0; i < kClients; ++i)
        EXPECT_TRUE(failures[i].empty()) << "client " << i << ": " << failures[i];
}

TEST(SiteFolder, TraversalNeverLeavesTheFolder)
{
    TempDir tmp;
    const std::string marker = "QCY-OUTSIDE-" + std::to_string(std::random_device{}());
    writeFile(tmp.path() / "secret.txt", marker);
    const fs::path www = tmp.path() / "www";
    fs::copy(kSiteRoot, www, fs::copy_options::recursive);
    fs::create_directory_symlink(tmp.path(), www / "outside-dir");
    fs::create_symlink(tmp.path() / "secret.txt", www / "outside-file.txt");
    fs::create_symlink("/etc/passwd", www / "passwd.txt");
    fs::create_symlink(www / "index.html", www / "inside-link.html");
    writeFile(www / ".hidden.txt", marker);

    ServerProcess server({"--port", "0", "--bind", "127.0.0.1", "--root", www.string()});
    const int port = server.waitListening();

    // Controls: a symlink that stays inside is served, so the refusals below
    // are about leaving the folder and not about symlinks as such.
    EXPECT_EQ(get(port, "/inside-link.html").status, 200);
    EXPECT_EQ(get(port, "/inside-link.html").body, readFile(www / "index.html"));

    const std::string absSecret = (tmp.path() / "secret.txt").string();
    const std::vector<std::string> attacks = {
        "/../secret.txt",
        "/../../../../../../etc/passwd",
        "/%2e%2e/secret.txt",
        "/%2E%2E/%2E%2E/%2E%2E/etc/passwd",
        "/.%2e/secret.txt",
        "/..%2fsecret.txt",
        "/..%2f..%2f..%2f..%2fetc/passwd",
        "/%2e%2e%2fsecret.txt",
        "/llk/..%2f..%2fsecret.txt",
        "/css/../../secret.txt",
        "/./../secret.txt",
        "/..%5csecret.txt",
        "/%5c..%5csecret.txt",
        "/..\\secret.txt",
        "/%252e%252e/secret.txt",
        "/index.html%00",
        "/%00",
        "/%00/../secret.txt",
        "/outside-dir/secret.txt",
        "/outside-dir/",
        "/outside-file.txt",
        "/passwd.txt",
        "/.hidden.txt",
        "//etc/passwd",
        absSecret,
        "/" + absSecret,
        "http://127.0.0.1/../secret.txt",
        "/%",
        "/%zz",
    };
    for (const auto &target : attacks) {
        SCOPED_TRACE(target);
        const Response r = get(port, target);
        EXPECT_EQ(r.status, 404);
        EXPECT_EQ(r.body.find(marker), std::string::npos);
        EXPECT_EQ(r.body.find("root:"), std::string::npos);
    }
    EXPECT_TRUE(server.running());
}

TEST(SiteProcess, AccessLogHasOneLinePerRequest)
{
    ServerProcess server({"--port", "0", "--root", kSiteRoot.string()});
    const int port = server.waitListening();
    const size_t cssSize = readFile(kSiteRoot / "css/site.css").size();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(get(port, "/css/site.css").status, 200);
    EXPECT_EQ(get(port, "/missing-page").status, 404);
    EXPECT_EQ(request(port, "POST", "/").status, 405);
    EXPECT_EQ(request(port, "HEAD", "/css/site.css").status, 200);
    server.signal(SIGTERM);
    ASSERT_EQ(server.waitExit(), 0);

    const std::string log = server.stderrText();
    auto count = [&](const std::string &line) {
        size_t n = 0;
        for (size_t p = log.find(line); p != std::string::npos; p = log.find(line, p + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count(" GET /css/site.css 200 " + std::to_string(cssSize) + "\n"), 3u) << log;
    EXPECT_EQ(count(" GET /missing-page 404 "), 1u) << log;
    EXPECT_EQ(count(" POST / 405 "), 1u) << log;
    EXPECT_EQ(count(" HEAD /css/site.css 200 0\n"), 1u) << log;
}

TEST(SiteProcess, StopsCleanlyOnSignals)
{
    for (const int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(sig));
        ServerProcess server({"--port", "0", "--root", kSiteRoot.string()});
        const int port = server.waitListening();
        EXPECT_EQ(get(port, "/").status, 200);
        // An idle keep-alive connection, as a browser leaves behind, must not
        // hold the shutdown up for long.
        const int idle = connectTo(port);
        ASSERT_GE(idle, 0);
        sendAll(idle, requestText("GET", "/css/site.css", "", false));
        std::this_thread::sleep_for(200ms);
        server.signal(sig);
        EXPECT_EQ(server.waitExit(8000ms), 0) << server.stderrText();
        close(idle);
        EXPECT_LT(connectTo(port), 0) << "still accepting after exit";
    }
}

TEST(SiteProcess, PortInUseIsAClearError)
{
    ServerProcess first({"--port", "0", "--root", kSiteRoot.string()});
    const int port = first.waitListening();
    ServerProcess second({"--port", std::to_string(port), "--root", kSiteRoot.string()});
    const auto code = second.waitExit();
    ASSERT_TRUE(code.has_value()) << "second server kept running on a taken port";
    EXPECT_NE(*code, 0);
    EXPECT_FALSE(second.readLine(100ms).has_value());
    const std::string err = second.stderrText();
    EXPECT_NE(err.find("cannot listen"), std::string::npos) << err;
    EXPECT_NE(err.find("in use"), std::string::npos) << err;
    EXPECT_NE(err.find(std::to_string(port)), std::string::npos) << err;
    // The first one is unharmed.
    EXPECT_EQ(get(port, "/").status, 200);
}

TEST(SiteProcess, BadFolderOrOptionsFailWithAMessage)
{
    TempDir tmp;
    writeFile(tmp.path() / "plain-file", "x");
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"--port", "0", "--root", (tmp.path() / "missing").string()}, 1, "does not exist"},
        {{"--port", "0", "--root", (tmp.path() / "plain-file").string()}, 1, "not a folder"},
        {{"--port", "abc"}, 2, "--port"},
        {{"--port", "70000"}, 2, "--port"},
        {{"--port=-1"}, 2, "--port"},
        {{"--port"}, 2, "needs a value"},
        {{"--root"}, 2, "needs a value"},
        {{"--bogus"}, 2, "unknown option"},
        {{"extra-argument"}, 2, "unknown option"},
    };
    for (const auto &c : cases) {
        std::string joined;
        for (const auto &a : c.args)
            joined += a + " ";
        SCOPED_TRACE(joined);
        ServerProcess server(c.args);
        EXPECT_EQ(server.waitExit(), c.exitCode);
        EXPECT_FALSE(server.readLine(100ms).has_value()) << "must not claim to listen";
        const std::string err = server.stderrText();
        EXPECT_NE(err.find("qingchuanye-site: "), std::string::npos) << err;
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
    }
}

TEST(SiteProcess, HelpDescribesTheOptions)
{
    ServerProcess server({"--help"});
    std::string out;
    while (auto line = server.readLine(2000ms))
        out += *line + "\n";
    EXPECT_EQ(server.waitExit(), 0);
    for (const std::string opt : {"--port", "--bind", "--root", "--help", "8470", "127.0.0.1"})
        EXPECT_NE(out.find(opt), std::string::npos) << opt;
}

TEST(SiteProcess, DefaultFolderWorksFromBuildTreeAndInstalledLayout)
{
    {
        SCOPED_TRACE("build tree: falls back to the source folder");
        ServerProcess server({"--port", "0"});
        const int port = server.waitListening();
        EXPECT_EQ(get(port, "/").body, readFile(kSiteRoot / "index.html"));
    }
    {
        SCOPED_TRACE("installed: <prefix>/bin next to <prefix>/share/qingchuanye/www");
        TempDir prefix;
        fs::create_directories(prefix.path() / "bin");
        fs::create_directories(prefix.path() / "share/qingchuanye/www");
        const fs::path exe = prefix.path() / "bin/qingchuanye-site";
        fs::copy_file(kServer, exe);
        const std::string marker = "<p>installed copy " + std::to_string(std::random_device{}()) + "</p>";
        writeFile(prefix.path() / "share/qingchuanye/www/index.html", marker);
        ServerProcess server({"--port", "0"}, exe);
        const int port = server.waitListening();
        EXPECT_EQ(get(port, "/").body, marker);
    }
}

TEST(SiteProcess, ListensOnTheRequestedPort)
{
    // Find a free port, release it, and ask the server for exactly that one.
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    getsockname(probe, reinterpret_cast<sockaddr *>(&addr), &len);
    const int port = ntohs(addr.sin_port);
    close(probe);

    ServerProcess server({"--port", std::to_string(port), "--bind", "127.0.0.1", "--root", kSiteRoot.string()});
    EXPECT_EQ(server.waitListening(), port);
    EXPECT_EQ(get(port, "/search.php").status, 200);
}


// What a browser sends on a kept-alive connection.
std::string browserRequest(const std::string &target, const std::vector<std::string> &extraHeaders = {})
{
    std::string req = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    for (const auto &h : extraHeaders)
        req += h + "\r\n";
    return req + "\r\n";
}

std::optional<std::string> gunzip(const std::string &data)
{
    z_stream zs{};
    if (inflateInit2(&zs, 15 + 16) != Z_OK)
        return std::nullopt;
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    std::string out;
    char buf[65536];
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs.next_out = reinterpret_cast<Bytef *>(buf);
        zs.avail_out = sizeof buf;
        rc = inflate(&zs, Z_NO_FLUSH);
        out.append(buf, sizeof buf - zs.avail_out);
    }
    const bool whole = rc == Z_STREAM_END && zs.avail_in == 0;
    inflateEnd(&zs);
    return whole ? std::optional<std::string>(out) : std::nullopt;
}

// Sends one request on an open connection and reads its whole response.
std::optional<Response> roundTrip(int fd, const std::string &request)
{
    if (!sendAll(fd, request))
        return std::nullopt;
    return readOneResponse(fd);
}

bool peerClosed(int fd, std::chrono::milliseconds within)
{
    const auto deadline = std::chrono::steady_clock::now() + within;
    std::string junk;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            char buf[4096];
            const ssize_t n = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
            if (n <= 0)
                return n == 0 || errno == ECONNRESET;
            junk.append(buf, static_cast<size_t>(n));
        }
    }
    return false;
}

bool stillOpen(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) == 0;
}

void raiseOpenFileLimit()
{
    rlimit lim{};
    getrlimit(RLIMIT_NOFILE, &lim);
    lim.rlim_cur = std::min<rlim_t>(lim.rlim_max, 4096);
    setrlimit(RLIMIT_NOFILE, &lim);
}

// A request begun and never finished, as a stalled or hostile client leaves.
int halfSentConnection(int port)
{
    const int fd = connectTo(port);
    if (fd >= 0)
        sendAll(fd, "GET /index.html HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */");
    return fd;
}

TEST_F(Site, KeptAliveGzipConnectionGetsCompleteCompressedResponses)
{
    const std::vector<std::pair<std::string, std::string>> files = {
        {"/css/site.css", "css/site.css"},       {"/js/dictionary.js", "js/dictionary.js"},
        {"/data/emoji.json", "data/emoji.json"}, {"/", "index.html"},
        {"/search.php", "search.html"},          {"/img/logo.svg", "img/logo.svg"},
    };
    const int fd = connectTo(port_);
    ASSERT_GE(fd, 0);
    // Twice round: the second pass comes from what the first one left kept.
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto &[target, file] : files) {
            SCOPED_TRACE(target + " pass " + std::to_string(pass));
            const auto r = roundTrip(fd, browserRequest(target, {"Accept-Encoding: gzip, deflate, br"}));
            ASSERT_TRUE(r.has_value()) << "connection dropped";
            EXPECT_EQ(r->status, 200);
            EXPECT_EQ(r->header("content-encoding"), "gzip");
            EXPECT_EQ(r->header("vary"), "Accept-Encoding");
            EXPECT_EQ(r->header("transfer-encoding"), "");
            EXPECT_EQ(r->header("content-length"), std::to_string(r->body.size()));
            EXPECT_EQ(r->header("connection"), "");
            const std::string plain = readFile(kSiteRoot / file);
            EXPECT_LT(r->body.size(), plain.size());
            EXPECT_EQ(gunzip(r->body), std::optional<std::string>(plain));
        }
    }
    close(fd);
}

TEST_F(Site, GzipOnlyForClientsThatAskForIt)
{
    struct Case {
        std::string acceptEncoding; // empty: no header at all
        bool gzip;
    };
    const std::vector<Case> cases = {
        {"", false},          {"gzip", true},        {"GZIP", true},         {"x-gzip", true},
        {"deflate, br", false}, {"gzip;q=0", false}, {"br, gzip;q=0.5", true}, {"*", true},
        {"*;q=0", false},     {"identity", false},   {"gzip;q=0, *", false}, {"gzip;q=bogus", false},
    };
    const std::string plain = readFile(kSiteRoot / "data/emoji.json");
    const int fd = connectTo(port_);
    ASSERT_GE(fd, 0);
    for (const auto &c : cases) {
        SCOPED_TRACE("Accept-Encoding: " + c.acceptEncoding);
        std::vector<std::string> headers;
        if (!c.acceptEncoding.empty())
            headers.push_back("Accept-Encoding: " + c.acceptEncoding);
        const auto r = roundTrip(fd, browserRequest("/data/emoji.json", headers));
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->status, 200);
        EXPECT_EQ(r->header("vary"), "Accept-Encoding");
        if (c.gzip) {
            EXPECT_EQ(r->header("content-encoding"), "gzip");
            EXPECT_EQ(gunzip(r->body), std::optional<std::string>(plain));
        } else {
            EXPECT_EQ(r->header("content-encoding"), "");
            EXPECT_EQ(r->body, plain) << "a plain client gets the exact bytes";
        }
    }
    close(fd);
}

// A folder of our own, so that files can change under the running server.
class OwnSite : public ::testing::Test {
protected:
    void SetUp() override
    {
        www_ = tmp_.path() / "www";
        fs::copy(kSiteRoot, www_, fs::copy_options::recursive);
        server_.emplace(std::vector<std::string>{"--port", "0", "--root", www_.string()});
        port_ = server_->waitListening();
    }
    TempDir tmp_;
    fs::path www_;
    std::optional<ServerProcess> server_;
    int port_ = 0;
};

TEST_F(OwnSite, ValidatorsGiveNotModifiedUntilTheFileChanges)
{
    const fs::path file = www_ / "css/site.css";
    const int fd = connectTo(port_);
    ASSERT_GE(fd, 0);
    for (const bool gzip : {false, true}) {
        SCOPED_TRACE(gzip ? "gzip" : "plain");
        const std::vector<std::string> enc = gzip ? std::vector<std::string>{"Accept-Encoding: gzip"}
                                                  : std::vector<std::string>{};
        auto with = [&](std::vector<std::string> extra) {
            extra.insert(extra.end(), enc.begin(), enc.end());
            return browserRequest("/css/site.css", extra);
        };
        const std::string before = readFile(file);
        const auto first = roundTrip(fd, with({}));
        ASSERT_TRUE(first.has_value());
        ASSERT_EQ(first->status, 200);
        const std::string etag = first->header("etag");
        const std::string modified = first->header("last-modified");
        ASSERT_FALSE(etag.empty());
        ASSERT_FALSE(modified.empty());
        EXPECT_EQ(etag.front(), '"');

        // The 304s carry no body: the next response on the connection
        // would be read from it otherwise.
        for (const std::string &condition : std::vector<std::string>{"If-None-Match: " + etag,
                 "If-None-Match: \"other\", " + etag, "If-None-Match: *", "If-Modified-Since: " + modified}) {
            SCOPED_TRACE(condition);
            const auto r = roundTrip(fd, with({condition}));
            ASSERT_TRUE(r.has_value());
            EXPECT_EQ(r->status, 304);
            EXPECT_TRUE(r->body.empty());
            EXPECT_EQ(r->header("etag"), etag);
        }
        const auto other = roundTrip(fd, with({"If-None-Match: \"not-this-one\""}));
        ASSERT_TRUE(other.has_value());
        EXPECT_EQ(other->status, 200);
        EXPECT_EQ(other->header("etag"), etag);

        // Same size, at once: a stamp from a coarse clock may not show it.
        std::string changed = before;
        changed[changed.size() / 2] = changed[changed.size() / 2] == 'x' ? 'y' : 'x';
        writeFile(file, changed);
        const auto after = roundTrip(fd, with({"If-None-Match: " + etag}));
        ASSERT_TRUE(after.has_value());
        EXPECT_EQ(after->status, 200);
        EXPECT_NE(after->header("etag"), etag);
        EXPECT_EQ(gzip ? gunzip(after->body).value_or("") : after->body, changed);
        const auto again = roundTrip(fd, with({"If-None-Match: " + after->header("etag")}));
        ASSERT_TRUE(again.has_value());
        EXPECT_EQ(again->status, 304);
    }

    // Rewrites faster than the clock that stamps files: each is seen.
    std::string text = readFile(file);
    for (int i = 0; i < 40; ++i) {
        SCOPED_TRACE("rewrite " + std::to_string(i));
        text[10] = static_cast<char>('a' + i % 26);
        text[11] = static_cast<char>('a' + i / 26);
        writeFile(file, text);
        const auto r = roundTrip(fd, browserRequest("/css/site.css"));
        ASSERT_TRUE(r.has_value());
        ASSERT_EQ(r->body, text);
    }
    close(fd);
}

TEST_F(OwnSite, FilesThatDoNotShrinkAreSentAsTheyAre)
{
    std::mt19937 random(7);
    std::string noise(20000, '\0');
    for (char &c : noise)
        c = static_cast<char>(random());
    writeFile(www_ / "data/noise.json", noise);
    // Parenthesised: std::exchange would win by argument lookup.
    const auto rs = (exchange)(port_, browserRequest("/data/noise.json", {"Accept-Encoding: gzip", "Connection: close"}));
    ASSERT_EQ(rs.size(), 1u);
    EXPECT_EQ(rs[0].status, 200);
    EXPECT_EQ(rs[0].header("content-encoding"), "");
    EXPECT_EQ(rs[0].body, noise);
}

TEST(SiteProcess, IdleHalfSentConnectionsDoNotStarveOthers)
{
    raiseOpenFileLimit();
    ServerProcess server({"--port", "0", "--root", kSiteRoot.string()});
    const int port = server.waitListening();
    std::vector<int> idle;
    for (int i = 0; i < 200; ++i) {
        const int fd = halfSentConnection(port);
        ASSERT_GE(fd, 0) << "connection " << i;
        idle.push_back(fd);
    }
    // Several requests in turn, each on a fresh connection, all while the
    // 200 are still held open.
    for (int i = 0; i < 5; ++i) {
        const Response r = get(port, "/css/site.css");
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.body, readFile(kSiteRoot / "css/site.css"));
    }
    size_t open = 0;
    for (int fd : idle)
        open += stillOpen(fd);
    EXPECT_EQ(open, idle.size()) << "answered only by dropping the idle clients";
    for (int fd : idle)
        close(fd);
}

TEST(SiteProcess, SilentClientsAreDroppedAndExtraConnectionsRefused)
{
    raiseOpenFileLimit();
    constexpr int kLimit = 512; // site/README.md
    constexpr int kExtra = 24;
    ServerProcess server({"--port", "0", "--root", kSiteRoot.string()});
    const int port = server.waitListening();
    std::vector<int> held;
    for (int i = 0; i < kLimit; ++i) {
        const int fd = halfSentConnection(port);
        ASSERT_GE(fd, 0);
        held.push_back(fd);
    }
    // Wait until the server has taken them all in, so that exactly the
    // extra ones are over the limit.
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    int refused = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        const int probe = connectTo(port);
        ASSERT_GE(probe, 0);
        const bool closed = peerClosed(probe, 2000ms);
        close(probe);
        if (closed)
            break;
    }
    for (int i = 0; i < kExtra; ++i) {
        const int fd = connectTo(port);
        ASSERT_GE(fd, 0);
        // Closed by the server, not left waiting in its queue.
        refused += peerClosed(fd, 10000ms);
        close(fd);
    }
    EXPECT_EQ(refused, kExtra);
    size_t open = 0;
    for (int fd : held)
        open += stillOpen(fd);
    EXPECT_EQ(open, held.size());

    // Clients that never finish their request are dropped after a while,
    // and the room they held serves others again.
    size_t dropped = 0;
    for (int fd : held)
        dropped += peerClosed(fd, 30000ms);
    EXPECT_EQ(dropped, held.size());
    for (int fd : held)
        close(fd);
    EXPECT_EQ(get(port, "/").status, 200);
}

TEST(SiteProcess, SlowClientsHaveABoundedTimeForTheirRequest)
{
    ServerProcess server({"--port", "0", "--root", kSiteRoot.string()});
    const int port = server.waitListening();
    // Never silent, never done: one byte of a long header at a time.
    const int slow = connectTo(port);
    ASSERT_GE(slow, 0);
    ASSERT_TRUE(sendAll(slow, "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: "));
    // A kept-alive client that got its answer and then trickles the next.
    const int kept = connectTo(port);
    ASSERT_GE(kept, 0);
    const auto answered = roundTrip(kept, browserRequest("/css/site.css"));
    ASSERT_TRUE(answered.has_value());
    EXPECT_EQ(answered->status, 200);
    ASSERT_TRUE(sendAll(kept, "GET / HTTP/1.1\r\nX-Slow: "));

    bool slowCut = false;
    bool keptCut = false;
    const auto deadline = std::chrono::steady_clock::now() + 40s;
    while (std::chrono::steady_clock::now() < deadline && !(slowCut && keptCut)) {
        for (auto [fd, cut] : {std::pair<int, bool *>{slow, &slowCut}, {kept, &keptCut}}) {
            if (*cut)
                continue;
            // Closed, or reset by the byte sent after the close.
            if (!sendAll(fd, "a") || peerClosed(fd, 200ms))
                *cut = true;
        }
    }
    EXPECT_TRUE(slowCut) << "a client trickling its request was never cut off";
    EXPECT_TRUE(keptCut) << "a kept-alive client trickling its next request was never cut off";
    close(slow);
    close(kept);
    EXPECT_EQ(get(port, "/").status, 200);
}

// --- Speech -----------------------------------------------------------

struct Wave {
    int format = 0, channels = 0, bits = 0, rate = 0;
    size_t dataBytes = 0;
};

uint32_t littleEndian(const std::string &s, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<size_t>(i)]);
    return v;
}

std::optional<Wave> parseWave(const std::string &body)
{
    if (body.size() < 44 || body.compare(0, 4, "RIFF") != 0 || body.compare(8, 8, "WAVEfmt ") != 0)
        return std::nullopt;
    if (littleEndian(body, 4, 4) != body.size() - 8 || body.compare(36, 4, "data") != 0)
        return std::nullopt;
    Wave w;
    w.format = static_cast<int>(littleEndian(body, 20, 2));
    w.channels = static_cast<int>(littleEndian(body, 22, 2));
    w.rate = static_cast<int>(littleEndian(body, 24, 4));
    w.bits = static_cast<int>(littleEndian(body, 34, 2));
    w.dataBytes = littleEndian(body, 40, 4);
    if (w.dataBytes != body.size() - 44)
        return std::nullopt;
    return w;
}

// A spoken English word: PCM 16-bit mono, a tenth of a second to a few.
void expectSpokenWord(const Response &r)
{
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.header("content-type"), "audio/wav");
    const auto wave = parseWave(r.body);
    ASSERT_TRUE(wave.has_value()) << "not a RIFF/WAVE body: " << r.body.substr(0, 64);
    EXPECT_EQ(wave->format, 1);
    EXPECT_EQ(wave->channels, 1);
    EXPECT_EQ(wave->bits, 16);
    EXPECT_GE(wave->rate, 8000);
    const double seconds = static_cast<double>(wave->dataBytes) / (2.0 * wave->rate);
    EXPECT_GT(seconds, 0.1);
    EXPECT_LT(seconds, 5.0);
    // Not silence.
    int loudest = 0;
    for (size_t i = 44; i + 1 < r.body.size(); i += 2)
        loudest = std::max(loudest, std::abs(static_cast<int16_t>(littleEndian(r.body, i, 2))));
    EXPECT_GT(loudest, 1000);
}

std::vector<std::string> wordsOf(const fs::path &wordsJson)
{
    const auto doc = nlohmann::json::parse(readFile(wordsJson));
    const auto &columns = doc.at("columns");
    const size_t col = static_cast<size_t>(std::find(columns.begin(), columns.end(), "word") - columns.begin());
    std::vector<std::string> words;
    for (const auto &row : doc.at("rows"))
        words.push_back(row.at(col).get<std::string>());
    return words;
}

TEST_F(Site, SpeechSpeaksWordsOfTheSiteData)
{
    const auto words = wordsOf(kSiteRoot / "data/words.json");
    ASSERT_GE(words.size(), 100u);
    for (const size_t rank : {size_t{0}, size_t{10}, words.size() / 2, words.size() - 1}) {
        SCOPED_TRACE(words[rank]);
        const Response first = get(port_, "/speech?w=" + words[rank]);
        expectSpokenWord(first);
        // From memory the second time, the same sound.
        EXPECT_EQ(get(port_, "/speech?w=" + words[rank]).body, first.body);
        const Response head = request(port_, "HEAD", "/speech?w=" + words[rank]);
        EXPECT_EQ(head.status, 200);
        EXPECT_EQ(head.header("content-length"), std::to_string(first.body.size()));
    }
}

TEST_F(OwnSite, SpeechRefusesWhatIsNotAWordOfTheData)
{
    writeFile(www_ / "data/words.json",
              R"({"source": {}, "columns": ["word", "count"], "rows": [["hello", 10], ["ice cream", 5], ["o'clock", 3]]})");
    struct Case {
        std::string query;
        int status;
    };
    const std::vector<Case> cases = {
        {"?w=hello", 200},
        {"?w=ice+cream", 200},
        {"?w=ice%20cream", 200},
        {"?w=o'clock", 200},
        {"?w=world", 404},         // a real word, but not one of the data
        {"?w=Hello", 404},         // the data's spelling exactly
        {"?w=count", 404},         // a column name is no word
        {"?w=10", 400},
        {"", 400},
        {"?", 400},
        {"?w=", 400},
        {"?x=hello", 400},
        {"?w=hello&w=hello", 400},
        {"?w=" + std::string(49, 'a'), 400},
        {"?w=" + std::string(5000, 'a'), 400},
        {"?w=hel%zzlo", 400},
        {"?w=hello%", 400},
        {"?w=%00hello", 400},
        {"?w=hello%0d%0aX-Injected:%201", 400},
        {"?w=%3Cscript%3E", 400},
        {"?w=..%2f..%2fetc%2fpasswd", 400},
        {"?w=%E4%BD%A0%E5%A5%BD", 400},
        {"?w=[hello]", 400},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.query);
        const Response r = get(port_, "/speech" + c.query);
        if (c.status == 200) {
            expectSpokenWord(r);
        } else {
            EXPECT_EQ(r.status, c.status);
            EXPECT_EQ(r.header("content-type"), kHtml);
            EXPECT_EQ(r.header("x-injected"), "");
        }
    }
    EXPECT_EQ(request(port_, "POST", "/speech?w=hello").status, 405);
    EXPECT_TRUE(server_->running());

    // New data is used at once.
    EXPECT_EQ(get(port_, "/speech?w=world").status, 404);
    writeFile(www_ / "data/words.json",
              R"({"source": {}, "columns": ["count", "word"], "rows": [[10, "world"], [3, "planet"]]})");
    expectSpokenWord(get(port_, "/speech?w=world"));
    EXPECT_EQ(get(port_, "/speech?w=hello").status, 404);
}

TEST_F(Site, FiftyParallelSpeechRequestsAreAllAnswered)
{
    const auto words = wordsOf(kSiteRoot / "data/words.json");
    ASSERT_GE(words.size(), 1000u);
    constexpr int kClients = 50;
    std::vector<std::optional<Response>> answers(kClients);
    std::vector<std::thread> clients;
    // Most of them new to the server, some asking for the same word, so
    // that waiting for one synthesis and queueing behind others both occur.
    for (int i = 0; i < kClients; ++i) {
        const std::string word = words[500 + static_cast<size_t>(i % 35)];
        clients.emplace_back([&, i, word] { answers[i] = get(port_, "/speech?w=" + word); });
    }
    // Pages are served meanwhile.
    const Response page = get(port_, "/css/site.css");
    EXPECT_EQ(page.status, 200);
    for (auto &t : clients)
        t.join();
    for (int i = 0; i < kClients; ++i) {
        SCOPED_TRACE("client " + std::to_string(i));
        ASSERT_TRUE(answers[i].has_value());
        expectSpokenWord(*answers[i]);
    }
    EXPECT_TRUE(server_->running());
}

} // namespace
