#include "calib/TCalibr1.h"

#include "common/Ui.h"
#include "link/Forms.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TCalibr1::TCalibr1(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    using qmt::handler;
    setObjectName(QStringLiteral("Calibr1"));
    setWindowTitle(QStringLiteral("Калибровка - шаг 1"));
    setFixedSize(431, 123);

    lbInstr = new QLabel(this);
    lbInstr->setObjectName(QStringLiteral("lbInstr"));
    lbInstr->setGeometry(8, 10, 415, 22);

    lbTip = new QLabel(this);
    lbTip->setObjectName(QStringLiteral("lbTip"));
    lbTip->setGeometry(8, 46, 328, 24);
    lbTip->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(344, 46, 79, 24);
    Edit1->setMaxLength(5);

    btPrev = new QPushButton(QStringLiteral("<< Назад"), this);
    btPrev->setObjectName(QStringLiteral("btPrev"));
    btPrev->setGeometry(151, 88, 88, 26);
    btNext = new QPushButton(QStringLiteral("Далее >>"), this);
    btNext->setObjectName(QStringLiteral("btNext"));
    btNext->setGeometry(243, 88, 88, 26);
    btNext->setDefault(true);
    btCancel = new QPushButton(QStringLiteral("Отмена"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    btCancel->setGeometry(335, 88, 88, 26);
    // Enter always means "Далее >>" (or "Финиш"), whichever button has the focus.
    btPrev->setAutoDefault(false);
    btCancel->setAutoDefault(false);

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
