// General run-time classes for scripts: persistent objects, components,
// collections, object lists, string lists and streams, and the binding
// module that publishes them.
#pragma once

#include "script/ks_iinterpreter.h"
#include "platform/safefile.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class TPersistent : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TPersistent(QObject *parent = nullptr) : QObject(parent) {}
    // Copies Source into this object; raises when the classes do not fit.
    void Assign(QObject *source);

protected:
    // True when this class knows how to copy `source`.
    virtual bool AssignFrom(QObject *source);
};

class TComponent : public TPersistent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TComponent(QObject *parent = nullptr) : TPersistent(parent) {}
    // Frees what it owns one by one, deepest first: a chain of owners may be
    // far deeper than the stack that QObject's recursion would take.
    ~TComponent() override;
    QObject *Owner() const { return parent(); }
    // What the script's Create(AOwner) does: the owner frees the component.
    // Classes with a tree of their own join it there.
    virtual void SetOwner(QObject *owner) { setParent(owner); }
};

class TCollectionItem : public TPersistent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TCollectionItem(QObject *parent = nullptr) : TPersistent(parent) {}
};

// Owns its items (children); items freed elsewhere leave the list.
class TCollection : public TPersistent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TCollection(QObject *parent = nullptr) : TPersistent(parent) {}
    ~TCollection() override { Clear(); }
    TCollectionItem *Add();
    void Clear();
    int Count() const { return int(FItems.size()); }
    TCollectionItem *Items(int i) const;

private:
    std::vector<TCollectionItem *> FItems;
    void Forget(QObject *o);
};

// A list of object references (not owned).
class TList : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TList(QObject *parent = nullptr) : QObject(parent) {}
    int Add(const KsValue &item);
    void Clear() { FItems.clear(); }
    void Delete(int index);
    int IndexOf(const KsValue &item) const;
    void Insert(int index, const KsValue &item);
    int Remove(const KsValue &item);
    int Count() const { return int(FItems.size()); }
    KsValue Items(int index) const;
    void SetItems(int index, const KsValue &item);

private:
    std::vector<KsValue> FItems;
    void Check(int index) const;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

// Lines of text, each with an optional object reference.
class TStrings : public TPersistent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TStrings(QObject *parent = nullptr) : TPersistent(parent) {}
    int Count() const { return int(FItems.size()); }
    const QString &Get(int index) const;
    virtual void Put(int index, const QString &s);
    KsValue Objects(int index) const;
    void PutObject(int index, const KsValue &o);
    virtual int Add(const QString &s);
    int AddObject(const QString &s, const KsValue &o);
    virtual void Clear()
    {
        FItems.clear();
        FChars = 0;
        Changed();
    }
    void Delete(int index);
    virtual int IndexOf(const QString &s) const;
    int IndexOfName(const QString &name) const;
    int IndexOfObject(const KsValue &o) const;
    virtual void Insert(int index, const QString &s);
    void InsertObject(int index, const QString &s, const KsValue &o);
    void Move(int curIndex, int newIndex);
    QString Names(int index) const;
    QString Values(const QString &name) const;
    void SetValues(const QString &name, const QString &value);
    QString CommaText() const;
    void SetCommaText(const QString &text);
    QString Text() const;
    void SetText(const QString &text);
    void LoadFromFile(const QString &fileName);
    void SaveToFile(const QString &fileName) const;
    QStringList ToList() const;
    void SetList(const QStringList &lines);

protected:
    bool AssignFrom(QObject *source) override;
    struct Item {
        QString S;
        KsValue O;
    };
    std::vector<Item> FItems;
    qint64 FChars = 0;  // characters of all lines, held within the list limit
    void Check(int index) const;
    // Room for `items` more lines and `chars` more characters, or EOutOfMemory.
    void CheckRoom(qint64 items, qint64 chars) const { ksCheckListSize(Count() + items, FChars + chars); }
    void InsertItem(int index, const QString &s, const KsValue &o);
    // Updates that add many lines skip the sorted list's per-line work.
    virtual void EndBulk() { Changed(); }
    // After every change of the lines (lists shown by a control follow it).
    virtual void Changed() {}
};

class TStringList : public TStrings {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TStringList(QObject *parent = nullptr) : TStrings(parent) {}
    int Add(const QString &s) override;
    void Put(int index, const QString &s) override;
    int IndexOf(const QString &s) const override;
    void Insert(int index, const QString &s) override;
    bool Find(const QString &s, int &index) const;
    void Sort();
    bool Sorted() const { return FSorted; }
    void SetSorted(bool v);
    TDuplicates Duplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates d) { FDuplicates = d; }

protected:
    void EndBulk() override
    {
        if (FSorted) SortItems();
        Changed();
    }

private:
    void SortItems();
    bool FSorted = false;
    TDuplicates FDuplicates = dupIgnore;
};

// Byte streams. Scripts see bytes as characters 0 to 255, one to one.
class TStream : public QObject {
    Q_OBJECT
public:
    explicit TStream(QObject *parent = nullptr) : QObject(parent) {}
    virtual qint64 ReadBytes(char *buffer, qint64 count) = 0;
    virtual qint64 WriteBytes(const char *buffer, qint64 count) = 0;
    virtual qint64 Seek(qint64 offset, int origin) = 0;
    virtual qint64 Size() = 0;
    qint64 Position() { return Seek(0, 1); }
    void SetPosition(qint64 pos) { Seek(pos, 0); }
    QByteArray ReadAll();
    void WriteAll(const QByteArray &bytes);
    qint64 CopyFrom(TStream *source, qint64 count);
};

class TMemoryStream : public TStream {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TMemoryStream(QObject *parent = nullptr) : TStream(parent) {}
    qint64 ReadBytes(char *buffer, qint64 count) override;
    qint64 WriteBytes(const char *buffer, qint64 count) override;
    qint64 Seek(qint64 offset, int origin) override;
    qint64 Size() override { return FData.size(); }
    void Clear()
    {
        FData.clear();
        FPos = 0;
    }
    void LoadFromStream(TStream *s);
    void LoadFromFile(const QString &fileName);
    void SaveToStream(TStream *s) { s->WriteAll(FData); }
    void SaveToFile(const QString &fileName);
    const QByteArray &Data() const { return FData; }

private:
    QByteArray FData;
    qint64 FPos = 0;
};

class TFileStream : public TStream {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TFileStream(QObject *parent = nullptr);
    // Puts a created file in place (see Close).
    ~TFileStream() override;
    // Mode: fmCreate, or fmOpenRead/fmOpenWrite/fmOpenReadWrite with share
    // flags; raises with the system's message when the file cannot be opened.
    // A created file is written beside the named one and replaces it only
    // when the stream is closed, so the old file stays whole until then.
    void Open(const QString &fileName, int mode);
    // Closes the file; a created one replaces the named file now. Empty, or
    // why the file could not be put in place (the old one then stays).
    QString Close();
    qint64 ReadBytes(char *buffer, qint64 count) override;
    qint64 WriteBytes(const char *buffer, qint64 count) override;
    qint64 Seek(qint64 offset, int origin) override;
    qint64 Size() override;

private:
    QFile FFile;
    std::unique_ptr<vplatform::SafeFile> FCreated;
    // A write fell short (a full disk): a created file is not put in place.
    bool FWriteFailed = false;
    void CheckOpen() const;
};

// Reads/writes whole files with the system's message in the error.
QByteArray ksReadFileBytes(const QString &fileName);
void ksWriteFileBytes(const QString &fileName, const QByteArray &bytes);
// Bytes as characters 0 to 255 and back (characters above 255 become '?').
QString ksBytesToString(const QByteArray &b);
QByteArray ksStringToBytes(const QString &s);

// The host class descriptions (registered on first use).
struct KsClassesInfo {
    const KsClassInfo *Object, *Persistent, *Component, *CollectionItem, *Collection, *List, *Strings, *StringList,
            *Stream, *FileStream, *MemoryStream;
};
const KsClassesInfo &ksClassesInfo();

class TksClassesFunctions : public TksRTTIModule {
public:
    explicit TksClassesFunctions(TksScript *script);
};
