#include "monitor/MonitorGrid.h"

#include "common/Ui.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {
constexpr int RowHeight = 25; // 24 px of cell and the grid line
const QColor DeselectedGrey(128, 128, 128);
} // namespace

// Draws every cell the way the window's grids look: headings on the button
// face, values on the base colour or grey when deselected, text 2 px from the
// cell's left and top edges. Enter in the editor goes to the grid's handler
// instead of closing the editor.
class MonitorGridDelegate : public QStyledItemDelegate {
public:
    explicit MonitorGridDelegate(MonitorGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const int col = index.column(), row = index.row();
        const QPalette& pal = option.palette;
        const QRect r = option.rect;
        painter->save();
        if (grid_->isFixed(col, row)) {
            painter->fillRect(r, pal.button());
            painter->setPen(pal.light().color());
            painter->drawLine(r.topLeft(), r.topRight());
            painter->drawLine(r.topLeft(), r.bottomLeft());
        } else if (grid_->isGrey && grid_->isGrey(col, row)) {
            painter->fillRect(r, DeselectedGrey);
        } else {
            painter->fillRect(r, pal.base());
        }
        painter->setPen(pal.text().color());
        painter->setFont(option.font);
        painter->drawText(r.adjusted(2, 2, -1, -1),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          index.data().toString());
        painter->restore();
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        auto* edit = new QLineEdit(parent);
        edit->setObjectName(grid_->objectName() + QStringLiteral("_editor"));
        edit->setFrame(false);
        // The text stays where the cell draws it.
        edit->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        edit->setTextMargins(0, 1, 0, 0);
        // A grid that is not a tab stop is not reached through its editor either.
        edit->setFocusPolicy(grid_->focusPolicy());
        return edit;
    }

    // A read cycle updates the cell; what the user is typing stays in the
    // editor until Enter writes it or Esc drops it.
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* edit = qobject_cast<QLineEdit*>(editor); edit && MonitorGrid::isBeingEdited(edit))
            return;
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex&) const override {
        editor->setGeometry(option.rect.adjusted(0, 0, -1, -1));
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            auto* editor = qobject_cast<QWidget*>(object);
            switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter: {
                emit commitData(editor);
                const int k = key->key();
                // A text that was refused stays for the user to correct.
                const bool done =
                    !grid_->onKeyPress || qmt::guarded([this, k] { grid_->onKeyPress(k); });
                if (auto* edit = qobject_cast<QLineEdit*>(editor); edit && done)
                    edit->setModified(false);
                return true;
            }
            case Qt::Key_Escape:
                // Back to what the cell shows; the window stays open.
                if (auto* edit = qobject_cast<QLineEdit*>(editor))
                    edit->setText(grid_->cell(grid_->col(), grid_->row()));
                return true;
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_PageUp:
            case Qt::Key_PageDown:
                emit commitData(editor);
                grid_->navigate(key->key());
                return true;
            default:
                break;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    MonitorGrid* grid_;
};

MonitorGrid::MonitorGrid(int cols, int rows, int fixedCols, int fixedRows, QWidget* parent)
    : QTableWidget(rows, cols, parent), fixedCols_(fixedCols), fixedRows_(fixedRows),
      col_(fixedCols), row_(fixedRows) {
    horizontalHeader()->hide();
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    for (int r = 0; r < rows; ++r)
        setRowHeight(r, RowHeight);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setItemDelegate(new MonitorGridDelegate(this));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            setItem(r, c, new QTableWidgetItem);
    setCurrentCell(row_, col_);
}

QString MonitorGrid::cell(int col, int row) const {
    const QTableWidgetItem* it = item(row, col);
    return it ? it->text() : QString();
}

void MonitorGrid::setCell(int col, int row, const QString& text) {
    if (QTableWidgetItem* it = item(row, col)) it->setText(text);
}

void MonitorGrid::setColWidths(std::initializer_list<int> widths) {
    int c = 0;
    for (int w : widths)
        setColumnWidth(c++, w + 1);
}

QLineEdit* MonitorGrid::currentEditor() const {
    return editorShown_ ? qobject_cast<QLineEdit*>(indexWidget(model()->index(row_, col_)))
                        : nullptr;
}

void MonitorGrid::setEditorShown(bool on) {
    editorShown_ = on;
    if (on) openPersistentEditor(item(row_, col_));
}

QString MonitorGrid::currentText() {
    if (auto* edit = currentEditor()) {
        setCell(col_, row_, edit->text());
        return edit->text();
    }
    return cell(col_, row_);
}

bool MonitorGrid::isBeingEdited(const QLineEdit* edit) {
    return edit->isModified() && edit->window()->focusWidget() == edit;
}

void MonitorGrid::setCurrent(int col, int row) {
    if (col == col_ && row == row_) return;
    const bool hadFocus = hasFocus() || (currentEditor() && currentEditor()->hasFocus());
    if (editorShown_) {
        currentText();
        closePersistentEditor(item(row_, col_));
    }
    col_ = col;
    row_ = row;
    setCurrentCell(row, col);
    if (editorShown_) {
        openPersistentEditor(item(row, col));
        if (hadFocus && currentEditor()) currentEditor()->setFocus();
    }
}

void MonitorGrid::focusCell(int col, int row) {
    if (col < fixedCols_ || row < fixedRows_ || col >= columnCount() || row >= rowCount()) return;
    if (!onSelectCell || onSelectCell(col, row)) setCurrent(col, row);
}

void MonitorGrid::navigate(int key) {
    int c = col_, r = row_;
    switch (key) {
    case Qt::Key_Left:
        --c;
        break;
    case Qt::Key_Right:
        ++c;
        break;
    case Qt::Key_Up:
        --r;
        break;
    case Qt::Key_Down:
        ++r;
        break;
    case Qt::Key_Home:
        c = fixedCols_;
        break;
    case Qt::Key_End:
        c = columnCount() - 1;
        break;
    case Qt::Key_PageUp:
        r = fixedRows_;
        break;
    case Qt::Key_PageDown:
        r = rowCount() - 1;
        break;
    default:
        return;
    }
    c = qBound(fixedCols_, c, columnCount() - 1);
    r = qBound(fixedRows_, r, rowCount() - 1);
    if (c != col_ || r != row_) focusCell(c, r);
}

void MonitorGrid::mousePressEvent(QMouseEvent* event) {
    if (focusPolicy() & Qt::ClickFocus) setFocus(Qt::MouseFocusReason);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !index.isValid()) return;
    if (isFixed(index.column(), index.row())) return;
    qmt::guarded([&] { focusCell(index.column(), index.row()); });
}

void MonitorGrid::mouseReleaseEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    const int c = index.isValid() ? index.column() : -1;
    const int r = index.isValid() ? index.row() : -1;
    const Qt::MouseButton button = event->button();
    if (onMouseUp) qmt::guarded([&] { onMouseUp(c, r, button); });
}

void MonitorGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    // A second press is one more attempt to make the cell current.
    mousePressEvent(event);
}

void MonitorGrid::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        const int key = event->key();
        qmt::guarded([this, key] { navigate(key); });
        return;
    }
    default:
        break;
    }
    if (onKeyPress && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        const int key = event->key();
        qmt::guarded([this, key] { onKeyPress(key); });
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void MonitorGrid::focusInEvent(QFocusEvent* event) {
    QTableWidget::focusInEvent(event);
    if (onEnter) qmt::guarded(onEnter);
    if (QWidget* e = currentEditor()) e->setFocus();
}
