#pragma once
// The preview window of the printed documents replaced for tests: it
// remembers which reports it was shown and opens nothing; the prepared pages
// stay with the report.

#include "report/lyrclass.h"

#include <QStringList>

class PreviewDouble : public TlyrCustomPreviewForm {
public:
    explicit PreviewDouble(QStringList *shown) : m_shown(shown) {}
    TlyrCustomPreview *Preview() override { return nullptr; }
    void InitFromReport(TlyrReport *report) override { *m_shown << report->Name(); }
    void ShowModal() override {}
    void Show() override {}
    void Close() override {}

private:
    QStringList *m_shown;
};

// Installs the double for a scope.
class ScopedPreviewDouble {
public:
    ScopedPreviewDouble() : m_saved(lyrEngineFactories().PreviewForm)
    {
        lyrEngineFactories().PreviewForm = [this](TlyrReport *) { return new PreviewDouble(&shown); };
    }
    ~ScopedPreviewDouble() { lyrEngineFactories().PreviewForm = m_saved; }
    ScopedPreviewDouble(const ScopedPreviewDouble &) = delete;
    ScopedPreviewDouble &operator=(const ScopedPreviewDouble &) = delete;

    QStringList shown;

private:
    std::function<TlyrCustomPreviewForm *(TlyrReport *)> m_saved;
};
