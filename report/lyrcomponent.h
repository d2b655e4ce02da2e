#pragma once
// The base of every object of a report template: an object tree of its own
// (Parent / Objects, kept in order), bounds in layout units, a font that can
// follow the parent's, naming rules, design restrictions, and load/save as
// XML through the template serializer.
//
// Published properties are Q_PROPERTYs, read through the script engine's
// property layer (script/ks_props.h) by the serializer, Diff and the script
// bindings alike; classes are registered by lyrRegisterReportClasses().
//
// Ownership: a component's QObject parent is its Parent, so a parent frees
// its children. Objects() keeps the children's order (the QObject child
// order is not used).

#include "report/lyrexception.h"
#include "script/ks_iclassesrtti.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QObject>
#include <QString>

#include <functional>

class QIODevice;
class TlyrComponent;
class TlyrReport;
class TlyrPage;
class TlyrPropWriter;
class TlyrPropReader;
class TlyrXMLSerializer;
class TlyrXMLItem;

// The clock of the report library (templates stamp CreateDate/LastChange);
// a date-time serial (days since 1899-12-30). Tests fix it.
double lyrNow();
void lyrSetNowFunction(std::function<double()> now);

// A font as templates store it.
class TlyrFont : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Charset READ Charset WRITE SetCharset)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_PROPERTY(int Size READ Size WRITE SetSize)
    Q_PROPERTY(int Style READ Style WRITE SetStyle)
    Q_CLASSINFO("Default:Charset", "1")
    Q_CLASSINFO("Default:Color", "0")
    Q_CLASSINFO("Default:Size", "10")
    Q_CLASSINFO("Default:Style", "0")
public:
    enum StyleBit { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

    explicit TlyrFont(QObject *owner = nullptr) : QObject(owner) {}

    int Charset() const { return charset_; }
    int Color() const { return color_; }
    const QString &Name() const { return name_; }
    int Size() const { return size_; }
    int Style() const { return style_; }
    void SetCharset(int v) { set(charset_, v); }
    void SetColor(int v) { set(color_, v); }
    void SetName(const QString &v) { set(name_, v); }
    void SetSize(int v) { set(size_, v); }
    void SetStyle(int v) { set(style_, v & 15); }
    // Copies every value; one change notification.
    void Assign(const TlyrFont &source);
    bool Equals(const TlyrFont &other) const;

    std::function<void()> OnChange;

private:
    template <class T>
    void set(T &field, const T &v)
    {
        if (field == v) return;
        field = v;
        if (OnChange) OnChange();
    }
    int charset_ = 1;
    int color_ = 0;
    QString name_ = QStringLiteral("Arial");
    int size_ = 10;
    int style_ = 0;
};

// How a view places itself in its container (AlignChildren).
enum TlyrAlign { baNone, baLeft, baRight, baCenter, baWidth, baBottom, baClient };

enum TlyrRestriction { rfDontModify = 1, rfDontSize = 2, rfDontMove = 4, rfDontDelete = 8, rfDontEdit = 16 };

// A TComponent, so that a script makes one with Create(AOwner) as any
// other component.
class TlyrComponent : public TComponent {
    Q_OBJECT
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
    Q_CLASSINFO("Default:Tag", "0")
public:
    // An owner that is a TlyrComponent becomes the Parent.
    Q_INVOKABLE explicit TlyrComponent(QObject *owner = nullptr);
    ~TlyrComponent() override;

    // ---- tree
    TlyrComponent *Parent() const { return parent_; }
    const QList<TlyrComponent *> &Objects() const { return objects_; }
    virtual const QList<TlyrComponent *> &GetObjects() const { return objects_; }
    // All descendants, depth-first pre-order (not the object itself).
    QList<TlyrComponent *> AllObjects() const;
    // The first descendant of that name (case-insensitive).
    TlyrComponent *FindObject(const QString &name) const;
    // Every named descendant by upper-cased name, the first in tree order
    // winning as in FindObject: one walk for many look-ups.
    QHash<QString, QPointer<TlyrComponent>> IndexByName() const;
    TlyrReport *Report() const;
    TlyrPage *Page() const;
    // Moves a child to another place among its siblings.
    void MoveChild(TlyrComponent *child, int index);

    // ---- names
    QString Name() const { return objectName(); }
    // Raises ElyrError "prDupl" for a name another object of the report has,
    // and for renaming an object of the ancestor template.
    virtual void SetName(const QString &value);
    // Names the object without the checks (keeps the report's load index).
    void SetNameUnchecked(const QString &value);
    // The class name without the first "Tlyr" and the first "View"
    // ("TlyrMemoView" gives "Memo"), unless a class sets its own.
    QString BaseName() const;
    // BaseName + the smallest free number in the report (or parent tree).
    void CreateUniqueName();

    int Tag() const { return tag_; }
    void SetTag(int v) { tag_ = v; }

    // ---- bounds and look
    double Left() const { return left_; }
    double Top() const { return top_; }
    double Width() const { return width_; }
    double Height() const { return height_; }
    double AbsLeft() const;
    double AbsTop() const;
    void SetBounds(double left, double top, double width, double height);
    TlyrFont *Font() const { return font_; }
    bool ParentFont() const { return parentFont_; }
    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int v) { groupIndex_ = v; }
    int Restrictions() const { return restrictions_; }
    void SetRestrictions(int v) { restrictions_ = v & 31; }
    bool Visible() const { return visible_; }
    int Flags() const { return flags_; }
    void SetFlags(int v) { flags_ = v; }
    QString Description() const { return description_; }
    void SetDescription(const QString &v) { description_ = v; }

    bool IsDesigning() const { return isDesigning_; }
    void SetDesigning(bool v) { isDesigning_ = v; }
    bool IsLoading() const { return isLoading_; }
    void SetLoading(bool v) { isLoading_ = v; }
    bool IsAncestor() const { return isAncestor_; }
    void SetAncestor(bool v) { isAncestor_ = v; }

    // A report object as owner becomes the Parent; anything else only frees it.
    void SetOwner(QObject *owner) override;

    // ---- virtual operations
    virtual void SetParent(TlyrComponent *value);
    virtual void SetLeft(double value);
    virtual void SetTop(double value);
    virtual void SetWidth(double value);
    virtual void SetHeight(double value);
    // Copies the font; ParentFont becomes False.
    virtual void SetFont(const TlyrFont *value);
    virtual void SetParentFont(bool value);
    virtual void SetVisible(bool value);
    virtual void FontChanged();
    virtual QString GetDescription() const;
    virtual void AlignChildren();
    // Called for every object by the report's script preparation.
    virtual void BeforeStartReport() {}
    // Frees the children; children of the ancestor template stay, cleared.
    virtual void Clear();
    virtual void LoadFromStream(QIODevice &stream);
    virtual void SaveToStream(QIODevice &stream, bool saveChildren = true, bool saveDefaultValues = false);
    // Attribute text of the base values that differ from other.
    virtual QString Diff(const TlyrComponent *other) const;
    // Every stored published property as attribute text, then, with a
    // reference, " " and Diff against it (the prepared pages' object text).
    QString AllDiff(const TlyrComponent *reference) const;
    // Whether the serializer writes a published property of this object.
    virtual bool IsPropertyStored(const QString &name) const;

    // ---- text objects (memo views answer these)
    virtual bool IsTextObject() const { return false; }
    virtual QString ComponentText() const { return QString(); }
    virtual void SetComponentText(const QString &) {}
    // Text objects with automatic width leave " w=" out of Diff.
    virtual bool AutoWidth() const { return false; }
    // Bands always write " t=" in Diff.
    virtual bool IsBand() const { return false; }
    // Views take part in AlignChildren with their Align.
    virtual bool IsView() const { return false; }
    virtual TlyrAlign GetAlign() const { return baNone; }

    // ---- the PropData attribute: records this object streams beyond its
    // published properties (see lyrxmlserializer.h for the byte format)
    virtual void WriteData(TlyrPropWriter &writer, TlyrXMLSerializer &serializer) const;
    // Reads one record's value; false for a name the class does not know
    // (the value is then skipped).
    virtual bool ReadData(const QByteArray &name, TlyrPropReader &reader, TlyrXMLSerializer &serializer);
    // The class library's Loaded: after the whole template was read.
    virtual void Loaded() {}

    // Saves without children and with default values, then loads that here.
    void Assign(const TlyrComponent *source);
    // The same with the children: a full copy.
    void AssignAll(const TlyrComponent *source);

protected:
    void setBaseName(const QString &v) { baseName_ = v; }
    // Frees the children in order (subclasses with state the children reach
    // call it first in their destructors).
    void freeChildren();

private:
    void collect(QList<TlyrComponent *> &out) const;
    // Load and save through a stream, or (stream null) through an element.
    // From stream or item; with copyOf, that object's values (no children).
    void readTemplate(QIODevice *stream, TlyrXMLItem *item, const TlyrComponent *copyOf = nullptr);
    void writeTemplate(QIODevice *stream, TlyrXMLItem *item, bool saveChildren, bool saveDefaultValues);
    void copyFrom(const TlyrComponent *source, bool children);

    TlyrFont *font_;
    QList<TlyrComponent *> objects_;
    TlyrComponent *parent_ = nullptr;
    double left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool parentFont_ = true;
    int groupIndex_ = 0;
    bool isDesigning_ = false;
    bool isLoading_ = false;
    int restrictions_ = 0;
    bool visible_ = true;
    int flags_ = 2;
    QString description_;
    bool isAncestor_ = false;
    QString baseName_;
    int tag_ = 0;

protected:
    double savedLeft_ = 0, savedTop_ = 0, savedWidth_ = 0, savedHeight_ = 0;
};

// What objects placed on pages share: script event names, the print hooks
// and the saved bounds.
class TlyrReportComponent : public TlyrComponent {
    Q_OBJECT
    Q_PROPERTY(QString Description READ Description WRITE SetDescription)
    Q_PROPERTY(QString OnAfterData READ OnAfterData WRITE SetOnAfterData)
    Q_PROPERTY(QString OnAfterPrint READ OnAfterPrint WRITE SetOnAfterPrint)
    Q_PROPERTY(QString OnBeforePrint READ OnBeforePrint WRITE SetOnBeforePrint)
    Q_PROPERTY(QString OnPreviewClick READ OnPreviewClick WRITE SetOnPreviewClick)
public:
    Q_INVOKABLE explicit TlyrReportComponent(QObject *owner = nullptr) : TlyrComponent(owner) {}

    QString OnAfterData() const { return onAfterData_; }
    QString OnAfterPrint() const { return onAfterPrint_; }
    QString OnBeforePrint() const { return onBeforePrint_; }
    QString OnPreviewClick() const { return onPreviewClick_; }
    void SetOnAfterData(const QString &v) { onAfterData_ = v; }
    void SetOnAfterPrint(const QString &v) { onAfterPrint_ = v; }
    void SetOnBeforePrint(const QString &v) { onBeforePrint_ = v; }
    void SetOnPreviewClick(const QString &v) { onPreviewClick_ = v; }

    virtual void Draw(class TlyrCanvas &canvas, double scaleX, double scaleY, double offsetX, double offsetY) {}
    // Keeps the bounds for AfterPrint.
    virtual void BeforePrint();
    virtual void GetData() {}
    // Puts back the bounds BeforePrint kept.
    virtual void AfterPrint();
    virtual QString GetComponentText() const { return QString(); }
    // AbsLeft, AbsTop, right and bottom edges.
    virtual void GetRealBounds(double &left, double &top, double &right, double &bottom) const;

private:
    QString onAfterData_, onAfterPrint_, onBeforePrint_, onPreviewClick_;
};

// A non-visual object (datasets, databases): a 28 x 28 icon in the
// designer; its Left and Top travel as the integer records "pLeft" and
// "pTop" of PropData.
class TlyrDialogComponent : public TlyrReportComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrDialogComponent(QObject *owner = nullptr);
    void WriteData(TlyrPropWriter &writer, TlyrXMLSerializer &serializer) const override;
    bool ReadData(const QByteArray &name, TlyrPropReader &reader, TlyrXMLSerializer &serializer) override;
};

// Pages: the top-level children of a report.
class TlyrPage : public TlyrComponent {
    Q_OBJECT
    Q_PROPERTY(TlyrFont *Font READ Font)
    Q_PROPERTY(bool ParentFont READ ParentFont WRITE SetParentFont)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_CLASSINFO("Default:ParentFont", "true")
    Q_CLASSINFO("Default:Visible", "true")
public:
    Q_INVOKABLE explicit TlyrPage(QObject *owner = nullptr) : TlyrComponent(owner) {}
    // Dot-matrix pages place bands on their character grid.
    virtual bool IsCharacterGrid() const { return false; }
};

// The holder of the non-visual data components of a report.
class TlyrDataPage : public TlyrPage {
    Q_OBJECT
    Q_PROPERTY(double Left READ Left WRITE SetLeft)
    Q_PROPERTY(double Top READ Top WRITE SetTop)
    Q_PROPERTY(double Width READ Width WRITE SetWidth)
    Q_PROPERTY(double Height READ Height WRITE SetHeight)
public:
    Q_INVOKABLE explicit TlyrDataPage(QObject *owner = nullptr);
    QString GetDescription() const override;
};

// Registers the classes of the report object model with the property layer
// (idempotent; the report's constructor calls it).
// Later units register their classes with ksRegisterClass<T>() after it.
void lyrRegisterReportClasses();
