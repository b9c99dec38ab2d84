// Twips (1440 to the inch) and pixels of the primary screen, by its logical resolution.
#pragma once

namespace jex {

int twipsToPixelsX(double twips);
int twipsToPixelsY(double twips);
double pixelsToTwipsX(int pixels);
double pixelsToTwipsY(int pixels);

}  // namespace jex
