#pragma once
// The script module that makes the report's object model visible to report
// scripts and to the expressions of report texts: unit constants, the
// enumerations (with the object model's values), the report classes with
// the members their published properties do not give, the program-wide
// variables and a few global functions.
//
// The memo lines, variables, styles and dataset lists are plain classes;
// scripts reach them through small QObject handles that point at the data
// and never hold a copy of it.

#include "report/lyrvariables.h"
#include "script/ks_igraphicsrtti.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

class TlyrCustomMemoView;
class TlyrReport;
class TlyrStyles;
class TlyrReportDataSets;

// A memo's lines as the script class TWideStrings; reads and writes go to
// the memo itself.
class TlyrMemoLines : public QObject {
    Q_OBJECT
public:
    // The one handle of that memo (made on first use, owned by the memo).
    static TlyrMemoLines *Of(TlyrCustomMemoView *memo);
    TlyrCustomMemoView *Memo() const;
    QStringList Lines() const;
    void SetLines(const QStringList &lines);

private:
    explicit TlyrMemoLines(TlyrCustomMemoView *memo);
    QPointer<TlyrCustomMemoView> memo_;
};

// A variables collection as the script class TlyrVariables (or TlyrArray):
// either one owned elsewhere (a report's, the program-wide one) or one a
// script created and owns through this handle.
class TlyrVariablesHandle : public QObject {
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

private:
    int quality_ = 90;
};

// The outline's item position: the engine's vertical position rounded to
// the nearest integer, a tie to the even one.
int lyrRoundHalfEven(double v);

// Puts the module on the script engine's module list (once); every script
// that adds its modules afterwards gets it.
void lyrRegisterClassRTTI();
