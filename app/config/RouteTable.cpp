#include "config/RouteTable.h"

namespace qmt {
namespace {

// Edges as the designer counts them: the right edge is left + width.
int rightEdge(const QRect& r) {
    return r.x() + r.width();
}
int bottomEdge(const QRect& r) {
    return r.y() + r.height();
}

} // namespace

RouteTable ComputeRoutes(const RouteGeometry& g) {
    // Set-point switch items sit 25 px below the switches' common top, 18 px apart;
    // the output switch rows are 37 px below it, 17 px apart.
    const int T = g.swpid[0].y();
    auto setpointRow = [T](int item) { return T + 25 + 18 * item; };
    auto outputRow = [T](int item) { return T + 37 + 17 * item; };

    // Every source leaves at the level of the MB arrow.
    const int level = g.imMBOut.y() + g.imMBOut.height() / 2;
    const int mbX = rightEdge(g.imMBOut);
    std::array<int, 3> srcX{}, fbX{}, lane{}, below{};
    for (int m = 0; m < 3; ++m) {
        srcX[m] = rightEdge(g.pid[m]) + g.imOutPid[m].width();
        fbX[m] = g.paFB[m].x() + g.paFB[m].width() / 2;
        // Each regulator has its own lane above the blocks so that lines never merge.
        lane[m] = g.pid[m].y() - 8 * (m + 1);
        below[m] = bottomEdge(g.pid[m]) + 16;
    }
    const int fbY = g.paFB[0].y();
    const int mbLane = T - 32;

    RouteTable table{};
    // Sources of items 1-4 of each set-point switch: regulators, then inputs.
    static const int sources[3][4] = {{1, 2, 4, 5}, {0, 2, 3, 5}, {0, 1, 3, 4}};
    for (int n = 0; n < 3; ++n) {
        const int entry = g.swpid[n].x() - g.imInPid[n].width();
        const int row0 = setpointRow(0);
        if (n == 0) {
            // MB stands right before the first switch: straight up and in.
            table[RouteIndex(n, 0)] = {
                {{mbX, level}, {mbX, level}, {mbX, row0}, {g.swpid[n].x(), row0}}};
        } else {
            table[RouteIndex(n, 0)] = {
                {{mbX, level}, {mbX, mbLane}, {entry, mbLane}, {entry, row0}}};
        }
        for (int item = 1; item <= 4; ++item) {
            const int row = setpointRow(item);
            const int source = sources[n][item - 1];
            if (source < 3) {
                const int m = source;
                // The regulator right before this switch needs no lane of its own.
                const int y = m == n - 1 ? row : lane[m];
                table[RouteIndex(n, item)] = {
                    {{entry, row}, {entry, y}, {srcX[m], y}, {srcX[m], level}}};
            } else {
                const int m = source - 3;
                table[RouteIndex(n, item)] = {
                    {{entry, row}, {entry, below[n]}, {fbX[m], below[n]}, {fbX[m], fbY}}};
            }
        }
    }

    const int entry = g.swout.x() - g.imInOut.width();
    table[RouteIndex(3, 0)] = {
        {{entry, outputRow(0)}, {entry, mbLane}, {mbX, mbLane}, {mbX, level}}};
    for (int item = 1; item <= 3; ++item) {
        const int m = item - 1;
        const int row = outputRow(item);
        if (m == 2) {
            table[RouteIndex(3, item)] = {
                {{entry, row}, {srcX[m], row}, {srcX[m], level}, {srcX[m], level}}};
        } else {
            table[RouteIndex(3, item)] = {
                {{entry, row}, {entry, lane[m]}, {srcX[m], lane[m]}, {srcX[m], level}}};
        }
    }
    return table;
}

} // namespace qmt
