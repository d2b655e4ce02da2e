#include "script/ks_iinterpreter.h"

#include <QMutex>

#include "script/ks_ibind.h"
#include "script/ks_iclassesrtti.h"
#include "script/ks_idialogsrtti.h"
#include "script/ks_iformsrtti.h"
#include "script/ks_igraphicsrtti.h"
#include "script/ks_iinirtti.h"
#include "script/ks_iconst.h"
#include "script/ks_iilparser.h"
#include "script/ks_isysrtti.h"
#include "script/ks_istatements.h"
#include "script/ks_itools.h"

#include <QElapsedTimer>
#include <QMutex>

#include <algorithm>
#include <memory>
#include <typeinfo>
#include <unordered_set>

namespace {

thread_local int tCallDepth = 0;
// Runs in progress (any thread may ask for a stop, so it is shared).
std::atomic<int> gRunDepth{0};

TksPollHook &PollHook()
{
    static TksPollHook hook;
    return hook;
}

struct ModuleEntry {
    QString Name;
    TksModuleFactory Factory;
};

std::vector<ModuleEntry> &Modules()
{
    static std::vector<ModuleEntry> list = {
            {QStringLiteral("TksSysFunctions"), [](TksScript *s) -> TksRTTIModule * { return new TksSysFunctions(s); }},
            {QStringLiteral("TksClassesFunctions"),
             [](TksScript *s) -> TksRTTIModule * { return new TksClassesFunctions(s); }},
            {QStringLiteral("TksGraphicsFunctions"),
             [](TksScript *s) -> TksRTTIModule * { return new TksGraphicsFunctions(s); }},
            {QStringLiteral("TksDialogsFunctions"),
             [](TksScript *s) -> TksRTTIModule * { return new TksDialogsFunctions(s); }},
            {QStringLiteral("TksIniFunctions"), [](TksScript *s) -> TksRTTIModule * { return new TksIniFunctions(s); }},
            {QStringLiteral("TksFormsFunctions"),
             [](TksScript *s) -> TksRTTIModule * { return new TksFormsFunctions(s); }}};
    return list;
}

TksCompileHook &CompileHook()
{
    static TksCompileHook hook;
    return hook;
}

// Runs a procedure with its first `count` parameters taken from `arg`;
// the parameters a caller does not pass start empty, not with the last
// call's values. Returns how many were passed.
int RunWithArguments(TksProcVariable *proc, qint64 count, const std::function<KsValue(int)> &arg,
                     KsValue *result = nullptr)
{
    const int n = int(std::min<qint64>(proc->Count(), count));
    for (int i = 0; i < n; ++i) proc->Param(i)->SetValue(arg(i));
    for (int i = n; i < proc->Count(); ++i) proc->Param(i)->SetValue(KsValue());
    KsValue r = proc->GetValue();
    if (result) *result = std::move(r);
    return n;
}

}  // namespace

void ksRegisterModule(const QString &name, TksModuleFactory factory)
{
    for (auto &m : Modules())
        if (m.Name == name) {
            m.Factory = std::move(factory);
            return;
        }
    Modules().push_back({name, std::move(factory)});
}

void ksUnregisterModule(const QString &name)
{
    auto &list = Modules();
    list.erase(std::remove_if(list.begin(), list.end(), [&](const ModuleEntry &m) { return m.Name == name; }),
               list.end());
}

QStringList ksRegisteredModules()
{
    QStringList out;
    for (auto &m : Modules()) out << m.Name;
    return out;
}

void ksSetCompileHook(TksCompileHook hook)
{
    CompileHook() = std::move(hook);
}

bool ksIsPlainRead(const TksValueItem *v)
{
    return v && (typeid(*v) == typeid(TksVariable) || typeid(*v) == typeid(TksParamItem) ||
                 typeid(*v) == typeid(TksStringVariable));
}

bool ksIsPlainWrite(const TksCustomVariable *v)
{
    return v && (typeid(*v) == typeid(TksVariable) || typeid(*v) == typeid(TksParamItem));
}

TksScript *ksMainProgram(TksScript *s)
{
    for (TksScript *p = s; p; p = p->Parent)
        if (p->IsMainProgram) return p;
    return s;
}

// ---- item lists and variables ------------------------------------------------------

TksItemList::~TksItemList()
{
    TksItemList::Clear();
}

namespace {
// The lists of a program are mostly short: they come from the pool too.
size_t ListBytes(quint32 capacity)
{
    return 8 + size_t(capacity) * sizeof(TksItemList *);
}
}  // namespace

TksOwnedItems::~TksOwnedItems()
{
    if (!FHead) return;
    for (TksItemList *item : *this) delete item;  // first to last
    ksPoolDelete(FHead, ListBytes(FHead->Capacity));
}

void TksOwnedItems::push_back(TksItemList *item)
{
    const quint32 size = quint32(this->size());
    if (!FHead || size == FHead->Capacity) {
        const quint32 capacity = size ? size * 2 : 1;
        auto *head = static_cast<Head *>(ksPoolNew(ListBytes(capacity)));
        head->Size = size;
        head->Capacity = capacity;
        std::copy(begin(), end(), reinterpret_cast<TksItemList **>(head + 1));
        if (FHead) ksPoolDelete(FHead, ListBytes(FHead->Capacity));
        FHead = head;
    }
    reinterpret_cast<TksItemList **>(FHead + 1)[FHead->Size++] = item;
}

TksItemList *TksOwnedItems::take(size_t i)
{
    auto *items = reinterpret_cast<TksItemList **>(FHead + 1);
    TksItemList *item = items[i];
    std::copy(items + i + 1, items + FHead->Size, items + i);
    --FHead->Size;
    return item;
}

void TksItemList::Clear()
{
    // Taken out first: an entry being freed must not see a half-cleared list.
    TksOwnedItems items;
    items.swap(FItems);
}

void TksItemList::Remove(TksItemList *item)
{
    const auto it = std::find(FItems.begin(), FItems.end(), item);
    if (it == FItems.end()) return;
    FItems.take(size_t(it - FItems.begin()));  // the caller owns it now
}

namespace {
// Places that are no "line:col" of plain numbers, by their index.
struct OtherPlaces {
    QMutex Lock;
    QHash<QString, quint32> Index;
    std::vector<QString> Texts;
};
OtherPlaces &otherPlaces()
{
    static OtherPlaces p;
    return p;
}

// A number without sign or leading zero that fits in 32 bits; false else.
bool ParsePlaceNumber(QStringView s, quint32 &out)
{
    if (s.isEmpty() || s.size() > 10 || (s.size() > 1 && s[0] == u'0')) return false;
    quint64 v = 0;
    for (QChar c : s) {
        if (c < u'0' || c > u'9') return false;
        v = v * 10 + (c.unicode() - u'0');
    }
    if (v > 0xFFFFFFFEull) return false;
    out = quint32(v);
    return true;
}
}  // namespace

void TksSourcePos::Set(const QString &text)
{
    FLine = FCol = 0;
    if (text.isEmpty()) return;
    const qsizetype colon = text.indexOf(u':');
    quint32 line, col;
    if (colon > 0 && ParsePlaceNumber(QStringView(text).left(colon), line) && line < kOther - 1 &&
        ParsePlaceNumber(QStringView(text).mid(colon + 1), col)) {
        FLine = line + 1;
        FCol = col;
        return;
    }
    OtherPlaces &o = otherPlaces();
    QMutexLocker lock(&o.Lock);
    auto it = o.Index.constFind(text);
    if (it == o.Index.constEnd()) {
        it = o.Index.insert(text, quint32(o.Texts.size()));
        o.Texts.push_back(text);
    }
    FLine = kOther;
    FCol = *it;
}

QString TksSourcePos::ToString() const
{
    if (FLine == 0) return QString();
    if (FLine == kOther) {
        OtherPlaces &o = otherPlaces();
        QMutexLocker lock(&o.Lock);
        return o.Texts[FCol];
    }
    return QString::number(FLine - 1) + u':' + QString::number(FCol);
}

TksCustomVariable::TksCustomVariable(const QString &name, TksVarType typeCode, const QString &typeName)
    : TksValueItem(typeCode, typeName), Name(name)
{}

void TksCustomVariable::SetValue(const KsValue &value)
{
    if (!ReadOnly) Value = value;
}

KsValue TksCustomVariable::GetValue()
{
    return Value;
}

int TksCustomVariable::RequiredCount() const
{
    int n = 0;
    for (int i = 0; i < Count(); ++i)
        if (!Param(i)->IsOptional) ++n;
    return n;
}

const QString *KsTypeName::Empty()
{
    // Kept for the process: items freed late still read their names.
    static const QString *const empty = new QString;
    return empty;
}

const QString *KsTypeName::Shared(const QString &name)
{
    if (name.isEmpty()) return Empty();
    struct Hash {
        size_t operator()(const QString &s) const { return size_t(qHash(s)); }
    };
    // Node-based: a kept name never moves.
    static auto *const names = new std::unordered_set<QString, Hash>;
    static QMutex lock;
    QMutexLocker locker(&lock);
    return &*names->insert(name).first;
}

QString TksCustomVariable::ReportedTypeName() const
{
    if (TypeCode == tcClass || TypeCode == tcEnum) return TypeName;
    return ksTypeCodeName(TypeCode);
}

TksStringVariable::TksStringVariable(const QString &name, TksVarType typeCode, const QString &typeName)
    : TksVariable(name, typeCode, typeName)
{
    Value = KsValue(QString());
}

void TksStringVariable::SetValue(const KsValue &value)
{
    if (ReadOnly) return;
    if (value.IsString())
        Value = value;
    else
        Value = KsValue(value.ToText());
}

TksParamItem::TksParamItem(const QString &name, TksVarType typeCode, const QString &typeName, bool isOptional,
                           bool isVarParam)
    : TksVariable(name, typeCode, typeName), IsOptional(isOptional), IsVarParam(isVarParam)
{}

// ---- stopping -------------------------------------------------------------------------

KsStopped::KsStopped() : KsError(QStringLiteral("EAbort"), QStringLiteral("The script was stopped")) {}

void ksRequestStop()
{
    if (gRunDepth.load() > 0) ksStopFlag.store(true);
}

bool ksStopRequested()
{
    return ksStopFlag.load();
}

TksPollHook ksSetPollHook(TksPollHook hook)
{
    std::swap(PollHook(), hook);
    return hook;
}

void ksCheckStopSlow()
{
    if (ksPollCountdown <= 0) {
        ksPollCountdown = 4096;
        static thread_local bool polling = false;
        static thread_local QElapsedTimer sincePoll;
        if (PollHook() && !polling && (!sincePoll.isValid() || sincePoll.elapsed() >= 50)) {
            polling = true;
            struct Reset {
                ~Reset() { polling = false; }
            } reset;
            sincePoll.start();
            const TksPollHook hook = PollHook();  // a copy: the hook may replace itself
            hook();
        }
    }
    if (ksStopFlag.load(std::memory_order_relaxed)) throw KsStopped();
}

TksRun::TksRun(qint64 held) : FBudget(held)
{
    gRunDepth.fetch_add(1);
}

TksRun::~TksRun()
{
    if (gRunDepth.fetch_sub(1) == 1) ksStopFlag.store(false);
}

// ---- procedures ---------------------------------------------------------------------

TksProcVariable::TksProcVariable(const QString &name, TksVarType typeCode, const QString &typeName, TksScript *parent,
                                 bool isFunc)
    : TksCustomVariable(name, typeCode, typeName), IsFunc(isFunc), Prog(new TksScript(nullptr)), FProg(Prog)
{
    Prog->Parent = parent;
    ReadOnly = true;
    if (IsFunc) {
        auto *result = new TksVariable(QStringLiteral("Result"), typeCode, typeName);
        ResultVar = result;
        Prog->Add(QStringLiteral("Result"), result);
    }
}

TksProcVariable::~TksProcVariable()
{
    for (int i = 0; i < Count(); ++i) Prog->Remove(Param(i));
    for (size_t i = 0; i < FFrameSize; ++i) FFrameData[i].~KsValue();
    ::operator delete(FFrameData);
}

void TksProcVariable::GrowFrames(size_t more)
{
    const size_t cap = std::max({FFrameCap * 2, FFrameSize + more, size_t(16)});
    auto *data = static_cast<KsValue *>(::operator new(cap * sizeof(KsValue)));
    for (size_t i = 0; i < FFrameSize; ++i) {
        new (&data[i]) KsValue(std::move(FFrameData[i]));
        FFrameData[i].~KsValue();
    }
    ::operator delete(FFrameData);
    FFrameData = data;
    FFrameCap = cap;
}

void TksProcVariable::AddParam(TksParamItem *param)
{
    Add(param);
    Prog->Add(param->Name, param, false);
}

void TksProcVariable::RefreshSlots()
{
    FSlots.clear();
    Prog->ForEachItem([this](const QString &, TksObject *item) {
        if (auto *v = dynamic_cast<TksVariable *>(item)) FSlots.push_back(v);
    });
    FSlotsVersion = Prog->Version();
}

TksScript *TksProcVariable::FindMainProgram()
{
    FMainAt = ksLineHandlersVersion.load(std::memory_order_relaxed);
    FMain = nullptr;
    for (TksScript *s = Prog; s; s = s->Parent)
        if (s->IsMainProgram) {
            FMain = s;
            break;
        }
    return FMain;
}

KsValue TksProcVariable::GetValue()
{
    ksCheckStop();
    if (tCallDepth >= ksMaxCallDepth) throw KsError(QStringLiteral("EStackOverflow"), QStringLiteral("Stack overflow"));
    struct Guard {
        TksProcVariable *P;
        bool PrevExecuting;
        TksScript *Main;
        TksScript *PrevRunning;
        ~Guard()
        {
            TksScript *s = P->Prog;
            s->ExitFlag = s->Terminated = s->Running = false;
            s->BreakFlag = s->ContinueFlag = false;
            if (Main) Main->RunningProc = PrevRunning;
            P->Executing = PrevExecuting;
            --tCallDepth;
        }
    };
    ++tCallDepth;
    TksScript *main = MainProgram();
    Guard g{this, Executing, main, main ? main->RunningProc : nullptr};
    Executing = true;
    if (main) main->RunningProc = Prog;
    TksScript *s = Prog;
    s->ExitFlag = s->Terminated = false;
    // A stray break or continue of an earlier call must not stop this one.
    s->BreakFlag = s->ContinueFlag = false;
    s->Running = true;
    if (IsFunc) ResultVar->Value.Clear();  // no value left over from an earlier call
    s->MainBlock->RunBody();
    return IsFunc ? ResultVar->Value : KsValue();
}

// ---- script -------------------------------------------------------------------------------

TksScript::TksScript(QObject *owner) : QObject(owner), MainBlock(new TksStatement(this, QString(), QString())) {}

TksScript::~TksScript()
{
    if (IsMainProgram) ksLineHandlersChanged();  // no procedure may keep it as its main program
    Clear();
    ClearRTTI();
    // Whatever is left (owned items of any tag) goes with the script.
    std::multimap<QString, Entry> entries;
    entries.swap(FEntries);
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (it->second.Owned) delete it->second.Obj;
}

void TksScript::Add(const QString &name, TksObject *item, bool owned)
{
    QString key = name.toUpper();
    auto *var = dynamic_cast<TksCustomVariable *>(item);
    if (var && owned) var->AddedBy = AddedBy;
    // Before the entries of the same name: the newest is found first.
    const auto at = FEntries.lower_bound(key);
    FEntries.emplace_hint(at, std::move(key), Entry{name, item, var, owned});
    ++FVersion;
}

void TksScript::Remove(TksObject *item)
{
    for (auto it = FEntries.begin(); it != FEntries.end(); ++it)
        if (it->second.Obj == item) {
            FEntries.erase(it);
            ++FVersion;
            return;
        }
}

TksCustomVariable *TksScript::FindKey(const QString &key) const
{
    for (auto it = FEntries.lower_bound(key); it != FEntries.end() && it->first == key; ++it)
        if (it->second.Var) return it->second.Var;
    return nullptr;
}

TksCustomVariable *TksScript::FindLocal(const QString &name) const
{
    if (name.isEmpty()) return nullptr;
    return FindKey(name.toUpper());
}

TksCustomVariable *TksScript::Find(const QString &name) const
{
    if (name.isEmpty()) return nullptr;
    return FindUpper(name.toUpper());  // once for the whole chain
}

TksCustomVariable *TksScript::FindUpper(const QString &upperName) const
{
    if (upperName.isEmpty()) return nullptr;
    for (const TksScript *s = this; s; s = s->Parent)
        if (TksCustomVariable *v = s->FindKey(upperName)) return v;
    return nullptr;
}

TksClassVariable *TksScript::FindClass(const QString &name) const
{
    return dynamic_cast<TksClassVariable *>(Find(name));
}

bool TksScript::Compile()
{
    ErrorMsg.clear();
    // Compiling is part of the program's run: the tree it builds counts
    // towards the run's memory. Inside a run (a report's expressions) the
    // run measures it itself; a program compiled on its own remembers what
    // it took, for its runs to start with.
    const bool own = !ksInRun();
    KsRunBudget budget;
    struct Measured {
        TksScript *S;
        bool Own;
        ~Measured() { S->CompiledBytes = Own ? ksRunHeldBytes() : 0; }
    } measured{this, own};
    if (CompileHook()) {
        try {
            CompileHook()(this);
        } catch (const std::exception &e) {
            if (ErrorMsg.isEmpty()) ErrorMsg = QString::fromUtf8(e.what());
        }
    } else {
        ksCompileScript(this);
    }
    if (ErrorMsg.isEmpty()) {
        ErrorPos.clear();
        return true;
    }
    return false;
}

void TksScript::Execute()
{
    struct Guard {
        TksScript *S;
        ~Guard()
        {
            S->ExitFlag = S->Terminated = S->Running = false;
            S->BreakFlag = S->ContinueFlag = false;
        }
    } g{this};
    ExitFlag = Terminated = false;
    BreakFlag = ContinueFlag = false;
    Running = true;
    if (!IsMainProgram) {
        IsMainProgram = true;
        ksLineHandlersChanged();  // procedures remember their main program
    }
    TksRun run(CompiledBytes);
    try {
        MainBlock->Execute();
    } catch (const KsStopped &) {
        // a stop ends the run like Terminate
    }
}

void TksScript::AdoptCreated(QObject *obj)
{
    TksScript *root = this;
    while (root->Parent) root = root->Parent;
    auto &list = root->FCreated;
    if (list.size() >= root->FCreatedCompactAt) {
        // objects the script freed itself leave empty pointers behind
        list.erase(std::remove_if(list.begin(), list.end(), [](const QPointer<QObject> &p) { return p.isNull(); }),
                   list.end());
        root->FCreatedCompactAt = std::max<size_t>(64, list.size() * 2);
    }
    list.emplace_back(obj);
}

void TksScript::FreeCreatedObjects()
{
    std::vector<QPointer<QObject>> list;
    list.swap(FCreated);
    FCreatedCompactAt = 64;
    // Newest first: a later object may refer to an earlier one. Forms and
    // controls are windows the user may still have open: the script or the
    // host closes them.
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        if (QObject *o = it->data(); o && !o->parent() && !qobject_cast<TControl *>(o)) delete o;
}

KsValue TksScript::CallFunction(const QString &name, const KsValue &params)
{
    KsValue copy = params;
    auto *proc = dynamic_cast<TksProcVariable *>(FindLocal(name));
    if (!proc) return KsValue();
    const qint64 count = copy.IsArray() && copy.DimCount() >= 1 ? copy.Bounds(0).Count : 0;
    KsValue r;
    TksRun run(CompiledBytes);
    try {
        RunWithArguments(
                proc, count, [&copy](int i) { return copy.Element(i); }, &r);
    } catch (const KsStopped &) {
        return KsValue();
    }
    return r;
}

KsValue TksScript::CallFunctionVar(const QString &name, KsValue &params)
{
    auto *proc = dynamic_cast<TksProcVariable *>(FindLocal(name));
    if (!proc) return KsValue();
    KsValue r = CallFunction(name, params);
    if (params.IsArray() && params.DimCount() >= 1) {
        KsBounds b = params.Bounds(0);
        for (qint64 i = 0; i < b.Count && i < proc->Count(); ++i) params.ElementMut(i) = proc->Param(int(i))->Value;
    }
    return r;
}

void TksScript::SetVariable(const QString &name, const KsValue &value)
{
    if (TksCustomVariable *v = Find(name))
        v->SetValue(value);
    else
        AddVariable(name, QStringLiteral("Variant"), value);
}

void TksScript::TerminateRecursive()
{
    ExitFlag = true;
    Terminated = true;
    for (const auto &[key, e] : FEntries)
        if (auto *p = dynamic_cast<TksProcVariable *>(e.Var)) p->Prog->TerminateRecursive();
}

void TksScript::Terminate()
{
    TerminateRecursive();
}

void TksScript::RunLineLookup(const QString &unitName, const QString &sourcePos)
{
    // Read before the walk: a change during the handler call below must not be
    // covered by this version.
    const quint64 version = ksLineHandlersVersion.load(std::memory_order_relaxed);
    for (TksScript *s = this; s; s = s->Parent)
        if (s->OnRunLine) {
            s->OnRunLine(this, unitName, sourcePos);
            return;
        }
    FNoLineHandlerAt = version;
}

// Removes the entries `drop` selects in one pass (order kept) and frees the
// owned ones, in table order or, with `backwards`, last first.
template <class Pred>
void TksScript::RemoveEntries(Pred drop, bool backwards)
{
    std::vector<TksObject *> doomed;
    for (auto it = FEntries.begin(); it != FEntries.end();) {
        if (drop(it->second)) {
            if (it->second.Owned) doomed.push_back(it->second.Obj);
            it = FEntries.erase(it);
        } else {
            ++it;
        }
    }
    ++FVersion;
    if (backwards) std::reverse(doomed.begin(), doomed.end());
    for (TksObject *o : doomed) delete o;
}

void TksScript::Clear()
{
    RemoveEntries(
            [](const Entry &e) {
                return dynamic_cast<TksRTTIModule *>(e.Obj) == nullptr && !(e.Var && e.Var->AddedBy == ksBindingTag);
            },
            false);
    MainBlock->Clear();
    ExecutableLines.clear();
    FLineIndex.clear();
    FreeCreatedObjects();
    ErrorMsg.clear();
    ErrorPos.clear();
    ErrorUnit.clear();
}

void TksScript::ClearItems(const void *owner)
{
    RemoveEntries([owner](const Entry &e) { return e.Var && e.Var->AddedBy == owner; }, true);
    MainBlock->Clear();
    ExecutableLines.clear();
    FLineIndex.clear();
}

void TksScript::AddRTTI()
{
    if (RTTIAdded) return;
    const void *saved = AddedBy;
    AddedBy = ksBindingTag;
    for (auto &m : Modules()) Add(QString(), m.Factory(this));
    AddedBy = saved;
    RTTIAdded = true;
}

void TksScript::ClearRTTI()
{
    if (!RTTIAdded) return;
    RemoveEntries(
            [](const Entry &e) {
                return dynamic_cast<TksRTTIModule *>(e.Obj) != nullptr || (e.Var && e.Var->AddedBy == ksBindingTag);
            },
            false);
    RTTIAdded = false;
}

void TksScript::AddExecutableLine(const QString &unitName, const QString &sourcePos)
{
    // The entry of the unit and the numbers it holds are remembered, so that
    // compiling stays linear in the number of lines. Whoever changes the list
    // directly makes the remembered entry disagree with it: then it is read
    // again.
    auto rowOf = [this, &unitName](int row) {
        if (row < 0 || row >= ExecutableLines.size()) return false;
        const QString &r = ExecutableLines[row];
        return r.size() > unitName.size() && r.startsWith(unitName) && r[unitName.size()] == QLatin1Char('=');
    };
    auto it = FLineIndex.find(unitName);
    if (it != FLineIndex.end() && (!rowOf(it->Row) || ExecutableLines[it->Row].size() != it->Length)) {
        FLineIndex.erase(it);
        it = FLineIndex.end();
    }
    if (it == FLineIndex.end()) {
        LineSet entry;
        entry.Row = -1;
        for (int i = 0; i < ExecutableLines.size() && entry.Row < 0; ++i)
            if (rowOf(i)) entry.Row = i;
        if (entry.Row < 0) {
            ExecutableLines << unitName + QLatin1Char('=');
            entry.Row = int(ExecutableLines.size()) - 1;
        }
        const QStringList numbers = ExecutableLines[entry.Row].mid(unitName.size() + 1).split(QLatin1Char(','),
                                                                                              Qt::SkipEmptyParts);
        for (const QString &n : numbers) entry.Add(n);
        entry.Length = int(ExecutableLines[entry.Row].size());
        it = FLineIndex.insert(unitName, std::move(entry));
    }
    const qsizetype colon = sourcePos.indexOf(QLatin1Char(':'));
    const QStringView line = colon < 0 ? QStringView(sourcePos) : QStringView(sourcePos).left(colon);
    if (!it->Add(line)) return;
    QString &row = ExecutableLines[it->Row];
    row += QLatin1Char(',');
    row += line;
    it->Length = int(row.size());
}

bool TksScript::LineSet::Add(QStringView number)
{
    // Line numbers are kept as numbers; any other text as it stands.
    const qsizetype size = number.size();
    bool plain = size > 0 && size <= 9 && (size == 1 || number[0] != QLatin1Char('0'));
    int n = 0;
    for (qsizetype i = 0; plain && i < size; ++i) {
        const char16_t c = number[i].unicode();
        plain = c >= u'0' && c <= u'9';
        n = n * 10 + (c - u'0');
    }
    if (plain) {
        if (n == Last) return false;  // statements come in order: most share the line before
        Last = n;
        if (n < (1 << 22)) {  // a line of a real text: one bit each
            if (size_t(n) >= Lines.size()) Lines.resize(std::max(size_t(n) + 1, Lines.size() * 2));
            if (Lines[size_t(n)]) return false;
            Lines[size_t(n)] = true;
            return true;
        }
        if (Numbers.contains(n)) return false;
        Numbers.insert(n);
        return true;
    }
    if (Others.contains(number.toString())) return false;
    Others.insert(number.toString());
    return true;
}

TksTypeVariable *TksScript::AddType(const QString &typeName, TksVarType typeCode)
{
    if (Find(typeName)) return nullptr;
    auto *t = new TksTypeVariable(typeName, typeCode, QString());
    Add(typeName, t);
    return t;
}

TksClassVariable *TksScript::AddClass(const KsClassInfo *cls, const QString &ancestorName)
{
    if (!cls || Find(cls->ClassName)) return nullptr;
    auto *c = new TksClassVariable(cls, ancestorName, this);
    if (TksClassVariable *anc = FindClass(ancestorName)) {
        c->DefProperty = anc->DefProperty;
    }
    Add(cls->ClassName, c);
    return c;
}

TksClassVariable *TksScript::AddClass(const QString &className, const QString &ancestorName)
{
    const KsClassInfo *cls = ksFindClassInfo(className);
    if (!cls) cls = ksRegisterPlainClass(className, ksFindClassInfo(ancestorName));
    return AddClass(cls, ancestorName);
}

TksVariable *TksScript::AddConst(const QString &name, const QString &typeName, const KsValue &value)
{
    if (Find(name)) return nullptr;
    auto *v = new TksVariable(name, ksTypeCodeOf(typeName, this), typeName);
    v->Value = value;
    v->ReadOnly = true;
    Add(name, v);
    return v;
}

void TksScript::AddEnumImpl(const QString &typeName, const QString &names, bool bits)
{
    Add(typeName, new TksVariable(typeName, tcEnum, typeName));
    QString list = names;
    list.replace(QLatin1Char(','), QLatin1Char(' '));
    const QStringList parts = list.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    qint64 n = 0;
    for (const QString &part : parts) {
        auto *v = new TksVariable(part.trimmed(), tcEnum, typeName);
        v->Value = KsValue::FromInt(bits ? (qint64(1) << std::min<qint64>(n, 62)) : n);
        v->ReadOnly = true;
        Add(v->Name, v);
        ++n;
    }
}

void TksScript::AddEnum(const QString &typeName, const QString &names)
{
    AddEnumImpl(typeName, names, false);
}
void TksScript::AddEnumSet(const QString &typeName, const QString &names)
{
    AddEnumImpl(typeName, names, true);
}

TksMethodHelper *TksScript::AddMethod(const QString &declaration, TksCallMethodEvent onCall, const QString &category,
                                      const QString &description)
{
    auto *m = new TksMethodHelper(declaration, this);
    m->OnCall = std::move(onCall);
    m->Category = category;
    if (!description.isEmpty()) m->Description = description;
    Add(m->Name, m);
    return m;
}

TksMethodHelper *TksScript::AddMethodEx(const QString &declaration, TksCallMethodArrayEvent onCall,
                                        const QString &category, const QString &description)
{
    auto *m = new TksMethodHelper(declaration, this);
    m->OnCallArray = std::move(onCall);
    m->Category = category;
    if (!description.isEmpty()) m->Description = description;
    Add(m->Name, m);
    return m;
}

TksVariable *TksScript::AddObject(const QString &name, QObject *obj)
{
    return AddVariable(name, obj ? ksClassNameOf(obj) : QStringLiteral("TObject"), KsValue::FromObject(obj));
}

TksVariable *TksScript::AddVariable(const QString &name, const QString &typeName, const KsValue &value)
{
    if (Find(name)) return nullptr;
    auto *v = new TksVariable(name, ksTypeCodeOf(typeName, this), typeName);
    v->Value = value;
    Add(name, v);
    return v;
}

void TksScript::AddForm(QObject *form, const QString &ancestorName)
{
    if (!form) return;
    const KsClassInfo *cls = ksClassInfoOf(form);
    if (!cls) cls = ksRegisterClass(form->metaObject());
    TksClassVariable *cv = FindClass(cls->ClassName);
    if (!cv) cv = AddClass(cls, ancestorName);
    if (!cv) return;
    for (QObject *child : form->children())
        if (!child->objectName().isEmpty()) cv->AddComponent(child);
    AddObject(form->objectName(), form);
}

// ---- host classes ------------------------------------------------------------------------

namespace {

// A string or an array that passed between the script and the host was
// made, or may have been copied, by code that does not count what it
// takes (a library function, a property): the run's budget counts it here.
inline void TookFromHost(const KsValue &v)
{
    if (v.Kind() >= KsKind::String) ksRunTookValue(v);
}

}  // namespace

TksPropertyHelper::TksPropertyHelper(const QString &name, TksVarType typeCode, const QString &typeName)
    : TksCustomHelper(name, typeCode, typeName)
{}

KsValue TksPropertyHelper::GetValue()
{
    return GetFrom(Instance(ClassRef));
}

KsValue TksPropertyHelper::GetFrom(QObject *inst)
{
    KsValue r;
    if (IsPublished && PropInfo && inst && PropInfo->Get)
        r = PropInfo->Get(inst);
    else if (OnGetValue)
        r = OnGetValue(inst, ClassRef, UpperName);
    if (TypeCode == tcBoolean && !r.IsEmpty() && r.Kind() != KsKind::Boolean) r = KsValue(r.ToDouble() != 0);
    TookFromHost(r);
    return r;
}

void TksPropertyHelper::SetValue(const KsValue &value)
{
    if (ReadOnly) return;
    SetOn(Instance(ClassRef), value);
}

void TksPropertyHelper::SetOn(QObject *inst, const KsValue &value)
{
    if (ReadOnly) return;
    if (IsPublished && PropInfo) {
        if (!inst || !PropInfo->Set) return;
        if (TypeCode == tcBoolean)
            PropInfo->Set(inst, KsValue(value.Kind() == KsKind::Boolean ? value.RawBool() : value.ToBool()));
        else
            PropInfo->Set(inst, value);
    } else if (OnSetValue) {
        OnSetValue(inst, ClassRef, UpperName, value);
    }
    TookFromHost(value);
}

TksMethodHelper::TksMethodHelper(const QString &declaration, TksScript *script)
    : TksCustomHelper(QString(), tcVariant, QString())
{
    std::unique_ptr<TksCustomVariable> d(ksParseDeclaration(declaration, script));
    Name = d->Name;
    UpperName = Name.toUpper();
    TypeCode = d->TypeCode;
    TypeName = d->TypeName;
    IsMacro = d->IsMacro;
    while (d->Count() > 0) {
        TksItemList *p = d->Items(0);
        d->Remove(p);
        Add(p);
    }
    Syntax = declaration;
    Description = Name;
    ReadOnly = true;
    if (Count() > 0) ParamValues = KsValue::MakeArray({KsBounds{0, Count()}});
    FGetName = UpperName + QStringLiteral(".GET");
    FSetName = UpperName + QStringLiteral(".SET");
}

KsValue TksMethodHelper::GetParam(int index) const
{
    if (index == Count()) return AssignedValue;
    if (index < 0 || index > Count()) return KsValue();
    return Param(index)->Value;
}

void TksMethodHelper::SetParam(int index, const KsValue &value)
{
    if (index < 0 || index >= Count()) return;
    Param(index)->Value = value;
    TookFromHost(value);
}

KsValue TksMethodHelper::GetValue()
{
    QObject *inst = ClassRef ? Instance(ClassRef) : ParentValue.ToObject();
    const QString &name = IndexMethod ? FGetName : UpperName;
    if (OnCallArray) {
        for (int i = 0; i < Count(); ++i) ParamValues.ElementMut(i) = Param(i)->Value;
        KsValue r = OnCallArray(inst, ClassRef, name, ParamValues);
        for (int i = 0; i < Count(); ++i)
            if (Param(i)->IsVarParam) Param(i)->Value = ParamValues.Element(i);
        TookFromHost(r);
        return r;
    }
    if (!OnCall) return KsValue(0);
    KsValue r = OnCall(inst, ClassRef, name, this);
    TookFromHost(r);
    return r;
}

void TksMethodHelper::SetValue(const KsValue &value)
{
    if (!IndexMethod || ReadOnly) return;
    QObject *inst = ClassRef ? Instance(ClassRef) : ParentValue.ToObject();
    if (OnCallArray) {
        std::vector<KsValue> items;
        for (int i = 0; i < Count(); ++i) items.push_back(Param(i)->Value);
        items.push_back(value);
        KsValue arr = KsValue::MakeList(std::move(items));
        OnCallArray(inst, ClassRef, FSetName, arr);
    } else if (OnCall) {
        struct Reset {
            KsValue &V;
            ~Reset() { V = KsValue(); }
        } reset{AssignedValue};
        AssignedValue = value;
        OnCall(inst, ClassRef, FSetName, this);
    }
    TookFromHost(value);
}

TksComponentHelper::TksComponentHelper(QObject *component)
    : TksCustomHelper(component->objectName(), tcClass, ksClassNameOf(component)), Component(component)
{
    ReadOnly = true;
}

KsValue TksComponentHelper::GetValue()
{
    return KsValue::FromObject(Component.data());
}

void TksCustomEvent::Invoke(std::vector<KsValue> &args)
{
    if (!Handler || Handler->Executing) return;
    TksRun run;
    try {
        const int n = RunWithArguments(Handler, qint64(args.size()), [&args](int i) { return args[size_t(i)]; });
        for (int i = 0; i < n; ++i) args[size_t(i)] = Handler->Param(i)->Value;
    } catch (const KsStopped &) {
        // the stopped handler changes nothing
    }
}

TksEventHelper::TksEventHelper(const QString &name, TksEventAttach attach)
    : TksCustomHelper(name, tcString, QStringLiteral("String")), Attach(std::move(attach))
{}

void TksEventHelper::SetValue(const KsValue &value)
{
    QObject *inst = Instance(ClassRef);
    const QString text = value.ToText();
    if (text == QLatin1String("0") || text.isEmpty()) {
        if (Attach && inst) Attach(inst, Name, nullptr);
        return;
    }
    TksScript *scope = Prog ? Prog : nullptr;
    auto *proc = scope ? dynamic_cast<TksProcVariable *>(scope->Find(text)) : nullptr;
    if (!proc) throw KsError(SEventError);
    auto *adapter = new TksCustomEvent(inst, proc);
    scope->Add(QString(), adapter);
    if (Attach && inst) Attach(inst, Name, adapter);
}

TksClassVariable::TksClassVariable(const KsClassInfo *cls, const QString &ancestorName, TksScript *program)
    : TksCustomVariable(cls->ClassName, tcClass, cls->ClassName), AncestorName(ancestorName), ClassRef(cls),
      Program(program)
{
    QList<const KsPropInfo *> props = cls->Properties();
    std::sort(props.begin(), props.end(), [](const KsPropInfo *a, const KsPropInfo *b) {
        return QString::compare(a->Name, b->Name, Qt::CaseInsensitive) < 0;
    });
    for (const KsPropInfo *p : props) {
        if (p->Kind == KsPropKind::Method) continue;
        TksVarType code;
        QString typeName;
        switch (p->Kind) {
        case KsPropKind::Integer:
            code = tcInteger;
            break;
        case KsPropKind::Char:
            code = tcChar;
            break;
        case KsPropKind::Boolean:
            code = tcBoolean;
            typeName = QStringLiteral("Boolean");
            break;
        case KsPropKind::Enumeration:
            code = (p->TypeName.compare(QLatin1String("Boolean"), Qt::CaseInsensitive) == 0 ||
                    p->TypeName.compare(QLatin1String("bool"), Qt::CaseInsensitive) == 0)
                           ? tcBoolean
                           : tcEnum;
            typeName = p->TypeName;
            break;
        case KsPropKind::Float:
            code = tcFloat;
            break;
        case KsPropKind::String:
            code = tcString;
            break;
        case KsPropKind::Set:
            code = tcEnum;
            typeName = p->TypeName;
            break;
        case KsPropKind::Class:
            code = tcClass;
            typeName = p->TypeName;
            break;
        case KsPropKind::Variant:
            code = tcVariant;
            break;
        default:
            code = tcInteger;
        }
        auto *h = new TksPropertyHelper(p->Name, code, typeName);
        h->IsPublished = true;
        h->PropInfo = p;
        h->ClassRef = cls;
        h->ReadOnly = p->IsReadOnly();
        AddMember(h);
    }
    Add(new TksParamItem(QStringLiteral("Value"), tcVariant, QStringLiteral("Variant"), true, false));
}

TksClassVariable::~TksClassVariable() = default;

void TksClassVariable::AddMember(TksCustomVariable *m)
{
    m->AddedBy = AddedBy;
    Members.Add(m);
}

TksMethodHelper *TksClassVariable::AddConstructor(const QString &declaration, TksCallMethodEvent onCall)
{
    QString rest = declaration.trimmed();
    int blank = rest.indexOf(QLatin1Char(' '));
    rest = blank < 0 ? QString() : rest.mid(blank + 1);
    return AddMethod(QStringLiteral("function ") + rest + QStringLiteral(": Constructor"), std::move(onCall));
}

TksMethodHelper *TksClassVariable::AddMethod(const QString &declaration, TksCallMethodEvent onCall)
{
    auto *m = new TksMethodHelper(declaration, Program);
    m->OnCall = std::move(onCall);
    m->ClassRef = ClassRef;
    AddMember(m);
    return m;
}

TksMethodHelper *TksClassVariable::AddMethodEx(const QString &declaration, TksCallMethodArrayEvent onCall)
{
    auto *m = new TksMethodHelper(declaration, Program);
    m->OnCallArray = std::move(onCall);
    m->ClassRef = ClassRef;
    AddMember(m);
    return m;
}

TksPropertyHelper *TksClassVariable::AddProperty(const QString &name, const QString &typeName, TksGetValueEvent onGet,
                                                 TksSetValueEvent onSet)
{
    auto *h = new TksPropertyHelper(name, ksTypeCodeOf(typeName, Program), typeName);
    h->ClassRef = ClassRef;
    h->OnGetValue = std::move(onGet);
    h->OnSetValue = std::move(onSet);
    h->ReadOnly = !h->OnSetValue;
    AddMember(h);
    return h;
}

TksMethodHelper *TksClassVariable::AddIndexProperty(const QString &name, const QString &indexTypes,
                                                    const QString &typeName, TksCallMethodEvent onCall, bool readOnly)
{
    QStringList params;
    const QStringList types = indexTypes.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (int i = 0; i < types.size(); ++i) params << QStringLiteral("p%1: %2").arg(i).arg(types[i].trimmed());
    QString decl = QStringLiteral("function ") + name + QLatin1Char('(') + params.join(QStringLiteral("; ")) +
                   QStringLiteral("): ") + typeName;
    TksMethodHelper *m = AddMethod(decl, std::move(onCall));
    m->ReadOnly = readOnly;
    m->IndexMethod = true;
    return m;
}

TksMethodHelper *TksClassVariable::AddDefaultProperty(const QString &name, const QString &indexTypes,
                                                      const QString &typeName, TksCallMethodEvent onCall, bool readOnly)
{
    TksMethodHelper *m = AddIndexProperty(name, indexTypes, typeName, std::move(onCall), readOnly);
    DefProperty = m;
    return m;
}

TksEventHelper *TksClassVariable::AddEvent(const QString &name, TksEventAttach attach)
{
    auto *e = new TksEventHelper(name, std::move(attach));
    e->ClassRef = ClassRef;
    AddMember(e);
    return e;
}

TksComponentHelper *TksClassVariable::AddComponent(QObject *component)
{
    auto *c = new TksComponentHelper(component);
    AddMember(c);
    return c;
}

TksCustomVariable *TksClassVariable::FindMember(const QString &name) const
{
    const TksClassVariable *c = this;
    for (int guard = 0; c && guard < ksMaxClassAncestors; ++guard) {
        for (int i = 0; i < c->Members.Count(); ++i) {
            auto *m = static_cast<TksCustomVariable *>(c->Members.Items(i));
            if (m->Name.compare(name, Qt::CaseInsensitive) == 0) return m;
        }
        if (c->AncestorName.isEmpty() || !c->Program) break;
        TksClassVariable *anc = c->Program->FindClass(c->AncestorName);
        c = anc == c ? nullptr : anc;
    }
    return nullptr;
}

// What a new host object is charged to the run's budget, at least.
constexpr qint64 kObjectBytes = 256;

KsValue TksClassVariable::GetValue()
{
    TksParamItem *p = Param(0);
    KsValue r;
    if (p->Value.IsEmpty()) {
        ksChargeRun(kObjectBytes);
        QObject *o = ClassRef->Create(nullptr);
        ksbind::MarkScriptCreated(o);     // the script may free what it made
        if (o) Program->AdoptCreated(o);  // and what it leaves unowned goes when the run ends
        r = KsValue::FromObject(o);
    } else
        r = p->Value;
    p->Value = KsValue();
    return r;
}
