#include "core/MenuOpeners.h"

#include "core/main.h"

#include <QHash>

namespace velmora {

namespace {

QHash<QString, Opener> &openers()
{
    static QHash<QString, Opener> table;
    return table;
}

BirthdayReminder &birthdayHook()
{
    static BirthdayReminder hook;
    return hook;
}

AnniversaryReminder &anniversaryHook()
{
    static AnniversaryReminder hook;
    return hook;
}

}  // namespace

void registerOpener(const QString &key, Opener opener) { openers().insert(key, std::move(opener)); }

void registerModal(const QString &key, std::function<void(QWidget *owner)> open)
{
    registerOpener(key, [open = std::move(open)](TfrmMain *m) -> QWidget * {
        open(m);
        return nullptr;
    });
}

void unregisterOpener(const QString &key) { openers().remove(key); }

Opener findOpener(const QString &key) { return openers().value(key); }

void registerBirthdayReminder(BirthdayReminder hook) { birthdayHook() = std::move(hook); }

void registerAnniversaryReminder(AnniversaryReminder hook) { anniversaryHook() = std::move(hook); }

BirthdayReminder birthdayReminder() { return birthdayHook(); }

AnniversaryReminder anniversaryReminder() { return anniversaryHook(); }

}  // namespace velmora
