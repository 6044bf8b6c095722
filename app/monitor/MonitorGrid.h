#pragma once
// A string grid of the values window: fixed heading rows and columns drawn as
// headings, value cells whose current cell the window decides on, and
// optionally an editor always open on the current cell. Cells are addressed
// column first, as the window's tables are.

#include <QTableWidget>

#include <functional>

class QLineEdit;

class MonitorGrid : public QTableWidget {
    Q_OBJECT
public:
    MonitorGrid(int cols, int rows, int fixedCols, int fixedRows, QWidget* parent = nullptr);

    QString cell(int col, int row) const;
    void setCell(int col, int row, const QString& text);
    void setColWidths(std::initializer_list<int> widths);

    int col() const { return col_; }
    int row() const { return row_; }
    // Makes a cell current if onSelectCell allows it (as a click or a key does).
    void focusCell(int col, int row);

    // The current cell shows an editor; Enter in it reaches onKeyPress.
    void setEditorShown(bool on);
    // The editor's text (or the cell's, without an editor), after committing it.
    QString currentText();
    // The editor open on the current cell, if any.
    QLineEdit* currentEditor() const;
    // An editor the user has typed into and not yet left: read values do not
    // replace its text.
    static bool isBeingEdited(const QLineEdit* edit);

    // Whether a cell may become current; also the place to react to the attempt.
    std::function<bool(int col, int row)> onSelectCell;
    std::function<void(int col, int row, Qt::MouseButton button)> onMouseUp;
    std::function<void(int key)> onKeyPress;
    std::function<void()> onEnter;
    // Value cells drawn grey (a deselected channel).
    std::function<bool(int col, int row)> isGrey;

    // Moves as the keyboard does from the current cell (tests and the editor).
    void navigate(int key);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    friend class MonitorGridDelegate;
    bool isFixed(int col, int row) const { return col < fixedCols_ || row < fixedRows_; }
    void setCurrent(int col, int row);

    int fixedCols_;
    int fixedRows_;
    int col_;
    int row_;
    bool editorShown_ = false;
};
