// A kept block that ran over a column break and then moves to a new page
// keeps its parts apart there: each column a part goes on in repeats its
// headers above it, and those leave room for that part; what stood beside
// the break stays with the part before it.

#include "breaks_fixture.h"
#include "kept_seeds.h"
#include "lyrproperty.h"

namespace {

// Generated templates that once broke a rule so.
const uint64_t kSeeds[] = {91155965, 91248467, 96028757, 96029351, 96029352, 96029582,
                           96118978, 96127162, 96151090, 96183083};

}  // namespace

// Reduced generated templates. A group kept with its three-column record
// began at the bottom of one column and went on in the next; the footer
// after the record then broke the page.
TEST_F(BreaksTest, AKeptBlockOverAColumnBreakMovesBelowHeadersThatLeaveItRoom)
{
    const char *cases[] = {
            "paper 111x150.116583279 margin 8 pagecols 3 records 3 mastercols 3 height 16 footer footereach gsplit "
            "swords 77 overlay 0 sub 0/0 detail 0 words 4 groups [{size 3 reprint} {size 1 keep}]",
            // A kept group whose record's side-by-side subreports broke the
            // column: the one that went on after its sibling's break stood
            // in the first column.
            "paper 105x113 margin 0 pagecols 2 records 9 mastercols 1 height 40 footer subside subnested dheader "
            "swords 1 overlay 0 sub 2/2 detail 1 words 0 groups [{size 6 keep} {size 1}]",
    };
    for (const char *line : cases) {
        const lyrprop::Plan plan = lyrprop::parse(QString::fromLatin1(line));
        for (const lyrprop::Failure &f : lyrprop::runPlan(plan))
            ADD_FAILURE() << line << "\n  " << f.Kind.toStdString() << ": " << f.Text.toStdString();
    }
}

TEST_F(BreaksTest, GeneratedTemplatesOfKeptBlocksOverColumnBreaksKeepEveryRule)
{
    expectSeedsKeepEveryRule(kSeeds);
}
