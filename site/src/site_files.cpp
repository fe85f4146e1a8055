#include "site_files.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace qcy {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string lower(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool endsWith(std::string_view s, std::string_view suffix)
{
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

} // namespace

std::optional<std::string> percentDecode(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out.push_back(s[i]);
            continue;
        }
        if (i + 2 >= s.size())
            return std::nullopt;
        const int hi = hexValue(s[i + 1]);
        const int lo = hexValue(s[i + 2]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
    }
    return out;
}

SiteFolder::SiteFolder(const fs::path &root)
    : root_(fs::canonical(root))
{
    rootPrefix_ = root_.string();
    if (rootPrefix_.empty() || rootPrefix_.back() != '/')
        rootPrefix_.push_back('/');
}

bool SiteFolder::contains(const fs::path &canonical) const
{
    const std::string s = canonical.string();
    return s == root_.string() || s.compare(0, rootPrefix_.size(), rootPrefix_) == 0;
}

std::optional<fs::path> SiteFolder::regularFileInside(const fs::path &p) const
{
    std::error_code ec;
    const fs::path canonical = fs::canonical(p, ec);
    if (ec || !contains(canonical))
        return std::nullopt;
    if (!fs::is_regular_file(canonical, ec) || ec)
        return std::nullopt;
    return canonical;
}

Lookup SiteFolder::lookup(std::string_view target) const
{
    Lookup notFound;

    const size_t end = target.find_first_of("?#");
    const std::string_view rawPath = target.substr(0, end);
    if (rawPath.empty() || rawPath.front() != '/')
        return notFound; // absolute-form and asterisk-form targets

    // A file name never contains '/', '\' or NUL, so an encoded one can only
    // be an attempt to smuggle a separator past the segment checks below.
    const std::string rawLower = lower(rawPath);
    if (rawLower.find("%2f") != std::string::npos || rawLower.find("%5c") != std::string::npos
        || rawLower.find("%00") != std::string::npos)
        return notFound;

    const auto decoded = percentDecode(rawPath);
    if (!decoded)
        return notFound;
    for (unsigned char c : *decoded) {
        if (c < 0x20 || c == 0x7f || c == '\\')
            return notFound;
    }

    std::vector<std::string> segments;
    size_t pos = 1;
    while (pos <= decoded->size()) {
        size_t slash = decoded->find('/', pos);
        if (slash == std::string::npos)
            slash = decoded->size();
        std::string seg = decoded->substr(pos, slash - pos);
        // Dot segments and hidden files (.git, .htaccess, editor droppings)
        // are never part of the site.
        if (!seg.empty() && seg.front() == '.')
            return notFound;
        if (!seg.empty())
            segments.push_back(std::move(seg));
        pos = slash + 1;
    }
    const bool trailingSlash = decoded->back() == '/';

    // The program asks for the old page names (search.php …); no PHP runs,
    // each of them is the .html file of the same name.
    if (!segments.empty() && endsWith(segments.back(), ".php")) {
        std::string &last = segments.back();
        last.replace(last.size() - 4, 4, ".html");
    }

    fs::path candidate = root_;
    for (const auto &seg : segments)
        candidate /= seg;

    std::error_code ec;
    const fs::path canonical = fs::canonical(candidate, ec);
    if (ec || !contains(canonical))
        return notFound;

    if (fs::is_directory(canonical, ec)) {
        if (!trailingSlash) {
            // Relative, so that it stays right whatever base address the
            // site is mounted under.
            Lookup redirect;
            redirect.kind = Lookup::Kind::Redirect;
            const size_t lastSlash = rawPath.rfind('/');
            redirect.location = std::string(rawPath.substr(lastSlash + 1)) + "/";
            return redirect;
        }
        if (auto index = regularFileInside(canonical / "index.html")) {
            Lookup found;
            found.kind = Lookup::Kind::File;
            found.file = *index;
            return found;
        }
        return notFound;
    }

    if (trailingSlash)
        return notFound;
    // Already canonical and inside: one stat says whether it is a file.
    if (fs::is_regular_file(canonical, ec) && !ec) {
        Lookup found;
        found.kind = Lookup::Kind::File;
        found.file = canonical;
        return found;
    }
    return notFound;
}

std::string contentTypeFor(const fs::path &file)
{
    static const std::map<std::string, std::string> types = {
        {".html", "text/html; charset=utf-8"},
        {".htm", "text/html; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".mjs", "text/javascript; charset=utf-8"},
        {".json", "application/json"},
        {".txt", "text/plain; charset=utf-8"},
        {".md", "text/markdown; charset=utf-8"},
        {".svg", "image/svg+xml"},
        {".png", "image/png"},
        {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},
        {".gif", "image/gif"},
        {".webp", "image/webp"},
        {".ico", "image/x-icon"},
        {".woff2", "font/woff2"},
        {".woff", "font/woff"},
        {".ttf", "font/ttf"},
        {".wav", "audio/wav"},
        {".mp3", "audio/mpeg"},
        {".ogg", "audio/ogg"},
    };
    const auto it = types.find(lower(file.extension().string()));
    return it != types.end() ? it->second : "application/octet-stream";
}

} // namespace qcy
