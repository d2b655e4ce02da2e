#include "reportengine/lyrpreviewctrls.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QToolButton>

#include <algorithm>

QColor lyrBlendColors(const QColor &c1, const QColor &c2, int percent)
{
    const int scale = percent >= 100 ? 1000 : 100;
    auto mix = [&](int a, int b) {
        return std::clamp((a * percent + b * (scale - percent) + scale / 2) / scale, 0, 255);
    };
    return QColor(mix(c1.red(), c2.red()), mix(c1.green(), c2.green()), mix(c1.blue(), c2.blue()));
}

// ---------------------------------------------------------------- scroll window

TlyrScrollWin::TlyrScrollWin(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { OnHScrollChange(); });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { OnVScrollChange(); });
    updateBars();
}

int TlyrScrollWin::HorzPosition() const
{
    return horizontalScrollBar()->value();
}

int TlyrScrollWin::VertPosition() const
{
    return verticalScrollBar()->value();
}

void TlyrScrollWin::SetHorzPosition(int v)
{
    horizontalScrollBar()->setValue(std::clamp(v, 0, std::max(horzRange_ - horzPage_, 0)));
}

void TlyrScrollWin::SetVertPosition(int v)
{
    verticalScrollBar()->setValue(std::clamp(v, 0, std::max(vertRange_ - vertPage_, 0)));
}

void TlyrScrollWin::SetHorzRange(int v)
{
    horzRange_ = std::max(v, 0);
    updateBars();
}

void TlyrScrollWin::SetVertRange(int v)
{
    vertRange_ = std::max(v, 0);
    updateBars();
}

void TlyrScrollWin::SetHorzPage(int v)
{
    horzPage_ = std::max(v, 0);
    updateBars();
}

void TlyrScrollWin::SetVertPage(int v)
{
    vertPage_ = std::max(v, 0);
    updateBars();
}

void TlyrScrollWin::SetSmallChange(int v)
{
    smallChange_ = v;
    updateBars();
}

void TlyrScrollWin::SetLargeChange(int v)
{
    largeChange_ = v;
    updateBars();
}

void TlyrScrollWin::updateBars()
{
    auto set = [this](QScrollBar *bar, int range, int page) {
        bar->setSingleStep(smallChange_);
        bar->setPageStep(std::max(largeChange_, 1));
        // A page larger than the range leaves nothing to scroll.
        bar->setRange(0, page > range ? 0 : range - page);
    };
    set(horizontalScrollBar(), horzRange_, horzPage_);
    set(verticalScrollBar(), vertRange_, vertPage_);
}

void TlyrScrollWin::paintEvent(QPaintEvent *)
{
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), palette().color(QPalette::Window));
}

// ---------------------------------------------------------------- flat combo

TlyrComboBox::TlyrComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    setFrame(false);
    resize(100, sizeHint().height());
}

void TlyrComboBox::SetReadOnly(bool v)
{
    readOnly_ = v;
    if (lineEdit()) lineEdit()->setReadOnly(v);
}

void TlyrComboBox::showPopup()
{
    if (lineEdit()) lineEdit()->setReadOnly(readOnly_);
    view()->setMinimumWidth(listWidth_ > 0 ? listWidth_ : width());
    QComboBox::showPopup();
}

void TlyrComboBox::paintEvent(QPaintEvent *e)
{
    QComboBox::paintEvent(e);
    QPainter p(this);
    const QPalette &pal = palette();
    const QColor frame = hot_ && isEnabled()
                                 ? lyrBlendColors(pal.color(QPalette::Highlight), pal.color(QPalette::Window), 70)
                                 : lyrBlendColors(pal.color(QPalette::Mid), pal.color(QPalette::Window), 60);
    p.setPen(frame);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    // The flat drop-down button, 11 pixels wide.
    const QRect button(width() - 12, 1, 11, height() - 2);
    p.fillRect(button, hot_ ? lyrBlendColors(pal.color(QPalette::Highlight), pal.color(QPalette::Window), 30)
                            : pal.color(QPalette::Button));
    p.setPen(isEnabled() ? pal.color(QPalette::ButtonText) : pal.color(QPalette::Mid));
    const int cx = button.center().x(), cy = button.center().y();
    for (int i = 0; i < 3; ++i) p.drawLine(cx - 2 + i, cy - 1 + i, cx + 2 - i, cy - 1 + i);
}

void TlyrComboBox::enterEvent(QEnterEvent *e)
{
    hot_ = true;
    update();
    QComboBox::enterEvent(e);
}

void TlyrComboBox::leaveEvent(QEvent *e)
{
    hot_ = false;
    update();
    QComboBox::leaveEvent(e);
}

void TlyrComboBox::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::EnabledChange) update();
    QComboBox::changeEvent(e);
}

// ---------------------------------------------------------------- combo edit

TlyrComboEdit::TlyrComboEdit(QWidget *parent) : QComboBox(parent), button_(new QToolButton(this))
{
    setEditable(true);
    button_->setAutoRaise(true);
    button_->setFocusPolicy(Qt::NoFocus);
    connect(button_, &QToolButton::clicked, this, [this] {
        if (OnButtonClick) OnButtonClick();
    });
}

void TlyrComboEdit::SetGlyph(const QIcon &icon)
{
    button_->setIcon(icon);
}

void TlyrComboEdit::SetButtonEnabled(bool v)
{
    buttonEnabled_ = v;
    button_->setEnabled(v && isEnabled());
}

void TlyrComboEdit::SetButtonHint(const QString &hint)
{
    button_->setToolTip(hint);
}

void TlyrComboEdit::resizeEvent(QResizeEvent *e)
{
    QComboBox::resizeEvent(e);
    const int side = std::max(height() - 4, 1);
    button_->setGeometry(width() - side - 2, 2, side, side);
}

void TlyrComboEdit::keyPressEvent(QKeyEvent *e)
{
    // Enter and Esc belong to the dialog the control sits on.
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Escape) {
        e->ignore();
        return;
    }
    QComboBox::keyPressEvent(e);
}

void TlyrComboEdit::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::EnabledChange) button_->setEnabled(buttonEnabled_ && isEnabled());
    QComboBox::changeEvent(e);
}

// ---------------------------------------------------------------- toolbar panel

TlyrTBPanel::TlyrTBPanel(QWidget *parent, int width, int height) : QWidget(parent)
{
    setFixedSize(width, height);
}

void TlyrTBPanel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
}
