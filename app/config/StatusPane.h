#pragma once
// The message pane of the main window's status bar, the program's status
// reporter while the window lives: progress of long work and the short
// confirmations of what succeeded.

#include "link/StatusReport.h"

#include <QObject>
#include <QWidget>

#include <initializer_list>
#include <vector>

class QLabel;
class QStatusBar;
class QTimer;

namespace qmt {

class StatusPane final : public QObject, public StatusReporter {
public:
    static constexpr int ConfirmationMs = 5000;

    // Adds the pane `StatusMessage` (and its timer `tmStatus`) to bar, after
    // the panes already there: kept and yielding ones. A note too long to
    // stand beside them all covers the yielding ones while it is shown. slack
    // is the room each pane of the bar keeps beside its text.
    StatusPane(QStatusBar* bar, std::initializer_list<QWidget*> kept,
               std::initializer_list<QWidget*> yielding, int slack);
    ~StatusPane() override;

    void progress(const QString& text) override;
    void confirm(const QString& text) override;
    void warn(const QString& text) override;
    void alert(const QString& text) override;

    QLabel* label() const { return label_; }

private:
    void setText(const QString& text);
    // Width for the note's text with the yielding panes shown or covered.
    int room(bool covering) const;

    QStatusBar* bar_;
    QLabel* label_;
    QLabel* alert_; // `StatusAlert`, red, hidden while empty
    QTimer* timer_;
    std::vector<QWidget*> kept_;
    std::vector<QWidget*> yielding_;
    int slack_;
};

} // namespace qmt
