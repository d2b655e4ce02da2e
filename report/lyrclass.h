#pragma once
// The report: the template's root object, its datasets, variables, styles,
// options and script, and the one object the program talks to.
//
//   TlyrReport r;                       // engine and pages come from
//                                       // lyrEngineFactories() (reportengine/)
//   r.LoadFromFile(path);               // or LoadFromStream / SaveToFile
//   auto* ds = new TlyrDBDataset;       // over a vdb::Query of the program
//   ds->SetName("lyrDB_XF");            // UserName follows the name
//   ds->SetDataSet(&query);
//   r.Datasets()->Add(ds);
//   r.ShowReport();                     // preview now, build 50 ms later
//
//   r.PrepareScript();                  // PrepareReport does this per run
//   KsValue v = r.Calc("lyrDB_XF.\"theSum\"");      // looked up directly
//   KsValue w = r.Calc("<lyrDB_XF.\"theSum\"> * 2");  // compiled once
//
// Errors of loading and building are collected in Errors() (sorted, no
// duplicates) and reported once through the error routine chosen by
// EngineOptions.NewSilentMode.

#include "report/lyrcomponent.h"
#include "report/lyrcontracts.h"
#include "report/lyrdbset.h"
#include "report/lyrutils.h"
#include "report/lyrvariables.h"
#include "script/ksvalue.h"

#include <QHash>
#include <QMap>
#include <QMutex>
#include <QRecursiveMutex>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

class QSettings;
class QTimer;
class TksScript;
class TlyrCustomDatabase;
class TlyrDrawText;
class TlyrFrame;
class TlyrPictureView;
class TksCustomVariable;
class TksProcVariable;
class TksMethodHelper;
class TlyrXMLSerializer;
struct TlyrKeptObject;
class TlyrReportPage;

// Held while templates load in ThreadSafeMode (and while a dialog page's
// window is freed). Re-entrant: loading a template loads its ancestor on the
// same thread while the lock is held.
QRecursiveMutex &lyrTemplateLoadingLock();

// The error line of an exception that ended a build: a script's run-time
// error names where it was raised, as a compile error does.
QString lyrBuildErrorText(const std::exception &e);

// Copies the stored, writable published properties of `from` onto `to` (an
// object of the same class), or only those named. The option objects take
// their defaults from a fresh object this way, so each is written once, at
// its member.
void lyrCopyProperties(const QObject &from, QObject &to, std::initializer_list<const char *> only = {});

class TlyrEngineOptions : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool ConvertNulls MEMBER ConvertNulls_)
    Q_PROPERTY(bool DoublePass MEMBER DoublePass_)
    Q_PROPERTY(int MaxMemSize MEMBER MaxMemSize_)
    Q_PROPERTY(bool PrintIfEmpty MEMBER PrintIfEmpty_)
    Q_PROPERTY(SilentModeKind NewSilentMode READ NewSilentModeKind WRITE SetNewSilentModeKind)
    Q_PROPERTY(bool SilentMode READ SilentMode WRITE SetSilentMode STORED false)
    Q_PROPERTY(QString TempDir MEMBER TempDir_)
    Q_PROPERTY(bool UseFileCache MEMBER UseFileCache_)
    Q_CLASSINFO("Default:ConvertNulls", "true")
    Q_CLASSINFO("Default:DoublePass", "false")
    Q_CLASSINFO("Default:MaxMemSize", "10")
    Q_CLASSINFO("Default:PrintIfEmpty", "true")
    Q_CLASSINFO("Default:NewSilentMode", "simMessageBoxes")
    Q_CLASSINFO("Default:UseFileCache", "false")
public:
    enum SilentModeKind { simMessageBoxes, simSilent, simReThrow };
    Q_ENUM(SilentModeKind)

    bool ConvertNulls() const { return ConvertNulls_; }
    void SetConvertNulls(bool v) { ConvertNulls_ = v; }
    bool DoublePass() const { return DoublePass_; }
    void SetDoublePass(bool v) { DoublePass_ = v; }
    TlyrSilentMode NewSilentMode() const { return static_cast<TlyrSilentMode>(mode_); }
    void SetNewSilentMode(TlyrSilentMode v) { mode_ = static_cast<SilentModeKind>(v); }
    SilentModeKind NewSilentModeKind() const { return mode_; }
    void SetNewSilentModeKind(SilentModeKind v) { mode_ = v; }
    bool SilentMode() const { return mode_ == simSilent; }
    void SetSilentMode(bool v) { mode_ = v ? simSilent : simMessageBoxes; }
    int MaxMemSize() const { return MaxMemSize_; }
    bool PrintIfEmpty() const { return PrintIfEmpty_; }
    QString TempDir() const { return TempDir_; }
    bool UseFileCache() const { return UseFileCache_; }
    // Not published.
    bool RestoreTemplate() const { return restoreTemplate_; }
    void SetRestoreTemplate(bool v) { restoreTemplate_ = v; }
    bool ThreadSafeMode() const { return threadSafe_; }
    void SetThreadSafeMode(bool v) { threadSafe_ = v; }

    // Copies the published values (not the two flags).
    void Assign(const TlyrEngineOptions &o);
    void Clear();

private:
    bool ConvertNulls_ = true;
    bool DoublePass_ = false;
    int MaxMemSize_ = 10;
    bool PrintIfEmpty_ = true;
    SilentModeKind mode_ = simMessageBoxes;
    QString TempDir_;
    bool UseFileCache_ = false;
    bool restoreTemplate_ = true;
    bool threadSafe_ = false;
};

class TlyrPreviewOptions : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool AllowEdit MEMBER AllowEdit)
    Q_PROPERTY(int Buttons MEMBER Buttons)
    Q_PROPERTY(bool DoubleBuffered MEMBER DoubleBuffered)
    Q_PROPERTY(bool Maximized MEMBER Maximized)
    Q_PROPERTY(bool MDIChild MEMBER MDIChild)
    Q_PROPERTY(bool Modal MEMBER Modal)
    Q_PROPERTY(bool OutlineExpand MEMBER OutlineExpand)
    Q_PROPERTY(bool OutlineVisible MEMBER OutlineVisible)
    Q_PROPERTY(int OutlineWidth MEMBER OutlineWidth)
    Q_PROPERTY(int PagesInCache MEMBER PagesInCache)
    Q_PROPERTY(bool ShowCaptions MEMBER ShowCaptions)
    Q_PROPERTY(bool ThumbnailVisible MEMBER ThumbnailVisible)
    Q_PROPERTY(double Zoom MEMBER Zoom)
    Q_PROPERTY(TlyrZoomMode ZoomMode MEMBER ZoomMode)
    Q_CLASSINFO("Default:AllowEdit", "true")
    Q_CLASSINFO("Default:Buttons", "4095")
    Q_CLASSINFO("Default:DoubleBuffered", "true")
    Q_CLASSINFO("Default:Maximized", "true")
    Q_CLASSINFO("Default:MDIChild", "false")
    Q_CLASSINFO("Default:Modal", "true")
    Q_CLASSINFO("Default:OutlineExpand", "true")
    Q_CLASSINFO("Default:OutlineVisible", "false")
    Q_CLASSINFO("Default:OutlineWidth", "120")
    Q_CLASSINFO("Default:PagesInCache", "50")
    Q_CLASSINFO("Default:ShowCaptions", "false")
    Q_CLASSINFO("Default:ThumbnailVisible", "false")
    Q_CLASSINFO("Default:ZoomMode", "zmDefault")
public:
    enum TlyrZoomMode { zmDefault, zmWholePage, zmPageWidth, zmManyPages };
    Q_ENUM(TlyrZoomMode)
    // Bits of Buttons.
    enum Button {
        pbPrint = 1,
        pbLoad = 2,
        pbSave = 4,
        pbExport = 8,
        pbZoom = 16,
        pbFind = 32,
        pbOutline = 64,
        pbPageSetup = 128,
        pbTools = 256,
        pbEdit = 512,
        pbNavigator = 1024,
        pbExportQuick = 2048,
        pbNoClose = 4096,
        pbNoFullScreen = 8192,
        pbNoEmail = 16384
    };

    bool AllowEdit = true;
    int Buttons = 4095;
    bool DoubleBuffered = true;
    bool Maximized = true;
    bool MDIChild = false;
    bool Modal = true;
    bool OutlineExpand = true;
    bool OutlineVisible = false;
    int OutlineWidth = 120;
    int PagesInCache = 50;
    bool ShowCaptions = false;
    bool ThumbnailVisible = false;
    double Zoom = 1.0;
    TlyrZoomMode ZoomMode = zmDefault;

    void Assign(const TlyrPreviewOptions &o);
    void Clear();
};

class TlyrPrintOptions : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Copies MEMBER Copies)
    Q_PROPERTY(bool Collate MEMBER Collate)
    Q_PROPERTY(QString PageNumbers MEMBER PageNumbers)
    Q_PROPERTY(QString Printer MEMBER Printer)
    Q_PROPERTY(PrintModeKind PrintMode MEMBER PrintMode)
    Q_PROPERTY(int PrintOnSheet MEMBER PrintOnSheet)
    Q_PROPERTY(TlyrPrintPages PrintPages MEMBER PrintPages)
    Q_PROPERTY(bool Reverse MEMBER Reverse)
    Q_PROPERTY(bool ShowDialog MEMBER ShowDialog)
    Q_CLASSINFO("Default:Copies", "1")
    Q_CLASSINFO("Default:Collate", "true")
    Q_CLASSINFO("Default:PrintMode", "pmDefault")
    Q_CLASSINFO("Default:PrintOnSheet", "0")
    Q_CLASSINFO("Default:PrintPages", "ppAll")
    Q_CLASSINFO("Default:Reverse", "false")
    Q_CLASSINFO("Default:ShowDialog", "true")
public:
    enum PrintModeKind { pmDefault, pmSplit, pmJoin, pmScale };
    Q_ENUM(PrintModeKind)
    enum TlyrPrintPages { ppAll, ppOdd, ppEven };
    Q_ENUM(TlyrPrintPages)

    TlyrPrintOptions();
    int Copies = 1;
    bool Collate = true;
    QString PageNumbers;
    QString Printer;
    PrintModeKind PrintMode = pmDefault;
    int PrintOnSheet = 0;
    TlyrPrintPages PrintPages = ppAll;
    bool Reverse = false;
    bool ShowDialog = true;
    int Hidden = 0;

    void Assign(const TlyrPrintOptions &o);
    void Clear();
};

class TlyrReportOptions : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Author MEMBER Author)
    Q_PROPERTY(bool Compressed MEMBER Compressed)
    Q_PROPERTY(QString ConnectionName MEMBER ConnectionName)
    Q_PROPERTY(double CreateDate MEMBER CreateDate)
    Q_PROPERTY(QStringList Description MEMBER Description)
    Q_PROPERTY(QString InitString MEMBER InitString)
    Q_PROPERTY(QString Name MEMBER Name)
    Q_PROPERTY(double LastChange MEMBER LastChange)
    Q_PROPERTY(QString Password MEMBER Password)
    Q_PROPERTY(QString VersionBuild MEMBER VersionBuild)
    Q_PROPERTY(QString VersionMajor MEMBER VersionMajor)
    Q_PROPERTY(QString VersionMinor MEMBER VersionMinor)
    Q_PROPERTY(QString VersionRelease MEMBER VersionRelease)
    Q_CLASSINFO("Default:Compressed", "false")
public:
    explicit TlyrReportOptions(TlyrReport *report = nullptr);
    ~TlyrReportOptions() override;
    TlyrReport *Report;
    // The report's picture (made on first use; empty until loaded).
    TlyrPictureView *Picture() const;
    QString Author;
    bool Compressed = false;
    QString ConnectionName;
    double CreateDate = lyrNow();
    QStringList Description;
    QString InitString;
    QString Name;
    double LastChange = CreateDate;
    QString Password;
    QString VersionBuild, VersionMajor, VersionMinor, VersionRelease;
    // The password the user last typed successfully.
    QString EnteredPassword;

    void Clear();

private:
    mutable std::unique_ptr<TlyrPictureView> picture_;
};

// A named style: colour, font and frame.
class TlyrStyleItem {
public:
    TlyrStyleItem();
    ~TlyrStyleItem();
    QString Name;
    int Color = 0x1FFFFFFF;
    std::unique_ptr<TlyrFont> Font;
    std::unique_ptr<TlyrFrame> Frame;
    void Assign(const TlyrStyleItem &o);
};

class TlyrStyles {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    TlyrStyleItem *Items(int i) const { return items_.at(static_cast<size_t>(i)).get(); }
    TlyrStyleItem *Add();
    // Raises ElyrError "Duplicate name" when another style has the name.
    void SetName(TlyrStyleItem *item, const QString &name);
    TlyrStyleItem *Find(const QString &name) const;
    void Clear() { items_.clear(); }

private:
    std::vector<std::unique_ptr<TlyrStyleItem>> items_;
};

// Handlers nothing in this program assigns; with none assigned the report
// behaves as without them.
struct TlyrCompatibilityHooks {
    std::function<bool(TlyrReport *, const QString &name, KsValue &value)> OnGetValue;
    std::function<void(TlyrReport *)> OnPrepareScript;
    std::function<bool(TlyrReport *, QIODevice &stream)> OnLoad;
    std::function<bool(TlyrReport *, const QString &name, KsValue &value)> OnUnresolved;
};
TlyrCompatibilityHooks &lyrCompatibilityHooks();

// Selects a printer by name when the printer list (a higher layer) has it.
std::function<void(const QString &name)> &lyrSelectPrinterHook();

// The text with each expression between open and close replaced by what
// evaluate gives for it, in one pass over the text. The event loop turns now
// and then, so Esc or a stop signal reaches the report; once it is stopped
// the rest of the text stays as it is.
QString lyrExpandExpressions(TlyrReport *report, const QString &source, const QString &open, const QString &close,
                             const std::function<QString(const QString &expr)> &evaluate);

// Compiled expressions of a run: each text once, as function "ly3f" + N of
// the report's script language.
class TlyrExpressionCache {
public:
    explicit TlyrExpressionCache(TksScript *script) : script_(script) {}
    ~TlyrExpressionCache();
    void Clear();
    QString Language;
    // errorMsg is empty on success.
    void Calc(const QString &expr, QString &errorMsg, KsValue &value, TksScript *script);
    // Number of compilations since the last Clear.
    int CompileCount() const { return compiles_; }
    int Count() const { return static_cast<int>(entries_.size()); }

private:
    // "Error in expression 'expr': message".
    static QString exprError(const QString &expr, const QString &message);
    struct Entry {
        std::unique_ptr<TksScript> Script;
        TksProcVariable *Func = nullptr;
    };
    TksScript *script_;
    QMap<QString, std::shared_ptr<Entry>> entries_;
    int compiles_ = 0;
};

class TlyrReport : public TlyrComponent {
    Q_OBJECT
    Q_PROPERTY(QString ParentReport READ ParentReport WRITE SetParentReport)
    Q_PROPERTY(TlyrDataSet *DataSet READ DataSet WRITE SetDataSet)
    Q_PROPERTY(QString DataSetName READ DataSetName WRITE SetDataSetName)
    Q_PROPERTY(bool DotMatrixReport READ DotMatrixReport WRITE SetDotMatrixReport)
    Q_PROPERTY(TlyrEngineOptions *EngineOptions READ EngineOptions)
    Q_PROPERTY(QString IniFile READ IniFile WRITE SetIniFile)
    Q_PROPERTY(bool OldStyleProgress READ OldStyleProgress WRITE SetOldStyleProgress)
    Q_PROPERTY(TlyrPreviewOptions *PreviewOptions READ PreviewOptions)
    Q_PROPERTY(TlyrPrintOptions *PrintOptions READ PrintOptions)
    Q_PROPERTY(TlyrReportOptions *ReportOptions READ ReportOptions)
    Q_PROPERTY(QString ScriptLanguage READ ScriptLanguage WRITE SetScriptLanguage)
    Q_PROPERTY(QStringList ScriptText READ ScriptText WRITE SetScriptText)
    Q_PROPERTY(bool ShowProgress READ ShowProgress WRITE SetShowProgress)
    Q_PROPERTY(bool StoreInDFM READ StoreInDFM WRITE SetStoreInDFM)
    Q_PROPERTY(QString Version READ Version WRITE SetVersion)
    Q_PROPERTY(QString OnRunDialogs READ OnRunDialogs WRITE SetOnRunDialogs)
    Q_PROPERTY(QString OnStartReport READ OnStartReport WRITE SetOnStartReport)
    Q_PROPERTY(QString OnStopReport READ OnStopReport WRITE SetOnStopReport)
    Q_PROPERTY(bool Terminated READ Terminated WRITE SetTerminated STORED false)
    Q_CLASSINFO("Default:DotMatrixReport", "false")
    Q_CLASSINFO("Default:ScriptLanguage", "PascalScript")
    Q_CLASSINFO("Default:OldStyleProgress", "false")
    Q_CLASSINFO("Default:ShowProgress", "true")
    Q_CLASSINFO("Default:StoreInDFM", "true")
public:
    Q_INVOKABLE explicit TlyrReport(QObject *owner = nullptr);
    ~TlyrReport() override;

    // ---- properties
    QString ParentReport() const { return parentReport_; }
    // Loads the ancestor template (see TlyrComponent) and keeps a copy.
    void SetParentReport(const QString &value);
    TlyrReport *ParentReportObject() const { return parentReportObject_.get(); }
    TlyrDataSet *DataSet() const { return dataSet_.data(); }
    void SetDataSet(TlyrDataSet *ds);
    QString DataSetName() const;
    void SetDataSetName(const QString &name);
    bool DotMatrixReport() const { return dotMatrix_; }
    void SetDotMatrixReport(bool v) { dotMatrix_ = v; }
    TlyrEngineOptions *EngineOptions() const { return engineOptions_; }
    TlyrPreviewOptions *PreviewOptions() const { return previewOptions_; }
    TlyrPrintOptions *PrintOptions() const { return printOptions_; }
    TlyrReportOptions *ReportOptions() const { return reportOptions_; }
    QString IniFile() const { return iniFile_; }
    void SetIniFile(const QString &v) { iniFile_ = v; }
    bool OldStyleProgress() const { return oldStyleProgress_; }
    void SetOldStyleProgress(bool v) { oldStyleProgress_ = v; }
    QString ScriptLanguage() const { return scriptLanguage_; }
    void SetScriptLanguage(const QString &v) { scriptLanguage_ = v; }
    QStringList ScriptText() const { return scriptText_; }
    void SetScriptText(const QStringList &v) { scriptText_ = v; }
    bool ShowProgress() const { return showProgress_; }
    void SetShowProgress(bool v) { showProgress_ = v; }
    bool StoreInDFM() const { return storeInDFM_; }
    void SetStoreInDFM(bool v) { storeInDFM_ = v; }
    // Always "4.3".
    QString Version() const { return QStringLiteral("4.3"); }
    void SetVersion(const QString &) {}
    QString OnRunDialogs() const { return onRunDialogs_; }
    void SetOnRunDialogs(const QString &v) { onRunDialogs_ = v; }
    QString OnStartReport() const { return onStartReport_; }
    void SetOnStartReport(const QString &v) { onStartReport_ = v; }
    QString OnStopReport() const { return onStopReport_; }
    void SetOnStopReport(const QString &v) { onStopReport_ = v; }
    bool Terminated() const { return terminated_; }
    // True also stops a running script.
    void SetTerminated(bool v);

    QString FileName;
    QString CurObject;
    bool Reloading = false;
    QIODevice *LoadStream = nullptr;
    // The serializer reading this report's template right now.
    TlyrXMLSerializer *SerializerInUse = nullptr;
    // While a template loads: the objects by upper-cased name, so that
    // name checks and look-ups do not walk the tree for every object.
    QHash<QString, QPointer<TlyrComponent>> *NameIndex = nullptr;
    // Objects to put back in place of their elements while a template
    // loads (see TlyrXMLSerializer::Kept).
    QHash<QString, TlyrKeptObject> *KeptOnLoad = nullptr;
    // An object of the report by name (the index while loading).
    TlyrComponent *FindByName(const QString &name) const;
    // True from the start of PrepareReport until the template is restored:
    // the template must then not be loaded, cleared or freed.
    bool Building() const { return building_; }
    // Raises ElyrError naming the action while the report is being built.
    void CheckNotBuilding(const QString &action) const;
    QStringList ClickList;

    TlyrReportDataSets *Datasets() const { return datasets_.get(); }
    TlyrVariables *Variables() const { return variables_.get(); }
    TlyrStyles *Styles() const { return styles_.get(); }
    const QStringList &SysVariables() const { return sysVariables_; }
    TksScript *Script() const { return script_.get(); }
    TlyrExpressionCache *ExpressionCache() const { return expressionCache_.get(); }
    TlyrCustomEngine *Engine() const { return engine_.get(); }
    TlyrCustomPreviewPages *PreviewPages() const { return previewPages_.get(); }
    TlyrCustomPreview *Preview() const { return preview_.data(); }
    void SetPreview(TlyrCustomPreview *value);
    TlyrCustomPreviewForm *PreviewForm() const { return previewForm_.data(); }
    QTimer *Timer() const { return timer_; }
    TksCustomVariable *ValueVariable() const { return valueVariable_; }
    // The report's own text layout object (made when first asked for).
    TlyrDrawText &DrawTextObject();

    // ---- errors (sorted, duplicates ignored)
    const QStringList &Errors() const { return errors_; }
    void AddError(const QString &text);
    void AddErrors(const QStringList &lines);
    void ClearErrors() { errors_.clear(); }

    // ---- events of the program
    std::function<void(TlyrComponent *)> OnBeforePrintEvent, OnAfterPrintEvent;
    std::function<void()> OnBeginDoc, OnEndDoc, OnPreview, OnAfterPrintReport, OnPrintReport, OnClosePreview;
    std::function<void(const QString &name, KsValue &value)> OnGetValue;
    // A host function declared with AddFunction, called by an expression or
    // the script: its name in capitals and its arguments (var parameters
    // written back); the result.
    std::function<KsValue(const QString &methodName, QList<KsValue> &params)> OnUserFunction;
    std::function<bool(TlyrReport *, const QString &templateName)> OnLoadTemplate;
    // Before a database object of the report connects; clearing connected
    // keeps it closed.
    std::function<void(TlyrCustomDatabase *database, bool &connected)> OnBeforeConnect;
    std::function<void(TlyrReport *, TlyrProgressType, int)> OnProgressStart, OnProgress, OnProgressStop;
    std::function<void(TlyrComponent *view, int button, int shift, bool &modified)> OnClickObject;
    // The mouse is over a view of a page in the preview.
    std::function<void(TlyrComponent *view)> OnMouseOverObject;
    // Before each printed page, with the copy being printed.
    std::function<void(TlyrReportPage *page, int copyNo)> OnPrintPage;
    // Builds a report page itself (through the engine's ShowBand, NewPage,
    // NewColumn) instead of its data loops.
    std::function<void(TlyrReportPage *page)> OnManualBuild;

    // ---- template
    void Clear() override;
    QString GetDescription() const override;
    int PagesCount() const { return static_cast<int>(Objects().size()); }
    TlyrPage *Pages(int i) const;
    // A file that does not exist leaves the report as it was (False, or the
    // error with exceptionIfNotFound); False too when it could not be read.
    bool LoadFromFile(const QString &fileName, bool exceptionIfNotFound = false);
    void SaveToFile(const QString &fileName);
    void LoadFromStream(QIODevice &stream) override;
    void SaveToStream(QIODevice &stream, bool saveChildren = true, bool saveDefaultValues = false) override;
    void WriteData(TlyrPropWriter &writer, TlyrXMLSerializer &serializer) const override;
    bool ReadData(const QByteArray &name, TlyrPropReader &reader, TlyrXMLSerializer &serializer) override;
    // The settings store named by IniFile: the native store under that key
    // when it starts with "\\Software\\", else an ini file of that name.
    std::unique_ptr<QSettings> GetIniFile() const;
    // Current directory in design state, else the program's folder ("/" end).
    QString GetApplicationFolder() const;
    TlyrDataSet *GetDataset(const QString &alias) const;
    // Splits `alias."field"` at the first `."`; false when the alias is no
    // dataset of the report.
    bool GetDataSetAndField(const QString &complexName, TlyrDataSet *&dataSet, QString &field) const;

    // ---- running
    bool PrepareReport(bool clearLastReport = true);
    void ShowReport(bool clearLastReport = true);
    void ShowPreparedReport();
    bool PrepareScript();
    // Bare names directly, anything else compiled once (see TlyrExpressionCache).
    // An expression error is added to Errors and raised as ElyrError.
    KsValue Calc(const QString &expr, TksScript *script = nullptr);
    bool DoGetValue(const QString &name, KsValue &value);
    // Set by every read of the page number ("Page#" or "Page").
    bool PageNumberRead = false;
    // An expression that read the page number in output that may still move
    // to another page: the mark it prints until the output lands, and the
    // text it prints there, from the other values it read now. format turns
    // the value into text.
    QString DeferPageExpression(const QString &expression, std::function<QString(const KsValue &)> format);
    QString PageExpressionText(int id, int page, int logicalPage);
    void DoNotifyEvent(QObject *obj, const QString &eventName, bool runAlways = false);
    void DoParamEvent(const QString &eventName, KsValue &params, bool runAlways = false);
    void DoBeforePrint(TlyrReportComponent *obj);
    void DoAfterPrint(TlyrReportComponent *obj);
    void DoPreviewClick(TlyrReportComponent *view, int button, int shift, bool &modified);
    // Declares a host function (a script declaration such as "function
    // Tax(Amount: Extended): Extended") that OnUserFunction carries out.
    void AddFunction(const QString &declaration, const QString &category = QString(),
                     const QString &description = QString());
    void DoBeforeConnect(TlyrCustomDatabase *database, bool &connected);
    virtual void DoProgressStart(TlyrProgressType type);
    virtual void DoProgress(TlyrProgressType type, int progress);
    virtual void DoProgressStop(TlyrProgressType type);
    // Between progress steps: pending window messages are handled and a
    // Cancel pressed on the progress window stops the build.
    void KeepResponsive();
    void SetProgressMessage(const QString &text);
    void DesignReport() {}
    // Makes PrintOptions.Printer the current printer when it is installed.
    void SelectPrinter();
    bool DesignPreviewPage() { return false; }

private:
    void reportErrors();
    void installEngine();
    void applyDataPageRule();
    void rebindScriptObjects();
    KsValue callMacro(const QString &name, TksMethodHelper *caller);
    bool lookUpValue(const QString &name, KsValue &value);
    static QString shiftPassword(const QString &text, int delta);

    QString parentReport_;
    std::unique_ptr<TlyrReport> parentReportObject_;
    QPointer<TlyrDataSet> dataSet_;
    QString dataSetName_;
    bool dotMatrix_ = false;
    TlyrEngineOptions *engineOptions_;
    TlyrPreviewOptions *previewOptions_;
    TlyrPrintOptions *printOptions_;
    TlyrReportOptions *reportOptions_;
    struct UserFunction {
        QString Declaration, Category, Description;
    };
    std::vector<UserFunction> userFunctions_;
    QString iniFile_;
    bool oldStyleProgress_ = false;
    QString scriptLanguage_;
    QStringList scriptText_;
    bool showProgress_ = true;
    bool storeInDFM_ = true;
    QString onRunDialogs_, onStartReport_, onStopReport_;
    bool terminated_ = false;
    bool building_ = false;
    // An exception ended the last load early.
    bool loadFailed_ = false;

    std::unique_ptr<TlyrReportDataSets> datasets_;
    std::unique_ptr<TlyrVariables> variables_;
    std::unique_ptr<TlyrStyles> styles_;
    QStringList sysVariables_;
    QStringList errors_;
    std::unique_ptr<TksScript> script_;
    std::unique_ptr<TlyrExpressionCache> expressionCache_;
    std::unique_ptr<TlyrCustomEngine> engine_;
    std::unique_ptr<TlyrCustomPreviewPages> previewPages_;
    QPointer<TlyrCustomPreview> preview_;
    QPointer<TlyrCustomPreviewForm> previewForm_;
    std::unique_ptr<TlyrCustomProgress> progress_;
    QTimer *timer_;
    TksCustomVariable *valueVariable_ = nullptr;
    std::unique_ptr<TlyrDrawText> drawText_;
    // Report variables being evaluated (guards self-reference).
    QStringList evaluating_;
    struct PageExpression {
        QString Expression, Object;
        std::function<QString(const KsValue &)> Format;
        // Values read by name (upper case), and aggregates by their call.
        QHash<QString, KsValue> Values;
    };
    std::vector<PageExpression> pageExpressions_;
    // Where values read are noted, and the expression being printed where
    // it landed with its page numbers.
    QHash<QString, KsValue> *recording_ = nullptr;
    const PageExpression *replaying_ = nullptr;
    int replayPage_ = 0, replayLogicalPage_ = 0;
};
