#pragma once
// The program's icon: the About box's picture and every window's icon.

#include <QIcon>

namespace qmt {

QIcon ProgramIcon();

} // namespace qmt
