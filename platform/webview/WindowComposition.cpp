#include "WindowComposition.h"

#include <QBackingStore>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <qpa/qplatformbackingstore.h>

// A window made for plain drawing composites its widgets in memory and
// puts the picture on the screen. A view that draws through OpenGL needs
// the window to composite through an OpenGL context instead. Left to
// itself, Qt gets there by destroying the window's native window and
// making a new one when the first such view joins, and the desktop sees
// the program's window close and another open. Making the window for
// OpenGL from the start would keep it, but loads the GL driver and makes a
// context before the first frame, which on a software renderer costs more
// than the rest of start-up together.
//
// On X11 an OpenGL window differs from a plain one only in Qt's books: the
// X window is the same kind, and Mesa's GLX draws into it with the
// context's own configuration. So the window starts plain, and when the
// first view is about to join, it is marked as an OpenGL window and its
// backing store given its OpenGL compositor. Qt then sees a window of the
// right kind and keeps it.
bool prepareWindowForOpenGLViews(QWidget *window)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return false;
    QWindow *handle = window ? window->windowHandle() : nullptr;
    QBackingStore *store = window ? window->backingStore() : nullptr;
    if (!handle || !handle->handle() || !store || !store->handle())
        return false;
    if (handle->surfaceType() == QSurface::OpenGLSurface)
        return store->handle()->rhi() != nullptr;

    // The compositor's context is made current on the window while it is
    // set up, so the window must be an OpenGL one first.
    handle->setSurfaceType(QSurface::OpenGLSurface);
    QPlatformBackingStore *platformStore = store->handle();
    platformStore->setRhiConfig(QPlatformBackingStoreRhiConfig(QPlatformBackingStoreRhiConfig::OpenGL));
    if (platformStore->rhi())
        return true;
    handle->setSurfaceType(QSurface::RasterSurface); // no OpenGL here
    return false;
}
