#pragma once
// Main window: the routing diagram of the configuration model, the menu that
// reaches every other function, the port status bar and the link supervision.

#include "config/RouteTable.h"

#include <QMainWindow>
#include <QString>

#include <array>

class TTune;

class QLabel;
class QPainter;
class QTimer;
class TLinkStats;
class TStationScan;
class TTrafficMonitor;

namespace qmt {
class RadioGroup;
class ClickablePanel;
class StatusPane;
} // namespace qmt

class TPidConf : public QMainWindow {
    Q_OBJECT
public:
    // settingsPath: the settings file to read; empty means the one beside the program.
    explicit TPidConf(QWidget* parent = nullptr, const QString& settingsPath = QString());

    // "Файл"
    void miFileNewClick();
    void miFileOpenClick();
    void miFileSaveClick();
    void miFileSaveAsClick();
    // "Команды"
    void miComServParClick();
    void miComCalibClick();
    void miComModVarClick();
    void miComTuneClick();
    void miReadConfClick();
    void miWriteConfClick();
    void miWriteChangesClick();
    void miReadResCountClick();
    void miNullResCountClick();
    // "Порт"
    void miPortParClick();
    void miLinkStatsClick();
    void miStationScanClick();
    void miTrafficMonitorClick();
    void mmAboutClick();

    // Switches of the diagram and the module mode.
    void swpid1Click();
    void swpid2Click();
    void swpid3Click();
    void swoutClick();
    void rgModeClick();

    // Blocks of the diagram.
    void pidClick(qmt::ClickablePanel* sender);
    void paFBClick(qmt::ClickablePanel* sender);
    void OutClick();

    // Sets the four routing switches from the configuration model.
    void ShowConfig();
    void LoadConfigFile();
    void SaveConfigFile();
    void UpdatePortStatus(bool open);
    // The link pane of the status bar: whether the module answers (the link-up flag).
    void UpdateLinkStatus();
    void tmLinkTimer();
    // The status bar's tooltip: the port line and the link's counts.
    void refreshPortToolTip();
    // Paint handler of the diagram: the routes of the selected items.
    void FormPaint(QPainter& canvas);

    const qmt::RouteTable& routes() const { return routes_; }
    QTimer* linkTimer() const { return tmLink; }

    // Path of the current configuration file; empty until Open or Save As.
    QString ConfigFileName;
    // The item each set-point switch had before its last change.
    std::array<int, 3> PrevItem{{5, 5, 5}};

    // Parameter names of the write command, by the number of writes completed.
    static const std::array<QString, 63>& WriteStepNames();

private:
    void buildMenu();
    void buildStatusBar();
    void buildDiagram();
    qmt::RouteGeometry routeGeometry() const;

    void swpidClick(int n);
    void releaseInput(int m);

    QWidget* diagram_ = nullptr;
    TTune* tune_ = nullptr; // made at its first use
    qmt::RouteTable routes_{};

    std::array<qmt::RadioGroup*, 3> swpid_{};
    std::array<QLabel*, 3> imInPid_{};  // markers of the set-point switches
    std::array<QLabel*, 3> fbImage_{};  // feedback arrows
    std::array<QLabel*, 3> imFBOut_{};  // short arrows of an input serving as a set-point
    std::array<QLabel*, 3> imOutPid_{}; // arrows out of the regulators
    std::array<qmt::ClickablePanel*, 3> pid_{};
    std::array<qmt::ClickablePanel*, 3> paFB_{};
    QLabel* MBus = nullptr;
    QLabel* imMBOut = nullptr;
    QLabel* imInOut = nullptr;
    qmt::RadioGroup* swout = nullptr;
    qmt::ClickablePanel* Out = nullptr;
    qmt::RadioGroup* rgMode = nullptr;

    QLabel* PortStatusGlyph = nullptr;
    QLabel* PortStatusText = nullptr;
    // The port line whole: the pane may show it shortened.
    QString PortText;
    QLabel* StatusLink = nullptr;
    qmt::StatusPane* StatusNotes = nullptr; // progress and confirmations
    QTimer* tmLink = nullptr;
    TLinkStats* LinkStats = nullptr; // made at its first use, then kept
    TStationScan* StationScan = nullptr;
    TTrafficMonitor* TrafficMonitor = nullptr;
};
