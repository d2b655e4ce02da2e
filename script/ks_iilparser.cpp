#include "script/ks_iilparser.h"

#include "script/ks_iconst.h"
#include "script/ks_iexpression.h"
#include "script/ks_idesignator.h"
#include "script/ks_idisp.h"
#include "script/ks_iparser.h"
#include "script/ks_istatements.h"
#include "script/ks_itools.h"

#include <QFile>
#include <QFileInfo>
#include <bitset>
#include <unordered_map>
#include <exception>
#include <typeinfo>

// ---- grammar --------------------------------------------------------------------------------

namespace ksil {

enum Kind : std::uint8_t {
    kRule,
    kChar,
    kKeyword,
    kIdent,
    kNumber,
    kString,
    kLyString,
    kEol,
    kSequence,
    kSwitch,
    kOptSwitch,
    kOptional,
    kLoop,
    kOptLoop,
    kRef
};

// What an element can start with, for turning it down at a glance: when the
// next token is none of these, running the element would fail (or, when
// Nullable, succeed on nothing) without recording an error or writing
// anything. Unknown elements are always run.
struct FirstTokens {
    bool Known = false;
    bool Nullable = false;
    bool AnyPunct = false, AnyWord = false;
    std::bitset<128> Puncts;
    QStringList Words;  // lower case
    void Merge(const FirstTokens &o)
    {
        AnyPunct = AnyPunct || o.AnyPunct;
        AnyWord = AnyWord || o.AnyWord;
        Puncts |= o.Puncts;
        for (const QString &w : o.Words)
            if (!Words.contains(w)) Words << w;
    }
};

// One grammar element, read once from the grammar document.
struct Node {
    Kind K = kSequence;
    QString Text;  // lower case
    QString NodeName, Add, AddText, Err;
    bool NoSkip = false, SkipErr = false, Term = false;
    QString RefName;
    const Node *Target = nullptr;  // kRef: the rule (nullptr: missing)
    std::vector<std::unique_ptr<Node>> Children;
    bool IsExpr = false;  // its node is an expression (which also records where it ends)
    bool IsUses = false;  // its node is a uses clause (whose units are included)
    bool PlainRef = false;  // a reference to an existing rule and nothing else
    FirstTokens First;
    std::uint8_t FirstState = 0;  // 0 not worked out, 1 being worked out, 2 done
};

struct Grammar {
    QString Name;
    std::vector<std::unique_ptr<Node>> Rules;
    const Node *Program = nullptr;
    QHash<QString, QString> Errors;  // "err1" -> text
    QList<QPair<QString, QString>> Settings;
    QStringList Keywords;
    bool DeclareVars = true;
    std::unique_ptr<TksXMLItem> Types;  // copy of the types element
};

namespace {

Kind KindOf(const QString &n)
{
    static const QHash<QString, Kind> kinds = {{QStringLiteral("char"), kChar},
                                               {QStringLiteral("keyword"), kKeyword},
                                               {QStringLiteral("ident"), kIdent},
                                               {QStringLiteral("number"), kNumber},
                                               {QStringLiteral("string"), kString},
                                               {QStringLiteral("lystring"), kLyString},
                                               {QStringLiteral("eol"), kEol},
                                               {QStringLiteral("sequence"), kSequence},
                                               {QStringLiteral("switch"), kSwitch},
                                               {QStringLiteral("optionalswitch"), kOptSwitch},
                                               {QStringLiteral("optional"), kOptional},
                                               {QStringLiteral("loop"), kLoop},
                                               {QStringLiteral("optionalloop"), kOptLoop}};
    return kinds.value(n, kRef);
}

std::unique_ptr<Node> ReadNode(const TksXMLItem *x, bool isRule, int depth)
{
    if (depth > ksMaxGrammarDepth) throw KsError(QStringLiteral("EParserError"), SInvalidLanguage);
    auto n = std::make_unique<Node>();
    const QString name = x->Name.toLower();
    n->K = isRule ? kRule : KindOf(name);
    if (n->K == kRef) n->RefName = name;
    n->Text = x->Prop(QStringLiteral("text")).toLower();
    n->NodeName = x->Prop(QStringLiteral("node"));
    n->IsExpr = n->NodeName == QLatin1String("expr");
    n->IsUses = n->NodeName == QLatin1String("uses");
    n->Add = x->Prop(QStringLiteral("add"));
    n->AddText = x->Prop(QStringLiteral("addtext"));
    n->Err = x->Prop(QStringLiteral("err"));
    const QString skip = x->Prop(QStringLiteral("skip"));
    n->NoSkip = skip == QLatin1String("0");
    n->SkipErr = skip == QLatin1String("1");
    n->Term = x->Prop(QStringLiteral("term")) == QLatin1String("1");
    for (int i = 0; i < x->Count(); ++i) n->Children.push_back(ReadNode(x->Items(i), false, depth + 1));
    return n;
}

void Link(Node *n, const QHash<QString, const Node *> &rules)
{
    if (n->K == kRef) n->Target = rules.value(n->RefName, nullptr);
    n->PlainRef = n->K == kRef && n->Target && n->NodeName.isEmpty() && n->Add.isEmpty() && n->Err.isEmpty() &&
                  n->Children.empty();
    for (auto &c : n->Children) Link(c.get(), rules);
}

FirstTokens FirstOf(Node *n);

// The children run one after another: what the first that must consume
// something can start with, and those before it.
FirstTokens FirstOfSequence(Node *n)
{
    FirstTokens f;
    f.Known = true;
    for (auto &c : n->Children) {
        const FirstTokens &cf = FirstOf(c.get());
        if (!cf.Known) return FirstTokens();
        f.Merge(cf);
        if (!cf.Nullable) return f;
    }
    f.Nullable = true;
    return f;
}

FirstTokens WorkOutFirst(Node *n)
{
    FirstTokens f;
    switch (n->K) {
    case kChar:
        // A char without skip reads where it stands, blanks included.
        if (n->NoSkip || !n->Err.isEmpty() || n->Text.size() > 1) return f;
        f.Known = true;
        if (n->Text.isEmpty())
            f.AnyPunct = true;
        else if (n->Text[0].unicode() < 128)
            f.Puncts.set(n->Text[0].unicode());
        else
            return FirstTokens();
        return f;
    case kKeyword:
    case kIdent:
        if (!n->Err.isEmpty()) return f;
        f.Known = true;
        if (n->K == kIdent || n->Text.isEmpty())
            f.AnyWord = true;
        else
            f.Words << n->Text;
        return f;
    case kSequence:
    case kRule:
        if (n->K == kSequence && !n->Add.isEmpty()) return f;  // written before its children run
        f = FirstOfSequence(n);
        if (f.Nullable && !n->NodeName.isEmpty()) return FirstTokens();
        return f;
    case kRef:
        if (!n->Target) return f;
        f = FirstOf(const_cast<Node *>(n->Target));
        if (!f.Known) return f;
        if (f.Nullable ? !n->NodeName.isEmpty() || !n->Add.isEmpty() : !n->Err.isEmpty()) return FirstTokens();
        return f;
    case kSwitch:
    case kOptSwitch:
        if (n->K == kSwitch && !n->Err.isEmpty()) return f;
        f.Known = true;
        for (auto &c : n->Children) {
            const FirstTokens &cf = FirstOf(c.get());
            if (!cf.Known) return FirstTokens();
            f.Merge(cf);
            f.Nullable = f.Nullable || cf.Nullable;
        }
        if (n->K == kOptSwitch) f.Nullable = true;
        return f;
    case kOptional:
        f = FirstOfSequence(n);
        f.Nullable = true;
        return f;
    case kLoop:
    case kOptLoop:
        f = FirstOfSequence(n);
        // an empty iteration would still take a separator
        if (f.Nullable && !n->Text.isEmpty()) return FirstTokens();
        if (n->K == kOptLoop) f.Nullable = true;
        return f;
    default:  // numbers, strings, template texts and line ends
        return f;
    }
}

FirstTokens FirstOf(Node *n)
{
    if (n->FirstState == 1) return FirstTokens();  // a rule reached again before its first token
    if (n->FirstState == 0) {
        n->FirstState = 1;
        FirstTokens f = WorkOutFirst(n);
        n->First = f;
        n->FirstState = 2;
    }
    return n->First;
}

void WorkOutFirstAll(Node *n)
{
    FirstOf(n);
    for (auto &c : n->Children) WorkOutFirstAll(c.get());
}

std::shared_ptr<const Grammar> Load(const QString &text)
{
    auto g = std::make_shared<Grammar>();
    TksXMLDocument doc;
    try {
        doc.LoadFromString(text);
    } catch (const KsError &) {
        throw KsError(QStringLiteral("EParserError"), SInvalidLanguage);
    }
    TksXMLItem *root = doc.Root();
    g->Name = root->Prop(QStringLiteral("text"));
    QHash<QString, const Node *> rules;
    for (int i = 0; i < root->Count(); ++i) {
        TksXMLItem *x = root->Items(i);
        const QString name = x->Name.toLower();
        if (name == QLatin1String("parser")) {
            for (int j = 0; j < x->Count(); ++j) {
                TksXMLItem *s = x->Items(j);
                const QString sn = s->Name.toLower();
                if (sn == QLatin1String("keywords")) {
                    for (int k = 0; k < s->Count(); ++k) g->Keywords << s->Items(k)->Name;
                } else if (sn == QLatin1String("errors")) {
                    for (int k = 0; k < s->Count(); ++k)
                        g->Errors.insert(s->Items(k)->Name.toLower(), s->Items(k)->Prop(QStringLiteral("text")));
                } else {
                    g->Settings.append({sn, s->Prop(QStringLiteral("text"))});
                    if (sn == QLatin1String("declarevars"))
                        g->DeclareVars = s->Prop(QStringLiteral("text")) != QLatin1String("0");
                }
            }
            continue;
        }
        if (name == QLatin1String("types")) {
            g->Types = std::make_unique<TksXMLItem>();
            g->Types->Assign(x);
            continue;
        }
        g->Rules.push_back(ReadNode(x, true, 0));
        if (!rules.contains(name)) rules.insert(name, g->Rules.back().get());
    }
    if (!rules.contains(QStringLiteral("program"))) {  // an empty start rule
        g->Rules.push_back(std::make_unique<Node>());
        g->Rules.back()->K = kRule;
        rules.insert(QStringLiteral("program"), g->Rules.back().get());
    }
    g->Program = rules.value(QStringLiteral("program"));
    for (auto &r : g->Rules) Link(r.get(), rules);
    for (auto &r : g->Rules) WorkOutFirstAll(r.get());
    if (!g->Types) {
        g->Types = std::make_unique<TksXMLItem>();
        g->Types->Name = QStringLiteral("types");
    }
    return g;
}

// Grammars are read once per text.
std::shared_ptr<const Grammar> Cached(const QString &text)
{
    static QHash<QString, std::shared_ptr<const Grammar>> cache;
    auto it = cache.find(text);
    if (it != cache.end()) return it.value();
    auto g = Load(text);
    if (cache.size() > 32) cache.clear();
    cache.insert(text, g);
    return g;
}

}  // namespace
}  // namespace ksil

using namespace ksil;

// Raised when a text needs more rule nesting or steps than pass 1 allows;
// the message names the limit.
struct KsTooComplex {
    QString Message;
};

namespace {

[[noreturn, gnu::cold]] void TooComplex(qint64 steps, qint64 budget)
{
    if (steps > budget) throw KsTooComplex{SProgramTooLong.arg(budget)};
    throw KsTooComplex{SProgramTooDeep.arg(ksMaxRuleDepth)};
}

}  // namespace

// ---- pass 1 ---------------------------------------------------------------------------------

struct ksilPass1 {
    TksILParser *Owner;
    const Grammar *G;
    TksParser P;
    // The elements written and not yet taken into an element around them;
    // finished, they are the IL root's children.
    TksXMLArena *Arena = nullptr;
    std::vector<TksXMLItem *> Out;
    ~ksilPass1() { Truncate(0); }
    QString ErrMsg, ErrPos;
    bool ErrTerm = false;
    bool HasErr = false;
    int Depth = 0;
    qint64 Steps = 0;
    qint64 Budget = 0;

    QString PosAfterBlanks(int p0)
    {
        QString r;
        AppendPosAfterBlanks(r, p0);
        return r;
    }

    // Where blanks and comments from a position end: elements tried one
    // after another at the same place ask again and again.
    int SkipFrom = -1, SkipTo = 0;
    int WordFrom = -1;  // and the word there
    QStringView Word;
    int Skipped(int p)
    {
        if (p != SkipFrom) {
            P.SetPosition(p);
            P.SkipSpaces();
            SkipFrom = p;
            SkipTo = P.Position();
        }
        return SkipTo;
    }

    // Whether the next token is none that `e` can start with.
    bool TurnedDown(const Node *e)
    {
        const FirstTokens &f = e->First;
        const int p0 = P.Position();
        const int q = Skipped(p0);
        P.SetPosition(p0);
        const QChar c = P.PunctAt(q);
        if (!c.isNull() && (f.AnyPunct || (c.unicode() < 128 && f.Puncts.test(c.unicode())))) return false;
        if (!f.AnyWord && f.Words.isEmpty()) return true;
        if (q != WordFrom) {
            WordFrom = q;
            Word = P.WordAt(q);
        }
        const QStringView w = Word;
        if (w.isEmpty()) return true;
        if (f.AnyWord) return false;
        for (const QString &k : f.Words)
            if (SameWord(w, k)) return false;
        return true;
    }

    void Record(const Node *e, int p0)
    {
        if (HasErr || e->Err.isEmpty()) return;
        HasErr = true;
        ErrMsg = G->Errors.value(e->Err.toLower());
        ErrPos = PosAfterBlanks(p0);
        ErrTerm = e->Term;
    }

    // An item named `name` (borrowed from the arena: names repeat), with
    // the text `kept` by the arena too.
    TksXMLItem *NewItem(const QString &name, const QString *kept = nullptr)
    {
        TksXMLItem *item = Arena->Make();
        item->Name.Borrow(Arena->Share(name));
        item->Text.Borrow(kept);
        Arena->Hold(item);
        return item;
    }
    TksXMLItem *NewItem(const QString &name, QString text)
    {
        TksXMLItem *item = NewItem(name);
        item->Text = std::move(text);
        return item;
    }

    // "line:col" of where blanks and comments from `p0` end.
    void AppendPosAfterBlanks(QString &to, int p0)
    {
        const int save = P.Position();
        P.AppendPositionText(to, Skipped(p0));
        P.SetPosition(save);
    }

    // Attribute texts are written here, then kept by the arena.
    std::vector<char16_t> Scratch;
    char16_t *At = nullptr;  // where the next character goes

    // Room for `n` more characters from the start.
    void StartScratch(size_t n)
    {
        if (Scratch.size() < n) Scratch.resize(std::max<size_t>(n, 256));
        At = Scratch.data();
    }


    void PutLatin1(const char *s)
    {
        while (*s) *At++ = char16_t(*s++);
    }

    // A literal text, copied at its known length.
    template <size_t N>
    void PutText(const char16_t (&s)[N])
    {
        At = std::copy(s, s + N - 1, At);
    }


    void Wrap(const Node *e, int p0, int n0)
    {
        const int save = P.Position();
        const int start = Skipped(p0);
        P.SetPosition(save);
        TksXMLItem *item = NewItem(e->NodeName);
        item->SetPlaces(start, e->IsExpr ? P.Position() : -1);
        if (size_t(n0) < Out.size()) {
            item->Reserve(int(Out.size()) - n0);
            for (size_t i = size_t(n0); i < Out.size(); ++i) item->AddItem(Out[i]);
            Out.resize(size_t(n0));
        }
        Out.push_back(item);
    }

    void Truncate(int n0)
    {
        for (size_t i = size_t(n0); i < Out.size(); ++i) Arena->Free(Out[i]);
        Out.resize(size_t(n0));
    }

    // Parse(c), with a reference that only names its rule (no node, add or
    // err) run as the rule itself: the same checks, one call less.
    bool Run(const Node *c)
    {
        if (!c->PlainRef) return Parse(c);
        if (++Steps > Budget || Depth >= ksMaxRuleDepth) TooComplex(Steps, Budget);
        if (c->First.Known && P.SkipBlanks && TurnedDown(c)) return c->First.Nullable;
        ++Depth;  // an exception ends the pass, so the count need not be restored then
        const bool ok = Parse(c->Target);
        --Depth;
        return ok;
    }

    bool RunChildren(const Node *e)
    {
        for (const auto &c : e->Children)
            if (!Run(c.get())) return false;
        return true;
    }

    // Texts of the same length can only then be equal, in any case.
    bool SameWord(QStringView a, QStringView b) const
    {
        return a.size() == b.size() && (P.CaseSensitive ? a == b : a.compare(b, Qt::CaseInsensitive) == 0);
    }

    bool TokenMatches(const Node *e, QStringView tok) const
    {
        if (tok.isEmpty()) return false;
        if (e->Text.isEmpty()) return true;
        return SameWord(tok, e->Text);
    }

    bool Parse(const Node *e);
    bool ParseLoop(const Node *e, int p0);
    bool ReadUnitFile(const QString &unit, QString &text);
    void IncludeUnits(int n0);
};

bool ksilPass1::ParseLoop(const Node *e, int p0)
{
    const bool hadErr = HasErr;
    int count = 0;
    int end = p0;
    bool ok = false;
    for (;;) {
        ++count;
        const int start = P.Position();
        ok = RunChildren(e);
        end = P.Position();
        if (ok && !e->Text.isEmpty()) {
            P.SetPosition(Skipped(P.Position()));
            const QChar c = P.PeekPunct();
            if (c.isNull() || e->Text.size() != 1 || e->Text[0] != c) {
                P.SetPosition(end);
                break;
            }
            P.SetPosition(P.Position() + 1);
        }
        if (!ok || P.Position() == start) break;
    }
    bool result;
    if (count > 1) {
        result = true;
        P.SetPosition(end);
        // An error made by the element that ended the loop is no error when
        // the loop or that element says so.
        if (!hadErr && HasErr && (e->SkipErr || ErrTerm)) {
            HasErr = false;
            ErrMsg.clear();
            ErrPos.clear();
            ErrTerm = false;
        }
    } else {
        result = ok;
    }
    if (!result && e->K == kOptLoop) {
        P.SetPosition(p0);
        result = true;
    }
    if (!result) P.SetPosition(p0);
    return result;
}

bool ksilPass1::Parse(const Node *e)
{
    if (++Steps > Budget || Depth >= ksMaxRuleDepth) TooComplex(Steps, Budget);
    struct DepthGuard {
        int &D;
        explicit DepthGuard(int &d) : D(d) { ++D; }
        ~DepthGuard() { --D; }
    } guard(Depth);
    if (e->First.Known && P.SkipBlanks && TurnedDown(e)) return e->First.Nullable;
    const int p0 = P.Position();
    const int n0 = int(Out.size());
    QString held;      // a token made as a string
    QStringView token;  // the token read (in the text, in `held` or `punct`)
    QChar punct;
    bool ok = true;
    bool terminal = false;
    switch (e->K) {
    case kRule: {
        ok = RunChildren(e);
        if (!ok) P.SetPosition(p0);
        if (!e->NodeName.isEmpty()) {
            if (!ok)
                Truncate(n0);
            else if (e->IsUses)
                IncludeUnits(n0);
            else
                Wrap(e, p0, n0);
        }
        return ok;
    }
    case kChar:
    case kKeyword: {
        // Matched against the text first: most tries fail, and a failed one
        // needs no string.
        QStringView seen;
        if (e->K == kChar) {
            if (!e->NoSkip) P.SetPosition(Skipped(P.Position()));
            punct = P.PeekPunct();
            if (!punct.isNull()) {
                P.SetPosition(P.Position() + 1);
                seen = QStringView(&punct, 1);
            }
        } else {
            if (P.SkipBlanks) P.SetPosition(Skipped(P.Position()));
            seen = P.ReadWordView();
        }
        const bool matches = !seen.isEmpty() && (e->Text.isEmpty() || SameWord(seen, e->Text));
        if (!matches) {
            Record(e, p0);
            P.SetPosition(p0);
            return false;
        }
        token = seen;
        break;
    }
    case kIdent:
        if (P.SkipBlanks) P.SetPosition(Skipped(P.Position()));
        token = P.ReadIdentView();
        terminal = true;
        break;
    case kNumber:
        held = P.ReadNumber();
        token = held;
        terminal = true;
        break;
    case kString:
        held = P.ReadString();
        token = held;
        terminal = true;
        break;
    case kLyString: {
        held = P.ReadBracketText();
        token = held;
        terminal = true;
        if (!held.isEmpty()) {
            // a call of Get with the text: Get('text')
            const QString pos = P.PositionText();
            const QString at = QStringLiteral("pos=\"") + pos + QStringLiteral("\"");
            TksXMLItem *dsgn = NewItem(QStringLiteral("dsgn"), at);
            dsgn->AddItem(NewItem(QStringLiteral("node"), QStringLiteral("text=\"Get\" ") + at));
            TksXMLItem *expr = NewItem(QStringLiteral("expr"), at + QStringLiteral(" pos1=\"") + pos + QStringLiteral("\""));
            dsgn->AddItem(expr);
            expr->AddItem(NewItem(QStringLiteral("string"),
                                  QStringLiteral("text=\"") + ksXMLEscape(QLatin1Char('\'') + held + QLatin1Char('\'')) +
                                          QStringLiteral("\" ") + at));
            Out.push_back(dsgn);
        }
        break;
    }
    case kEol:
        ok = P.ReadEOL();
        if (!ok) {
            Record(e, p0);
            P.SetPosition(p0);
            return false;
        }
        break;
    case kSequence:
        break;
    case kSwitch:
    case kOptSwitch:
        for (const auto &c : e->Children)
            if (Run(c.get())) return true;
        P.SetPosition(p0);
        if (e->K == kSwitch) {
            Record(e, p0);
            return false;
        }
        return true;
    case kLoop:
    case kOptLoop:
        return ParseLoop(e, p0);
    case kOptional:
        if (!RunChildren(e)) P.SetPosition(p0);
        return true;
    case kRef:
        if (!e->Target) throw KsError(QStringLiteral("EParserError"), SInvalidLanguage);
        ok = Parse(e->Target);
        if (!ok) {
            Record(e, p0);
            if (!e->NodeName.isEmpty()) Truncate(n0);
            P.SetPosition(p0);
            return false;
        }
        break;
    }
    if (terminal && !TokenMatches(e, token)) {
        Record(e, p0);
        P.SetPosition(p0);
        return false;
    }
    if (!e->NodeName.isEmpty() && e->K != kSequence) Wrap(e, p0, n0);
    if (!e->Add.isEmpty()) {
        const QStringView text = e->AddText.isEmpty() ? token : QStringView(e->AddText);
        // an escape takes at most 8 characters (&#13; ... &#65535;)
        StartScratch(8 * size_t(text.size()) + TksParser::kPositionChars + 16);
        PutText(u"text=\"");
        for (QChar c : text) {
            if (ksXMLEscapes(c)) {
                PutText(u"&#");
                PutLatin1(QByteArray::number(c.unicode()).constData());
                *At++ = u';';
            } else {
                *At++ = c.unicode();
            }
        }
        *At++ = u'"';
        TksXMLItem *leaf = NewItem(e->Add, Arena->Share(QStringView(Scratch.data(), At - Scratch.data())));
        leaf->SetPlaces(P.Position(), -1);
        Out.push_back(leaf);
    }
    if (e->K != kRef && !RunChildren(e)) {
        if (!e->NodeName.isEmpty()) Truncate(n0);
        P.SetPosition(p0);
        return false;
    }
    if (e->K == kSequence && !e->NodeName.isEmpty()) Wrap(e, p0, n0);
    return true;
}

namespace {
// Text between the quotes of a leaf's text attribute (`line`: its attributes).
QString QuotedName(const QString &line)
{
    int a = line.indexOf(QStringLiteral("text=\""));
    if (a < 0) return QString();
    a += 6;
    int b = line.indexOf(QLatin1Char('"'), a);
    QString v = ksXMLUnescape(line.mid(a, b - a));
    if (v.startsWith(QLatin1Char('\''))) v = v.mid(1);
    if (v.endsWith(QLatin1Char('\''))) v.chop(1);
    return v;
}
}  // namespace

bool ksReadUnitFile(const QString &unit, QString &text, QString &error)
{
    const QFileInfo info(unit);
    QFile f(unit);
    if (!info.isFile() || !f.open(QIODevice::ReadOnly)) {
        error = SUnitNotRead.arg(unit);
        return false;
    }
    const QByteArray data = f.read(ksMaxUnitBytes + 1);
    if (data.size() > ksMaxUnitBytes) {
        error = SUnitTooLarge.arg(unit);
        return false;
    }
    text = QString::fromUtf8(data);
    return true;
}

// A unit file that cannot be read is this pass's error.
bool ksilPass1::ReadUnitFile(const QString &unit, QString &text)
{
    QString error;
    if (ksReadUnitFile(unit, text, error)) return true;
    if (!HasErr) {
        HasErr = true;
        ErrMsg = error;
        ErrPos = P.PositionText();
        ErrTerm = false;
    }
    return false;
}

void ksilPass1::IncludeUnits(int n0)
{
    TksScript *prog = Owner->FProgram;
    for (int i = int(Out.size()) - 1; i >= n0; --i) {
        const QString unit = QuotedName(Out[size_t(i)]->Text);
        Arena->Free(Out[size_t(i)]);
        Out.erase(Out.begin() + i);
        if (Owner->UsedUnits.contains(unit, Qt::CaseInsensitive)) continue;
        Owner->UsedUnits << unit;
        QString text;
        if (prog->OnGetUnit) {
            prog->OnGetUnit(prog, unit, text);
        } else if (!ReadUnitFile(unit, text)) {
            continue;
        }
        // The last line of a unit ends like the main text's (Basic needs its line end).
        if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')) && !text.endsWith(QLatin1Char('\r')))
            text += QStringLiteral("\r\n");
        const QString attrs = QStringLiteral("unit=\"") + ksXMLEscape(unit) + QLatin1Char('"');
        if (text.isEmpty()) {
            Out.insert(Out.begin() + i, NewItem(QStringLiteral("uses"), attrs));
            continue;
        }
        if (Owner->UnitDepth >= ksMaxUnitDepth) throw KsTooComplex{SUnitsTooDeep.arg(ksMaxUnitDepth)};
        TksILParser child(prog);
        child.UnitName = unit;
        child.UnitDepth = Owner->UnitDepth + 1;
        child.Texts = Owner->Texts;
        child.SelectLanguage(Owner->FLanguage);
        child.UsedUnits = Owner->UsedUnits;
        if (!child.MakeILScript(text)) {
            if (!HasErr) {
                HasErr = true;
                ErrMsg = prog->ErrorMsg;
                ErrPos = prog->ErrorPos;
                ErrTerm = false;
            }
            if (prog->ErrorUnit.isEmpty()) prog->ErrorUnit = unit;
            continue;
        }
        Owner->UsedUnits = child.UsedUnits;
        TksXMLItem *uses = NewItem(QStringLiteral("uses"), attrs);
        Out.insert(Out.begin() + i, uses);
        uses->Add()->Assign(child.FIL.Root());
    }
}

// ---- the parser object ----------------------------------------------------------------------

TksILParser::TksILParser(TksScript *program) : Texts(std::make_shared<QHash<QString, QString>>()), FProgram(program) {}

TksILParser::~TksILParser() = default;

void TksILParser::SelectLanguage(const QString &name)
{
    const QString text = ksLanguageGrammar(name);
    FGrammar = Cached(text);
    FLanguage = name.trimmed();
    FDeclareVars = FGrammar->DeclareVars;
}

namespace {
void ApplySettings(TksParser &p, const Grammar &g, bool extended)
{
    p.Reset();
    p.SetKeywords(g.Keywords);
    for (const auto &s : g.Settings) {
        const QString &n = s.first;
        const QString &v = s.second;
        if (n == QLatin1String("identchars"))
            p.SetIdentChars(v);
        else if (n == QLatin1String("commentline1"))
            p.CommentLine1 = v;
        else if (n == QLatin1String("commentline2"))
            p.CommentLine2 = v;
        else if (n == QLatin1String("commentblock1"))
            p.SetCommentBlock1(v);
        else if (n == QLatin1String("commentblock2"))
            p.SetCommentBlock2(v);
        else if (n == QLatin1String("stringquotes"))
            p.StringQuotes = v;
        else if (n == QLatin1String("hexsequence"))
            p.HexSequence = v;
        else if (n == QLatin1String("casesensitive"))
            p.CaseSensitive = v == QLatin1String("1");
        else if (n == QLatin1String("skipeol"))
            p.SkipEOL = v != QLatin1String("0");
        else if (n == QLatin1String("skipchar"))
            p.SkipChar = v;
    }
    if (extended) p.AddIdentChars(128, 255);
}

// Whether the start rule ends with the "." of a Pascal-like program (text
// after it is ignored); other languages must use the whole text.
bool EndsWithDot(const Node *program)
{
    if (!program || program->Children.empty()) return false;
    const Node *last = program->Children.back().get();
    return last->K == kChar && last->Text == QLatin1String(".");
}
}  // namespace

bool TksILParser::MakeILScript(const QString &text)
{
    (*Texts)[UnitName] = text;
    int start = 1;
    if (text.startsWith(QLatin1Char('#'))) {
        TksParser w;
        w.SetText(text);
        w.SetPosition(2);
        if (w.ReadWord().compare(QLatin1String("language"), Qt::CaseInsensitive) == 0) {
            int cr = text.indexOf(QLatin1Char('\r'));
            int lf = text.indexOf(QLatin1Char('\n'));
            int eol = cr < 0 ? lf : (lf < 0 ? cr : std::min(cr, lf));
            if (eol < 0) eol = int(text.size());
            SelectLanguage(text.mid(w.Position() - 1, eol - (w.Position() - 1)).trimmed());
            start = eol + 1;
            if (start <= text.size() && text[start - 1] == QLatin1Char('\r')) ++start;
            if (start <= text.size() && text[start - 1] == QLatin1Char('\n')) ++start;
        }
    }
    if (!FGrammar) SelectLanguage(FProgram->SyntaxType);
    // The IL is built in its own arena: a failed pass leaves the last IL as it was.
    auto arena = std::make_unique<TksXMLArena>();
    ksilPass1 p1;
    p1.Arena = arena.get();
    arena->PlaceText = [&p1](char16_t *out, int place) { return p1.P.WritePositionText(out, place); };
    p1.Owner = this;
    p1.G = FGrammar.get();
    ApplySettings(p1.P, *FGrammar, FProgram->ExtendedIdentChars);
    p1.P.SetText(text);
    p1.P.SetPosition(start);
    // Backtracking is bounded: a pathological text fails instead of hanging.
    // Real scripts need some 15 rule steps per character.
    p1.Budget = ksRuleStepBudget(qint64(text.size()));
    bool ok = false;
    try {
        ok = p1.Parse(FGrammar->Program);
        // Text the rules left unread is an error, unless the start rule ends at
        // a Pascal-like final "."; a text of nothing but blanks and comments
        // compiles to an empty program.
        if (!p1.HasErr && (!ok || !EndsWithDot(FGrammar->Program))) {
            if (!ok) p1.P.SetPosition(start);
            p1.P.SkipSpaces();
            while (p1.P.ReadEOL()) p1.P.SkipSpaces();
            if (p1.P.Position() <= p1.P.Size()) {
                p1.HasErr = true;
                p1.ErrMsg = FGrammar->Errors.value(QStringLiteral("err3"), QStringLiteral("Statement expected"));
                p1.ErrPos = p1.P.PositionText();
            }
        }
    } catch (const KsTooComplex &e) {
        p1.HasErr = true;
        p1.ErrMsg = e.Message;
        p1.ErrPos = p1.P.PositionText();
    } catch (const KsError &e) {
        // the intermediate code passed the memory a run may take
        p1.HasErr = true;
        p1.ErrMsg = e.Message;
        p1.ErrPos = p1.P.PositionText();
    }
    FProgram->ErrorMsg = p1.ErrMsg;
    FProgram->ErrorPos = p1.ErrPos;
    if (!ok || p1.HasErr) return false;
    FIL.Root()->Clear();
    // the places of the items are read after this pass, in a scanner of their own
    auto places = std::make_shared<TksParser>(p1.P);
    places->KeepLinesOnly();
    arena->PlaceText = [places](char16_t *out, int place) { return places->WritePositionText(out, place); };
    FArena = std::move(arena);
    FIL.Root()->Name = QStringLiteral("program");
    FIL.Root()->Text.clear();
    FIL.Root()->Reserve(int(p1.Out.size()) + 1);
    for (TksXMLItem *item : p1.Out) FIL.Root()->AddItem(item);
    p1.Out.clear();
    auto *types = new TksXMLItem;
    types->Assign(FGrammar->Types.get());
    FIL.Root()->AddItem(types);
    return true;
}

QString ksMakeIL(const QString &text, const QString &language, QString *error)
{
    TksScript s;
    // Units that cannot be read stay named, as empty uses elements.
    s.OnGetUnit = [](TksScript *, const QString &unit, QString &text) {
        QString ignored;
        ksReadUnitFile(unit, text, ignored);
    };
    TksILParser p(&s);
    try {
        p.SelectLanguage(language);
        if (p.MakeILScript(text)) {
            p.ILDocument()->AutoIndent = true;
            return p.ILDocument()->SaveToString();
        }
    } catch (const KsError &e) {
        s.ErrorMsg = e.Message;
    }
    if (error) *error = s.ErrorPos + QStringLiteral(": ") + s.ErrorMsg;
    return QString();
}

// ---- pass 2 ---------------------------------------------------------------------------------

namespace {

bool HasUpper(const QString &s)
{
    for (QChar c : s)
        if ((c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || c.unicode() > 127) return true;
    return false;
}

QString NameOf(const TksXMLItem *x)
{
    // The grammars name their elements in lower case already.
    return HasUpper(x->Name) ? x->Name.toLower() : x->Name;
}

// An element's name as its lower-case form, compared with the IL's names
// without making that form when the name is in lower case already.
struct ksilName {
    const QString &N;
    const bool Lower;  // no character that lower-casing would change
    explicit ksilName(const TksXMLItem *x) : N(x->Name), Lower(!HasUpper(x->Name)) {}
    bool operator==(QLatin1StringView n) const
    {
        return Lower ? N.size() == n.size() && N == n : N.toLower() == n;
    }
    bool operator!=(QLatin1StringView n) const { return !(*this == n); }
};

bool Is(const TksXMLItem *x, QLatin1StringView n)
{
    // The grammars write names in lower case: most are told apart without lower-casing.
    const QString &name = x->Name;
    if (name.size() == n.size()) {
        qsizetype i = 0;
        while (i < n.size() && name[i] == n[i]) ++i;
        if (i == n.size()) return true;
    }
    return HasUpper(name) && name.toLower() == n;
}

TksXMLItem *Child(TksXMLItem *x, const char *name)
{
    for (int i = 0; i < x->Count(); ++i)
    {
        const QString &n = x->Items(i)->Name;
        const QLatin1String wanted(name);
        if ((n.size() == wanted.size() && n == wanted) ||
            (HasUpper(n) && n.compare(wanted, Qt::CaseInsensitive) == 0))
            return x->Items(i);
    }
    return nullptr;
}

struct TypeRef {
    TksVarType Code;
    QString Name;
};

KsValue InitialValue(TksVarType code)
{
    switch (code) {
    case tcInteger:
    case tcClass:
        return KsValue(0);
    case tcFloat:
        return KsValue(0.0);
    case tcBoolean:
        return KsValue(false);
    case tcChar:
    case tcString:
        return KsValue(QString());
    default:
        return KsValue();
    }
}

QString TypeText(TksVarType code, const QString &name)
{
    return (code == tcClass || code == tcEnum) ? name : ksTypeCodeName(code);
}

}  // namespace

namespace {
enum class ksilElement : std::uint8_t;
}  // namespace

// A statement joins its block only when it was built completely: a
// compile error must not leave half-built statements that could run.
struct Pending {
    TksStatement *Block;
    TksStatement *St;
    int Exceptions = std::uncaught_exceptions();
    ~Pending()
    {
        if (std::uncaught_exceptions() > Exceptions)
            delete St;
        else
            Block->Add(St);
    }
};

struct ksilPass2 {
    enum Mode { mNormal, mNew, mDelete };

    TksScript *Main = nullptr;  // gets the executable lines
    QString CurPos, CurUnit;
    TksXMLItem *CurProgramEl = nullptr;
    const TksXMLItem *CurTypes = nullptr;  // its types element, found once
    QStringList WithNames;                 // hidden with variables, innermost last
    QStringList BuildingUnits;             // units being built, outermost first
    bool DeclareVars = true;
    bool NoLate = false;  // resolving a late-bound designator at run time
    // The grammar writes a[i][j] as one index list (C++Script): indexes past
    // what an access takes index what it yields.
    bool IndexesRunOn = false;
    const TksXMLItem *GrammarTypes = nullptr;
    std::shared_ptr<QHash<QString, QString>> Texts;
    // The main text, when Texts does not hold it, is Main's lines.
    QString MainUnit;
    bool MainLines = false;
    QHash<QString, std::shared_ptr<TksParser>> Scanners;
    TksGetUnitEvent OnGetILUnit;
    TksLeafPool Leaves;  // the leaves the built expressions share

    [[noreturn]] static void Fail(const QString &msg) { throw KsError(QStringLiteral("EParserError"), msg); }

    // The text of a leaf (a name or an operator): a program writes the same
    // few again and again, so the last ones are shared instead of made anew.
    QString Recent[16];
    int NextRecent = 0;
    QString LeafText(const TksXMLItem *leaf)
    {
        static const QString text = QStringLiteral("text");
        const QStringView raw = leaf->RawProp(text);
        if (raw.isNull() || ksXMLHasEscape(raw)) return leaf->Prop(text);
        for (const QString &r : Recent)
            if (!r.isNull() && r == raw) return r;
        QString &slot = Recent[NextRecent++ & 15];
        slot = raw.toString();
        return slot;
    }

    // Names upper-cased for looking them up, with what the last lookup
    // found: a program names the same few again and again. A finding holds
    // while no script of the chain changed its table or its parent.
    struct NameEntry {
        QString Upper;
        TksScript *Scope = nullptr;  // nullptr: nothing found yet
        TksCustomVariable *Found = nullptr;
        quint64 Links = 0;
        static constexpr int kDepth = 4;
        int Versions[kDepth] = {};
    };
    // Looked up by a view of the name as the IL holds it (no string made).
    struct NameHash {
        using is_transparent = void;
        size_t operator()(QStringView v) const { return qHash(v); }
    };
    struct NameEq {
        using is_transparent = void;
        bool operator()(QStringView a, QStringView b) const { return a == b; }
    };
    std::unordered_map<QString, NameEntry, NameHash, NameEq> Names;
    NameEntry SpareName;  // past the table's limit: only the last name stays

    NameEntry &Entry(QStringView name)
    {
        auto it = Names.find(name);
        if (it != Names.end()) return it->second;
        NameEntry &e = Names.size() < 4096 ? Names[name.toString()] : SpareName;
        e = NameEntry{name.toString().toUpper()};
        return e;
    }

    // The text of a name leaf: a view of the IL's own text when no escape
    // needs undoing, else of `held`.
    static QStringView NameView(const TksXMLItem *leaf, QString &held)
    {
        static const QString text = QStringLiteral("text");
        const QStringView raw = leaf->RawProp(text);
        if (!raw.isNull() && !ksXMLHasEscape(raw)) return raw;
        held = leaf->Prop(text);
        return held;
    }

    // scope->FindUpper of the upper-cased name.
    TksCustomVariable *FindName(QStringView name, TksScript *scope)
    {
        NameEntry &e = Entry(name);
        const quint64 links = ksLineHandlersVersion.load(std::memory_order_relaxed);
        if (e.Scope == scope && e.Links == links) {
            bool same = true;
            int i = 0;
            for (const TksScript *s = scope; s && same; s = s->Parent, ++i)
                same = i < NameEntry::kDepth && s->Version() == e.Versions[i];
            if (same) return e.Found;
        }
        e.Found = scope->FindUpper(e.Upper);
        int depth = 0;
        for (const TksScript *s = scope; s; s = s->Parent) {
            if (depth == NameEntry::kDepth) {
                e.Scope = nullptr;  // too long a chain to keep
                return e.Found;
            }
            e.Versions[depth++] = s->Version();
        }
        e.Scope = scope;
        e.Links = links;
        return e.Found;
    }

    QString SetPos(const TksXMLItem *x)
    {
        // An element often starts where the one around it does: the same
        // position is not made again.
        static const QString name = QStringLiteral("pos");
        const QStringView raw = x->RawProp(name);
        if (raw.isEmpty() || (raw == CurPos && !ksXMLHasEscape(raw))) return CurPos;
        // as Prop gives it, from the text found already
        CurPos = ksXMLHasEscape(raw) ? ksXMLUnescape(raw.toString()) : raw.toString();
        return CurPos;
    }

    void Executable(const QString &pos)
    {
        if (Main && !pos.isEmpty()) Main->AddExecutableLine(CurUnit, pos);
    }

    // ---- types ----

    bool Alias(const TksXMLItem *types, QString &t) const
    {
        if (!types) return false;
        for (int i = 0; i < types->Count(); ++i)
            if (types->Items(i)->Name.compare(t, Qt::CaseInsensitive) == 0) {
                t = types->Items(i)->Prop(QStringLiteral("type"));
                return true;
            }
        return false;
    }

    TypeRef ResolveType(const QString &name, TksScript *scope)
    {
        if (name.isEmpty()) return {tcVariant, QStringLiteral("Variant")};
        QString t = name;
        if (!Alias(CurTypes, t)) Alias(GrammarTypes, t);
        TksCustomVariable *v = scope->Find(t);
        if (auto *tv = dynamic_cast<TksTypeVariable *>(v)) return {tv->TypeCode, ksTypeCodeName(tv->TypeCode)};
        if (auto *cv = dynamic_cast<TksClassVariable *>(v)) return {tcClass, cv->Name};
        if (v && v->TypeCode == tcEnum && v->Name.compare(v->TypeName, Qt::CaseInsensitive) == 0)
            return {tcEnum, v->TypeName};
        if (!v) {  // without the built-in module the basic names still resolve
            TksVarType c = ksTypeCodeOf(t, nullptr);
            if (c != tcClass) return {c, ksTypeCodeName(c)};
        }
        Fail(ksNameMessage(SUnknownType, name));
    }

    void CheckTypes(TksVarType a, const QString &an, TksVarType b, const QString &bn, TksScript *scope)
    {
        if (!ksTypesCompatible({a, an}, {b, bn}, scope))
            Fail(SIncompatibleTypes + QStringLiteral(": '") + TypeText(a, an) + QStringLiteral("', '") +
                 TypeText(b, bn) + QLatin1Char('\''));
    }

    // ---- expressions ----

    QString SourceText(const QString &from, const QString &to)
    {
        auto it = Scanners.find(CurUnit);
        if (it == Scanners.end()) {
            auto sc = std::make_shared<TksParser>();
            const auto text = Texts ? Texts->constFind(CurUnit) : QHash<QString, QString>::const_iterator();
            if (Texts && text != Texts->cend())
                sc->SetText(*text);
            else if (Main && MainLines && CurUnit == MainUnit)
                sc->SetText(ksJoinedLines(Main->Lines));
            it = Scanners.insert(CurUnit, sc);
        }
        const QPoint a = ksPosToPoint(from), b = ksPosToPoint(to);
        const int pa = it.value()->PositionFromLineCol(a.x(), a.y());
        const int pb = it.value()->PositionFromLineCol(b.x(), b.y());
        if (pa < 1 || pb < pa) return QString();
        return it.value()->Text().mid(pa - 1, pb - pa).trimmed();
    }

    void FillExpr(TksExpression *e, TksXMLItem *x, TksScript *scope)
    {
        const int n = x->Count();
        for (int i = 0; i < n; ++i) {
            TksXMLItem *c = x->Items(i);
            const ksilName cn(c);
            if (cn == QLatin1String("op")) {
                const QString op = LeafText(c);
                if (i == n - 1 && op != QLatin1String(")")) continue;
                if (!e->AddOperator(op)) Fail(SIncompatibleTypes);
            } else if (cn == QLatin1String("number") || cn == QLatin1String("string")) {
                KsValue v = ksLiteralToVariant(c->Prop(QStringLiteral("text")));
                if (v.IsNull()) {
                    if (cn != QLatin1String("string")) {
                        SetPos(c);
                        Fail(SNumberOutOfRange);
                    }
                    v = KsValue(QString());
                }
                e->AddConst(v);
            } else if (cn == QLatin1String("dsgn")) {
                if (Child(c, "addr")) {
                    SetPos(c);
                    TksXMLItem *node = Child(c, "node");
                    if (c->Count() != 2 || !node) Fail(SVarRequired);
                    e->AddConst(KsValue(node->Prop(QStringLiteral("text"))));
                } else {
                    e->AddDesignator(BuildDesignator(c, scope, mNormal));
                }
            } else if (cn == QLatin1String("set")) {
                e->AddSet(BuildSet(c, scope));
            } else if (cn == QLatin1String("new")) {
                TksXMLItem *d = Child(c, "dsgn");
                SetPos(c);
                if (!d) Fail(SClassRequired);
                e->AddDesignator(BuildDesignator(d, scope, mNew));
            } else if (cn == QLatin1String("expr")) {
                FillExpr(e, c, scope);
            }
        }
    }

    // `withSource`: the expression's text is kept too (an argument of a
    // macro routine receives it instead of the value).
    TksExpression *BuildExpr(TksXMLItem *x, TksScript *scope, bool withSource = false)
    {
        const QString pos = SetPos(x);
        auto e = std::make_unique<TksExpression>(scope);
        e->SourcePos = pos;
        FillExpr(e.get(), x, scope);
        if (withSource) e->SetSource(SourceText(pos, x->Prop(QStringLiteral("pos1"))));
        CurPos = pos;
        const QString err = e->Finish(&Leaves);
        if (!err.isEmpty()) {
            if (err != QLatin1String("0:0")) CurPos = err;
            Fail(SIncompatibleTypes);
        }
        return e.release();
    }

    KsValue EvalConst(TksXMLItem *x, TksScript *scope)
    {
        std::unique_ptr<TksExpression> e(BuildExpr(x, scope));
        return e->GetValue();
    }

    TksSetExpression *BuildSet(TksXMLItem *x, TksScript *scope)
    {
        SetPos(x);
        auto s = std::make_unique<TksSetExpression>();
        for (int i = 0; i < x->Count(); ++i) {
            TksXMLItem *c = x->Items(i);
            if (Is(c, QLatin1String("expr")))
                s->AddItem(BuildExpr(c, scope));
            else if (Is(c, QLatin1String("range")))
                s->AddRange();
        }
        return s.release();
    }

    // ---- designators ----

    // A designator resolved when it first runs: the first item only, Variant.
    // Deleting what it designates frees the object it holds then.
    TksDesignator *MakeLate(TksXMLItem *x, TksScript *scope, TksCustomVariable *first, const QString &withName,
                            Mode mode)
    {
        const QString pos = x->Prop(QStringLiteral("pos"));
        if (NoLate) {
            TksXMLItem *node = Child(x, "node");
            Fail(ksNameMessage(SIdUndeclared, node ? node->Prop(QStringLiteral("text")) : QString()));
        }
        auto d = std::make_unique<TksDesignator>(scope);
        d->SourcePos = pos;
        d->AddItem(first, pos);
        d->Finish();
        d->TypeCode = tcVariant;
        d->TypeName = QStringLiteral("Variant");
        d->ReadOnly = false;
        d->LateXML = std::make_unique<TksXMLItem>();
        d->LateXML->Assign(x);
        if (!withName.isEmpty()) {
            auto *leaf = new TksXMLItem;
            leaf->Name = QStringLiteral("node");
            leaf->SetProp(QStringLiteral("text"), withName);
            leaf->SetProp(QStringLiteral("pos"), pos);
            d->LateXML->InsertItem(0, leaf);
        }
        if (mode == mDelete) {
            auto *leaf = new TksXMLItem;
            leaf->Name = QStringLiteral("node");
            leaf->SetProp(QStringLiteral("text"), QStringLiteral("Free"));
            leaf->SetProp(QStringLiteral("pos"), pos);
            d->LateXML->AddItem(leaf);
        }
        return d.release();
    }

    // A value seen at compile time: only plain variables are read.
    static KsValue CompileTimeValue(TksCustomVariable *v) { return ksIsPlainRead(v) ? v->Value : KsValue(); }

    // The object a Variant refers to, nil when it is gone.
    static QObject *LiveObject(const KsValue &v)
    {
        try {
            return v.ToObject();
        } catch (const KsError &) {
            return nullptr;
        }
    }

    static bool NoObjectYet(const KsValue &v)
    {
        return v.IsNull() || v.IsEmpty() || (v.IsIntegral() && v.ToInt64() == 0);
    }

    TksCustomVariable *Declare(const QString &name, TksScript *scope, const QString &pos)
    {
        TksCustomVariable *v = scope->Find(name);
        if (v) return v;
        if (DeclareVars || NoLate) Fail(ksNameMessage(SIdUndeclared, name));
        auto *nv = new TksVariable(name, tcVariant, QStringLiteral("Variant"));
        nv->SourcePos = pos;
        scope->Add(name, nv);
        return nv;
    }

    // Whether arguments in parentheses after `cur`, which takes none, index
    // its value: an array, an object whose class has a default property, or a
    // declared Variant whose object is known only when it runs.
    bool ParenthesesIndex(TksCustomVariable *cur, TksScript *scope, bool autoDeclared) const
    {
        if (cur->Count() != 0) return false;
        const bool plain = dynamic_cast<TksVariable *>(cur) != nullptr;
        if (!plain && !dynamic_cast<TksPropertyHelper *>(cur) && !dynamic_cast<TksComponentHelper *>(cur)) return false;
        auto hasDefault = [scope](const QString &className) {
            const TksClassVariable *cls = scope->FindClass(className);
            return cls && cls->DefProperty;
        };
        switch (cur->TypeCode) {
        case tcArray:
            return true;
        case tcClass:
            return hasDefault(cur->TypeName);
        case tcVariant: {
            if (!plain || autoDeclared) return false;
            const KsValue v = CompileTimeValue(cur);
            if (v.IsArray()) return true;
            if (v.IsObject()) {
                QObject *o = LiveObject(v);
                return o ? hasDefault(ksClassNameOf(o)) : !NoLate;
            }
            return !NoLate && NoObjectYet(v);
        }
        default:
            return false;
        }
    }

    TksDesignator *BuildDesignator(TksXMLItem *x, TksScript *scope, Mode mode)
    {
        const QString pos = SetPos(x);
        auto d = std::make_unique<TksDesignator>(scope);
        d->SourcePos = pos;
        TksDesignatorItem *link = nullptr;
        TksCustomVariable *cur = nullptr;
        bool autoDeclared = false;
        int indexedAt = -1;
        bool bracketed = false;  // the link's arguments came in brackets
        for (int i = 0; i < x->Count(); ++i) {
            TksXMLItem *c = x->Items(i);
            const ksilName cn(c);
            QString name;
            if (cn == QLatin1String("expr")) {
                if (link && link->Count() == 0 && i != indexedAt && ParenthesesIndex(cur, scope, autoDeclared)) {
                    // Arguments to something that takes none: they index it, as
                    // brackets would; the expression is read again as the index.
                    indexedAt = i--;
                    name = QStringLiteral("[");
                } else if (IndexesRunOn && bracketed && link && i != indexedAt && link->Ref->Count() > 0 &&
                           link->Count() >= link->Ref->Count()) {
                    // The access has all its indexes: this one indexes its value.
                    indexedAt = i--;
                    name = QStringLiteral("[");
                } else {
                    if (link) link->AddArg(BuildExpr(c, scope, link->Ref->IsMacro));
                    CurPos = pos;
                    continue;
                }
            } else if (cn == QLatin1String("node")) {
                name = LeafText(c);
            } else {
                continue;
            }
            bracketed = name == QLatin1String("[");
            if (!link) {
                // with variables first, innermost first
                for (int w = int(WithNames.size()) - 1; w >= 0 && !link; --w) {
                    TksCustomVariable *hv = scope->Find(WithNames[w]);
                    if (!hv) continue;
                    if (hv->TypeCode == tcClass) {
                        TksClassVariable *cls = scope->FindClass(hv->TypeName);
                        if (TksCustomVariable *m = cls ? cls->FindMember(name) : nullptr) {
                            d->AddItem(hv, pos);
                            link = d->AddItem(m, pos);
                            cur = m;
                        }
                    } else if (hv->TypeCode == tcVariant && !scope->Find(name)) {
                        return MakeLate(x, scope, hv, WithNames[w], mode);
                    }
                }
                if (link) continue;
                TksCustomVariable *found = FindName(name, scope);
                autoDeclared = !found;
                cur = found ? found : Declare(name, scope, pos);
                link = d->AddItem(cur, pos);
                if (mode == mNew) {
                    auto *cls = dynamic_cast<TksClassVariable *>(cur);
                    if (!cls) Fail(SClassRequired);
                    TksCustomVariable *m = cls->FindMember(QStringLiteral("Create"));
                    if (!m) Fail(ksNameMessage(SIdUndeclared, QStringLiteral("Create")));
                    link = d->AddItem(m, pos);
                    cur = m;
                }
                continue;
            }
            const bool isIndex = name == QLatin1String("[");
            if (auto *mh = dynamic_cast<TksMethodHelper *>(cur); mh && mh->IndexMethod && !link->Indexed) {
                // Parentheses may already have given the index; what follows
                // then applies to the property's value.
                const bool hasIndex = link->Count() > 0;
                if (!isIndex && !hasIndex) Fail(SIndexRequired);
                link->Indexed = true;
                if (!hasIndex) continue;
            }
            TksVarType tc = cur->TypeCode;
            QString tn = cur->TypeName;
            if (tc == tcConstructor) {
                tc = tcClass;
                tn = d->Count() >= 2 ? d->Link(d->Count() - 2)->Ref->TypeName.str() : QString();
            }
            bool variantArray = false;
            // a member found when it runs takes its own indexes: x.Strings[i]
            if (isIndex && link->Count() == 0 && dynamic_cast<TksOLEHelper *>(cur)) continue;
            if (tc == tcVariant && isIndex && !ksIsPlainRead(cur)) {
                // What a call, a property or an element yields is seen only
                // when the chain runs: an index of its own reads it then. In a
                // chain each link keeps its own indexes, so that a write can
                // go back through the links before it.
                if (cur == scope->Find(QStringLiteral("__ArrayHelper"))) {
                    cur = OpenArrayHelper(scope);
                    link->SetRef(cur);
                }
                link = d->AddItem(OpenArrayHelper(scope), pos);
                cur = link->Ref;
                continue;
            }
            if (tc == tcVariant) {
                const KsValue v = CompileTimeValue(cur);
                if (v.IsString()) {
                    tc = tcString;
                } else if (v.IsArray()) {
                    tc = tcArray;
                    variantArray = true;
                } else if (v.IsObject() && !NoLate) {
                    QObject *o = LiveObject(v);
                    if (!o) return MakeLate(x, scope, d->Link(0)->Ref, QString(), mode);
                    tc = tcClass;
                    tn = ksClassNameOf(o);
                } else if (NoLate && v.IsObject()) {
                    QObject *o = v.ToObject();
                    tc = tcClass;
                    tn = o ? ksClassNameOf(o) : QString();
                } else {
                    if (NoLate) {
                        // Running, and the Variant holds no host object: an automation call.
                        auto *ole = new TksOLEHelper(name);
                        scope->Add(QString(), ole);
                        link = d->AddItem(ole, pos);
                        cur = ole;
                        continue;
                    }
                    return MakeLate(x, scope, d->Link(0)->Ref, QString(), mode);
                }
            }
            switch (tc) {
            case tcString:
            case tcChar: {
                if (!isIndex) Fail(SStringError);
                TksCustomVariable *h = scope->Find(QStringLiteral("__StringHelper"));
                if (!h) Fail(ksNameMessage(SIdUndeclared, QStringLiteral("__StringHelper")));
                link = d->AddItem(h, pos);
                cur = h;
                break;
            }
            case tcArray: {
                if (!isIndex) Fail(variantArray ? SIndexRequired : SArrayRequired);
                TksCustomVariable *h = dynamic_cast<TksArrayHelper *>(cur->ResultVar)
                                               ? cur->ResultVar
                                               : scope->Find(QStringLiteral("__ArrayHelper"));
                if (!h) Fail(ksNameMessage(SIdUndeclared, QStringLiteral("__ArrayHelper")));
                link = d->AddItem(h, pos);
                cur = h;
                break;
            }
            case tcClass: {
                TksClassVariable *cls = scope->FindClass(tn);
                if (isIndex) {
                    if (!cls || !cls->DefProperty) Fail(SClassError.arg(tn));
                    link = d->AddItem(cls->DefProperty, pos);
                    link->Indexed = true;
                    cur = cls->DefProperty;
                    break;
                }
                if (TksCustomVariable *m = cls ? cls->FindMember(name) : nullptr) {
                    link = d->AddItem(m, pos);
                    cur = m;
                    break;
                }
                const KsValue v = CompileTimeValue(cur);
                if (ksIsPlainRead(cur) && NoObjectYet(v) && !NoLate && d->Count() == 1)
                    return MakeLate(x, scope, d->Link(0)->Ref, QString(), mode);
                QObject *o = v.IsObject() ? v.ToObject() : nullptr;
                QObject *child = o ? o->findChild<QObject *>(name, Qt::FindDirectChildrenOnly) : nullptr;
                if (child && cls) {
                    TksCustomVariable *m = cls->AddComponent(child);
                    link = d->AddItem(m, pos);
                    cur = m;
                    break;
                }
                Fail(ksNameMessage(SIdUndeclared, name));
            }
            default:
                Fail(SArrayRequired);
            }
        }
        if (!link) Fail(ksNameMessage(SIdUndeclared, QString()));
        if (mode == mDelete) {
            if (d->Link(d->Count() - 1)->Ref->TypeCode != tcClass &&
                d->Link(d->Count() - 1)->Ref->TypeCode != tcVariant &&
                d->Link(d->Count() - 1)->Ref->TypeCode != tcConstructor)
                Fail(SClassRequired);
            TksClassVariable *obj = scope->FindClass(QStringLiteral("TObject"));
            TksCustomVariable *freeM = obj ? obj->FindMember(QStringLiteral("Free")) : nullptr;
            if (!freeM) Fail(ksNameMessage(SIdUndeclared, QStringLiteral("Free")));
            d->AddItem(freeM, pos);
        }
        CurPos = pos;
        CheckArguments(d.get(), scope);
        d->Finish();
        return d.release();
    }

    // Inc and Dec of the library add with variant arithmetic: their variable
    // may hold any number, a real too.
    static bool CountsAnyNumber(const TksCustomVariable *item)
    {
        const auto *m = dynamic_cast<const TksMethodHelper *>(item);
        return m && !m->ClassRef && (m->UpperName == QLatin1String("INC") || m->UpperName == QLatin1String("DEC"));
    }

    void CheckArguments(TksDesignator *d, TksScript *scope)
    {
        for (int i = 0; i < d->Count(); ++i) {
            TksDesignatorItem *link = d->Link(i);
            TksCustomVariable *item = link->Ref;
            const int nargs = link->Count();
            // Plain names (the most) take nothing: only an automation call
            // needs its count of arguments then.
            if (nargs == 0 && item->Count() == 0 && typeid(*item) != typeid(TksOLEHelper)) continue;
            if (dynamic_cast<TksClassVariable *>(item) && nargs == 0) continue;  // the class itself: a new instance
            if (auto *ole = dynamic_cast<TksOLEHelper *>(item)) {
                ole->SetArgCount(nargs);
                continue;
            }
            if (nargs == 0 && item->Count() == 0) continue;
            if (nargs > item->Count()) Fail(STooManyParams);
            if (nargs < item->RequiredCount()) Fail(SNotEnoughParams);
            for (int j = 0; j < nargs; ++j) {
                TksParamItem *p = item->Param(j);
                TksExpression *a = link->Arg(j);
                if (j == 0 && CountsAnyNumber(item))
                    CheckTypes(tcFloat, QStringLiteral("Extended"), a->TypeCode, a->TypeName, scope);
                else
                    CheckTypes(p->TypeCode, p->TypeName, a->TypeCode, a->TypeName, scope);
            }
            ksAddDefaultArgs(link, scope);
        }
    }

    static TksArrayHelper *OpenArrayHelper(TksScript *scope)
    {
        auto *h = new TksArrayHelper(QString(), tcVariant, QStringLiteral("Variant"), 0);
        scope->Add(QString(), h);
        return h;
    }

    // ---- declarations ----

    void MakeArray(TksVariable *v, TksXMLItem *arr, TksScript *scope)
    {
        std::vector<KsBounds> dims;
        qint64 total = 1;
        for (int i = 0; i < arr->Count(); ++i) {
            TksXMLItem *dim = arr->Items(i);
            if (!Is(dim, QLatin1String("dim"))) continue;
            SetPos(dim);
            std::vector<TksXMLItem *> exprs;
            for (int j = 0; j < dim->Count(); ++j)
                if (Is(dim->Items(j), QLatin1String("expr"))) exprs.push_back(dim->Items(j));
            if (exprs.empty()) continue;
            qint64 low = 0, high;
            if (exprs.size() >= 2) {
                low = EvalConst(exprs[0], scope).ToInt64();
                high = EvalConst(exprs[1], scope).ToInt64();
            } else {
                high = EvalConst(exprs[0], scope).ToInt64() - 1;
            }
            SetPos(dim);
            qint64 span;  // high - low, -1 for an empty dimension
            if (__builtin_sub_overflow(high, low, &span) || span < -1 || span >= ksMaxArrayElements)
                Fail(SArrayBoundsError);
            const qint64 count = span + 1;
            if (count > 0 && total > ksMaxArrayElements / count) Fail(SArrayBoundsError);
            total *= std::max<qint64>(count, 1);
            dims.push_back(KsBounds{low, count});
        }
        if (dims.empty()) dims.push_back(KsBounds{0, 1});
        if (dims.size() > 3) Fail(SArrayBoundsError);
        v->Value = KsValue::MakeArray(dims);
        v->TypeCode = tcArray;
        v->TypeName = QStringLiteral("Array");
        auto *helper = new TksArrayHelper(QString(), tcVariant, QStringLiteral("Variant"), int(dims.size()));
        scope->Add(QString(), helper);
        v->ResultVar = helper;
    }

    TksVariable *MakeVariable(const QString &name, const TypeRef &t, TksXMLItem *arr, TksScript *scope, bool isParam,
                              bool optional, bool byRef)
    {
        TksVariable *v;
        if (isParam)
            v = new TksParamItem(name, t.Code, t.Name, optional, byRef);
        else if ((t.Code == tcString || t.Code == tcChar) && !arr)
            v = new TksStringVariable(name, t.Code, t.Name);
        else
            v = new TksVariable(name, t.Code, t.Name);
        std::unique_ptr<TksVariable> guard(v);
        v->Value = InitialValue(t.Code);
        v->SourcePos = CurPos;
        if (arr) MakeArray(v, arr, scope);
        return guard.release();
    }

    // The operator of a compound assignment ("+", "-", "*", "/"); opNone for any other text.
    static TksOpCode CompoundCode(QStringView op)
    {
        if (op.size() != 1) return opNone;
        switch (op[0].unicode()) {
        case '+':
            return opPlus;
        case '-':
            return opMinus;
        case '*':
            return opMul;
        case '/':
            return opDivFloat;
        default:
            return opNone;
        }
    }

    // The assignment statement of a compound operator (+ - * /), or the plain one.
    TksAssignmentStmt *NewAssignment(TksOpCode code, TksScript *scope, const QString &pos, TksDesignator *d = nullptr,
                                     TksExpression *e = nullptr, bool swapped = false)
    {
        TksCompoundAssignStmt *st;
        switch (code) {
        case opPlus:
            st = new TksAssignPlusStmt(scope, CurUnit, pos, d, e);
            break;
        case opMinus:
            st = new TksAssignMinusStmt(scope, CurUnit, pos, d, e);
            break;
        case opMul:
            st = new TksAssignMulStmt(scope, CurUnit, pos, d, e);
            break;
        case opDivFloat:
            st = new TksAssignDivStmt(scope, CurUnit, pos, d, e);
            break;
        default:
            return new TksAssignmentStmt(scope, CurUnit, pos, d, e);
        }
        st->Swapped = swapped;
        return st;
    }

    void AddAssignment(TksScript *scope, TksStatement *block, TksDesignator *target, TksXMLItem *exprEl,
                       const QString &pos, const QString &modificator = QString())
    {
        std::unique_ptr<TksDesignator> d(target);
        std::unique_ptr<TksExpression> e(BuildExpr(exprEl, scope));
        CurPos = pos;
        if (d->ReadOnly) Fail(SLeftCantAssigned);
        QString op = modificator;
        bool swapped = false;
        if (op.isEmpty()) {
            CheckTypes(d->TypeCode, d->TypeName, e->TypeCode, e->TypeName, scope);
            op = e->OptimizeCompound(d.get(), &swapped).trimmed();
            if (!op.isEmpty()) e->Finish();
        } else {
            // x op= y is checked as x := x op y is
            TksTypeDesc result;
            if (!ksOperatorType(CompoundCode(op), false, {d->TypeCode, d->TypeName}, {e->TypeCode, e->TypeName},
                                scope, result))
                Fail(SIncompatibleTypes);
            CheckTypes(d->TypeCode, d->TypeName, result.Code, result.Name, scope);
        }
        TksAssignmentStmt *st = NewAssignment(CompoundCode(op), scope, pos, d.release(), e.release(), swapped);
        st->DropUnused();
        block->Add(st);
        Executable(pos);
    }

    // The variable a designator of one name stands for, as BuildDesignator
    // resolves it, when that is a plain variable; nullptr otherwise.
    TksVariable *PlainVariable(TksXMLItem *ds, TksScript *scope)
    {
        if (ds->Count() != 1 || !Is(ds, QLatin1String("dsgn"))) return nullptr;
        TksXMLItem *node = ds->Items(0);
        if (!Is(node, QLatin1String("node"))) return nullptr;
        QString held;
        const QStringView name = NameView(node, held);
        if (name.isEmpty() || name == QLatin1String("[")) return nullptr;
        auto *v = dynamic_cast<TksVariable *>(FindName(name, scope));
        return v && v->Count() == 0 && v->TypeCode != tcConstructor ? v : nullptr;
    }

    // One operand of a direct assignment: a plain variable, or a number or
    // text as the expression of its own that AddAssignment would keep.
    struct DirectOperand {
        TksVariable *Var = nullptr;
        TksVariable *Const = nullptr;  // of the constants' pool
        TksTypeDesc Type;
        TksCustomVariable *Source() const { return Var ? Var : Const; }
    };

    // The literals of direct assignments, one read-only variable of the
    // main program for each text: a program repeats the same few constants
    // (k := k + 1) and must not hold an expression for each.
    QHash<QString, TksVariable *> Constants;

    // The pooled constant of a number or text literal; nullptr for one
    // that does not make a value.
    TksVariable *Constant(const QString &literal, TksScript *scope, TksXMLItem *exprEl)
    {
        if (TksVariable *c = Constants.value(literal)) return c;
        const KsValue v = ksLiteralToVariant(literal);
        if (v.IsNull()) return nullptr;
        // typed as an expression of that one constant types it
        TksExpression e(scope);
        e.SourcePos = SetPos(exprEl);
        e.AddConst(v);
        if (!e.Finish().isEmpty()) return nullptr;
        auto *c = new TksVariable(QString(), e.TypeCode, e.TypeName);
        c->Value = v;
        c->ReadOnly = true;
        Main->Add(QString(), c);
        Constants.insert(literal, c);
        return c;
    }

    // False when `c` is none of these (or a literal out of range).
    bool Operand(TksXMLItem *c, TksXMLItem *exprEl, TksScript *scope, DirectOperand &out)
    {
        if (Is(c, QLatin1String("dsgn"))) {
            out.Var = PlainVariable(c, scope);
            if (!out.Var) return false;
            out.Type = {out.Var->TypeCode, out.Var->TypeName};
            return true;
        }
        if (!Is(c, QLatin1String("number")) && !Is(c, QLatin1String("string"))) return false;
        out.Const = Constant(c->Prop(QStringLiteral("text")), scope, exprEl);
        if (!out.Const) return false;
        out.Type = {out.Const->TypeCode, out.Const->TypeName};
        return true;
    }

    // x := y, x := x op y and x := y op x of plain variables, and x := c and
    // x := x op c of a number or text c (op one of + - * /): the statement
    // AddAssignment ends with, without the designators and the expression it
    // would build and let go again. False (nothing done) for anything else,
    // and where the general route would report an error.
    bool DirectAssign(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos)
    {
        if (!WithNames.isEmpty() || x->Count() != 2) return false;
        TksXMLItem *ex = x->Items(1);
        if (!Is(ex, QLatin1String("expr"))) return false;
        TksVariable *target = PlainVariable(x->Items(0), scope);
        if (!target || target->ReadOnly) return false;
        const QString savedPos = CurPos;
        auto fail = [&] {
            CurPos = savedPos;
            return false;
        };
        DirectOperand source;
        TksOpCode code = opNone;
        bool swapped = false;
        TksTypeDesc type;
        if (ex->Count() == 1) {
            if (!Operand(ex->Items(0), ex, scope, source)) return fail();
            type = source.Type;
        } else if (ex->Count() == 3 && Is(ex->Items(1), QLatin1String("op"))) {
            DirectOperand a, b;
            if (!Operand(ex->Items(0), ex, scope, a) || !a.Var || !Operand(ex->Items(2), ex, scope, b)) return fail();
            QString held;
            code = CompoundCode(NameView(ex->Items(1), held));
            if (code == opNone || !ksOperatorType(code, false, a.Type, b.Type, scope, type)) return fail();
            // as OptimizeCompound turns them into compound assignments
            if (a.Var == target) {
                source = std::move(b);
            } else if (b.Var == target && (code == opPlus || code == opMul) && ksIsNumberType(target->TypeCode) &&
                       ksIsNumberType(a.Type.Code)) {
                source = std::move(a);
                swapped = true;
            } else {
                return fail();
            }
        } else {
            return false;
        }
        if (!ksTypesCompatible({target->TypeCode, target->TypeName}, type, scope)) return fail();
        TksCustomVariable *from = source.Source();
        TksAssignmentStmt *st = NewAssignment(code, scope, pos, nullptr, nullptr, swapped);
        st->SetVariables(target, from);
        CurPos = pos;
        block->Add(st);
        Executable(pos);
        return true;
    }

    void DeclareVar(TksXMLItem *x, TksScript *scope, TksStatement *block)
    {
        const QString pos = SetPos(x);
        const int n = x->Count();
        int typeIdx = -1, firstIdent = -1;
        for (int i = 0; i < n; ++i) {
            const ksilName cn(x->Items(i));
            if (cn == QLatin1String("type") && typeIdx < 0) typeIdx = i;
            if (cn == QLatin1String("ident") && firstIdent < 0) firstIdent = i;
        }
        const bool typeFirst = typeIdx >= 0 && typeIdx < firstIdent;
        const TypeRef t =
                ResolveType(typeIdx >= 0 ? x->Items(typeIdx)->Prop(QStringLiteral("text")) : QString(), scope);
        // The array and initialiser of a name are the last ones after it, up to
        // the next name (C++Script) or to the end of the list (Pascal, where
        // they apply to every name); one pass from the end finds them for all
        // names, so that a long list stays linear.
        std::vector<int> arrAt(size_t(n) + 1, -1), initAt(size_t(n) + 1, -1);
        for (int j = n - 1; j >= 0; --j) {
            const ksilName cn(x->Items(j));
            const bool stop = typeFirst && cn == QLatin1String("ident");
            const int arrAfter = stop ? -1 : arrAt[size_t(j) + 1], initAfter = stop ? -1 : initAt[size_t(j) + 1];
            arrAt[size_t(j)] = arrAfter >= 0 ? arrAfter : cn == QLatin1String("array") ? j : -1;
            initAt[size_t(j)] = initAfter >= 0 ? initAfter : cn == QLatin1String("init") ? j : -1;
        }
        for (int i = 0; i < n; ++i) {
            if (!Is(x->Items(i), QLatin1String("ident"))) continue;
            CurPos = pos;
            const QString name = x->Items(i)->Prop(QStringLiteral("text"));
            if (scope->FindLocal(name)) Fail(ksNameMessage(SIdRedeclared, name));
            TksXMLItem *arr = arrAt[size_t(i) + 1] >= 0 ? x->Items(arrAt[size_t(i) + 1]) : nullptr;
            TksXMLItem *init = initAt[size_t(i) + 1] >= 0 ? x->Items(initAt[size_t(i) + 1]) : nullptr;
            TksVariable *v = MakeVariable(name, t, arr, scope, false, false, false);
            v->SourcePos = pos;
            scope->Add(name, v);
            if (TksXMLItem *e = init ? Child(init, "expr") : nullptr)
                AddAssignment(scope, block, TksDesignator::ForVariable(scope, v, pos), e, pos);
        }
    }

    void DeclareConst(TksXMLItem *x, TksScript *scope)
    {
        const QString pos = SetPos(x);
        TksXMLItem *id = Child(x, "ident");
        TksXMLItem *ex = Child(x, "expr");
        if (!id || !ex) return;
        const QString name = id->Prop(QStringLiteral("text"));
        if (scope->FindLocal(name)) Fail(ksNameMessage(SIdRedeclared, name));
        std::unique_ptr<TksExpression> e(BuildExpr(ex, scope));
        KsValue value = e->GetValue();
        CurPos = pos;
        TksVariable *v = (e->TypeCode == tcString || e->TypeCode == tcChar)
                                 ? new TksStringVariable(name, e->TypeCode, e->TypeName)
                                 : new TksVariable(name, e->TypeCode, e->TypeName);
        v->Value = value;
        v->ReadOnly = true;
        v->SourcePos = pos;
        scope->Add(name, v);
    }

    void DeclareRoutine(TksXMLItem *x, TksScript *scope)
    {
        const QString pos = SetPos(x);
        TksXMLItem *nameLeaf = Child(x, "name");
        if (!nameLeaf) return;
        const QString name = nameLeaf->Prop(QStringLiteral("text"));
        if (scope->FindLocal(name)) Fail(ksNameMessage(SIdRedeclared, name));
        bool isFunc = Is(x, QLatin1String("function"));
        TypeRef rt{tcVariant, QStringLiteral("Variant")};
        if (TksXMLItem *typeLeaf = isFunc ? Child(x, "type") : nullptr) {
            const QString tn = typeLeaf->Prop(QStringLiteral("text"));
            if (tn.compare(QLatin1String("void"), Qt::CaseInsensitive) == 0)
                isFunc = false;
            else
                rt = ResolveType(tn, scope);
        }
        CurPos = pos;
        auto *proc = new TksProcVariable(name, rt.Code, rt.Name, scope, isFunc);
        proc->SourcePos = pos;
        scope->Add(name, proc);
        x->SetData(proc);
        TksXMLItem *params = Child(x, "parameters");
        if (!params) return;
        bool byRefNext = false;
        for (int i = 0; i < params->Count(); ++i) {
            TksXMLItem *v = params->Items(i);
            const ksilName vn(v);
            if (vn == QLatin1String("varparams")) {
                byRefNext = true;
                continue;
            }
            if (vn != QLatin1String("var")) continue;
            const QString ppos = SetPos(v);
            const bool byRef = byRefNext || Child(v, "varparam");
            byRefNext = false;
            TksXMLItem *typeLeaf = Child(v, "type");
            const TypeRef t = ResolveType(typeLeaf ? typeLeaf->Prop(QStringLiteral("text")) : QString(), proc->Prog);
            TksXMLItem *init = Child(v, "init");
            KsValue def;
            if (TksXMLItem *e = init ? Child(init, "expr") : nullptr) def = EvalConst(e, scope);
            for (int j = 0; j < v->Count(); ++j) {
                if (!Is(v->Items(j), QLatin1String("ident"))) continue;
                CurPos = ppos;
                const QString pname = v->Items(j)->Prop(QStringLiteral("text"));
                if (proc->Prog->FindLocal(pname) && pname.compare(QLatin1String("Result"), Qt::CaseInsensitive) != 0)
                    Fail(ksNameMessage(SIdRedeclared, pname));
                auto *p = static_cast<TksParamItem *>(
                        MakeVariable(pname, t, nullptr, proc->Prog, true, init != nullptr, byRef));
                p->DefValue = def;
                p->SourcePos = ppos;
                proc->AddParam(p);
            }
        }
    }

    void PreDeclare(TksXMLItem *x, TksScript *scope)
    {
        for (int i = 0; i < x->Count(); ++i) {
            TksXMLItem *c = x->Items(i);
            const ksilName cn(c);
            if (cn == QLatin1String("procedure") || cn == QLatin1String("function"))
                DeclareRoutine(c, scope);
            else if (cn == QLatin1String("compoundstmt"))
                PreDeclare(c, scope);
        }
    }

    void BuildProgram(TksXMLItem *x, TksScript *scope, TksStatement *block)
    {
        TksXMLItem *saved = CurProgramEl;
        const TksXMLItem *savedTypes = CurTypes;
        CurProgramEl = x;
        const int typesAt = x->Find(QStringLiteral("types"));
        CurTypes = typesAt >= 0 ? x->Items(typesAt) : nullptr;
        PreDeclare(x, scope);
        Statements(x, scope, block);
        CurProgramEl = saved;
        CurTypes = savedTypes;
    }

    void Children(TksXMLItem *x, int from, TksScript *scope, TksStatement *block)
    {
        for (int i = from; i < x->Count(); ++i) Dispatch(x->Items(i), scope, block);
    }

    TksCustomVariable *LoopVariable(TksXMLItem *x, TksScript *scope)
    {
        TksXMLItem *id = Child(x, "ident");
        const QString name = id ? id->Prop(QStringLiteral("text")) : QString();
        TksCustomVariable *v = Declare(name, scope, CurPos);
        if (typeid(*v) != typeid(TksVariable) ||
            (v->TypeCode != tcInteger && v->TypeCode != tcFloat && v->TypeCode != tcVariant))
            Fail(SForError);
        return v;
    }

    std::vector<TksXMLItem *> Exprs(TksXMLItem *x)
    {
        std::vector<TksXMLItem *> out;
        for (int i = 0; i < x->Count(); ++i)
            if (Is(x->Items(i), QLatin1String("expr"))) out.push_back(x->Items(i));
        return out;
    }

    TksExpression *CheckedExpr(TksXMLItem *e, TksCustomVariable *target, TksScript *scope, const QString &pos)
    {
        std::unique_ptr<TksExpression> ex(BuildExpr(e, scope));
        CurPos = pos;
        CheckTypes(target->TypeCode, target->TypeName, ex->TypeCode, ex->TypeName, scope);
        return ex.release();
    }

    // Builds what one IL element stands for into `block` (statements) or
    // `scope` (declarations).
    void Dispatch(TksXMLItem *x, TksScript *scope, TksStatement *block);
    void DispatchAs(ksilElement kind, TksXMLItem *x, TksScript *scope, TksStatement *block);
    void AddStatement(TksStatement *block, TksStatement *st, const QString &pos);
    // Dispatches the children of x in order; each statement's IL is freed
    // once built (it is read once), so that its room goes to what comes next.
    void Statements(TksXMLItem *x, TksScript *scope, TksStatement *block);
    void BuildUses(TksXMLItem *x, TksScript *scope, TksStatement *block);
    void BuildRoutineBody(TksXMLItem *x);
    void BuildAssign(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos);
    void BuildCall(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos, bool isDelete);
    template <class St, class EachChild>
    void BuildConditional(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos, EachChild part);
    void BuildIf(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos);
    void BuildCase(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos);
    void BuildFor(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos, bool basic);
    void BuildCppFor(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos);
    void BuildWhile(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos);
    void BuildRepeat(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos);
    void BuildTry(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos);
    void BuildReturn(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos);
    void BuildWith(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos);
};

void ksilPass2::BuildUses(TksXMLItem *x, TksScript *scope, TksStatement *block)
{
    const QString savedUnit = CurUnit;
    CurUnit = x->Prop(QStringLiteral("unit"));
    // Code a host hands over may name its own unit again: built once.
    if (BuildingUnits.contains(CurUnit, Qt::CaseInsensitive) || BuildingUnits.size() >= ksMaxUnitDepth) {
        CurUnit = savedUnit;
        return;
    }
    BuildingUnits << CurUnit;
    struct Pop {
        QStringList &L;
        ~Pop() { L.removeLast(); }
    } pop{BuildingUnits};
    QString il;
    if (OnGetILUnit && Main) OnGetILUnit(Main, CurUnit, il);
    if (!il.isEmpty()) {
        TksXMLDocument doc;
        doc.LoadFromString(il);
        BuildProgram(doc.Root(), scope, block);
    } else {
        for (int i = 0; i < x->Count(); ++i)
            if (Is(x->Items(i), QLatin1String("program"))) BuildProgram(x->Items(i), scope, block);
    }
    CurUnit = savedUnit;
}

namespace {
// What an IL element builds; names not in the table build nothing.
enum class ksilElement : std::uint8_t {
    Other,
    Block,
    Var,
    Const,
    Uses,
    Routine,
    Assign,
    Call,
    Delete,
    If,
    Case,
    For,
    VbFor,
    CppFor,
    While,
    Repeat,
    Try,
    Break,
    Continue,
    Exit,
    Return,
    With
};

ksilElement ElementKind(const QString &name)
{
    static const QHash<QString, ksilElement> kinds = {
            {QStringLiteral("compoundstmt"), ksilElement::Block}, {QStringLiteral("thenstmt"), ksilElement::Block},
            {QStringLiteral("elsestmt"), ksilElement::Block},     {QStringLiteral("finallystmt"), ksilElement::Block},
            {QStringLiteral("exceptstmt"), ksilElement::Block},   {QStringLiteral("var"), ksilElement::Var},
            {QStringLiteral("const"), ksilElement::Const},        {QStringLiteral("uses"), ksilElement::Uses},
            {QStringLiteral("procedure"), ksilElement::Routine},  {QStringLiteral("function"), ksilElement::Routine},
            {QStringLiteral("assignstmt"), ksilElement::Assign},  {QStringLiteral("callstmt"), ksilElement::Call},
            {QStringLiteral("delete"), ksilElement::Delete},      {QStringLiteral("ifstmt"), ksilElement::If},
            {QStringLiteral("casestmt"), ksilElement::Case},      {QStringLiteral("forstmt"), ksilElement::For},
            {QStringLiteral("vbforstmt"), ksilElement::VbFor},    {QStringLiteral("cppforstmt"), ksilElement::CppFor},
            {QStringLiteral("whilestmt"), ksilElement::While},    {QStringLiteral("repeatstmt"), ksilElement::Repeat},
            {QStringLiteral("trystmt"), ksilElement::Try},        {QStringLiteral("break"), ksilElement::Break},
            {QStringLiteral("continue"), ksilElement::Continue},  {QStringLiteral("exit"), ksilElement::Exit},
            {QStringLiteral("return"), ksilElement::Return},      {QStringLiteral("with"), ksilElement::With}};
    return kinds.value(name, ksilElement::Other);
}
}  // namespace

// What a statement's program tree takes, about (charged per statement so
// that the run's memory is measured while a long text compiles).
constexpr qint64 kStatementBytes = 2048;

void ksilPass2::Dispatch(TksXMLItem *x, TksScript *scope, TksStatement *block)
{
    DispatchAs(ElementKind(NameOf(x)), x, scope, block);
}

void ksilPass2::DispatchAs(ksilElement kind, TksXMLItem *x, TksScript *scope, TksStatement *block)
{
    // The program a text compiles to is the run's memory: a text too large
    // for it stops at the run's budget.
    ksChargeRun(kStatementBytes);
    // Declarations and blocks keep the position of what they hold.
    switch (kind) {
    case ksilElement::Block:
        return Statements(x, scope, block);
    case ksilElement::Var:
        return DeclareVar(x, scope, block);
    case ksilElement::Const:
        return DeclareConst(x, scope);
    case ksilElement::Uses:
        return BuildUses(x, scope, block);
    case ksilElement::Routine:
        return BuildRoutineBody(x);
    default:
        break;
    }
    const QString pos = SetPos(x);
    switch (kind) {
    case ksilElement::Assign:
        return BuildAssign(x, scope, block, pos);
    case ksilElement::Call:
    case ksilElement::Delete:
        return BuildCall(x, scope, block, pos, kind == ksilElement::Delete);
    case ksilElement::If:
        return BuildIf(x, scope, block, pos);
    case ksilElement::Case:
        return BuildCase(x, scope, block, pos);
    case ksilElement::For:
    case ksilElement::VbFor:
        return BuildFor(x, scope, block, pos, kind == ksilElement::VbFor);
    case ksilElement::CppFor:
        return BuildCppFor(x, scope, block, pos);
    case ksilElement::While:
        return BuildWhile(x, scope, block, pos);
    case ksilElement::Repeat:
        return BuildRepeat(x, scope, block, pos);
    case ksilElement::Try:
        return BuildTry(x, scope, block, pos);
    case ksilElement::Break:
        return AddStatement(block, new TksBreakStmt(scope, CurUnit, pos), pos);
    case ksilElement::Continue:
        return AddStatement(block, new TksContinueStmt(scope, CurUnit, pos), pos);
    case ksilElement::Exit:
        return AddStatement(block, new TksExitStmt(scope, CurUnit, pos), pos);
    case ksilElement::Return:
        return BuildReturn(x, scope, block, pos);
    case ksilElement::With:
        return BuildWith(x, scope, block, pos);
    default:
        return;
    }
}

void ksilPass2::Statements(TksXMLItem *x, TksScript *scope, TksStatement *block)
{
    for (int i = 0; i < x->Count(); ++i) {
        TksXMLItem *c = x->Items(i);
        const ksilElement kind = ElementKind(NameOf(c));
        DispatchAs(kind, c, scope, block);
        if (kind >= ksilElement::Assign) x->FreeItem(i);
    }
}

void ksilPass2::AddStatement(TksStatement *block, TksStatement *st, const QString &pos)
{
    block->Add(st);
    Executable(pos);
}

void ksilPass2::BuildRoutineBody(TksXMLItem *x)
{
    auto *proc = static_cast<TksProcVariable *>(x->Data());
    if (!proc) return;
    QStringList savedWith;
    savedWith.swap(WithNames);
    BuildProgram(x, proc->Prog, proc->Prog->MainBlock.get());
    savedWith.swap(WithNames);
}

void ksilPass2::BuildAssign(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos)
{
    TksXMLItem *ds = x->Count() > 0 ? x->Items(0) : nullptr;
    // Basic's `Set x = e` wraps an ordinary assignment in one of the same kind.
    if (ds && Is(ds, QLatin1String("assignstmt"))) return BuildAssign(ds, scope, block, pos);
    if (DirectAssign(x, scope, block, pos)) return;
    TksXMLItem *lastExpr = nullptr;
    for (int i = x->Count() - 1; i >= 0 && !lastExpr; --i)
        if (Is(x->Items(i), QLatin1String("expr"))) lastExpr = x->Items(i);
    if (!ds || !Is(ds, QLatin1String("dsgn")) || !lastExpr) return;
    TksXMLItem *mod = Child(x, "modificator");
    TksDesignator *d = BuildDesignator(ds, scope, mNormal);
    AddAssignment(scope, block, d, lastExpr, pos, mod ? mod->Prop(QStringLiteral("text")) : QString());
}

void ksilPass2::BuildCall(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos, bool isDelete)
{
    const QString unit = CurUnit;
    TksXMLItem *ds = Child(x, "dsgn");
    if (!ds) return;
    std::unique_ptr<TksDesignator> d(BuildDesignator(ds, scope, isDelete ? mDelete : mNormal));
    TksXMLItem *mod = Child(x, "modificator");
    CurPos = pos;
    if (mod && d->ReadOnly) Fail(SLeftCantAssigned);
    if (mod) {
        // x++ is checked as x := x + 1 is
        TksTypeDesc result;
        const TksOpCode code = mod->Prop(QStringLiteral("text")) == QLatin1String("-") ? opMinus : opPlus;
        if (!ksOperatorType(code, false, {d->TypeCode, d->TypeName}, {tcInteger, QString()}, scope, result))
            Fail(SIncompatibleTypes);
        CheckTypes(d->TypeCode, d->TypeName, result.Code, result.Name, scope);
    }
    if (mod && d->Kind == TksDesignator::dkVariable && !d->LateXML && ksIsPlainWrite(d->Variable)) {
        // x++ on a plain variable: the compound assignment's in-place path,
        // between the variable and the shared constant 1 as x += 1 is
        TksVariable *one = Constant(QStringLiteral("1"), scope, x);
        TksAssignmentStmt *st =
                NewAssignment(mod->Prop(QStringLiteral("text")) == QLatin1String("-") ? opMinus : opPlus, scope, pos);
        st->SetVariables(d->Variable, one);
        CurPos = pos;
        return AddStatement(block, st, pos);
    }
    AddStatement(block,
                 new TksCallStmt(scope, unit, pos, d.release(), mod ? mod->Prop(QStringLiteral("text")) : QString()),
                 pos);
}

// A statement whose condition is its first expr child; `part` runs for
// every child, the condition included.
template <class St, class EachChild>
void ksilPass2::BuildConditional(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos,
                                 EachChild part)
{
    TksXMLItem *c = Child(x, "expr");
    if (!c) return;
    auto *st = new St(scope, CurUnit, pos);
    Pending pending{block, st};
    Executable(pos);
    st->Condition.reset(BuildExpr(c, scope));
    for (int i = 0; i < x->Count(); ++i) part(st, x->Items(i), c);
}

void ksilPass2::BuildIf(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos)
{
    BuildConditional<TksIfStmt>(x, scope, block, pos, [&](TksIfStmt *st, TksXMLItem *part, TksXMLItem *) {
        if (Is(part, QLatin1String("thenstmt"))) Children(part, 0, scope, st);
        if (Is(part, QLatin1String("elsestmt"))) Children(part, 0, scope, st->ElseStmt.get());
    });
}

void ksilPass2::BuildCase(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos)
{
    const QString unit = CurUnit;
    BuildConditional<TksCaseStmt>(x, scope, block, pos, [&](TksCaseStmt *st, TksXMLItem *part, TksXMLItem *c) {
        if (part == c) return;
        if (Is(part, QLatin1String("caseselector"))) {
            const QString spos = SetPos(part);
            TksXMLItem *set = Child(part, "set");
            auto *sel = new TksCaseSelector(scope, unit, spos, set ? BuildSet(set, scope) : new TksSetExpression);
            st->Add(sel);
            for (int j = 0; j < part->Count(); ++j)
                if (part->Items(j) != set) Dispatch(part->Items(j), scope, sel);
        } else {
            Dispatch(part, scope, st->ElseStmt.get());
        }
    });
}

void ksilPass2::BuildFor(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos, bool basic)
{
    const QString unit = CurUnit;
    TksCustomVariable *v = LoopVariable(x, scope);
    std::vector<TksXMLItem *> ex = Exprs(x);
    if (ex.size() < 2) return;
    std::unique_ptr<TksExpression> from(CheckedExpr(ex[0], v, scope, pos));
    std::unique_ptr<TksExpression> to(CheckedExpr(ex[1], v, scope, pos));
    TksStatement *st;
    if (!basic) {
        st = new TksForStmt(scope, unit, pos, v, from.release(), to.release(), Child(x, "downto") != nullptr);
    } else {
        TksExpression *step = ex.size() >= 3 ? CheckedExpr(ex[2], v, scope, pos) : nullptr;
        st = new TksVbForStmt(scope, unit, pos, v, from.release(), to.release(), step);
    }
    Pending pending{block, st};
    Executable(pos);
    // the body follows the bounds (and the step of a Basic loop)
    TksXMLItem *lastBound = ex[std::min<size_t>(ex.size(), basic ? 3 : 2) - 1];
    int after = 0;
    for (int i = 0; i < x->Count(); ++i)
        if (x->Items(i) == lastBound) after = i + 1;
    Children(x, after, scope, st);
}

void ksilPass2::BuildCppFor(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos)
{
    auto *st = new TksCppForStmt(scope, CurUnit, pos);
    Pending pending{block, st};
    Executable(pos);
    // init statement, condition, step statement, then the body
    int stage = 0;
    for (int i = 0; i < x->Count(); ++i) {
        TksXMLItem *part = x->Items(i);
        if (stage == 0) {
            Dispatch(part, scope, st->FirstStmt.get());
            stage = 1;
        } else if (stage == 1) {
            if (Is(part, QLatin1String("expr"))) st->Expression.reset(BuildExpr(part, scope));
            stage = 2;
        } else if (stage == 2) {
            Dispatch(part, scope, st->SecondStmt.get());
            stage = 3;
        } else {
            Dispatch(part, scope, st);
        }
    }
}

void ksilPass2::BuildWhile(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos)
{
    BuildConditional<TksWhileStmt>(x, scope, block, pos, [&](TksWhileStmt *st, TksXMLItem *part, TksXMLItem *c) {
        if (part != c) Dispatch(part, scope, st);
    });
}

void ksilPass2::BuildRepeat(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos)
{
    std::vector<TksXMLItem *> ex = Exprs(x);
    if (ex.empty()) return;
    auto *st = new TksRepeatStmt(scope, CurUnit, pos, nullptr, Child(x, "inverse") != nullptr);
    Pending pending{block, st};
    Executable(pos);
    for (int i = 0; i < x->Count(); ++i)
        if (x->Items(i) != ex.back()) Dispatch(x->Items(i), scope, st);
    st->Condition.reset(BuildExpr(ex.back(), scope));
}

void ksilPass2::BuildTry(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos)
{
    const bool isExcept = Child(x, "exceptstmt") != nullptr;
    auto *st = new TksTryStmt(scope, CurUnit, pos, isExcept);
    Pending pending{block, st};
    Executable(pos);
    for (int i = 0; i < x->Count(); ++i) {
        TksXMLItem *part = x->Items(i);
        const ksilName pn(part);
        if (pn == QLatin1String("finallystmt") || pn == QLatin1String("exceptstmt"))
            Children(part, 0, scope, st->ExceptStmt.get());
        else
            Dispatch(part, scope, st);
    }
}

void ksilPass2::BuildReturn(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos)
{
    // return e: Result := e, then exit
    if (TksXMLItem *e = Child(x, "expr")) {
        const QString epos = e->Prop(QStringLiteral("pos"));
        CurPos = epos;
        TksCustomVariable *result = Declare(QStringLiteral("Result"), scope, epos);
        AddAssignment(scope, block, TksDesignator::ForVariable(scope, result, epos), e, epos);
    }
    AddStatement(block, new TksExitStmt(scope, CurUnit, pos), pos);
}

void ksilPass2::BuildWith(TksXMLItem *x, TksScript *scope, TksStatement *block, const QString &pos)
{
    const QString unit = CurUnit;
    const int count = x->Count();
    const int pushed0 = int(WithNames.size());
    for (int i = 0; i < count; ++i) {
        TksXMLItem *ds = x->Items(i);
        if (!Is(ds, QLatin1String("dsgn"))) continue;
        std::unique_ptr<TksDesignator> d(BuildDesignator(ds, scope, mNormal));
        CurPos = pos;
        if (d->TypeCode != tcClass && d->TypeCode != tcVariant) Fail(SClassRequired);
        QString hidden;
        for (int k = 0;; ++k) {
            hidden = QString::number(k);
            if (!scope->FindLocal(hidden) && !WithNames.contains(hidden)) break;
        }
        auto *hv = new TksVariable(hidden, d->TypeCode, d->TypeName);
        scope->Add(hidden, hv);
        block->Add(new TksWithStmt(scope, unit, pos, d.release(), hv));
        WithNames << hidden;
    }
    for (int i = 0; i < count; ++i)
        if (!Is(x->Items(i), QLatin1String("dsgn"))) Dispatch(x->Items(i), scope, block);
    while (WithNames.size() > pushed0) WithNames.removeLast();
}

void TksILParser::ParseILScript()
{
    ksilPass2 p2;
    p2.Main = FProgram;
    p2.CurUnit = UnitName;
    p2.DeclareVars = FDeclareVars;
    p2.GrammarTypes = FGrammar ? FGrammar->Types.get() : nullptr;
    p2.IndexesRunOn = FLanguage.compare(QLatin1String("C++Script"), Qt::CaseInsensitive) == 0;
    p2.Texts = Texts;
    p2.MainUnit = UnitName;
    p2.MainLines = TextFromLines;
    p2.OnGetILUnit = FProgram->OnGetILUnit;
    FProgram->ErrorUnit.clear();
    if (FArena) FArena->GiveBackBlocks();
    try {
        p2.BuildProgram(FIL.Root(), FProgram, FProgram->MainBlock.get());
        FProgram->ErrorPos.clear();
    } catch (const KsError &e) {
        FProgram->ErrorMsg = e.Message.isEmpty() ? QStringLiteral("Error") : e.Message;
        FProgram->ErrorPos = p2.CurPos;
        FProgram->ErrorUnit = p2.CurUnit;
    } catch (const std::bad_alloc &) {
        FProgram->ErrorMsg = SProgramTooComplex;
        FProgram->ErrorPos = p2.CurPos;
        FProgram->ErrorUnit = p2.CurUnit;
    }
}

// ---- hooks ----------------------------------------------------------------------------------

namespace {
TksDesignator *LateCompile(TksScript *prog, TksXMLItem *node)
{
    ksilPass2 p2;
    p2.NoLate = true;
    return p2.BuildDesignator(node, prog, ksilPass2::mNormal);
}
}  // namespace

void ksInstallCompiler()
{
    if (!TksDesignator::LateCompiler) TksDesignator::LateCompiler = LateCompile;
}

QString ksJoinedLines(const QStringList &lines)
{
    // Every line ends with CR LF; one allocation for the whole text.
    QString text;
    qsizetype size = 0;
    for (const QString &line : lines) size += line.size() + 2;
    text.reserve(size);
    for (const QString &line : lines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    return text;
}

void ksCompileScript(TksScript *script)
{
    ksInstallCompiler();
    TksILParser p(script);
    try {
        QString text = ksJoinedLines(script->Lines);
        if (p.MakeILScript(text)) {
            // Not held while the program is built: the text of a macro's
            // argument is read from the lines again.
            p.Texts->remove(p.UnitName);
            p.TextFromLines = true;
            text = QString();
            p.ParseILScript();
        }
    } catch (const KsError &e) {
        script->ErrorMsg = e.Message.isEmpty() ? SInvalidLanguage : e.Message;
        if (script->ErrorPos.isEmpty()) script->ErrorPos = QStringLiteral("1:1");
    } catch (const std::exception &e) {
        script->ErrorMsg = QString::fromUtf8(e.what());
        if (script->ErrorMsg.isEmpty()) script->ErrorMsg = SInvalidLanguage;
    }
}
