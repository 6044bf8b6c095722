#pragma once
// The wait window of the module search: two lines of text over the port dialog
// while the library tries every line setting. Stored in the global fMess while
// it exists.

#include <QWidget>

class TfMess : public QWidget {
    Q_OBJECT
public:
    // Shows itself centred over the owner and paints at once, before the search
    // blocks the user-interface thread.
    explicit TfMess(QWidget* owner);
    ~TfMess() override;
};
