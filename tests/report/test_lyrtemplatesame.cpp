// A template saved and loaded back gives the same objects: every published
// property of every registered report class, with values of its own and
// with values equal to the declared defaults.
#include "report/lyrclassrtti.h"
#include "report/lyrdmpclass.h"
#include "report_sweeps.h"

#include <gtest/gtest.h>

TEST(LyrTemplateRoundTrip, EveryRegisteredClassLoadsBackTheSame)
{
    lyrRegisterClassRTTI();
    lyrRegisterDMPClasses();
    for (const lyrsweep::Fill how : {lyrsweep::Fill::Own, lyrsweep::Fill::Defaults}) {
        SCOPED_TRACE(how == lyrsweep::Fill::Own ? "values of their own" : "values equal to the defaults");
        int objects = 0;
        QByteArray xml;
        const QStringList diffs = lyrsweep::lyrTemplateRoundTripDifferences(how, objects, xml);
        EXPECT_GT(objects, 40);
        EXPECT_TRUE(diffs.isEmpty()) << diffs.join(u'\n').toStdString() << "\n" << xml.toStdString();
    }
}
