// Automation calls: there is no automation server, so each one raises the
// automation error naming the member, and scripts can catch it.
#include "ks_print.h"
#include "script/ks_idisp.h"
#include "script/ks_runner.h"

#include <gtest/gtest.h>

namespace {

TEST(KsAutomation, ErrorTextHasTheLabelsInOrder)
{
    EXPECT_EQ(ksOleErrorText(0x80020006, QStringLiteral("Open"), QStringLiteral("Unknown name.")),
              QStringLiteral("OLE error 80020006: Open: Unknown name."));
    EXPECT_EQ(ksOleErrorText(0x1A, QStringLiteral("M"), QStringLiteral("x"), QStringLiteral("src"),
                             QStringLiteral("desc"), QStringLiteral("h.chm")),
              QStringLiteral("OLE error 0000001A: M: x\nSource        ::  src\nDescription ::  desc\n"
                             "Help File     ::  h.chm"));
}

TEST(KsAutomation, EveryCallRaisesACatchableErrorInEachLanguage)
{
    const QString pascal =
            QStringLiteral("var V: Variant; n: Integer;\n"
                           "begin\n"
                           "  V := 5;\n"
                           "  try V.Visible := True except Out(ExceptionClassName + ': ' + ExceptionMessage) end;\n"
                           "  try n := V.Workbooks.Add(1, 'x') except Out(ExceptionMessage) end;\n"
                           "  try V.Quit except Out('caught') end;\n"
                           "end.");
    const QString expectedVisible = QStringLiteral("EOleException: OLE error 80004001: Visible: Not "
                                                   "implemented\nDescription ::  This system has no automation server");
    KsRunResult r = ksRunScript(pascal, QStringLiteral("PascalScript"));
    ASSERT_EQ(r.Code, 0) << r.Error.toStdString();
    ASSERT_EQ(r.Output.size(), 3);
    EXPECT_EQ(r.Output[0], expectedVisible);
    EXPECT_TRUE(r.Output[1].startsWith(QStringLiteral("OLE error 80004001: Workbooks: ")));
    EXPECT_EQ(r.Output[2], QStringLiteral("caught"));

    r = ksRunScript(QStringLiteral("var v = 1;\ntry { v.Open(\"a.xls\"); } except { Out(ExceptionMessage); }\n"),
                    QStringLiteral("JScript"));
    ASSERT_EQ(r.Output.size(), 1) << r.Error.toStdString();
    EXPECT_TRUE(r.Output[0].startsWith(QStringLiteral("OLE error 80004001: Open: ")));
    r = ksRunScript(QStringLiteral("Dim v\nv = 1\nTry\n  v.Open(\"a.xls\")\nCatch\n  Out(ExceptionMessage)\nEnd Try\n"),
                    QStringLiteral("BasicScript"));
    ASSERT_EQ(r.Output.size(), 1) << r.Error.toStdString();
    EXPECT_TRUE(r.Output[0].startsWith(QStringLiteral("OLE error 80004001: Open: ")));
    r = ksRunScript(
            QStringLiteral(
                    "Variant v;\n{\n  v = 1;\n  try { v.Open(\"a.xls\"); } except { Out(ExceptionMessage); }\n}\n"),
            QStringLiteral("C++Script"));
    ASSERT_EQ(r.Output.size(), 1) << r.Error.toStdString();
    EXPECT_TRUE(r.Output[0].startsWith(QStringLiteral("OLE error 80004001: Open: ")));
    // uncaught, it ends the run as a run-time error
    r = ksRunScript(QStringLiteral("var V: Variant; begin V := 2; V.Run end."), QStringLiteral("PascalScript"));
    EXPECT_EQ(r.Code, 2);
    EXPECT_TRUE(r.Error.contains(QStringLiteral("EOleException: OLE error 80004001: Run: "))) << r.Error.toStdString();
}

}  // namespace
