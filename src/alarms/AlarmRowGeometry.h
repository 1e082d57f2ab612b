#pragma once

#include <QRect>

#include "common/Geometry.h"

namespace pendra {

inline constexpr int kAlarmStaticRowHeight = 30;
inline constexpr int kAlarmEditableRowHeight = 60;

// A frame of the design, flipped into the row and kept inside it: a few of the
// design's frames reach a pixel or three past the row's edges.
inline QRect rowFrame(int rowHeight, int x, int y, int width, int height) {
    return flippedFrame(rowHeight, x, y, width, height).intersected(QRect(0, 0, 450, rowHeight));
}

}  // namespace pendra
