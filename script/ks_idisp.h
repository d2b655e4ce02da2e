// Automation access: a member that follows a Variant holding no host object
// is an automation call. This system has no automation server, so every
// such call raises the automation error, which a script can catch. A member
// whose Variant turns out to hold a program object (an element of an array,
// a function's result) is that object's member, found when the call runs.
#pragma once

#include "script/ks_iinterpreter.h"

// "OLE error XXXXXXXX: member: message", then the optional source,
// description and help-file lines.
QString ksOleErrorText(quint32 status, const QString &member, const QString &message, const QString &source = {},
                       const QString &description = {}, const QString &helpFile = {});

class TksOLEHelper final : public TksCustomHelper {
public:
    explicit TksOLEHelper(const QString &name);
    // One Variant parameter per argument of the call it stands for (at most 64).
    void SetArgCount(int n);
    KsValue GetValue() override;
    void SetValue(const KsValue &value) override;

private:
    [[noreturn]] void Fail() const;
    // The member of the object ParentValue holds, called as a variable
    // holding the object would call it.
    KsValue CallMember(QObject *obj, bool writing, const KsValue &value);
};
