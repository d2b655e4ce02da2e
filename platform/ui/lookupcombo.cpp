#include "platform/ui/lookupcombo.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QEvent>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionMenuItem>

namespace ui {

namespace {

// Sizes one box to its entries, again whenever they or the font change.
class EntryFit : public QObject {
public:
    explicit EntryFit(QComboBox *box) : QObject(box), m_box(box) { box->installEventFilter(this); }

    void follow(QAbstractItemModel *model)
    {
        if (model == m_model) return;
        if (m_model) disconnect(m_model, nullptr, this, nullptr);
        m_model = model;
        if (!model) return;
        for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
            connect(model, signal, this, [this] { fit(); });
        connect(model, &QAbstractItemModel::modelReset, this, [this] { fit(); });
        connect(model, &QAbstractItemModel::dataChanged, this, [this] { fit(); });
    }

    void fit()
    {
        const QFontMetrics fm = m_box->fontMetrics();
        int text = fm.horizontalAdvance(fitMinimumText());
        for (int i = 0; i < m_box->count(); ++i) text = qMax(text, fm.horizontalAdvance(m_box->itemText(i)));
        // An editable box shows its text in a line edit with margins of its own.
        if (m_box->isEditable()) text += fm.horizontalAdvance(QLatin1Char(' ')) * 2;
        QStyleOptionComboBox opt;
        opt.initFrom(m_box);
        opt.editable = m_box->isEditable();
        opt.frame = m_box->hasFrame();
        const QSize room = m_box->style()->sizeFromContents(QStyle::CT_ComboBox, &opt, QSize(text, fm.height()), m_box);
        m_box->setMinimumWidth(room.width());

        // The list draws its entries as menu items: their text and the room
        // the style puts around it.
        QAbstractItemView *list = m_box->view();
        const QFontMetrics lfm = list->fontMetrics();
        QStyleOptionMenuItem item;
        item.initFrom(list);
        item.menuItemType = QStyleOptionMenuItem::Normal;
        int longest = 0;
        for (int i = 0; i < m_box->count(); ++i) {
            const int w = lfm.horizontalAdvance(m_box->itemText(i));
            if (w > longest) {
                longest = w;
                item.text = m_box->itemText(i);
            }
        }
        int entries = m_box->style()
                              ->sizeFromContents(QStyle::CT_MenuItem, &item, QSize(longest, lfm.height()), m_box)
                              .width();
        if (m_box->count() > m_box->maxVisibleItems())
            entries += list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
        list->setMinimumWidth(entries + 2 * list->frameWidth());
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_box && (event->type() == QEvent::Polish || event->type() == QEvent::FontChange ||
                                 event->type() == QEvent::StyleChange))
            fit();
        return false;
    }

private:
    QComboBox *m_box;
    QPointer<QAbstractItemModel> m_model;
};

}  // namespace

QString fitMinimumText()
{
    return QString(10, QChar(0x4E2D));  // ten times "中"
}

void fitToEntries(QComboBox *box)
{
    EntryFit *f = nullptr;
    for (QObject *child : box->children())
        if (!f) f = dynamic_cast<EntryFit *>(child);
    if (!f) f = new EntryFit(box);
    f->follow(box->model());
    f->fit();
}

LookupComboBox::LookupComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(false);
    setCurrentIndex(-1);
    fitToEntries(this);
    connect(this, qOverload<int>(&QComboBox::activated), this, [this](int) { emit Click(); });
}

void LookupComboBox::setListModel(QAbstractItemModel *model)
{
    if (m_model) disconnect(m_model, nullptr, this, nullptr);
    QString kept = Text();
    m_model = model;
    setModel(model);
    fitToEntries(this);
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_kept = Text(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { setText(m_kept); });
    setText(kept);
}

QString LookupComboBox::Text() const
{
    return currentIndex() < 0 ? QString() : currentText();
}

void LookupComboBox::setText(const QString &name)
{
    setCurrentIndex(name.isEmpty() ? -1 : findText(name, Qt::MatchFixedString));
}

QStringList LookupComboBox::items() const
{
    QStringList out;
    for (int i = 0; i < count(); ++i) out << itemText(i);
    return out;
}

}  // namespace ui
