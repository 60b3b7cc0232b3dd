#pragma once

#include <QRect>
#include <QSize>

// The windows are laid out in twips, 1/1440 inch; at 96 dots per inch a pixel is 15 twips.
constexpr int fromTwips(int twips) {
    return twips / 15;
}

constexpr QRect twipsRect(int left, int top, int width, int height) {
    return {fromTwips(left), fromTwips(top), fromTwips(width), fromTwips(height)};
}

constexpr QSize twipsSize(int width, int height) {
    return {fromTwips(width), fromTwips(height)};
}
