#pragma once
// Component coordinates and font sizes are kept at 96 DPI, the design resolution; a window on a
// screen of another resolution scales them when it places its controls, and scales the user's
// own changes (a window dragged to a new size) back.

constexpr int kDesignDpi = 96;

// aValue (at 96 DPI) in pixels at aDpi, rounded to the nearest pixel, halves away from zero.
int ScaleToDpi(int aValue, int aDpi);
// aPixels at aDpi back at 96 DPI, rounded the same way. For aDpi of 96 and above, a value scaled
// with ScaleToDpi comes back unchanged, so a window that writes its size back never drifts.
int ScaleFromDpi(int aPixels, int aDpi);
// The character height of a font of aPoints points at aDpi, as the system's font records take it
// (negative: the height without internal leading).
int FontHeightForDpi(int aPoints, int aDpi);
