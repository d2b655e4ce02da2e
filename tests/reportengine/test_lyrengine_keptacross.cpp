// A kept block that ran over a column break and then moves to a new page
// keeps its parts apart there: each column a part goes on in repeats its
// headers above it, and those leave room for that part.

#include "breaks_fixture.h"
#include "lyrproperty.h"

// A reduced generated template: a group kept with its three-column record
// began at the bottom of one column and went on in the next; the footer
// after the record then broke the page.
TEST_F(BreaksTest, AKeptBlockOverAColumnBreakMovesBelowHeadersThatLeaveItRoom)
{
    const char *cases[] = {
            "paper 111x150.116583279 margin 8 pagecols 3 records 3 mastercols 3 height 16 footer footereach gsplit "
            "swords 77 overlay 0 sub 0/0 detail 0 words 4 groups [{size 3 reprint} {size 1 keep}]",
    };
    for (const char *line : cases) {
        const lyrprop::Plan plan = lyrprop::parse(QString::fromLatin1(line));
        for (const lyrprop::Failure &f : lyrprop::runChecked(plan))
            ADD_FAILURE() << line << "\n  " << f.Kind.toStdString() << ": " << f.Text.toStdString();
    }
}
