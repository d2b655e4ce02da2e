#include "platform/ui/lookupcombo.h"

#include <QAbstractItemModel>

namespace ui {

LookupComboBox::LookupComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(false);
    setCurrentIndex(-1);
    connect(this, qOverload<int>(&QComboBox::activated), this, [this](int) { emit Click(); });
}

void LookupComboBox::setListModel(QAbstractItemModel *model)
{
    if (m_model) disconnect(m_model, nullptr, this, nullptr);
    QString kept = Text();
    m_model = model;
    setModel(model);
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
