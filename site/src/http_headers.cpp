#include "http_headers.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qcy {

namespace {

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// Calls `fn(item)` for each comma-separated item, trimmed, skipping empties.
template <typename Fn>
void forEachListItem(std::string_view list, Fn fn)
{
    while (!list.empty()) {
        const size_t comma = list.find(',');
        const std::string_view item = trim(list.substr(0, comma));
        if (!item.empty())
            fn(item);
        if (comma == std::string_view::npos)
            break;
        list.remove_prefix(comma + 1);
    }
}

// The q parameter of one Accept-Encoding item; 1 when absent, 0 for junk
// (a client that cannot write a number does not get gzip by accident).
double qualityOf(std::string_view params)
{
    while (!params.empty()) {
        const size_t semi = params.find(';');
        const std::string_view p = trim(params.substr(0, semi));
        if (p.size() >= 2 && (p[0] == 'q' || p[0] == 'Q') && p[1] == '=') {
            const std::string number(trim(p.substr(2)));
            char *end = nullptr;
            const double q = std::strtod(number.c_str(), &end);
            return (end && *end == '\0' && q >= 0 && q <= 1) ? q : 0;
        }
        if (semi == std::string_view::npos)
            break;
        params.remove_prefix(semi + 1);
    }
    return 1;
}

} // namespace

bool acceptsGzip(std::string_view acceptEncoding)
{
    std::optional<double> gzip;
    std::optional<double> any;
    forEachListItem(acceptEncoding, [&](std::string_view item) {
        const size_t semi = item.find(';');
        const std::string_view coding = trim(item.substr(0, semi));
        const double q = semi == std::string_view::npos ? 1 : qualityOf(item.substr(semi + 1));
        if (equalsNoCase(coding, "gzip") || equalsNoCase(coding, "x-gzip"))
            gzip = std::max(gzip.value_or(0), q);
        else if (coding == "*")
            any = q;
    });
    if (gzip)
        return *gzip > 0;
    return any && *any > 0;
}

bool etagListMatches(std::string_view ifNoneMatch, std::string_view etag)
{
    auto opaque = [](std::string_view tag) {
        if (tag.size() >= 2 && tag[0] == 'W' && tag[1] == '/')
            tag.remove_prefix(2);
        return tag;
    };
    const std::string_view ours = opaque(etag);
    bool match = false;
    forEachListItem(ifNoneMatch, [&](std::string_view item) {
        if (item == "*" || opaque(item) == ours)
            match = true;
    });
    return match;
}

std::optional<std::time_t> parseHttpDate(const std::string &value)
{
    std::tm tm{};
    const char *end = strptime(value.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &tm);
    if (!end || *end != '\0')
        return std::nullopt;
    return timegm(&tm);
}

std::string formatHttpDate(std::time_t t)
{
    // strftime's %a and %b follow the locale; HTTP wants the English names.
    static const char *const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d GMT", days[tm.tm_wday], tm.tm_mday,
                  months[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

} // namespace qcy
