// Report scripts ask their questions through the program's message layer.
#include "core/ScriptDialogs.h"
#include "platform/ui/messages.h"
#include "platform/ui/modal.h"
#include "reportengine/lyrprintdialog.h"
#include "reportengine/lyrprinter.h"
#include "script/ks_idialogsrtti.h"
#include "script/ks_isysrtti.h"
#include "script/ks_runner.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <QInputDialog>
#include <QTimer>

#include <memory>
#include <vector>

namespace {

class ScriptDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedHooks = ksDialogHooks();
        savedShow = ksShowMessageHandler;
        velmora::routeScriptDialogs();
    }
    void TearDown() override
    {
        ksDialogHooks() = savedHooks;
        ksShowMessageHandler = savedShow;
    }
    KsDialogHooks savedHooks;
    std::function<void(const QString &)> savedShow;
    ui::ScriptedMessages msgs;
};

TEST_F(ScriptDialogs, MessagesAndAnswersGoThroughTheMessageLayer)
{
    msgs.answer(ui::Answer::Ok);  // ShowMessage
    msgs.answer(ui::Answer::No);
    msgs.answer(ui::Answer::Cancel);
    const KsRunResult r = ksRunScript("begin\n"
                                      "  ShowMessage('你好');\n"
                                      "  Out(MessageDlg('删除吗？', mtConfirmation, [mbYes, mbNo], 0));\n"
                                      "  Out(MessageDlg('继续吗？', mtWarning, [mbOK, mbCancel], 0));\n"
                                      "  Out(MessageDlg('完成', mtInformation, [mbOK], 0));\n"
                                      "end.",
                                      "PascalScript");
    ASSERT_EQ(r.Code, 0) << r.Error.toStdString();
    // mrNo, mrCancel, mrOk
    EXPECT_EQ(r.Output, (QStringList{"7", "2", "1"}));
    ASSERT_EQ(msgs.count(), 4);
    // the answers come back as the buttons the script asked for
    msgs.answer(ui::Answer::Yes);
    msgs.answer(ui::Answer::No);
    msgs.answer(ui::Answer::Yes);
    const KsRunResult all = ksRunScript("begin\n"
                                        "  Out(MessageDlg('全部替换？', mtConfirmation, [mbYesToAll, mbNoToAll], 0));\n"
                                        "  Out(MessageDlg('全部替换？', mtConfirmation, [mbYesToAll, mbNoToAll], 0));\n"
                                        "  Out(MessageDlg('全部？', mtConfirmation, [mbAll, mbNo, mbCancel], 0));\n"
                                        "end.",
                                        "PascalScript");
    EXPECT_EQ(all.Output, (QStringList{"10", "9", "8"})) << all.Error.toStdString();
    EXPECT_EQ(msgs.shown()[0].text, "你好");
    EXPECT_EQ(msgs.shown()[1].buttons, ui::Buttons::YesNo);
    EXPECT_EQ(msgs.shown()[1].icon, ui::Icon::Question);
    EXPECT_EQ(msgs.shown()[2].buttons, ui::Buttons::OkCancel);
    EXPECT_EQ(msgs.shown()[2].icon, ui::Icon::Warning);
    EXPECT_EQ(msgs.shown()[3].buttons, ui::Buttons::Ok);
}

TEST_F(ScriptDialogs, QuestionsAndCommonDialogsAreAnsweredByTheMessageLayer)
{
    msgs.answerInput(QStringLiteral("张三"));   // InputBox
    msgs.cancelInput();                         // InputBox: the default comes back
    msgs.answerInput(QStringLiteral("13800"));  // InputQuery
    msgs.cancelInput();                         // InputQuery: unchanged
    msgs.answerInput(QStringLiteral("/tmp/会员.txt"));
    msgs.cancelInput();  // the save dialog
    msgs.answerInput(QStringLiteral("#0000ff"));
    msgs.answerInput(QFont(QStringLiteral("Arial"), 14).toString());
    msgs.answerInput(QStringLiteral("2,1,3"));
    msgs.answerInput(QStringLiteral("x,y"));  // not a print choice: refused
    const KsRunResult r = ksRunScript(
            "var s: String; O: TOpenDialog; S2: TSaveDialog; C: TColorDialog; F: TFontDialog; P: TPrintDialog;\n"
            "begin\n"
            "  Out(InputBox('会员', '姓名', '无'));\n"
            "  Out(InputBox('会员', '姓名', '无'));\n"
            "  s := '1';\n"
            "  Out(InputQuery('会员', '电话', s)); Out(s);\n"
            "  Out(InputQuery('', '电话', s)); Out(s);\n"
            "  O := TOpenDialog.Create(nil); O.Filter := '文本|*.txt'; O.Title := '打开';\n"
            "  Out(O.Execute); Out(O.FileName);\n"
            "  S2 := TSaveDialog.Create(nil); S2.FileName := 'a.txt'; Out(S2.Execute); Out(S2.FileName);\n"
            "  C := TColorDialog.Create(nil); C.Color := 255; Out(C.Execute); Out(C.Color);\n"
            "  F := TFontDialog.Create(nil); Out(F.Execute);\n"
            "  P := TPrintDialog.Create(nil); Out(P.Execute); Out(P.Copies); Out(P.ToPage);\n"
            "  Out(P.Execute); Out(P.Copies);\n"
            "  O.Free; S2.Free; C.Free; F.Free; P.Free;\n"
            "end.",
            "PascalScript");
    ASSERT_EQ(r.Code, 0) << r.Error.toStdString();
    EXPECT_EQ(r.Output,
              (QStringList{"张三", "无", "True", "13800", "False", "13800", "True", "/tmp/会员.txt", "False", "a.txt",
                           "True", QString::number(0xFF0000), "True", "True", "2", "3", "False", "2"}));
    const auto &asked = msgs.inputsAsked();
    ASSERT_EQ(asked.size(), 10u);
    EXPECT_EQ(asked[0].caption, QStringLiteral("会员"));
    EXPECT_EQ(asked[0].prompt, QStringLiteral("姓名"));
    EXPECT_EQ(asked[0].value, QStringLiteral("无"));
    EXPECT_EQ(asked[3].caption, ui::appTitle());
    EXPECT_EQ(asked[4].kind, ui::InputKind::OpenFile);
    EXPECT_EQ(asked[4].caption, QStringLiteral("打开"));
    EXPECT_EQ(asked[4].filter, QStringLiteral("文本 (*.txt)"));
    EXPECT_EQ(asked[5].kind, ui::InputKind::SaveFile);
    EXPECT_EQ(asked[5].value, QStringLiteral("a.txt"));
    EXPECT_EQ(asked[6].kind, ui::InputKind::Color);
    EXPECT_EQ(asked[6].value, QStringLiteral("#ff0000"));
    EXPECT_EQ(asked[7].kind, ui::InputKind::Font);
    EXPECT_EQ(asked[8].kind, ui::InputKind::Printer);
    EXPECT_EQ(asked[8].value, QStringLiteral("1,0,0"));
    EXPECT_EQ(msgs.count(), 0);
}

// In the program a script's print dialog is the report library's print
// dialog, and its printer setup chooses among the report library's printers.
TEST(ScriptPrintDialogs, ShowTheReportLibrarysDialogs)
{
    const KsDialogHooks savedHooks = ksDialogHooks();
    velmora::routeScriptDialogs();
    std::vector<std::unique_ptr<TlyrCustomPrinter>> printers;
    printers.push_back(std::make_unique<TlyrVirtualPrinter>(QStringLiteral("甲"), QString()));
    printers.push_back(std::make_unique<TlyrVirtualPrinter>(QStringLiteral("乙"), QString()));
    lyrPrinters().SetPrinters(std::move(printers), QStringLiteral("甲"));
    // a dialog left open (nothing drove it) is closed, so the test ends
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (QWidget *w = QApplication::activeModalWidget()) w->close();
    });
    closer.start(200);
    QStringList choices;
    ui::ScriptedModals modals([&](QDialog *d) {
        if (auto *print = qobject_cast<TlyrPrintDialog *>(d)) {
            EXPECT_EQ(print->CopiesE->value(), 2);
            EXPECT_EQ(print->PageNumbersE->text(), QStringLiteral("1-5"));
            print->CopiesE->setValue(3);
            print->PageNumbersE->setText(QStringLiteral("2,4-6"));
            print->OkBClick();
        } else if (auto *choice = qobject_cast<QInputDialog *>(d)) {
            choices = choice->comboBoxItems();
            EXPECT_EQ(choice->textValue(), QStringLiteral("甲"));
            choice->setTextValue(QStringLiteral("乙"));
            choice->accept();
        }
        return d->result();
    });
    const KsRunResult r =
            ksRunScript("var P: TPrintDialog; S: TPrinterSetupDialog;\n"
                        "begin\n"
                        "  P := TPrintDialog.Create(nil); P.Copies := 2; P.FromPage := 1; P.ToPage := 5;\n"
                        "  Out(P.Execute); Out(P.Copies); Out(P.FromPage); Out(P.ToPage);\n"
                        "  S := TPrinterSetupDialog.Create(nil); Out(S.Execute);\n"
                        "end.",
                        "PascalScript");
    EXPECT_EQ(r.Output, (QStringList{"True", "3", "2", "6", "True"})) << r.Error.toStdString();
    EXPECT_EQ(modals.shown(), (QStringList{"TlyrPrintDialog", "QInputDialog"}));
    EXPECT_EQ(choices, (QStringList{"甲", "乙"}));
    EXPECT_EQ(lyrPrinters().Printer()->Name, QStringLiteral("乙"));
    lyrPrinters().SetPrinters({}, QString());
    ksDialogHooks() = savedHooks;
}

}  // namespace
