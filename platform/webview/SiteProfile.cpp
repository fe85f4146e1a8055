#include "SiteProfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QStandardPaths>
#include <QWebEngineProfile>

namespace {

// Other users on the machine must not read the learner's pages, cookies
// and cache.
constexpr QFile::Permissions PrivateFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

QString privateFolder(const QString &path)
{
    QDir().mkpath(path);
    QFile::setPermissions(path, PrivateFolder);
    return path;
}

} // namespace

QString SiteProfile::dataFolder()
{
    return privateFolder(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

QWebEngineProfile *SiteProfile::profile()
{
    // Owned by the application object: the engine wants its profiles to
    // outlive every page, and the windows are gone before the application.
    static QPointer<QWebEngineProfile> profile;
    if (profile)
        return profile;
    const QDir data(dataFolder());
    profile = new QWebEngineProfile(QStringLiteral("site"), QCoreApplication::instance());
    profile->setPersistentStoragePath(privateFolder(data.filePath(QStringLiteral("profile"))));
    profile->setCachePath(privateFolder(data.filePath(QStringLiteral("cache"))));
    profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
    return profile;
}
