#pragma once
// The time axis of the plot: its ticker and label for the dataset's time base.

class QCustomPlot;

namespace curvix {

class Dataset;

// live: the data comes from the program (else from a file).
void applyTimeAxis(QCustomPlot* plot, const Dataset& data, bool live);

} // namespace curvix
