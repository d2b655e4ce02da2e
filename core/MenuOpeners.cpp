#include "core/MenuOpeners.h"

#include "core/main.h"

#include <deque>

namespace velmora {

namespace {

// A deque: the rows stay where they are while others are added.
std::deque<WindowRow> &rows()
{
    static std::deque<WindowRow> table = [] {
        const std::vector<WindowRow> pending = pendingWindows();
        return std::deque<WindowRow>(pending.begin(), pending.end());
    }();
    return table;
}

WindowRow *rowOf(const QString &key)
{
    for (WindowRow &r : rows())
        if (r.key == key) return &r;
    return nullptr;
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

void registerWindow(WindowRow row)
{
    if (WindowRow *r = rowOf(row.key))
        *r = std::move(row);
    else
        rows().push_back(std::move(row));
}

const WindowRow *findWindow(const QString &key)
{
    return rowOf(key);
}

const excel::ExportLayout *exportLayout(const QString &window)
{
    for (const WindowRow &r : rows())
        if (r.layout && r.layout->window == window) return &*r.layout;
    return nullptr;
}

std::vector<const excel::ExportLayout *> exportLayouts()
{
    std::vector<const excel::ExportLayout *> all;
    for (const WindowRow &r : rows())
        if (r.layout) all.push_back(&*r.layout);
    return all;
}

Opener modal(std::function<void(QWidget *owner)> open)
{
    return [open = std::move(open)](TfrmMain *m) -> QWidget * {
        open(m);
        return nullptr;
    };
}

void registerOpener(const QString &key, Opener opener)
{
    if (WindowRow *r = rowOf(key))
        r->opener = std::move(opener);
    else
        rows().push_back({key, 0, nullptr, std::move(opener), std::nullopt});
}

void registerModal(const QString &key, std::function<void(QWidget *owner)> open)
{
    registerOpener(key, modal(std::move(open)));
}

void unregisterOpener(const QString &key)
{
    if (WindowRow *r = rowOf(key)) r->opener = nullptr;
}

Opener findOpener(const QString &key)
{
    const WindowRow *r = rowOf(key);
    return r ? r->opener : Opener();
}

void registerBirthdayReminder(BirthdayReminder hook)
{
    birthdayHook() = std::move(hook);
}

void registerAnniversaryReminder(AnniversaryReminder hook)
{
    anniversaryHook() = std::move(hook);
}

BirthdayReminder birthdayReminder()
{
    return birthdayHook();
}

AnniversaryReminder anniversaryReminder()
{
    return anniversaryHook();
}

}  // namespace velmora
