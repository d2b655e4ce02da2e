#pragma once
// A prepared file as text: one source page with a data band and a memo
// (keys b1 and m1), and the pages given.

#include "reportengine/lyrpreviewpages.h"

#include <QBuffer>
#include <QByteArray>

inline QByteArray preparedText(const QByteArray &pages, const QByteArray &sourcePageAttrs = QByteArray())
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><preparedreport><previewpages>" + pages +
           "</previewpages><sourcepages><TlyrReportPage Name=\"Page1\"" + sourcePageAttrs +
           "><TlyrMasterData Name=\"MasterData1\" Height=\"20\"><TlyrMemoView Name=\"Memo1\" Width=\"100\" "
           "Height=\"20\"/></TlyrMasterData></TlyrReportPage></sourcepages><dictionary>"
           "<b1 name=\"Page0.MasterData1\"/><m1 name=\"Page0.Memo1\"/></dictionary></preparedreport>";
}

inline void loadText(TlyrPreviewPages &pages, const QByteArray &text)
{
    QBuffer in;
    in.setData(text);
    in.open(QIODevice::ReadOnly);
    pages.LoadFromStream(in, false);
}
