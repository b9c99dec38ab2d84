// The voices dialog's value mapping between the sliders' percentages and the core's values.
//
//   PercentToValue(p, low, high): p clamped to 0..100, low + (high - low) / 100 x p, rounded half
//                                 to even to a 32-bit integer;
//   ValueToPercent(v, low, high): 0 when high - low < 1, else (v - low) / ((high - low) / 100)
//                                 rounded half to even (not clamped: the slider clamps).
#pragma once

#include <QtGlobal>
#include <algorithm>
#include <cmath>

namespace jex {

inline qint32 PercentToValue(double percent, double low, double high) {
  const double p = std::clamp(percent, 0.0, 100.0);
  return qint32(std::nearbyint(low + (high - low) / 100.0 * p));
}

inline qint16 ValueToPercent(double value, double low, double high) {
  if (high - low < 1) return 0;
  return qint16(std::nearbyint((value - low) / ((high - low) / 100.0)));
}

// A voice's volume travels as a 32-bit value whose low word (unsigned) is the level.
inline qint32 volumeLevel(qint32 stored) { return stored & 0xFFFF; }
inline qint32 volumeValue(qint32 level) { return level & 0xFFFF; }

}  // namespace jex
