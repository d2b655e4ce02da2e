// Program model of the script engine: named items, procedures, the script
// object with its name table, binding modules, and host classes with their
// member helpers.
//
// Building and running a program through the C++ API (what the compiler's
// second pass does):
//
//   TksScript s;                       // s.AddRTTI() for the built-in module
//   auto* x = new TksVariable("x", tcInteger, "Integer");
//   s.Add("x", x);
//   auto* e = new TksExpression(&s);   // x + 1
//   e->AddDesignator(TksDesignator::ForVariable(&s, x));
//   e->AddOperator("+");
//   e->AddConst(KsValue(1));
//   e->Finish();
//   s.MainBlock->Add(new TksAssignmentStmt(&s, "", "1:1",
//                                          TksDesignator::ForVariable(&s, x), e));
//   s.Execute();
//
// Names are resolved while building (designators point at the items), so
// running a program does no name look-ups.
#pragma once

#include "script/ks_budget.h"
#include "script/ks_limits.h"
#include "script/ks_pool.h"
#include "script/ks_props.h"
#include "script/ksvalue.h"

#include <QObject>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class TksScript;
class TksStatement;
class TksParamItem;
class TksClassVariable;
class TksMethodHelper;
class TksXMLItem;

enum TksVarType : std::uint8_t {
    tcInteger = 0,
    tcBoolean = 1,
    tcFloat = 2,
    tcChar = 3,
    tcString = 4,
    tcClass = 5,
    tcArray = 6,
    tcVariant = 7,
    tcEnum = 8,
    tcConstructor = 9
};

// Tag of items added while binding modules register (survive Clear).
inline const void *const ksBindingTag = reinterpret_cast<const void *>(1);

// Base of everything a script table, a statement list or an item list owns.
// A place in a script's text, "line:col", held in 8 bytes without a string
// of its own: a compiled program holds one for each statement, expression
// and designator. Any other text (rare) is kept in a table shared by all.
class TksSourcePos {
public:
    TksSourcePos() = default;
    TksSourcePos(const QString &text) { Set(text); }  // NOLINT: stands for its text
    TksSourcePos &operator=(const QString &text)
    {
        Set(text);
        return *this;
    }
    operator QString() const { return ToString(); }  // NOLINT
    QString ToString() const;
    bool isEmpty() const { return FLine == 0; }
    bool operator==(const TksSourcePos &o) const { return FLine == o.FLine && FCol == o.FCol; }

private:
    void Set(const QString &text);
    static constexpr quint32 kOther = 0xFFFFFFFFu;  // FCol indexes the table of other texts
    quint32 FLine = 0;                             // the line + 1; 0: no place
    quint32 FCol = 0;
};

class TksObject {
public:
    virtual ~TksObject() = default;
};

class TksItemList;

// The entries a TksItemList owns, freed first to last. One pointer while
// empty, as most items of a program are (operands, variables).
class TksOwnedItems {
public:
    TksOwnedItems() = default;
    ~TksOwnedItems();
    TksOwnedItems(const TksOwnedItems &) = delete;
    TksOwnedItems &operator=(const TksOwnedItems &) = delete;
    size_t size() const { return FHead ? FHead->Size : 0; }
    TksItemList *operator[](size_t i) const { return begin()[i]; }
    TksItemList *const *begin() const { return FHead ? reinterpret_cast<TksItemList *const *>(FHead + 1) : nullptr; }
    TksItemList *const *end() const { return begin() + size(); }
    void push_back(TksItemList *item);
    // Takes entry i out of the list without freeing it.
    TksItemList *take(size_t i);
    void swap(TksOwnedItems &other) { std::swap(FHead, other.FHead); }

private:
    struct Head {
        quint32 Size;
        quint32 Capacity;
    };  // followed by Capacity pointers
    static_assert(sizeof(Head) == 8);
    Head *FHead = nullptr;
};

// An owning list (entries may be nullptr, e.g. the gap of a set range).
class TksItemList : public TksObject {
public:
    TksItemList() = default;
    TksItemList(const TksItemList &) = delete;
    TksItemList &operator=(const TksItemList &) = delete;
    ~TksItemList() override;
    // Program objects come from the pool of small objects (see ks_pool.h).
    static void *operator new(std::size_t bytes) { return ksPoolNew(bytes); }
    static void operator delete(void *p, std::size_t bytes) noexcept { ksPoolDelete(p, bytes); }
    virtual void Clear();
    int Count() const { return int(FItems.size()); }
    void Add(TksItemList *item) { FItems.push_back(item); }
    void Remove(TksItemList *item);
    TksItemList *Items(int i) const { return FItems[size_t(i)]; }

protected:
    TksOwnedItems FItems;
};

// A type name held as one pointer to a shared copy: every node of a program
// carries one, and programs use few distinct names. Reads as a QString.
class KsTypeName {
public:
    KsTypeName() = default;
    KsTypeName(const QString &name) : FName(Shared(name)) {}  // NOLINT: reads as the text it holds
    KsTypeName &operator=(const QString &name)
    {
        FName = Shared(name);
        return *this;
    }
    operator const QString &() const { return *FName; }  // NOLINT
    const QString &str() const { return *FName; }
    bool isEmpty() const { return FName->isEmpty(); }
    int compare(const QString &other, Qt::CaseSensitivity cs = Qt::CaseSensitive) const
    {
        return FName->compare(other, cs);
    }
    friend bool operator==(const KsTypeName &a, const QString &b) { return *a.FName == b; }
    friend bool operator!=(const KsTypeName &a, const QString &b) { return *a.FName != b; }

private:
    // The one kept copy of name; names once kept stay for the process.
    static const QString *Shared(const QString &name);
    static const QString *Empty();
    const QString *FName = Empty();
};
// A program's statements name their unit: few names, held the same way.
using KsUnitName = KsTypeName;

// What has a value of a type: variables and the nodes of expressions. A
// compiled program holds many nodes: what only named items need (a name, a
// place in the text, an owner) is in TksCustomVariable.
class TksValueItem : public TksItemList {
public:
    TksValueItem(TksVarType typeCode, const QString &typeName) : TypeName(typeName), TypeCode(typeCode) {}
    KsTypeName TypeName;
    // The small members last: a derived class's own small ones fill the room
    // after them.
    bool IsMacro = false;
    bool ReadOnly = false;
    bool ResultWanted = true;
    TksVarType TypeCode;

    virtual void SetValue(const KsValue &) {}
    virtual KsValue GetValue() { return KsValue(); }
};

class TksCustomVariable : public TksValueItem {
public:
    TksCustomVariable(const QString &name, TksVarType typeCode, const QString &typeName);
    KsValue Value;
    void SetValue(const KsValue &value) override;
    KsValue GetValue() override;
    const void *AddedBy = nullptr;
    QString Name;
    TksCustomVariable *ResultVar = nullptr;  // not owned
    TksSourcePos SourcePos;

    // Entries as parameters (procedures and methods).
    inline TksParamItem *Param(int i) const;
    int RequiredCount() const;
    // The type name a compiler reports ("Integer", the class name ...).
    QString ReportedTypeName() const;
};

// A variable or constant (ReadOnly); its value lives in Value.
class TksVariable : public TksCustomVariable {
public:
    using TksCustomVariable::TksCustomVariable;
};

// A named type (alias).
class TksTypeVariable : public TksCustomVariable {
public:
    using TksCustomVariable::TksCustomVariable;
};

// A string variable: its value is always a String, so that one character
// can be changed in place.
class TksStringVariable : public TksVariable {
public:
    TksStringVariable(const QString &name, TksVarType typeCode, const QString &typeName);
    void SetValue(const KsValue &value) override;
};

class TksParamItem : public TksVariable {
public:
    TksParamItem(const QString &name, TksVarType typeCode, const QString &typeName, bool isOptional, bool isVarParam);
    KsValue DefValue;
    bool IsOptional;
    bool IsVarParam;
};

inline TksParamItem *TksCustomVariable::Param(int i) const
{
    return static_cast<TksParamItem *>(FItems[size_t(i)]);
}

// A procedure or function of the program. Its body is Prog->MainBlock; its
// parameters are its entries and are also entered in Prog under their names.
class TksProcVariable final : public TksCustomVariable {
public:
    TksProcVariable(const QString &name, TksVarType typeCode, const QString &typeName, TksScript *parent,
                    bool isFunc = true);
    ~TksProcVariable() override;
    bool Executing = false;
    bool IsFunc;
    TksScript *Prog;  // the local scope (owned, see FProg)
    // Appends a parameter and enters it in the local scope.
    void AddParam(TksParamItem *param);
    KsValue GetValue() override;  // runs the procedure
    void SetValue(const KsValue &) override {}

    // The local scope's variables (parameters, Result, locals) are its frame
    // slots. A call that starts while the procedure runs (recursion) pushes a
    // frame holding the caller's values, which the call's end gives back.
    inline void PushFrame();
    void PopFrame()
    {
        KsValue *top = FFrameData + FFrameSize;
        for (auto it = FSlots.rbegin(); it != FSlots.rend(); ++it) {
            --top;
            KsValue &v = (*it)->Value;
            v.~KsValue();
            new (&v) KsValue(std::move(*top));
            top->~KsValue();
        }
        FFrameSize = size_t(top - FFrameData);
    }
    // Pushes a frame when the procedure is running; the frame goes with it.
    class Frame {
    public:
        explicit Frame(TksProcVariable *p) : FProc(p->Executing ? p : nullptr)
        {
            if (FProc) FProc->PushFrame();
        }
        Frame(const Frame &) = delete;
        Frame &operator=(const Frame &) = delete;
        ~Frame() { Release(); }
        // Gives the caller its values back now (before var parameters are written).
        void Release()
        {
            if (FProc) FProc->PopFrame();
            FProc = nullptr;
        }

    private:
        TksProcVariable *FProc;
    };

private:
    std::unique_ptr<TksScript> FProg;
    void RefreshSlots();
    inline TksScript *MainProgram();
    TksScript *FindMainProgram();
    std::vector<TksCustomVariable *> FSlots;
    // The saved values, frame after frame: a plain buffer, so that a call
    // copies its slots in and out without the bookkeeping of a vector.
    KsValue *FFrameData = nullptr;
    size_t FFrameSize = 0;
    size_t FFrameCap = 0;
    void GrowFrames(size_t more);
    int FSlotsVersion = -1;
    // The script whose Execute started the run, found once per change of
    // the script chains.
    TksScript *FMain = nullptr;
    quint64 FMainAt = 0;
};

// Base of binding modules: a module registers its classes and functions with
// the script in its constructor.
class TksRTTIModule : public TksObject {
public:
    explicit TksRTTIModule(TksScript *script) : Script(script) {}
    TksScript *Script;
};

using TksModuleFactory = std::function<TksRTTIModule *(TksScript *)>;
// The module registry: fixed order, the built-in module first.
void ksRegisterModule(const QString &name, TksModuleFactory factory);
void ksUnregisterModule(const QString &name);
QStringList ksRegisteredModules();

using TksGetUnitEvent = std::function<void(TksScript *sender, const QString &unitName, QString &unitText)>;
using TksRunLineEvent = std::function<void(TksScript *sender, const QString &unitName, const QString &sourcePos)>;

// Every statement asks for a line handler up the Parent chain, and almost no
// run has one; every procedure call asks for the main program up the same
// chain. Any change of a handler, of a Parent link or of a script becoming a
// main program bumps this counter, so the answers are remembered until the
// next change.
inline std::atomic<quint64> ksLineHandlersVersion{1};
inline void ksLineHandlersChanged()
{
    ksLineHandlersVersion.fetch_add(1, std::memory_order_relaxed);
}

// OnRunLine: used like the plain std::function it holds; assigning it
// invalidates the scripts' remembered answers.
class TksRunLineHandler {
public:
    TksRunLineHandler() = default;
    TksRunLineHandler(const TksRunLineHandler &) = delete;
    TksRunLineHandler &operator=(const TksRunLineHandler &other) { return *this = other.FHandler; }
    TksRunLineHandler &operator=(TksRunLineEvent handler)
    {
        FHandler = std::move(handler);
        ksLineHandlersChanged();
        return *this;
    }
    explicit operator bool() const { return bool(FHandler); }
    operator const TksRunLineEvent &() const { return FHandler; }
    void operator()(TksScript *sender, const QString &unitName, const QString &sourcePos) const
    {
        FHandler(sender, unitName, sourcePos);
    }

private:
    TksRunLineEvent FHandler;
};

// Parent: a plain pointer to read; setting it invalidates as above.
class TksParentLink {
public:
    TksParentLink() = default;
    TksParentLink(const TksParentLink &) = delete;
    TksParentLink &operator=(const TksParentLink &other) { return *this = other.FParent; }
    TksParentLink &operator=(TksScript *parent)
    {
        if (parent != FParent) {  // the report sets the same parent before each evaluation
            FParent = parent;
            ksLineHandlersChanged();
        }
        return *this;
    }
    operator TksScript *() const { return FParent; }
    TksScript *operator->() const { return FParent; }

private:
    TksScript *FParent = nullptr;
};

// Stopping a running program from outside. A request is checked at every
// loop turn and every call of a script procedure: the run then ends quietly
// (Execute, CallFunction and event adapters return as after Terminate),
// and no script try-except can catch it. The request lasts until the
// outermost run ends; made while no script runs, it is ignored. Safe from
// any thread, from host callbacks and from the poll hook.
void ksRequestStop();
bool ksStopRequested();
// What a stopped run raises inside the engine (a KsError, so that a host
// evaluating an expression directly sees an error).
class KsStopped : public KsError {
public:
    KsStopped();
};
// Called about every 50 ms while a script loops or calls, so that the host
// can process window messages (and so let the user ask for a stop). Returns
// the previous hook; an empty hook does nothing.
using TksPollHook = std::function<void()>;
TksPollHook ksSetPollHook(TksPollHook hook);
inline std::atomic<bool> ksStopFlag{false};
inline thread_local int ksPollCountdown = 4096;
void ksCheckStopSlow();
// Inline: every loop turn and every call runs it.
inline void ksCheckStop()
{
    if (ksStopFlag.load(std::memory_order_relaxed) || --ksPollCountdown <= 0) ksCheckStopSlow();
}

// Replaces the compiler that TksScript::Compile runs (ksCompileScript, both
// passes) until an empty hook restores it; tests install fakes with it. A
// hook fills the script from Lines and sets ErrorMsg, ErrorPos and
// ErrorUnit on failure.
using TksCompileHook = std::function<void(TksScript *script)>;
void ksSetCompileHook(TksCompileHook hook);

// Host callbacks.
using TksGetValueEvent =
        std::function<KsValue(QObject *instance, const KsClassInfo *classType, const QString &propName)>;
using TksSetValueEvent = std::function<void(QObject *instance, const KsClassInfo *classType, const QString &propName,
                                            const KsValue &value)>;
using TksCallMethodEvent = std::function<KsValue(QObject *instance, const KsClassInfo *classType,
                                                 const QString &methodName, TksMethodHelper *caller)>;
using TksCallMethodArrayEvent = std::function<KsValue(QObject *instance, const KsClassInfo *classType,
                                                      const QString &methodName, KsValue &params)>;

class TksScript : public QObject {
public:
    explicit TksScript(QObject *owner = nullptr);
    ~TksScript() override;

    const void *AddedBy = nullptr;
    bool BreakFlag = false;
    bool ContinueFlag = false;
    bool ExitFlag = false;
    QString ErrorMsg, ErrorPos, ErrorUnit;
    // What the last Compile added to the heap: a run of the program counts
    // it towards its memory budget (compiling is bounded by the budget too).
    qint64 CompiledBytes = 0;
    bool ExtendedIdentChars = false;
    bool Running = false;
    QStringList Lines;
    QStringList UnitLines;  // the second list: free for the compiler
    bool IsMainProgram = false;
    TksGetUnitEvent OnGetILUnit;
    TksGetUnitEvent OnGetUnit;
    TksRunLineHandler OnRunLine;
    TksParentLink Parent;
    TksScript *RunningProc = nullptr;
    bool RTTIAdded = false;
    std::unique_ptr<TksStatement> MainBlock;
    QString SyntaxType = QStringLiteral("PascalScript");
    bool Terminated = false;
    QStringList ExecutableLines;
    // Free flag for the host (the report marks expression evaluation with it).
    bool HostFlag = false;

    // Name table (sorted, case-insensitive, duplicates kept: the last added
    // of a name is found). The script owns what it holds unless `owned` is off.
    void Add(const QString &name, TksObject *item, bool owned = true);
    int Count() const { return int(FEntries.size()); }
    void Remove(TksObject *item);
    // Calls f(name, item) for every entry, in table order.
    template <class F>
    void ForEachItem(F f) const
    {
        for (const auto &[key, e] : FEntries) f(e.Name, e.Obj);
    }
    TksCustomVariable *Find(const QString &name) const;
    // Find by the name upper-cased already.
    TksCustomVariable *FindUpper(const QString &upperName) const;
    TksCustomVariable *FindLocal(const QString &name) const;
    TksClassVariable *FindClass(const QString &name) const;
    // Changes with every change of the table (caches of procedures use it).
    int Version() const { return FVersion; }

    bool Compile();
    void Execute();
    KsValue CallFunction(const QString &name, const KsValue &params = KsValue());
    KsValue CallFunctionVar(const QString &name, KsValue &params);
    void SetVariable(const QString &name, const KsValue &value);
    void Terminate();
    void Clear();
    void ClearItems(const void *owner);
    void AddRTTI();
    void ClearRTTI();
    void RunLine(const QString &unitName, const TksSourcePos &sourcePos)
    {
        if (FNoLineHandlerAt == ksLineHandlersVersion.load(std::memory_order_relaxed)) return;
        RunLineLookup(unitName, sourcePos.ToString());
    }
    void AddExecutableLine(const QString &unitName, const QString &sourcePos);

    // The Add family.
    virtual TksTypeVariable *AddType(const QString &typeName, TksVarType typeCode);
    virtual TksClassVariable *AddClass(const KsClassInfo *cls, const QString &ancestorName);
    TksClassVariable *AddClass(const QString &className, const QString &ancestorName);
    virtual TksVariable *AddConst(const QString &name, const QString &typeName, const KsValue &value);
    virtual void AddEnum(const QString &typeName, const QString &names);
    virtual void AddEnumSet(const QString &typeName, const QString &names);
    virtual TksMethodHelper *AddMethod(const QString &declaration, TksCallMethodEvent onCall,
                                       const QString &category = QString(), const QString &description = QString());
    virtual TksMethodHelper *AddMethodEx(const QString &declaration, TksCallMethodArrayEvent onCall,
                                         const QString &category = QString(), const QString &description = QString());
    virtual TksVariable *AddObject(const QString &name, QObject *obj);
    virtual TksVariable *AddVariable(const QString &name, const QString &typeName, const KsValue &value);
    // A form-like container: its class (ancestor "TForm"), one component
    // helper per child QObject with a name, and the object itself.
    virtual void AddForm(QObject *form, const QString &ancestorName = QStringLiteral("TForm"));
    void AddComponent(QObject *form) { AddForm(form); }

    // Objects the script makes through a class (TStringList.Create) that
    // nobody owns are freed when its run is over: by Clear (before the next
    // compile), with the script, or when the host says the run ended (a
    // report runs the main block and then the events of a build, and may
    // still use what the script made until then). Forms and controls stay.
    void FreeCreatedObjects();
    // Records an object a script made; kept by the topmost parent script.
    void AdoptCreated(QObject *obj);

private:
    struct Entry {
        QString Name;
        TksObject *Obj;
        TksCustomVariable *Var;
        bool Owned;
    };
    void AddEnumImpl(const QString &typeName, const QString &names, bool bits);
    template <class Pred>
    void RemoveEntries(Pred drop, bool backwards);
    void TerminateRecursive();
    void RunLineLookup(const QString &unitName, const QString &sourcePos);
    TksCustomVariable *FindKey(const QString &upperName) const;
    // By upper-cased name; of equal names the newest comes first. A map, so
    // that adding stays cheap however many names a program declares.
    std::multimap<QString, Entry> FEntries;
    // Per unit: its row of ExecutableLines, that row's length when last
    // written, and the line numbers in it.
    struct LineSet {
        int Row = -1;
        int Length = 0;
        std::vector<bool> Lines;  // the numbers below 2^22
        QSet<int> Numbers;        // the others
        QSet<QString> Others;
        int Last = -1;  // the number seen last
        bool Add(QStringView number);  // false when it is there already
    };
    QHash<QString, LineSet> FLineIndex;
    // The handler version at which no script up the chain had a line handler
    // (0: not known; versions start at 1).
    quint64 FNoLineHandlerAt = 0;
    int FVersion = 0;
    std::vector<QPointer<QObject>> FCreated;
    size_t FCreatedCompactAt = 64;
};

// Marks one run of a script (Execute, CallFunction, an event): the
// outermost one's end clears a stop request; its memory budget covers the
// runs inside it.
class TksRun {
public:
    // `held`: what the run's program took to compile (see TksScript::CompiledBytes).
    explicit TksRun(qint64 held = 0);
    ~TksRun();
    TksRun(const TksRun &) = delete;
    TksRun &operator=(const TksRun &) = delete;

private:
    KsRunBudget FBudget;
};

// Inline: every recursive call runs them.
inline void TksProcVariable::PushFrame()
{
    if (FSlotsVersion != Prog->Version()) RefreshSlots();
    if (FFrameSize + FSlots.size() > FFrameCap) GrowFrames(FSlots.size());
    KsValue *top = FFrameData + FFrameSize;
    for (TksCustomVariable *v : FSlots) new (top++) KsValue(v->Value);
    FFrameSize = size_t(top - FFrameData);
}

inline TksScript *TksProcVariable::MainProgram()
{
    return FMainAt == ksLineHandlersVersion.load(std::memory_order_relaxed) ? FMain : FindMainProgram();
}

// ---- host classes ---------------------------------------------------------------------

class TksCustomHelper : public TksCustomVariable {
public:
    TksCustomHelper(const QString &name, TksVarType typeCode, const QString &typeName)
        : TksCustomVariable(name, typeCode, typeName), UpperName(name.toUpper())
    {}
    // The name as the host's callbacks receive it (kept by helpers only: a
    // program holds many items of other kinds).
    QString UpperName;
    TksCustomVariable *ParentRef = nullptr;
    KsValue ParentValue;
    TksScript *Prog = nullptr;
    // The object ParentValue holds, checked against `cls`.
    QObject *Instance(const KsClassInfo *cls) const { return ParentValue.ToObject(cls); }
};

class TksPropertyHelper : public TksCustomHelper {
public:
    TksPropertyHelper(const QString &name, TksVarType typeCode, const QString &typeName);
    const KsClassInfo *ClassRef = nullptr;
    bool IsPublished = false;
    const KsPropInfo *PropInfo = nullptr;  // for published properties
    TksGetValueEvent OnGetValue;
    TksSetValueEvent OnSetValue;
    KsValue GetValue() override;
    void SetValue(const KsValue &value) override;
    // The property of `inst` (what GetValue and SetValue do once the
    // instance is found).
    KsValue GetFrom(QObject *inst);
    void SetOn(QObject *inst, const KsValue &value);
};

class TksMethodHelper : public TksCustomHelper {
public:
    // Parses the declaration in `script` (names, parameters, defaults).
    TksMethodHelper(const QString &declaration, TksScript *script);
    QString Category;
    const KsClassInfo *ClassRef = nullptr;
    QString Description;
    bool IndexMethod = false;
    TksCallMethodArrayEvent OnCallArray;
    TksCallMethodEvent OnCall;
    // A function of the library found when it was registered: called
    // straight with its arguments where they stand, one pointer each (OnCall
    // calls it too, with the parameters' values).
    KsValue (*Direct)(const KsValue *const *args) = nullptr;
    KsValue AssignedValue;
    QString Syntax;
    KsValue ParamValues;
    KsValue GetParam(int index) const;
    void SetParam(int index, const KsValue &value);
    int ParamCount() const { return Count(); }
    KsValue GetValue() override;
    void SetValue(const KsValue &value) override;

private:
    QString FGetName, FSetName;
};

class TksComponentHelper : public TksCustomHelper {
public:
    explicit TksComponentHelper(QObject *component);
    QPointer<QObject> Component;
    KsValue GetValue() override;
    void SetValue(const KsValue &) override {}
};

// An event adapter: the host calls Invoke with the event's arguments; the
// script procedure runs and var arguments come back in `args`.
class TksCustomEvent : public QObject, public TksObject {
public:
    TksCustomEvent(QObject *instance, TksProcVariable *handler) : Instance(instance), Handler(handler) {}
    QPointer<QObject> Instance;
    TksProcVariable *Handler;
    void Invoke(std::vector<KsValue> &args);
};
// Attaches (adapter != nullptr) or clears (nullptr) the handler of an event
// of `instance`. The host should keep the adapter as a QPointer: the script
// owns it and frees it on Clear.
using TksEventAttach = std::function<void(QObject *instance, const QString &eventName, TksCustomEvent *adapter)>;

class TksEventHelper : public TksCustomHelper {
public:
    TksEventHelper(const QString &name, TksEventAttach attach);
    const KsClassInfo *ClassRef = nullptr;
    TksEventAttach Attach;
    KsValue GetValue() override { return KsValue(QString()); }
    void SetValue(const KsValue &value) override;
};

class TksClassVariable : public TksCustomVariable {
public:
    TksClassVariable(const KsClassInfo *cls, const QString &ancestorName, TksScript *program);
    ~TksClassVariable() override;
    QString AncestorName;
    const KsClassInfo *ClassRef;
    TksMethodHelper *DefProperty = nullptr;
    TksItemList Members;
    TksScript *Program;

    TksMethodHelper *AddConstructor(const QString &declaration, TksCallMethodEvent onCall);
    TksMethodHelper *AddMethod(const QString &declaration, TksCallMethodEvent onCall);
    TksMethodHelper *AddMethodEx(const QString &declaration, TksCallMethodArrayEvent onCall);
    TksPropertyHelper *AddProperty(const QString &name, const QString &typeName, TksGetValueEvent onGet,
                                   TksSetValueEvent onSet = {});
    TksMethodHelper *AddIndexProperty(const QString &name, const QString &indexTypes, const QString &typeName,
                                      TksCallMethodEvent onCall, bool readOnly = false);
    TksMethodHelper *AddDefaultProperty(const QString &name, const QString &indexTypes, const QString &typeName,
                                        TksCallMethodEvent onCall, bool readOnly = false);
    TksEventHelper *AddEvent(const QString &name, TksEventAttach attach);
    TksComponentHelper *AddComponent(QObject *component);
    TksCustomVariable *FindMember(const QString &name) const;
    TksCustomVariable *MembersItems(int i) const { return static_cast<TksCustomVariable *>(Members.Items(i)); }
    int MembersCount() const { return Members.Count(); }

    // A new instance when the typecast parameter is empty, else that value.
    KsValue GetValue() override;
    void SetValue(const KsValue &) override {}

private:
    void AddMember(TksCustomVariable *m);
};

// Variables of exactly TksVariable, TksParamItem or TksStringVariable keep
// their value in Value and do nothing else on reading, so the run time may
// read Value directly; writing directly is allowed for the first two only
// (a string variable converts what it is given).
bool ksIsPlainRead(const TksValueItem *v);
bool ksIsPlainWrite(const TksCustomVariable *v);

// Finds the first script from `s` up the parents that started a run.
TksScript *ksMainProgram(TksScript *s);
