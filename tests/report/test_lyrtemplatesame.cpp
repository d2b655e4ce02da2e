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
    lyrsweep::expectTemplatesLoadBackTheSame("TlyrDMPMemoView");
}
