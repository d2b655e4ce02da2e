// Ini files for scripts: an order-preserving reader/writer (comments, blank
// lines and the order of sections and keys survive a rewrite), the file
// classes TMemIniFile (in memory) and TIniFile (every write goes to the
// disk file), and the binding module that publishes them.
#pragma once

#include "script/ks_iinterpreter.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <vector>

// The text of an ini file as lines; sections and keys compare ignoring case.
class KsIniText {
public:
    void SetLines(const QStringList &lines);
    QStringList Lines() const;
    bool ReadString(const QString &section, const QString &key, QString &value) const;
    void WriteString(const QString &section, const QString &key, const QString &value);
    void DeleteKey(const QString &section, const QString &key);
    void EraseSection(const QString &section);
    bool SectionExists(const QString &section) const;
    QStringList Sections() const;
    QStringList Keys(const QString &section) const;
    QStringList NameValues(const QString &section) const;  // "name=value" lines in order
    void Clear() { FSections.clear(); }

private:
    struct Line {
        QString Raw;  // the line as read (comments, blank and odd lines)
        QString Key;  // empty for a raw line
        QString Value;
    };
    struct Section {
        QString Name;    // empty: the lines before the first section header
        QString Header;  // the header line as read
        std::vector<Line> Lines;
    };
    std::vector<Section> FSections;
    Section *Find(const QString &name);
    const Section *Find(const QString &name) const;
    static Line *FindKey(Section &s, const QString &key);
};

class TCustomIniFile : public QObject {
    Q_OBJECT
public:
    explicit TCustomIniFile(QObject *parent = nullptr) : QObject(parent) {}
    QString FileName() const { return FFileName; }
    virtual void Open(const QString &fileName);
    QString ReadString(const QString &section, const QString &key, const QString &def);
    void WriteString(const QString &section, const QString &key, const QString &value);
    void DeleteKey(const QString &section, const QString &key);
    void EraseSection(const QString &section);
    bool SectionExists(const QString &section);
    bool ValueExists(const QString &section, const QString &key);
    QStringList Sections();
    QStringList Keys(const QString &section);
    QStringList NameValues(const QString &section);
    QStringList Lines();
    void SetLines(const QStringList &lines);

protected:
    QString FFileName;
    KsIniText FText;
    // TIniFile reads the disk file before and writes it after each change.
    virtual void BeforeRead() {}
    virtual void AfterWrite() {}
};

class TMemIniFile : public TCustomIniFile {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TMemIniFile(QObject *parent = nullptr) : TCustomIniFile(parent) {}
    void Open(const QString &fileName) override;
    void Clear() { FText.Clear(); }
};

class TIniFile : public TCustomIniFile {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TIniFile(QObject *parent = nullptr) : TCustomIniFile(parent) {}

protected:
    void BeforeRead() override;
    void AfterWrite() override;
};

class TksIniFunctions : public TksRTTIModule {
public:
    explicit TksIniFunctions(TksScript *script);
};
