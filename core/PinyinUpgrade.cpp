#include "core/IMCode.h"
#include "core/Schema.h"

#include <QVariantList>

namespace velmora {

namespace {

// The database's user_version once its stored pinyin codes follow the
// current table.
constexpr int kPinyinCodesVersion = 1;

// The GB2312 level-1 characters to which earlier tables gave an initial
// other than the one of their place in the pinyin order, with that initial.
constexpr struct {
    char16_t ch;
    char initial;
} kEarlierInitials[] = {{u'辟', 'P'}, {u'泊', 'P'}, {u'长', 'Z'}, {u'匙', 'S'}, {u'脯', 'P'}, {u'蛤', 'H'},
                        {u'槛', 'K'}, {u'咯', 'G'}, {u'咳', 'H'}, {u'傀', 'G'}, {u'埔', 'B'}, {u'茄', 'J'},
                        {u'炔', 'G'}, {u'伺', 'C'}, {u'厦', 'S'}, {u'畜', 'C'}, {u'吁', 'X'}, {u'曾', 'C'},
                        {u'轧', 'Y'}, {u'辗', 'N'}, {u'椎', 'C'}};

char earlierInitial(QChar c)
{
    for (const auto &e : kEarlierInitials)
        if (c.unicode() == e.ch) return e.initial;
    return 0;
}

// The code an earlier table made of the name.  A character's code does not
// depend on its neighbours, so the name is coded in runs between the
// characters whose initial changed.
QString earlierCode(const QString &name)
{
    QString code, run;
    for (QChar c : name) {
        if (const char initial = earlierInitial(c)) {
            code += MakePYCode(run);
            run.clear();
            code += QLatin1Char(initial);
        } else {
            run += c;
        }
    }
    code += MakePYCode(run);
    return code.left(255);
}

int userVersion(vdb::Connection &c)
{
    vdb::Query q(&c);
    q.OpenSql(QStringLiteral("PRAGMA user_version"));
    return q.IsEmpty() ? 0 : q.text(0, 0).toInt();
}

}  // namespace

void upgradePinyinCodes(vdb::Connection &c)
{
    if (userVersion(c) >= kPinyinCodesVersion) return;
    vdb::Transaction tx(c);
    QString holds;
    QVariantList changed;
    for (const auto &e : kEarlierInitials) {
        holds += (holds.isEmpty() ? QString() : QStringLiteral(" OR ")) + QStringLiteral("theName Like ?");
        changed << QStringLiteral("%") + QChar(e.ch) + QStringLiteral("%");
    }
    const QStringList tables = c.tableNames();
    for (const char *t : {"Member", "SShop", "SSup", "ULP", "UXF_List", "UJH_List", "UTH_List"}) {
        const QString table = QLatin1String(t);
        if (!tables.contains(table, Qt::CaseInsensitive)) continue;
        const QStringList columns = c.columnNames(table);
        if (!columns.contains(QStringLiteral("ID"), Qt::CaseInsensitive) ||
            !columns.contains(QStringLiteral("theName"), Qt::CaseInsensitive) ||
            !columns.contains(QStringLiteral("thePY"), Qt::CaseInsensitive))
            continue;
        vdb::Query q(&c);
        q.OpenSql(QStringLiteral("select ID,theName,thePY from ") + table + QStringLiteral(" Where ") + holds,
                  changed);
        const QString update = QStringLiteral("Update ") + table + QStringLiteral(" Set thePY=? Where ID=?");
        for (q.First(); !q.Eof(); q.Next()) {
            const QString name = q.value(QStringLiteral("theName"));
            const QString stored = q.value(QStringLiteral("thePY"));
            // A code typed by hand is kept.
            if (stored != earlierCode(name)) continue;
            const QString code = MakePYCode(name);
            if (code != stored) c.execute(update, {code, q.value(QStringLiteral("ID")).toLongLong()});
        }
    }
    c.executeNative(QStringLiteral("PRAGMA user_version = %1").arg(kPinyinCodesVersion));
    tx.commit();
}

}  // namespace velmora
