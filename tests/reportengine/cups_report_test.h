#pragma once
// The printing tests' fixture with a private print server of their own: a
// report (print_report_util.h) and the server's queues as the printers.

#include "cups_daemon.h"
#include "print_report_util.h"

#include <memory>

class CupsTest : public PrintReportTest {
protected:
    void SetUp() override
    {
        PrintReportTest::SetUp();
        cups = std::make_unique<PrivateCups>();
        if (!cups->ok) GTEST_SKIP() << cups->reason.toStdString();
        lyrRefreshPrinters();
    }
    void TearDown() override
    {
        cups.reset();
        lyrRefreshPrinters();
        PrintReportTest::TearDown();
    }
    std::unique_ptr<PrivateCups> cups;
    int printedPages = 0;
};
