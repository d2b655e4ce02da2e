#include "report/lyrview.h"

#include "platform/image/jpeg.h"
#include "platform/picturefile.h"
#include "report/lyrclass.h"
#include "report/lyrcontracts.h"
#include "report/lyrdbset.h"
#include "report/lyrpropstream.h"
#include "report/lyrres.h"
#include "report/lyrutils.h"
#include "report/lyrxml.h"
#include "script/ks_props.h"
#include "script/ksrtl.h"

#include <QBuffer>
#include <QFile>
#include <QtEndian>

#include <cmath>

// ---------------------------------------------------------------- view

TlyrView::TlyrView(QObject *owner) : TlyrReportComponent(owner)
{
    SetFlags(Flags() | lyrFlagDefaultDiff);
    lyrRegisterViewClasses();
}

TlyrFrame *TlyrView::Frame() const
{
    if (!frame_) frame_ = new TlyrFrame(const_cast<TlyrView *>(this));
    return frame_;
}

const TlyrFrame &TlyrView::FrameValue() const
{
    if (frame_) return *frame_;
    // Made once, on whichever thread asks first, and kept to the end.
    static const TlyrFrame *const none = new TlyrFrame;
    return *none;
}

void TlyrView::SetDataSet(TlyrDataSet *v)
{
    dataSet_ = v;
    dataSetName_ = v ? v->UserName() : QString();
}

QString TlyrView::DataSetName() const
{
    return dataSet_ ? dataSet_->UserName() : dataSetName_;
}

void TlyrView::SetDataSetName(const QString &v)
{
    dataSetName_ = v;
    TlyrReport *r = Report();
    dataSet_ = r ? r->GetDataset(v) : nullptr;
}

bool TlyrView::IsDataField() const
{
    return dataSet_ && !dataField_.isEmpty();
}

bool TlyrView::IsPropertyStored(const QString &name) const
{
    // A bound dataset is written by reference; its name only without one.
    if (name == QLatin1String("DataSetName")) return dataSet_ == nullptr && !dataSetName_.isEmpty();
    return TlyrReportComponent::IsPropertyStored(name);
}

void TlyrView::BeginDraw(TlyrCanvas *canvas, double scaleX, double scaleY, double offsetX, double offsetY)
{
    Canvas = canvas;
    ScaleX = scaleX;
    ScaleY = scaleY;
    OffsetX = offsetX;
    OffsetY = offsetY;
    X = lyrRoundi(AbsLeft() * scaleX + offsetX);
    Y = lyrRoundi(AbsTop() * scaleY + offsetY);
    X1 = lyrRoundi((AbsLeft() + Width()) * scaleX + offsetX);
    Y1 = lyrRoundi((AbsTop() + Height()) * scaleY + offsetY);
    const TlyrFrame &frame = FrameValue();
    if (frame.DropShadow()) {
        X1 -= lyrRoundi(frame.ShadowWidth() * scaleX);
        Y1 -= lyrRoundi(frame.ShadowWidth() * scaleY);
    }
    DX = X1 - X;
    DY = Y1 - Y;
    FrameWidth = lyrRoundi(frame.Width() * scaleX);
}

void TlyrView::DrawBackground()
{
    if (!Canvas) return;
    if (color_ != clNone) Canvas->FillRect(QRect(X, Y, DX, DY), color_);
    // A clear brush has no hatch to draw.
    if (brushStyle_ != bsSolid && brushStyle_ != bsClear) {
        Canvas->SetPen(clNone, 1, psClear);
        Canvas->SetBrush(FrameValue().Color(), TlyrBrushStyle(brushStyle_));
        Canvas->SetBackground(clNone);
        Canvas->Rectangle(QRect(X, Y, DX + 1, DY + 1));
    }
}

void TlyrView::DrawFrame()
{
    if (Canvas) FrameValue().Draw(*Canvas, X, Y, X1, Y1, ScaleX, ScaleY, color_);
}

void TlyrView::Draw(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY)
{
    BeginDraw(&canvas, scaleX, scaleY, offsetX, offsetY);
    DrawBackground();
    DrawFrame();
}

QString TlyrView::Diff(const TlyrComponent *other) const
{
    QString out = TlyrReportComponent::Diff(other);
    auto *o = qobject_cast<const TlyrView *>(other);
    if (!o) return out;
    if (brushStyle_ != o->brushStyle_) lyrAppendAttr(out, "BrushStyle", QString::number(brushStyle_));
    if (align_ != o->align_) lyrAppendAttr(out, "Align", QString::number(align_));
    if (color_ != o->color_) lyrAppendAttr(out, "Color", QString::number(color_));
    out += FrameValue().Diff(o->FrameValue());
    if (cursor_ != o->cursor_) lyrAppendAttr(out, "Cursor", QString::number(cursor_));
    if (printable_ != o->printable_) lyrAppendAttr(out, "Printable", lyrBoolAttr(printable_));
    if (tagStr_ != o->tagStr_) lyrAppendAttr(out, "TagStr", QString::fromUtf8(lyrStrToXML(tagStr_)));
    if (url_ != o->url_) lyrAppendAttr(out, "URL", QString::fromUtf8(lyrStrToXML(url_)));
    return out;
}

void TlyrView::BeforePrint()
{
    TlyrReportComponent::BeforePrint();
    savedTagStr_ = tagStr_;
    savedUrl_ = url_;
}

void TlyrView::AfterPrint()
{
    TlyrReportComponent::AfterPrint();
    tagStr_ = savedTagStr_;
    url_ = savedUrl_;
}

void TlyrView::GetData()
{
    TlyrReportComponent::GetData();
    if (tagStr_.contains(u'[')) tagStr_ = ExpandExpressions(tagStr_);
    if (url_.contains(u'[')) url_ = ExpandExpressions(url_);
}

QString TlyrView::ExpandExpressions(const QString &source) const
{
    TlyrReport *report = Report();
    return lyrExpandExpressions(report, source, QStringLiteral("["), QStringLiteral("]"),
                                [report](const QString &e) { return report ? report->Calc(e).ToText() : QString(); });
}

// ---------------------------------------------------------------- shape

TlyrShapeView::TlyrShapeView(QObject *owner) : TlyrView(owner)
{
    SetFlags(Flags() & ~lyrFlagDefaultDiff);
}

QString TlyrShapeView::GetDescription() const
{
    return lyrResources().Get(QStringLiteral("obShape"));
}

void TlyrShapeView::Draw(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY)
{
    if (Frame()->Style() != fsDouble) {
        BeginDraw(&canvas, scaleX, scaleY, offsetX, offsetY);
        drawShape();
        return;
    }
    TlyrFrame &f = *Frame();
    const QList<int> lineStyles{f.LeftLine()->Style(), f.TopLine()->Style(), f.RightLine()->Style(),
                                f.BottomLine()->Style()};
    f.SetStyle(fsSolid);
    const double l = Left(), t = Top(), w = Width(), h = Height();
    BeginDraw(&canvas, scaleX, scaleY, offsetX, offsetY);
    drawShape();
    const double fw = f.Width();
    switch (shape_) {
    case skTriangle:
        SetBounds(l + 4 * fw, t + 4 * fw, w - 8 * fw, h - 6 * fw);
        break;
    case skDiamond:
        SetBounds(l + 3 * fw, t + 3 * fw, w - 6 * fw, h - 6 * fw);
        break;
    case skDiagonal1:
    case skDiagonal2:
        SetBounds(l + 2 * fw, t, w, h);
        break;
    default:
        SetBounds(l + 2 * fw, t + 2 * fw, w - 4 * fw, h - 4 * fw);
        break;
    }
    BeginDraw(&canvas, scaleX, scaleY, offsetX, offsetY);
    drawShape();
    f.SetStyle(fsDouble);
    TlyrFrameLine *lines[] = {f.LeftLine(), f.TopLine(), f.RightLine(), f.BottomLine()};
    for (int i = 0; i < 4; ++i) lines[i]->SetStyle(lineStyles[i]);
    SetBounds(l, t, w, h);
}

void TlyrShapeView::drawShape()
{
    TlyrCanvas &c = *Canvas;
    const TlyrFrame &f = *Frame();
    const int style = f.Style();
    c.SetPen(f.Color(), FrameWidth, style == fsDouble ? psSolid : TlyrPenStyle(style));
    c.SetBackground(Color() == clNone ? clWhite : Color());
    auto outline = [&] {
        const QRect box(X, Y, DX + 1, DY + 1);
        switch (shape_) {
        case skRoundRectangle: {
            const int corner = curve_ != 0 ? lyrRoundi(curve_ * ScaleX * 10) : std::min(DX, DY) / 4;
            c.RoundRect(box, corner, corner);
            break;
        }
        case skEllipse:
            c.Ellipse(box);
            break;
        case skTriangle:
            c.Polygon(QPolygon({QPoint(X1, Y1), QPoint(X, Y1), QPoint(X + DX / 2, Y)}));
            break;
        case skDiamond:
            c.Polygon(QPolygon(
                    {QPoint(X + DX / 2, Y), QPoint(X1, Y + DY / 2), QPoint(X + DX / 2, Y1), QPoint(X, Y + DY / 2)}));
            break;
        case skDiagonal1:
            lyrThickLine(c, X, Y1, X1, Y, FrameWidth);
            break;
        case skDiagonal2:
            lyrThickLine(c, X, Y, X1, Y1, FrameWidth);
            break;
        default:
            c.Rectangle(box);
            break;
        }
    };
    if (BrushStyle() != bsSolid) {
        if (Color() != clNone) {
            c.SetBrush(Color(), bsSolid);
            outline();
        }
        c.SetBrush(f.Color(), TlyrBrushStyle(BrushStyle()));
        outline();
    } else {
        c.SetBrush(Color(), Color() == clNone ? bsClear : bsSolid);
        outline();
    }
    c.SetBackground(clNone);
}

QString TlyrShapeView::Diff(const TlyrComponent *other) const
{
    QString out = TlyrView::Diff(other);
    auto *o = qobject_cast<const TlyrShapeView *>(other);
    if (o && shape_ != o->shape_) lyrAppendAttr(out, "Shape", QString::number(shape_));
    return out;
}

// ---------------------------------------------------------------- lines

TlyrCustomLineView::TlyrCustomLineView(QObject *owner) : TlyrStretcheable(owner)
{
    SetFlags(Flags() & ~lyrFlagDefaultDiff);
}

TlyrLineView::TlyrLineView(QObject *owner) : TlyrCustomLineView(owner) {}

void TlyrLineView::DesignCreate(int kind)
{
    diagonal_ = kind != 0;
    arrowEnd_ = kind == 2 || kind == 4;
    arrowStart_ = kind == 3 || kind == 4;
}

QString TlyrLineView::GetDescription() const
{
    return lyrResources().Get(QStringLiteral("obLine"));
}

void TlyrLineView::Draw(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY)
{
    if (!diagonal_) {
        if (Height() >= Width()) {
            SetWidth(0);
            Frame()->SetTyp(ftLeft);
        } else {
            SetHeight(0);
            Frame()->SetTyp(ftTop);
        }
    }
    BeginDraw(&canvas, scaleX, scaleY, offsetX, offsetY);
    const TlyrFrame &f = *Frame();
    if (!diagonal_) {
        DrawFrame();
    } else if (f.Color() != clNone && f.Width() != 0) {
        canvas.SetPen(f.Color(), 1, f.Style() == fsDouble ? psSolid : TlyrPenStyle(f.Style()));
        canvas.SetBrush(Color(), Color() == clNone ? bsClear : bsSolid);
        lyrThickLine(canvas, X, Y, X1, Y1, FrameWidth);
    }
    if (arrowStart_) drawArrow(QPoint(X, Y), QPoint(X1, Y1));
    if (arrowEnd_) drawArrow(QPoint(X1, Y1), QPoint(X, Y));
}

void TlyrLineView::drawArrow(QPoint tip, QPoint other)
{
    const double len = arrowLength_ * ScaleX, half = arrowWidth_ * ScaleX;
    QPoint base, w1, w2;
    if (std::abs(tip.x() - other.x()) < 9) {
        base = QPoint(tip.x(), tip.y() - lyrRoundi(len));
        const int lo = std::min(other.y(), tip.y()), hi = std::max(other.y(), tip.y());
        if (base.y() < lo || base.y() > hi) base.setY(tip.y() + lyrRoundi(len));
        w1 = QPoint(tip.x() - lyrRoundi(half), base.y());
        w2 = QPoint(tip.x() + lyrRoundi(half), base.y());
    } else {
        const double dx = other.x() - tip.x(), dy = other.y() - tip.y();
        const double d = std::hypot(dx, dy);
        const double ux = d > 0 ? dx / d : 1, uy = d > 0 ? dy / d : 0;
        const double bx = tip.x() + ux * len, by = tip.y() + uy * len;
        base = QPoint(lyrRoundi(bx), lyrRoundi(by));
        w1 = QPoint(lyrRoundi(bx - uy * half), lyrRoundi(by + ux * half));
        w2 = QPoint(lyrRoundi(bx + uy * half), lyrRoundi(by - ux * half));
    }
    const TlyrFrame &f = *Frame();
    if (arrowSolid_) {
        Canvas->SetPen(f.Color(), 1, psSolid);
        Canvas->SetBrush(f.Color(), bsSolid);
        Canvas->Polygon(QPolygon({tip, w1, w2}));
    } else {
        Canvas->SetPen(f.Color(), lyrRoundi(f.Width() * ScaleX), psSolid);
        Canvas->Line(w1.x(), w1.y(), tip.x(), tip.y());
        Canvas->Line(w2.x(), w2.y(), tip.x(), tip.y());
    }
}

// ---------------------------------------------------------------- picture

TlyrPictureView::TlyrPictureView(QObject *owner) : TlyrView(owner)
{
    SetFlags(Flags() & ~lyrFlagDefaultDiff);
    SetColor(clWhite);
}

QString TlyrPictureView::GetDescription() const
{
    return lyrResources().Get(QStringLiteral("obPicture"));
}

void TlyrPictureView::SetAutoSize(bool v)
{
    autoSize_ = v;
    if (autoSize_ && !picture_.isNull()) {
        SetWidth(picture_.width());
        SetHeight(picture_.height());
    }
}

void TlyrPictureView::changed()
{
    SetAutoSize(autoSize_);
    pictureChanged_ = true;
}

void TlyrPictureView::ClearPicture()
{
    damaged_ = false;
    picture_ = QImage();
    pictureData_.clear();
    changed();
}

void TlyrPictureView::fail(const QString &why)
{
    lastError_ = QStringLiteral("%1: %2").arg(Name(), why);
    if (TlyrReport *r = Report()) r->AddError(lastError_);
}

int TlyrPictureView::LoadPictureFromStream(const QByteArray &stream)
{
    lastError_.clear();
    QByteArray data = stream;
    auto u16 = [&](qsizetype at) { return qFromLittleEndian<quint16>(data.constData() + at); };
    auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(data.constData() + at); };
    // An 8-byte header of 1, 256 and the length of the rest is skipped.
    if (data.size() >= 8 && u16(0) == 1 && u16(2) == 256 && u32(4) == quint32(data.size() - 8)) data.remove(0, 8);
    const char *format = nullptr;
    bool metafile = false;
    if (data.size() >= 2 && u16(0) == 19778) {
        format = "BMP";
    } else if (data.size() >= 2 && uchar(data[0]) == 0xFF && uchar(data[1]) == 0xD8) {
        format = "JPEG";
    } else if (data.size() >= 8 && data.startsWith("\x89PNG\r\n\x1a\n")) {
        format = "PNG";
    } else if (data.size() >= 4 && u32(0) == 0x9AC6CDD7) {
        metafile = true;
    } else if (data.size() >= 100 && data.mid(40, 4) == " EMF") {
        metafile = true;
    } else if (data.size() >= 6 && u16(0) == 0 && (u16(2) == 1 || u16(2) == 2) && u16(4) >= 1 &&
               data.size() >= 6 + 16 * qsizetype(u16(4))) {
        // A well-formed icon directory, not just a small 16-bit value.
        format = "ICO";
    }
    QImage image;
    QString why;
    if (metafile) {
        // Metafiles cannot be drawn here: their bytes are kept (saved,
        // cached and printed again as they are) and the object shows its
        // frame only.
        picture_ = QImage();
        pictureData_ = stream;
        lastError_ = QStringLiteral("%1: %2").arg(Name(), QStringLiteral("图元文件图片无法显示"));
        changed();
        return 0;
    }
    if (!format) {
        why = QStringLiteral("未知的图片格式");
    } else if (qstrcmp(format, "JPEG") == 0) {
        image = vplatform::decodeJpeg(data, &why);
    } else {
        image = QImage::fromData(data, format);
        if (image.isNull()) why = QStringLiteral("%1 图片已损坏").arg(QLatin1String(format));
    }
    if (image.isNull()) {
        picture_ = QImage();
        pictureData_.clear();
        changed();
        fail(why.isEmpty() ? QStringLiteral("图片已损坏") : why);
        return kInvalidArg;
    }
    picture_ = image;
    pictureData_ = stream;
    damaged_ = false;
    changed();
    return 0;
}

int TlyrPictureView::LoadPictureFromFile(const QString &path)
{
    QByteArray data;
    QString why;
    if (!vplatform::readPictureFile(path, data, &why)) {
        ClearPicture();
        fail(why);
        return kInvalidArg;
    }
    return LoadPictureFromStream(data);
}

void TlyrPictureView::GetData()
{
    TlyrView::GetData();
    if (!fileLink_.isEmpty()) {
        QString path = fileLink_.contains(u'[') ? ExpandExpressions(fileLink_) : fileLink_;
        path.replace(u'\\', u'/');
        if (QFile::exists(path))
            LoadPictureFromFile(path);
        else
            ClearPicture();
    } else if (IsDataField() && DataSet()->IsBlobField(DataField())) {
        QByteArray bytes;
        QBuffer stream(&bytes);
        stream.open(QIODevice::WriteOnly);
        DataSet()->AssignBlobTo(DataField(), stream);
        LoadPictureFromStream(bytes);
    }
}

void TlyrPictureView::Draw(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY)
{
    BeginDraw(&canvas, scaleX, scaleY, offsetX, offsetY);
    DrawBackground();
    if (!picture_.isNull()) {
        const int pw = picture_.width(), ph = picture_.height();
        QRect r(X, Y, DX, DY);
        if (stretched_) {
            if (keepAspectRatio_) {
                const double kx = double(DX) / pw, ky = double(DY) / ph;
                if (ky <= kx)
                    r.setWidth(lyrRoundi(pw * ky));
                else
                    r.setHeight(lyrRoundi(ph * kx));
                if (center_) r.moveTo(X + (DX - r.width()) / 2, Y + (DY - r.height()) / 2);
            }
            canvas.DrawImage(r, picture_);
        } else {
            canvas.PushClip(QRect(X, Y, DX, DY), true);
            r.setSize(QSize(lyrRoundi(pw * scaleX), lyrRoundi(ph * scaleY)));
            if (center_) r.moveTo(X + (DX - r.width()) / 2, Y + (DY - r.height()) / 2);
            canvas.DrawImage(r, picture_);
            canvas.PopClip();
        }
    } else if (damaged_) {
        // Marked, so a picture lost to a damaged file is not taken for an empty one.
        canvas.SetPen(clRed, std::max(1, lyrRoundi(scaleX)), psSolid);
        canvas.SetBrush(clNone);
        canvas.Rectangle(QRect(X, Y, DX + 1, DY + 1));
        canvas.Line(X, Y, X + DX, Y + DY);
        canvas.Line(X + DX, Y, X, Y + DY);
    } else if (IsDesigning()) {
        // The designer shows the picture object's button image.
        TlyrImageList &images = lyrResources().ObjectImages();
        if (images.Count() > 3) canvas.DrawImage(QRect(X + 1, Y + 2, images.Width, images.Height), images.Image(3));
    }
    DrawFrame();
}

QString TlyrPictureView::Diff(const TlyrComponent *other) const
{
    auto *self = const_cast<TlyrPictureView *>(this);
    if (pictureChanged_) {
        TlyrReport *r = Report();
        if (r && r->PreviewPages()) self->imageIndex_ = r->PreviewPages()->AddPicture(self);
        self->pictureChanged_ = false;
    }
    QString out = TlyrView::Diff(other);
    lyrAppendAttr(out, "ImageIndex", QString::number(imageIndex_));
    return out;
}

void TlyrPictureView::WriteData(TlyrPropWriter &writer, TlyrXMLSerializer &serializer) const
{
    TlyrView::WriteData(writer, serializer);
    if (!pictureData_.isEmpty()) {
        writer.WritePropName("Picture");
        writer.WriteLString(pictureData_);
    }
}

bool TlyrPictureView::ReadData(const QByteArray &name, TlyrPropReader &reader, TlyrXMLSerializer &serializer)
{
    if (name == "Picture") {
        LoadPictureFromStream(reader.ReadRawString());
        pictureChanged_ = false;
        return true;
    }
    return TlyrView::ReadData(name, reader, serializer);
}

// ---------------------------------------------------------------- subreport

TlyrSubreport::TlyrSubreport(QObject *owner) : TlyrView(owner)
{
    SetFlags(Flags() & ~lyrFlagPreviewCopy);
    Frame()->SetTyp(ftAll);
    TlyrFont f;
    f.SetName(QStringLiteral("Tahoma"));
    f.SetSize(8);
    SetFont(&f);
    SetColor(clSilver);
}

TlyrSubreport::~TlyrSubreport()
{
    if (TlyrPage *page = SubPage()) page->setProperty("lyrSubReport", QVariant());
}

void TlyrSubreport::SetSubPage(TlyrPage *page)
{
    if (TlyrPage *old = SubPage()) old->setProperty("lyrSubReport", QVariant());
    page_ = page;
    if (page_) page_->setProperty("lyrSubReport", QVariant::fromValue<QObject *>(this));
}

QString TlyrSubreport::GetDescription() const
{
    return lyrResources().Get(QStringLiteral("obSubRep"));
}

void TlyrSubreport::Draw(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY)
{
    TlyrView::Draw(canvas, scaleX, scaleY, offsetX, offsetY);
    TlyrCanvasFont f;
    f.Name = Font()->Name();
    f.Height = -lyrRoundi(Font()->Size() * scaleY * 96 / 72);
    f.Style = Font()->Style();
    f.Color = Font()->Color();
    canvas.SetFont(f);
    canvas.TextOut(X + 2, Y + 2, Name());
}

// ---------------------------------------------------------------- registry

void lyrRegisterViewClasses()
{
    lyrRegisterReportClasses();
    static bool done = false;
    if (done) return;
    done = true;
    lyrRegisterFrameClasses();
    const QStringList brushes{"bsSolid",     "bsClear",     "bsHorizontal", "bsVertical",
                              "bsFDiagonal", "bsBDiagonal", "bsCross",      "bsDiagCross"};
    KsClassInfo *view = ksRegisterClass<TlyrView>();
    lyrPublishEnum(view, "Align", "TlyrAlign",
                   {"baNone", "baLeft", "baRight", "baCenter", "baWidth", "baBottom", "baClient"});
    lyrPublishEnum(view, "ShiftMode", "TlyrShiftMode", {"smDontShift", "smAlways", "smWhenOverlapped"});
    KsClassInfo *stretch = ksRegisterClass<TlyrStretcheable>();
    lyrPublishEnum(stretch, "StretchMode", "TlyrStretchMode", {"smDontStretch", "smActualHeight", "smMaxHeight"});
    KsClassInfo *shape = ksRegisterClass<TlyrShapeView>();
    lyrPublishEnum(shape, "BrushStyle", "TBrushStyle", brushes);
    lyrPublishEnum(
            shape, "Shape", "TlyrShapeKind",
            {"skRectangle", "skRoundRectangle", "skEllipse", "skTriangle", "skDiamond", "skDiagonal1", "skDiagonal2"});
    ksRegisterClass<TlyrCustomLineView>();
    ksRegisterClass<TlyrLineView>();
    ksRegisterClass<TlyrPictureView>();
    ksRegisterClass<TlyrSubreport>();
}
