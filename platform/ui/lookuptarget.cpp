#include "platform/ui/lookuptarget.h"

#include "platform/db/db.h"

namespace ui {

LookupRow LookupRow::fromCurrentRow(const vdb::Query &q)
{
    LookupRow r;
    for (int i = 0; i < q.FieldCount(); ++i) r.set(q.FieldNames().at(i), q.FieldByIndex(i).AsString());
    return r;
}

}  // namespace ui
