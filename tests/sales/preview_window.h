#pragma once
// The real preview window of the printed documents, answered like a user
// would: each time it opens modally, what it shows is noted (report, page
// count, the texts of its first page) and the window is closed, or handed to
// a test's own action first (pressing its print button, say).

#include "platform/ui/modal.h"
#include "report/lyrclass.h"
#include "report/lyrpage.h"
#include "reportengine/lyrpreview.h"
#include "reportengine/lyrpreviewpages.h"

#include <QDialog>
#include <QStringList>

#include <functional>
#include <vector>

struct PreviewSeen {
    QString report;
    int pages = 0;
    QStringList firstPage;
};

class PreviewWindows {
public:
    PreviewWindows() : modals([this](QDialog *d) { return answer(d); }) {}
    PreviewWindows(const PreviewWindows &) = delete;
    PreviewWindows &operator=(const PreviewWindows &) = delete;

    // Run on the open preview window before it is closed; other dialogs it
    // opens (the print dialog) go to onOther.
    std::function<void(TlyrPreviewForm *)> onPreview;
    std::function<int(QDialog *)> onOther;
    std::vector<PreviewSeen> seen;
    ui::ScriptedModals modals;

    QStringList reports() const
    {
        QStringList out;
        for (const PreviewSeen &s : seen) out << s.report;
        return out;
    }

private:
    int answer(QDialog *d)
    {
        auto *form = qobject_cast<TlyrPreviewForm *>(d);
        if (!form) return onOther ? onOther(d) : int(QDialog::Rejected);
        PreviewSeen s;
        TlyrPreview *preview = form->Preview;
        s.report = preview->Report ? preview->Report->Name() : QString();
        s.pages = preview->PageCount();
        if (TlyrCustomPreviewPages *pages = preview->Pages())
            if (TlyrReportPage *p = pages->GetPage(0))
                for (TlyrComponent *c : p->AllObjects())
                    if (c->IsTextObject()) s.firstPage << c->ComponentText();
        seen.push_back(s);
        if (onPreview) onPreview(form);
        form->close();
        return QDialog::Rejected;
    }
};
