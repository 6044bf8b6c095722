#include "ui/CurvixWindow.h"

#include "ui/ChannelPanel.h"
#include "ui/WindowCommon.h"

namespace curvix {

void CurvixWindow::updateMeasurements() {}

} // namespace curvix
