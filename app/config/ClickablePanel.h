#pragma once
// A captioned block of the diagram that reacts to a click like a button.

#include <QLabel>

namespace qmt {

class ClickablePanel : public QLabel {
    Q_OBJECT
public:
    explicit ClickablePanel(const QString& caption, QWidget* parent = nullptr);

    // Index of the regulator or channel the block stands for.
    int Tag = 0;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

} // namespace qmt
