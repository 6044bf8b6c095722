#pragma once
// The routes of the diagram: one polyline of four points for every item of the
// four routing switches that stands for a source, laid out from the rectangles
// of the diagram's controls.

#include <QPoint>
#include <QRect>

#include <array>

namespace qmt {

using Route = std::array<QPoint, 4>;
// Items 0-4 of swpid1, swpid2, swpid3, then items 0-3 of swout.
using RouteTable = std::array<Route, 19>;

// sw: 0-2 the set-point switches, 3 the output switch.
constexpr int RouteIndex(int sw, int item) {
    return sw < 3 ? 5 * sw + item : 15 + item;
}

// The control rectangles the routes are laid out from.
struct RouteGeometry {
    QRect imMBOut;
    std::array<QRect, 3> swpid, imInPid, pid, imOutPid, paFB;
    QRect swout, imInOut;
};

RouteTable ComputeRoutes(const RouteGeometry& g);

} // namespace qmt
