#pragma once

#include <QRect>
#include <cmath>

// Window geometry is kept in twips: 1440 to the inch, 15 to a pixel at 96 dots per inch.
constexpr int kTwipsPerPixel = 15;

inline int TwipsToPixels(double twips) {
    return int(std::lround(twips / kTwipsPerPixel));
}
inline double PixelsToTwips(int pixels) {
    return double(pixels) * kTwipsPerPixel;
}
inline QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                 TwipsToPixels(height));
}
