#include "reportengine/lyrpicturecache.h"

#include "report/lyrdbset.h"
#include "report/lyrutils.h"
#include "report/lyrview.h"
#include "report/lyrxml.h"

void TlyrPictureCache::AddPicture(TlyrPictureView *view)
{
    if (view->PictureData().isEmpty()) {
        view->SetImageIndex(0);
        return;
    }
    const QByteArray &data = view->PictureData();
    int &index = index_[data];
    if (index == 0) {
        items_.append(data);
        index = Count();
    }
    view->SetImageIndex(index);
}

void TlyrPictureCache::GetPicture(TlyrPictureView *view) const
{
    const int i = view->ImageIndex();
    // A damaged file may name a picture that is not there.
    if (i >= 1 && i <= Count())
        view->LoadPictureFromStream(items_.at(i - 1));
    else
        view->ClearPicture();
}

void TlyrPictureCache::LoadFromXML(TlyrXMLItem *item)
{
    Clear();
    if (!item) return;
    for (int i = 0; i < item->Count(); ++i) {
        items_.append(lyrHexToBytes(item->Items(i)->PropBytes("stream")));
        if (!index_.contains(items_.last())) index_.insert(items_.last(), Count());
    }
}

void TlyrPictureCache::SaveToXML(TlyrXMLItem *item) const
{
    item->Clear();
    for (const QByteArray &data : items_) {
        TlyrXMLItem *child = item->Add();
        child->Name = QStringLiteral("item");
        child->AppendProp("stream", QString::fromLatin1(lyrBytesToHex(data)));
    }
}
