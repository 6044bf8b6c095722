#pragma once
// The message pane of the main window's status bar, the program's status
// reporter while the window lives: progress of long work and the short
// confirmations of what succeeded.

#include "link/StatusReport.h"

#include <QObject>

class QLabel;
class QStatusBar;
class QTimer;

namespace qmt {

class StatusPane final : public QObject, public StatusReporter {
public:
    static constexpr int ConfirmationMs = 5000;

    // Adds the pane `StatusMessage` (and its timer `tmStatus`) to bar.
    explicit StatusPane(QStatusBar* bar);
    ~StatusPane() override;

    void progress(const QString& text) override;
    void confirm(const QString& text) override;
    void alert(const QString& text) override;

    QLabel* label() const { return label_; }

private:
    void setText(const QString& text);

    QLabel* label_;
    QLabel* alert_; // `StatusAlert`, red, hidden while empty
    QTimer* timer_;
};

} // namespace qmt
