// The HTTP side of qingchuanye-site: libmicrohttpd on an epoll thread
// (or a small pool of them), answering from the file cache and the
// speech service.
#pragma once

#include "file_cache.h"
#include "site_files.h"
#include "speech_service.h"
#include "word_list.h"

#include <microhttpd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>

namespace qcy {

class SiteServer {
public:
    struct Settings {
        int listenFd = -1;      // bound and listening; the server owns it from start()
        bool ipv6 = false;
        unsigned threads = 1;
        unsigned maxConnections = 512;
        unsigned idleSeconds = 10; // a client silent this long is dropped
        // From connecting, or from the previous answer, to a complete
        // request head: a client trickling bytes is not idle, but slow.
        unsigned requestSeconds = 10;
    };

    SiteServer(const SiteFolder &site, Settings settings);
    ~SiteServer();
    SiteServer(const SiteServer &) = delete;
    SiteServer &operator=(const SiteServer &) = delete;

    bool start();
    void stop();

    // Request bodies are read and dropped (every method that has one is
    // refused), but never more than this.
    static constexpr size_t kMaxBody = 64 * 1024;

    struct Connection; // per-connection state, see site_server.cpp

private:
    static void *onRequestLine(void *cls, const char *uri, MHD_Connection *connection);
    static MHD_Result onRequest(void *cls, MHD_Connection *connection, const char *url, const char *method,
                                const char *version, const char *uploadData, size_t *uploadSize, void **state);
    static void onConnection(void *cls, MHD_Connection *connection, void **socketContext,
                             MHD_ConnectionNotificationCode code);
    static void onCompleted(void *cls, MHD_Connection *connection, void **state,
                            MHD_RequestTerminationCode code);
    void watchDeadlines();
    void acceptLoop();
    void warmCache();

    MHD_Result respond(Connection &conn, MHD_Connection *connection, const std::string &method);
    MHD_Result serveFile(Connection &conn, MHD_Connection *connection, const std::string &method,
                         const std::filesystem::path &file);
    MHD_Result serveLargeFile(Connection &conn, MHD_Connection *connection, const std::string &method,
                              const std::filesystem::path &file);
    MHD_Result serveSpeech(Connection &conn, MHD_Connection *connection, const std::string &method);
    MHD_Result finishSpeech(Connection &conn, MHD_Connection *connection, const std::string &method);
    MHD_Result sendError(Connection &conn, MHD_Connection *connection, const std::string &method, int status);
    MHD_Result send(Connection &conn, MHD_Connection *connection, const std::string &method, int status,
                    MHD_Response *response, size_t bodyBytes);

    const SiteFolder &site_;
    Settings settings_;
    FileCache files_;
    WordList words_;
    SpeechService speech_;
    MHD_Daemon *daemon_ = nullptr;
    // Connections are accepted here rather than by the library, which
    // stops accepting at its limit and leaves the rest waiting in the
    // kernel's queue; ours are refused and closed at once instead.
    std::thread acceptor_;
    // Compresses the site once at start, so that no first visitor waits.
    std::thread warmer_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> open_{0};

    // Connections waiting for a request head, for the watchdog that
    // enforces requestSeconds (the library only knows about silence).
    std::thread watchdog_;
    std::mutex watchMutex_;
    std::condition_variable watchWake_;
    std::unordered_set<Connection *> watched_;
};

} // namespace qcy
