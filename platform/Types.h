// Small value types shared by the forms: colours as the layout stores them,
// window states and cursor numbers.
#pragma once

#include <QColor>
#include <QFont>
#include <QStringList>
#include <Qt>

// A colour as a 24-bit integer with blue in the high byte ($00BBGGRR), the
// way the window layouts and the drawing code write them.
using TColor = int;

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;

// The one place where the stored integer becomes a Qt colour.
QColor toQColor(TColor color);
TColor fromQColor(const QColor &color);
constexpr TColor RGB(int r, int g, int b) { return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16); }

enum class TWindowState { wsNormal, wsMinimized, wsMaximized };

// Cursor numbers as the layouts use them; only these two occur.
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crHandPoint = -21;
Qt::CursorShape toCursorShape(TCursor cursor);

// A font given by face name and height in pixels (negative, as stored).
// Faces missing on this machine fall back to an installed CJK face, so
// Chinese captions never come out as boxes.
QFont makeFont(const QString &face, int height, bool bold = false);
QStringList cjkFallbackFaces();
