#include "report/lyrclassrtti.h"

#include "platform/image/jpeg.h"
#include "platform/safefile.h"
#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrcontracts.h"
#include "report/lyrdbset.h"
#include "report/lyrdialogpage.h"
#include "report/lyrdmpclass.h"
#include "report/lyrdrawtext.h"
#include "report/lyrframe.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "report/lyrunicodeutils.h"
#include "report/lyrview.h"
#include "script/ks_ibind.h"
#include "script/ks_iclassesrtti.h"

#include <QBuffer>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>

using namespace ksbind;

namespace {

const char *const kScriptClass = "_ksclass";

void nameClass(QObject *o, const char *scriptClass)
{
    o->setProperty(kScriptClass, QString::fromLatin1(scriptClass));
}

// The wide string list's own rules for text, files and streams.
TWideStrings wide(const QStringList &lines)
{
    TWideStrings w;
    w.Assign(lines);
    return w;
}

QStringList listOf(const TWideStrings &w)
{
    QStringList l;
    w.AssignTo(l);
    return l;
}

QStringList splitText(const QString &text)
{
    TWideStrings w;
    w.SetText(text);
    return listOf(w);
}

QString joinText(const QStringList &lines)
{
    return wide(lines).Text();
}

}  // namespace

int lyrRoundHalfEven(double v)
{
    const double r = std::round(v);
    // A tie goes to the even neighbour.
    if (std::fabs(v - std::trunc(v)) == 0.5) return int(2 * std::round(v / 2));
    return int(r);
}

// ---------------------------------------------------------------- handles

TlyrLinesHandle::TlyrLinesHandle(QObject *owner, const QByteArray &property)
    : TPersistent(owner), owner_(owner), property_(property)
{
    nameClass(this, "TWideStrings");
}

TlyrLinesHandle *TlyrLinesHandle::Of(TlyrCustomMemoView *memo)
{
    return memo ? Of(memo, "") : nullptr;
}

TlyrLinesHandle *TlyrLinesHandle::Of(QObject *owner, const char *property)
{
    if (!owner) return nullptr;
    for (auto *h : owner->findChildren<TlyrLinesHandle *>(QString(), Qt::FindDirectChildrenOnly))
        if (h->property_ == property) return h;
    return new TlyrLinesHandle(owner, property);
}

QObject *TlyrLinesHandle::Owner() const
{
    if (!owner_) Raise(QStringLiteral("EInvalidOperation"), QStringLiteral("The object of these lines was freed"));
    return owner_.data();
}

QStringList TlyrLinesHandle::Lines() const
{
    QObject *o = Owner();
    if (property_.isEmpty()) return static_cast<TlyrCustomMemoView *>(o)->Memo();
    return o->property(property_.constData()).toStringList();
}

QList<QPointer<QObject>> &TlyrLinesHandle::objects()
{
    // Lines changed elsewhere keep the objects of the lines still there.
    const qsizetype n = Lines().size();
    if (objects_.size() > n) objects_.resize(n);
    while (objects_.size() < n) objects_.append(nullptr);
    return objects_;
}

void TlyrLinesHandle::SetLines(const QStringList &lines)
{
    // All lines anew: they count towards the run's memory.
    ksChargeRun(checkedChars(lines) * 2 + lines.size() * ksListItemBytes);
    store(lines);
}

qint64 TlyrLinesHandle::checkedChars(const QStringList &lines)
{
    // A script's lines stay within the engine's bound for a list.
    qint64 chars = 0;
    for (const QString &line : lines) chars += line.size();
    ksCheckListSize(lines.size(), chars);
    return chars;
}

void TlyrLinesHandle::store(const QStringList &lines)
{
    QObject *o = Owner();
    if (property_.isEmpty())
        static_cast<TlyrCustomMemoView *>(o)->SetMemo(lines);
    else
        o->setProperty(property_.constData(), lines);
    objects_.clear();
}

QObject *TlyrLinesHandle::LineObject(int i)
{
    return objects().at(i).data();
}

void TlyrLinesHandle::SetLineObject(int i, QObject *o)
{
    objects()[i] = o;
}

int TlyrLinesHandle::Insert(int i, const QString &s, QObject *o)
{
    edit([&](QStringList &l, QList<QPointer<QObject>> &kept) {
        l.insert(i, s);
        kept.insert(i, o);
    });
    return i;
}

void TlyrLinesHandle::Put(int i, const QString &s)
{
    edit([&](QStringList &l, QList<QPointer<QObject>> &) { l[i] = s; });
}

void TlyrLinesHandle::Delete(int i)
{
    edit([&](QStringList &l, QList<QPointer<QObject>> &kept) {
        l.removeAt(i);
        kept.removeAt(i);
    });
}

void TlyrLinesHandle::edit(const std::function<void(QStringList &, QList<QPointer<QObject>> &)> &change)
{
    QList<QPointer<QObject>> kept = objects();
    QStringList l = Lines();
    change(l, kept);
    checkedChars(l);
    store(l);
    objects_ = kept;
}

bool TlyrLinesHandle::AssignFrom(QObject *source)
{
    if (auto *other = qobject_cast<TlyrLinesHandle *>(source)) {
        const QStringList lines = other->Lines();
        QList<QPointer<QObject>> kept = other->objects();
        SetLines(lines);
        objects_ = kept;
        return true;
    }
    if (auto *strings = qobject_cast<TStrings *>(source)) {
        SetLines(strings->ToList());
        return true;
    }
    return false;
}

TlyrPictureHandle::TlyrPictureHandle(TlyrPictureView *view) : TPersistent(view), view_(view)
{
    nameClass(this, "TlyrPicture");
}

TlyrPictureHandle *TlyrPictureHandle::Of(TlyrPictureView *view)
{
    if (!view) return nullptr;
    if (auto *h = view->findChild<TlyrPictureHandle *>(QString(), Qt::FindDirectChildrenOnly)) return h;
    return new TlyrPictureHandle(view);
}

TlyrPictureView *TlyrPictureHandle::View() const
{
    if (!view_) Raise(QStringLiteral("EInvalidOperation"), QStringLiteral("The object of this picture was freed"));
    return view_.data();
}

bool TlyrPictureHandle::AssignFrom(QObject *source)
{
    TlyrPictureView *view = View();
    if (!source) {
        view->ClearPicture();
        return true;
    }
    if (auto *other = qobject_cast<TlyrPictureHandle *>(source)) {
        const QByteArray data = other->View()->PictureData();
        if (data.isEmpty())
            view->ClearPicture();
        else
            view->LoadPictureFromStream(data);
        return true;
    }
    const QImage *image = nullptr;
    if (auto *picture = qobject_cast<TPicture *>(source)) image = &picture->Bitmap()->Image();
    if (auto *graphic = qobject_cast<TGraphic *>(source)) image = &graphic->Image();
    if (!image) return false;
    if (image->isNull()) {
        view->ClearPicture();
        return true;
    }
    QByteArray png;
    QBuffer b(&png);
    b.open(QIODevice::WriteOnly);
    image->save(&b, "PNG");
    view->LoadPictureFromStream(png);
    return true;
}

TlyrVariableHandle::TlyrVariableHandle(TlyrVariablesHandle *list, TlyrVariable *item)
    : TPersistent(list), list_(list), item_(item)
{
    nameClass(this, "TlyrVariable");
}

TlyrVariableHandle *TlyrVariableHandle::Of(TlyrVariablesHandle *list, int index)
{
    TlyrVariables *vars = list->Variables();
    if (index < 0 || index >= vars->Count())
        Raise(QStringLiteral("EListError"), QStringLiteral("List index out of bounds (%1)").arg(index));
    TlyrVariable *item = vars->Items(index);
    for (auto *h : list->findChildren<TlyrVariableHandle *>(QString(), Qt::FindDirectChildrenOnly))
        if (h->item_ == item) return h;
    return new TlyrVariableHandle(list, item);
}

bool TlyrVariableHandle::AssignFrom(QObject *source)
{
    auto *other = qobject_cast<TlyrVariableHandle *>(source);
    if (!other) return false;
    Item()->Assign(*other->Item());
    return true;
}

TlyrVariable *TlyrVariableHandle::Item() const
{
    // The item may have been deleted from its collection since.
    if (list_) {
        TlyrVariables *vars = list_->Variables();
        for (int i = 0; i < vars->Count(); ++i)
            if (vars->Items(i) == item_) return item_;
    }
    Raise(QStringLiteral("EInvalidOperation"), QStringLiteral("The variable was deleted from its list"));
}

TlyrVariablesHandle::TlyrVariablesHandle(TlyrVariables *shared, QObject *parent, bool isArray)
    : TPersistent(parent), vars_(shared), isArray_(isArray)
{
    nameClass(this, isArray ? "TlyrArray" : "TlyrVariables");
}

TlyrVariablesHandle::TlyrVariablesHandle(bool isArray, QObject *parent)
    : TPersistent(parent),
      own_(isArray ? std::unique_ptr<TlyrVariables>(new TlyrArray) : std::make_unique<TlyrVariables>()),
      vars_(own_.get()), isArray_(isArray)
{
    nameClass(this, isArray ? "TlyrArray" : "TlyrVariables");
}

TlyrVariablesHandle *TlyrVariablesHandle::Of(QObject *owner, TlyrVariables *vars)
{
    for (auto *h : owner->findChildren<TlyrVariablesHandle *>(QString(), Qt::FindDirectChildrenOnly))
        if (h->vars_ == vars) return h;
    return new TlyrVariablesHandle(vars, owner);
}

TlyrVariablesHandle *TlyrVariablesHandle::Global()
{
    // Lives as long as the program-wide collection.
    static auto *global = new TlyrVariablesHandle(&lyrGlobalVariables(), nullptr);
    return global;
}

TlyrStylesHandle::TlyrStylesHandle(TlyrReport *report) : QObject(report), report_(report)
{
    nameClass(this, "TlyrStyles");
}

TlyrStylesHandle *TlyrStylesHandle::Of(TlyrReport *report)
{
    if (auto *h = report->findChild<TlyrStylesHandle *>(QString(), Qt::FindDirectChildrenOnly)) return h;
    return new TlyrStylesHandle(report);
}

TlyrStyles *TlyrStylesHandle::Styles() const
{
    if (!report_) Raise(QStringLiteral("EInvalidOperation"), QStringLiteral("The report of these styles was freed"));
    return report_->Styles();
}

TlyrDataSetsHandle::TlyrDataSetsHandle(TlyrReport *report) : QObject(report), report_(report)
{
    nameClass(this, "TlyrReportDataSets");
}

TlyrDataSetsHandle *TlyrDataSetsHandle::Of(TlyrReport *report)
{
    if (auto *h = report->findChild<TlyrDataSetsHandle *>(QString(), Qt::FindDirectChildrenOnly)) return h;
    return new TlyrDataSetsHandle(report);
}

TlyrReportDataSets *TlyrDataSetsHandle::DataSets() const
{
    if (!report_) Raise(QStringLiteral("EInvalidOperation"), QStringLiteral("The report of these datasets was freed"));
    return report_->Datasets();
}

void TJPEGImage::SetCompressionQuality(int v)
{
    quality_ = std::clamp(v, 1, 100);
}

QByteArray TJPEGImage::Encode(const QImage &image, int quality)
{
    // JPEG has no alpha: transparent parts become white, as on paper.
    QImage flat(image.size(), QImage::Format_RGB32);
    if (flat.isNull()) return {};
    flat.fill(Qt::white);
    if (!image.isNull()) QPainter(&flat).drawImage(0, 0, image);
    return vplatform::encodeJpeg(flat, quality);
}

QByteArray TJPEGImage::SaveToBytes() const
{
    if (FImage.isNull()) return {};
    const QByteArray bytes = Encode(FImage, quality_);
    if (bytes.isEmpty()) Raise(QStringLiteral("EInvalidGraphic"), QStringLiteral("Cannot write the picture as JPEG"));
    return bytes;
}

void TJPEGImage::SaveToFile(const QString &fileName) const
{
    const QByteArray bytes = SaveToBytes();
    QString error;
    if (!vplatform::saveFileSafely(fileName, bytes, &error)) Raise(QStringLiteral("EFCreateError"), error);
}

// ---------------------------------------------------------------- the module

namespace {

// Encoded first in the format the name's extension names (BMP when it names
// none the program writes), then saved as every file is: whole beside the
// target and renamed, the old file kept when anything fails.
void savePicture(const QImage &picture, const QString &fileName)
{
    const QByteArray suffix = QFileInfo(fileName).suffix().toLower().toLatin1();
    QByteArray bytes;
    if (suffix == "jpg" || suffix == "jpeg") {
        bytes = TJPEGImage::Encode(picture);
    } else {
        const QByteArray format =
                !suffix.isEmpty() && QImageWriter::supportedImageFormats().contains(suffix) ? suffix : "bmp";
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter w(&buffer, format);
        if (!w.write(picture)) bytes.clear();
    }
    if (bytes.isEmpty())
        Raise(QStringLiteral("EFCreateError"), QStringLiteral("无法保存图片 %1：图片无法按该格式写出").arg(fileName));
    QString error;
    if (!vplatform::saveFileSafely(fileName, bytes, &error)) Raise(QStringLiteral("EFCreateError"), error);
}

}  // namespace

namespace {

// The list Objects or AllObjects reads: one per object and property, refilled
// on each read (a new list per read would pile up under the object).
TList *refilledList(TlyrComponent *o, const char *which, const QList<TlyrComponent *> &items)
{
    TList *list = nullptr;
    for (TList *l : o->findChildren<TList *>(QString(), Qt::FindDirectChildrenOnly))
        if (l->property("lyrListOf").toByteArray() == which) list = l;
    if (!list) {
        list = new TList(o);
        list->setProperty("lyrListOf", QByteArray(which));
        MarkScriptCreated(list);
    }
    list->Clear();
    for (TlyrComponent *child : items) list->Add(Obj(child));
    return list;
}

KsValue none()
{
    return KsValue(0);
}

KsValue fromVariant(const QVariant &v)
{
    return v.isValid() ? ksFromQVariant(v) : KsValue::Null();
}

QVariant toVariant(const KsValue &v)
{
    return v.IsNull() || v.IsEmpty() ? QVariant() : ksToQVariant(v, QMetaType::UnknownType);
}

// Enumerations take the object model's values, so a name a script assigns
// is the value the property means.
void addEnum(TksScript *s, const QString &typeName, std::initializer_list<std::pair<const char *, qint64>> values)
{
    if (!s->Find(typeName)) s->Add(typeName, new TksVariable(typeName, tcEnum, typeName));
    for (const auto &[name, value] : values) {
        const QString n = QLatin1String(name);
        if (s->Find(n)) continue;
        auto *v = new TksVariable(n, tcEnum, typeName);
        v->Value = KsValue::FromInt(value);
        v->ReadOnly = true;
        s->Add(n, v);
    }
}

void addConstants(TksScript *s)
{
    s->AddConst(QStringLiteral("ly01cm"), QStringLiteral("Extended"), KsValue(3.77953));
    s->AddConst(QStringLiteral("ly1cm"), QStringLiteral("Extended"), KsValue(37.7953));
    s->AddConst(QStringLiteral("ly01in"), QStringLiteral("Extended"), KsValue(9.6));
    s->AddConst(QStringLiteral("ly1in"), QStringLiteral("Extended"), KsValue(96));
    s->AddConst(QStringLiteral("ly1CharX"), QStringLiteral("Extended"), KsValue(9.6));
    s->AddConst(QStringLiteral("ly1CharY"), QStringLiteral("Extended"), KsValue(17));
    s->AddConst(QStringLiteral("clTransparent"), QStringLiteral("Integer"), KsValue(clNone));
    s->AddConst(QStringLiteral("crHand"), QStringLiteral("Integer"), KsValue(150));
    s->AddConst(QStringLiteral("crZoom"), QStringLiteral("Integer"), KsValue(151));
    s->AddConst(QStringLiteral("crFormat"), QStringLiteral("Integer"), KsValue(152));
}

void addEnums(TksScript *s)
{
    addEnum(s, QStringLiteral("TlyrStretchMode"),
            {{"smDontStretch", smDontStretch}, {"smActualHeight", smActualHeight}, {"smMaxHeight", smMaxHeight}});
    addEnum(s, QStringLiteral("TlyrShiftMode"),
            {{"smDontShift", smDontShift}, {"smAlways", smAlways}, {"smWhenOverlapped", smWhenOverlapped}});
    addEnum(s, QStringLiteral("TlyrDuplexMode"),
            {{"dmNone", dmNone}, {"dmVertical", dmVertical}, {"dmHorizontal", dmHorizontal}, {"dmSimplex", dmSimplex}});
    addEnum(s, QStringLiteral("TlyrAlign"),
            {{"baNone", baNone},
             {"baLeft", baLeft},
             {"baRight", baRight},
             {"baCenter", baCenter},
             {"baWidth", baWidth},
             {"baBottom", baBottom},
             {"baClient", baClient}});
    addEnum(s, QStringLiteral("TlyrFrameStyle"),
            {{"fsSolid", fsSolid},
             {"fsDash", fsDash},
             {"fsDot", fsDot},
             {"fsDashDot", fsDashDot},
             {"fsDashDotDot", fsDashDotDot},
             {"fsDouble", fsDouble}});
    addEnum(s, QStringLiteral("TlyrFrameTypes"),
            {{"ftLeft", ftLeft}, {"ftRight", ftRight}, {"ftTop", ftTop}, {"ftBottom", ftBottom}});
    addEnum(s, QStringLiteral("TlyrHAlign"),
            {{"haLeft", haLeft}, {"haRight", haRight}, {"haCenter", haCenter}, {"haBlock", haBlock}});
    addEnum(s, QStringLiteral("TlyrVAlign"), {{"vaTop", vaTop}, {"vaBottom", vaBottom}, {"vaCenter", vaCenter}});
    addEnum(s, QStringLiteral("TlyrRestrictions"),
            {{"rfDontModify", rfDontModify},
             {"rfDontSize", rfDontSize},
             {"rfDontMove", rfDontMove},
             {"rfDontDelete", rfDontDelete},
             {"rfDontEdit", rfDontEdit}});
    addEnum(s, QStringLiteral("TlyrShapeKind"),
            {{"skRectangle", skRectangle},
             {"skRoundRectangle", skRoundRectangle},
             {"skEllipse", skEllipse},
             {"skTriangle", skTriangle},
             {"skDiamond", skDiamond},
             {"skDiagonal1", skDiagonal1},
             {"skDiagonal2", skDiagonal2}});
    using PO = TlyrPreviewOptions;
    // The outline button is the tree button; there is no refresh button.
    addEnum(s, QStringLiteral("TlyrPreviewButtons"),
            {{"pbPrint", PO::pbPrint},
             {"pbLoad", PO::pbLoad},
             {"pbSave", PO::pbSave},
             {"pbExport", PO::pbExport},
             {"pbZoom", PO::pbZoom},
             {"pbFind", PO::pbFind},
             {"pbTree", PO::pbOutline},
             {"pbPageSetup", PO::pbPageSetup},
             {"pbRefresh", 0},
             {"pbTools", PO::pbTools},
             {"pbEdit", PO::pbEdit},
             {"pbNavigator", PO::pbNavigator},
             {"pbExportQuick", PO::pbExportQuick}});
    addEnum(s, QStringLiteral("TlyrZoomMode"),
            {{"zmDefault", PO::zmDefault},
             {"zmWholePage", PO::zmWholePage},
             {"zmPageWidth", PO::zmPageWidth},
             {"zmManyPages", PO::zmManyPages}});
    addEnum(s, QStringLiteral("TlyrPrintPages"),
            {{"ppAll", TlyrPrintOptions::ppAll},
             {"ppOdd", TlyrPrintOptions::ppOdd},
             {"ppEven", TlyrPrintOptions::ppEven}});
    addEnum(s, QStringLiteral("TlyrDMPFontStyles"),
            {{"fsxBold", 1},
             {"fsxItalic", 2},
             {"fsxUnderline", 4},
             {"fsxSuperScript", 8},
             {"fsxSubScript", 16},
             {"fsxCondensed", 32},
             {"fsxWide", 64},
             {"fsx12cpi", 128},
             {"fsx15cpi", 256}});
    addEnum(s, QStringLiteral("TlyrRangeBegin"),
            {{"rbFirst", TlyrDataSet::rbFirst}, {"rbCurrent", TlyrDataSet::rbCurrent}});
    addEnum(s, QStringLiteral("TlyrRangeEnd"),
            {{"reLast", TlyrDataSet::reLast},
             {"reCurrent", TlyrDataSet::reCurrent},
             {"reCount", TlyrDataSet::reCount}});
    addEnum(s, QStringLiteral("TlyrFieldType"),
            {{"fftNumeric", TlyrDataSet::ftNumeric},
             {"fftString", TlyrDataSet::ftString},
             {"fftBoolean", TlyrDataSet::ftBoolean}});
    addEnum(s, QStringLiteral("TlyrFormatKind"),
            {{"fkText", fkText}, {"fkNumeric", fkNumeric}, {"fkDateTime", fkDateTime}, {"fkBoolean", fkBoolean}});
}

// A script stream (argument 0) read from its position to its end, or
// written at its position.
void fromStream(TksMethodHelper *h, const std::function<void(QIODevice &)> &read)
{
    auto *stream = ObjArgAs<TStream>(h, 0, ksClassesInfo().Stream);
    QBuffer b;
    b.setData(stream->ReadAll());
    b.open(QIODevice::ReadOnly);
    read(b);
}

void toStream(TksMethodHelper *h, const std::function<void(QIODevice &)> &write)
{
    auto *stream = ObjArgAs<TStream>(h, 0, ksClassesInfo().Stream);
    QBuffer b;
    b.open(QIODevice::WriteOnly);
    write(b);
    stream->WriteAll(b.data());
}

// The class variable of a registered class, or none when the class is not
// part of this program (yet) or already on the script.
TksClassVariable *addClass(TksScript *s, const char *name, const char *ancestor)
{
    const KsClassInfo *cls = ksFindClassInfo(QLatin1String(name));
    return cls ? s->AddClass(cls, QLatin1String(ancestor)) : nullptr;
}

const KsClassInfo *plainClass(const char *name, const char *ancestor, std::function<QObject *(QObject *)> make = {})
{
    return ksRegisterPlainClass(QLatin1String(name), ksFindClassInfo(QLatin1String(ancestor)), std::move(make));
}

void bindLines(TksScript *s)
{
    Binder<TlyrLinesHandle> b(s->AddClass(plainClass("TWideStrings", "TPersistent"), QStringLiteral("TPersistent")));
    auto checkIndex = [](TlyrLinesHandle *t, int i, int extra = 0) {
        if (i < 0 || i >= t->Lines().size() + extra)
            Raise(QStringLiteral("EStringListError"), QStringLiteral("List index out of bounds (%1)").arg(i));
    };
    b.Method(QStringLiteral("function Add(const S: string): Integer"),
             [](TlyrLinesHandle *t, TksMethodHelper *h) {
                 return KsValue(t->Insert(int(t->Lines().size()), StrArg(h, 0)));
             })
            .Method(QStringLiteral("function AddObject(const S: string; AObject: TObject): Integer"),
                    [](TlyrLinesHandle *t, TksMethodHelper *h) {
                        QObject *o = ObjArg(h, 1, nullptr, true);
                        return KsValue(t->Insert(int(t->Lines().size()), StrArg(h, 0), o));
                    })
            .Method(QStringLiteral("procedure Clear"),
                    [](TlyrLinesHandle *t, TksMethodHelper *) {
                        t->SetLines({});
                        return none();
                    })
            .Method(QStringLiteral("procedure Delete(Index: Integer)"),
                    [checkIndex](TlyrLinesHandle *t, TksMethodHelper *h) {
                        checkIndex(t, IntArg(h, 0));
                        t->Delete(IntArg(h, 0));
                        return none();
                    })
            .Method(QStringLiteral("function IndexOf(const S: string): Integer"),
                    [](TlyrLinesHandle *t, TksMethodHelper *h) {
                        return KsValue(int(wide(t->Lines()).IndexOf(StrArg(h, 0))));
                    })
            .Method(QStringLiteral("procedure Insert(Index: Integer; const S: string)"),
                    [checkIndex](TlyrLinesHandle *t, TksMethodHelper *h) {
                        checkIndex(t, IntArg(h, 0), 1);
                        t->Insert(IntArg(h, 0), StrArg(h, 1));
                        return none();
                    })
            .Method(QStringLiteral("procedure LoadFromFile(const FileName: string)"),
                    [](TlyrLinesHandle *t, TksMethodHelper *h) {
                        TWideStrings w;
                        w.LoadFromFile(StrArg(h, 0));
                        t->SetLines(listOf(w));
                        return none();
                    })
            .Method(QStringLiteral("procedure SaveToFile(const FileName: string)"),
                    [](TlyrLinesHandle *t, TksMethodHelper *h) {
                        wide(t->Lines()).SaveToFile(StrArg(h, 0));
                        return none();
                    })
            .Method(QStringLiteral("procedure LoadFromStream(Stream: TStream)"),
                    [](TlyrLinesHandle *t, TksMethodHelper *h) {
                        TWideStrings w;
                        fromStream(h, [&](QIODevice &d) { w.LoadFromStream(d); });
                        t->SetLines(listOf(w));
                        return none();
                    })
            .Method(QStringLiteral("procedure SaveToStream(Stream: TStream)"),
                    [](TlyrLinesHandle *t, TksMethodHelper *h) {
                        toStream(h, [&](QIODevice &d) { wide(t->Lines()).SaveToStream(d); });
                        return none();
                    })
            .Property(QStringLiteral("Count"), QStringLiteral("Integer"),
                      [](TlyrLinesHandle *t) { return KsValue(int(t->Lines().size())); })
            .Property(
                    QStringLiteral("Text"), QStringLiteral("String"),
                    [](TlyrLinesHandle *t) { return KsValue(joinText(t->Lines())); },
                    [](TlyrLinesHandle *t, const KsValue &v) { t->SetLines(splitText(v.ToText())); })
            .Indexed(
                    QStringLiteral("Objects"), QStringLiteral("Integer"), QStringLiteral("TObject"),
                    [checkIndex](TlyrLinesHandle *t, TksMethodHelper *h) {
                        checkIndex(t, IntArg(h, 0));
                        return Obj(t->LineObject(IntArg(h, 0)));
                    },
                    [checkIndex](TlyrLinesHandle *t, TksMethodHelper *h, const KsValue &v) {
                        checkIndex(t, IntArg(h, 0));
                        QObject *o = nullptr;
                        if (!(v.IsIntegral() && v.ToInt64() == 0)) {
                            if (!v.IsObject())
                                Raise(QStringLiteral("EInvalidArgument"),
                                      QStringLiteral("Objects: an object is needed, not a value of type %1")
                                              .arg(v.KindName()));
                            o = v.ToObject();
                        }
                        t->SetLineObject(IntArg(h, 0), o);
                    })
            .Indexed(
                    QStringLiteral("Strings"), QStringLiteral("Integer"), QStringLiteral("String"),
                    [checkIndex](TlyrLinesHandle *t, TksMethodHelper *h) {
                        checkIndex(t, IntArg(h, 0));
                        return KsValue(t->Lines().at(IntArg(h, 0)));
                    },
                    [checkIndex](TlyrLinesHandle *t, TksMethodHelper *h, const KsValue &v) {
                        checkIndex(t, IntArg(h, 0));
                        t->Put(IntArg(h, 0), v.ToText());
                    },
                    true);
}

void bindVariables(TksScript *s, const char *name, bool isArray)
{
    Binder<TlyrVariablesHandle> b(s->AddClass(
            plainClass(name, "TCollection",
                       [isArray](QObject *owner) -> QObject * { return new TlyrVariablesHandle(isArray, owner); }),
            QStringLiteral("TCollection")));
    b.Constructor(QStringLiteral("constructor Create"), [](TlyrVariablesHandle *, TksMethodHelper *) { return none(); })
            .Method(QStringLiteral("procedure Clear"),
                    [](TlyrVariablesHandle *v, TksMethodHelper *) {
                        v->Variables()->Clear();
                        return none();
                    })
            .Property(QStringLiteral("Count"), QStringLiteral("Integer"),
                      [](TlyrVariablesHandle *v) { return KsValue(v->Variables()->Count()); })
            .Indexed(QStringLiteral("Items"), QStringLiteral("Integer"), QStringLiteral("TlyrVariable"),
                     [](TlyrVariablesHandle *v, TksMethodHelper *h) {
                         return Obj(TlyrVariableHandle::Of(v, IntArg(h, 0)));
                     })
            .Indexed(
                    QStringLiteral("Variables"), isArray ? QStringLiteral("Variant") : QStringLiteral("String"),
                    QStringLiteral("Variant"),
                    [](TlyrVariablesHandle *v, TksMethodHelper *h) {
                        return fromVariant(v->Variables()->Variables(h->GetParam(0).ToText()));
                    },
                    [](TlyrVariablesHandle *v, TksMethodHelper *h, const KsValue &value) {
                        v->Variables()->SetVariable(h->GetParam(0).ToText(), toVariant(value));
                    },
                    true);
}

void bindStylesAndDataSets(TksScript *s)
{
    Binder<TlyrStylesHandle> st(s->AddClass(plainClass("TlyrStyles", "TPersistent"), QStringLiteral("TPersistent")));
    st.Property(QStringLiteral("Count"), QStringLiteral("Integer"),
                [](TlyrStylesHandle *h) { return KsValue(h->Styles()->Count()); })
            .Indexed(QStringLiteral("Names"), QStringLiteral("Integer"), QStringLiteral("String"),
                     [](TlyrStylesHandle *t, TksMethodHelper *h) {
                         const int i = IntArg(h, 0);
                         if (i < 0 || i >= t->Styles()->Count())
                             Raise(QStringLiteral("EListError"),
                                   QStringLiteral("List index out of bounds (%1)").arg(i));
                         return KsValue(t->Styles()->Items(i)->Name);
                     })
            .Method(QStringLiteral("function IndexOf(const Name: String): Integer"),
                    [](TlyrStylesHandle *t, TksMethodHelper *h) {
                        TlyrStyleItem *item = t->Styles()->Find(StrArg(h, 0));
                        for (int i = 0; item && i < t->Styles()->Count(); ++i)
                            if (t->Styles()->Items(i) == item) return KsValue(i);
                        return KsValue(-1);
                    });

    Binder<TlyrDataSetsHandle> ds(
            s->AddClass(plainClass("TlyrReportDataSets", "TPersistent"), QStringLiteral("TPersistent")));
    ds.Property(QStringLiteral("Count"), QStringLiteral("Integer"),
                [](TlyrDataSetsHandle *h) { return KsValue(h->DataSets()->Count()); })
            .Indexed(
                    QStringLiteral("Items"), QStringLiteral("Integer"), QStringLiteral("TlyrDataSet"),
                    [](TlyrDataSetsHandle *t, TksMethodHelper *h) {
                        const int i = IntArg(h, 0);
                        if (i < 0 || i >= t->DataSets()->Count())
                            Raise(QStringLiteral("EListError"), QStringLiteral("List index out of bounds (%1)").arg(i));
                        return Obj(t->DataSets()->Items(i)->DataSet());
                    },
                    {}, true)
            .Method(QStringLiteral("function Find(const Name: String): TlyrDataSet"),
                    [](TlyrDataSetsHandle *t, TksMethodHelper *h) {
                        TlyrDataSetItem *item = t->DataSets()->Find(StrArg(h, 0));
                        return Obj(item ? item->DataSet() : nullptr);
                    });
}

void bindDataSet(TksClassVariable *c)
{
    Binder<TlyrDataSet> b(c);
    auto proc = [](void (TlyrDataSet::*op)()) {
        return [op](TlyrDataSet *d, TksMethodHelper *) {
            (d->*op)();
            return none();
        };
    };
    b.Method(QStringLiteral("procedure Open"), proc(&TlyrDataSet::Open))
            .Method(QStringLiteral("procedure Close"), proc(&TlyrDataSet::Close))
            .Method(QStringLiteral("procedure First"), proc(&TlyrDataSet::First))
            .Method(QStringLiteral("procedure Next"), proc(&TlyrDataSet::Next))
            .Method(QStringLiteral("procedure Prior"), proc(&TlyrDataSet::Prior))
            .Method(QStringLiteral("function Eof: Boolean"),
                    [](TlyrDataSet *d, TksMethodHelper *) { return KsValue(d->Eof()); })
            .Method(QStringLiteral("function FieldsCount: Integer"),
                    [](TlyrDataSet *d, TksMethodHelper *) { return KsValue(d->FieldsCount()); })
            .Method(QStringLiteral("function RecordCount: Integer"),
                    [](TlyrDataSet *d, TksMethodHelper *) { return KsValue(d->RecordCount()); })
            .Method(QStringLiteral("function HasField(const fName: String): Boolean"),
                    [](TlyrDataSet *d, TksMethodHelper *h) {
                        QStringList fields;
                        d->GetFieldList(fields);
                        return KsValue(fields.contains(StrArg(h, 0), Qt::CaseInsensitive));
                    })
            .Method(QStringLiteral("function IsBlobField(const fName: String): Boolean"),
                    [](TlyrDataSet *d, TksMethodHelper *h) { return KsValue(d->IsBlobField(StrArg(h, 0))); })
            .Method(QStringLiteral("procedure GetFieldList(List: TStrings)"),
                    [](TlyrDataSet *d, TksMethodHelper *h) {
                        auto *list = ObjArgAs<TStrings>(h, 0, ksClassesInfo().Strings);
                        QStringList fields;
                        d->GetFieldList(fields);
                        list->Clear();
                        for (const QString &f : fields) list->Add(f);
                        return none();
                    })
            .Property(QStringLiteral("RecNo"), QStringLiteral("Integer"),
                      [](TlyrDataSet *d) { return KsValue(d->RecNo()); })
            .Indexed(QStringLiteral("DisplayText"), QStringLiteral("String"), QStringLiteral("String"),
                     [](TlyrDataSet *d, TksMethodHelper *h) { return KsValue(d->GetDisplayText(StrArg(h, 0))); })
            .Indexed(QStringLiteral("DisplayWidth"), QStringLiteral("String"), QStringLiteral("Integer"),
                     [](TlyrDataSet *d, TksMethodHelper *h) { return KsValue(d->GetDisplayWidth(StrArg(h, 0))); })
            .Indexed(QStringLiteral("FieldType"), QStringLiteral("String"), QStringLiteral("TlyrFieldType"),
                     [](TlyrDataSet *d, TksMethodHelper *h) { return KsValue(d->GetFieldType(StrArg(h, 0))); })
            .Indexed(QStringLiteral("Value"), QStringLiteral("String"), QStringLiteral("Variant"),
                     [](TlyrDataSet *d, TksMethodHelper *h) { return d->GetValue(StrArg(h, 0)); });
}

// A report's objects are not replaced while the report is being built (the
// report itself checks its own loading and clearing).
void refuseWhileBuilding(TlyrComponent *o, const QString &action)
{
    TlyrReport *r = o->Report();
    if (r && r != o) r->CheckNotBuilding(action);
}

void bindComponent(TksClassVariable *c)
{
    const KsClassInfo *component = ksFindClassInfo(QStringLiteral("TlyrComponent"));
    Binder<TlyrComponent> b(c);
    b.Method(QStringLiteral("procedure Clear"),
             [](TlyrComponent *o, TksMethodHelper *) {
                 refuseWhileBuilding(o, QStringLiteral("清除其中的对象"));
                 o->Clear();
                 return none();
             })
            .Method(QStringLiteral("function FindObject(s: String): TlyrComponent"),
                    [](TlyrComponent *o, TksMethodHelper *h) { return Obj(o->FindObject(StrArg(h, 0))); })
            .Method(QStringLiteral("procedure LoadFromStream(Stream: TStream)"),
                    [](TlyrComponent *o, TksMethodHelper *h) {
                        refuseWhileBuilding(o, QStringLiteral("载入其中的对象"));
                        fromStream(h, [&](QIODevice &d) { o->LoadFromStream(d); });
                        return none();
                    })
            .Method(QStringLiteral("procedure SaveToStream(Stream: TStream; SaveChildren: Boolean = True)"),
                    [](TlyrComponent *o, TksMethodHelper *h) {
                        const bool children = h->ParamCount() < 2 || BoolArg(h, 1);
                        toStream(h, [&](QIODevice &d) { o->SaveToStream(d, children, false); });
                        return none();
                    })
            .Method(QStringLiteral("procedure SetBounds(ALeft, ATop, AWidth, AHeight: Extended)"),
                    [](TlyrComponent *o, TksMethodHelper *h) {
                        o->SetBounds(h->GetParam(0).ToDouble(), h->GetParam(1).ToDouble(), h->GetParam(2).ToDouble(),
                                     h->GetParam(3).ToDouble());
                        return none();
                    })
            .Property(QStringLiteral("Objects"), QStringLiteral("TList"),
                      [](TlyrComponent *o) { return Obj(refilledList(o, "Objects", o->GetObjects())); })
            .Property(QStringLiteral("AllObjects"), QStringLiteral("TList"),
                      [](TlyrComponent *o) { return Obj(refilledList(o, "AllObjects", o->AllObjects())); })
            .Property(
                    QStringLiteral("Parent"), QStringLiteral("TlyrComponent"),
                    [](TlyrComponent *o) { return Obj(o->Parent()); },
                    [component](TlyrComponent *o, const KsValue &v) {
                        // A handle of anything but a report object is refused.
                        QObject *p = v.IsObject() ? v.ToObject(component) : nullptr;
                        if (!p && !(v.IsNull() || (!v.IsObject() && v.ToInt64() == 0)))
                            Raise(QStringLiteral("EInvalidCast"), QStringLiteral("Parent: not a report object"));
                        o->SetParent(static_cast<TlyrComponent *>(p));
                    })
            .Property(QStringLiteral("Page"), QStringLiteral("TlyrPage"),
                      [](TlyrComponent *o) { return Obj(o->Page()); })
            .Property(QStringLiteral("AbsLeft"), QStringLiteral("Extended"),
                      [](TlyrComponent *o) { return KsValue(o->AbsLeft()); })
            .Property(QStringLiteral("AbsTop"), QStringLiteral("Extended"),
                      [](TlyrComponent *o) { return KsValue(o->AbsTop()); });
}

// Calls fn for the script's class of that name and for those of every
// registered class derived from it (each carries its published properties).
void eachClassFrom(TksScript *s, const char *base, const std::function<void(TksClassVariable *)> &fn)
{
    const KsClassInfo *root = ksFindClassInfo(QLatin1String(base));
    if (!root) return;
    for (const KsClassInfo *ci : ksRegisteredClasses())
        if (ci->InheritsFrom(root))
            if (TksClassVariable *c = s->FindClass(ci->ClassName); c && c->ClassRef == ci) fn(c);
}

// Puts a property in place of the published one of that name, so that the
// class and its descendants answer with it.
void replaceProperty(TksScript *s, const char *base, const char *name, const QString &type, TksGetValueEvent get,
                     TksSetValueEvent set)
{
    eachClassFrom(s, base, [&](TksClassVariable *c) {
        for (int i = c->MembersCount() - 1; i >= 0; --i) {
            TksCustomVariable *m = c->MembersItems(i);
            if (m->Name.compare(QLatin1String(name), Qt::CaseInsensitive) != 0) continue;
            c->Members.Remove(m);
            delete m;
        }
        c->AddProperty(QLatin1String(name), type, get, set);
    });
}

// A list of lines: reading gives the list itself, assigning copies lines.
void linesProperty(TksScript *s, const char *cls, const char *name, std::function<TlyrLinesHandle *(QObject *)> of)
{
    const QString member = QLatin1String(name);
    replaceProperty(
            s, cls, name, QStringLiteral("TWideStrings"),
            [of, member](QObject *inst, const KsClassInfo *, const QString &) { return Obj(of(Self(inst, member))); },
            [of, member](QObject *inst, const KsClassInfo *, const QString &, const KsValue &v) {
                TlyrLinesHandle *lines = of(Self(inst, member));
                QObject *o = v.IsObject() ? v.ToObject() : nullptr;
                if (!o || (!qobject_cast<TlyrLinesHandle *>(o) && !qobject_cast<TStrings *>(o)))
                    Raise(QStringLiteral("EConvertError"), member + QStringLiteral(": a list of strings is needed"));
                lines->Assign(o);
            });
}

// A picture: reading gives the object's picture, assigning copies one.
void pictureProperty(TksScript *s, const char *cls, const char *name, std::function<TlyrPictureView *(QObject *)> of)
{
    const QString member = QLatin1String(name);
    replaceProperty(
            s, cls, name, QStringLiteral("TlyrPicture"),
            [of, member](QObject *inst, const KsClassInfo *, const QString &) {
                return Obj(TlyrPictureHandle::Of(of(Self(inst, member))));
            },
            [of, member](QObject *inst, const KsClassInfo *, const QString &, const KsValue &v) {
                QObject *o = v.IsObject() ? v.ToObject() : nullptr;
                if (!o && !(v.IsIntegral() && v.ToInt64() == 0))
                    Raise(QStringLiteral("EConvertError"), member + QStringLiteral(": a picture is needed"));
                TlyrPictureHandle::Of(of(Self(inst, member)))->Assign(o);
            });
}

void bindPictures(TksScript *s)
{
    Binder<TlyrPictureHandle>(s->AddClass(plainClass("TlyrPicture", "TPersistent"), QStringLiteral("TPersistent")))
            .Method(QStringLiteral("procedure LoadFromFile(const Filename: string)"),
                    [](TlyrPictureHandle *p, TksMethodHelper *h) {
                        TlyrPictureView *v = p->View();
                        if (v->LoadPictureFromFile(StrArg(h, 0)) != 0)
                            Raise(QStringLiteral("EInvalidGraphic"), v->LastError());
                        return none();
                    })
            .Method(QStringLiteral("procedure SaveToFile(const Filename: string)"),
                    [](TlyrPictureHandle *p, TksMethodHelper *h) {
                        savePicture(p->View()->Picture(), StrArg(h, 0));
                        return none();
                    })
            .Property(QStringLiteral("Width"), QStringLiteral("Integer"),
                      [](TlyrPictureHandle *p) { return KsValue(p->View()->Picture().width()); })
            .Property(QStringLiteral("Height"), QStringLiteral("Integer"),
                      [](TlyrPictureHandle *p) { return KsValue(p->View()->Picture().height()); });
}

void bindFont(TksScript *s)
{
    // The report objects' fonts; a script's own font or another report
    // font can be assigned to one.
    Binder<TlyrFont>(addClass(s, "TlyrFont", "TPersistent"))
            .Method(QStringLiteral("procedure Assign(Source: TPersistent)"), [](TlyrFont *f, TksMethodHelper *h) {
                QObject *o = ObjArg(h, 0, nullptr);
                if (auto *other = qobject_cast<TlyrFont *>(o)) {
                    f->Assign(*other);
                } else if (auto *font = qobject_cast<TFont *>(o)) {
                    TlyrFont copy;
                    copy.SetName(font->Name());
                    copy.SetSize(font->Size());
                    copy.SetColor(font->Color());
                    copy.SetStyle(font->Style());
                    copy.SetCharset(f->Charset());
                    f->Assign(copy);
                } else {
                    Raise(QStringLiteral("EConvertError"),
                          QStringLiteral("Cannot assign a %1 to a TlyrFont").arg(ksClassNameOf(o)));
                }
                return none();
            });
}

void bindViews(TksScript *s)
{
    Binder<TlyrView>(s->FindClass(QStringLiteral("TlyrView")))
            .Property(
                    QStringLiteral("TagStr"), QStringLiteral("String"),
                    [](TlyrView *v) { return KsValue(v->TagStr()); },
                    [](TlyrView *v, const KsValue &t) { v->SetTagStr(t.ToText()); });
    Binder<TlyrStretcheable>(s->FindClass(QStringLiteral("TlyrStretcheable")))
            .Method(QStringLiteral("function CalcHeight: Extended"),
                    [](TlyrStretcheable *v, TksMethodHelper *) { return KsValue(v->CalcHeight()); });
    Binder<TlyrCustomMemoView>(s->FindClass(QStringLiteral("TlyrCustomMemoView")))
            .Method(QStringLiteral("function CalcWidth: Extended"),
                    [](TlyrCustomMemoView *m, TksMethodHelper *) { return KsValue(m->CalcWidth()); })
            .Property(
                    QStringLiteral("Text"), QStringLiteral("String"),
                    [](TlyrCustomMemoView *m) { return KsValue(joinText(m->Memo())); },
                    [](TlyrCustomMemoView *m, const KsValue &v) { m->SetMemo(splitText(v.ToText())); })
            .Property(QStringLiteral("Value"), QStringLiteral("Variant"),
                      [](TlyrCustomMemoView *m) { return m->Value; });
    // The memo's lines are its Memo, also as Lines.
    for (const char *name : {"Lines", "Memo"})
        linesProperty(s, "TlyrCustomMemoView", name,
                      [](QObject *o) { return TlyrLinesHandle::Of(static_cast<TlyrCustomMemoView *>(o)); });
    for (const char *name : {"ColumnPositions", "HGuides", "VGuides"})
        linesProperty(s, "TlyrReportPage", name, [name](QObject *o) { return TlyrLinesHandle::Of(o, name); });
    pictureProperty(s, "TlyrPictureView", "Picture", [](QObject *o) { return static_cast<TlyrPictureView *>(o); });
    pictureProperty(s, "TlyrReportPage", "BackPicture",
                    [](QObject *o) { return static_cast<TlyrReportPage *>(o)->Background(); });
    pictureProperty(s, "TlyrReportOptions", "Picture",
                    [](QObject *o) { return static_cast<TlyrReportOptions *>(o)->Picture(); });
    Binder<TlyrPictureView>(s->FindClass(QStringLiteral("TlyrPictureView")))
            .Method(QStringLiteral("procedure LoadFromFile(filename: String)"),
                    [](TlyrPictureView *p, TksMethodHelper *h) {
                        p->LoadPictureFromFile(StrArg(h, 0));
                        return none();
                    });
    Binder<TlyrDialogControl>(s->FindClass(QStringLiteral("TlyrDialogControl")))
            .Method(QStringLiteral("procedure SetFocus"), [](TlyrDialogControl *c, TksMethodHelper *) {
                // Only a control that takes the focus gets it.
                if (QWidget *w = c->Control(); w && w->focusPolicy() != Qt::NoFocus) w->setFocus();
                return none();
            });
    Binder<TlyrDialogPage>(s->FindClass(QStringLiteral("TlyrDialogPage")))
            .Method(QStringLiteral("function ShowModal: Integer"),
                    [](TlyrDialogPage *p, TksMethodHelper *) { return KsValue(p->ShowModal()); })
            .Property(
                    QStringLiteral("ModalResult"), QStringLiteral("Integer"),
                    [](TlyrDialogPage *p) { return KsValue(p->ModalResult()); },
                    [](TlyrDialogPage *p, const KsValue &v) { p->SetModalResult(v.ToInt()); });
    Binder<TlyrBand>(s->FindClass(QStringLiteral("TlyrBand")))
            .Property(QStringLiteral("Overflow"), QStringLiteral("Boolean"),
                      [](TlyrBand *b) { return KsValue(b->Overflow); });
}

void bindJPEG(TksScript *s)
{
    // Registered here, after the graphics module has registered its ancestor.
    static const KsClassInfo *info = ksRegisterClass<TJPEGImage>();
    Binder<TJPEGImage>(s->AddClass(info, QStringLiteral("TGraphic")))
            .Constructor(QStringLiteral("constructor Create"), [](TJPEGImage *, TksMethodHelper *) { return none(); })
            .Method(QStringLiteral("procedure SaveToFile(const Filename: string)"),
                    [](TJPEGImage *j, TksMethodHelper *h) {
                        j->SaveToFile(StrArg(h, 0));
                        return none();
                    });
}

// Anchors live in the prepared pages the engine fills.
TlyrCustomPreviewPages *pagesOf(TlyrCustomEngine *e)
{
    if (!e->PreviewPages)
        Raise(QStringLiteral("EInvalidOperation"), QStringLiteral("The engine has no prepared pages"));
    return e->PreviewPages;
}

void bindReport(TksScript *s)
{
    Binder<TlyrReport>(s->FindClass(QStringLiteral("TlyrReport")))
            .Method(QStringLiteral("function Calc(const Expr: String): Variant"),
                    [](TlyrReport *r, TksMethodHelper *h) { return r->Calc(StrArg(h, 0)); })
            .Method(QStringLiteral("function GetDataset(const Alias: String): TlyrDataset"),
                    [](TlyrReport *r, TksMethodHelper *h) { return Obj(r->GetDataset(StrArg(h, 0))); })
            .Method(QStringLiteral("function LoadFromFile(const FileName: String): Boolean"),
                    [](TlyrReport *r, TksMethodHelper *h) { return KsValue(r->LoadFromFile(StrArg(h, 0), false)); })
            .Method(QStringLiteral("procedure SaveToFile(const FileName: String)"),
                    [](TlyrReport *r, TksMethodHelper *h) {
                        r->SaveToFile(StrArg(h, 0));
                        return none();
                    })
            .Method(QStringLiteral("procedure ShowReport"),
                    [](TlyrReport *r, TksMethodHelper *) {
                        r->ShowReport(true);
                        return none();
                    })
            .Property(
                    QStringLiteral("Terminated"), QStringLiteral("Boolean"),
                    [](TlyrReport *r) { return KsValue(r->Terminated()); },
                    [](TlyrReport *r, const KsValue &v) { r->SetTerminated(v.ToBool()); })
            .Property(QStringLiteral("Variables"), QStringLiteral("TlyrVariables"),
                      [](TlyrReport *r) { return Obj(TlyrVariablesHandle::Of(r, r->Variables())); })
            .Property(QStringLiteral("Styles"), QStringLiteral("TlyrStyles"),
                      [](TlyrReport *r) { return Obj(TlyrStylesHandle::Of(r)); })
            .Property(QStringLiteral("DataSets"), QStringLiteral("TlyrReportDataSets"),
                      [](TlyrReport *r) { return Obj(TlyrDataSetsHandle::Of(r)); });

    Binder<TlyrCustomEngine>(s->FindClass(QStringLiteral("TlyrCustomEngine")))
            .Method(QStringLiteral("procedure NewPage"),
                    [](TlyrCustomEngine *e, TksMethodHelper *) {
                        e->NewPage();
                        return none();
                    })
            .Method(QStringLiteral("procedure NewColumn"),
                    [](TlyrCustomEngine *e, TksMethodHelper *) {
                        e->NewColumn();
                        return none();
                    })
            .Method(QStringLiteral("procedure ShowBand(Band: TlyrBand)"),
                    [](TlyrCustomEngine *e, TksMethodHelper *h) {
                        e->ShowBand(ObjArgAs<TlyrComponent>(h, 0, ksFindClassInfo(QStringLiteral("TlyrBand"))));
                        return none();
                    })
            .Method(QStringLiteral("procedure StopReport"),
                    [](TlyrCustomEngine *e, TksMethodHelper *) {
                        e->StopReport();
                        return none();
                    })
            .Method(QStringLiteral("function FreeSpace: Extended"),
                    [](TlyrCustomEngine *e, TksMethodHelper *) { return KsValue(e->FreeSpace()); })
            .Method(QStringLiteral("procedure AddAnchor(const Text: String)"),
                    [](TlyrCustomEngine *e, TksMethodHelper *h) {
                        pagesOf(e)->AddAnchor(StrArg(h, 0));
                        return none();
                    })
            .Method(QStringLiteral("function GetAnchorPage(const Text: String): Integer"),
                    [](TlyrCustomEngine *e, TksMethodHelper *h) {
                        return KsValue(pagesOf(e)->GetAnchorPage(StrArg(h, 0)));
                    });
}

// The outline implementation carries its operations as invokable methods
// AddItem(QString, int), LevelRoot() and LevelUp().
void callOutline(TlyrCustomOutline *o, const char *method, QGenericArgument a = {}, QGenericArgument b = {})
{
    if (!QMetaObject::invokeMethod(o, method, a, b))
        Raise(QStringLiteral("EInvalidOperation"), QStringLiteral("The outline has no %1").arg(QLatin1String(method)));
}

void bindOutline(TksScript *s)
{
    Binder<TlyrCustomOutline>(s->FindClass(QStringLiteral("TlyrCustomOutline")))
            .Method(QStringLiteral("procedure AddItem(const Text: String)"),
                    [](TlyrCustomOutline *o, TksMethodHelper *h) {
                        TlyrCustomEngine *e = o->Engine();
                        const int top = lyrRoundHalfEven(e ? e->CurY : 0);
                        const QString text = StrArg(h, 0);
                        callOutline(o, "AddItem", Q_ARG(QString, text), Q_ARG(int, top));
                        return none();
                    })
            .Method(QStringLiteral("procedure LevelRoot"),
                    [](TlyrCustomOutline *o, TksMethodHelper *) {
                        callOutline(o, "LevelRoot");
                        return none();
                    })
            .Method(QStringLiteral("procedure LevelUp"), [](TlyrCustomOutline *o, TksMethodHelper *) {
                callOutline(o, "LevelUp");
                return none();
            });
}

// Date-time serial 0 is 30 December 1899.
QDate dateOf(double serial)
{
    return QDate(1899, 12, 30).addDays(qint64(std::floor(serial)));
}

void addFunctions(TksScript *s)
{
    auto datePart = [](int (QDate::*part)() const) {
        return [part](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *h) {
            return KsValue((dateOf(h->GetParam(0).ToDouble()).*part)());
        };
    };
    s->AddMethod(QStringLiteral("function DayOf(Date: TDateTime): Integer"), datePart(&QDate::day),
                 QStringLiteral("ctDate"));
    s->AddMethod(QStringLiteral("function MonthOf(Date: TDateTime): Integer"), datePart(&QDate::month),
                 QStringLiteral("ctDate"));
    s->AddMethod(QStringLiteral("function YearOf(Date: TDateTime): Integer"), datePart(&QDate::year),
                 QStringLiteral("ctDate"));
    // Declarations only: a report's preparation adds the working macro
    // functions of these names, which lookups then find first.
    auto zero = [](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *) { return KsValue(0); };
    s->AddMethod(QStringLiteral("function IIF(Expr: Boolean; TrueValue, FalseValue: Variant): Variant"), zero,
                 QStringLiteral("ctOther"));
    for (const char *agg : {"SUM", "AVG", "MIN", "MAX"})
        s->AddMethod(QStringLiteral("function %1(Expr: Variant; Band: Variant = 0; Flags: Integer = 0): Variant")
                             .arg(QLatin1String(agg)),
                     zero, QStringLiteral("ctAggregate"));
    s->AddMethod(QStringLiteral("function COUNT(Band: Variant = 0; Flags: Integer = 0): Variant"), zero,
                 QStringLiteral("ctAggregate"));
}

class TlyrClassFunctions : public TksRTTIModule {
public:
    explicit TlyrClassFunctions(TksScript *s) : TksRTTIModule(s)
    {
        addConstants(s);
        addEnums(s);
        // Engine and outline are known by their contracts only.
        ksRegisterClass(&TlyrCustomEngine::staticMetaObject);
        ksRegisterClass(&TlyrCustomOutline::staticMetaObject);
        bindLines(s);
        bindJPEG(s);
        if (TksClassVariable *c = addClass(s, "TlyrDataSet", "TComponent")) bindDataSet(c);
        static const std::pair<const char *, const char *> classes[] = {
                {"TlyrUserDataSet", "TlyrDataSet"},
                {"TlyrCustomDBDataSet", "TlyrDataSet"},
                {"TlyrComponent", "TComponent"},
                {"TlyrReportComponent", "TlyrComponent"},
                {"TlyrDialogComponent", "TlyrReportComponent"},
                {"TlyrDialogControl", "TlyrReportComponent"},
                {"TlyrFrameLine", "TPersistent"},
                {"TlyrFrame", "TPersistent"},
                {"TlyrView", "TlyrReportComponent"},
                {"TlyrShapeView", "TlyrView"},
                {"TlyrStretcheable", "TlyrView"},
                {"TlyrHighlight", "TPersistent"},
                {"TlyrFormat", "TPersistent"},
                {"TlyrCustomMemoView", "TlyrStretcheable"},
                {"TlyrMemoView", "TlyrCustomMemoView"},
                {"TlyrSysMemoView", "TlyrCustomMemoView"},
                {"TlyrDMPMemoView", "TlyrCustomMemoView"},
                {"TlyrCustomLineView", "TlyrStretcheable"},
                {"TlyrLineView", "TlyrCustomLineView"},
                {"TlyrDMPLineView", "TlyrCustomLineView"},
                {"TlyrDMPCommand", "TlyrView"},
                {"TlyrPictureView", "TlyrView"},
                {"TlyrSubreport", "TlyrView"},
                {"TlyrBand", "TlyrReportComponent"},
                {"TlyrDataBand", "TlyrBand"},
                {"TlyrHeader", "TlyrBand"},
                {"TlyrFooter", "TlyrBand"},
                {"TlyrMasterData", "TlyrDataBand"},
                {"TlyrDetailData", "TlyrDataBand"},
                {"TlyrSubdetailData", "TlyrDataBand"},
                {"TlyrDataBand4", "TlyrDataBand"},
                {"TlyrDataBand5", "TlyrDataBand"},
                {"TlyrDataBand6", "TlyrDataBand"},
                {"TlyrPageHeader", "TlyrBand"},
                {"TlyrPageFooter", "TlyrBand"},
                {"TlyrColumnHeader", "TlyrBand"},
                {"TlyrColumnFooter", "TlyrBand"},
                {"TlyrGroupHeader", "TlyrBand"},
                {"TlyrGroupFooter", "TlyrBand"},
                {"TlyrReportTitle", "TlyrBand"},
                {"TlyrReportSummary", "TlyrBand"},
                {"TlyrChild", "TlyrBand"},
                {"TlyrOverlay", "TlyrBand"},
                {"TlyrPage", "TlyrComponent"},
                {"TlyrReportPage", "TlyrPage"},
                {"TlyrDialogPage", "TlyrPage"},
                {"TlyrDMPPage", "TlyrReportPage"},
                {"TlyrDataPage", "TlyrPage"},
                {"TlyrEngineOptions", "TPersistent"},
                {"TlyrPrintOptions", "TPersistent"},
                {"TlyrPreviewOptions", "TPersistent"},
                {"TlyrReportOptions", "TPersistent"},
                {"TlyrReport", "TlyrComponent"},
                {"TlyrCustomEngine", "TPersistent"},
                {"TlyrEngine", "TlyrCustomEngine"},
                {"TlyrCustomOutline", "TPersistent"},
                {"TlyrOutline", "TlyrCustomOutline"},
                {"TlyrBarCodeView", "TlyrView"},
        };
        for (const auto &[name, ancestor] : classes) {
            TksClassVariable *c = addClass(s, name, ancestor);
            if (c && qstrcmp(name, "TlyrComponent") == 0) bindComponent(c);
        }
        Binder<TlyrVariableHandle>(
                s->AddClass(plainClass("TlyrVariable", "TCollectionItem"), QStringLiteral("TCollectionItem")))
                .Property(
                        QStringLiteral("Name"), QStringLiteral("String"),
                        [](TlyrVariableHandle *v) { return KsValue(v->Item()->Name); },
                        [](TlyrVariableHandle *v, const KsValue &n) { v->Item()->Name = n.ToText(); })
                .Property(
                        QStringLiteral("Value"), QStringLiteral("Variant"),
                        [](TlyrVariableHandle *v) { return fromVariant(v->Item()->Value); },
                        [](TlyrVariableHandle *v, const KsValue &value) { v->Item()->Value = toVariant(value); });
        bindVariables(s, "TlyrVariables", false);
        bindVariables(s, "TlyrArray", true);
        s->AddObject(QStringLiteral("lyrGlobalVariables"), TlyrVariablesHandle::Global());
        bindStylesAndDataSets(s);
        bindFont(s);
        bindPictures(s);
        bindViews(s);
        bindReport(s);
        bindOutline(s);
        addFunctions(s);
    }
};

}  // namespace

void lyrRegisterClassRTTI()
{
    static bool done = false;
    if (done) return;
    done = true;
    // Templates name these classes before any object of them exists.
    lyrRegisterDMPClasses();
    // The engine works on the template's objects while a report is built
    // (lists a script made of them stay its own).
    AddFreeCheck([](QObject *o) -> QString {
        auto *c = qobject_cast<TlyrComponent *>(o);
        TlyrReport *r = c ? c->Report() : nullptr;
        return r && r->Building() ? QStringLiteral("报表正在生成，不能释放其中的对象 %1").arg(ksClassNameOf(o))
                                  : QString();
    });
    ksRegisterModule(QStringLiteral("TlyrClassFunctions"),
                     [](TksScript *s) -> TksRTTIModule * { return new TlyrClassFunctions(s); });
}
