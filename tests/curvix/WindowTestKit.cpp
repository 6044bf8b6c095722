#include "WindowTestKit.h"

#include <QSettings>

#include <cstdlib>

namespace curvix::test {
namespace {

// Before main: the settings folder is read once, at the first QSettings.
struct ConfigFolder {
    QTemporaryDir dir;
    ConfigFolder() { setenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit().constData(), 1); }
};
ConfigFolder configFolder;

} // namespace

SettingsReset::SettingsReset() {
    QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("curvix"),
              QStringLiteral("curvix"))
        .clear();
}

} // namespace curvix::test
