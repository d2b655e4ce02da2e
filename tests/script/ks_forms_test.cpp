// Forms and controls built by scripts and driven headlessly: click, key and
// close handlers with their write-backs, handlers that go away with the
// script, key codes.
#include "ks_print.h"
#include "script/ks_iformsrtti.h"
#include "script/ks_runner.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QResizeEvent>
#include <QTest>
#include <QTimer>

namespace {

struct Script {
    TksScript S;
    QStringList Output;
    explicit Script(const QString &text, const char *lang = "PascalScript")
    {
        S.AddRTTI();
        S.AddMethod(QStringLiteral("procedure Out(V: Variant)"),
                    [this](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *h) {
                        Output << h->GetParam(0).ToText();
                        return KsValue();
                    });
        S.SyntaxType = QLatin1String(lang);
        S.Lines = ksSplitScriptLines(text);
        EXPECT_TRUE(S.Compile()) << S.ErrorPos.toStdString() << " " << S.ErrorMsg.toStdString();
        S.Execute();
        Error = S.ErrorMsg;
    }
    QString Error;
    template <class T>
    T *Object(const char *name)
    {
        return qobject_cast<T *>(S.Find(QLatin1String(name))->GetValue().ToObject());
    }
};

const char *kEditAndButton = "var F: TForm; E: TEdit; B: TButton; n: Integer;\n"
                             "procedure Clicked(Sender: TObject);\n"
                             "begin\n"
                             "  n := n + 1; E.Text := 'clicked ' + IntToStr(n);\n"
                             "end;\n"
                             "procedure KeyDown(Sender: TObject; var Key: Word; Shift: TShiftState);\n"
                             "begin\n"
                             "  if Key = 65 then Key := 0;\n"
                             "end;\n"
                             "procedure KeyPress(Sender: TObject; var Key: Char);\n"
                             "begin\n"
                             "  if Key = 'x' then Key := 'y';\n"
                             "  if Key = 'q' then Key := #0;\n"
                             "end;\n"
                             "begin\n"
                             "  F := TForm.Create(nil); F.Caption := 'Form';\n"
                             "  E := TEdit.Create(F); E.Parent := F; E.SetBounds(8, 8, 120, 24);\n"
                             "  B := TButton.Create(F); B.Parent := F; B.Caption := 'Go'; B.OnClick := 'Clicked';\n"
                             "  E.OnKeyDown := 'KeyDown'; E.OnKeyPress := 'KeyPress';\n"
                             "end.";

TEST(KsForms, AButtonsClickHandlerChangesTheEdit)
{
    Script s{QString::fromLatin1(kEditAndButton)};
    auto *form = s.Object<TForm>("F");
    auto *edit = s.Object<TEdit>("E");
    auto *button = s.Object<TButton>("B");
    ASSERT_TRUE(form && edit && button);
    form->Show();
    EXPECT_EQ(edit->Widget()->parentWidget(), form->Widget());
    QTest::mouseClick(button->Widget(), Qt::LeftButton);
    EXPECT_EQ(edit->Caption(), QStringLiteral("clicked 1"));
    static_cast<QAbstractButton *>(button->Widget())->click();
    EXPECT_EQ(edit->Caption(), QStringLiteral("clicked 2"));
    delete form;
}

TEST(KsForms, KeyHandlersWriteBack)
{
    Script s{QString::fromLatin1(kEditAndButton)};
    auto *form = s.Object<TForm>("F");
    auto *edit = s.Object<TEdit>("E");
    form->Show();
    auto *line = static_cast<QLineEdit *>(edit->Widget());
    QTest::keyClicks(line, QStringLiteral("abxq"));
    // a (key code 65) zeroed by KeyDown, x became y by KeyPress, q swallowed
    EXPECT_EQ(line->text(), QStringLiteral("by"));
    delete form;
}

TEST(KsForms, CloseQueryCanRefuse)
{
    Script s(QStringLiteral("var F: TForm; B: TButton; Allow: Boolean; Closes: Integer;\n"
                            "procedure Query(Sender: TObject; var CanClose: Boolean);\n"
                            "begin\n"
                            "  CanClose := Allow;\n"
                            "end;\n"
                            "procedure Closed(Sender: TObject; var Action: TCloseAction);\n"
                            "begin\n"
                            "  Closes := Closes + 1;\n"
                            "end;\n"
                            "begin\n"
                            "  F := TForm.Create(nil); F.OnCloseQuery := 'Query'; F.OnClose := 'Closed';\n"
                            "  B := TButton.Create(F); B.Parent := F; B.ModalResult := mrOk;\n"
                            "end."));
    auto *form = s.Object<TForm>("F");
    auto *button = s.Object<TButton>("B");
    form->Show();
    form->Close();
    EXPECT_TRUE(form->Widget()->isVisible());
    s.S.SetVariable(QStringLiteral("Allow"), KsValue(true));
    form->Close();
    EXPECT_FALSE(form->Widget()->isVisible());
    EXPECT_EQ(s.S.Find(QStringLiteral("Closes"))->GetValue().ToInt(), 1);

    // modal: the button's modal result is refused first, then accepted
    s.S.SetVariable(QStringLiteral("Allow"), KsValue(false));
    bool stillOpen = false;
    QTimer::singleShot(0, [&] {
        static_cast<QAbstractButton *>(button->Widget())->click();
        stillOpen = form->Widget()->isVisible() && form->ModalResult() == 0;
        s.S.SetVariable(QStringLiteral("Allow"), KsValue(true));
        static_cast<QAbstractButton *>(button->Widget())->click();
    });
    EXPECT_EQ(form->ShowModal(), 1);
    EXPECT_TRUE(stillOpen);
    EXPECT_FALSE(form->Widget()->isVisible());
    delete form;
}

TEST(KsForms, HandlersReentryClearingAndExtraParameters)
{
    Script s(QStringLiteral("var F: TForm; E: TEdit; Changes: Integer; Extra: String;\n"
                            "procedure Changed(Sender: TObject);\n"
                            "begin\n"
                            "  Changes := Changes + 1;\n"
                            "  E.Text := E.Text + '!';\n"  // raises OnChange again while this runs: ignored
                            "end;\n"
                            "procedure Clicked(Sender: TObject; More: Variant);\n"
                            "begin\n"
                            "  Extra := VarToStr(VarType(More));\n"
                            "  More := 5;\n"
                            "end;\n"
                            "begin\n"
                            "  F := TForm.Create(nil); E := TEdit.Create(F); E.Parent := F;\n"
                            "  E.OnChange := 'Changed'; E.OnClick := 'Clicked';\n"
                            "end."));
    auto *form = s.Object<TForm>("F");
    auto *edit = s.Object<TEdit>("E");
    edit->SetCaption(QStringLiteral("a"));
    EXPECT_EQ(s.S.Find(QStringLiteral("Changes"))->GetValue().ToInt(), 1);
    EXPECT_EQ(edit->Caption(), QStringLiteral("a!"));
    edit->Fire(QStringLiteral("ONCLICK"));
    edit->Fire(QStringLiteral("ONCLICK"));
    EXPECT_EQ(s.S.Find(QStringLiteral("Extra"))->GetValue().ToText(), QStringLiteral("0"));  // unassigned each time
    // "0" clears a handler
    s.S.Clear();
    s.S.Lines = QStringList({QStringLiteral("var E: TEdit; begin E := TEdit(EditObj); E.OnChange := '0' end.")});
    s.S.AddObject(QStringLiteral("EditObj"), edit);
    // after Clear the handlers are gone with the script's procedures
    edit->SetCaption(QStringLiteral("b"));
    EXPECT_FALSE(edit->HasEvent(QStringLiteral("ONCHANGE")));
    ASSERT_TRUE(s.S.Compile()) << s.S.ErrorMsg.toStdString();
    s.S.Execute();
    EXPECT_FALSE(edit->HasEvent(QStringLiteral("ONCHANGE")));
    delete form;
}

TEST(KsForms, AHandlerGoesWithItsScript)
{
    auto *s = new Script(QString::fromLatin1(kEditAndButton));
    QPointer<TForm> form = s->Object<TForm>("F");
    auto *button = s->Object<TButton>("B");
    auto *edit = s->Object<TEdit>("E");
    delete s;
    static_cast<QAbstractButton *>(button->Widget())->click();  // nothing runs
    EXPECT_EQ(edit->Caption(), QString());
    delete form.data();
}

TEST(KsForms, ListsCombosAndConstants)
{
    Script s(QStringLiteral(
            "var F: TForm; L: TListBox; C: TComboBox; M: TMemo;\n"
            "begin\n"
            "  F := TForm.Create(nil);\n"
            "  L := TListBox.Create(F); L.Parent := F; L.Items.Add('a'); L.Items.Add('b');\n"
            "  Out(L.SelCount); L.MultiSelect := True; L.Selected[1] := True; Out(L.SelCount); Out(L.Selected[1]);\n"
            "  try L.Selected[5] := True except Out(ExceptionClassName) end;\n"
            "  C := TComboBox.Create(F); C.Parent := F; C.Items.CommaText := 'x,y,z'; C.ItemIndex := 2; Out(C.Text);\n"
            "  M := TMemo.Create(F); M.Parent := F; M.Lines.Add('one'); M.Lines.Add('two'); Out(M.Lines.Count);\n"
            "  M.Text := 'p' + Chr(10) + 'q' + Chr(10) + 'r'; Out(M.Lines[2]);\n"
            "  F.ModalResult := mrOk; Out(F.ModalResult);\n"
            "  Out(ssShift + ssCtrl); Out(VK_F2); Out(VK_F12); Out(crSize = crSizeAll); Out(akBottom); "
            "Out(VK_NUMPAD9);\n"
            "  Application.ProcessMessages; Out(Application.ExeName <> '');\n"
            "  F.Free;\n"
            "end."));
    EXPECT_EQ(s.Output, QStringList({"0", "1", "True", "EListError", "z", "2", "r", "1", "5", "113", "123", "True", "8",
                                     "105", "True"}));
}

TEST(KsForms, MouseAndShowEventsPassTheirArguments)
{
    Script s(
            QStringLiteral("var F: TForm; P: TPanel; Log: String;\n"
                           "procedure Down(Sender: TObject; Button: TMouseButton; Shift: TShiftState; X, Y: Integer);\n"
                           "begin\n"
                           "  Log := Log + 'down ' + IntToStr(Button) + ' ' + IntToStr(Shift) + ' ' + IntToStr(X) + "
                           "',' + IntToStr(Y) + ';';\n"
                           "end;\n"
                           "procedure Clicked(Sender: TObject);\n"
                           "begin\n"
                           "  Log := Log + 'click;';\n"
                           "end;\n"
                           "procedure Shown(Sender: TObject);\n"
                           "begin\n"
                           "  Log := Log + 'show;';\n"
                           "end;\n"
                           "begin\n"
                           "  F := TForm.Create(nil); F.OnShow := 'Shown';\n"
                           "  P := TPanel.Create(F); P.Parent := F; P.SetBounds(0, 0, 100, 50);\n"
                           "  P.OnMouseDown := 'Down'; P.OnClick := 'Clicked';\n"
                           "end."));
    auto *form = s.Object<TForm>("F");
    auto *panel = s.Object<TPanel>("P");
    form->Show();
    QTest::mouseClick(panel->Widget(), Qt::RightButton, Qt::ShiftModifier, QPoint(7, 9));
    QTest::mouseClick(panel->Widget(), Qt::LeftButton, Qt::NoModifier, QPoint(3, 4));
    // the left click's Shift includes ssLeft (8) while the button is down
    EXPECT_EQ(s.S.Find(QStringLiteral("Log"))->GetValue().ToText(),
              QStringLiteral("show;down 1 17 7,9;down 0 8 3,4;click;"));
    delete form;
}

TEST(KsForms, AFormWithKeyPreviewSeesKeysFirst)
{
    Script s(QStringLiteral("var F: TForm; E: TEdit;\n"
                            "procedure FormKey(Sender: TObject; var Key: Char);\n"
                            "begin\n"
                            "  if Key = '-' then Key := #0;\n"
                            "end;\n"
                            "begin\n"
                            "  F := TForm.Create(nil); F.OnKeyPress := 'FormKey';\n"
                            "  E := TEdit.Create(F); E.Parent := F;\n"
                            "end."));
    auto *form = s.Object<TForm>("F");
    auto *line = static_cast<QLineEdit *>(s.Object<TEdit>("E")->Widget());
    form->Show();
    QTest::keyClicks(line, QStringLiteral("1-2"));
    EXPECT_EQ(line->text(), QStringLiteral("1-2"));  // without KeyPreview the form sees nothing
    line->clear();
    form->SetKeyPreview(true);
    QTest::keyClicks(line, QStringLiteral("1-2"));
    EXPECT_EQ(line->text(), QStringLiteral("12"));
    delete form;
}

// A handler that frees its form while it is shown modally ends the modal
// loop; the script's handles to the form and its controls raise afterwards.
TEST(KsForms, FreeingAModalFormFromItsOwnHandler)
{
    Script s(QStringLiteral("var F: TForm; B: TButton; r: Integer;\n"
                            "procedure Clicked(Sender: TObject);\n"
                            "begin\n"
                            "  F.Free;\n"
                            "end;\n"
                            "begin\n"
                            "  F := TForm.Create(nil); B := TButton.Create(F); B.Parent := F; B.OnClick := 'Clicked';\n"
                            "  try B.Create(B) except Out(ExceptionClassName) end;\n"
                            "end."));
    QPointer<TButton> button = s.Object<TButton>("B");
    QPointer<TForm> form = s.Object<TForm>("F");
    QTimer::singleShot(0, [&] { static_cast<QAbstractButton *>(button->Widget())->click(); });
    EXPECT_EQ(form->ShowModal(), 2);
    EXPECT_TRUE(form.isNull());
    EXPECT_TRUE(button.isNull());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(s.Output, QStringList({"EInvalidOperation"}));
}

TEST(KsForms, TheModalHookAnswersForTheForm)
{
    QStringList asked;
    ksShowModalHook() = [&](TCustomForm *f) {
        asked << f->Caption();
        return 6;  // mrYes
    };
    const KsRunResult r = ksRunScript(QStringLiteral("var F: TForm; begin F := TForm.Create(nil); F.Caption := 'Q';"
                                                     " Out(F.ShowModal = mrYes); F.Free end."),
                                      QStringLiteral("PascalScript"));
    ksShowModalHook() = nullptr;
    EXPECT_EQ(r.Output, QStringList({"True"}));
    EXPECT_EQ(asked, QStringList({"Q"}));
}

TEST(KsForms, KeyCodesTranslate)
{
    EXPECT_EQ(ksQtKeyToVirtualKey(Qt::Key_F2, Qt::NoModifier), 113);
    EXPECT_EQ(ksQtKeyToVirtualKey(Qt::Key_A, Qt::ShiftModifier), 65);
    EXPECT_EQ(ksQtKeyToVirtualKey(Qt::Key_5, Qt::KeypadModifier), 101);
    EXPECT_EQ(ksQtKeyToVirtualKey(Qt::Key_Return, Qt::NoModifier), 13);
    EXPECT_EQ(ksQtKeyToVirtualKey(Qt::Key_Escape, Qt::NoModifier), 27);
    for (int vk : {8, 9, 13, 27, 32, 33, 37, 40, 45, 46, 65, 90, 48, 112, 123})
        EXPECT_EQ(ksQtKeyToVirtualKey(ksVirtualKeyToQtKey(vk), Qt::NoModifier), vk) << vk;
    EXPECT_EQ(ksShiftState(Qt::ShiftModifier | Qt::ControlModifier), 5);
    EXPECT_EQ(ksShiftState(Qt::NoModifier, Qt::LeftButton, true), 8 + 64);
}

}  // namespace

namespace {

TEST(KsForms, CreateRunsWhenFirstShownAndDestroyWhenFreed)
{
    Script s{QStringLiteral("var F: TForm;\n"
                            "procedure Made(Sender: TObject);\n"
                            "begin\n"
                            "  Out('create ' + TForm(Sender).Caption);\n"
                            "end;\n"
                            "procedure Gone(Sender: TObject);\n"
                            "begin\n"
                            "  Out('destroy');\n"
                            "end;\n"
                            "begin\n"
                            "  F := TForm.Create(nil); F.Caption := 'A';\n"
                            "  F.OnCreate := 'Made'; F.OnDestroy := 'Gone';\n"
                            "  F.Show; F.Hide; F.Show; F.Hide;\n"
                            "  F.Free;\n"
                            "  Out('end');\n"
                            "end.")};
    EXPECT_EQ(s.Output, (QStringList{"create A", "destroy", "end"})) << s.Error.toStdString();
}

}  // namespace

namespace {

// The same form in the other three languages: a click handler, a key
// handler that swallows "a" and a close query that refuses once.
struct LangForm {
    const char *Lang;
    const char *Text;
};
const LangForm kLangForms[] = {
        {"JScript", "var f, e, b, n = 0, asked = 0;\n"
                    "function Clicked(Sender) { n = n + 1; e.Text = \"clicked \" + IntToStr(n); }\n"
                    "function KeyDown(Sender, Key, Shift) { if (Key == 65) Key = 0; }\n"
                    "function Ask(Sender, CanClose) { asked = asked + 1; CanClose = asked > 1; }\n"
                    "f = new TForm(nil); f.OnCloseQuery = \"Ask\";\n"
                    "e = new TEdit(f); e.Parent = f; e.OnKeyDown = \"KeyDown\";\n"
                    "b = new TButton(f); b.Parent = f; b.OnClick = \"Clicked\";\n"},
        {"BasicScript", "Dim f, e, b, n, asked\n"
                        "n = 0\n"
                        "asked = 0\n"
                        "Sub Clicked(Sender)\n"
                        "  n = n + 1\n"
                        "  e.Text = \"clicked \" & IntToStr(n)\n"
                        "End Sub\n"
                        "Sub KeyDown(Sender, ByRef Key, Shift)\n"
                        "  If Key = 65 Then\n"
                        "    Key = 0\n"
                        "  End If\n"
                        "End Sub\n"
                        "Sub Ask(Sender, ByRef CanClose)\n"
                        "  asked = asked + 1\n"
                        "  CanClose = asked > 1\n"
                        "End Sub\n"
                        "f = New TForm(nil)\n"
                        "f.OnCloseQuery = \"Ask\"\n"
                        "e = New TEdit(f)\n"
                        "e.Parent = f\n"
                        "e.OnKeyDown = \"KeyDown\"\n"
                        "b = New TButton(f)\n"
                        "b.Parent = f\n"
                        "b.OnClick = \"Clicked\"\n"},
        {"C++Script", "TForm f; TEdit e; TButton b; int n = 0; int asked = 0;\n"
                      "void Clicked(TObject Sender) { n = n + 1; e.Text = \"clicked \" + IntToStr(n); }\n"
                      "void KeyDown(TObject Sender, int &Key, int Shift) { if (Key == 65) Key = 0; }\n"
                      "void Ask(TObject Sender, bool &CanClose) { asked = asked + 1; CanClose = asked > 1; }\n"
                      "{\n"
                      "  f = new TForm(nil); f.OnCloseQuery = \"Ask\";\n"
                      "  e = new TEdit(f); e.Parent = f; e.OnKeyDown = \"KeyDown\";\n"
                      "  b = new TButton(f); b.Parent = f; b.OnClick = \"Clicked\";\n"
                      "}\n"}};

// Runs `body` on the form "f" that each language's script builds, shown.
template <size_t N, class Body>
void EachLanguagesForm(const LangForm (&forms)[N], Body body)
{
    for (const LangForm &l : forms) {
        SCOPED_TRACE(l.Lang);
        Script s(QString::fromLatin1(l.Text), l.Lang);
        ASSERT_TRUE(s.Error.isEmpty()) << s.Error.toStdString();
        auto *form = s.Object<TForm>("f");
        ASSERT_TRUE(form);
        form->Show();
        body(s, form);
        delete form;
    }
}

TEST(KsForms, TheFormWorksInEveryLanguage)
{
    EachLanguagesForm(kLangForms, [](Script &s, TForm *form) {
        auto *edit = s.Object<TEdit>("e");
        auto *button = s.Object<TButton>("b");
        ASSERT_TRUE(edit && button);
        QTest::mouseClick(button->Widget(), Qt::LeftButton);
        EXPECT_EQ(edit->Caption(), QStringLiteral("clicked 1"));
        auto *line = static_cast<QLineEdit *>(edit->Widget());
        line->setCursorPosition(line->text().size());
        QTest::keyClicks(line, QStringLiteral("ab"));
        EXPECT_EQ(line->text(), QStringLiteral("clicked 1b"));
        form->Close();
        EXPECT_TRUE(form->Widget()->isVisible());
        form->Close();
        EXPECT_FALSE(form->Widget()->isVisible());
    });
}

}  // namespace

namespace {

TEST(KsForms, EnterClicksTheDefaultButtonAndEscTheCancelButton)
{
    Script s(
            QStringLiteral("var F: TForm; Ok, No: TButton; Cancels: Integer;\n"
                           "procedure Cancelled(Sender: TObject);\n"
                           "begin\n"
                           "  Cancels := Cancels + 1;\n"
                           "end;\n"
                           "begin\n"
                           "  F := TForm.Create(nil);\n"
                           "  Ok := TButton.Create(F); Ok.Parent := F; Ok.ModalResult := mrOk; Ok.Default := True;\n"
                           "  No := TButton.Create(F); No.Parent := F; No.ModalResult := mrCancel; No.Cancel := True;\n"
                           "  No.OnClick := 'Cancelled';\n"
                           "end."));
    auto *form = s.Object<TForm>("F");
    ASSERT_NE(form, nullptr);
    QTimer::singleShot(0, [form] { QTest::keyClick(form->Widget(), Qt::Key_Return); });
    EXPECT_EQ(form->ShowModal(), 1);
    QTimer::singleShot(0, [form] { QTest::keyClick(form->Widget(), Qt::Key_Escape); });
    EXPECT_EQ(form->ShowModal(), 2);
    EXPECT_EQ(s.S.Find(QStringLiteral("Cancels"))->GetValue().ToInt(), 1);
    delete form;
}

}  // namespace

namespace {

TEST(KsHostCalls, ParametersACallDoesNotPassAreUnassigned)
{
    Script s(QStringLiteral("procedure P(A, B: Variant);\n"
                            "begin\n"
                            "  Out(VarType(B));\n"
                            "end;\n"
                            "begin\n"
                            "end."));
    s.S.CallFunction(QStringLiteral("P"), KsValue::MakeList({KsValue(1), KsValue(2)}));
    s.S.CallFunction(QStringLiteral("P"), KsValue::MakeList({KsValue(1)}));
    KsValue one = KsValue::MakeList({KsValue(1)});
    s.S.CallFunctionVar(QStringLiteral("P"), one);
    ASSERT_EQ(s.Output.size(), 3);
    EXPECT_NE(s.Output[0], QStringLiteral("0"));
    EXPECT_EQ(s.Output[1], QStringLiteral("0"));
    EXPECT_EQ(s.Output[2], QStringLiteral("0"));
}

}  // namespace

namespace {

TEST(KsFree, PartsOfAnObjectCannotBeFreedAlone)
{
    Script s(QStringLiteral("var C: TComboBox; M: TMemo; F: TForm; B: TBitmap; P: TPicture;\n"
                            "begin\n"
                            "  F := TForm.Create(nil); C := TComboBox.Create(F); M := TMemo.Create(F);\n"
                            "  B := TBitmap.Create; P := TPicture.Create;\n"
                            "  try C.Items.Free except Out(ExceptionClassName) end;\n"
                            "  try M.Lines.Free except Out(ExceptionClassName) end;\n"
                            "  try C.Font.Free except Out(ExceptionClassName) end;\n"
                            "  try F.Canvas.Free except Out(ExceptionClassName) end;\n"
                            "  try B.Canvas.Font.Free except Out(ExceptionClassName) end;\n"
                            "  C.Items.Add('x'); M.Lines.Add('y'); C.Font.Size := 12; B.Canvas.Font.Size := 9;\n"
                            "  Out(C.Items.Count + M.Lines.Count);\n"
                            "  F.Free; B.Free; P.Free;\n"
                            "end."));
    EXPECT_EQ(s.Output, (QStringList{"EInvalidOperation", "EInvalidOperation", "EInvalidOperation", "EInvalidOperation",
                                     "EInvalidOperation", "2"}))
            << s.Error.toStdString();
}

}  // namespace

namespace {

// A form that paints a red block in OnPaint, draws a blue one when Mark is
// called, and lets its height grow to 300 at most and its width not past 500.
const LangForm kPaintForms[] = {
        {"PascalScript", "var f: TForm; asked: Integer;\n"
                         "procedure Paint(Sender: TObject);\n"
                         "begin\n"
                         "  f.Canvas.Brush.Color := clRed; f.Canvas.Pen.Color := clRed; f.Canvas.Rectangle(0, 0, 50, 40);\n"
                         "end;\n"
                         "procedure Mark;\n"
                         "begin\n"
                         "  f.Canvas.Brush.Color := clBlue; f.Canvas.Pen.Color := clBlue; f.Canvas.Rectangle(100, 100, 120, 120);\n"
                         "end;\n"
                         "procedure CanResize(Sender: TObject; var NewWidth, NewHeight: Integer; var Resize: Boolean);\n"
                         "begin\n"
                         "  asked := asked + 1; Resize := NewWidth <= 500;\n"
                         "  if NewHeight > 300 then NewHeight := 300;\n"
                         "end;\n"
                         "begin\n"
                         "  f := TForm.Create(nil); f.OnPaint := 'Paint'; f.OnCanResize := 'CanResize';\n"
                         "end."},
        {"C++Script", "TForm f; int asked = 0;\n"
                      "void Paint(TObject Sender) {\n"
                      "  f.Canvas.Brush.Color = clRed; f.Canvas.Pen.Color = clRed; f.Canvas.Rectangle(0, 0, 50, 40);\n"
                      "}\n"
                      "void Mark() {\n"
                      "  f.Canvas.Brush.Color = clBlue; f.Canvas.Pen.Color = clBlue; f.Canvas.Rectangle(100, 100, 120, 120);\n"
                      "}\n"
                      "void CanResize(TObject Sender, int &NewWidth, int &NewHeight, bool &Resize) {\n"
                      "  asked = asked + 1; Resize = NewWidth <= 500;\n"
                      "  if (NewHeight > 300) NewHeight = 300;\n"
                      "}\n"
                      "{ f = new TForm(nil); f.OnPaint = \"Paint\"; f.OnCanResize = \"CanResize\"; }\n"},
        {"BasicScript", "Dim f, asked\n"
                        "asked = 0\n"
                        "Sub Paint(Sender)\n"
                        "  f.Canvas.Brush.Color = clRed : f.Canvas.Pen.Color = clRed : f.Canvas.Rectangle(0, 0, 50, 40)\n"
                        "End Sub\n"
                        "Sub Mark\n"
                        "  f.Canvas.Brush.Color = clBlue : f.Canvas.Pen.Color = clBlue\n"
                        "  f.Canvas.Rectangle(100, 100, 120, 120)\n"
                        "End Sub\n"
                        "Sub CanResize(Sender, ByRef NewWidth, ByRef NewHeight, ByRef Resize)\n"
                        "  asked = asked + 1\n"
                        "  Resize = NewWidth <= 500\n"
                        "  If NewHeight > 300 Then NewHeight = 300\n"
                        "End Sub\n"
                        "f = New TForm(nil)\n"
                        "f.OnPaint = \"Paint\"\n"
                        "f.OnCanResize = \"CanResize\"\n"},
        {"JScript", "var f, asked = 0;\n"
                    "function Paint(Sender) {\n"
                    "  f.Canvas.Brush.Color = clRed; f.Canvas.Pen.Color = clRed; f.Canvas.Rectangle(0, 0, 50, 40);\n"
                    "}\n"
                    "function Mark() {\n"
                    "  f.Canvas.Brush.Color = clBlue; f.Canvas.Pen.Color = clBlue; f.Canvas.Rectangle(100, 100, 120, 120);\n"
                    "}\n"
                    "function CanResize(Sender, NewWidth, NewHeight, Resize) {\n"
                    "  asked = asked + 1; Resize = NewWidth <= 500;\n"
                    "  if (NewHeight > 300) NewHeight = 300;\n"
                    "}\n"
                    "f = new TForm(nil); f.OnPaint = \"Paint\"; f.OnCanResize = \"CanResize\";\n"}};

// What OnPaint draws on the form's canvas is on the form; drawing at another
// time shows until the next paint.
TEST(KsForms, TheCanvasDrawsOnTheFormInEveryLanguage)
{
    EachLanguagesForm(kPaintForms, [](Script &s, TForm *form) {
        QImage shown = form->Widget()->grab().toImage();
        EXPECT_EQ(shown.pixel(10, 10), qRgb(255, 0, 0));
        EXPECT_EQ(shown.pixel(49, 39), qRgb(255, 0, 0));
        EXPECT_NE(shown.pixel(60, 60), qRgb(255, 0, 0));
        EXPECT_NE(shown.pixel(110, 110), qRgb(0, 0, 255));
        s.S.CallFunction(QStringLiteral("Mark"));
        shown = form->Widget()->grab().toImage();
        EXPECT_EQ(shown.pixel(110, 110), qRgb(0, 0, 255));
        EXPECT_EQ(shown.pixel(10, 10), qRgb(255, 0, 0));
        shown = form->Widget()->grab().toImage();
        EXPECT_NE(shown.pixel(110, 110), qRgb(0, 0, 255));
        EXPECT_EQ(shown.pixel(10, 10), qRgb(255, 0, 0));
    });
}

// OnCanResize answers for every new size: one the script sets, and one the
// user or the window manager gives the window.
TEST(KsForms, CanResizeIsAskedForEveryResizeInEveryLanguage)
{
    EachLanguagesForm(kPaintForms, [](Script &s, TForm *form) {
        auto asked = [&] { return s.S.Find(QStringLiteral("asked"))->GetValue().ToInt(); };
        const int before = asked();
        form->Widget()->resize(400, 400);  // as a drag on the window's frame
        EXPECT_EQ(asked(), before + 1);
        EXPECT_EQ(form->Widget()->size(), QSize(400, 300));
        form->Widget()->resize(600, 200);
        EXPECT_EQ(asked(), before + 2);
        EXPECT_EQ(form->Widget()->size(), QSize(400, 300));
        form->SetBounds(form->Left(), form->Top(), 450, 350);
        EXPECT_EQ(asked(), before + 3);  // asked once, not again when the size arrives
        EXPECT_EQ(form->Widget()->size(), QSize(450, 300));
        // the window manager's resize of a hidden window comes as an event
        form->Hide();
        form->Widget()->resize(300, 250);
        QResizeEvent fromOutside(QSize(300, 250), QSize(450, 300));
        QCoreApplication::sendEvent(form->Widget(), &fromOutside);
        EXPECT_EQ(asked(), before + 4);
        EXPECT_EQ(form->Widget()->size(), QSize(300, 250));
    });
}

}  // namespace

namespace {

// A form laid out as a script author would: an edit, a button and a check
// box, then a label placed last at the top, sized by nothing but defaults.
const LangForm kDefaultSizeForms[] = {
        {"PascalScript", "var f: TForm; e: TEdit; b: TButton; c: TCheckBox; l: TLabel; n: Integer;\n"
                         "procedure Clicked(Sender: TObject);\n"
                         "begin\n"
                         "  n := n + 1; e.Text := e.Text + IntToStr(n);\n"
                         "end;\n"
                         "begin\n"
                         "  f := TForm.Create(nil);\n"
                         "  e := TEdit.Create(f); e.Parent := f; e.Left := 10; e.Top := 40;\n"
                         "  b := TButton.Create(f); b.Parent := f; b.Left := 10; b.Top := 80; b.Caption := 'Go';\n"
                         "  b.OnClick := 'Clicked';\n"
                         "  c := TCheckBox.Create(f); c.Parent := f; c.Left := 10; c.Top := 120; c.Caption := 'Mark';\n"
                         "  l := TLabel.Create(f); l.Parent := f; l.Left := 10; l.Top := 10; l.Caption := 'Name:';\n"
                         "end."},
        {"C++Script", "TForm f; TEdit e; TButton b; TCheckBox c; TLabel l; int n = 0;\n"
                      "void Clicked(TObject Sender) { n = n + 1; e.Text = e.Text + IntToStr(n); }\n"
                      "{\n"
                      "  f = new TForm(nil);\n"
                      "  e = new TEdit(f); e.Parent = f; e.Left = 10; e.Top = 40;\n"
                      "  b = new TButton(f); b.Parent = f; b.Left = 10; b.Top = 80; b.Caption = \"Go\";\n"
                      "  b.OnClick = \"Clicked\";\n"
                      "  c = new TCheckBox(f); c.Parent = f; c.Left = 10; c.Top = 120; c.Caption = \"Mark\";\n"
                      "  l = new TLabel(f); l.Parent = f; l.Left = 10; l.Top = 10; l.Caption = \"Name:\";\n"
                      "}\n"},
        {"JScript", "var f, e, b, c, l, n = 0;\n"
                    "function Clicked(Sender) { n = n + 1; e.Text = e.Text + IntToStr(n); }\n"
                    "f = new TForm(nil);\n"
                    "e = new TEdit(f); e.Parent = f; e.Left = 10; e.Top = 40;\n"
                    "b = new TButton(f); b.Parent = f; b.Left = 10; b.Top = 80; b.Caption = \"Go\";\n"
                    "b.OnClick = \"Clicked\";\n"
                    "c = new TCheckBox(f); c.Parent = f; c.Left = 10; c.Top = 120; c.Caption = \"Mark\";\n"
                    "l = new TLabel(f); l.Parent = f; l.Left = 10; l.Top = 10; l.Caption = \"Name:\";\n"},
        {"BasicScript", "Dim n, f, e, b, c, l\n"
                        "n = 0\n"
                        "Sub Clicked(Sender)\n"
                        "  n = n + 1\n"
                        "  e.Text = e.Text & IntToStr(n)\n"
                        "End Sub\n"
                        "f = New TForm(nil)\n"
                        "e = New TEdit(f) : e.Parent = f : e.Left = 10 : e.Top = 40\n"
                        "b = New TButton(f) : b.Parent = f : b.Left = 10 : b.Top = 80 : b.Caption = \"Go\"\n"
                        "b.OnClick = \"Clicked\"\n"
                        "c = New TCheckBox(f) : c.Parent = f : c.Left = 10 : c.Top = 120 : c.Caption = \"Mark\"\n"
                        "l = New TLabel(f) : l.Parent = f : l.Left = 10 : l.Top = 10 : l.Caption = \"Name:\"\n"}};

// Controls start at the usual sizes for their kind, a label fits its text,
// and the form is walked by keyboard and mouse as a user would: every click
// lands on the control under the pointer.
TEST(KsForms, ControlsStartAtTheirUsualSizesAndLabelsFitTheirText)
{
    EachLanguagesForm(kDefaultSizeForms, [](Script &s, TForm *form) {
        auto *edit = s.Object<TEdit>("e");
        auto *button = s.Object<TButton>("b");
        auto *check = s.Object<TCheckBox>("c");
        auto *label = s.Object<TLabel>("l");
        ASSERT_TRUE(edit && button && check && label);
        EXPECT_EQ(form->Widget()->size(), QSize(320, 240));
        EXPECT_EQ(button->Width(), 75);
        EXPECT_EQ(edit->Width(), 121);
        EXPECT_EQ(check->Width(), 97);
        for (TControl *c : std::initializer_list<TControl *>{edit, button, check}) {
            EXPECT_GE(c->Height(), c->Widget()->minimumSizeHint().height());
            EXPECT_LT(c->Height(), 40);
        }
        // the label is as large as its text, no larger
        const QFontMetrics fm(label->Widget()->font());
        EXPECT_NEAR(label->Width(), fm.horizontalAdvance(QStringLiteral("Name:")), 2);
        EXPECT_NEAR(label->Height(), fm.height(), 2);
        EXPECT_EQ(label->Widget()->geometry().topLeft(), QPoint(10, 10));
        // nothing covers the controls made before the label
        QWidget *w = form->Widget();
        EXPECT_EQ(w->childAt(edit->Widget()->geometry().center()), edit->Widget());
        EXPECT_EQ(w->childAt(button->Widget()->geometry().center()), button->Widget());
        EXPECT_EQ(w->childAt(check->Widget()->geometry().center()), check->Widget());

        // By keyboard: type into the edit, Tab to the button, Space presses it,
        // Tab to the check box, Space ticks it.
        QApplication::setActiveWindow(w);
        edit->SetFocus();
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("ab"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), button->Widget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        EXPECT_EQ(edit->Caption(), QStringLiteral("ab1"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), check->Widget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        EXPECT_TRUE(check->Checked());
        // By mouse: the click goes to the widget under the pointer.
        auto clickAt = [w](QPoint p) {
            QWidget *under = w->childAt(p);
            ASSERT_NE(under, nullptr);
            QTest::mouseClick(under, Qt::LeftButton, {}, under->mapFrom(w, p));
        };
        clickAt(button->Widget()->geometry().center());
        EXPECT_EQ(edit->Caption(), QStringLiteral("ab12"));
        clickAt(check->Widget()->geometry().center());
        EXPECT_FALSE(check->Checked());
        // A label made larger than its text still lies beneath the controls.
        label->SetAutoSize(false);
        label->SetBounds(0, 0, 320, 240);
        clickAt(button->Widget()->geometry().center());
        EXPECT_EQ(edit->Caption(), QStringLiteral("ab123"));
    });
}

// AutoSize off keeps the label's size; a wrapping label keeps its width and
// takes the height of its lines; Layout places the text vertically, and
// takes the TTextLayout constants in every language.
TEST(KsForms, LabelAutoSizeAndLayoutInEveryLanguage)
{
    const struct {
        const char *Lang;
        const char *Text;
    } cases[] = {{"PascalScript", "var f: TForm; l: TLabel;\n"
                                  "begin\n"
                                  "  f := TForm.Create(nil); l := TLabel.Create(f); l.Parent := f;\n"
                                  "  Out(l.AutoSize); l.Caption := 'x'; Out(l.Layout = tlTop);\n"
                                  "  l.AutoSize := False; l.SetBounds(5, 5, 100, 60); l.Caption := 'a longer text';\n"
                                  "  l.Layout := tlCenter; Out(l.Layout = tlCenter); Out(l.Width); Out(l.Height);\n"
                                  "  l.Layout := tlBottom;\n"
                                  "end."},
                 {"C++Script", "TForm f; TLabel l;\n"
                               "{\n"
                               "  f = new TForm(nil); l = new TLabel(f); l.Parent = f;\n"
                               "  Out(l.AutoSize); l.Caption = \"x\"; Out(l.Layout == tlTop);\n"
                               "  l.AutoSize = false; l.SetBounds(5, 5, 100, 60); l.Caption = \"a longer text\";\n"
                               "  l.Layout = tlCenter; Out(l.Layout == tlCenter); Out(l.Width); Out(l.Height);\n"
                               "  l.Layout = tlBottom;\n"
                               "}"},
                 {"JScript", "var f = new TForm(nil), l = new TLabel(f); l.Parent = f;\n"
                             "Out(l.AutoSize); l.Caption = \"x\"; Out(l.Layout == tlTop);\n"
                             "l.AutoSize = false; l.SetBounds(5, 5, 100, 60); l.Caption = \"a longer text\";\n"
                             "l.Layout = tlCenter; Out(l.Layout == tlCenter); Out(l.Width); Out(l.Height);\n"
                             "l.Layout = tlBottom;"},
                 {"BasicScript", "f = New TForm(nil) : l = New TLabel(f) : l.Parent = f\n"
                                 "Out(l.AutoSize) : l.Caption = \"x\" : Out(l.Layout = tlTop)\n"
                                 "l.AutoSize = False : l.SetBounds(5, 5, 100, 60) : l.Caption = \"a longer text\"\n"
                                 "l.Layout = tlCenter : Out(l.Layout = tlCenter) : Out(l.Width) : Out(l.Height)\n"
                                 "l.Layout = tlBottom"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Lang);
        Script s(QString::fromLatin1(c.Text), c.Lang);
        ASSERT_TRUE(s.Error.isEmpty()) << s.Error.toStdString();
        EXPECT_EQ(s.Output, (QStringList{"True", "True", "True", "100", "60"}));
        auto *label = s.Object<TLabel>("l");
        ASSERT_TRUE(label);
        auto *q = static_cast<QLabel *>(label->Widget());
        EXPECT_EQ(q->alignment() & Qt::AlignVertical_Mask, Qt::AlignBottom);
        label->SetLayout(TLabel::tlCenter);
        EXPECT_EQ(q->alignment() & Qt::AlignVertical_Mask, Qt::AlignVCenter);
        label->SetAlignment(1);  // taRightJustify keeps the layout
        EXPECT_EQ(q->alignment(), Qt::AlignRight | Qt::AlignVCenter);
        // back on, it fits again; wrapping keeps the width
        label->SetAutoSize(true);
        EXPECT_EQ(label->Width(), q->sizeHint().width());
        label->SetWordWrap(true);
        label->SetBounds(5, 5, 40, 10);
        label->SetCaption(QStringLiteral("one two three four five six"));
        EXPECT_EQ(label->Width(), 40);
        EXPECT_GT(label->Height(), 2 * q->fontMetrics().height());
        // a bigger font makes a bigger label
        label->SetWordWrap(false);
        const int before = label->Width();
        label->Font()->SetSize(label->Font()->Size() * 2);
        EXPECT_GT(label->Width(), before);
        delete s.Object<TForm>("f");
    }
}

}  // namespace
