#pragma once
// The tuning window ("Настройка регулятора по скачку..."): a bump test on one
// regulator, the model read off it drawn over the data, the rules' proposal
// beside the present parameters with the predicted closed-loop response, the
// write through the PID dialog's path, and a set-point step to check it.

#include "tune/BumpTest.h"
#include "tune/Identify.h"
#include "tune/Rules.h"
#include "tune/SetPointTest.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QCustomPlot;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class TTune : public QDialog {
    Q_OBJECT
public:
    explicit TTune(QWidget* parent = nullptr);
    ~TTune() override;

    // Handlers.
    void btReadClick();
    void btStartClick();
    void btStopClick(); // "Отмена": ends a test or a check, restored
    void btRestoreClick();
    void btWriteClick();
    void btVerifyClick();

    qmt::tune::BumpTest& test() { return test_; }
    qmt::tune::SetPointTest& check() { return check_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    QWidget* buildSetup();
    QWidget* buildProposal();
    int regulator() const;
    void showState();
    void testEnded();
    void checkEnded();
    void showProposal();
    void showPrediction();
    void restoreChanged();
    std::optional<qmt::tune::Proposal> proposal() const;

    qmt::tune::BumpTest test_;
    qmt::tune::SetPointTest check_;
    qmt::tune::RegulatorState state_;
    qmt::tune::Identification id_;
    double predictedSettle_ = 0.0; // s, ±5 %

    QComboBox* cbRegulator = nullptr;
    QLabel* lbState = nullptr;
    QLineEdit* edStep = nullptr;
    QLineEdit* edMaxTime = nullptr;
    QPushButton* btRead = nullptr;
    QPushButton* btStart = nullptr;
    QPushButton* btStop = nullptr;
    QPushButton* btRestore = nullptr;
    QLabel* lbPhase = nullptr;
    QCustomPlot* plData = nullptr;
    QCustomPlot* plLoop = nullptr;
    QLabel* lbModel = nullptr;
    QComboBox* cbRule = nullptr;
    QComboBox* cbSpeed = nullptr;
    QLineEdit* edTc = nullptr;
    QTableWidget* sgProposal = nullptr;
    QLabel* lbNotes = nullptr;
    QPushButton* btWrite = nullptr;
    QLineEdit* edSpStep = nullptr;
    QPushButton* btVerify = nullptr;
    QLabel* lbVerify = nullptr;
};
