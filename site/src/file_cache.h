// Files of the site kept in memory as ready-made responses, each with its
// gzip form when that is smaller, so that a request costs a lookup and a
// stat and never a read or a compression.
#pragma once

#include <microhttpd.h>

#include <sys/stat.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace qcy {

// What identifies one version of a file on disk.
struct FileStamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};
    timespec ctime{};

    static FileStamp of(const struct stat &st);
    bool operator==(const FileStamp &o) const;
};

class CachedFile {
public:
    CachedFile(std::shared_ptr<const std::string> plain, std::shared_ptr<const std::string> gzip,
               const std::string &contentType, const FileStamp &stamp);
    ~CachedFile();
    CachedFile(const CachedFile &) = delete;
    CachedFile &operator=(const CachedFile &) = delete;

    // One encoding of the file: the 200 and 304 responses share headers.
    struct Variant {
        MHD_Response *full = nullptr;
        MHD_Response *notModified = nullptr;
        std::string etag;
        size_t size = 0;
    };

    const Variant &plain() const { return plain_; }
    const Variant *gzip() const { return gzipBody_ ? &gzip_ : nullptr; }
    std::time_t modified() const { return stamp_.mtime.tv_sec; }
    const FileStamp &stamp() const { return stamp_; }
    const std::string &plainBytes() const { return *plainBody_; }
    std::shared_ptr<const std::string> gzipBody() const { return gzipBody_; }
    size_t memoryBytes() const { return plain_.size + (gzipBody_ ? gzip_.size : 0); }

private:
    void buildVariant(Variant &v, const std::shared_ptr<const std::string> &body, const std::string &contentType,
                      bool gzipped);

    std::shared_ptr<const std::string> plainBody_;
    std::shared_ptr<const std::string> gzipBody_;
    FileStamp stamp_;
    Variant plain_;
    Variant gzip_;
};

class FileCache {
public:
    struct Limits {
        size_t maxEntries = 512;
        size_t maxBytes = 64u << 20;    // all bodies, plain and gzip together
        size_t maxFileBytes = 16u << 20; // bigger files are streamed from disk
    };

    FileCache() : FileCache(Limits{}) {}
    explicit FileCache(Limits limits) : limits_(limits) {}

    enum class Status { Cached, TooLarge, Unreadable };
    struct Result {
        Status status = Status::Unreadable;
        std::shared_ptr<const CachedFile> file;
    };

    // `path` is canonical and inside the site. The file on disk always
    // wins: a changed stamp, or a stamp too recent to tell two writes apart,
    // makes the cache look at the bytes again.
    Result get(const std::filesystem::path &path);

private:
    struct Slot {
        std::string key;
        std::shared_ptr<const CachedFile> file;
        std::chrono::system_clock::time_point checkedAt;
    };

    Result load(const std::filesystem::path &path, const std::shared_ptr<const CachedFile> &previous);
    void store(const std::string &key, std::shared_ptr<const CachedFile> file,
               std::chrono::system_clock::time_point checkedAt);

    Limits limits_;
    std::mutex mutex_;
    std::list<Slot> lru_; // most recently used first
    std::unordered_map<std::string, std::list<Slot>::iterator> index_;
    size_t bytes_ = 0;
};

// Text formats that gzip shrinks; pictures and sound are compressed already.
bool isCompressible(const std::filesystem::path &file);

// gzip at the strongest level: it runs once per file version.
std::string gzipCompress(const std::string &data);

// The headers every answer of the site carries.
void addCommonHeaders(MHD_Response *response);

} // namespace qcy
