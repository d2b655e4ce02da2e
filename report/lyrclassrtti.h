#pragma once
// The script module that makes the report's object model visible to report
// scripts and to the expressions of report texts: unit constants, the
// enumerations (with the object model's values), the report classes with
// the members their published properties do not give, the program-wide
// variables and a few global functions.
//
// Memo lines, string lists, pictures, variables, styles and dataset lists;
// scripts reach them through small QObject handles that point at the data
// and never hold a copy of it.

#include "report/lyrvariables.h"
#include "script/ks_iclassesrtti.h"
#include "script/ks_igraphicsrtti.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class TlyrCustomMemoView;
class TlyrPictureView;
class TlyrReport;
class TlyrStyles;
class TlyrReportDataSets;

// A list of lines as the script class TWideStrings: a memo's lines or a
// string-list property of an object (a page's guides, its column
// positions). Reads and writes go to the object itself; the objects a script
// keeps beside the lines live in the handle.
class TlyrLinesHandle : public TPersistent {
    Q_OBJECT
public:
    // The one handle of the list (made on first use, owned by its object).
    static TlyrLinesHandle *Of(TlyrCustomMemoView *memo);
    static TlyrLinesHandle *Of(QObject *owner, const char *property);
    QStringList Lines() const;
    // Replaces every line; the objects beside them go.
    void SetLines(const QStringList &lines);
    // The object beside line i (nil when none); as many as there are lines.
    QObject *LineObject(int i);
    void SetLineObject(int i, QObject *o);
    // Edits that keep each object beside its line.
    int Insert(int i, const QString &s, QObject *o = nullptr);
    void Put(int i, const QString &s);
    void Delete(int i);

protected:
    // Takes the lines of another list (its objects too) or of a script string list.
    bool AssignFrom(QObject *source) override;

private:
    TlyrLinesHandle(QObject *owner, const QByteArray &property);
    QObject *Owner() const;
    // The objects, one per line of the list as it is now.
    QList<QPointer<QObject>> &objects();
    void edit(const std::function<void(QStringList &, QList<QPointer<QObject>> &)> &change);
    // The characters of the lines, raising when they pass a list's bound.
    static qint64 checkedChars(const QStringList &lines);
    void store(const QStringList &lines);
    QPointer<QObject> owner_;
    QByteArray property_;  // empty: the memo's lines
    QList<QPointer<QObject>> objects_;
};

// A picture of a report object (a picture view's, a page's background, the
// report options') as the script class TlyrPicture.
class TlyrPictureHandle : public TPersistent {
    Q_OBJECT
public:
    static TlyrPictureHandle *Of(TlyrPictureView *view);
    TlyrPictureView *View() const;

protected:
    // Takes a picture or graphic of the script, or another report picture.
    bool AssignFrom(QObject *source) override;

private:
    explicit TlyrPictureHandle(TlyrPictureView *view);
    QPointer<TlyrPictureView> view_;
};

// A variables collection as the script class TlyrVariables (or TlyrArray):
// either one owned elsewhere (a report's, the program-wide one) or one a
// script created and owns through this handle.
class TlyrVariablesHandle : public TPersistent {
    Q_OBJECT
public:
    TlyrVariablesHandle(TlyrVariables *shared, QObject *parent, bool isArray = false);
    // A new, empty collection owned by the handle.
    explicit TlyrVariablesHandle(bool isArray, QObject *parent = nullptr);
    // The handle of a report's collection (owned by the report's object).
    static TlyrVariablesHandle *Of(QObject *owner, TlyrVariables *vars);
    static TlyrVariablesHandle *Global();
    TlyrVariables *Variables() const { return vars_; }
    bool IsArray() const { return isArray_; }

private:
    std::unique_ptr<TlyrVariables> own_;
    TlyrVariables *vars_;
    bool isArray_;
};

// One item of a variables collection as the script class TlyrVariable.
class TlyrVariableHandle : public TPersistent {
    Q_OBJECT
public:
    static TlyrVariableHandle *Of(TlyrVariablesHandle *list, int index);
    // The item, while the collection still holds it.
    TlyrVariable *Item() const;

protected:
    bool AssignFrom(QObject *source) override;

private:
    TlyrVariableHandle(TlyrVariablesHandle *list, TlyrVariable *item);
    QPointer<TlyrVariablesHandle> list_;
    TlyrVariable *item_;
};

// A report's styles as the script class TlyrStyles.
class TlyrStylesHandle : public QObject {
    Q_OBJECT
public:
    static TlyrStylesHandle *Of(TlyrReport *report);
    TlyrStyles *Styles() const;

private:
    explicit TlyrStylesHandle(TlyrReport *report);
    QPointer<TlyrReport> report_;
};

// A report's dataset list as the script class TlyrReportDataSets.
class TlyrDataSetsHandle : public QObject {
    Q_OBJECT
public:
    static TlyrDataSetsHandle *Of(TlyrReport *report);
    TlyrReportDataSets *DataSets() const;

private:
    explicit TlyrDataSetsHandle(TlyrReport *report);
    QPointer<TlyrReport> report_;
};

// A picture whose saved form is JPEG, whatever the file name says.
class TJPEGImage : public TGraphic {
    Q_OBJECT
    Q_PROPERTY(int CompressionQuality READ CompressionQuality WRITE SetCompressionQuality)
public:
    Q_INVOKABLE explicit TJPEGImage(QObject *parent = nullptr) : TGraphic(parent) {}
    // 1 to 100; values outside are taken to the nearest end.
    int CompressionQuality() const { return quality_; }
    void SetCompressionQuality(int v);
    QByteArray SaveToBytes() const;
    void SaveToFile(const QString &fileName) const;
    // The image as JPEG, transparent parts white; empty when it cannot be written.
    static QByteArray Encode(const QImage &image, int quality = 90);

private:
    int quality_ = 90;
};

// The outline's item position: the engine's vertical position rounded to
// the nearest integer, a tie to the even one.
int lyrRoundHalfEven(double v);

// Puts the module on the script engine's module list (once); every script
// that adds its modules afterwards gets it.
void lyrRegisterClassRTTI();
