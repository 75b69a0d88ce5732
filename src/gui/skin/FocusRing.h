#pragma once

#include <QRectF>

class QPainter;

// The ring a painted control wears while it has the keyboard focus: a bright teal band with a dark rim
// on both sides, so it reads on the slate face, on a lit (light) picture and on a pressed (dark) one
// alike. A disabled control keeps the ring's shape in the dim colour, broken into dashes, so the focus
// is still seen but does not look live.
namespace FocusRing {
void paint(QPainter& p, const QRectF& area, bool enabled);
} // namespace FocusRing
