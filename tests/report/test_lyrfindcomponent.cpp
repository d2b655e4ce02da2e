#include "report/lyrclass.h"
#include "report/lyrmemo.h"
#include "report/lyrutils.h"
#include "drawing_test_helpers.h"

#include <gtest/gtest.h>

namespace {

// A data module registered as a global component, holding a dataset and a
// frame with another one.
class GlobalModule : public ::testing::Test {
protected:
    void SetUp() override
    {
        module.setObjectName(QStringLiteral("frmDM"));
        lyrRegisterGlobalComponent(&module);
        ds = new TlyrUserDataSet(&module);
        ds->setObjectName(QStringLiteral("lyrDB_XF"));
        frame = new QObject(&module);
        frame->setObjectName(QStringLiteral("fraPay"));
        inFrame = new TlyrUserDataSet(frame);
        inFrame->setObjectName(QStringLiteral("lyrDB_SK"));
    }
    void TearDown() override { lyrUnregisterGlobalComponent(&module); }
    QObject module;
    TlyrUserDataSet *ds = nullptr;
    QObject *frame = nullptr;
    TlyrUserDataSet *inFrame = nullptr;
};

TEST_F(GlobalModule, FindsAndNamesComponentsOutsideTheReport)
{
    TlyrReport r;
    auto *page = new TlyrPage(&r);
    auto *memo = new TlyrMemoView(page);
    memo->SetName(QStringLiteral("Memo1"));
    EXPECT_EQ(lyrFindComponent(&r, QStringLiteral("Memo1")), memo);
    EXPECT_EQ(lyrFindComponent(&r, QStringLiteral("frmDM.lyrDB_XF")), ds);
    EXPECT_EQ(lyrFindComponent(&r, QStringLiteral("FRMDM.fraPay.lyrDB_SK")), inFrame);
    EXPECT_EQ(lyrFindComponent(&r, QStringLiteral("frmDM.missing")), nullptr);
    EXPECT_EQ(lyrFindComponent(&r, QStringLiteral("nowhere.lyrDB_XF")), nullptr);
    EXPECT_EQ(lyrGetFullName(&r, memo), QStringLiteral("Memo1"));
    EXPECT_EQ(lyrGetFullName(&r, ds), QStringLiteral("frmDM.lyrDB_XF"));
    EXPECT_EQ(lyrGetFullName(&r, inFrame), QStringLiteral("frmDM.fraPay.lyrDB_SK"));
    QObject stray;
    EXPECT_EQ(lyrGetFullName(&r, &stray), QString());

    // A report owned by the module finds the module's components by name.
    auto *owned = new TlyrReport(&module);
    EXPECT_EQ(lyrFindComponent(owned, QStringLiteral("lyrDB_XF")), ds);
    EXPECT_EQ(lyrGetFullName(owned, ds), QStringLiteral("lyrDB_XF"));
}

TEST_F(GlobalModule, TemplatesWriteAndReadQualifiedReferences)
{
    TlyrReport r;
    auto *data = new TlyrDataPage(&r);
    data->SetName(QStringLiteral("Data"));
    auto *page = new TlyrPage(&r);
    page->SetName(QStringLiteral("Page1"));
    auto *memo = new TlyrMemoView(page);
    memo->SetName(QStringLiteral("Memo1"));
    memo->SetDataSet(ds);
    memo->SetDataField(QStringLiteral("theSum"));
    TlyrReport again;
    const QByteArray xml = expectRoundTrip(r, again);
    EXPECT_TRUE(xml.contains("DataSet=\"frmDM.lyrDB_XF\"")) << xml.toStdString();
    auto *loaded = qobject_cast<TlyrMemoView *>(again.FindObject(QStringLiteral("Memo1")));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->DataSet(), ds);
}

}  // namespace
