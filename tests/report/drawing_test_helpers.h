#pragma once
// Template round trips for the drawing objects' tests.

#include "report/lyrclass.h"

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

inline QByteArray saveTemplate(TlyrReport &r)
{
    QBuffer b;
    b.open(QIODevice::ReadWrite);
    r.SaveToStream(b);
    return b.data();
}

// The picture as PNG bytes.
inline QByteArray pngBytes(const QImage &image)
{
    QByteArray png;
    QBuffer b(&png);
    b.open(QIODevice::WriteOnly);
    image.save(&b, "PNG");
    return png;
}

inline void loadTemplate(TlyrReport &r, const QByteArray &xml)
{
    QBuffer b;
    b.setData(xml);
    b.open(QIODevice::ReadOnly);
    r.LoadFromStream(b);
}

// Saves r, loads the text into again (no errors) and saves that: the same
// bytes. Returns the first text.
inline QByteArray expectRoundTrip(TlyrReport &r, TlyrReport &again)
{
    r.EngineOptions()->SetNewSilentMode(simSilent);
    again.EngineOptions()->SetNewSilentMode(simSilent);
    const QByteArray first = saveTemplate(r);
    loadTemplate(again, first);
    EXPECT_TRUE(again.Errors().isEmpty()) << again.Errors().join(u'\n').toStdString();
    EXPECT_EQ(first.toStdString(), saveTemplate(again).toStdString());
    return first;
}
