// lyrrun TEMPLATE [--db FILE --query NAME=SQL ... | --data NAME=FILE.csv ...] [--var NAME=VALUE ...]
//        [--dialogs ok|cancel] [--dump] [--lp3 OUT] [--print-to-file OUT]
// Loads a template, gives it report datasets over the program's database (a
// query per dataset name of the template's list; the database is only read)
// or user datasets read from CSV files (a header row, then the records; a
// quoted field may span lines), prepares it and prints the prepared pages.
// A dataset given by the user name or the component name of an entry of the
// template's list answers to both, as the program's datasets do; an entry
// without data that nothing in the template names is dropped.
// Dialog pages are answered without a user: ok presses the page's default
// (or OK) button, cancel its cancel button. A print file gets what a print
// queue would (a PDF, or a dot-matrix report's own bytes). Exit 1 with the
// report's errors when the template had load errors (the rest of it still
// runs and --dump shows its pages) or preparing fails.
// Ctrl+C, SIGTERM or SIGHUP stops a running report as the preview's Esc
// does: the pages so far are dumped, nothing is printed, exit 1 with an
// error line. A file being saved then is not saved: the old one stays and
// no part file is left (a SIGKILL cannot be caught: what it leaves goes
// with the next write of that file).

#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrdbset.h"
#include "report/lyrdialogpage.h"
#include "report/lyrpage.h"
#include "report/lyrpropstream.h"
#include "report/lyrxml.h"
#include "report/lyrview.h"
#include "core/Unit1.h"
#include "platform/db/db.h"
#include "platform/safefile.h"
#include "reportengine/lyrengine.h"
#include "reportengine/lyrpreviewpages.h"
#include "reportengine/lyrprinter.h"
#include "csvtable.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>
#include <QXmlStreamReader>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// A CSV file read once; each dataset it feeds has a cursor of its own.
struct CsvData {
    std::shared_ptr<CsvTable> table;
    int pos = 0;
};

// Written by length: a field's NUL byte ends no text.
void writeAll(const QString &text, std::FILE *to)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
}

// The CSV's records feed the dataset, with a cursor of its own.
// A field the file has no column for is an error, as a query's is.
void feedCsv(TlyrReport &report, TlyrUserDataSet *ds, const std::shared_ptr<CsvTable> &table,
             std::vector<std::unique_ptr<CsvData>> &data)
{
    data.push_back(std::make_unique<CsvData>(CsvData{table, 0}));
    CsvData *d = data.back().get();
    ds->SetFields(d->table->Fields());
    ds->OnFirst = [d](TlyrDataSet *) { d->pos = 0; };
    ds->OnNext = [d](TlyrDataSet *) { ++d->pos; };
    ds->OnPrior = [d](TlyrDataSet *) { d->pos = std::max(d->pos - 1, 0); };
    ds->OnCheckEOF = [d](TlyrDataSet *, bool &eof) { eof = d->pos >= d->table->RowCount(); };
    ds->OnGetValue = [d, ds, &report](const QString &field, KsValue &v) {
        const int col = d->table->Column(field);
        if (col < 0) report.AddError(report.CurObject + QStringLiteral(": ") + lyrFieldNotFoundText(ds, field));
        if (d->pos < d->table->RowCount() && col >= 0) v = KsValue(d->table->Value(d->pos, col));
    };
}

bool sameName(const QString &a, const QString &b)
{
    return !a.isEmpty() && a.compare(b, Qt::CaseInsensitive) == 0;
}

// Every reference of the template's objects and dataset list to `from`
// goes to `to`.
void redirectDataset(TlyrReport &report, TlyrDataSet *from, TlyrDataSet *to)
{
    for (TlyrComponent *c : report.AllObjects()) {
        if (auto *band = qobject_cast<TlyrDataBand *>(c); band && band->DataSet() == from) band->SetDataSet(to);
        if (auto *view = qobject_cast<TlyrView *>(c); view && view->DataSet() == from) view->SetDataSet(to);
        if (auto *page = qobject_cast<TlyrReportPage *>(c); page && page->DataSet() == from) page->SetDataSet(to);
    }
    for (int i = 0; i < report.Datasets()->Count(); ++i)
        if (report.Datasets()->Items(i)->DataSet() == from) report.Datasets()->Items(i)->SetDataSet(to);
}

int fail(const QString &text)
{
    writeAll(text + u'\n', stderr);
    return 1;
}

// A database failure on one line, with the database's own words, so a typing
// error, an unknown column and a refused write read differently.
QString dbErrorLine(const std::exception &e)
{
    const auto *error = dynamic_cast<const velmora::Error *>(&e);
    if (!error) return QString::fromUtf8(e.what());
    QString line = error->message();
    if (!error->detail().isEmpty()) line += u' ' + QString(error->detail()).replace(u'\n', u' ');
    return line;
}

// The template's entry of that name (or a new one) takes the dataset.
void giveDataset(TlyrReport &report, const QString &name, TlyrDataSet *ds)
{
    if (TlyrDataSetItem *item = report.Datasets()->Find(name))
        item->SetDataSet(ds);
    else
        report.Datasets()->Add(ds);
}

// One entry of a template's dataset list: the component its bands refer to
// and the user name its expressions use (the program's data module has one
// component with both names).
struct DatasetEntry {
    QString component, user;
};

// Reads the dataset list's entries as stored, keeping nothing in a report.
class EntriesReader : public TlyrCollectionAdapter {
public:
    explicit EntriesReader(QList<DatasetEntry> &entries) : entries_(entries) {}
    int Count() const override { return 0; }
    QByteArray ItemToXML(int) const override { return {}; }
    QList<QPair<QByteArray, QVariant>> ItemProperties(int) const override { return {}; }
    void Clear() override { entries_.clear(); }
    void AddFromXML(const QByteArray &attributes) override
    {
        TlyrXMLItem x;
        x.Text = attributes;
        entries_.append({x.Prop("DataSet"), x.Prop("DataSetName")});
    }
    void AddFromProperties(const QList<QPair<QByteArray, QVariant>> &properties) override
    {
        DatasetEntry e;
        for (const auto &[key, value] : properties) {
            if (key == "DataSet") e.component = value.toString();
            if (key == "DataSetName") e.user = value.toString();
        }
        entries_.append(e);
    }

private:
    QList<DatasetEntry> &entries_;
};

// A report that, before taking its dataset list, gives the datasets handed
// to it the names the list pairs with the name each was given by: the
// component name its bands refer to and the user name its fields use.
class RunReport : public TlyrReport {
public:
    std::vector<TlyrDataSet *> Given;
    QList<DatasetEntry> Entries;

    bool ReadData(const QByteArray &name, TlyrPropReader &reader, TlyrXMLSerializer &serializer) override
    {
        if (name == "Datasets") {
            TlyrPropReader copy = reader;
            EntriesReader entries(Entries);
            try {
                lyrReadCollection(entries, copy);
            } catch (const std::exception &) {
                Entries.clear();  // the report's own reading reports the damage
            }
            for (const DatasetEntry &e : std::as_const(Entries)) nameAsEntry(e);
        }
        return TlyrReport::ReadData(name, reader, serializer);
    }

private:
    bool taken(const QString &name) const
    {
        for (TlyrDataSet *ds : Given)
            if (ds->objectName().compare(name, Qt::CaseInsensitive) == 0 ||
                ds->UserName().compare(name, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    }
    void nameAsEntry(const DatasetEntry &e)
    {
        if (e.component.isEmpty() || e.user.isEmpty() || e.component.compare(e.user, Qt::CaseInsensitive) == 0) return;
        for (TlyrDataSet *ds : Given) {
            const QString given = ds->objectName();
            if (given.compare(e.user, Qt::CaseInsensitive) == 0 && ds->UserName() == given && !taken(e.component)) {
                ds->SetName(e.component);
                ds->SetUserName(given);
            } else if (given.compare(e.component, Qt::CaseInsensitive) == 0 && ds->UserName() == given &&
                       !taken(e.user)) {
                ds->SetUserName(e.user);
            }
        }
    }
};

// Whether the template file names the entry anywhere but in its dataset
// list (a band's dataset, an expression, the script); a file that is not
// XML is taken to name it.
bool templateNames(const QString &path, const DatasetEntry &entry)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return true;
    QStringList names;
    for (const QString &n : {entry.component, entry.user})
        if (!n.isEmpty()) names << QRegularExpression::escape(n);
    if (names.isEmpty()) return false;
    const QRegularExpression word(QStringLiteral("(?<![\\w])(?:%1)(?![\\w])").arg(names.join(u'|')),
                                  QRegularExpression::CaseInsensitiveOption |
                                          QRegularExpression::UseUnicodePropertiesOption);
    QXmlStreamReader xml(&f);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            for (const QXmlStreamAttribute &a : xml.attributes())
                if (a.name() != QLatin1String("PropData") && word.match(a.value()).hasMatch()) return true;
        } else if (xml.isCharacters() && word.match(xml.text()).hasMatch()) {
            return true;
        }
    }
    return xml.hasError();
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

int stopPipe[2] = {-1, -1};
volatile sig_atomic_t stopsCame = 0;
const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void onStopSignal(int signal)
{
    // A file being saved is given up.
    vplatform::stopSaving();
    const sig_atomic_t before = stopsCame;
    stopsCame = before + 1;
    if (before > 0) {
        // The second stop ends the program at once, leaving no part file.
        vplatform::removePartsNow();
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
        // Delivered as the handler returns.
        ::raise(signal);
        return;
    }
    const char c = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(stopPipe[1], &c, 1);
}

// A stop signal only writes to a pipe; the engine turns the event loop
// between records and pages, where the report is told to stop. A second
// signal ends the program at once.
// Whether a stop signal came since the last look (stopped then names it):
// asked where the event loop does not turn (the dump, before a file is
// written).
bool stopCame(QString &stopped)
{
    bool came = false;
    char c = 0;
    while (stopPipe[0] >= 0 && ::read(stopPipe[0], &c, 1) == 1) {
        stopped = c == SIGINT ? QStringLiteral("SIGINT") : c == SIGHUP ? QStringLiteral("SIGHUP") : QStringLiteral("SIGTERM");
        came = true;
    }
    return came;
}

void stopOnSignals(TlyrReport &report, QString &stopped)
{
    if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto *notifier = new QSocketNotifier(stopPipe[0], QSocketNotifier::Read, &report);
    QObject::connect(notifier, &QSocketNotifier::activated, &report, [&report, &stopped] {
        stopCame(stopped);
        report.SetTerminated(true);
    });
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    // One stop handled at a time, so that the second is told from the first.
    sigemptyset(&action.sa_mask);
    for (int signal : kStopSignals) sigaddset(&action.sa_mask, signal);
    action.sa_flags = SA_RESTART;
    for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // A file size limit then fails the write as a full disk does: the old
    // file stays and the run ends with an error line.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return fail(QStringLiteral("usage: lyrrun TEMPLATE [--db FILE --query NAME=SQL ... | --data NAME=FILE.csv ...] "
                                   "[--var NAME=VALUE ...] [--dialogs ok|cancel] [--dump] [--lp3 OUT] "
                                   "[--print-to-file OUT]"));
    // No preview window: nobody would close it.
    lyrEngineFactories().PreviewForm = [](TlyrReport *) -> TlyrCustomPreviewForm * { return nullptr; };
    lyrInstallEngine();
    // Nor a message box: what it would say joins the error line.
    QStringList messages;
    lyrSetErrorMsgHandler([&messages](const QString &text) {
        if (!messages.contains(text)) messages << text;
    });
    RunReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    QString stopped;
    stopOnSignals(report, stopped);
    // The queries go before their datasets, and the database last.
    std::unique_ptr<vdb::Connection> db;
    std::vector<std::unique_ptr<vdb::Query>> queries;
    std::vector<std::unique_ptr<CsvData>> data;
    QObject keeper;
    std::vector<TlyrDataSet *> &given = report.Given;
    std::vector<std::pair<TlyrUserDataSet *, std::shared_ptr<CsvTable>>> csvGiven;
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
                return fail(dbErrorLine(e));
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
                    return fail(name + QStringLiteral(": ") + dbErrorLine(e));
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
                given.push_back(ds);
                continue;
            }
            auto table = std::make_shared<CsvTable>();
            if (QString error; !table->Read(value, error)) return fail(error);
            auto *ds = new TlyrUserDataSet(&keeper);
            ds->SetName(name);
            feedCsv(report, ds, table, data);
            given.push_back(ds);
            csvGiven.push_back({ds, table});
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
    // Datasets of the template itself that answer to a --data name, wherever
    // they sit (a data page, a page, the report), are fed from its file; a
    // name nothing in the template answers to is an error.
    QList<TlyrDataSet *> own;
    for (TlyrComponent *c : report.AllObjects())
        if (auto *ds = qobject_cast<TlyrDataSet *>(c)) own << ds;
    QSet<TlyrDataSet *> fedInPlace;  // the file's datasets whose data went to the template's own
    for (auto &[givenDs, csv] : csvGiven) {
        const QString name = givenDs->objectName();
        TlyrDataSet *fed = nullptr;
        for (TlyrDataSet *ds : std::as_const(own)) {
            if (!sameName(ds->objectName(), name) && !sameName(ds->UserName(), name)) continue;
            if (auto *user = qobject_cast<TlyrUserDataSet *>(ds)) {
                feedCsv(report, user, csv, data);
                if (!fed) fed = user;
            } else {
                redirectDataset(report, ds, givenDs);
            }
        }
        if (fed) {
            // What the template named the file's dataset by, and its list's
            // entry of that name, now reach the template's own one.
            redirectDataset(report, givenDs, fed);
            for (int i = 0; i < report.Datasets()->Count(); ++i) {
                TlyrDataSetItem *item = report.Datasets()->Items(i);
                if (!item->DataSet() && sameName(item->DataSetName(), name)) item->SetDataSet(fed);
            }
            // Expressions reach datasets through the list.
            if (!report.Datasets()->Find(fed)) report.Datasets()->Add(fed);
            fedInPlace.insert(givenDs);
            continue;
        }
        bool listed = report.Datasets()->Find(name) != nullptr;
        for (const DatasetEntry &e : std::as_const(report.Entries))
            listed = listed || sameName(e.user, name) || sameName(e.component, name);
        if (!listed && !templateNames(templ, DatasetEntry{name, name}))
            return fail(QStringLiteral("--data %1：模板中没有名为 %1 的数据集").arg(name));
    }
    // A file's dataset fed in place is not left for names to find.
    for (auto it = given.begin(); it != given.end();) {
        if (fedInPlace.contains(*it)) {
            delete *it;
            it = given.erase(it);
        } else {
            giveDataset(report, (*it)->UserName(), *it);
            ++it;
        }
    }
    // An entry left without data that nothing in the template uses would
    // only stop the run.
    for (int i = report.Datasets()->Count() - 1; i >= 0; --i) {
        TlyrDataSetItem *item = report.Datasets()->Items(i);
        if (item->DataSet()) continue;
        DatasetEntry entry{QString(), item->DataSetName()};
        for (const DatasetEntry &e : std::as_const(report.Entries))
            if (e.user.compare(entry.user, Qt::CaseInsensitive) == 0) entry.component = e.component;
        if (!templateNames(templ, entry)) report.Datasets()->Delete(i);
    }
    // Pages, bands and views that name their datasets by user name take
    // them now.
    for (TlyrComponent *c : report.AllObjects()) {
        if (auto *band = qobject_cast<TlyrDataBand *>(c); band && !band->DataSet() && !band->DataSetName().isEmpty())
            band->SetDataSetName(band->DataSetName());
        if (auto *view = qobject_cast<TlyrView *>(c); view && !view->DataSet() && !view->DataSetName().isEmpty())
            view->SetDataSetName(view->DataSetName());
        if (auto *page = qobject_cast<TlyrReportPage *>(c); page && !page->DataSet() && !page->DataSetName().isEmpty())
            page->SetDataSetName(page->DataSetName());
    }
    // A user dataset that nothing feeds and nothing ends would give its
    // record for ever: it ends where the preview stops a report that never
    // ends, with an error line.
    for (TlyrComponent *c : report.AllObjects()) {
        auto *ds = qobject_cast<TlyrUserDataSet *>(c);
        if (!ds || ds->OnCheckEOF) continue;
        ds->OnCheckEOF = [&report, ds, told = false](TlyrDataSet *, bool &eof) mutable {
            if (eof || ds->RangeEnd() == TlyrDataSet::reCount || ds->RecNo() < TlyrPreviewPages::MaxPages) return;
            eof = true;
            if (!told)
                report.AddError(QStringLiteral("数据集 %1 没有数据来源，也没有结束条件：读到第 %2 条记录时停止")
                                        .arg(ds->UserName())
                                        .arg(TlyrPreviewPages::MaxPages));
            told = true;
        };
    }
    if (auto *engine = dynamic_cast<TlyrEngine *>(report.Engine()))
        engine->OnRunDialog = [dialogsOk](TlyrDialogPage *page) { return answerDialog(page, dialogsOk); };
    const auto stopLine = [&stopped] { return QStringLiteral("报表生成已中断（收到 %1）").arg(stopped); };
    // A stop that came while the template loaded leaves nothing to run.
    QCoreApplication::processEvents();
    if (!stopped.isEmpty()) return fail(stopLine());
    const bool prepared = report.PrepareReport();
    auto &pages = *static_cast<TlyrPreviewPages *>(report.PreviewPages());
    // Page by page: a stopped runaway report may hold very many. A second
    // stop signal meanwhile ends the program at once (its handler was reset);
    // a first one ends the dump at the next page, and no file is written.
    if (dump)
        lyrDumpPreparedPages(
                pages, [](const QString &page) { writeAll(page, stdout); }, [&stopped] { return stopCame(stopped); });
    stopCame(stopped);
    if (!prepared || !loadErrors.isEmpty() || !stopped.isEmpty()) {
        QStringList errors = loadErrors + report.Errors();
        if (!stopped.isEmpty()) errors << stopLine();
        return fail(errors.isEmpty() ? QStringLiteral("cancelled") : errors.join(QLatin1Char('\n')));
    }
    // A stop during a save ends it with the old file in place: the stop
    // line first, then what became of the file.
    const auto failStopped = [&](const QString &error) {
        stopCame(stopped);
        if (stopped.isEmpty()) return fail(error);
        return fail(error.isEmpty() ? stopLine() : stopLine() + u'\n' + error);
    };
    if (!lp3.isEmpty()) {
        try {
            pages.SaveToFile(lp3);
        } catch (const std::exception &e) {
            return failStopped(QString::fromUtf8(e.what()));
        }
    }
    if (stopCame(stopped)) return fail(stopLine());
    if (!printFile.isEmpty()) {
        // One printer writing to the file: no print server is needed.
        std::vector<std::unique_ptr<TlyrCustomPrinter>> printers;
        printers.push_back(std::make_unique<TlyrPrinter>(QStringLiteral("lyrrun"), QString()));
        lyrPrinters().SetPrinters(std::move(printers), QString());
        lyrPrinters().Printer()->FileName = printFile;
        report.PrintOptions()->ShowDialog = false;
        report.ClearErrors();
        if (!pages.Print()) {
            QStringList errors = report.Errors();
            for (const QString &m : std::as_const(messages))
                if (!errors.contains(m)) errors << m;
            return failStopped(errors.isEmpty() ? QStringLiteral("printing failed") : errors.join(QLatin1Char('\n')));
        }
        if (stopCame(stopped) || !stopped.isEmpty()) return fail(stopLine());
    }
    return 0;
}
