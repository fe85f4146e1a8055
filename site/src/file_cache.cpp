#include "file_cache.h"

#include "http_headers.h"
#include "site_files.h"

#include <zlib.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <set>
#include <stdexcept>

namespace fs = std::filesystem;

namespace qcy {

namespace {

// Timestamps on disk come from a coarse clock: two writes within one tick
// can leave the same stamp. A version read this soon after its stamp may
// still change without the stamp showing it, so it is read again until
// it has settled.
constexpr std::chrono::seconds kSettleTime{2};

std::chrono::system_clock::time_point timeOf(const timespec &ts)
{
    return std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
        std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec)));
}

bool settled(const FileStamp &stamp, std::chrono::system_clock::time_point checkedAt)
{
    const auto changed = std::max(timeOf(stamp.mtime), timeOf(stamp.ctime));
    return checkedAt - changed >= kSettleTime;
}

bool readFd(int fd, size_t size, std::string &out)
{
    out.resize(size);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = read(fd, &out[done], size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    out.resize(done);
    // A file that grew while being read is read short; the stamp taken
    // before the read then no longer matches and the next request rereads.
    return true;
}

// A strong validator from the bytes themselves, so that it changes
// exactly when the content does, whatever the clock or the file system.
std::string etagFor(const std::string &body, const char *suffix)
{
    const auto *data = reinterpret_cast<const Bytef *>(body.data());
    const uInt len = static_cast<uInt>(body.size());
    const unsigned long crc = crc32(crc32(0L, Z_NULL, 0), data, len);
    const unsigned long adler = adler32(adler32(0L, Z_NULL, 0), data, len);
    char buf[64];
    std::snprintf(buf, sizeof buf, "\"%zx-%08lx%08lx%s\"", body.size(), crc, adler, suffix);
    return buf;
}

void releaseBody(void *cls)
{
    delete static_cast<std::shared_ptr<const std::string> *>(cls);
}

} // namespace

FileStamp FileStamp::of(const struct stat &st)
{
    FileStamp s;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtime = st.st_mtim;
    s.ctime = st.st_ctim;
    return s;
}

bool FileStamp::operator==(const FileStamp &o) const
{
    return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec
        && mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
}

void addCommonHeaders(MHD_Response *response)
{
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    MHD_add_response_header(response, "Referrer-Policy", "no-referrer");
}

CachedFile::CachedFile(std::shared_ptr<const std::string> plain, std::shared_ptr<const std::string> gzip,
                       const std::string &contentType, const FileStamp &stamp)
    : plainBody_(std::move(plain))
    , gzipBody_(std::move(gzip))
    , stamp_(stamp)
{
    buildVariant(plain_, plainBody_, contentType, false);
    if (gzipBody_)
        buildVariant(gzip_, gzipBody_, contentType, true);
}

CachedFile::~CachedFile()
{
    // Responses still being sent keep their own reference and their body.
    for (Variant *v : {&plain_, &gzip_}) {
        if (v->full)
            MHD_destroy_response(v->full);
        if (v->notModified)
            MHD_destroy_response(v->notModified);
    }
}

void CachedFile::buildVariant(Variant &v, const std::shared_ptr<const std::string> &body,
                              const std::string &contentType, bool gzipped)
{
    v.size = body->size();
    v.etag = etagFor(*plainBody_, gzipped ? "-gz" : "");
    v.full = MHD_create_response_from_buffer_with_free_callback_cls(
        body->size(), const_cast<char *>(body->data()), &releaseBody, new std::shared_ptr<const std::string>(body));
    v.notModified = MHD_create_response_from_buffer(0, const_cast<char *>(""), MHD_RESPMEM_PERSISTENT);
    if (!v.full || !v.notModified)
        throw std::bad_alloc();
    const std::string modified = formatHttpDate(stamp_.mtime.tv_sec);
    for (MHD_Response *r : {v.full, v.notModified}) {
        addCommonHeaders(r);
        // Always revalidate: pages change with the program, and the
        // validators make revalidation cost a 304 and no body.
        MHD_add_response_header(r, "Cache-Control", "no-cache");
        MHD_add_response_header(r, "ETag", v.etag.c_str());
        MHD_add_response_header(r, "Last-Modified", modified.c_str());
        if (gzipBody_)
            MHD_add_response_header(r, "Vary", "Accept-Encoding");
    }
    MHD_add_response_header(v.full, "Content-Type", contentType.c_str());
    if (gzipped)
        MHD_add_response_header(v.full, "Content-Encoding", "gzip");
}

FileCache::Result FileCache::get(const fs::path &path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    if (static_cast<size_t>(st.st_size) > limits_.maxFileBytes)
        return {Status::TooLarge, nullptr};
    const FileStamp stamp = FileStamp::of(st);

    std::shared_ptr<const CachedFile> previous;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        const auto it = index_.find(path.native());
        if (it != index_.end()) {
            Slot &slot = *it->second;
            if (slot.file->stamp() == stamp && settled(stamp, slot.checkedAt)) {
                lru_.splice(lru_.begin(), lru_, it->second);
                return {Status::Cached, slot.file};
            }
            previous = slot.file;
        }
    }
    return load(path, previous);
}

FileCache::Result FileCache::load(const fs::path &path, const std::shared_ptr<const CachedFile> &previous)
{
    const auto checkedAt = std::chrono::system_clock::now();
    // O_NOFOLLOW: the path was canonical when checked; a symlink swapped in
    // since then must not be followed out of the site.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return {};
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return {};
    }
    if (static_cast<size_t>(st.st_size) > limits_.maxFileBytes) {
        close(fd);
        return {Status::TooLarge, nullptr};
    }
    auto plain = std::make_shared<std::string>();
    readFd(fd, static_cast<size_t>(st.st_size), *plain);
    close(fd);
    const FileStamp stamp = FileStamp::of(st);

    std::shared_ptr<const CachedFile> file;
    if (previous && previous->plainBytes() == *plain) {
        if (previous->stamp() == stamp) {
            file = previous; // only the stamp had not settled yet
        } else {
            // Touched, not changed: keep the compressed form, new date.
            file = std::make_shared<CachedFile>(std::move(plain), previous->gzipBody(), contentTypeFor(path), stamp);
        }
    } else {
        std::shared_ptr<const std::string> gz;
        if (isCompressible(path)) {
            auto packed = std::make_shared<std::string>(gzipCompress(*plain));
            if (packed->size() < plain->size())
                gz = std::move(packed);
        }
        file = std::make_shared<CachedFile>(std::move(plain), std::move(gz), contentTypeFor(path), stamp);
    }
    store(path.native(), file, checkedAt);
    return {Status::Cached, file};
}

void FileCache::store(const std::string &key, std::shared_ptr<const CachedFile> file,
                      std::chrono::system_clock::time_point checkedAt)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto it = index_.find(key);
    if (it != index_.end()) {
        bytes_ -= it->second->file->memoryBytes();
        lru_.erase(it->second);
        index_.erase(it);
    }
    bytes_ += file->memoryBytes();
    lru_.push_front(Slot{key, std::move(file), checkedAt});
    index_[key] = lru_.begin();
    while (lru_.size() > 1 && (lru_.size() > limits_.maxEntries || bytes_ > limits_.maxBytes)) {
        bytes_ -= lru_.back().file->memoryBytes();
        index_.erase(lru_.back().key);
        lru_.pop_back();
    }
}

bool isCompressible(const fs::path &file)
{
    static const std::set<std::string> types = {".html", ".htm", ".css", ".js", ".mjs", ".json",
                                                ".svg", ".txt", ".md", ".xml", ".ico"};
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return types.count(ext) > 0;
}

std::string gzipCompress(const std::string &data)
{
    z_stream zs{};
    // 15 + 16: a gzip wrapper rather than a bare zlib stream.
    if (deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out(deflateBound(&zs, static_cast<uLong>(data.size())), '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef *>(&out[0]);
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    if (rc != Z_STREAM_END)
        throw std::runtime_error("deflate failed");
    return out;
}

} // namespace qcy
