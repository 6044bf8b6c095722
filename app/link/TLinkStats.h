#pragma once
// "Статистика связи": the link's counts since the port was opened, refreshed
// while the window is shown, and a button that zeroes them. Modeless, so it
// can stay open beside the windows that poll.

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;

class TLinkStats : public QDialog {
    Q_OBJECT
public:
    explicit TLinkStats(QWidget* parent = nullptr);

    // Handlers.
    void btResetClick();
    // Shows the counts as they are now.
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QLabel* value(const char* name, const QString& caption, int row,
                  const QString& tip = QString());

    QLabel* lbSinceCaption;
    QLabel* lbSince;
    QLabel* lbRequests;
    QLabel* lbGood;
    QLabel* lbNoAnswer;
    QLabel* lbCrc;
    QLabel* lbExceptions;
    QLabel* lbOther;
    QLabel* lbMeanTime;
    QLabel* lbMaxTime;
    QLabel* lbLastError;
    QPushButton* btReset;
    QPushButton* btClose;
    QTimer* tmRefresh;
};
