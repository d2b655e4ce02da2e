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
    virtual QString GetDescription() const { return QString(); }
    virtual bool Start() { return true; }
    virtual void StartPage(TlyrReportPage *page, int index) {}
    virtual void ExportObject(TlyrComponent *obj) = 0;
    virtual void FinishPage(TlyrReportPage *page, int index) {}
    virtual void Finish() {}
};
