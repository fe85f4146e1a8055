#include "U_Info.h"

#include "platform/Canvas.h"
#include "platform/Region.h"

#include <cmath>

void SetRoundRegion(int X1, int Y1, int X2, int Y2, int CornerWidth, int CornerHeight, QWidget *Wnd)
{
    SetWindowRgn(Wnd, CreateRoundRectRgn(X1, Y1, X2, Y2, CornerWidth, CornerHeight), true);
}

int RoundHalfEven(double value)
{
    // nearbyint follows the current rounding mode, which is to-nearest-even
    // unless someone changed it; say so explicitly instead.
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff > 0.5)
        return int(floor) + 1;
    if (diff < 0.5)
        return int(floor);
    return std::fmod(floor, 2.0) == 0.0 ? int(floor) : int(floor) + 1;
}

void DrawGradient(TCanvas &Canvas, int Width, int Height)
{
    // Width / 512 and all its multiples are exact in double precision for
    // any width a screen has, so the band edges never drift.
    const double step = Width / 256.0 * 1.0 / 2.0;
    double x = 0.0;
    auto band = [&](int green) {
        Canvas.setBrushColor(RGB(0, green, 0));
        Canvas.fillRect(RoundHalfEven(x), 0, RoundHalfEven(x + step), Height);
        x += step;
    };
    for (int i = 0; i <= 255; ++i)
        band(i);
    for (int i = 255; i >= 0; --i)
        band(i);
}
