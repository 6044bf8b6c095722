#include "dialogs/ProgramIcon.h"

// The resources of a static library are registered only when something asks.
static void registerResources() {
    Q_INIT_RESOURCE(dialogs);
}

namespace qmt {

QIcon ProgramIcon() {
    static const bool registered = (registerResources(), true);
    (void)registered;
    return QIcon(QStringLiteral(":/icons/QMT584_View.svg"));
}

} // namespace qmt
