// Fonts, pens, brushes, canvases and pictures for scripts, the colour
// constants, and the binding module that publishes them. Colours are TColor
// values: 0x00BBGGRR, negative values name system colours.
#pragma once

#include "script/ks_iclassesrtti.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QObject>
#include <QPoint>
#include <functional>

QColor ksColorToQColor(int color);
int ksQColorToColor(const QColor &c);

class TFont : public TPersistent {
    Q_OBJECT
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_PROPERTY(int Size READ Size WRITE SetSize)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(int Style READ Style WRITE SetStyle)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
public:
    Q_INVOKABLE explicit TFont(QObject *parent = nullptr);
    QString Name() const { return FFont.family(); }
    void SetName(const QString &v)
    {
        FFont.setFamily(v);
        Changed();
    }
    int Size() const { return FFont.pointSize(); }
    void SetSize(int v);
    int Color() const { return FColor; }
    void SetColor(int v)
    {
        FColor = v;
        Changed();
    }
    int Style() const;  // fsBold 1, fsItalic 2, fsUnderline 4, fsStrikeout 8
    void SetStyle(int v);
    int Height() const { return -qRound(Size() * 96.0 / 72.0); }
    void SetHeight(int v) { SetSize(qRound(std::abs(v) * 72.0 / 96.0)); }
    const QFont &Font() const { return FFont; }
    void SetFont(const QFont &f)
    {
        FFont = f;
        Changed();
    }
signals:
    void FontChanged();

protected:
    bool AssignFrom(QObject *source) override;

private:
    QFont FFont;
    int FColor = 0;
    void Changed() { emit FontChanged(); }
};

class TPen : public TPersistent {
    Q_OBJECT
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(int Style READ Style WRITE SetStyle)
    Q_PROPERTY(int Mode READ Mode WRITE SetMode)
public:
    Q_INVOKABLE explicit TPen(QObject *parent = nullptr) : TPersistent(parent) {}
    int Color() const { return FColor; }
    void SetColor(int v) { FColor = v; }
    int Width() const { return FWidth; }
    void SetWidth(int v) { FWidth = std::max(0, v); }
    int Style() const { return FStyle; }  // psSolid .. psInsideFrame
    void SetStyle(int v) { FStyle = v; }
    int Mode() const { return FMode; }
    void SetMode(int v) { FMode = v; }
    QPen ToQPen() const;

protected:
    bool AssignFrom(QObject *source) override;

private:
    int FColor = 0, FWidth = 1, FStyle = 0, FMode = 4;
};

class TBrush : public TPersistent {
    Q_OBJECT
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(int Style READ Style WRITE SetStyle)
public:
    Q_INVOKABLE explicit TBrush(QObject *parent = nullptr) : TPersistent(parent) {}
    int Color() const { return FColor; }
    void SetColor(int v) { FColor = v; }
    int Style() const { return FStyle; }  // bsSolid .. bsDiagCross
    void SetStyle(int v) { FStyle = v; }
    QBrush ToQBrush() const;

protected:
    bool AssignFrom(QObject *source) override;

private:
    int FColor = 0xFFFFFF, FStyle = 0;
};

class TGraphic;

// Draws on an image (a bitmap's or a metafile's); a canvas without one
// measures text but draws nothing.
class TCanvas : public TPersistent {
    Q_OBJECT
    Q_PROPERTY(TFont *Font READ Font)
    Q_PROPERTY(TPen *Pen READ Pen)
    Q_PROPERTY(TBrush *Brush READ Brush)
public:
    Q_INVOKABLE explicit TCanvas(QObject *parent = nullptr);
    TFont *Font() const { return FFont; }
    TPen *Pen() const { return FPen; }
    TBrush *Brush() const { return FBrush; }
    void SetTarget(QImage *image) { FTarget = image; }
    QImage *Target() const { return FTarget; }
    // Run around every drawing call: a window's canvas fits its image to the
    // window first and shows what was drawn afterwards.
    std::function<void()> BeforeDraw, AfterDraw;
    void Draw(int x, int y, TGraphic *g);
    void StretchDraw(int x1, int y1, int x2, int y2, TGraphic *g);
    void Ellipse(int x1, int y1, int x2, int y2);
    void LineTo(int x, int y);
    void MoveTo(int x, int y) { FPenPos = QPoint(x, y); }
    void Rectangle(int x1, int y1, int x2, int y2);
    void RoundRect(int x1, int y1, int x2, int y2, int x3, int y3);
    int TextHeight(const QString &text) const;
    void TextOut(int x, int y, const QString &text);
    int TextWidth(const QString &text) const;
    int Pixel(int x, int y) const;
    void SetPixel(int x, int y, int color);

private:
    TFont *FFont;
    TPen *FPen;
    TBrush *FBrush;
    QImage *FTarget = nullptr;
    QPoint FPenPos;
    template <class F>
    void Paint(F f);
};

class TGraphic : public TPersistent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TGraphic(QObject *parent = nullptr) : TPersistent(parent) {}
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    virtual void SetSize(int w, int h);
    void LoadFromFile(const QString &fileName);
    void SaveToFile(const QString &fileName) const;
    const QImage &Image() const { return FImage; }

protected:
    bool AssignFrom(QObject *source) override;
    void SetImage(const QImage &img);
    QImage FImage;
    // Kept apart from the image: an image with one side 0 has no size at all.
    int FWidth = 0, FHeight = 0;
};

class TBitmap : public TGraphic {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TBitmap(QObject *parent = nullptr);
    TCanvas *Canvas() const { return FCanvas; }
    void SetSize(int w, int h) override;

private:
    TCanvas *FCanvas;
};

// Kept as an image: the system has no vector picture format of its own.
class TMetafile : public TGraphic {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TMetafile(QObject *parent = nullptr) : TGraphic(parent) {}
    QImage *Surface() { return &FImage; }
};

class TMetafileCanvas : public TCanvas {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TMetafileCanvas(QObject *parent = nullptr) : TCanvas(parent) {}
};

class TPicture : public TPersistent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TPicture(QObject *parent = nullptr);
    TBitmap *Bitmap() const { return FBitmap; }
    int Width() const { return FBitmap->Width(); }
    int Height() const { return FBitmap->Height(); }
    void LoadFromFile(const QString &fileName) { FBitmap->LoadFromFile(fileName); }
    void SaveToFile(const QString &fileName) const { FBitmap->SaveToFile(fileName); }

protected:
    bool AssignFrom(QObject *source) override;

private:
    TBitmap *FBitmap;
};

class TksGraphicsFunctions : public TksRTTIModule {
public:
    explicit TksGraphicsFunctions(TksScript *script);
};
