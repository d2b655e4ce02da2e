#include "report/lyrcomponent.h"

#include "report/lyrclass.h"
#include "report/lyrdialogpage.h"
#include "report/lyrpropstream.h"
#include "report/lyrres.h"
#include "report/lyrutils.h"
#include "report/lyrxml.h"
#include "report/lyrxmlserializer.h"

#include <QBuffer>
#include <QDateTime>

#include <cmath>
#include <map>

namespace {

std::function<double()> &nowFunction()
{
    static std::function<double()> f;
    return f;
}

QString diffFloat(double v)
{
    return lyrFloatToXML(v);
}

void appendAttr(QString &out, const char *name, const QString &value)
{
    out += QLatin1Char(' ');
    out += QLatin1String(name);
    out += QStringLiteral("=\"");
    out += value;
    out += QLatin1Char('"');
}

}  // namespace

double lyrNow()
{
    if (nowFunction()) return nowFunction()();
    const QDateTime now = QDateTime::currentDateTime();
    const QDate epoch(1899, 12, 30);
    return static_cast<double>(epoch.daysTo(now.date())) + now.time().msecsSinceStartOfDay() / 86400000.0;
}

void lyrSetNowFunction(std::function<double()> now)
{
    nowFunction() = std::move(now);
}

// ---------------------------------------------------------------- font

void TlyrFont::Assign(const TlyrFont &source)
{
    if (Equals(source)) return;
    charset_ = source.charset_;
    color_ = source.color_;
    name_ = source.name_;
    size_ = source.size_;
    style_ = source.style_;
    if (OnChange) OnChange();
}

bool TlyrFont::Equals(const TlyrFont &o) const
{
    return charset_ == o.charset_ && color_ == o.color_ && name_ == o.name_ && size_ == o.size_ && style_ == o.style_;
}

// ---------------------------------------------------------------- component

TlyrComponent::TlyrComponent(QObject *owner)
    : TComponent(qobject_cast<TlyrComponent *>(owner) ? nullptr : owner), font_(new TlyrFont(this))
{
    font_->OnChange = [this] { FontChanged(); };
    if (auto *parent = qobject_cast<TlyrComponent *>(owner)) SetParent(parent);
}

TlyrComponent::~TlyrComponent()
{
    SetParent(nullptr);
    freeChildren();
    font_->OnChange = nullptr;
}

void TlyrComponent::freeChildren()
{
    if (objects_.isEmpty()) return;
    // A QObject leaves its parent's child list through a search from the
    // front: freed one by one from the back, a page of n objects would cost
    // n^2. So the children leave that list first, from its front, where each
    // is found at once; the few other children (the font and the like) step
    // out before and come back after. Each child keeps its Parent until it is
    // freed, last first, as before. This also runs while an allocation
    // failure unwinds, so nothing here allocates: the list is never copied
    // (a copy would be detached by the first change) and only shrinks.
    const QObjectList &list = children();
    constexpr int kAside = 16;
    QObject *aside[kAside];
    int nAside = 0;
    for (qsizetype i = 0; i < list.size();) {
        QObject *o = list.at(i);
        if (auto *c = qobject_cast<TlyrComponent *>(o); c && c->parent_ == this) {
            c->QObject::setParent(nullptr);
        } else if (!c && !o->isWidgetType() && nAside < kAside) {
            aside[nAside++] = o;
            o->setParent(nullptr);
        } else {
            ++i;
        }
    }
    // The emptied list has room at its front: putting these back takes none.
    for (int i = 0; i < nAside; ++i) aside[i]->setParent(this);
    while (!objects_.isEmpty()) delete objects_.last();
}

void TlyrComponent::collect(QList<TlyrComponent *> &out) const
{
    for (TlyrComponent *c : objects_) {
        out.append(c);
        c->collect(out);
    }
}

QList<TlyrComponent *> TlyrComponent::AllObjects() const
{
    QList<TlyrComponent *> out;
    collect(out);
    return out;
}

TlyrComponent *TlyrComponent::FindObject(const QString &name) const
{
    for (TlyrComponent *c : objects_) {
        if (c->objectName().compare(name, Qt::CaseInsensitive) == 0) return c;
        if (TlyrComponent *found = c->FindObject(name)) return found;
    }
    return nullptr;
}

QHash<QString, QPointer<TlyrComponent>> TlyrComponent::IndexByName() const
{
    QHash<QString, QPointer<TlyrComponent>> index;
    const QList<TlyrComponent *> all = AllObjects();
    index.reserve(all.size());
    for (TlyrComponent *c : all) {
        const QString key = c->objectName().toUpper();
        if (!key.isEmpty() && !index.contains(key)) index.insert(key, c);
    }
    return index;
}

TlyrReport *TlyrComponent::Report() const
{
    for (const TlyrComponent *c = this; c; c = c->parent_)
        if (auto *r = qobject_cast<TlyrReport *>(const_cast<TlyrComponent *>(c))) return r;
    return nullptr;
}

TlyrPage *TlyrComponent::Page() const
{
    for (const TlyrComponent *c = this; c; c = c->parent_)
        if (auto *p = qobject_cast<TlyrPage *>(const_cast<TlyrComponent *>(c))) return p;
    return nullptr;
}

void TlyrComponent::MoveChild(TlyrComponent *child, int index)
{
    const int from = objects_.indexOf(child);
    if (from < 0) return;
    index = std::clamp(index, 0, static_cast<int>(objects_.size()) - 1);
    objects_.move(from, index);
}

void TlyrComponent::SetName(const QString &value)
{
    const QString old = objectName();
    TlyrReport *r = Report();
    if (value.compare(old, Qt::CaseInsensitive) != 0 && !value.isEmpty() && r) {
        TlyrComponent *other = r->FindByName(value);
        if (other && other != this) throw ElyrError(lyrResources().Get(QStringLiteral("prDupl")));
        if (IsAncestor())
            throw ElyrError(QStringLiteral("Could not rename %1, it was introduced in the ancestor report").arg(old));
    }
    SetNameUnchecked(value);
}

void TlyrComponent::SetNameUnchecked(const QString &value)
{
    const QString old = objectName();
    setObjectName(value);
    TlyrReport *r = Report();
    if (r && r->NameIndex) {
        auto it = r->NameIndex->find(old.toUpper());
        if (it != r->NameIndex->end() && it->data() == this) r->NameIndex->erase(it);
        if (!value.isEmpty()) {
            QPointer<TlyrComponent> &slot = (*r->NameIndex)[value.toUpper()];
            if (!slot) slot = this;
        }
    }
}

QString TlyrComponent::BaseName() const
{
    if (!baseName_.isEmpty()) return baseName_;
    QString name = QString::fromLatin1(metaObject()->className());
    name.remove(name.indexOf(QLatin1String("Tlyr")) >= 0 ? name.indexOf(QLatin1String("Tlyr")) : name.size(), 4);
    // Dialog controls drop "Control" (TlyrButtonControl: Button), the others "View".
    const QLatin1String stem(inherits("TlyrDialogControl") ? "Control" : "View");
    const qsizetype at = name.indexOf(stem);
    if (at >= 0) name.remove(at, stem.size());
    return name;
}

void TlyrComponent::CreateUniqueName()
{
    const TlyrComponent *root = Report();
    if (!root) {
        root = this;
        while (root->parent_) root = root->parent_;
    }
    QSet<QString> names;
    names.insert(root->objectName().toUpper());
    for (TlyrComponent *c : root->AllObjects())
        if (c != this) names.insert(c->objectName().toUpper());
    for (int n = 1;; ++n) {
        const QString candidate = BaseName() + QString::number(n);
        if (!names.contains(candidate.toUpper())) {
            SetNameUnchecked(candidate);
            return;
        }
    }
}

// Whether a parent's position counts in its children's: a dialog page's
// controls stand where they are.  Asked for every drawn object, so by the
// meta-object rather than by class name.
namespace {
bool placesChildren(const TlyrComponent *parent)
{
    // A band, the usual parent, is never a dialog page; the cast walks
    // every class up to QObject for anything else.
    return parent && (parent->IsBand() || !qobject_cast<const TlyrDialogPage *>(parent));
}
}  // namespace

double TlyrComponent::AbsLeft() const
{
    if (placesChildren(parent_)) return left_ + parent_->AbsLeft();
    return left_;
}

double TlyrComponent::AbsTop() const
{
    if (placesChildren(parent_)) return top_ + parent_->AbsTop();
    return top_;
}

void TlyrComponent::SetBounds(double left, double top, double width, double height)
{
    SetLeft(left);
    SetTop(top);
    SetWidth(width);
    SetHeight(height);
}

void TlyrComponent::SetOwner(QObject *owner)
{
    if (auto *parent = qobject_cast<TlyrComponent *>(owner)) {
        SetParent(parent);
        return;
    }
    SetParent(nullptr);
    QObject::setParent(owner);
}

void TlyrComponent::SetParent(TlyrComponent *value)
{
    if (value == parent_) return;
    for (TlyrComponent *p = value; p; p = p->parent_)
        if (p == this) return;  // a cycle would free the tree twice
    // From the back: a parent frees its children last first.
    if (parent_) {
        const qsizetype at = parent_->objects_.lastIndexOf(this);
        if (at >= 0) parent_->objects_.removeAt(at);
    }
    if (value) value->objects_.append(this);
    parent_ = value;
    QObject::setParent(value);
    SetParentFont(parentFont_);
}

void TlyrComponent::SetLeft(double value)
{
    if (!(isDesigning_ && (restrictions_ & rfDontMove))) left_ = value;
}

void TlyrComponent::SetTop(double value)
{
    if (!(isDesigning_ && (restrictions_ & rfDontMove))) top_ = value;
}

void TlyrComponent::SetWidth(double value)
{
    if (!(isDesigning_ && (restrictions_ & rfDontSize))) width_ = value;
}

void TlyrComponent::SetHeight(double value)
{
    if (!(isDesigning_ && (restrictions_ & rfDontSize))) height_ = value;
}

void TlyrComponent::SetFont(const TlyrFont *value)
{
    if (value && value != font_) font_->Assign(*value);
    parentFont_ = false;
}

void TlyrComponent::SetParentFont(bool value)
{
    if (value && parent_) SetFont(parent_->Font());
    parentFont_ = value;
}

void TlyrComponent::SetVisible(bool value)
{
    visible_ = value;
}

void TlyrComponent::FontChanged()
{
    parentFont_ = false;
    for (TlyrComponent *c : objects_)
        if (c->ParentFont()) c->SetParentFont(true);
}

QString TlyrComponent::GetDescription() const
{
    return QString::fromLatin1(metaObject()->className());
}

void TlyrComponent::AlignChildren()
{
    struct Entry {
        QByteArray Key;
        TlyrComponent *View;
    };
    std::vector<Entry> list;
    for (TlyrComponent *c : objects_) {
        if (!c->IsView()) continue;
        const double l = c->Left();
        list.push_back({(l >= 0 ? "1" : "0") + QByteArray::number(l >= 0 ? l : -l, 'f', 2).rightJustified(9, ' '), c});
    }
    std::stable_sort(list.begin(), list.end(), [](const Entry &a, const Entry &b) { return a.Key < b.Key; });
    auto overlaps = [](const TlyrComponent *a, const TlyrComponent *b) {
        return !(a->AbsTop() >= b->AbsTop() + b->Height() - 0.0001) &&
               !(b->AbsTop() >= a->AbsTop() + a->Height() - 0.0001);
    };
    const int n = static_cast<int>(list.size());
    for (int i = 0; i < n; ++i) {
        TlyrComponent *v = list[i].View;
        const TlyrAlign a = v->GetAlign();
        if (a != baLeft && a != baWidth) continue;
        TlyrComponent *neighbour = nullptr;
        for (int j = i - 1; j >= 0 && !neighbour; --j) {
            TlyrComponent *c = list[j].View;
            if (a == baWidth && c->Left() > v->Left()) continue;
            if (overlaps(v, c)) neighbour = c;
        }
        v->SetLeft(neighbour ? neighbour->Left() + neighbour->Width() : 0);
    }
    for (int i = n - 1; i >= 0; --i) {
        TlyrComponent *v = list[i].View;
        const TlyrAlign a = v->GetAlign();
        if (a != baRight && a != baWidth) continue;
        TlyrComponent *neighbour = nullptr;
        for (int j = i + 1; j < n && !neighbour; ++j) {
            TlyrComponent *c = list[j].View;
            if (a == baWidth && c->Left() + c->Width() < v->Left() + v->Width()) continue;
            if (overlaps(v, c)) neighbour = c;
        }
        const double edge = neighbour ? neighbour->Left() : Width();
        if (a == baRight)
            v->SetLeft(edge - v->Width());
        else
            v->SetWidth(edge - v->Left());
    }
    for (TlyrComponent *c : objects_) {
        switch (c->GetAlign()) {
        case baCenter:
            c->SetLeft((Width() - c->Width()) / 2);
            break;
        case baBottom:
            c->SetTop(Height() - c->Height());
            break;
        case baClient:
            c->SetBounds(0, 0, Width(), Height());
            break;
        default:
            break;
        }
    }
}

void TlyrComponent::Clear()
{
    const QList<TlyrComponent *> children = objects_;
    for (TlyrComponent *c : children) {
        if (c->IsAncestor())
            c->Clear();
        else
            delete c;
    }
}

void TlyrComponent::LoadFromStream(QIODevice &stream)
{
    readTemplate(&stream, nullptr);
}

void TlyrComponent::readTemplate(QIODevice *stream, TlyrXMLItem *item, const TlyrComponent *copyOf)
{
    Clear();
    TlyrReport *report = Report();
    TlyrXMLSerializer serializer(stream);
    serializer.Owner = report ? static_cast<TlyrComponent *>(report) : this;
    serializer.Kept = report ? report->KeptOnLoad : nullptr;
    TlyrXMLSerializer *saved = report ? report->SerializerInUse : nullptr;
    if (report) report->SerializerInUse = &serializer;
    struct Restore {
        TlyrReport *r;
        TlyrXMLSerializer *s;
        ~Restore()
        {
            if (r) r->SerializerInUse = s;
        }
    } restore{report, saved};
    auto read = [&] {
        if (!copyOf) {
            serializer.ReadRootComponent(this, item);
            return;
        }
        TlyrComponent *sourceReport = const_cast<TlyrComponent *>(copyOf)->Report();
        serializer.CopyRootComponent(this, copyOf, sourceReport ? sourceReport : const_cast<TlyrComponent *>(copyOf));
    };
    try {
        if (report && report->EngineOptions()->ThreadSafeMode()) {
            QMutexLocker lock(&lyrTemplateLoadingLock());
            read();
        } else {
            read();
        }
    } catch (...) {
        if (report) report->AddErrors(serializer.Errors);
        throw;
    }
    if (report) report->AddErrors(serializer.Errors);
}

void TlyrComponent::SaveToStream(QIODevice &stream, bool saveChildren, bool saveDefaultValues)
{
    writeTemplate(&stream, nullptr, saveChildren, saveDefaultValues);
}

void TlyrComponent::writeTemplate(QIODevice *stream, TlyrXMLItem *item, bool saveChildren, bool saveDefaultValues)
{
    TlyrReport *report = Report();
    TlyrXMLSerializer serializer(stream);
    serializer.Owner = report ? static_cast<TlyrComponent *>(report) : this;
    serializer.SerializeAll = saveDefaultValues;
    if (auto *r = qobject_cast<TlyrReport *>(this)) {
        serializer.OnGetAncestor = [r](const QString &name) -> TlyrComponent * {
            TlyrReport *anc = r->ParentReportObject();
            if (!anc) return nullptr;
            if (name.compare(r->objectName(), Qt::CaseInsensitive) == 0) return anc;
            return anc->FindObject(name);
        };
    }
    serializer.WriteRootComponent(this, saveChildren, item);
}

QString TlyrComponent::Diff(const TlyrComponent *other) const
{
    QString out;
    if (!other) return out;
    if (std::fabs(left_ - other->left_) > 0.0001) appendAttr(out, "l", diffFloat(left_));
    if (std::fabs(top_ - other->top_) > 0.0001 || IsBand()) appendAttr(out, "t", diffFloat(top_));
    if (std::fabs(width_ - other->width_) > 0.0001 && !AutoWidth()) appendAttr(out, "w", diffFloat(width_));
    if (std::fabs(height_ - other->height_) > 0.0001) appendAttr(out, "h", diffFloat(height_));
    if (visible_ != other->visible_) appendAttr(out, "Visible", visible_ ? QStringLiteral("1") : QStringLiteral("0"));
    if (!parentFont_) {
        const TlyrFont &f = *font_;
        const TlyrFont &g = *other->font_;
        if (f.Name() != g.Name()) appendAttr(out, "Font.Name", QString::fromUtf8(lyrStrToXML(f.Name())));
        if (f.Size() != g.Size()) appendAttr(out, "Font.Size", QString::number(f.Size()));
        if (f.Color() != g.Color()) appendAttr(out, "Font.Color", QString::number(f.Color()));
        if (f.Style() != g.Style()) appendAttr(out, "Font.Style", QString::number(f.Style()));
        if (f.Charset() != g.Charset()) appendAttr(out, "Font.Charset", QString::number(f.Charset()));
    }
    if (parentFont_ != other->parentFont_)
        appendAttr(out, "ParentFont", parentFont_ ? QStringLiteral("1") : QStringLiteral("0"));
    if (tag_ != other->tag_) appendAttr(out, "Tag", QString::number(tag_));
    return out;
}

QString TlyrComponent::AllDiff(const TlyrComponent *reference) const
{
    TlyrXMLSerializer serializer(nullptr);
    serializer.Owner = Report();
    QString out = QString::fromUtf8(serializer.ObjToXML(const_cast<TlyrComponent *>(this))).trimmed();
    if (reference) out += QLatin1Char(' ') + Diff(reference);
    return out;
}

bool TlyrComponent::IsPropertyStored(const QString &name) const
{
    if (name.compare(QLatin1String("Font"), Qt::CaseInsensitive) == 0) return !parentFont_;
    return true;
}

void TlyrComponent::WriteData(TlyrPropWriter &, TlyrXMLSerializer &) const {}

bool TlyrComponent::ReadData(const QByteArray &, TlyrPropReader &, TlyrXMLSerializer &)
{
    return false;
}

void TlyrComponent::Assign(const TlyrComponent *source)
{
    copyFrom(source, false);
}

void TlyrComponent::AssignAll(const TlyrComponent *source)
{
    copyFrom(source, true);
}

void TlyrComponent::copyFrom(const TlyrComponent *source, bool children)
{
    if (!source || source == this) return;
    // A report saves and loads itself in its own way; other objects go
    // through the element tree alone, without writing and parsing text.
    if (qobject_cast<const TlyrReport *>(source) || qobject_cast<TlyrReport *>(this)) {
        QBuffer buf;
        buf.open(QIODevice::ReadWrite);
        const_cast<TlyrComponent *>(source)->SaveToStream(buf, children, true);
        buf.seek(0);
        LoadFromStream(buf);
        return;
    }
    if (!children) {
        // One object: its values straight across, as the text would give.
        readTemplate(nullptr, nullptr, source);
        return;
    }
    TlyrXMLItem item;
    const_cast<TlyrComponent *>(source)->writeTemplate(nullptr, &item, children, true);
    readTemplate(nullptr, &item);
}

// ---------------------------------------------------------------- report component

void TlyrReportComponent::BeforePrint()
{
    savedLeft_ = Left();
    savedTop_ = Top();
    savedWidth_ = Width();
    savedHeight_ = Height();
}

void TlyrReportComponent::AfterPrint()
{
    SetBounds(savedLeft_, savedTop_, savedWidth_, savedHeight_);
}

void TlyrReportComponent::GetRealBounds(double &left, double &top, double &right, double &bottom) const
{
    left = AbsLeft();
    top = AbsTop();
    right = left + Width();
    bottom = top + Height();
}

// ---------------------------------------------------------------- dialog component

TlyrDialogComponent::TlyrDialogComponent(QObject *owner) : TlyrReportComponent(owner)
{
    SetWidth(28);
    SetHeight(28);
    SetFlags(Flags() & ~2);
}

void TlyrDialogComponent::WriteData(TlyrPropWriter &writer, TlyrXMLSerializer &serializer) const
{
    TlyrReportComponent::WriteData(writer, serializer);
    writer.WritePropName("pLeft");
    writer.WriteInteger(std::llround(Left()));
    writer.WritePropName("pTop");
    writer.WriteInteger(std::llround(Top()));
}

bool TlyrDialogComponent::ReadData(const QByteArray &name, TlyrPropReader &reader, TlyrXMLSerializer &serializer)
{
    if (name == "pLeft") {
        SetLeft(static_cast<double>(reader.ReadInteger()));
        return true;
    }
    if (name == "pTop") {
        SetTop(static_cast<double>(reader.ReadInteger()));
        return true;
    }
    return TlyrReportComponent::ReadData(name, reader, serializer);
}

// ---------------------------------------------------------------- pages

TlyrDataPage::TlyrDataPage(QObject *owner) : TlyrPage(owner)
{
    SetWidth(1000);
    SetHeight(1000);
}

QString TlyrDataPage::GetDescription() const
{
    return lyrResources().Get(QStringLiteral("obDataPage"));
}
