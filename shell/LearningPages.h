// The learning tools of the site and where they live.
#pragma once

#include <QString>
#include <array>

struct LearningPage
{
    const char *item;    // the menu item that opens it
    const char *path;    // after the site base address
};

inline constexpr const char *LinkGamePath = "llk/";
inline constexpr const char *QuickTestPath = "quicktest.php";
inline constexpr const char *DetailedTestPath = "slowtest.php";
inline constexpr const char *DictionaryPath = "search.php";

inline constexpr std::array<LearningPage, 4> LearningPages{{
    {"N_Link", LinkGamePath},
    {"N_2_KSCS", QuickTestPath},
    {"N_2_XXCS", DetailedTestPath},
    {"N_ZD", DictionaryPath},
}};

// The base address followed by the path, as one string: no resolving, so
// the address is exactly what the site publishes.
QString pageAddress(const QString &siteBase, const char *path);

// What the Help menu names the site by: its host, and the port when it is
// not the http default.
QString siteDisplayName(const QString &siteBase);
