#pragma once
// Layout helpers the entry and list windows share.

#include <QString>
#include <functional>
#include <initializer_list>

class QAction;
class QAbstractItemView;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QPoint;
class QPushButton;
class QWidget;

namespace ui {

class DBGrid;

// An entry field of at most maxLength characters (0: no limit).
QLineEdit *lineEdit(QWidget *parent, int maxLength = 0);
// Makes the field wide enough to show count Chinese characters whole with
// the cursor after them; longer text scrolls.
void showChineseChars(QLineEdit *edit, int count);
// Shows a stored value whole, even when it is longer than the field's typing
// limit (an imported row): the limit then stops only typing that lengthens
// the text beyond it, so an untouched value is saved back as it was.
void setStoredText(QLineEdit *edit, const QString &text);
// A push button that runs the handler when clicked (Enter in a field does not press it).
// Handlers here and in menuItem are guarded (application.h).
QPushButton *button(QWidget *parent, const QString &text, std::function<void()> onClick);
// The buttons right-aligned in a row.
QHBoxLayout *buttonRow(std::initializer_list<QWidget *> widgets);
// The options left-aligned and the buttons right-aligned in one row.
QHBoxLayout *buttonRow(std::initializer_list<QWidget *> options, std::initializer_list<QWidget *> buttons);
// An explanatory label in the colour of the program's notes.
QLabel *note(QWidget *parent, const QString &text);
// A right-click menu on the view, owned by owner; a null action is a separator.
// The row under the click (or the context-menu key) becomes current before
// the menu opens; off the rows the menu does not open.
QMenu *popupMenu(QAbstractItemView *view, QWidget *owner, std::initializer_list<QAction *> actions);
// The grid's right-click menu, with the hint that it is there.
QMenu *gridPopup(ui::DBGrid *grid, std::initializer_list<QAction *> actions);
// Opens the menu on the row at pos (viewport coordinates) of the view, as
// popupMenu does.
void popupOnRow(QAbstractItemView *view, QMenu *menu, const QPoint &pos);
// A popup item running the handler.
QAction *menuItem(QWidget *parent, const QString &text, std::function<void()> onClick);
// Runs the handler (guarded) on a double click on the widget, which takes
// the click no further.
void onDoubleClick(QWidget *widget, std::function<void()> handler);

}  // namespace ui
