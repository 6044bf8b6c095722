// .pid configuration files: New, Open, Save and Save As.
#include "config/ModuleConfig.h"
#include "config/PidFile.h"
#include "config/TPidConf.h"

#include "link/Errors.h"
#include "link/IniFile.h"
#include "link/Ui.h"

#include <QFileInfo>

namespace {

using namespace qmt;

FileDialogRequest fileRequest(QWidget* owner, const QString& current) {
    FileDialogRequest request;
    request.owner = owner;
    request.directory = current.isEmpty() ? QString() : QFileInfo(current).absolutePath();
    request.filter = QStringLiteral("Файлы конфигурации  QMT-584 (*.pid)");
    return request;
}

} // namespace

void TPidConf::miFileNewClick() {
    ResetConfig();
    ShowConfig();
}

void TPidConf::miFileOpenClick() {
    const QString path = prompts().openFileName(fileRequest(this, ConfigFileName));
    if (path.isEmpty()) return;
    ConfigFileName = path;
    setWindowTitle(QStringLiteral("QMT584_View - ") + path);
    LoadConfigFile();
}

void TPidConf::miFileSaveClick() {
    if (ConfigFileName.isEmpty())
        miFileSaveAsClick();
    else
        SaveConfigFile();
}

void TPidConf::miFileSaveAsClick() {
    FileDialogRequest request = fileRequest(this, ConfigFileName);
    request.defaultSuffix = QStringLiteral("pid");
    request.confirmOverwrite = true;
    const QString path = prompts().saveFileName(request);
    if (path.isEmpty()) return;
    ConfigFileName = path;
    setWindowTitle(QStringLiteral("QMT584_View - ") + path);
    SaveConfigFile();
}

void TPidConf::LoadConfigFile() {
    IniFile ini(ConfigFileName);
    // A file that exists but cannot be read must not pass for an empty one:
    // the user would get the defaults in place of the configuration.
    if (ini.load() == IniFile::LoadStatus::Unreadable)
        throw Exception(QStringLiteral("Невозможно прочитать файл ") + ConfigFileName);
    ReadPidConfig(ini, Config);
    ShowConfig();
}

void TPidConf::SaveConfigFile() {
    IniFile ini(ConfigFileName);
    const QString failure = QStringLiteral("Unable to write to ") + ConfigFileName;
    // Lines we cannot read could not be kept; leave such a file alone.
    if (ini.load() == IniFile::LoadStatus::Unreadable) throw Exception(failure);
    WritePidConfig(Config, ini);
    // The whole file is built in memory and replaces the old one in one step.
    if (!ini.save()) throw Exception(failure);
}
