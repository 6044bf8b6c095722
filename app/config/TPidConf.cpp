#include "config/TPidConf.h"

#include "config/ClickablePanel.h"
#include "config/ModuleConfig.h"
#include "config/StatusPane.h"

#include "calib/Calibration.h"
#include "common/Ui.h"
#include "dialogs/TAboutBox.h"
#include "dialogs/TInParam.h"
#include "dialogs/TModPars.h"
#include "dialogs/TPidParam.h"
#include "dialogs/TfOutParam.h"
#include "link/Forms.h"
#include "link/PortSettings.h"
#include "link/PortStatus.h"
#include "link/RegisterAccess.h"
#include "link/Settings.h"
#include "link/TParCOM.h"
#include "monitor/TPidVal.h"
#include "tune/TTune.h"

#include <QAction>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>

namespace {

constexpr int ClientWidth = 788;
constexpr int ClientHeight = 434; // the status bar included
constexpr int StatusBarHeight = 20;
constexpr int StatusTextWidth = 300;
constexpr int LinkCheckIntervalMs = 1000;
// Room a status pane keeps beside its text: the frame and the bar's spacing.
constexpr int StatusPaneSlack = 12;

const QString LinkUpText = QStringLiteral("Связь с модулем есть");
const QString LinkDownText = QStringLiteral("Нет связи с модулем");
const QColor LinkUpColour(0, 128, 0);
const QColor LinkDownColour(192, 0, 0);

// Creates a dialog into its window object, runs it modally and destroys it, also
// when the run raises. Returns the modal result.
template <class Dialog, class AfterRun>
int runFresh(Dialog*& windowObject, QWidget* owner, AfterRun afterRun) {
    QPointer<Dialog> dialog = new Dialog(owner);
    windowObject = dialog;
    struct Cleanup {
        QPointer<Dialog>& d;
        Dialog*& object;
        ~Cleanup() {
            delete d.data();
            object = nullptr;
        }
    } cleanup{dialog, windowObject};
    const int result = qmt::prompts().execModal(dialog);
    afterRun(dialog.data(), result);
    return result;
}

struct Command {
    const char* name;
    QString caption;
    void (TPidConf::*run)();
};

// Menu commands in their order, each an action named as its command is.
void addCommands(QMenu* menu, TPidConf* window, std::initializer_list<Command> commands) {
    for (const Command& c : commands) {
        QAction* action = menu->addAction(c.caption);
        action->setObjectName(QLatin1String(c.name));
        qmt::onTriggered(action, qmt::handler(window, c.run));
    }
}

} // namespace

TPidConf::TPidConf(QWidget* parent, const QString& settingsPath) : QMainWindow(parent) {
    setObjectName(QStringLiteral("PidConf"));
    setWindowTitle(QStringLiteral("QMT584_View"));

    buildMenu();
    buildDiagram();
    buildStatusBar();
    diagram_->setFixedSize(ClientWidth, ClientHeight - StatusBarHeight);
    setCentralWidget(diagram_);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    tmLink = new QTimer(this);
    tmLink->setObjectName(QStringLiteral("tmLink"));
    tmLink->setInterval(LinkCheckIntervalMs);
    connect(tmLink, &QTimer::timeout, this,
            [this] { qmt::guarded(qmt::handler(this, &TPidConf::tmLinkTimer)); });

    routes_ = qmt::ComputeRoutes(routeGeometry());
    qmt::ResetConfig();
    qmt::LoadPortSettings(settingsPath.isEmpty() ? qmt::SettingsFilePath() : settingsPath);
    const bool open =
        qmt::OpenPort(qmt::PortSettings.portName, qmt::PortSettings.baud, qmt::PortSettings.parity);
    UpdatePortStatus(open);
    tmLink->start();
}

void TPidConf::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu"));
    bar->setNativeMenuBar(false);

    QMenu* file = bar->addMenu(QStringLiteral("Файл"));
    file->setObjectName(QStringLiteral("mmFile"));
    addCommands(
        file, this,
        {{"miFileNew", QStringLiteral("Новый"), &TPidConf::miFileNewClick},
         {"miFileOpen", QStringLiteral("Открыть..."), &TPidConf::miFileOpenClick},
         {"miFileSave", QStringLiteral("Сохранить"), &TPidConf::miFileSaveClick},
         {"miFileSaveAs", QStringLiteral("Сохранить как..."), &TPidConf::miFileSaveAsClick}});

    QMenu* commands = bar->addMenu(QStringLiteral("Команды"));
    commands->setObjectName(QStringLiteral("mmCommands"));
    addCommands(
        commands, this,
        {{"miComServPar", QStringLiteral("Служебные настройки модуля..."),
          &TPidConf::miComServParClick},
         {"miComCalib", QStringLiteral("Калибровка..."), &TPidConf::miComCalibClick},
         {"miComModVar", QStringLiteral("Переменные модуля..."), &TPidConf::miComModVarClick},
         {"miComTune", QStringLiteral("Настройка регулятора по скачку..."),
          &TPidConf::miComTuneClick},
         {"miReadConf", QStringLiteral("Прочитать конфигурацию модуля"),
          &TPidConf::miReadConfClick},
         {"miWriteConf", QStringLiteral("Записать конфигурацию ПИД"), &TPidConf::miWriteConfClick},
         {"miWriteChanges", QStringLiteral("Записать изменения..."),
          &TPidConf::miWriteChangesClick},
         {"miReadResCount", QStringLiteral("Считать счетчик рестартов"),
          &TPidConf::miReadResCountClick},
         {"miNullResCount", QStringLiteral("Обнулить счетчик рестартов"),
          &TPidConf::miNullResCountClick}});

    QMenu* port = bar->addMenu(QStringLiteral("Порт"));
    port->setObjectName(QStringLiteral("mmPort"));
    addCommands(
        port, this,
        {{"miPortPar", QStringLiteral("Настройки..."), &TPidConf::miPortParClick},
         {"miLinkStats", QStringLiteral("Статистика связи..."), &TPidConf::miLinkStatsClick},
         {"miStationScan", QStringLiteral("Поиск станций..."), &TPidConf::miStationScanClick},
         {"miTrafficMonitor", QStringLiteral("Монитор обмена..."),
          &TPidConf::miTrafficMonitorClick}});

    // A top-level command without a submenu; the "!" is part of its caption.
    QAction* about = bar->addAction(QStringLiteral("!О программе"));
    about->setObjectName(QStringLiteral("mmAbout"));
    qmt::onTriggered(about, qmt::handler(this, &TPidConf::mmAboutClick));
}

void TPidConf::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setSizeGripEnabled(false);
    bar->setFixedHeight(StatusBarHeight);
    bar->setFixedWidth(ClientWidth);
    PortStatusGlyph = new QLabel(bar);
    PortStatusGlyph->setObjectName(QStringLiteral("PortStatusGlyph"));
    PortStatusGlyph->setFixedWidth(24);
    PortStatusGlyph->setAlignment(Qt::AlignCenter);
    PortStatusText = new QLabel(bar);
    PortStatusText->setObjectName(QStringLiteral("PortStatusText"));
    PortStatusText->setFixedWidth(StatusTextWidth);
    PortStatusText->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    StatusLink = new QLabel(bar);
    StatusLink->setObjectName(QStringLiteral("StatusLink"));
    StatusLink->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const QFontMetrics metrics = StatusLink->fontMetrics();
    StatusLink->setFixedWidth(
        qMax(metrics.horizontalAdvance(LinkUpText), metrics.horizontalAdvance(LinkDownText)) +
        StatusPaneSlack);
    bar->addWidget(PortStatusGlyph);
    bar->addWidget(PortStatusText);
    bar->addWidget(StatusLink);
    // A long note (a search on a long device path) may cover the port and
    // link panes while it is shown; the lamp stays.
    StatusNotes =
        new qmt::StatusPane(bar, {PortStatusGlyph}, {PortStatusText, StatusLink}, StatusPaneSlack);
    UpdateLinkStatus();
}

void TPidConf::UpdateLinkStatus() {
    const bool up = qmt::LinkUp;
    StatusLink->setText(up ? LinkUpText : LinkDownText);
    QPalette palette = StatusLink->palette();
    palette.setColor(QPalette::WindowText, up ? LinkUpColour : LinkDownColour);
    StatusLink->setPalette(palette);
}

void TPidConf::UpdatePortStatus(bool open) {
    PortStatusGlyph->setPixmap(qmt::PortStatusImage(open ? qmt::LampGreen : qmt::LampRed));
    const QString text = qmt::PortStatusText(open);
    // The designed 300 pixels, or as wide as a long port path needs while the
    // link pane keeps its room; a path longer still is shortened in the middle
    // and shown whole in the tool tip.
    const int margins = PortStatusText->width() - PortStatusText->contentsRect().width();
    const int room =
        ClientWidth - PortStatusGlyph->width() - StatusLink->width() - 3 * StatusPaneSlack;
    const QFontMetrics metrics = PortStatusText->fontMetrics();
    const int needed = metrics.horizontalAdvance(text) + margins + 4;
    PortStatusText->setFixedWidth(qBound(StatusTextWidth, needed, room));
    PortStatusText->setText(
        needed <= room ? text : metrics.elidedText(text, Qt::ElideMiddle, room - margins - 4));
    PortText = text;
    refreshPortToolTip();
}

void TPidConf::miPortParClick() {
    runFresh(ParCOM, this, [this](TParCOM* dialog, int result) {
        if (!dialog || (dialog->portDisturbed() && !dialog->accepted())) {
            // A failed OK or a search left the library's port closed or elsewhere:
            // back to the last good one, and the status bar says how that went.
            const qmt::TPortSettings& settings = qmt::PortSettings;
            UpdatePortStatus(qmt::OpenPort(settings.portName, settings.baud, settings.parity));
        } else if (result == QDialog::Accepted) {
            UpdatePortStatus(dialog->accepted());
        }
    });
}

void TPidConf::miComServParClick() {
    runFresh(ModPars, this, [](TModPars*, int) {});
}

void TPidConf::mmAboutClick() {
    runFresh(AboutBox, this, [](TAboutBox*, int) {});
}

void TPidConf::miComCalibClick() {
    qmt::RunCalibration(this);
}

void TPidConf::miComModVarClick() {
    if (PidVal) qmt::prompts().execModal(PidVal);
}

void TPidConf::miComTuneClick() {
    // A child of the main window: the program's end restores a test still running.
    if (!tune_) tune_ = new TTune(this);
    qmt::prompts().execModal(tune_);
}

void TPidConf::pidClick(qmt::ClickablePanel* sender) {
    qmt::OpenFromConfig(PidParam, sender->Tag);
}

void TPidConf::paFBClick(qmt::ClickablePanel* sender) {
    qmt::OpenFromConfig(InParam, sender->Tag);
}

void TPidConf::OutClick() {
    qmt::OpenFromConfig(fOutParam);
}
