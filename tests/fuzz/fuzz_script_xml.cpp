// The engine's XML reader and lexer on arbitrary bytes: an error is fine, a
// crash or a hang is not.
#include "script/ks_iparser.h"
#include "script/ks_xml.h"
#include "script/ksvalue.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        QBuffer buf(&bytes);
        buf.open(QIODevice::ReadOnly);
        TksXMLDocument doc;
        try {
            doc.LoadFromStream(buf);
            // what was read writes and reads back
            QString text = doc.SaveToString();
            TksXMLDocument again;
            again.LoadFromString(text);
            if (doc.Root()->Count() > 0) (void)doc.Root()->Items(0)->Prop(QStringLiteral("text"));
        } catch (const KsError &) {}
    }
    const QString text = QString::fromUtf8(bytes);
    for (int style = 0; style < 2; ++style) {
        TksParser p;
        if (style == 1) {
            p.CommentLine1 = QStringLiteral("'");
            p.CommentLine2 = QStringLiteral("rem");
            p.StringQuotes = QStringLiteral("\"");
            p.SkipEOL = false;
            p.SkipChar = QStringLiteral("_");
            p.HexSequence = QStringLiteral("0x");
        }
        p.SetText(text);
        int guard = 0;
        while (p.Position() <= p.Size() && ++guard < 100000) {
            const int before = p.Position();
            if (p.ReadWord().isEmpty() && p.ReadNumber().isEmpty() && p.ReadString().isEmpty() && !p.ReadEOL()) {
                p.SkipSpaces();
                if (p.ReadPunct().isEmpty() && p.Position() == before) p.SetPosition(p.Position() + 1);
            }
            (void)p.PositionText();
        }
        p.SetPosition(1);
        (void)p.ReadBracketText();
    }
    return 0;
}
