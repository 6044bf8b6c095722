#pragma once
// One step of the calibration wizard: an instruction, a hint, an entry field
// for a measured value and the buttons to go on, go back or cancel. The wizard
// (Calibration.h) fills it for every step and acts on its modal result.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TCalibr1 : public QDialog {
    Q_OBJECT
public:
    // Modal results. The dialog has no close box; Escape rejects it, which
    // counts as "Отмена".
    enum Result : int {
        ResultCancel = QDialog::Rejected,
        ResultOk = QDialog::Accepted,
        ResultAbort = 3, // "Финиш"
        ResultRetry = 4, // "<< Назад"
    };

    explicit TCalibr1(QWidget* parent = nullptr);
    ~TCalibr1() override;

    // The last step finishes the run instead of going on.
    void setLastStep(bool last);

    // Handlers.
    void btNextClick();
    void btPrevClick();
    void btCancelClick();

    QLabel* lbInstr;
    QLabel* lbTip;
    QLineEdit* Edit1;
    QPushButton* btNext;
    QPushButton* btPrev;
    QPushButton* btCancel;

private:
    bool last_ = false;
};
