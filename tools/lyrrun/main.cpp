// lyrrun TEMPLATE [--db FILE --query NAME=SQL ... | --data NAME=FILE.csv ...] [--var NAME=VALUE ...]
//        [--dialogs ok|cancel] [--dump] [--lp3 OUT] [--print-to-file OUT]
// Loads a template, gives it report datasets over the program's database (a
// query per dataset name of the template's list; the database is only read)
// or user datasets read from CSV files (a header row, then the records; a
// quoted field may span lines), prepares it and prints the prepared pages.
// Dialog pages are answered without a user: ok presses the page's default
// (or OK) button, cancel its cancel button. A print file gets what a print
// queue would (a PDF, or a dot-matrix report's own bytes). Exit 1 with the
// report's errors when the template had load errors (the rest of it still
// runs and --dump shows its pages) or preparing fails.

#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrdbset.h"
#include "report/lyrdialogpage.h"
#include "report/lyrview.h"
#include "core/Unit1.h"
#include "platform/db/db.h"
#include "reportengine/lyrengine.h"
#include "reportengine/lyrpreviewpages.h"
#include "reportengine/lyrprinter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

// The records of a CSV text (RFC 4180): fields separated by commas, a
// quoted field may hold commas, doubled quotes and line breaks. Blank lines
// are no records. False, with the line its quote opened on, when a quoted
// field is never closed.
bool parseCsv(const QString &text, QList<QStringList> &records, int &openLine)
{
    QStringList record;
    QString cur;
    bool quoted = false;
    // The record has a field or a separator so far (a blank line has neither).
    bool started = false;
    int line = 1;
    openLine = 0;
    const qsizetype n = text.size();
    auto endRecord = [&] {
        if (started) {
            record << cur;
            records << record;
        }
        record.clear();
        cur.clear();
        started = false;
    };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == u'\n') ++line;
        if (quoted) {
            if (c == u'"' && i + 1 < n && text.at(i + 1) == u'"') {
                cur += c;
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                cur += c;
            }
            continue;
        }
        if (c == u'"') {
            quoted = true;
            started = true;
            openLine = line;
        } else if (c == u',') {
            record << cur;
            cur.clear();
            started = true;
        } else if (c == u'\r' || c == u'\n') {
            // CR LF, a lone LF or a lone CR ends the record.
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n') {
                ++i;
                ++line;
            } else if (c == u'\r') {
                ++line;
            }
            endRecord();
        } else {
            cur += c;
            started = true;
        }
    }
    if (quoted) return false;
    endRecord();
    return true;
}

struct CsvData {
    QStringList fields;
    QList<QStringList> rows;
    int pos = 0;
};

int fail(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    return 1;
}

// The template's entry of that name (or a new one) takes the dataset.
void giveDataset(TlyrReport &report, const QString &name, TlyrDataSet *ds)
{
    if (TlyrDataSetItem *item = report.Datasets()->Find(name))
        item->SetDataSet(ds);
    else
        report.Datasets()->Add(ds);
}

// The button a user answering that way would press: the default button (or
// the one ending the page with OK), or the cancel button (or the one ending
// it with Cancel).
TlyrButtonControl *answerButton(TlyrDialogPage *page, bool ok)
{
    TlyrButtonControl *byResult = nullptr;
    for (TlyrComponent *c : page->AllObjects()) {
        auto *b = qobject_cast<TlyrButtonControl *>(c);
        if (!b || !b->Visible() || !b->Enabled()) continue;
        if (ok ? b->Default() : b->Cancel()) return b;
        if (!byResult && b->ModalResult() == (ok ? TlyrDialogPage::mrOk : TlyrDialogPage::mrCancel)) byResult = b;
    }
    return byResult;
}

// Shows the page as the report would and answers it once it is up; a page
// its button did not close is closed with the answer, so nothing waits.
int answerDialog(TlyrDialogPage *page, bool ok)
{
    QTimer::singleShot(0, page, [page, ok] {
        if (TlyrButtonControl *b = answerButton(page, ok))
            if (auto *button = qobject_cast<QAbstractButton *>(b->Control())) button->click();
        if (page->Window()->isVisible()) page->Window()->done(ok ? TlyrDialogPage::mrOk : TlyrDialogPage::mrCancel);
    });
    return page->ShowModal();
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return fail(QStringLiteral("usage: lyrrun TEMPLATE [--db FILE --query NAME=SQL ... | --data NAME=FILE.csv ...] "
                                   "[--var NAME=VALUE ...] [--dialogs ok|cancel] [--dump] [--lp3 OUT] "
                                   "[--print-to-file OUT]"));
    // No preview window: nobody would close it.
    lyrEngineFactories().PreviewForm = [](TlyrReport *) -> TlyrCustomPreviewForm * { return nullptr; };
    lyrInstallEngine();
    TlyrReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    // The queries go before their datasets, and the database last.
    std::unique_ptr<vdb::Connection> db;
    std::vector<std::unique_ptr<vdb::Query>> queries;
    std::vector<std::unique_ptr<CsvData>> data;
    QObject keeper;
    std::vector<std::pair<QString, TlyrDataSet *>> given;
    QList<std::pair<QString, QString>> vars;
    bool dump = false;
    bool dialogsOk = true;
    QString lp3, printFile;
    const QString templ = args.takeFirst();
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (a == QLatin1String("--dump")) {
            dump = true;
        } else if (a == QLatin1String("--dialogs") && i + 1 < args.size()) {
            const QString answer = args.at(++i);
            if (answer != QLatin1String("ok") && answer != QLatin1String("cancel"))
                return fail(QStringLiteral("--dialogs takes ok or cancel: ") + answer);
            dialogsOk = answer == QLatin1String("ok");
        } else if (a == QLatin1String("--lp3") && i + 1 < args.size()) {
            lp3 = args.at(++i);
        } else if (a == QLatin1String("--print-to-file") && i + 1 < args.size()) {
            printFile = args.at(++i);
        } else if (a == QLatin1String("--db") && i + 1 < args.size()) {
            try {
                // The shop's own file: a query may read it, never change it.
                db = vdb::Connection::open(args.at(++i), velmora::databaseKey(), vdb::Connection::Journal::ReadOnly);
            } catch (const std::exception &e) {
                return fail(QString::fromUtf8(e.what()));
            }
        } else if ((a == QLatin1String("--data") || a == QLatin1String("--var") || a == QLatin1String("--query")) &&
                   i + 1 < args.size()) {
            const QString pair = args.at(++i);
            const qsizetype eq = pair.indexOf(u'=');
            if (eq <= 0) return fail(QStringLiteral("expected NAME=VALUE: ") + pair);
            const QString name = pair.left(eq), value = pair.mid(eq + 1);
            if (a == QLatin1String("--var")) {
                vars.append({name, value});
                continue;
            }
            if (a == QLatin1String("--query")) {
                if (!db) return fail(QStringLiteral("--query needs --db first"));
                auto query = std::make_unique<vdb::Query>(db.get());
                try {
                    query->OpenSql(value);
                } catch (const std::exception &e) {
                    return fail(name + QStringLiteral(": ") + QString::fromUtf8(e.what()));
                }
                // A statement without result columns (a PRAGMA setting a
                // value, a write the read-only file refused) is no dataset.
                if (query->FieldCount() == 0)
                    return fail(name +
                                QStringLiteral(": the statement gives no columns; only a query that reads is run"));
                auto *ds = new TlyrDBDataset(&keeper);
                ds->SetName(name);
                ds->SetCloseDataSource(false);
                ds->SetDataSet(query.get());
                queries.push_back(std::move(query));
                given.emplace_back(name, ds);
                continue;
            }
            QFile f(value);
            if (!f.open(QIODevice::ReadOnly)) return fail(QStringLiteral("cannot read ") + value);
            QString text = QString::fromUtf8(f.readAll());
            if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
            QList<QStringList> records;
            int openLine = 0;
            if (!parseCsv(text, records, openLine))
                return fail(QStringLiteral("%1: line %2: a quoted field is not closed").arg(value).arg(openLine));
            auto csv = std::make_unique<CsvData>();
            if (!records.isEmpty()) csv->fields = records.takeFirst();
            csv->rows = std::move(records);
            CsvData *d = csv.get();
            data.push_back(std::move(csv));
            auto *ds = new TlyrUserDataSet(&keeper);
            ds->SetName(name);
            ds->SetFields(d->fields);
            ds->OnFirst = [d](TlyrDataSet *) { d->pos = 0; };
            ds->OnNext = [d](TlyrDataSet *) { ++d->pos; };
            ds->OnPrior = [d](TlyrDataSet *) { d->pos = std::max(d->pos - 1, 0); };
            ds->OnCheckEOF = [d](TlyrDataSet *, bool &eof) { eof = d->pos >= d->rows.size(); };
            ds->OnGetValue = [d](const QString &field, KsValue &v) {
                const int col = d->fields.indexOf(field);
                if (d->pos < d->rows.size() && col >= 0) v = KsValue(d->rows[d->pos].value(col));
            };
            given.emplace_back(name, ds);
        } else {
            return fail(QStringLiteral("unknown argument ") + a);
        }
    }
    // Loaded after the datasets exist: the template's references to them by
    // name are resolved while it is read.
    try {
        report.LoadFromFile(templ, true);
    } catch (const std::exception &e) {
        return fail(QString::fromUtf8(e.what()));
    }
    // Preparing starts a new list of errors: these are kept for the end.
    const QStringList loadErrors = report.Errors();
    report.EngineOptions()->SetNewSilentMode(simSilent);
    for (const auto &[name, value] : vars) report.Variables()->SetVariable(name, value);
    for (const auto &[name, ds] : given) giveDataset(report, name, ds);
    // Bands and views that name their datasets by user name take them now.
    for (TlyrComponent *c : report.AllObjects()) {
        if (auto *band = qobject_cast<TlyrDataBand *>(c); band && !band->DataSet() && !band->DataSetName().isEmpty())
            band->SetDataSetName(band->DataSetName());
        if (auto *view = qobject_cast<TlyrView *>(c); view && !view->DataSet() && !view->DataSetName().isEmpty())
            view->SetDataSetName(view->DataSetName());
    }
    if (auto *engine = dynamic_cast<TlyrEngine *>(report.Engine()))
        engine->OnRunDialog = [dialogsOk](TlyrDialogPage *page) { return answerDialog(page, dialogsOk); };
    const bool prepared = report.PrepareReport();
    auto &pages = *static_cast<TlyrPreviewPages *>(report.PreviewPages());
    if (dump) std::fputs(lyrDumpPreparedPages(pages).toUtf8().constData(), stdout);
    if (!prepared || !loadErrors.isEmpty()) {
        const QStringList errors = loadErrors + report.Errors();
        return fail(errors.isEmpty() ? QStringLiteral("cancelled") : errors.join(QLatin1Char('\n')));
    }
    if (!lp3.isEmpty()) {
        try {
            pages.SaveToFile(lp3);
        } catch (const std::exception &e) {
            return fail(QString::fromUtf8(e.what()));
        }
    }
    if (!printFile.isEmpty()) {
        // One printer writing to the file: no print server is needed.
        std::vector<std::unique_ptr<TlyrCustomPrinter>> printers;
        printers.push_back(std::make_unique<TlyrPrinter>(QStringLiteral("lyrrun"), QString()));
        lyrPrinters().SetPrinters(std::move(printers), QString());
        lyrPrinters().Printer()->FileName = printFile;
        report.PrintOptions()->ShowDialog = false;
        report.ClearErrors();
        if (!pages.Print())
            return fail(report.Errors().isEmpty() ? QStringLiteral("printing failed")
                                                  : report.Errors().join(QLatin1Char('\n')));
    }
    return 0;
}
