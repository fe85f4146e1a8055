// Small readers and writers of HTTP header values; no request parsing
// happens here (the HTTP library does that).
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace qcy {

// True when an Accept-Encoding value lets us send gzip: "gzip", "x-gzip"
// or "*" with a non-zero quality, unless gzip itself is refused with q=0.
bool acceptsGzip(std::string_view acceptEncoding);

// If-None-Match against one entity tag, by weak comparison as the header
// wants: "*" matches anything, W/ prefixes are ignored.
bool etagListMatches(std::string_view ifNoneMatch, std::string_view etag);

// IMF-fixdate ("Sun, 06 Nov 1994 08:49:37 GMT"), the form every client
// sends back from our own Last-Modified.
std::optional<std::time_t> parseHttpDate(const std::string &value);
std::string formatHttpDate(std::time_t t);

} // namespace qcy
