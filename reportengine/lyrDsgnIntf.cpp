#include "reportengine/lyrDsgnIntf.h"

#include "report/lyrcanvas.h"
#include "report/lyrcomponent.h"
#include "report/lyrdbset.h"
#include "report/lyrdialogpage.h"
#include "report/lyrdmpclass.h"
#include "report/lyrexception.h"
#include "report/lyrres.h"
#include "report/lyrutils.h"
#include "report/lyrview.h"
#include "reportengine/lyrBarcode.h"
#include "script/ks_props.h"

#include <QDateTime>
#include <QFontDatabase>
#include <QKeySequence>

#include <algorithm>

namespace {

bool inherits(const QMetaObject *cls, const QMetaObject *base)
{
    for (const QMetaObject *m = cls; m; m = m->superClass())
        if (m == base) return true;
    return false;
}

const KsPropInfo *propertyOf(QObject *obj, const QString &name)
{
    const KsClassInfo *cls = obj ? ksClassInfoOf(obj) : nullptr;
    return cls ? cls->FindProperty(name) : nullptr;
}

}  // namespace

// ---------------------------------------------------------------- objects

quint8 TlyrObjectCollection::KindOf(const QMetaObject *classRef)
{
    if (inherits(classRef, &TlyrDataSet::staticMetaObject) || inherits(classRef, &TlyrCustomDatabase::staticMetaObject))
        return okData;
    if (inherits(classRef, &TlyrDialogControl::staticMetaObject) ||
        inherits(classRef, &TlyrDialogComponent::staticMetaObject))
        return okDialogObject;
    return okReportObject;
}

void TlyrObjectCollection::RegisterObject(const QMetaObject *classRef, const QImage &buttonBitmap, quint8 kind,
                                          int imageIndex, quint16 flags, const QString &hint, const QString &caption)
{
    for (const TlyrObjectItem &i : items_)
        if (i.ClassRef == classRef && i.Flags == flags) return;
    if (!ksFindClassInfo(QString::fromLatin1(classRef->className())))
        ksRegisterClass(classRef,
                        [classRef](QObject *owner) { return classRef->newInstance(Q_ARG(QObject *, owner)); });
    TlyrObjectItem item;
    item.ClassRef = classRef;
    item.ButtonBitmap = buttonBitmap;
    item.ImageIndex = imageIndex;
    item.ButtonHint = hint;
    item.ButtonCaption = caption;
    item.Flags = flags;
    item.Kind = kind ? kind : KindOf(classRef);
    items_ << item;
}

int TlyrObjectCollection::IndexOf(const QString &className) const
{
    for (int i = 0; i < items_.size(); ++i)
        if (QLatin1String(items_[i].ClassRef->className()) == className) return i;
    return -1;
}

TlyrObjectCollection &lyrObjects()
{
    static TlyrObjectCollection objects = [] {
        TlyrObjectCollection c;
        lyrRegisterDMPClasses();
        c.RegisterObject(&TlyrDMPMemoView::staticMetaObject, QImage(), okDotMatrixObject, 2);
        c.RegisterObject(&TlyrDMPLineView::staticMetaObject, QImage(), okDotMatrixObject, 5);
        c.RegisterObject(&TlyrDMPCommand::staticMetaObject, QImage(), okDotMatrixObject, 21);
        return c;
    }();
    return objects;
}

// ---------------------------------------------------------------- component editors

TlyrComponentEditor::TlyrComponentEditor(TlyrComponent *component, QObject *designer)
    : component_(component), designer_(designer)
{
    if (component) Selection << component;
}

void TlyrComponentEditor::AddMenuItem(QList<TlyrEditorMenuItem> &items, const QString &caption, int tag, bool checked)
{
    items << TlyrEditorMenuItem{caption, tag, checked};
}

TlyrViewEditor::TlyrViewEditor(TlyrComponent *component, QObject *designer) : TlyrComponentEditor(component, designer)
{}

void TlyrViewEditor::GetMenuItems(QList<TlyrEditorMenuItem> &items) const
{
    auto *first = Selection.isEmpty() ? nullptr : qobject_cast<TlyrView *>(Selection.first());
    const auto &res = lyrResources();
    AddMenuItem(items, res.Get(QStringLiteral("mvShift")), 50, first && first->ShiftMode() == smAlways);
    AddMenuItem(items, res.Get(QStringLiteral("mvShiftOver")), 51, first && first->ShiftMode() == smWhenOverlapped);
    AddMenuItem(items, res.Get(QStringLiteral("mvVisible")), 52, first && first->Visible());
    AddMenuItem(items, res.Get(QStringLiteral("mvPrintable")), 53, first && first->Printable());
}

bool TlyrViewEditor::Execute(int tag, bool checked)
{
    if (tag < 50 || tag > 53) return false;
    for (TlyrComponent *c : Selection) {
        auto *v = qobject_cast<TlyrView *>(c);
        if (!v || (v->Restrictions() & rfDontModify)) continue;
        switch (tag) {
        case 50:
            v->SetShiftMode(checked ? smAlways : smDontShift);
            break;
        case 51:
            v->SetShiftMode(checked ? smWhenOverlapped : smDontShift);
            break;
        case 52:
            v->SetVisible(checked);
            break;
        default:
            v->SetPrintable(checked);
            break;
        }
    }
    return true;
}

TlyrBarcodeEditor::TlyrBarcodeEditor(TlyrComponent *component, QObject *designer) : TlyrViewEditor(component, designer)
{}

void TlyrBarcodeEditor::GetMenuItems(QList<TlyrEditorMenuItem> &items) const
{
    auto *first = Selection.isEmpty() ? nullptr : qobject_cast<TlyrBarCodeView *>(Selection.first());
    const auto &res = lyrResources();
    AddMenuItem(items, res.Get(QStringLiteral("bcCalcChecksum")), 1, first && first->CalcCheckSum());
    AddMenuItem(items, res.Get(QStringLiteral("bcShowText")), 2, first && first->ShowText());
    TlyrViewEditor::GetMenuItems(items);
}

bool TlyrBarcodeEditor::Execute(int tag, bool checked)
{
    if (tag != 1 && tag != 2) return TlyrViewEditor::Execute(tag, checked);
    for (TlyrComponent *c : Selection) {
        auto *b = qobject_cast<TlyrBarCodeView *>(c);
        if (!b) continue;
        if (tag == 1)
            b->SetCalcCheckSum(checked);
        else
            b->SetShowText(checked);
    }
    return true;
}

void TlyrComponentEditorCollection::Register(const QMetaObject *componentClass, const QMetaObject *editorClass)
{
    items_ << TlyrComponentEditorItem{componentClass, editorClass};
}

std::unique_ptr<TlyrComponentEditor> TlyrComponentEditorCollection::CreateEditor(TlyrComponent *component,
                                                                                 QObject *designer) const
{
    if (!component) return nullptr;
    for (const QMetaObject *m = component->metaObject(); m; m = m->superClass()) {
        for (const TlyrComponentEditorItem &i : items_) {
            if (i.ComponentClass != m) continue;
            QObject *made = i.EditorClass->newInstance(Q_ARG(TlyrComponent *, component), Q_ARG(QObject *, designer));
            return std::unique_ptr<TlyrComponentEditor>(qobject_cast<TlyrComponentEditor *>(made));
        }
    }
    return nullptr;
}

TlyrComponentEditorCollection &lyrComponentEditors()
{
    static TlyrComponentEditorCollection editors;
    return editors;
}

// ---------------------------------------------------------------- property editors

TlyrPropertyEditor::TlyrPropertyEditor(QObject *designer) : designer_(designer) {}

bool TlyrPropertyEditor::Edit()
{
    Values.clear();
    GetValues();
    if (Values.isEmpty()) return false;
    const int at = Values.indexOf(GetValue());
    SetValue(Values.at(at < 0 || at + 1 >= Values.size() ? 0 : at + 1));
    return true;
}

void TlyrPropertyEditor::GetValues()
{
    Values.clear();
    if (GetAttributes() & paSortList) Values.sort();
}

double TlyrPropertyEditor::GetFloatValue() const
{
    QObject *o = Components.value(0);
    const KsPropInfo *p = propertyOf(o, PropertyName);
    return p ? p->Get(o).ToDouble() : 0;
}

qint64 TlyrPropertyEditor::GetOrdValue() const
{
    QObject *o = Components.value(0);
    const KsPropInfo *p = propertyOf(o, PropertyName);
    return p ? p->Get(o).ToInt64() : 0;
}

QString TlyrPropertyEditor::GetStrValue() const
{
    QObject *o = Components.value(0);
    const KsPropInfo *p = propertyOf(o, PropertyName);
    return p ? p->Get(o).ToText() : QString();
}

// Every edited component that has a writable property of that name.
template <class V>
static void setAll(const QList<QObject *> &components, const QString &name, const V &value)
{
    for (QObject *o : components) {
        const KsPropInfo *p = propertyOf(o, name);
        if (p && !p->IsReadOnly()) p->Set(o, KsValue(value));
    }
}

void TlyrPropertyEditor::SetFloatValue(double v)
{
    setAll(Components, PropertyName, v);
}

void TlyrPropertyEditor::SetOrdValue(qint64 v)
{
    for (QObject *o : Components) {
        const KsPropInfo *p = propertyOf(o, PropertyName);
        if (p && !p->IsReadOnly()) p->Set(o, KsValue::FromInt(v));
    }
}

void TlyrPropertyEditor::SetStrValue(const QString &v)
{
    setAll(Components, PropertyName, v);
}

QString TlyrIntegerProperty::GetValue() const
{
    return QString::number(GetOrdValue());
}

void TlyrIntegerProperty::SetValue(const QString &value)
{
    bool ok = false;
    const qint64 v = value.trimmed().toLongLong(&ok);
    if (!ok) throw ElyrError(QStringLiteral("'%1' is not a valid integer value").arg(value));
    SetOrdValue(v);
}

QString TlyrClassProperty::GetValue() const
{
    QObject *o = Components.value(0);
    const KsPropInfo *p = propertyOf(o, PropertyName);
    return QStringLiteral("(") + (p ? p->TypeName : QString()) + QStringLiteral(")");
}

namespace {
const QStringList &colorNames()
{
    static const QStringList names{"clBlack", "clMaroon",  "clGreen",  "clOlive", "clNavy",       "clPurple",
                                   "clTeal",  "clGray",    "clSilver", "clRed",   "clLime",       "clYellow",
                                   "clBlue",  "clFuchsia", "clAqua",   "clWhite", "clMoneyGreen", "clSkyBlue",
                                   "clCream", "clMedGray", "clNone"};
    return names;
}
}  // namespace

QString TlyrColorProperty::GetValue() const
{
    const int v = int(GetOrdValue());
    for (const QString &n : colorNames()) {
        int c = 0;
        if (lyrColorByName(n, c) && c == v) return n;
    }
    return QStringLiteral("$") + QStringLiteral("%1").arg(uint(v), 8, 16, QLatin1Char('0')).toUpper();
}

void TlyrColorProperty::GetValues()
{
    Values = colorNames();
}

void TlyrColorProperty::SetValue(const QString &value)
{
    int c = 0;
    if (lyrColorByName(value.trimmed(), c)) {
        SetOrdValue(c);
        return;
    }
    QString t = value.trimmed();
    bool ok = false;
    const qint64 v = t.startsWith(u'$') ? t.mid(1).toLongLong(&ok, 16) : t.toLongLong(&ok);
    if (!ok) throw ElyrError(QStringLiteral("'%1' is not a valid colour").arg(value));
    SetOrdValue(v);
}

void TlyrFontNameProperty::GetValues()
{
    Values = QFontDatabase::families();
    Values.sort();
}

namespace {
const std::pair<const char *, int> kCharsets[] = {
        {"ANSI_CHARSET", 0},      {"DEFAULT_CHARSET", 1},    {"SYMBOL_CHARSET", 2},
        {"MAC_CHARSET", 77},      {"SHIFTJIS_CHARSET", 128}, {"HANGEUL_CHARSET", 129},
        {"JOHAB_CHARSET", 130},   {"GB2312_CHARSET", 134},   {"CHINESEBIG5_CHARSET", 136},
        {"GREEK_CHARSET", 161},   {"TURKISH_CHARSET", 162},  {"VIETNAMESE_CHARSET", 163},
        {"HEBREW_CHARSET", 177},  {"ARABIC_CHARSET", 178},   {"BALTIC_CHARSET", 186},
        {"RUSSIAN_CHARSET", 204}, {"THAI_CHARSET", 222},     {"EASTEUROPE_CHARSET", 238},
        {"OEM_CHARSET", 255}};
}

QString TlyrFontCharsetProperty::GetValue() const
{
    const qint64 v = GetOrdValue();
    for (const auto &[n, c] : kCharsets)
        if (c == v) return QLatin1String(n);
    return QString::asprintf("%d", int(v));
}

void TlyrFontCharsetProperty::GetValues()
{
    Values.clear();
    for (const auto &[n, c] : kCharsets) Values << QLatin1String(n);
    Values.sort();
}

void TlyrFontCharsetProperty::SetValue(const QString &value)
{
    for (const auto &[n, c] : kCharsets) {
        if (value.trimmed().compare(QLatin1String(n), Qt::CaseInsensitive) == 0) {
            SetOrdValue(c);
            return;
        }
    }
    TlyrIntegerProperty::SetValue(value);
}

const QStringList &TlyrModalResultProperty::Names()
{
    static const QStringList names{"mrNone", "mrOk", "mrCancel", "mrAbort",   "mrRetry",   "mrIgnore",
                                   "mrYes",  "mrNo", "mrAll",    "mrNoToAll", "mrYesToAll"};
    return names;
}

QString TlyrModalResultProperty::GetValue() const
{
    const qint64 v = GetOrdValue();
    if (v >= 0 && v < Names().size()) return Names().at(int(v));
    return QString::number(v);
}

void TlyrModalResultProperty::GetValues()
{
    Values = Names();
}

void TlyrModalResultProperty::SetValue(const QString &value)
{
    for (int i = 0; i < Names().size(); ++i) {
        if (Names()[i].compare(value.trimmed(), Qt::CaseInsensitive) == 0) {
            SetOrdValue(i);
            return;
        }
    }
    TlyrIntegerProperty::SetValue(value);
}

namespace {
const char *const kShortCuts[] = {"Ctrl+A", "Ctrl+B", "Ctrl+C", "Ctrl+D", "Ctrl+E", "Ctrl+F", "Ctrl+G", "Ctrl+H",
                                  "Ctrl+I", "Ctrl+J", "Ctrl+K", "Ctrl+L", "Ctrl+M", "Ctrl+N", "Ctrl+O", "Ctrl+P",
                                  "Ctrl+Q", "Ctrl+R", "Ctrl+S", "Ctrl+T", "Ctrl+U", "Ctrl+V", "Ctrl+W", "Ctrl+X",
                                  "Ctrl+Y", "Ctrl+Z", "F1",     "F2",     "F3",     "F4",     "F5",     "F6",
                                  "F7",     "F8",     "F9",     "F10",    "F11",    "F12",    "Ins",    "Del"};
const QString kNoShortCut = QStringLiteral("(None)");
}  // namespace

QString TlyrShortCutProperty::GetValue() const
{
    const qint64 v = GetOrdValue();
    return v == 0 ? kNoShortCut : QKeySequence(int(v)).toString(QKeySequence::PortableText);
}

void TlyrShortCutProperty::GetValues()
{
    Values.clear();
    Values << kNoShortCut;
    for (const char *s : kShortCuts) Values << QLatin1String(s);
}

void TlyrShortCutProperty::SetValue(const QString &value)
{
    if (value.trimmed().isEmpty() || value == kNoShortCut) {
        SetOrdValue(0);
        return;
    }
    const QKeySequence k(value, QKeySequence::PortableText);
    if (k.isEmpty()) throw ElyrError(QStringLiteral("'%1' is not a valid shortcut").arg(value));
    SetOrdValue(k[0].toCombined());
}

namespace {
const std::pair<const char *, int> kCursors[] = {
        {"crDefault", 0},   {"crNone", -1},       {"crArrow", -2},    {"crCross", -3},    {"crIBeam", -4},
        {"crSize", -22},    {"crSizeNESW", -6},   {"crSizeNS", -7},   {"crSizeNWSE", -8}, {"crSizeWE", -9},
        {"crUpArrow", -10}, {"crHourGlass", -11}, {"crDrag", -12},    {"crNoDrop", -13},  {"crHSplit", -14},
        {"crVSplit", -15},  {"crMultiDrag", -16}, {"crSQLWait", -17}, {"crNo", -18},      {"crAppStart", -19},
        {"crHelp", -20},    {"crHandPoint", -21}, {"crSizeAll", -22}};
}

QString TlyrCursorProperty::GetValue() const
{
    const qint64 v = GetOrdValue();
    for (const auto &[n, c] : kCursors)
        if (c == v) return QLatin1String(n);
    return QString::number(v);
}

void TlyrCursorProperty::GetValues()
{
    Values.clear();
    for (const auto &[n, c] : kCursors) Values << QLatin1String(n);
    Values.removeDuplicates();
    Values.sort();
}

void TlyrCursorProperty::SetValue(const QString &value)
{
    for (const auto &[n, c] : kCursors) {
        if (value.trimmed().compare(QLatin1String(n), Qt::CaseInsensitive) == 0) {
            SetOrdValue(c);
            return;
        }
    }
    TlyrIntegerProperty::SetValue(value);
}

namespace {
// Serial days from 1899-12-30, as the date values of scripts.
QDateTime fromSerial(double serial)
{
    const QDateTime base(QDate(1899, 12, 30), QTime(0, 0));
    return base.addMSecs(qint64(std::llround(serial * 86400000.0)));
}
double toSerial(const QDateTime &dt)
{
    const QDateTime base(QDate(1899, 12, 30), QTime(0, 0));
    return base.msecsTo(dt) / 86400000.0;
}
}  // namespace

QString TlyrDateTimeProperty::GetValue() const
{
    const double v = GetFloatValue();
    return v == 0 ? QString() : fromSerial(v).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

void TlyrDateTimeProperty::SetValue(const QString &value)
{
    if (value.trimmed().isEmpty()) {
        SetFloatValue(0);
        return;
    }
    for (const char *f : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd", "HH:mm:ss"}) {
        QDateTime dt = QDateTime::fromString(value.trimmed(), QLatin1String(f));
        if (!dt.isValid() && QLatin1String(f) == QLatin1String("HH:mm:ss")) {
            const QTime t = QTime::fromString(value.trimmed(), QLatin1String(f));
            if (t.isValid()) dt = QDateTime(QDate(1899, 12, 30), t);
        }
        if (dt.isValid()) {
            SetFloatValue(toSerial(dt));
            return;
        }
    }
    throw ElyrError(QStringLiteral("'%1' is not a valid date and time").arg(value));
}

QString TlyrDateProperty::GetValue() const
{
    return fromSerial(GetFloatValue()).date().toString(QStringLiteral("yyyy-MM-dd"));
}

QString TlyrTimeProperty::GetValue() const
{
    return fromSerial(GetFloatValue()).time().toString(QStringLiteral("HH:mm:ss"));
}

void TlyrPropertyEditorCollection::Register(const QString &propertyType, const QMetaObject *componentClass,
                                            const QString &propertyName, const QMetaObject *editorClass)
{
    items_ << TlyrPropertyEditorItem{propertyType, componentClass, propertyName, editorClass};
}

std::unique_ptr<TlyrPropertyEditor>
TlyrPropertyEditorCollection::CreateEditor(QObject *component, const QString &propertyName, QObject *designer) const
{
    const KsPropInfo *p = propertyOf(component, propertyName);
    if (!p) return nullptr;
    for (int i = items_.size() - 1; i >= 0; --i) {
        const TlyrPropertyEditorItem &item = items_[i];
        if (item.PropertyType.compare(p->TypeName, Qt::CaseInsensitive) != 0) continue;
        if (item.ComponentClass && !inherits(component->metaObject(), item.ComponentClass)) continue;
        if (!item.PropertyName.isEmpty() && item.PropertyName.compare(p->Name, Qt::CaseInsensitive) != 0) continue;
        auto *e = qobject_cast<TlyrPropertyEditor *>(item.EditorClass->newInstance(Q_ARG(QObject *, designer)));
        if (!e) return nullptr;
        e->Components << component;
        e->PropertyName = p->Name;
        return std::unique_ptr<TlyrPropertyEditor>(e);
    }
    return nullptr;
}

TlyrPropertyEditorCollection &lyrPropertyEditors()
{
    static TlyrPropertyEditorCollection editors = [] {
        TlyrPropertyEditorCollection c;
        c.Register(QStringLiteral("TComponentName"), nullptr, QStringLiteral("Name"),
                   &TlyrNameProperty::staticMetaObject);
        c.Register(QStringLiteral("TColor"), nullptr, QString(), &TlyrColorProperty::staticMetaObject);
        c.Register(QStringLiteral("TFont"), nullptr, QString(), &TlyrFontProperty::staticMetaObject);
        c.Register(QStringLiteral("String"), &TlyrFont::staticMetaObject, QStringLiteral("Name"),
                   &TlyrFontNameProperty::staticMetaObject);
        c.Register(QStringLiteral("Integer"), &TlyrFont::staticMetaObject, QStringLiteral("Charset"),
                   &TlyrFontCharsetProperty::staticMetaObject);
        c.Register(QStringLiteral("TModalResult"), nullptr, QString(), &TlyrModalResultProperty::staticMetaObject);
        c.Register(QStringLiteral("TShortCut"), nullptr, QString(), &TlyrShortCutProperty::staticMetaObject);
        c.Register(QStringLiteral("TCursor"), nullptr, QString(), &TlyrCursorProperty::staticMetaObject);
        c.Register(QStringLiteral("TDateTime"), nullptr, QString(), &TlyrDateTimeProperty::staticMetaObject);
        c.Register(QStringLiteral("TDate"), nullptr, QString(), &TlyrDateProperty::staticMetaObject);
        c.Register(QStringLiteral("TTime"), nullptr, QString(), &TlyrTimeProperty::staticMetaObject);
        return c;
    }();
    return editors;
}

// ---------------------------------------------------------------- export filters

void TlyrExportFilterCollection::Add(TlyrExportFilter *filter)
{
    if (filter) items_ << TlyrExportFilterItem{filter};
}

void TlyrExportFilterCollection::Remove(TlyrExportFilter *filter)
{
    items_.removeIf([filter](const TlyrExportFilterItem &i) { return i.Filter == filter; });
}

TlyrExportFilterCollection &lyrExportFilters()
{
    static TlyrExportFilterCollection filters;
    return filters;
}
