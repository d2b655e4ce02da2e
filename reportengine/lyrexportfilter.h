#pragma once
// An export filter: listed in the design-time registry by its description,
// and fed the rebuilt prepared pages one by one by the page store's Export.

#include <QObject>
#include <QString>

class TlyrComponent;
class TlyrReportPage;

class TlyrExportFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // The pages to export, in the syntax of the print dialog; empty: all.
    QString PageNumbers;
    // The report's progress window follows the export.
    bool ShowProgress = false;

    virtual QString GetDescription() const { return QString(); }
    // False: nothing is exported.
    virtual bool Start() { return true; }
    // The page's size is the page's PaperWidth and PaperHeight.
    virtual void StartPage(TlyrReportPage *page, int index) {}
    // First the page's background (a picture object named
    // "_pagebackground"), then every object of the page.
    virtual void ExportObject(TlyrComponent *obj) = 0;
    virtual void FinishPage(TlyrReportPage *page, int index) {}
    virtual void Finish() {}
};
