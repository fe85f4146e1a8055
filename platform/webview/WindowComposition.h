#pragma once

class QWidget;

// Readies a shown window for views that draw through OpenGL, keeping its
// native window. Returns false when the window could not be readied; Qt
// then makes the window a new native window itself when the first such
// view arrives.
bool prepareWindowForOpenGLViews(QWidget *window);
