#include "report/lyrcanvas.h"
#include "report/lyrclass.h"
#include "report/lyrclassrtti.h"
#include "report/lyrdialogpage.h"
#include "drawing_test_helpers.h"
#include "script/ks_isysrtti.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

TEST(LyrDialogPage, WindowFollowsThePageAndShowsModally)
{
    TlyrReport r;
    auto *page = new TlyrDialogPage(&r);
    page->SetName(QStringLiteral("DialogPage1"));
    page->SetCaption(QStringLiteral("查询条件"));
    page->SetWidth(320);
    page->SetHeight(180);
    EXPECT_EQ(page->Window()->windowTitle(), QStringLiteral("查询条件"));
    EXPECT_EQ(page->Window()->size(), QSize(320, 180));
    auto *control = new TlyrDialogControl(page);
    control->SetControl(new QLineEdit);
    control->SetBounds(10, 20, 100, 24);
    EXPECT_EQ(control->Control()->parentWidget(), page->Window());
    EXPECT_EQ(control->Control()->geometry(), QRect(10, 20, 100, 24));
    QTimer::singleShot(0, page->Window(), [page] { page->SetModalResult(3); });
    EXPECT_EQ(page->ShowModal(), 3);
    EXPECT_EQ(page->Width(), 320);
}

// A window is drawn into a buffer of its size: a size past any screen (a
// damaged template) gives a window no larger than the largest screens.
TEST(LyrDialogPage, ASizePastAnyScreenMakesABoundedWindow)
{
    TlyrReport r;
    auto *page = new TlyrDialogPage(&r);
    for (double size : {2147483647.0, 1e300, -1e300}) {
        SCOPED_TRACE(size);
        page->SetWidth(size);
        page->SetHeight(size);
        EXPECT_EQ(page->Width(), size);
        EXPECT_LE(page->Window()->width(), 8192);
        EXPECT_LE(page->Window()->height(), 8192);
    }
    page->SetWidth(640);
    page->SetHeight(1e9);
    EXPECT_EQ(page->Window()->size(), QSize(640, 8192));
}

TEST(LyrDialogPage, CloseQueryAsksTheScript)
{
    TlyrReport r;
    r.EngineOptions()->SetNewSilentMode(simSilent);
    auto *page = new TlyrDialogPage(&r);
    page->SetName(QStringLiteral("DialogPage1"));
    EXPECT_TRUE(page->closeQuery());
    page->OnCloseQuery = QStringLiteral("DialogPage1OnCloseQuery");
    r.SetScriptText({QStringLiteral("procedure DialogPage1OnCloseQuery(Sender: Variant; var CanClose: Boolean);"),
                     QStringLiteral("begin"), QStringLiteral("  CanClose := False;"), QStringLiteral("end;"),
                     QStringLiteral("begin"), QStringLiteral("end.")});
    ASSERT_TRUE(r.PrepareScript()) << r.Errors().join(u'\n').toStdString();
    EXPECT_FALSE(page->closeQuery());
}

TEST(LyrDialogPage, RoundTrip)
{
    TlyrReport r;
    auto *data = new TlyrDataPage(&r);
    data->SetName(QStringLiteral("Data"));
    auto *page = new TlyrDialogPage(&r);
    page->SetName(QStringLiteral("DialogPage1"));
    page->SetCaption(QStringLiteral("打印条件"));
    page->SetBorderStyle(TlyrDialogPage::bsDialog);
    page->Position = TlyrDialogPage::poDesigned;
    page->SetLeft(40);
    page->OnShow = QStringLiteral("DialogPage1OnShow");
    TlyrReport again;
    const QByteArray xml = expectRoundTrip(r, again);
    EXPECT_TRUE(xml.contains("BorderStyle=\"bsDialog\"")) << xml.toStdString();
    auto *loaded = qobject_cast<TlyrDialogPage *>(again.FindObject(QStringLiteral("DialogPage1")));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Caption(), QStringLiteral("打印条件"));
    EXPECT_EQ(loaded->Window()->windowTitle(), QStringLiteral("打印条件"));
}

}  // namespace

namespace {

TEST(LyrDialogPage, ControlsOfUnknownClassesAreReportedNotShown)
{
    TlyrReport r;
    r.EngineOptions()->SetNewSilentMode(simSilent);
    loadTemplate(r, QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                               "<TlyrReport><TlyrDialogPage Name=\"DialogPage1\" Caption=\"x\">"
                               "<TlyrDateEditControl Name=\"Edit1\" Left=\"8\"/></TlyrDialogPage></TlyrReport>"));
    auto *page = qobject_cast<TlyrDialogPage *>(r.FindObject(QStringLiteral("DialogPage1")));
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(r.FindObject(QStringLiteral("Edit1")), nullptr);
    ASSERT_FALSE(r.Errors().isEmpty());
    EXPECT_TRUE(r.Errors().join(u'\n').contains(QStringLiteral("TlyrDateEditControl")))
            << r.Errors().join(u'\n').toStdString();
}

}  // namespace

namespace {

QByteArray dialogTemplate()
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                      "<TlyrReport><TlyrDialogPage Name=\"DialogPage1\" Caption=\"条件\" Width=\"300\" Height=\"200\">"
                      "<TlyrLabelControl Name=\"Label1\" Left=\"8\" Top=\"8\" Width=\"60\" Height=\"20\" "
                      "Caption=\"客户\" ParentFont=\"False\" Font.Name=\"SimSun\" Font.Size=\"12\"/>"
                      "<TlyrEditControl Name=\"Edit1\" Left=\"70\" Top=\"8\" Width=\"120\" Height=\"24\" Text=\"x\" "
                      "OnKeyDown=\"Edit1KeyDown\" OnKeyPress=\"Edit1KeyPress\" OnChange=\"Edit1Change\"/>"
                      "<TlyrComboBoxControl Name=\"ComboBox1\" Left=\"70\" Top=\"40\" Width=\"120\" Height=\"24\" "
                      "Items.Text=\"甲&#13;&#10;乙\" Style=\"csDropDownList\"/>"
                      "<TlyrGroupBoxControl Name=\"GroupBox1\" Left=\"8\" Top=\"70\" Width=\"200\" Height=\"80\" "
                      "Caption=\"选项\">"
                      "<TlyrCheckBoxControl Name=\"CheckBox1\" Left=\"10\" Top=\"20\" Width=\"100\" Height=\"20\" "
                      "Caption=\"全部\" Checked=\"True\"/></TlyrGroupBoxControl>"
                      "<TlyrButtonControl Name=\"Button1\" Left=\"8\" Top=\"160\" Width=\"75\" Height=\"25\" "
                      "Caption=\"确定\" OnClick=\"Button1Click\"/>"
                      "<TlyrButtonControl Name=\"Button2\" Left=\"90\" Top=\"160\" Width=\"75\" Height=\"25\" "
                      "Caption=\"关闭\" ModalResult=\"1\"/>"
                      "</TlyrDialogPage></TlyrReport>");
}

// A report whose dialog page was read from a template, its script compiled.
struct DialogReport {
    TlyrReport r;
    explicit DialogReport(const QStringList &script)
    {
        r.EngineOptions()->SetNewSilentMode(simSilent);
        loadTemplate(r, dialogTemplate());
        r.SetScriptText(script);
    }
    template <class T>
    T *find(const char *name)
    {
        return qobject_cast<T *>(r.FindObject(QLatin1String(name)));
    }
};

TEST(LyrDialogPage, TemplateControlsAreRealControlsOnThePageWindow)
{
    DialogReport d({QStringLiteral("begin"), QStringLiteral("end.")});
    EXPECT_TRUE(d.r.Errors().isEmpty()) << d.r.Errors().join(u'\n').toStdString();
    auto *page = d.find<TlyrDialogPage>("DialogPage1");
    auto *edit = d.find<TlyrEditControl>("Edit1");
    auto *combo = d.find<TlyrComboBoxControl>("ComboBox1");
    auto *group = d.find<TlyrGroupBoxControl>("GroupBox1");
    auto *check = d.find<TlyrCheckBoxControl>("CheckBox1");
    ASSERT_TRUE(page && edit && combo && group && check);
    ASSERT_TRUE(d.find<TlyrLabelControl>("Label1"));
    EXPECT_EQ(edit->Control()->parentWidget(), page->Window());
    EXPECT_EQ(qobject_cast<QLineEdit *>(edit->Control())->text(), QStringLiteral("x"));
    EXPECT_EQ(edit->Control()->geometry(), QRect(70, 8, 120, 24));
    // controls follow the page's font
    EXPECT_EQ(edit->Control()->font().family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(edit->Control()->font().pointSize(), 8);
    // or have their own
    EXPECT_EQ(d.find<TlyrLabelControl>("Label1")->Control()->font().family(), QStringLiteral("SimSun"));
    EXPECT_EQ(d.find<TlyrLabelControl>("Label1")->Control()->font().pointSize(), 12);
    // A control inside a group box sits on the box, at its own bounds.
    EXPECT_EQ(check->Control()->parentWidget(), group->Control());
    EXPECT_EQ(check->Control()->geometry(), QRect(10, 20, 100, 20));
    EXPECT_TRUE(check->Checked());
    EXPECT_EQ(combo->Items(), (QStringList{QStringLiteral("甲"), QStringLiteral("乙")}));
    EXPECT_EQ(combo->Style(), 2);
    // Renaming a control whose caption is its name renames the caption.
    auto *label = d.find<TlyrLabelControl>("Label1");
    label->SetCaption(QStringLiteral("Label1"));
    label->SetName(QStringLiteral("LabelName"));
    EXPECT_EQ(label->Caption(), QStringLiteral("LabelName"));
    // What the template said comes back when it is written again.
    TlyrReport again;
    const QByteArray xml = expectRoundTrip(d.r, again);
    EXPECT_TRUE(xml.contains("Items.Text=")) << xml.toStdString();
    EXPECT_TRUE(xml.contains("Font.Name=\"SimSun\"")) << xml.toStdString();
    auto *loaded = qobject_cast<TlyrComboBoxControl *>(again.FindObject(QStringLiteral("ComboBox1")));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Items(), combo->Items());
    auto *loadedEdit = qobject_cast<TlyrEditControl *>(again.FindObject(QStringLiteral("Edit1")));
    ASSERT_NE(loadedEdit, nullptr);
    EXPECT_EQ(loadedEdit->OnKeyDown, QStringLiteral("Edit1KeyDown"));
}

TEST(LyrDialogPage, ScriptsReachControlsByNameAndHandleTheirEvents)
{
    DialogReport d({QStringLiteral("var Clicks, Changes: Integer;"),
                    QStringLiteral("procedure Button1Click(Sender: TObject);"), QStringLiteral("begin"),
                    QStringLiteral("  Clicks := Clicks + 1;"), QStringLiteral("  ComboBox1.Items.Add('丙');"),
                    QStringLiteral("  Edit1.Text := ComboBox1.Items[2] + IntToStr(Clicks);"),
                    QStringLiteral("  if CheckBox1.Checked then GroupBox1.Caption := 'all';"),
                    QStringLiteral("  if Sender = Button1 then Edit1.Hint := 'sender';"), QStringLiteral("end;"),
                    QStringLiteral("procedure Edit1Change(Sender: TObject);"), QStringLiteral("begin"),
                    QStringLiteral("  Changes := Changes + 1;"),
                    // the change this makes raises the event again, which is ignored
                    QStringLiteral("  Edit1.Text := Edit1.Text + '!';"),
                    QStringLiteral("  Label1.Caption := IntToStr(Changes);"), QStringLiteral("end;"),
                    QStringLiteral("procedure Edit1KeyDown(Sender: TObject; var Key: Integer; Shift: Integer);"),
                    QStringLiteral("begin"), QStringLiteral("  if Key = VK_F2 then Key := 0;"),
                    QStringLiteral("  if Key = VK_DELETE then RaiseException('no delete');"), QStringLiteral("end;"),
                    QStringLiteral("procedure Edit1KeyPress(Sender: TObject; var Key: String);"),
                    QStringLiteral("begin"), QStringLiteral("  if Key = 'q' then Key := Chr(0);"),
                    QStringLiteral("  if Key = 'a' then Key := 'b';"), QStringLiteral("end;"), QStringLiteral("begin"),
                    QStringLiteral("end.")});
    ASSERT_TRUE(d.r.PrepareScript()) << d.r.Errors().join(u'\n').toStdString();
    auto *button = qobject_cast<QAbstractButton *>(d.find<TlyrButtonControl>("Button1")->Control());
    auto *edit = qobject_cast<QLineEdit *>(d.find<TlyrEditControl>("Edit1")->Control());
    ASSERT_TRUE(button && edit);
    button->click();
    EXPECT_EQ(edit->text(), QStringLiteral("丙1!"));
    EXPECT_EQ(edit->toolTip(), QStringLiteral("sender"));
    EXPECT_EQ(d.find<TlyrLabelControl>("Label1")->Caption(), QStringLiteral("1"));
    EXPECT_EQ(d.find<TlyrGroupBoxControl>("GroupBox1")->Caption(), QStringLiteral("all"));
    EXPECT_EQ(d.find<TlyrComboBoxControl>("ComboBox1")->Items().size(), 3);

    // Key handlers write back: 0 swallows a key, another character replaces it.
    {
        const QSignalBlocker quiet(edit);
        edit->setText(QString());
    }
    auto type = [edit](int key, const QString &text) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(edit, &press);
    };
    type(Qt::Key_Q, QStringLiteral("q"));
    type(Qt::Key_A, QStringLiteral("a"));
    type(Qt::Key_C, QStringLiteral("c"));
    EXPECT_EQ(edit->text(), QStringLiteral("b!c!"));
    edit->setCursorPosition(0);
    type(Qt::Key_F2, QString());
    EXPECT_EQ(edit->cursorPosition(), 0);

    // A handler's error cannot pass through the window system: it is shown
    // and kept with the report's errors.
    QStringList shown;
    const auto saved = ksShowMessageHandler;
    ksShowMessageHandler = [&shown](const QString &text) { shown << text; };
    type(Qt::Key_Delete, QString());
    ksShowMessageHandler = saved;
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].contains(QStringLiteral("no delete"))) << shown[0].toStdString();
    EXPECT_TRUE(d.r.Errors().join(u'\n').contains(QStringLiteral("no delete")));

    // After the script is cleared the control's events do nothing.
    d.r.Script()->Clear();
    shown.clear();
    ksShowMessageHandler = [&shown](const QString &text) { shown << text; };
    edit->setText(QStringLiteral("kept"));
    button->click();
    ksShowMessageHandler = saved;
    EXPECT_EQ(edit->text(), QStringLiteral("kept"));
    EXPECT_TRUE(shown.isEmpty());
}

TEST(LyrDialogPage, ButtonWithModalResultEndsThePage)
{
    DialogReport d({QStringLiteral("begin"), QStringLiteral("end.")});
    ASSERT_TRUE(d.r.PrepareScript());
    auto *page = d.find<TlyrDialogPage>("DialogPage1");
    auto *close = qobject_cast<QAbstractButton *>(d.find<TlyrButtonControl>("Button2")->Control());
    ASSERT_TRUE(page && close);
    QTimer::singleShot(0, close, [close] { close->click(); });
    EXPECT_EQ(page->ShowModal(), 1);
}

TEST(LyrDialogPage, ThePageSeesItsControlsKeysFirst)
{
    DialogReport d({QStringLiteral("procedure PageKeyDown(Sender: TObject; var Key: Integer; Shift: Integer);"),
                    QStringLiteral("begin"),
                    QStringLiteral("  Label1.Caption := IntToStr(Key) + ' ' + IntToStr(Shift);"),
                    QStringLiteral("  if Key = VK_F6 then Key := 0;"), QStringLiteral("end;"),
                    QStringLiteral("procedure PageKeyPress(Sender: TObject; var Key: String);"),
                    QStringLiteral("begin"), QStringLiteral("  if Key = 'z' then Key := '';"), QStringLiteral("end;"),
                    QStringLiteral("procedure Edit1KeyDown(Sender: TObject; var Key: Integer; Shift: Integer);"),
                    QStringLiteral("begin"), QStringLiteral("  Edit1.Hint := 'edit ' + IntToStr(Key);"),
                    QStringLiteral("end;"), QStringLiteral("begin"), QStringLiteral("end.")});
    auto *page = d.find<TlyrDialogPage>("DialogPage1");
    page->OnKeyDown = QStringLiteral("PageKeyDown");
    page->OnKeyPress = QStringLiteral("PageKeyPress");
    ASSERT_TRUE(d.r.PrepareScript()) << d.r.Errors().join(u'\n').toStdString();
    auto *edit = qobject_cast<QLineEdit *>(d.find<TlyrEditControl>("Edit1")->Control());
    auto send = [edit](int key, Qt::KeyboardModifiers mods, const QString &text) {
        QKeyEvent press(QEvent::KeyPress, key, mods, text);
        QCoreApplication::sendEvent(edit, &press);
    };
    {
        const QSignalBlocker quiet(edit);
        edit->setText(QString());
        send(Qt::Key_Z, Qt::NoModifier, QStringLiteral("z"));
        send(Qt::Key_Y, Qt::NoModifier, QStringLiteral("y"));
    }
    EXPECT_EQ(edit->text(), QStringLiteral("y"));
    // Key codes are the virtual-key numbers scripts know, with the shift state.
    send(Qt::Key_F5, Qt::ShiftModifier, QString());
    EXPECT_EQ(d.find<TlyrLabelControl>("Label1")->Caption(), QStringLiteral("116 1"));
    EXPECT_EQ(edit->toolTip(), QStringLiteral("edit 116"));
    // A key the page swallows never reaches the control.
    send(Qt::Key_F6, Qt::NoModifier, QString());
    EXPECT_EQ(d.find<TlyrLabelControl>("Label1")->Caption(), QStringLiteral("117 0"));
    EXPECT_EQ(edit->toolTip(), QStringLiteral("edit 116"));
}

TEST(LyrDialogPage, CreateRunsBeforeTheFirstShowAndDestroyWhenAShownPageGoes)
{
    QStringList shown;
    const auto saved = ksShowMessageHandler;
    ksShowMessageHandler = [&shown](const QString &text) { shown << text; };
    {
        DialogReport d({QStringLiteral("procedure PageCreate(Sender: TObject);"), QStringLiteral("begin"),
                        QStringLiteral("  Edit1.Text := Edit1.Text + '+';"), QStringLiteral("end;"),
                        QStringLiteral("procedure PageDestroy(Sender: TObject);"), QStringLiteral("begin"),
                        QStringLiteral("  ShowMessage('bye ' + Edit1.Text);"), QStringLiteral("end;"),
                        QStringLiteral("begin"), QStringLiteral("end.")});
        auto *page = d.find<TlyrDialogPage>("DialogPage1");
        page->OnCreate = QStringLiteral("PageCreate");
        page->OnDestroy = QStringLiteral("PageDestroy");
        ASSERT_TRUE(d.r.PrepareScript()) << d.r.Errors().join(u'\n').toStdString();
        for (int i = 0; i < 2; ++i) {
            QTimer::singleShot(0, page->Window(), [page] { page->SetModalResult(1); });
            EXPECT_EQ(page->ShowModal(), 1);
        }
        EXPECT_EQ(d.find<TlyrEditControl>("Edit1")->Caption(), QStringLiteral("x+"));
        EXPECT_TRUE(shown.isEmpty());
    }
    ksShowMessageHandler = saved;
    EXPECT_EQ(shown, QStringList{QStringLiteral("bye x+")});
}

TEST(LyrDialogPage, AnErrorInAPageHandlerIsShownAndTheWindowGoesOn)
{
    DialogReport d({QStringLiteral("procedure PageShow(Sender: TObject);"), QStringLiteral("begin"),
                    QStringLiteral("  RaiseException('show failed');"), QStringLiteral("end;"),
                    QStringLiteral("procedure PageCloseQuery(Sender: TObject; var CanClose: Boolean);"),
                    QStringLiteral("begin"), QStringLiteral("  CanClose := False;"),
                    QStringLiteral("  RaiseException('query failed');"), QStringLiteral("end;"),
                    QStringLiteral("begin"), QStringLiteral("end.")});
    auto *page = d.find<TlyrDialogPage>("DialogPage1");
    page->OnShow = QStringLiteral("PageShow");
    page->OnCloseQuery = QStringLiteral("PageCloseQuery");
    ASSERT_TRUE(d.r.PrepareScript()) << d.r.Errors().join(u'\n').toStdString();
    QStringList shown;
    const auto saved = ksShowMessageHandler;
    ksShowMessageHandler = [&shown](const QString &text) { shown << text; };
    QTimer::singleShot(0, page->Window(), [page] { page->SetModalResult(2); });
    const int result = page->ShowModal();
    // a failed close query does not keep the user in the window
    const bool mayClose = page->closeQuery();
    ksShowMessageHandler = saved;
    EXPECT_EQ(result, 2);
    EXPECT_TRUE(mayClose);
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown[0].contains(QStringLiteral("show failed"))) << shown[0].toStdString();
    EXPECT_TRUE(shown[1].contains(QStringLiteral("query failed"))) << shown[1].toStdString();
    EXPECT_TRUE(d.r.Errors().join(u'\n').contains(QStringLiteral("show failed")));
}

TEST(LyrDialogPage, AScriptAddsControlsToAPage)
{
    DialogReport d({QStringLiteral("var E: TlyrEditControl; L: TlyrListBoxControl;"),
                    QStringLiteral("procedure Add(Sender: TObject);"), QStringLiteral("begin"),
                    QStringLiteral("  E := TlyrEditControl.Create(DialogPage1);"),
                    QStringLiteral("  E.SetBounds(8, 100, 90, 22); E.Text := 'new';"),
                    QStringLiteral("  L := TlyrListBoxControl.Create(GroupBox1);"),
                    QStringLiteral("  L.Items.Text := 'a' + #13#10 + 'b' + #13#10 + 'c'; L.MultiSelect := True;"),
                    QStringLiteral("  L.Selected[0] := True; L.Selected[2] := True; L.Hint := IntToStr(L.SelCount);"),
                    QStringLiteral("  if L.Selected[2] and not L.Selected[1] then L.ItemIndex := 1;"),
                    QStringLiteral("end;"), QStringLiteral("procedure Stray(Sender: TObject);"),
                    QStringLiteral("begin"), QStringLiteral("  E := TlyrEditControl.Create(Report);"),
                    QStringLiteral("end;"), QStringLiteral("begin"), QStringLiteral("end.")});
    ASSERT_TRUE(d.r.PrepareScript()) << d.r.Errors().join(u'\n').toStdString();
    KsValue params = KsValue::MakeList({KsValue(0)});
    // a control belongs on a dialog page or in a control
    EXPECT_THROW(d.r.DoParamEvent(QStringLiteral("Stray"), params, true), std::exception);
    d.r.DoParamEvent(QStringLiteral("Add"), params, true);
    auto *page = d.find<TlyrDialogPage>("DialogPage1");
    TlyrEditControl *edit = nullptr;
    TlyrListBoxControl *list = nullptr;
    for (TlyrComponent *c : page->AllObjects()) {
        if (auto *e = qobject_cast<TlyrEditControl *>(c); e && c->objectName() != QLatin1String("Edit1")) edit = e;
        if (auto *l = qobject_cast<TlyrListBoxControl *>(c)) list = l;
    }
    ASSERT_TRUE(edit && list);
    EXPECT_EQ(edit->Control()->parentWidget(), page->Window());
    EXPECT_EQ(edit->Control()->geometry(), QRect(8, 100, 90, 22));
    EXPECT_EQ(edit->Caption(), QStringLiteral("new"));
    EXPECT_EQ(list->Control()->parentWidget(), d.find<TlyrGroupBoxControl>("GroupBox1")->Control());
    EXPECT_EQ(list->Items(), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_EQ(list->ItemIndex(), 1);
    EXPECT_EQ(list->Hint(), QStringLiteral("2"));
}

TEST(LyrDialogPage, EscClicksTheCancelButtonAndOtherwiseLeavesThePageOpen)
{
    DialogReport d({QStringLiteral("begin"), QStringLiteral("end.")});
    ASSERT_TRUE(d.r.PrepareScript());
    auto *page = d.find<TlyrDialogPage>("DialogPage1");
    auto *button = d.find<TlyrButtonControl>("Button1");
    bool stayed = false;
    QTimer::singleShot(0, page->Window(), [&] {
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(page->Window(), &esc);
        stayed = page->Window()->isVisible();
        button->SetModalResult(2);
        button->SetCancel(true);
        QCoreApplication::sendEvent(page->Window(), &esc);
    });
    EXPECT_EQ(page->ShowModal(), 2);
    EXPECT_TRUE(stayed);
    // Cancel and Default travel with the template
    TlyrReport again;
    const QByteArray xml = expectRoundTrip(d.r, again);
    EXPECT_TRUE(xml.contains("Cancel=\"True\"")) << xml.toStdString();
}

TEST(LyrDialogPage, MovingOrSizingTheWindowIsCopiedIntoThePage)
{
    TlyrReport r;
    auto *page = new TlyrDialogPage(&r);
    TlyrDialogForm *window = page->Window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->font().family(), QStringLiteral("Tahoma"));
    window->show();
    window->resize(260, 140);
    EXPECT_EQ(page->Width(), 260);
    EXPECT_EQ(page->Height(), 140);
    window->move(30, 40);
    EXPECT_EQ(page->Left(), window->x());
    EXPECT_EQ(page->Top(), window->y());
    window->hide();
}

TEST(LyrDialogPage, ClosingThePageByItsCloseBoxCancelsIt)
{
    DialogReport d({QStringLiteral("begin"), QStringLiteral("end.")});
    ASSERT_TRUE(d.r.PrepareScript());
    auto *page = d.find<TlyrDialogPage>("DialogPage1");
    bool stayed = false;
    QTimer::singleShot(0, page->Window(), [&] {
        page->SetModalResult(0);  // no result yet: the page stays
        stayed = page->Window()->isVisible();
        page->Window()->close();
    });
    EXPECT_EQ(page->ShowModal(), 2);
    EXPECT_TRUE(stayed);
    // while the page is not shown a result is only kept
    page->SetModalResult(6);
    EXPECT_EQ(page->ModalResult(), 6);
    EXPECT_FALSE(page->Window()->isVisible());
}

TEST(LyrDialogPage, AHandlerMayFreeItsOwnControl)
{
    DialogReport d({QStringLiteral("procedure Button1Click(Sender: TObject);"), QStringLiteral("begin"),
                    QStringLiteral("  Button1.Free; GroupBox1.Free;"), QStringLiteral("end;"), QStringLiteral("begin"),
                    QStringLiteral("end.")});
    ASSERT_TRUE(d.r.PrepareScript()) << d.r.Errors().join(u'\n').toStdString();
    QPointer<QWidget> widget = d.find<TlyrButtonControl>("Button1")->Control();
    QPointer<QWidget> check = d.find<TlyrCheckBoxControl>("CheckBox1")->Control();
    qobject_cast<QAbstractButton *>(widget.data())->click();
    EXPECT_EQ(d.r.FindObject(QStringLiteral("Button1")), nullptr);
    EXPECT_EQ(d.r.FindObject(QStringLiteral("CheckBox1")), nullptr);
    ASSERT_FALSE(widget.isNull());  // still inside its click
    EXPECT_FALSE(widget->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(widget.isNull());
    EXPECT_TRUE(check.isNull());
}

TEST(LyrDialogPage, AControlsFontAndItemsStayWithTheControl)
{
    DialogReport d({QStringLiteral("procedure FreeFont(Sender: TObject);"), QStringLiteral("begin"),
                    QStringLiteral("  TObject(Edit1.Font).Free;"), QStringLiteral("end;"),
                    QStringLiteral("procedure FreeItems(Sender: TObject);"), QStringLiteral("begin"),
                    QStringLiteral("  ComboBox1.Items.Free;"), QStringLiteral("end;"), QStringLiteral("begin"),
                    QStringLiteral("end.")});
    ASSERT_TRUE(d.r.PrepareScript()) << d.r.Errors().join(u'\n').toStdString();
    KsValue params = KsValue::MakeList({KsValue(0)});
    EXPECT_THROW(d.r.DoParamEvent(QStringLiteral("FreeFont"), params, true), std::exception);
    EXPECT_THROW(d.r.DoParamEvent(QStringLiteral("FreeItems"), params, true), std::exception);
    auto *edit = d.find<TlyrEditControl>("Edit1");
    edit->Font()->SetSize(11);
    EXPECT_EQ(edit->Font()->Size(), 11);
    EXPECT_EQ(d.find<TlyrComboBoxControl>("ComboBox1")->Items().size(), 2);
}

TEST(LyrDialogPage, AControlOnNoPageIsNeverAWindowOfItsOwn)
{
    TlyrReport r;
    auto *edit = new TlyrEditControl(&r);
    edit->SetBounds(5, 6, 70, 20);
    ASSERT_NE(edit->Control(), nullptr);
    EXPECT_FALSE(edit->Control()->isWindow());
    EXPECT_FALSE(edit->Control()->isVisible());
    // put on a page later, it shows there
    auto *page = new TlyrDialogPage(&r);
    edit->SetParent(page);
    EXPECT_EQ(edit->Control()->parentWidget(), page->Window());
    EXPECT_EQ(edit->Control()->geometry(), QRect(5, 6, 70, 20));
}

}  // namespace

namespace {

// New controls are named after their class without "Tlyr" and "Control";
// GroupIndex travels with the template and is a script property; a control
// draws itself at its place.
TEST(LyrDialogPage, ControlsNameDrawAndGroupThemselves)
{
    TlyrReport r;
    auto *data = new TlyrDataPage(&r);
    data->SetName(QStringLiteral("Data"));
    auto *page = new TlyrDialogPage(&r);
    page->SetName(QStringLiteral("DialogPage1"));
    auto *button = new TlyrButtonControl(page);
    button->CreateUniqueName();
    EXPECT_EQ(button->objectName(), QStringLiteral("Button1"));
    auto *radio = new TlyrRadioButtonControl(page);
    radio->CreateUniqueName();
    EXPECT_EQ(radio->objectName(), QStringLiteral("RadioButton1"));
    radio->SetGroupIndex(3);
    radio->SetCaption(QStringLiteral("甲"));
    TlyrReport again;
    const QByteArray xml = expectRoundTrip(r, again);
    EXPECT_TRUE(xml.contains("GroupIndex=\"3\"")) << xml.toStdString();
    auto *loaded = qobject_cast<TlyrRadioButtonControl *>(again.FindObject(QStringLiteral("RadioButton1")));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GroupIndex(), 3);

    lyrRegisterClassRTTI();
    TksScript s;
    s.AddRTTI();
    s.AddObject(QStringLiteral("RadioButton1"), radio);
    s.Lines = {QStringLiteral("begin"), QStringLiteral("  RadioButton1.GroupIndex := RadioButton1.GroupIndex + 2;"),
               QStringLiteral("end.")};
    ASSERT_TRUE(s.Compile()) << s.ErrorMsg.toStdString();
    s.Execute();
    EXPECT_EQ(radio->GroupIndex(), 5);

    button->SetBounds(10, 20, 80, 30);
    button->SetCaption(QStringLiteral("OK"));
    QImage target(200, 120, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::transparent);
    {
        QPainter painter(&target);
        TlyrRecordingCanvas canvas(96, false, &painter);
        button->Draw(canvas, 1, 1, 5, 5);
        ASSERT_EQ(canvas.Shapes.size(), 1u);
        EXPECT_EQ(canvas.Shapes[0].What, TlyrRecordedShape::Image);
        EXPECT_EQ(canvas.Shapes[0].Rect, QRect(15, 25, 80, 30));
    }
    int painted = 0;
    for (int y = 25; y < 55; ++y)
        for (int x = 15; x < 95; ++x) painted += qAlpha(target.pixel(x, y)) != 0;
    EXPECT_GT(painted, 80 * 30 / 2);
    EXPECT_EQ(qAlpha(target.pixel(150, 100)), 0);
}

}  // namespace
