#include "Types.h"

#include <QFontDatabase>

QColor toQColor(TColor color)
{
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

TColor fromQColor(const QColor &color)
{
    return RGB(color.red(), color.green(), color.blue());
}

Qt::CursorShape toCursorShape(TCursor cursor)
{
    switch (cursor) {
    case crHandPoint:
        return Qt::PointingHandCursor;
    default:
        return Qt::ArrowCursor;
    }
}

QStringList cjkFallbackFaces()
{
    // The faces a Windows desktop has first, then what Debian's CJK font
    // packages install.
    static const QStringList candidates = {
        QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
        QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Serif CJK SC"),
        QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("WenQuanYi Micro Hei"),
        QStringLiteral("Droid Sans Fallback"),
    };
    const QStringList installed = QFontDatabase::families();
    QStringList faces;
    for (const QString &face : candidates) {
        if (installed.contains(face, Qt::CaseInsensitive))
            faces << face;
    }
    return faces;
}

QFont makeFont(const QString &face, int height, bool bold)
{
    QFont font;
    QStringList faces{face};
    faces << cjkFallbackFaces();
    font.setFamilies(faces);
    font.setPixelSize(height < 0 ? -height : height);
    font.setBold(bold);
    return font;
}
