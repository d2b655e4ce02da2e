#include "report/lyrclass.h"
#include "report/lyrdbset.h"
#include "report/lyrdialogpage.h"
#include "report/lyrview.h"
#include "reportengine/lyrBarcode.h"
#include "reportengine/lyrDsgnIntf.h"
#include "script/ks_props.h"

#include <gtest/gtest.h>

namespace {

TEST(LyrObjectRegistry, SameClassAndFlagsStayOneItemAndKindIsDerived)
{
    lyrRegisterBarcodeView();
    TlyrObjectCollection &objects = lyrObjects();
    const int at = objects.IndexOf(QStringLiteral("TlyrBarCodeView"));
    ASSERT_GE(at, 0);
    EXPECT_EQ(objects.Items(at).ImageIndex, 23);
    EXPECT_EQ(objects.Items(at).Kind, okReportObject);
    EXPECT_TRUE(objects.Items(at).ButtonHint.isEmpty());
    const int count = objects.Count();
    objects.RegisterObject(&TlyrBarCodeView::staticMetaObject, QImage(), 0, 23);
    EXPECT_EQ(objects.Count(), count);
    // Another flag value is another entry.
    objects.RegisterObject(&TlyrBarCodeView::staticMetaObject, QImage(), 0, 23, 1);
    EXPECT_EQ(objects.Count(), count + 1);

    const std::pair<const char *, int> dotMatrix[] = {
            {"TlyrDMPMemoView", 2}, {"TlyrDMPLineView", 5}, {"TlyrDMPCommand", 21}};
    for (const auto &[name, image] : dotMatrix) {
        const int i = objects.IndexOf(QLatin1String(name));
        ASSERT_GE(i, 0) << name;
        EXPECT_EQ(objects.Items(i).Kind, okDotMatrixObject);
        EXPECT_EQ(objects.Items(i).ImageIndex, image);
    }

    EXPECT_EQ(TlyrObjectCollection::KindOf(&TlyrUserDataSet::staticMetaObject), okData);
    EXPECT_EQ(TlyrObjectCollection::KindOf(&TlyrDialogControl::staticMetaObject), okDialogObject);
    EXPECT_EQ(TlyrObjectCollection::KindOf(&TlyrLineView::staticMetaObject), okReportObject);
}

TEST(LyrComponentEditors, BarcodeEditorSetsOptionsAndOpensNothing)
{
    lyrRegisterBarcodeView();
    TlyrBarCodeView a, b;
    b.SetRestrictions(rfDontModify);
    auto editor = lyrComponentEditors().CreateEditor(&a, nullptr);
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->HasEditor());
    EXPECT_FALSE(editor->Edit());
    editor->Selection << &b;
    QList<TlyrEditorMenuItem> items;
    editor->GetMenuItems(items);
    ASSERT_EQ(items.size(), 6);
    EXPECT_EQ(items[0].Tag, 1);
    EXPECT_FALSE(items[0].Checked);
    EXPECT_EQ(items[1].Tag, 2);
    EXPECT_TRUE(items[1].Checked);
    EXPECT_EQ(items[2].Tag, 50);
    EXPECT_EQ(items[5].Tag, 53);
    EXPECT_TRUE(editor->Execute(1, true));
    EXPECT_TRUE(a.CalcCheckSum());
    EXPECT_TRUE(b.CalcCheckSum());
    // A view protected from changes keeps its visibility.
    EXPECT_TRUE(editor->Execute(52, false));
    EXPECT_FALSE(a.Visible());
    EXPECT_TRUE(b.Visible());
    EXPECT_TRUE(editor->Execute(51, true));
    EXPECT_EQ(a.ShiftMode(), int(smWhenOverlapped));

    TlyrLineView line;
    EXPECT_EQ(lyrComponentEditors().CreateEditor(&line, nullptr), nullptr);
}

TEST(LyrPropertyEditors, RegisteredInOrderAndChosenByTypeClassAndName)
{
    const TlyrPropertyEditorCollection &eds = lyrPropertyEditors();
    ASSERT_EQ(eds.Count(), 11);
    EXPECT_EQ(eds.EventFilterIndex, -1);
    EXPECT_EQ(QLatin1String(eds.Items(0).EditorClass->className()), QLatin1String("TlyrNameProperty"));
    EXPECT_EQ(QLatin1String(eds.Items(10).EditorClass->className()), QLatin1String("TlyrTimeProperty"));

    TlyrLineView line;
    line.Font()->SetCharset(134);
    auto charset = eds.CreateEditor(line.Font(), QStringLiteral("Charset"));
    ASSERT_NE(charset, nullptr);
    EXPECT_EQ(charset->GetValue(), QStringLiteral("GB2312_CHARSET"));
    charset->SetValue(QStringLiteral("ansi_charset"));
    EXPECT_EQ(line.Font()->Charset(), 0);
    EXPECT_EQ(eds.CreateEditor(&line, QStringLiteral("ArrowLength")), nullptr);
}

TEST(LyrPropertyEditors, EditStepsThroughTheValueListOrAnswersFalse)
{
    TlyrLineView line;
    line.SetArrowLength(7);
    TlyrIntegerProperty plain;
    plain.Components << &line;
    plain.PropertyName = QStringLiteral("ArrowLength");
    EXPECT_EQ(plain.GetValue(), QStringLiteral("7"));
    EXPECT_EQ(plain.GetAttributes(), int(paMultiSelect));
    EXPECT_FALSE(plain.Edit());
    EXPECT_EQ(line.ArrowLength(), 7);

    line.SetArrowLength(9);
    TlyrModalResultProperty modal;
    modal.Components << &line;
    modal.PropertyName = QStringLiteral("ArrowLength");
    EXPECT_EQ(modal.GetValue(), QStringLiteral("mrNoToAll"));
    EXPECT_TRUE(modal.Edit());
    EXPECT_EQ(modal.GetValue(), QStringLiteral("mrYesToAll"));
    EXPECT_TRUE(modal.Edit());  // wraps to the first
    EXPECT_EQ(line.ArrowLength(), 0);
    modal.SetValue(QStringLiteral("MRCANCEL"));
    EXPECT_EQ(line.ArrowLength(), 2);
    modal.SetValue(QStringLiteral("12"));
    EXPECT_EQ(modal.GetValue(), QStringLiteral("12"));

    TlyrColorProperty color;
    color.Components << &line;
    color.PropertyName = QStringLiteral("ArrowWidth");
    color.SetValue(QStringLiteral("clRed"));
    EXPECT_EQ(line.ArrowWidth(), clRed);
    EXPECT_EQ(color.GetValue(), QStringLiteral("clRed"));
    color.SetValue(QStringLiteral("$00123456"));
    EXPECT_EQ(color.GetValue(), QStringLiteral("$00123456"));
}

TEST(LyrExportFilters, EmptyInThisProgram)
{
    EXPECT_EQ(lyrExportFilters().Count(), 0);
}

}  // namespace
