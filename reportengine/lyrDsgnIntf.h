#pragma once
// Process-wide registries through which units announce what they add to the
// report library: report object classes, component editors, property editors
// and export filters. Only a report designer would read the two editor
// registries; none is part of this program, so the editors are entries that
// open nothing.

#include "reportengine/lyrexportfilter.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class TlyrComponent;

// ---------------------------------------------------------------- objects

enum TlyrObjectKind : quint8 { okData = 1, okReportObject = 2, okDialogObject = 4, okDotMatrixObject = 8 };

struct TlyrObjectItem {
    const QMetaObject *ClassRef = nullptr;
    QImage ButtonBitmap;
    int ImageIndex = -1;
    QString ButtonHint, ButtonCaption;
    quint16 Flags = 0;
    quint8 Kind = 0;
};

class TlyrObjectCollection {
public:
    // Does nothing when the class is there with the same flags; a kind of
    // 0 is derived from the class.
    void RegisterObject(const QMetaObject *classRef, const QImage &buttonBitmap, quint8 kind, int imageIndex,
                        quint16 flags = 0, const QString &hint = QString(), const QString &caption = QString());
    int Count() const { return int(items_.size()); }
    const TlyrObjectItem &Items(int i) const { return items_.at(i); }
    // -1 when the class is not registered.
    int IndexOf(const QString &className) const;
    static quint8 KindOf(const QMetaObject *classRef);

private:
    QList<TlyrObjectItem> items_;
};

TlyrObjectCollection &lyrObjects();

// ---------------------------------------------------------------- component editors

struct TlyrEditorMenuItem {
    QString Caption;
    int Tag = 0;
    bool Checked = false;
};

class TlyrComponentEditor : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE TlyrComponentEditor(TlyrComponent *component, QObject *designer);
    TlyrComponent *Component() const { return component_; }
    QObject *Designer() const { return designer_; }
    // The designer's selection; the edited component when none is given.
    QList<TlyrComponent *> Selection;

    virtual bool Edit() { return false; }
    virtual bool HasEditor() const { return false; }
    virtual void GetMenuItems(QList<TlyrEditorMenuItem> &items) const {}
    virtual bool Execute(int tag, bool checked) { return false; }

protected:
    static void AddMenuItem(QList<TlyrEditorMenuItem> &items, const QString &caption, int tag, bool checked);

private:
    TlyrComponent *component_;
    QObject *designer_;
};

// Shift, visibility and printing of views.
class TlyrViewEditor : public TlyrComponentEditor {
    Q_OBJECT
public:
    Q_INVOKABLE TlyrViewEditor(TlyrComponent *component, QObject *designer);
    void GetMenuItems(QList<TlyrEditorMenuItem> &items) const override;
    bool Execute(int tag, bool checked) override;
};

// The barcode editor window belongs to the designer: Edit opens nothing.
class TlyrBarcodeEditor : public TlyrViewEditor {
    Q_OBJECT
public:
    Q_INVOKABLE TlyrBarcodeEditor(TlyrComponent *component, QObject *designer);
    bool HasEditor() const override { return true; }
    bool Edit() override { return false; }
    void GetMenuItems(QList<TlyrEditorMenuItem> &items) const override;
    bool Execute(int tag, bool checked) override;
};

struct TlyrComponentEditorItem {
    const QMetaObject *ComponentClass = nullptr;
    const QMetaObject *EditorClass = nullptr;
};

class TlyrComponentEditorCollection {
public:
    void Register(const QMetaObject *componentClass, const QMetaObject *editorClass);
    int Count() const { return int(items_.size()); }
    const TlyrComponentEditorItem &Items(int i) const { return items_.at(i); }
    // The editor of the nearest registered class of component (nullptr
    // when none); owned by the caller.
    std::unique_ptr<TlyrComponentEditor> CreateEditor(TlyrComponent *component, QObject *designer) const;

private:
    QList<TlyrComponentEditorItem> items_;
};

TlyrComponentEditorCollection &lyrComponentEditors();

// ---------------------------------------------------------------- property editors

enum TlyrPropertyAttribute {
    paValueList = 1,
    paSortList = 2,
    paDialog = 4,
    paMultiSelect = 8,
    paSubProperties = 16,
    paReadOnly = 32,
    paOwnerDraw = 64
};

class TlyrPropertyEditor : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrPropertyEditor(QObject *designer = nullptr);
    QObject *Designer() const { return designer_; }
    // The edited components and the property they share.
    QList<QObject *> Components;
    QString PropertyName;
    QStringList Values;

    virtual bool Edit();
    virtual int GetAttributes() const { return paMultiSelect; }
    virtual QString GetName() const { return PropertyName; }
    virtual int GetExtraLBSize() const { return 0; }
    virtual QString GetValue() const { return QStringLiteral("(Unknown)"); }
    virtual void GetValues();
    virtual void SetValue(const QString &value) {}

protected:
    double GetFloatValue() const;
    qint64 GetOrdValue() const;
    QString GetStrValue() const;
    void SetFloatValue(double v);
    void SetOrdValue(qint64 v);
    void SetStrValue(const QString &v);

private:
    QObject *designer_;
};

class TlyrIntegerProperty : public TlyrPropertyEditor {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrIntegerProperty(QObject *designer = nullptr) : TlyrPropertyEditor(designer) {}
    QString GetValue() const override;
    void SetValue(const QString &value) override;
};

class TlyrStringProperty : public TlyrPropertyEditor {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrStringProperty(QObject *designer = nullptr) : TlyrPropertyEditor(designer) {}
    QString GetValue() const override { return GetStrValue(); }
    void SetValue(const QString &value) override { SetStrValue(value); }
};

class TlyrClassProperty : public TlyrPropertyEditor {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrClassProperty(QObject *designer = nullptr) : TlyrPropertyEditor(designer) {}
    int GetAttributes() const override { return paMultiSelect | paSubProperties | paReadOnly; }
    QString GetValue() const override;
};

class TlyrNameProperty : public TlyrStringProperty {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrNameProperty(QObject *designer = nullptr) : TlyrStringProperty(designer) {}
    int GetAttributes() const override { return 0; }
};

class TlyrColorProperty : public TlyrIntegerProperty {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrColorProperty(QObject *designer = nullptr) : TlyrIntegerProperty(designer) {}
    int GetAttributes() const override { return paValueList | paMultiSelect | paOwnerDraw; }
    QString GetValue() const override;
    void GetValues() override;
    void SetValue(const QString &value) override;
    // The colour dialog belongs to the designer.
    bool Edit() override { return false; }
};

class TlyrFontProperty : public TlyrClassProperty {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrFontProperty(QObject *designer = nullptr) : TlyrClassProperty(designer) {}
    int GetAttributes() const override { return paDialog | paMultiSelect | paSubProperties | paReadOnly; }
    // The font dialog belongs to the designer.
    bool Edit() override { return false; }
};

class TlyrFontNameProperty : public TlyrStringProperty {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrFontNameProperty(QObject *designer = nullptr) : TlyrStringProperty(designer) {}
    int GetAttributes() const override { return paValueList | paSortList | paMultiSelect; }
    void GetValues() override;
};

class TlyrFontCharsetProperty : public TlyrIntegerProperty {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrFontCharsetProperty(QObject *designer = nullptr) : TlyrIntegerProperty(designer) {}
    int GetAttributes() const override { return paValueList | paSortList | paMultiSelect; }
    QString GetValue() const override;
    void GetValues() override;
    void SetValue(const QString &value) override;
};

class TlyrModalResultProperty : public TlyrIntegerProperty {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrModalResultProperty(QObject *designer = nullptr) : TlyrIntegerProperty(designer) {}
    int GetAttributes() const override { return paValueList | paMultiSelect; }
    QString GetValue() const override;
    void GetValues() override;
    void SetValue(const QString &value) override;
    static const QStringList &Names();
};

class TlyrShortCutProperty : public TlyrPropertyEditor {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrShortCutProperty(QObject *designer = nullptr) : TlyrPropertyEditor(designer) {}
    int GetAttributes() const override { return paValueList | paMultiSelect; }
    QString GetValue() const override;
    void GetValues() override;
    void SetValue(const QString &value) override;
};

class TlyrCursorProperty : public TlyrIntegerProperty {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrCursorProperty(QObject *designer = nullptr) : TlyrIntegerProperty(designer) {}
    int GetAttributes() const override { return paValueList | paSortList | paMultiSelect; }
    QString GetValue() const override;
    void GetValues() override;
    void SetValue(const QString &value) override;
};

class TlyrDateTimeProperty : public TlyrPropertyEditor {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrDateTimeProperty(QObject *designer = nullptr) : TlyrPropertyEditor(designer) {}
    QString GetValue() const override;
    void SetValue(const QString &value) override;
};

class TlyrDateProperty : public TlyrDateTimeProperty {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrDateProperty(QObject *designer = nullptr) : TlyrDateTimeProperty(designer) {}
    QString GetValue() const override;
};

class TlyrTimeProperty : public TlyrDateTimeProperty {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrTimeProperty(QObject *designer = nullptr) : TlyrDateTimeProperty(designer) {}
    QString GetValue() const override;
};

struct TlyrPropertyEditorItem {
    QString PropertyType;                         // the type name scripts and the serializer know
    const QMetaObject *ComponentClass = nullptr;  // nullptr: any class
    QString PropertyName;                         // empty: every property of the type
    const QMetaObject *EditorClass = nullptr;
};

class TlyrPropertyEditorCollection {
public:
    void Register(const QString &propertyType, const QMetaObject *componentClass, const QString &propertyName,
                  const QMetaObject *editorClass);
    int Count() const { return int(items_.size()); }
    const TlyrPropertyEditorItem &Items(int i) const { return items_.at(i); }
    // The last matching entry's editor for that property of the object
    // (nullptr when none); owned by the caller.
    std::unique_ptr<TlyrPropertyEditor> CreateEditor(QObject *component, const QString &propertyName,
                                                     QObject *designer = nullptr) const;
    int EventFilterIndex = -1;

private:
    QList<TlyrPropertyEditorItem> items_;
};

TlyrPropertyEditorCollection &lyrPropertyEditors();

// ---------------------------------------------------------------- export filters

struct TlyrExportFilterItem {
    TlyrExportFilter *Filter = nullptr;
};

// No filter is part of this program: the preview keeps its export button
// hidden while the registry is empty.
class TlyrExportFilterCollection {
public:
    void Add(TlyrExportFilter *filter);
    void Remove(TlyrExportFilter *filter);
    int Count() const { return int(items_.size()); }
    const TlyrExportFilterItem &Items(int i) const { return items_.at(i); }

private:
    QList<TlyrExportFilterItem> items_;
};

TlyrExportFilterCollection &lyrExportFilters();
