// Which addresses belong to the site a view shows. Plain functions on
// addresses, so the rules can be checked without an engine.
#pragma once

class QUrl;

enum class SiteVerdict {
    Show,         // under the site: loads in the view
    OpenOutside,  // another web address: the desktop's browser
    Refuse,       // anything else (files, data, scripts, other schemes)
};

// True when url has base's scheme, host and port, no user name, and a path
// that starts with base's path (which ends in "/").
bool isUnderSite(const QUrl &url, const QUrl &base);

SiteVerdict classifyAddress(const QUrl &url, const QUrl &base);
