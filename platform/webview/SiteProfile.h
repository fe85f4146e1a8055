// The engine profile every page of the program runs in. It is named and
// kept on disk, so what the learner does in a page (scores, study lists in
// localStorage, cookies) is still there the next time the program starts.
#pragma once

#include <QString>

class QWebEngineProfile;

class SiteProfile
{
public:
    // The one profile of this process, created on first use under
    // dataFolder() and deleted with the application object.
    static QWebEngineProfile *profile();

    // The user's data folder for the program (~/.local/share/qingchuanye),
    // created readable by the user alone.
    static QString dataFolder();
};
