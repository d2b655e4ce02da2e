#pragma once
// The editable goods grid of the sale, purchase and return windows: cells
// addressed as (column, row), a key-press hook that may drop a typed
// character, a key-release hook that sees the cell text as typed so far, and
// a hook when a cell edit ends.

#include <QTableWidget>
#include <functional>
#include <initializer_list>
#include <span>

class StringGrid : public QTableWidget {
    Q_OBJECT
public:
    StringGrid(int rowCount, int columnCount, QWidget *parent = nullptr);

    QString Cells(int col, int row) const;
    void setCells(int col, int row, const QString &text);
    int Col() const { return currentColumn(); }
    int Row() const { return currentRow(); }
    void moveTo(int col, int row) { setCurrentCell(row, col); }
    // The cell being edited, when an editor is open.
    bool isEditing() const { return state() == QAbstractItemView::EditingState; }
    // Puts the open editor's text into its cell and closes the editor.
    void endEdit();

    // Called for every typed character ('\r' Enter, '\b' Backspace); setting
    // the key to 0 drops it.
    std::function<void(QChar &key)> onKeyPress;
    std::function<void()> onKeyUp;
    std::function<void()> onEditDone;
    std::function<void()> onDblClick;
    // Drops the hooks.  The owning window calls it first thing in its
    // destructor: the base class hides the window, and the open editor's
    // focus loss must not call into the half-destroyed window.
    void releaseHooks();

    // The character a key event types, or 0 for keys that type none.
    static QChar typedChar(const QKeyEvent *e);
    // Runs the key-press hook on a key event; true when it dropped the key.
    bool filterKey(QKeyEvent *e);
    // True when the key-press hook lets the character into the current cell
    // (also asked for every character pasted into a cell).
    bool keyPasses(QChar c);

    // The key-release hook runs only for a key whose press reached the grid.
    void notePress(const QKeyEvent *e);
    bool takeRelease(const QKeyEvent *e);
    void forgetPresses(Qt::FocusReason reason);

    // The goods lines: column 0 numbered "@ 1" ... (not editable), every
    // other cell emptied.
    void clearLines();
    // Empties a line's cells from column 1 on, hidden ones included.
    void clearLine(int row);
    // The SQL numbers of a column over the lines where it is filled.
    QStringList filledNumbers(int column) const;

    // What a goods cell takes besides Backspace and Enter: the search text
    // (anything until the line has goods), nothing, digits and ".", digits.
    enum class CellRule { Search, Fixed, Decimal, Digits, Any };
    // Drops the key (sets it to 0) when the rule refuses it.
    static void applyRule(QChar &key, CellRule rule, bool lineHasGoods);

    // The widths of the columns as laid out; when the grid is wider, the
    // visible columns grow in proportion to fill it.
    void setBaseColumnWidths(const QList<int> &widths);
    // The headings of the shown columns and their laid-out widths.
    void setHeadings(std::span<const char *const> headings, std::span<const int> widths);
    // A key typed on a goods line: Enter on a line without goods (no ID in
    // idColumn) runs the search first; the column's rule filters the key;
    // Enter on a line with goods moves to the next cell of order, after the
    // last one to the first cell of the next line.
    void goodsKey(QChar &key, std::span<const CellRule> rules, int idColumn, const std::function<void()> &search,
                  std::initializer_list<int> order);

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;

private:
    void stretchColumns();
    int m_pressed = 0;
    QList<int> m_baseWidths;
};
