// Report scripts ask their questions through the program's message layer.
#include "core/ScriptDialogs.h"
#include "platform/ui/messages.h"
#include "script/ks_idialogsrtti.h"
#include "script/ks_isysrtti.h"
#include "script/ks_runner.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(msgs.shown()[0].text, "你好");
    EXPECT_EQ(msgs.shown()[1].buttons, ui::Buttons::YesNo);
    EXPECT_EQ(msgs.shown()[1].icon, ui::Icon::Question);
    EXPECT_EQ(msgs.shown()[2].buttons, ui::Buttons::OkCancel);
    EXPECT_EQ(msgs.shown()[2].icon, ui::Icon::Warning);
    EXPECT_EQ(msgs.shown()[3].buttons, ui::Buttons::Ok);
}

}  // namespace
