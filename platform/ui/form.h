#pragma once
// The base of every window of the program: the keyboard behaves the same in
// all of them.
//   - Enter presses a button only where the window names one as its default
//     button (setDefaultButton); a focused button takes Enter itself.  Qt's
//     auto-default buttons are switched off, so Enter in a field never
//     reaches "保存" by itself.
//   - Esc closes the window only where it says so (setEscapeCloses, the
//     lookups); elsewhere it is dropped, so nothing half-entered is lost.
//   - On opening, the focus goes to the field the window names
//     (setInitialFocus), else stays where the window put it before showing,
//     else goes to the first entry field; then the window's FormShow runs.
//   - Tab follows the window's layout as it is seen (rows top to bottom,
//     each row left to right, a group's fields where the group stands; in a
//     grid of two columns of fields, down one column before the next, a
//     field across both after the columns above it) and passes read-only
//     fields by.

#include <QDialog>
#include <QPointer>
#include <QPushButton>

namespace ui {

class Form : public QDialog {
    Q_OBJECT
public:
    explicit Form(QWidget *parent = nullptr);

    void setDefaultButton(QPushButton *button);
    QPushButton *defaultButton() const { return m_default; }
    void setEscapeCloses(bool on) { m_escapeCloses = on; }
    bool escapeCloses() const { return m_escapeCloses; }
    void setInitialFocus(QWidget *w) { m_initialFocus = w; }

    // Runs each time the window is shown, after the focus is placed; what
    // escapes it is reported like any handler's error.
    virtual void FormShow() {}

    // The first visible, enabled field that takes typed input, in tab order.
    QWidget *firstEntryField() const;
    // True for the widgets a user types into or picks from.
    static bool isEntryField(const QWidget *w);
    // The widgets that take Tab, in the order the layout shows them; a
    // window whose layout does not say it all (rows of filters read as
    // columns) puts them in its own order.
    virtual QList<QWidget *> tabStopsByLayout() const;

protected:
    bool event(QEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    bool focusNextPrevChild(bool next) override;

private:
    void settleButtons();
    void placeInitialFocus();
    QPointer<QPushButton> m_default;
    QPointer<QWidget> m_initialFocus;
    bool m_escapeCloses = false;
    bool m_tabsOrdered = false;
};

}  // namespace ui
