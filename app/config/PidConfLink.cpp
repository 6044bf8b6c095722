// Link supervision: once a second, does the module answer?
#include "config/TPidConf.h"

#include "common/Ui.h"
#include "link/Errors.h"
#include "link/Library.h"
#include "link/LinkStats.h"
#include "link/PortSettings.h"
#include "link/RegisterMap.h"
#include "link/TLinkStats.h"

#include <QLabel>
#include <QTimer>

namespace {

constexpr int CheckAttempts = 2;
constexpr uint8_t ReadHolding = 3;

// A direct library call: a silent module is an expected state, not an error to show.
bool moduleAnswers() {
    if (!qmt::library().invoke_modb) return false;
    for (int attempt = 0; attempt < CheckAttempts; ++attempt) {
        uint16_t word = 0;
        if (qmt::CountedInvoke(qmt::PortSettings.address, ReadHolding, qmt::reg::LinkCheck, 1,
                               &word) == 0)
            return true;
    }
    return false;
}

} // namespace

void TPidConf::tmLinkTimer() {
    // No tick may arrive while the check runs or its message box waits for the user.
    tmLink->stop();
    if (!moduleAnswers()) {
        qmt::LinkUp = false;
        UpdateLinkStatus();
        refreshPortToolTip();
        tmLink->start();
        return;
    }
    if (!qmt::LinkUp) {
        // The flag is still clear, so the switches the read sets send nothing back.
        // Whatever makes the read fail is shown once; the flag is set regardless,
        // so the read is not repeated every second.
        try {
            miReadConfClick();
        } catch (const std::exception& error) {
            qmt::showException(error);
        } catch (...) {
            qmt::showException(qmt::Exception(QStringLiteral("Неизвестная ошибка")));
        }
    }
    qmt::LinkUp = true;
    UpdateLinkStatus();
    refreshPortToolTip();
    tmLink->start();
}

void TPidConf::refreshPortToolTip() {
    if (PortStatusText)
        PortStatusText->setToolTip(PortText + QLatin1Char('\n') + qmt::LinkStatisticsSummary());
}

void TPidConf::miLinkStatsClick() {
    if (!LinkStats) LinkStats = new TLinkStats(this);
    LinkStats->show();
    LinkStats->raise();
    LinkStats->activateWindow();
}
