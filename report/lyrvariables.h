#pragma once
// Report variables: named values read by expressions and scripts.
// A variable's value is Null (an invalid QVariant) until set.

#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

class TlyrVariable {
public:
    QString Name;
    QVariant Value;
    void Assign(const TlyrVariable &source)
    {
        Name = source.Name;
        Value = source.Value;
    }
};

// A collection of variables looked up by name without regard to case; the
// first of two equal names always answers.
class TlyrVariables {
public:
    TlyrVariables() = default;
    TlyrVariables(const TlyrVariables &other) { Assign(other); }
    TlyrVariables &operator=(const TlyrVariables &other)
    {
        Assign(other);
        return *this;
    }
    virtual ~TlyrVariables() = default;

    // A new variable with an empty name and a Null value.
    TlyrVariable *Add();
    int Count() const { return static_cast<int>(items_.size()); }
    TlyrVariable *Items(int i) const { return items_.at(static_cast<size_t>(i)).get(); }
    void Delete(int i);
    void Clear() { items_.clear(); }
    void Assign(const TlyrVariables &source);

    int IndexOf(const QString &name) const;
    // The value, or Null when absent.
    QVariant Variables(const QString &name) const;
    // Sets the value, adding the variable when absent.
    void SetVariable(const QString &name, const QVariant &value);

private:
    std::vector<std::unique_ptr<TlyrVariable>> items_;
};

// A script-side associative array: any value is a key, compared as text
// (so 1 and "1" are the same key).
class TlyrArray : public TlyrVariables {
public:
    int IndexOf(const QVariant &key) const { return TlyrVariables::IndexOf(key.toString()); }
    QVariant Variables(const QVariant &key) const { return TlyrVariables::Variables(key.toString()); }
    void SetVariable(const QVariant &key, const QVariant &value) { TlyrVariables::SetVariable(key.toString(), value); }
};

// The process-wide variables ("CopyName0" backs the system variable
// "CopyName#"). Not guarded: the report library runs on the GUI thread.
TlyrVariables &lyrGlobalVariables();
