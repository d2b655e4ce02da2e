// Run-time classes for scripts: string lists, lists, collections, streams,
// freeing objects and checking object arguments.
#include "ks_print.h"
#include "script/ks_iclassesrtti.h"
#include "script/ks_runner.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QPointer>
#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace {

// Runs a PascalScript text; the output lines, then the error line if any.
QStringList Pas(const QString &body)
{
    return ksRunScript(body, QStringLiteral("PascalScript")).Output;
}

TEST(KsStringList, SortingFindAndDuplicates)
{
    const QStringList out =
            Pas(QStringLiteral("var L: TStringList; i: Integer;\n"
                               "begin\n"
                               "  L := TStringList.Create;\n"
                               "  L.Add('pear'); L.Add('Apple'); L.Add('fig'); L.Add('apple');\n"
                               "  L.Sort; Out(L.CommaText);\n"
                               "  L.Sorted := True; Out(L.Count); L.Sorted := False;\n"
                               "  L.Clear; L.Sorted := True;\n"
                               "  L.Add('b'); L.Add('a'); L.Add('B'); Out(L.CommaText);\n"
                               "  if L.Find('B', i) then Out('found ' + IntToStr(i));\n"
                               "  if not L.Find('aa', i) then Out('not found, would be ' + IntToStr(i));\n"
                               "  L.Duplicates := dupAccept; L.Add('a'); Out(L.Count);\n"
                               "  L.Duplicates := dupError;\n"
                               "  try L.Add('a') except Out(ExceptionClassName + ': ' + ExceptionMessage) end;\n"
                               "  try L.Insert(0, 'z') except Out(ExceptionMessage) end;\n"
                               "  Out(L.IndexOf('A'));\n"
                               "  L.Free;\n"
                               "end."));
    EXPECT_EQ(out, QStringList({"Apple,apple,fig,pear", "4", "a,b", "found 1", "not found, would be 1", "3",
                                "EStringListError: String list does not allow duplicates",
                                "Operation not allowed on sorted list", "0"}));
}

TEST(KsStringList, CommaTextQuotingAndValues)
{
    TStringList l;
    for (const char *s : {"a b", "c,d", "say \"hi\"", "plain", ""}) l.Add(QString::fromUtf8(s));
    const QString text = l.CommaText();
    EXPECT_EQ(text, QStringLiteral("\"a b\",\"c,d\",\"say \"\"hi\"\"\",plain,"));
    TStringList back;
    back.SetCommaText(text);
    EXPECT_EQ(back.ToList(), l.ToList());
    back.SetCommaText(QStringLiteral("  x y , \"z\"  "));
    EXPECT_EQ(back.ToList(), QStringList({"x", "y", "z"}));
    const QStringList out = Pas(
            QStringLiteral("var L: TStringList;\n"
                           "begin\n"
                           "  L := TStringList.Create;\n"
                           "  L.Text := 'k=v1' + Chr(10) + 'other=2';\n"
                           "  L.Values['n'] := 'v2';\n"
                           "  Out(L.Values['K'] + '/' + L.Values['n'] + '/' + L.Names[1] + '/' + L.Values['none']);\n"
                           "  L.Values['other'] := ''; Out(L.Count); Out(L.IndexOfName('n'));\n"
                           "  L.Move(1, 0); Out(L[0]); L.Strings[0] := 'w=1'; Out(L.CommaText);\n"
                           "  L.Free;\n"
                           "end."));
    EXPECT_EQ(out, QStringList({"v1/v2/other/", "2", "1", "n=v2", "w=1,k=v1"}));
}

TEST(KsStringList, IndexErrorsAndObjects)
{
    const QStringList out = Pas(QStringLiteral(
            "var L, M: TStringList; P: TList; v: Variant;\n"
            "begin\n"
            "  L := TStringList.Create; M := TStringList.Create; P := TList.Create;\n"
            "  L.AddObject('m', M); Out(L.IndexOfObject(M)); Out(TStringList(L.Objects[0]).ClassName);\n"
            "  try Out(L[5]) except Out(ExceptionClassName + ': ' + ExceptionMessage) end;\n"
            "  P.Add(L); P.Add(M); P.Add(nil); Out(P.Count); Out(P.IndexOf(M)); P.Remove(L); Out(P.IndexOf(M));\n"
            "  P[0] := L; Out(P.IndexOf(L));\n"
            "  M.Assign(L); Out(M.CommaText);\n"
            "  v := P; try M.Assign(v) except Out(ExceptionMessage) end;\n"
            "  L.Free; M.Free; P.Free;\n"
            "end."));
    EXPECT_EQ(out, QStringList({"0", "TStringList", "EStringListError: List index out of bounds (5)", "3", "1", "0",
                                "0", "m", "Parameter Source of Assign: Object of class TList is not a TPersistent"}));
}

// A freed object's handle raises on every later use, also a second Free;
// objects the program owns cannot be freed by a script.
TEST(KsFree, UseAfterFreeAndDoubleFreeAreCatchable)
{
    const QStringList out = Pas(QStringLiteral("var L: TStringList; C, D: TComponent; n: Integer;\n"
                                               "begin\n"
                                               "  L := TStringList.Create; L.Free;\n"
                                               "  try L.Add('x') except Out('use: ' + ExceptionClassName) end;\n"
                                               "  try n := L.Count except Out('read: ' + ExceptionClassName) end;\n"
                                               "  try L.Free except Out('again: ' + ExceptionClassName) end;\n"
                                               "  C := TComponent.Create(nil); D := TComponent.Create(C);\n"
                                               "  Out(D.Owner = C);\n"
                                               "  C.Free;\n"
                                               "  try D.Free except Out('owned: ' + ExceptionClassName) end;\n"
                                               "  L := nil; L.Free; Out('nil ok');\n"
                                               "end."));
    EXPECT_EQ(out, QStringList({"use: EInvalidObject", "read: EInvalidObject", "again: EInvalidObject", "True",
                                "owned: EInvalidObject", "nil ok"}));

    TksScript s;
    s.AddRTTI();
    TStringList hostOwned;
    s.AddObject(QStringLiteral("Host"), &hostOwned);
    s.Lines << QStringLiteral("begin Host.Free end.");
    ASSERT_TRUE(s.Compile()) << s.ErrorMsg.toStdString();
    try {
        s.Execute();
        ADD_FAILURE() << "freeing a host object must raise";
    } catch (const KsError &e) {
        EXPECT_EQ(e.ClassName, QStringLiteral("EInvalidOperation"));
    }
    EXPECT_EQ(hostOwned.Count(), 0);  // still alive
}

// What a script makes and leaves without an owner goes when its run is
// over (Clear before the next compile, the script's end, or the host's
// word); what it gave an owner stays with the owner.
TEST(KsFree, ObjectsNobodyOwnsGoWhenTheRunIsOver)
{
    TComponent owner;
    std::vector<QPointer<QObject>> kept;
    auto s = std::make_unique<TksScript>();
    s->AddRTTI();
    const auto run = [&](const char *text) {
        s->Clear();
        s->AddObject(QStringLiteral("Owner"), &owner);
        s->AddMethod(QStringLiteral("procedure Keep(O: TObject)"),
                     [&kept](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *h) {
                         kept.emplace_back(h->GetParam(0).ToObject());
                         return KsValue();
                     });
        s->Lines = QStringList{QLatin1String(text)};
        ASSERT_TRUE(s->Compile()) << s->ErrorMsg.toStdString();
        s->Execute();
    };
    const int before = KsObjects::LiveCount();
    run("var i: Integer; L: TStringList; begin for i := 1 to 1000 do begin L := TStringList.Create; L.Add('x') "
        "end; Keep(L); Keep(TStringList); Keep(TComponent.Create(Owner)) end.");
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_TRUE(kept[0] && kept[1] && kept[2]);  // the host may still use them after Execute
    run("begin end.");
    EXPECT_FALSE(kept[0] || kept[1]);
    EXPECT_TRUE(kept[2] && kept[2]->parent() == &owner);
    EXPECT_EQ(KsObjects::LiveCount(), before + 2);  // the owner and what it owns; none of the 1000 lists
    run("var L: TStringList; begin L := TStringList.Create; Keep(L) end.");
    s->FreeCreatedObjects();  // the host ends the run itself
    EXPECT_FALSE(kept[3]);
    run("begin Keep(TStringList.Create) end.");
    s.reset();
    EXPECT_FALSE(kept[4]);
}

TEST(KsFree, ObjectArgumentsAreChecked)
{
    const QStringList out = Pas(QStringLiteral("var L: TStringList; M: TMemoryStream; v: Variant;\n"
                                               "begin\n"
                                               "  L := TStringList.Create; M := TMemoryStream.Create;\n"
                                               "  try v := 5; L.SaveToStream(v) except Out(ExceptionMessage) end;\n"
                                               "  try v := Null; L.SaveToStream(v) except Out(ExceptionMessage) end;\n"
                                               "  try v := L; L.SaveToStream(v) except Out(ExceptionMessage) end;\n"
                                               "  try L.SaveToStream(nil) except Out(ExceptionMessage) end;\n"
                                               "  v := M; M.Free;\n"
                                               "  try L.SaveToStream(v) except Out(ExceptionMessage) end;\n"
                                               "  L.Free;\n"
                                               "end."));
    EXPECT_EQ(out, QStringList({"Parameter Stream of SaveToStream must be an object, not a value of type Integer",
                                "Parameter Stream of SaveToStream must be an object, not a value of type Null",
                                "Parameter Stream of SaveToStream: Object of class TStringList is not a TStream",
                                "Parameter Stream of SaveToStream must not be nil",
                                "Parameter Stream of SaveToStream: Object was freed or is invalid"}));
}

QString AllBytesScript(const QString &path)
{
    return QStringLiteral("var F: TFileStream; M: TMemoryStream; s, b, c: String; i, n: Integer;\n"
                          "begin\n"
                          "  s := ''; for i := 0 to 255 do s := s + Chr(i);\n"
                          "  F := TFileStream.Create('%1', fmCreate); Out(F.Write(s, 256)); F.Free;\n"
                          "  F := TFileStream.Create('%1', fmOpenRead);\n"
                          "  Out(F.Size); n := F.Read(b, 200); Out(n); n := F.Read(c, 200); Out(n); Out(Length(c));\n"
                          "  Out(b + c = s);\n"
                          "  M := TMemoryStream.Create; F.Position := 0; Out(M.CopyFrom(F, 0)); F.Free;\n"
                          "  Out(M.Seek(-6, soFromEnd)); n := M.Read(b, 10); Out(Ord(b[6]));\n"
                          "  M.Free;\n"
                          "end.")
            .arg(path);
}

TEST(KsStreams, AllByteValuesSurviveARoundTrip)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bytes.bin"));
    const QStringList out = Pas(AllBytesScript(path));
    EXPECT_EQ(out, QStringList({"256", "256", "200", "56", "56", "True", "256", "250", "255"}));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    ASSERT_EQ(bytes.size(), 256);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(quint8(bytes[i]), i);
}

TEST(KsStreams, RefusedPathsGiveTheSystemsMessage)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("no/such/dir/x.bin"));
    QFile probe(missing);
    probe.open(QIODevice::ReadOnly);
    const QString why = probe.errorString();
    const QStringList out =
            Pas(QStringLiteral("var F: TFileStream; L: TStringList;\n"
                               "begin\n"
                               "  try F := TFileStream.Create('%1', fmOpenRead) except Out(ExceptionClassName + "
                               "': ' + ExceptionMessage) end;\n"
                               "  try F := TFileStream.Create('%1', fmCreate) except Out(ExceptionClassName) end;\n"
                               "  try F := TFileStream.Create('%2', fmCreate) except Out(ExceptionMessage) end;\n"
                               "  L := TStringList.Create;\n"
                               "  try L.LoadFromFile('%1') except Out(ExceptionClassName) end;\n"
                               "  try L.SaveToFile('%1') except Out(ExceptionClassName) end;\n"
                               "  L.Free;\n"
                               "end.")
                        .arg(missing, dir.path()));
    ASSERT_EQ(out.size(), 5);
    EXPECT_EQ(out[0], QStringLiteral("EFOpenError: Cannot open file \"%1\". %2").arg(missing, why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(out[1], QStringLiteral("EFCreateError"));
    EXPECT_TRUE(out[2].startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(dir.path())));
    EXPECT_EQ(out[3], QStringLiteral("EFOpenError"));
    EXPECT_EQ(out[4], QStringLiteral("EFCreateError"));
}

TEST(KsStreams, StringListsAndStreams)
{
    const QStringList out =
            Pas(QStringLiteral("var L, K: TStringList; M: TMemoryStream; C: TCollection;\n"
                               "begin\n"
                               "  L := TStringList.Create; K := TStringList.Create; M := TMemoryStream.Create;\n"
                               "  L.Add('one'); L.Add('zwei'); L.SaveToStream(M); Out(M.Size);\n"
                               "  M.Position := 0; K.LoadFromStream(M); Out(K.CommaText);\n"
                               "  M.Clear; Out(M.Size);\n"
                               "  C := TCollection.Create; Out(C.Count); C.Free;\n"
                               "  L.Free; K.Free; M.Free;\n"
                               "end."));
    EXPECT_EQ(out, QStringList({"9", "one,zwei", "0", "0"}));
}

// Items of a freed document raise instead of touching freed memory; a tree
// cannot be made to contain itself.
TEST(KsXMLClasses, TreesStreamsAndFreedDocuments)
{
    const QStringList out = Pas(
            QStringLiteral("var D: TksXMLDocument; R, A, B: TksXMLItem; S: TMemoryStream;\n"
                           "begin\n"
                           "  D := TksXMLDocument.Create; R := D.Root; R.Name := 'report';\n"
                           "  A := R.Add; A.Name := 'page'; A.Prop['width'] := '210'; A.Data := 7;\n"
                           "  B := TksXMLItem.Create; B.Name := 'band'; A.AddItem(B);\n"
                           "  Out(R.Count); Out(R[0].Name + '/' + R[0][0].Name + ' ' + A.Prop['width']); Out(A.Data);\n"
                           "  Out(B.Parent.Name); Out(R.Find('page')); Out(B.Root.Name); Out(R.FindItem('page') = A);\n"
                           "  try R.AddItem(R) except Out(ExceptionMessage) end;\n"
                           "  try B.AddItem(A) except Out(ExceptionMessage) end;\n"
                           "  try Out(R[3].Name) except Out(ExceptionClassName) end;\n"
                           "  S := TMemoryStream.Create; D.SaveToStream(S);\n"
                           "  D.Free;\n"
                           "  try Out(B.Name) except Out(ExceptionClassName) end;\n"
                           "  try Out(R.Count) except Out(ExceptionClassName) end;\n"
                           "  D := TksXMLDocument.Create; S.Position := 0; D.LoadFromStream(S);\n"
                           "  Out(D.Root[0][0].Name + ' ' + D.Root[0].Prop['width']);\n"
                           "  B := TksXMLItem.Create; B.Free; D.Free; S.Free;\n"
                           "end."));
    EXPECT_EQ(out, QStringList({"1", "page/band 210", "7", "page", "0", "report", "True",
                                "The root of a document cannot be moved", "An item cannot be put inside itself",
                                "EListError", "EInvalidObject", "EInvalidObject", "band 210"}));
}

TEST(KsCollections, ItemsFreedElsewhereLeaveTheCollection)
{
    TCollection c;
    TCollectionItem *a = c.Add();
    c.Add();
    EXPECT_EQ(c.Count(), 2);
    delete a;
    EXPECT_EQ(c.Count(), 1);
    c.Clear();
    EXPECT_EQ(c.Count(), 0);
    EXPECT_THROW(c.Items(0), KsError);
}

}  // namespace
