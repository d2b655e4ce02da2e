#include "report_test_objects.h"

#include "script/ks_props.h"

void RegisterTestObjects()
{
    lyrRegisterReportClasses();
    ksRegisterClass<TlyrTestMemoView>();
    ksRegisterClass<TtestPage>();
    ksRegisterClass<TtestBand>();
}
