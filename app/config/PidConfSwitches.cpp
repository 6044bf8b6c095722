// The routing switches, the module mode and ShowConfig. A change of a switch runs
// its handler whether the user or the program made it; the handlers alone change
// the model, the markers, the arrows and the module.
#include "config/ModuleConfig.h"
#include "config/PidFile.h"
#include "config/TPidConf.h"

#include "common/RadioGroup.h"
#include "common/Ui.h"
#include "link/ModeItems.h"
#include "link/PortSettings.h"
#include "link/RegisterAccess.h"
#include "link/RegisterMap.h"

#include <QLabel>

#include <optional>

namespace {

using namespace qmt;

constexpr int FirstItemOffset = 25;
constexpr int SetpointPitch = 18;
constexpr int OutputPitch = SetpointPitch - 1;

// The source code item i of the set-point switch of regulator n offers.
uint16_t codeOfItem(int n, int item) {
    return *modes::Setpoint[n].valueOf(item);
}

// The regulator whose input item 3 or 4 of switch n stands for.
int inputOfItem(int n, int item) {
    return static_cast<int16_t>(codeOfItem(n, item)) - reg::source::Fb1;
}

// The item of switch n that offers code, or -1 when it offers none.
int itemOfCode(int n, int code) {
    return modes::Setpoint[n].itemOf(static_cast<uint16_t>(code));
}

uint16_t& inSw(int n) {
    return Config.pid[n].w[reg::pid::InSw];
}

} // namespace

void TPidConf::swpid1Click() {
    swpidClick(0);
}
void TPidConf::swpid2Click() {
    swpidClick(1);
}
void TPidConf::swpid3Click() {
    swpidClick(2);
}

// Gives input m back to its own regulator.
void TPidConf::releaseInput(int m) {
    fbImage_[m]->show();
    imFBOut_[m]->hide();
    swpid_[m]->setEnabled(true);
}

void TPidConf::swpidClick(int n) {
    RadioGroup* sw = swpid_[n];
    const int i = sw->itemIndex();
    if (i < 0) return;

    QLabel* marker = imInPid_[n];
    marker->move(marker->x(),
                 sw->y() + FirstItemOffset + SetpointPitch * i - marker->width() / 2 + 2);
    marker->show();

    // A disabled switch was set by the regulator that took its input; it owns nothing to give back.
    if (sw->isEnabled()) {
        if (PrevItem[n] == 3) releaseInput(inputOfItem(n, 3));
        if (PrevItem[n] == 4) releaseInput(inputOfItem(n, 4));
    }

    if (i <= 2) {
        inSw(n) = codeOfItem(n, i);
    } else if (i <= 4) {
        // Taking input m as the set-point puts regulator m out of service.
        const int m = inputOfItem(n, i);
        inSw(n) = codeOfItem(n, i);
        fbImage_[m]->hide();
        imInPid_[m]->hide();
        imFBOut_[m]->show();
        inSw(m) = static_cast<uint16_t>(reg::source::None);
        const int c = 3 - n - m;
        if (swpid_[m]->itemIndex() == itemOfCode(m, reg::source::Fb1 + c)) releaseInput(c);
        // Regulator m may hold n's own input: n takes it back as m goes out of service.
        if (swpid_[m]->itemIndex() == itemOfCode(m, reg::source::Fb1 + n)) releaseInput(n);
        swpid_[m]->setEnabled(false);
        swpid_[m]->setItemIndex(modes::SetpointOff);
    } else {
        inSw(n) = static_cast<uint16_t>(reg::source::None);
        marker->hide();
    }

    PrevItem[n] = i;
    diagram_->update();
    if (LinkUp) WriteRegister(reg::PidWord(n, reg::pid::InSw), inSw(n));
}

void TPidConf::swoutClick() {
    const int i = swout->itemIndex();
    Config.SwOut = modes::OutputSource.valueOf(i).value_or(uint16_t(reg::source::None));
    imInOut->move(imInOut->x(),
                  swout->y() + FirstItemOffset + OutputPitch * i - imInOut->width() / 2 + 3);
    imInOut->setVisible(i >= 0);
    diagram_->update();
    if (LinkUp) WriteRegister(reg::OutputSource, Config.SwOut);
}

void TPidConf::rgModeClick() {
    const std::optional<uint16_t> value = modes::Module.valueOf(rgMode->itemIndex());
    if (!value) return;
    if (LinkUp) WriteProtectedRegister(reg::ModuleMode, *value);
    Config.io[io::ModuleMode] = *value;
}

void TPidConf::ShowConfig() {
    for (int n = 0; n < 3; ++n) {
        // Read afresh: the handler of an earlier switch may have changed it.
        const int code = static_cast<int16_t>(inSw(n));
        const int item = itemOfCode(n, code);
        if (item >= 0) {
            swpid_[n]->setItemIndex(item);
            continue;
        }
        swpid_[n]->setItemIndex(modes::SetpointOff);
        inSw(n) = static_cast<uint16_t>(reg::source::None);
        showMessage(SetpointFaultText(n), QStringLiteral("Ошибка!"), MsgIcon::None, this);
    }
    const int out = modes::OutputSource.itemOf(Config.SwOut);
    if (out >= 0) {
        swout->setItemIndex(out);
    } else {
        // Clearing the selection runs no handler; the marker must not point at nothing.
        swout->clearSelection();
        imInOut->hide();
        Config.SwOut = static_cast<uint16_t>(reg::source::None);
        diagram_->update();
    }
}
