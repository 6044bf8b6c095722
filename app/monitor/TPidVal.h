#pragma once
// Live values of the module: the variables of the three regulators and the
// four analog values, read on request or periodically; a few values written
// straight into the module; direct commands to outputs and regulators; the
// controls of the value log and of the trend viewer hand-off.

#include "monitor/MonitorChannel.h"

#include <QDialog>

#include <array>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace qmt {
class CheckBox;
class RadioGroup;
} // namespace qmt

class MonitorGrid;

class TPidVal : public QDialog {
    Q_OBJECT
public:
    explicit TPidVal(QWidget* parent = nullptr);
    ~TPidVal() override;

    // Client heights, collapsed and with the lower part shown.
    static constexpr int ClientWidth = 685;
    static constexpr int CollapsedHeight = 328;
    static constexpr int ExpandedHeight = 521;

    // --- Controls (objectName = member name) ---
    MonitorGrid* sgSTATE;     // 4 x 8: regulator variables
    MonitorGrid* sgWriteVal;  // 4 x 2: writable regulator values
    MonitorGrid* sgModValues; // 2 x 5: module values
    QLabel* Label4;
    QPushButton* btSetInt1;
    QPushButton* btSetInt2;
    QPushButton* btSetInt3;
    QGroupBox* gbReset;
    QPushButton* btResPID1;
    QPushButton* btResPID2;
    QPushButton* btResPID3;
    QLineEdit* edPerUpd;
    QLabel* Label7;
    qmt::CheckBox* chbUpdate;
    QPushButton* btRead;
    QLineEdit* edLog;
    QPushButton* btBrouse;
    qmt::CheckBox* chbLog;
    qmt::CheckBox* chbTrend;
    QGroupBox* GroupBox1;
    QLineEdit* edMbSet1;
    QLineEdit* edMbSet2;
    QLineEdit* edMbSet3;
    QPushButton* btAdvanced;
    QGroupBox* GroupBox2;
    QLabel* lbErrFLASH;
    QLabel* lbErrKS;
    QPushButton* btReadStatus;
    QGroupBox* GroupBox3;
    qmt::RadioGroup* rgModePWM;
    qmt::RadioGroup* rgOut1;
    qmt::RadioGroup* rgOut2;
    QPushButton* btReadPWM;
    QPushButton* btSetResPWM;
    QPushButton* btClearResPWM;
    QGroupBox* GroupBox4;
    qmt::RadioGroup* rgContrOut1;
    qmt::RadioGroup* rgContrOut2;
    QPushButton* btReadOut;
    QTimer* tmUpdate; // disabled, 1000 ms; keeps running while the window is closed

    // --- Channels, fixed at creation ---
    // RegChannels[p - 1][row - 1]: regulator p, row 1..7 of sgSTATE.
    std::array<std::array<MonitorChannel, 7>, 3> RegChannels;
    // ModChannels[row - 1]: row 1..4 of sgModValues.
    std::array<MonitorChannel, 4> ModChannels;

    // --- Cell texts as the last read cycle left them ---
    // sgSTATE column p (1..3), row 1..7.
    QString stateText(int p, int row) const;
    // sgModValues row 1..4 (column 1).
    QString modValueText(int row) const;
    // sgWriteVal column p (1..3), row 0..1.
    QString writeValText(int p, int row) const;
    // While a log is being written the selection may not change, so every line
    // of a run matches its header.
    bool selectionFrozen() const;

    // State of the value log and of the trend hand-off, owned and typed by
    // their code (TPidValLog.cpp); the window only keeps it alive.
    std::shared_ptr<void> logState;
    std::shared_ptr<void> trendState;

    // --- Handlers of the window ---
    void btReadClick(); // one read cycle; "Обновить" and every tmUpdate tick
    void chbUpdateClick();
    void edPerUpdKeyPress(int key);
    // Applies the text of edPerUpd as the timer interval; raises on a bad text.
    void ApplyPeriod();
    // col, row as in the grids (column first). Returns whether the cell may
    // become current.
    bool sgSTATESelectCell(int col, int row);
    void sgSTATEMouseUp(int col, int row, Qt::MouseButton button);
    bool sgModValuesSelectCell(int col, int row);
    void sgValuesEnter();
    void sgModValuesMouseUp(int col, int row, Qt::MouseButton button);
    void sgModValuesKeyPress(int key);
    void sgWriteValKeyPress(int key);
    void edMbSetKeyPress(int tag, int key);
    void btAdvancedClick();

    // --- Direct commands ---
    void btResPID1Click();
    void btResPID2Click();
    void btResPID3Click();
    void btSetIntClick(int tag);
    void btReadStatusClick();
    void rgModePWMClick();
    void rgOut1Click();
    void rgOut2Click();
    void btReadPWMClick();
    void btSetResPWMClick();
    void btClearResPWMClick();
    void rgContrOut1Click();
    void rgContrOut2Click();
    void btReadOutClick();

    // --- Value log and trend hand-off (defined in TPidValLog.cpp) ---
    // The window calls each of these at its step without checking anything;
    // each function decides by itself from chbLog / chbTrend / chbUpdate and
    // its own state (open file, known viewer) whether it has work to do.
    void btBrouseClick(); // "..." next to edLog
    void chbLogClick();   // every change of chbLog
    void chbTrendClick(); // every change of chbTrend
    void LogHeader();     // chbUpdateClick, after the timer state is set (step 3),
                          // and chbLogClick when the log starts during a run
    void LogLine();       // end of every successful read cycle (step 5)
    void TrendStart();    // chbUpdateClick step 1, after the period is applied,
                          // called only when chbTrend and chbUpdate are both checked
    void TrendSamples();  // end of every successful read cycle, after LogLine (step 6)
    // Close and forget the log file: at the program's end. Closing the window
    // leaves a running log running, since the update goes on without it.
    void LogClose();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildUpper();
    void buildLower();
    void buildGrids();
    void setupChannels();
    void readRegulator(int p);
    void readModule();
    void resetRegulator(uint16_t bit);
    void setPwmBit(uint16_t bit, bool on);
    void writeOutputCode(uint16_t address, const qmt::RadioGroup* group);
    void setStatusColour(QLabel* label, bool on);
    void toggleRegChannel(int p, int row);

    // Heading flags of sgSTATE: corner, columns 1..3, rows 1..7.
    bool cornerFlag_ = true;
    std::array<bool, 3> colFlags_{true, true, true};
    std::array<bool, 7> rowFlags_{true, true, true, true, true, true, true};
    // The output-control groups change without writing while they are read back.
    bool outClicksSuspended_ = false;
};
