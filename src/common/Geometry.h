#pragma once

#include <QRect>

namespace pendra {

// Frames are written as (x, y, width, height) with the origin at the lower-left
// corner of the parent; Qt puts it at the upper left.
inline QRect flippedFrame(int parentHeight, int x, int y, int width, int height) {
    return QRect(x, parentHeight - y - height, width, height);
}

}  // namespace pendra
