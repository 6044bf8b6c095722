#include "calib/TCalibr1.h"

#include "common/Ui.h"
#include "dialogs/DialogForm.h"
#include "link/Forms.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TCalibr1::TCalibr1(QWidget* parent) : QDialog(parent, qmt::form::TitleOnly) {
    using qmt::handler;
    using namespace qmt::form;
    setUp(this, "Calibr1", QStringLiteral("Калибровка - шаг 1"), {431, 123});

    lbInstr = label(this, "lbInstr", QString(), {8, 10, 415, 22});
    lbTip = label(this, "lbTip", QString(), {8, 46, 328, 24});
    lbTip->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Edit1 = edit(this, "Edit1", {344, 46, 79, 24});
    Edit1->setMaxLength(5);

    // Enter always means "Далее >>" (or "Финиш"), whichever button has the focus.
    ButtonRow buttons(this, {151, 88, 88, 26}, {92, 0});
    btPrev = buttons.add("btPrev", QStringLiteral("<< Назад"));
    btNext = buttons.add("btNext", QStringLiteral("Далее >>"), Enter::Default);
    btCancel = buttons.add("btCancel", QStringLiteral("Отмена"));

    qmt::onClicked(btNext, handler(this, &TCalibr1::btNextClick));
    qmt::onClicked(btPrev, handler(this, &TCalibr1::btPrevClick));
    qmt::onClicked(btCancel, handler(this, &TCalibr1::btCancelClick));
}

TCalibr1::~TCalibr1() {
    if (Calibr1 == this) Calibr1 = nullptr;
}

void TCalibr1::setLastStep(bool last) {
    last_ = last;
    btNext->setText(last ? QStringLiteral("Финиш") : QStringLiteral("Далее >>"));
}

void TCalibr1::btNextClick() {
    done(last_ ? ResultAbort : ResultOk);
}

void TCalibr1::btPrevClick() {
    done(ResultRetry);
}

void TCalibr1::btCancelClick() {
    done(ResultCancel);
}
