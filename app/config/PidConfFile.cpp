// .pid configuration files: New, Open, Save and Save As.
#include "config/ModuleConfig.h"
#include "config/PidFile.h"
#include "config/TPidConf.h"

#include "common/Ui.h"
#include "link/StatusReport.h"

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

ModuleConfig readConfigFile(const QString& path) {
    return LoadPidFile(path, Config); // the module mode is not in the file
}

void saveConfigFile(const QString& path) {
    SavePidFile(path, Config);
}

void confirmFile(const char* what, const QString& path) {
    status().confirm(QString::fromUtf8(what) + QFileInfo(path).fileName());
}

} // namespace

void TPidConf::miFileNewClick() {
    ResetConfig();
    ShowConfig();
}

void TPidConf::miFileOpenClick() {
    const QString path = prompts().openFileName(fileRequest(this, ConfigFileName));
    if (path.isEmpty()) return;
    // A refused file becomes no current file: a later Save would write into it.
    Config = readConfigFile(path);
    ConfigFileName = path;
    setWindowTitle(QStringLiteral("QMT584_View - ") + path);
    ShowConfig();
    confirmFile("Загружено: ", path);
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
    // The name changes only once the file is written: a path that cannot be
    // written must not become the target of the title and of later saves.
    saveConfigFile(path);
    ConfigFileName = path;
    setWindowTitle(QStringLiteral("QMT584_View - ") + path);
    confirmFile("Сохранено: ", path);
}

void TPidConf::LoadConfigFile() {
    Config = readConfigFile(ConfigFileName);
    ShowConfig();
    confirmFile("Загружено: ", ConfigFileName);
}

void TPidConf::SaveConfigFile() {
    saveConfigFile(ConfigFileName);
    confirmFile("Сохранено: ", ConfigFileName);
}
