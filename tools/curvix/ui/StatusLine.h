#pragma once
// The status bar's texts: where the data comes from, how many channels and
// samples there are, and the problems met in what came.

#include <QString>

class QLabel;
class QStatusBar;

namespace curvix {

class Dataset;

class StatusLine {
public:
    StatusLine(QStatusBar* bar, const Dataset& data);

    // "Ожидание данных", "Приём данных", a file's name, why reception ended.
    void setSource(const QString& text) { source_ = text; }
    const QString& source() const { return source_; }

    // The texts brought up to date with the data.
    void update();
    // All of it in one line, as the status bar shows it.
    QString text() const;

private:
    const Dataset& data_;
    QString source_;
    QLabel* lbSource_;
    QLabel* lbCounts_;
    QLabel* lbProblems_;
};

} // namespace curvix
