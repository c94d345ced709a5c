#include "components/CLDpiScale.h"

#include <cstdint>

namespace {

// aValue * aNumerator / aDenominator, rounded to the nearest, halves away from zero.
int MulDivRound(int aValue, int aNumerator, int aDenominator) {
  if (aDenominator <= 0)
    return aValue;
  const int64_t product = static_cast<int64_t>(aValue) * aNumerator;
  const int64_t half = aDenominator / 2;
  const int64_t result =
      product >= 0 ? (product + half) / aDenominator : -((-product + half) / aDenominator);
  return static_cast<int>(result);
}

} // namespace

int ScaleToDpi(int aValue, int aDpi) {
  return aDpi > 0 ? MulDivRound(aValue, aDpi, kDesignDpi) : aValue;
}

int ScaleFromDpi(int aPixels, int aDpi) {
  return aDpi > 0 ? MulDivRound(aPixels, kDesignDpi, aDpi) : aPixels;
}

int FontHeightForDpi(int aPoints, int aDpi) {
  return -MulDivRound(aPoints, aDpi > 0 ? aDpi : kDesignDpi, 72);
}
