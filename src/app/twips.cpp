#include "app/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace jex {
namespace {
constexpr double kTwipsPerInch = 1440.0;

double dpi(bool horizontal) {
  const QScreen* s = QGuiApplication::primaryScreen();
  const double d = s ? (horizontal ? s->logicalDotsPerInchX() : s->logicalDotsPerInchY()) : 96.0;
  return d > 0 ? d : 96.0;
}
}  // namespace

int twipsToPixelsX(double twips) { return int(std::lround(twips * dpi(true) / kTwipsPerInch)); }
int twipsToPixelsY(double twips) { return int(std::lround(twips * dpi(false) / kTwipsPerInch)); }
double pixelsToTwipsX(int pixels) { return pixels * kTwipsPerInch / dpi(true); }
double pixelsToTwipsY(int pixels) { return pixels * kTwipsPerInch / dpi(false); }

}  // namespace jex
