// The sweeps over every registered report class, with the engine's classes
// (the barcode view among them) registered too.
#include "report/lyrclassrtti.h"
#include "report/lyrdmpclass.h"
#include "report_sweeps.h"
#include "reportengine/lyrBarcode.h"
#include "reportengine/lyrengine.h"

#include <gtest/gtest.h>

namespace {

void registerAll()
{
    lyrRegisterClassRTTI();
    lyrRegisterDMPClasses();
    lyrInstallEngine();
    lyrRegisterBarcodeView();
}

TEST(LyrEngineClassSweeps, EveryPublishedEnumerationTakesItsConstantsInEveryLanguage)
{
    registerAll();
    QStringList paths;
    const QStringList failures = lyrsweep::lyrEnumConstantFailures(paths);
    for (const char *p : {"BarType", "BorderStyle", "WindowState"})
        EXPECT_TRUE(paths.contains(QLatin1String(p))) << p << ": " << paths.join(u' ').toStdString();
    EXPECT_TRUE(failures.isEmpty()) << failures.join(u'\n').toStdString();
}

TEST(LyrEngineClassSweeps, EveryRegisteredClassLoadsBackTheSame)
{
    registerAll();
    lyrsweep::expectTemplatesLoadBackTheSame("TlyrBarCodeView");
}

}  // namespace
