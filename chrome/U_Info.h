// The main window's look: its rounded outline and the title bar gradient.
#pragma once

class QWidget;
class TCanvas;

// Clips window to the rounded rectangle (x1, y1)-(x2, y2) with corner
// ellipses cornerWidth × cornerHeight, and redraws it.
void SetRoundRegion(int X1, int Y1, int X2, int Y2, int CornerWidth, int CornerHeight, QWidget *Wnd);

// Paints 512 vertical bands over columns 0..Width-1 and rows 0..Height-1:
// black rising to pure green in the middle and falling back to black. The
// brush is left black.
void DrawGradient(TCanvas &Canvas, int Width, int Height);

// Round to nearest with ties to even, as the band edges need.
int RoundHalfEven(double value);
