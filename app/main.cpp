#include "calib/TCalibr1.h"
#include "common/CommandLine.h"
#include "common/Ui.h"
#include "config/TPidConf.h"
#include "dialogs/ProgramIcon.h"
#include "dialogs/TAboutBox.h"
#include "dialogs/TInParam.h"
#include "dialogs/TModPars.h"
#include "dialogs/TPassword.h"
#include "dialogs/TPidParam.h"
#include "dialogs/TfOutParam.h"
#include "link/Forms.h"
#include "link/Library.h"
#include "link/Settings.h"
#include "link/Startup.h"
#include "link/TParCOM.h"
#include "monitor/TPidVal.h"

#include <QApplication>
#include <QPointer>

#include <vector>

namespace {

// The start-up windows, as created; a command may replace a global later, so
// the end of the program deletes only those that still exist.
std::vector<QPointer<QWidget>> startupWindows;

template <class T> T* create(T*& global) {
    global = new T;
    startupWindows.emplace_back(global);
    return global;
}

void createWindows() {
    // The main window first: its construction loads the settings and opens the port.
    create(PidConf);
    create(Password);
    create(ModPars);
    create(PidParam);
    create(Calibr1);
    create(InParam);
    create(PidVal);
    create(ParCOM);
    create(AboutBox);
    create(fOutParam);
    // Closing the main window ends the program, whatever else is open.
    for (const QPointer<QWidget>& window : startupWindows) {
        if (window && window != PidConf) window->setAttribute(Qt::WA_QuitOnClose, false);
    }
}

void destroyWindows() {
    for (auto it = startupWindows.rbegin(); it != startupWindows.rend(); ++it)
        delete it->data();
    startupWindows.clear();
}

} // namespace

const qmt::CommandLineInfo CommandLine = {
    "QMT584_View",
    QMT_VERSION,
    "[OPTION]...",
    "Service program of the QMT-584 controller module (Modbus RTU).",
    "Settings: QMT584_View.ini beside the program when its folder is writable,\n"
    "otherwise $XDG_CONFIG_HOME/QMT584_View/QMT584_View.ini (~/.config/QMT584_View/...).\n",
    0};

int main(int argc, char* argv[]) {
    if (const auto done = qmt::HandleCommandLine(argc, argv, CommandLine)) return *done;
    // The binding messages are message boxes: the application object comes
    // first, but no window is created before the library is bound.
    QApplication app(argc, argv);
    qmt::PrepareApplication();
    QApplication::setWindowIcon(qmt::ProgramIcon());
    if (!qmt::BindLibrary()) return 1;

    qmt::SetApplicationTitle();
    // An installed program's first start: the user's settings file with the
    // defaults. Failing is no error here; OK in the port dialog names the path.
    qmt::CreateUserSettingsFile();
    if (!qmt::guarded(createWindows)) {
        destroyWindows();
        return 0;
    }
    PidConf->show();
    app.exec();
    destroyWindows();
    return 0;
}
