#include "SiteAddress.h"

#include <QUrl>

namespace {

bool isWebScheme(const QString &scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

} // namespace

bool isUnderSite(const QUrl &url, const QUrl &base)
{
    if (!url.isValid() || !base.isValid() || !isWebScheme(url.scheme()))
        return false;
    // QUrl keeps schemes and hosts in lower case, so plain comparison is
    // the case-blind one; the port compares with the scheme's default
    // filled in, so http://host/ and http://host:80/ are one site.
    const int defaultPort = url.scheme() == QLatin1String("https") ? 443 : 80;
    if (url.scheme() != base.scheme() || url.host() != base.host()
        || url.port(defaultPort) != base.port(defaultPort))
        return false;
    // A user name in a web address is there to make it look like another.
    if (!url.userInfo().isEmpty())
        return false;
    // "/site/../other" must not pass as under "/site/".
    const QString path = url.adjusted(QUrl::NormalizePathSegments).path(QUrl::FullyEncoded);
    QString prefix = base.path(QUrl::FullyEncoded);
    if (prefix.isEmpty())
        prefix = QStringLiteral("/");
    if (!prefix.endsWith(QLatin1Char('/')))
        prefix += QLatin1Char('/');
    return path.startsWith(prefix) || path + QLatin1Char('/') == prefix;
}

SiteVerdict classifyAddress(const QUrl &url, const QUrl &base)
{
    if (isUnderSite(url, base))
        return SiteVerdict::Show;
    if (url.isValid() && isWebScheme(url.scheme()) && !url.host().isEmpty())
        return SiteVerdict::OpenOutside;
    return SiteVerdict::Refuse;
}
