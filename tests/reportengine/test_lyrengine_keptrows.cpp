// A kept group of a two-column data band that moves to a new page and is
// laid out again over its columns: a record that stood beside one whose
// child bands went on to a later page never lands above them.

#include "breaks_fixture.h"
#include "lyrproperty.h"

// A reduced generated template: the group, kept together and repeated,
// splits its header over both page columns; when its block moves, the
// first record of its last row goes on past the page's second column with
// its child chain, and the record beside it followed it there.
TEST_F(BreaksTest, ARecordBesideOneWhoseChildrenWentOnToANewPageStaysBelowThem)
{
    const char *line = "paper 92x177.749897474 margin 7 pagecols 2 records 9 mastercols 2 height 16 child gsplit chain 2 "
                       "swords 73 overlay 0 sub 0/0 detail 0 words 12 groups [{size 3 keep reprint} {size 2}]";
    const lyrprop::Plan plan = lyrprop::parse(QString::fromLatin1(line));
    for (const lyrprop::Failure &f : lyrprop::runPlan(plan))
        ADD_FAILURE() << f.Kind.toStdString() << ": " << f.Text.toStdString();
}
