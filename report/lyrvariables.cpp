#include "report/lyrvariables.h"

TlyrVariable *TlyrVariables::Add()
{
    items_.push_back(std::make_unique<TlyrVariable>());
    return items_.back().get();
}

void TlyrVariables::Delete(int i)
{
    if (i >= 0 && i < Count()) items_.erase(items_.begin() + i);
}

void TlyrVariables::Assign(const TlyrVariables &source)
{
    if (&source == this) return;
    items_.clear();
    for (const auto &v : source.items_) Add()->Assign(*v);
}

int TlyrVariables::IndexOf(const QString &name) const
{
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->Name.compare(name, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
    return -1;
}

QVariant TlyrVariables::Variables(const QString &name) const
{
    const int i = IndexOf(name);
    return i < 0 ? QVariant() : items_[static_cast<size_t>(i)]->Value;
}

void TlyrVariables::SetVariable(const QString &name, const QVariant &value)
{
    const int i = IndexOf(name);
    TlyrVariable *v = i < 0 ? Add() : items_[static_cast<size_t>(i)].get();
    if (i < 0) v->Name = name;
    v->Value = value;
}

TlyrVariables &lyrGlobalVariables()
{
    static TlyrVariables globals;
    return globals;
}
