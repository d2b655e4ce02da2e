#include "reportengine/lyrBarcode.h"

#include "report/lyrclass.h"
#include "report/lyrdbset.h"
#include "report/lyrres.h"
#include "report/lyrutils.h"
#include "report/lyrxml.h"
#include "reportengine/lyrDsgnIntf.h"
#include "script/ks_iinterpreter.h"
#include "script/ks_props.h"

#include <QPainter>

#include <cmath>

namespace {
// Words that fit the width, one line each.
QStringList lyrWrapWords(TlyrCanvas &canvas, const QString &text, int width)
{
    QStringList lines;
    QString line;
    for (const QString &word : text.split(u' ', Qt::SkipEmptyParts)) {
        const QString joined = line.isEmpty() ? word : line + u' ' + word;
        if (!line.isEmpty() && canvas.TextWidth(joined) > width) {
            lines << line;
            line = word;
        } else {
            line = joined;
        }
    }
    if (!line.isEmpty()) lines << line;
    return lines;
}

}  // namespace

TlyrBarCodeView::TlyrBarCodeView(QObject *owner) : TlyrView(owner)
{
    lyrRegisterBarcodeView();
    text_ = QString::fromLatin1(kSampleText);
    barcode_.Typ = bcCode39;
    SetWidth(100);
    SetHeight(50);
}

QString TlyrBarCodeView::GetDescription() const
{
    return lyrResources().Get(QStringLiteral("obBarC"));
}

QString TlyrBarCodeView::fitToSymbol()
{
    barcode_.Angle = rotation_;
    barcode_.Checksum = calcCheckSum_;
    barcode_.Typ = TlyrBarcodeType(barType_);
    barcode_.Ratio = wideBarRatio_;
    barcode_.Color = Color() == clNone ? QColor(Qt::white) : lyrColor(Color());
    const double oldWidth = Width();
    barcode_.Text = text_;
    // A saved zoom of 0 would give an object without width.
    if (zoom_ < 0.0001) zoom_ = 1;
    QString error;
    const bool upright = rotation_ == 0 || rotation_ == 180;
    try {
        const double length = barcode_.Width() * zoom_;
        if (upright)
            SetWidth(length);
        else
            SetHeight(length);
    } catch (const ElyrBarcodeError &e) {
        error = e.message();
    }
    // Widths only: a turned symbol changed its height and keeps its place.
    const double shift = oldWidth - Width();
    if (hAlign_ == haRight)
        SetLeft(Left() + shift);
    else if (hAlign_ == haCenter)
        SetLeft(Left() + shift / 2);
    return error;
}

void TlyrBarCodeView::Draw(TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY)
{
    lastError_ = fitToSymbol();
    BeginDraw(&canvas, scaleX, scaleY, offsetX, offsetY);
    DrawBackground();
    if (lastError_.isEmpty()) {
        if (QPainter *p = canvas.Painter()) {
            try {
                barcode_.DrawBarcode(*p, QRectF(X, Y, DX, DY), showText_, scaleX, scaleY);
            } catch (const ElyrBarcodeError &e) {
                lastError_ = e.message();
            }
        }
    }
    if (!lastError_.isEmpty()) {
        // Never wrong bars: the encoder's message in their place.
        TlyrCanvasFont font;
        font.Name = QStringLiteral("Arial");
        font.Height = -lyrRoundi(lyrRoundi(8 * scaleY) * 96.0 / 72.0);
        font.Color = clRed;
        canvas.SetFont(font);
        const QRect box(X + 2, Y + 2, std::max(0, DX - 2), std::max(0, DY - 2));
        canvas.PushClip(box);
        const int lineHeight = std::max(1, canvas.TextHeight());
        int y = box.top();
        for (const QString &line : lyrWrapWords(canvas, lastError_, box.width())) {
            if (y >= box.bottom()) break;
            canvas.TextOut(box.left(), y, line);
            y += lineHeight;
        }
        canvas.PopClip();
        if (TlyrReport *r = Report()) r->AddError(Name() + QStringLiteral(": ") + lastError_);
    }
    DrawFrame();
}

void TlyrBarCodeView::GetData()
{
    TlyrView::GetData();
    if (IsDataField()) {
        text_ = DataSet()->GetValue(DataField()).ToText();
    } else if (!expression_.isEmpty()) {
        TlyrReport *r = Report();
        text_ = r ? r->Calc(expression_).ToText() : QString();
    }
}

void TlyrBarCodeView::GetRealBounds(double &left, double &top, double &right, double &bottom) const
{
    auto *self = const_cast<TlyrBarCodeView *>(this);
    {
        // Drawing once updates the width; a measuring canvas is enough.
        TlyrCanvas measure(nullptr, 96, 96, false);
        self->Draw(measure, 1, 1, 0, 0);
    }
    TlyrView::GetRealBounds(left, top, right, bottom);
    double leftExtra = 0, rightExtra = 0;
    if (rotation_ == 0 || rotation_ == 180) {
        TlyrCanvas measure(nullptr, 96, 96, false);
        TlyrCanvasFont font;
        font.Name = QStringLiteral("Arial");
        font.Height = -12;  // 9 points at 96 dpi
        measure.SetFont(font);
        const int textWidth = measure.TextWidth(barcode_.Text);
        if (textWidth > Width()) leftExtra = rightExtra = lyrRoundi((textWidth - Width()) / 2) + 2;
    }
    if (barType_ == bcCodeEAN13 || barType_ == bcCodeUPC_A) leftExtra = 8;
    if (barType_ == bcCodeUPC_A || barType_ == bcCodeUPC_E0 || barType_ == bcCodeUPC_E1) rightExtra = 8;
    switch (rotation_) {
    case 90:
        bottom += leftExtra;
        top -= rightExtra;
        break;
    case 180:
        left -= rightExtra;
        right += leftExtra;
        break;
    case 270:
        bottom += rightExtra;
        top -= leftExtra;
        break;
    default:
        left -= leftExtra;
        right += rightExtra;
        break;
    }
}

QString TlyrBarCodeView::Diff(const TlyrComponent *other) const
{
    QString out = TlyrView::Diff(other);
    auto *o = qobject_cast<const TlyrBarCodeView *>(other);
    if (!o) return out;
    // A prepared page draws the symbol again from these.
    if (barType_ != o->barType_) lyrAppendAttr(out, "BarType", QString::number(barType_));
    if (calcCheckSum_ != o->calcCheckSum_) lyrAppendAttr(out, "CalcCheckSum", lyrBoolAttr(calcCheckSum_));
    if (hAlign_ != o->hAlign_) lyrAppendAttr(out, "HAlign", QString::number(hAlign_));
    if (rotation_ != o->rotation_) lyrAppendAttr(out, "Rotation", QString::number(rotation_));
    if (showText_ != o->showText_) lyrAppendAttr(out, "ShowText", lyrBoolAttr(showText_));
    if (text_ != o->text_) lyrAppendAttr(out, "Text", QString::fromUtf8(lyrStrToXML(text_)));
    if (wideBarRatio_ != o->wideBarRatio_) lyrAppendAttr(out, "WideBarRatio", lyrFloatToXML(wideBarRatio_));
    if (zoom_ != o->zoom_) lyrAppendAttr(out, "Zoom", lyrFloatToXML(zoom_));
    return out;
}

void lyrRegisterBarcodeView()
{
    static bool done = false;
    if (done) return;
    done = true;
    lyrRegisterViewClasses();
    KsClassInfo *cls = ksRegisterClass<TlyrBarCodeView>();
    lyrPublishEnum(cls, "BarType", "TlyrBarcodeType", TlyrBarcode::TypeIdentifiers());
    lyrPublishEnum(cls, "HAlign", "TlyrHAlign", {"haLeft", "haRight", "haCenter", "haBlock"});
    lyrPublishEnum(cls, "BrushStyle", "TBrushStyle",
                   {"bsSolid", "bsClear", "bsHorizontal", "bsVertical", "bsFDiagonal", "bsBDiagonal", "bsCross",
                    "bsDiagCross"});
    lyrObjects().RegisterObject(&TlyrBarCodeView::staticMetaObject, QImage(), 0, 23);
    lyrComponentEditors().Register(&TlyrBarCodeView::staticMetaObject, &TlyrBarcodeEditor::staticMetaObject);
    // The class itself reaches scripts with the other report classes.
    ksRegisterModule(QStringLiteral("TlyrBarcodeFunctions"), [](TksScript *s) -> TksRTTIModule * {
        auto *m = new TksRTTIModule(s);
        s->AddEnum(QStringLiteral("TlyrBarcodeType"), TlyrBarcode::TypeIdentifiers().join(u','));
        return m;
    });
}

namespace {
// Templates name the class before any object of it exists.
const bool registered = (lyrRegisterBarcodeView(), true);
}  // namespace
