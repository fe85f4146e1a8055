#include "LearningPages.h"

#include <QUrl>

QString pageAddress(const QString &siteBase, const char *path)
{
    return siteBase + QString::fromLatin1(path);
}

QString siteDisplayName(const QString &siteBase)
{
    const QUrl url(siteBase);
    QString name = url.host();
    if (url.port() != -1 && url.port() != 80)
        name += QLatin1Char(':') + QString::number(url.port());
    return name;
}
