#pragma once
// The library's own small controls: a scrollable canvas, a flat combo box,
// an edit with a button at its end and a toolbar spacer panel.

#include <QAbstractScrollArea>
#include <QColor>
#include <QComboBox>
#include <QIcon>
#include <QWidget>

#include <functional>

class QToolButton;

// Each channel (c1 * p + c2 * (100 - p) + 50) / 100; from 100 on, p is read
// in thousandths.
QColor lyrBlendColors(const QColor &c1, const QColor &c2, int percent);

class TlyrScrollWin : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TlyrScrollWin(QWidget *parent = nullptr);

    int HorzPosition() const;
    int VertPosition() const;
    // Clamped to 0 .. range - page.
    void SetHorzPosition(int v);
    void SetVertPosition(int v);
    int HorzRange() const { return horzRange_; }
    int VertRange() const { return vertRange_; }
    void SetHorzRange(int v);
    void SetVertRange(int v);
    int HorzPage() const { return horzPage_; }
    int VertPage() const { return vertPage_; }
    void SetHorzPage(int v);
    void SetVertPage(int v);
    int SmallChange() const { return smallChange_; }
    int LargeChange() const { return largeChange_; }
    void SetSmallChange(int v);
    void SetLargeChange(int v);

protected:
    // Run after the position changed, however it changed.
    virtual void OnHScrollChange() {}
    virtual void OnVScrollChange() {}
    void paintEvent(QPaintEvent *e) override;

private:
    void updateBars();
    int horzRange_ = 0, vertRange_ = 0, horzPage_ = 0, vertPage_ = 0;
    int smallChange_ = 1, largeChange_ = 10;
};

class TlyrComboBox : public QComboBox {
    Q_OBJECT
    Q_PROPERTY(int ListWidth READ ListWidth WRITE SetListWidth)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
public:
    explicit TlyrComboBox(QWidget *parent = nullptr);

    int ListWidth() const { return listWidth_; }
    void SetListWidth(int v) { listWidth_ = v; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool v);
    bool Hot() const { return hot_; }
    void showPopup() override;

protected:
    void paintEvent(QPaintEvent *e) override;
    void enterEvent(QEnterEvent *e) override;
    void leaveEvent(QEvent *e) override;
    void changeEvent(QEvent *e) override;

private:
    int listWidth_ = 0;
    bool readOnly_ = false;
    bool hot_ = false;
};

class TlyrComboEdit : public QComboBox {
    Q_OBJECT
public:
    explicit TlyrComboEdit(QWidget *parent = nullptr);

    QToolButton *Button() const { return button_; }
    void SetGlyph(const QIcon &icon);
    bool ButtonEnabled() const { return buttonEnabled_; }
    void SetButtonEnabled(bool v);
    void SetButtonHint(const QString &hint);
    std::function<void()> OnButtonClick;

protected:
    void resizeEvent(QResizeEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void changeEvent(QEvent *e) override;

private:
    QToolButton *button_;
    bool buttonEnabled_ = true;
};

// A spacer or holder of other controls inside a toolbar.
class TlyrTBPanel : public QWidget {
    Q_OBJECT
public:
    explicit TlyrTBPanel(QWidget *parent = nullptr, int width = 8, int height = 8);

protected:
    void paintEvent(QPaintEvent *e) override;
};
