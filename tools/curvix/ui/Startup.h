#pragma once

class QApplication;

namespace curvix {

// The viewer's font and Qt's own Russian texts (file dialogs, standard buttons).
void prepareApplication(QApplication& app);

} // namespace curvix
