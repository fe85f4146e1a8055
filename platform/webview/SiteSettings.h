// The engine set up for a shell of one site: pages get the Chinese
// interface language and none of the browser's ways out of the view.
#pragma once

#include <QList>
#include <QWebEnginePage>

class QWebEngineProfile;
class QWebEngineSettings;
class QWebEngineView;

// Before the engine starts: its interface language (error pages, the
// language pages see) is the program's default locale when it starts.
void prepareSiteEngine();

// Accept-Language, downloads refused, and applySiteSettings() on the
// profile's settings. Safe to call more than once on a profile.
void applySiteProfile(QWebEngineProfile *profile);

void applySiteSettings(QWebEngineSettings *settings);

// The engine's context menu without the entries that would take content
// out of the view (new windows, downloads, saving, page source, inspector).
void installSiteContextMenu(QWebEngineView *view);

// The page actions that would take content out of the view.
QList<QWebEnginePage::WebAction> escapingActions();
