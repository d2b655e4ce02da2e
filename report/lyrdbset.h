#pragma once
// Report datasets: a user-visible name (UserName, as in lyrDB_TM."theName"),
// a record cursor with a range, and field access by name. TlyrDBDataset
// walks one of the program's queries (vdb::Query) and gives typed values:
// numbers as numbers, texts as texts, bits as Booleans.
//
// Every dataset is listed in one global list (guarded by its own lock),
// through which DataSetName settings find datasets by UserName.

#include "report/lyrcomponent.h"
#include "script/ksvalue.h"

#include <QHash>
#include <QIODevice>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace vdb {
class Query;
}

class TlyrDataSet : public TlyrDialogComponent {
    Q_OBJECT
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(TlyrRangeBegin RangeBegin READ RangeBegin WRITE SetRangeBegin)
    Q_PROPERTY(TlyrRangeEnd RangeEnd READ RangeEnd WRITE SetRangeEnd)
    Q_PROPERTY(int RangeEndCount READ RangeEndCount WRITE SetRangeEndCount)
    Q_PROPERTY(QString UserName READ UserName WRITE SetUserName)
    Q_CLASSINFO("Default:Enabled", "true")
    Q_CLASSINFO("Default:RangeBegin", "rbFirst")
    Q_CLASSINFO("Default:RangeEnd", "reLast")
    Q_CLASSINFO("Default:RangeEndCount", "0")
public:
    enum TlyrRangeBegin { rbFirst, rbCurrent };
    Q_ENUM(TlyrRangeBegin)
    enum TlyrRangeEnd { reLast, reCurrent, reCount };
    Q_ENUM(TlyrRangeEnd)
    // Field types of GetFieldType.
    enum FieldType { ftNumeric = 0, ftString = 1, ftBoolean = 2 };

    explicit TlyrDataSet(QObject *owner = nullptr);
    ~TlyrDataSet() override;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v) { enabled_ = v; }
    TlyrRangeBegin RangeBegin() const { return rangeBegin_; }
    void SetRangeBegin(TlyrRangeBegin v) { rangeBegin_ = v; }
    TlyrRangeEnd RangeEnd() const { return rangeEnd_; }
    void SetRangeEnd(TlyrRangeEnd v) { rangeEnd_ = v; }
    int RangeEndCount() const { return rangeEndCount_; }
    void SetRangeEndCount(int v) { rangeEndCount_ = v; }
    QString UserName() const { return userName_; }
    // Raises ElyrError "prInvProp" for a text that is empty after trimming.
    virtual void SetUserName(const QString &value);
    int RecNo() const { return recNo_; }
    // Set when the report's dataset list is initialised.
    TlyrReport *OwnerReport = nullptr;

    std::function<void(TlyrDataSet *, bool &eof)> OnCheckEOF;
    std::function<void(TlyrDataSet *)> OnFirst, OnNext, OnPrior, OnOpen, OnClose;

    // UserName follows the component name while the two were equal.
    void SetName(const QString &value) override;

    virtual QString GetDisplayText(const QString &fieldName);
    virtual int GetDisplayWidth(const QString &fieldName);
    virtual int GetFieldType(const QString &fieldName);
    virtual KsValue GetValue(const QString &fieldName);
    virtual void Initialize() {}
    virtual void Finalize() {}
    virtual void Open();
    virtual void Close();
    virtual void First();
    virtual void Next();
    virtual void Prior();
    virtual bool Eof();
    virtual int FieldsCount() { return 0; }
    virtual bool IsBlobField(const QString &) { return false; }
    // The content of a BLOB field: its bytes into a stream, its text into lines.
    virtual void AssignBlobTo(const QString &, QIODevice &) {}
    virtual void AssignBlobTo(const QString &, QStringList &) {}
    virtual int RecordCount();
    virtual void GetFieldList(QStringList &list) { list.clear(); }
    bool HasField(const QString &fieldName);

protected:
    bool endFlag_ = false;
    int recNo_ = 0;

private:
    bool enabled_ = true;
    TlyrRangeBegin rangeBegin_ = rbFirst;
    TlyrRangeEnd rangeEnd_ = reLast;
    int rangeEndCount_ = 0;
    QString userName_;
};

// Data delivered through an event.
// "Field not found: Name."field"": the error of a field a dataset lacks.
QString lyrFieldNotFoundText(const TlyrDataSet *dataSet, const QString &fieldName);

class TlyrUserDataSet : public TlyrDataSet {
    Q_OBJECT
    Q_PROPERTY(QStringList Fields READ Fields WRITE SetFields)
public:
    Q_INVOKABLE explicit TlyrUserDataSet(QObject *owner = nullptr) : TlyrDataSet(owner) {}
    QStringList Fields() const { return fields_; }
    void SetFields(const QStringList &v) { fields_ = v; }
    std::function<void(const QString &name, KsValue &value)> OnGetValue;

    void GetFieldList(QStringList &list) override { list = fields_; }
    int FieldsCount() override { return static_cast<int>(fields_.size()); }
    KsValue GetValue(const QString &fieldName) override;
    QString GetDisplayText(const QString &fieldName) override;

private:
    QStringList fields_;
};

class TlyrCustomDBDataSet : public TlyrDataSet {
    Q_OBJECT
    Q_PROPERTY(bool CloseDataSource READ CloseDataSource WRITE SetCloseDataSource)
    Q_PROPERTY(QStringList FieldAliases READ FieldAliases WRITE SetFieldAliases)
    Q_PROPERTY(bool OpenDataSource READ OpenDataSource WRITE SetOpenDataSource)
    Q_CLASSINFO("Default:CloseDataSource", "false")
    Q_CLASSINFO("Default:OpenDataSource", "true")
public:
    explicit TlyrCustomDBDataSet(QObject *owner = nullptr) : TlyrDataSet(owner) {}
    bool CloseDataSource() const { return closeDataSource_; }
    void SetCloseDataSource(bool v) { closeDataSource_ = v; }
    bool OpenDataSource() const { return openDataSource_; }
    void SetOpenDataSource(bool v) { openDataSource_ = v; }
    // Lines "sourceField=alias"; a field name starting with "-" is hidden.
    QStringList FieldAliases() const { return fieldAliases_; }
    void SetFieldAliases(const QStringList &v) { fieldAliases_ = v; }
    // The source field of an alias (the alias itself without a line).
    QString SourceFieldName(const QString &alias) const;

private:
    bool closeDataSource_ = false;
    bool openDataSource_ = true;
    QStringList fieldAliases_;
};

// A report dataset over a query of the program.
class TlyrDBDataset : public TlyrCustomDBDataSet {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TlyrDBDataset(QObject *owner = nullptr) : TlyrCustomDBDataSet(owner) {}
    ~TlyrDBDataset() override;

    // The query walked; not owned (the program keeps its queries). A query
    // freed since leaves the dataset without one.
    vdb::Query *DataSet() const { return alive_ && *alive_ ? dataSet_ : nullptr; }
    void SetDataSet(vdb::Query *q);

    // Raises ElyrError "dbNotConn" without a query.
    void Initialize() override;
    void Finalize() override;
    void Open() override;
    void Close() override;
    void First() override;
    void Next() override;
    void Prior() override;
    bool Eof() override;
    void GetFieldList(QStringList &list) override;
    int FieldsCount() override;
    KsValue GetValue(const QString &fieldName) override;
    QString GetDisplayText(const QString &fieldName) override;
    int GetDisplayWidth(const QString &fieldName) override;
    int GetFieldType(const QString &fieldName) override;
    bool IsBlobField(const QString &fieldName) override;
    void AssignBlobTo(const QString &fieldName, QIODevice &stream) override;
    void AssignBlobTo(const QString &fieldName, QStringList &lines) override;
    int RecordCount() override;

private:
    // Lets go of a query that was freed.
    void forgetFreedSource();
    // The bytes of a BLOB field of the current record (empty when none).
    QByteArray blob(const QString &fieldName);
    void ensureOpen();
    void rebuildFieldCache();
    // Column of the source for a visible name; -1 when not in the cache.
    int cachedColumn(const QString &name);
    QString notFoundText(const QString &fieldName) const;
    void reportNotFound(const QString &fieldName);

    vdb::Query *dataSet_ = nullptr;
    vdb::Query *source_ = nullptr;
    std::shared_ptr<const bool> alive_;
    bool hasSaved_ = false;
    int savedBookmark_ = 0;
    bool opened_ = false;
    bool passed_ = false;
    // Visible name (upper-cased) -> source column (-1: the source lacks it).
    QHash<QString, int> cache_;
    QStringList cachedSourceNames_;
};

// A database component; no database class exists in this system.
class TlyrCustomDatabase : public TlyrDialogComponent {
    Q_OBJECT
public:
    explicit TlyrCustomDatabase(QObject *owner = nullptr) : TlyrDialogComponent(owner) {}
    virtual void SetConnected(bool) {}
    virtual bool Connected() { return false; }
    virtual QString DatabaseName() { return QString(); }
    virtual void SetDatabaseName(const QString &) {}
    virtual void SetLogin(const QString &, const QString &) {}
    virtual bool LoginPrompt() { return false; }
    virtual void SetLoginPrompt(bool) {}
    virtual QStringList Params() { return {}; }
    virtual int DatabaseCount() { return 0; }
    // Connects, after the report's OnBeforeConnect has had its say.
    void Connect();
};

// One entry of a report's dataset list.
class TlyrDataSetItem {
public:
    TlyrDataSet *DataSet() const { return dataSet_.data(); }
    // Stores the dataset's UserName as the name.
    void SetDataSet(TlyrDataSet *ds);
    // The dataset's UserName while one is set, else the stored name.
    QString DataSetName() const;
    // Stores the name and resolves it through the global list.
    void SetDataSetName(const QString &name, TlyrReport *report);

private:
    QPointer<TlyrDataSet> dataSet_;
    QString name_;
};

class TlyrReportDataSets {
public:
    explicit TlyrReportDataSets(TlyrReport *report) : report_(report) {}
    int Count() const { return static_cast<int>(items_.size()); }
    TlyrDataSetItem *Items(int i) const { return items_.at(static_cast<size_t>(i)).get(); }
    TlyrDataSetItem *Add();
    void Add(TlyrDataSet *ds) { Add()->SetDataSet(ds); }
    void Delete(int i);
    void Clear() { items_.clear(); }
    TlyrDataSetItem *Find(const TlyrDataSet *ds) const;
    // The entry whose dataset's UserName is name (case-insensitive).
    TlyrDataSetItem *Find(const QString &name) const;
    // Links each dataset to the report, then initialises it.
    void Initialize();
    void Finalize();
    TlyrReport *Report() const { return report_; }

private:
    TlyrReport *report_;
    std::vector<std::unique_ptr<TlyrDataSetItem>> items_;
};

// The global lookup of DataSetName settings: nil for an empty name; without
// a report the current dataset stays; else the first dataset of that
// UserName that belongs to no report or to this one (or the current one
// when none does).
TlyrDataSet *lyrFindDataSet(TlyrDataSet *current, const QString &name, const TlyrReport *report);
// A dataset by component name (the references of templates).
TlyrDataSet *lyrFindDataSetByComponentName(const QString &name, const TlyrReport *report);
// Removes a dataset that is being freed from every report's list.
void lyrNotifyDataSetRemoved(TlyrDataSet *ds);
// A snapshot of the global list.
QList<TlyrDataSet *> lyrGlobalDataSets();
