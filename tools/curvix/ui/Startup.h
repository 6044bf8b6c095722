#pragma once
// What the viewer sets up before its window: the protocol's own output and
// the application's font and Russian texts.

class QApplication;

namespace curvix {

// Moves the protocol's output off fd 1: returns a duplicate of it (closed on
// exec) and points fd 1 at stderr, so that nothing a library prints lands in
// a frame. Returns fd 1 itself should the duplicate fail.
int protectProtocolOutput();

// The viewer's font and Qt's own Russian texts (file dialogs, standard buttons).
void prepareApplication(QApplication& app);

} // namespace curvix
