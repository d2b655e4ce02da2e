#pragma once
// Stand-ins for the views and pages of later units: enough published
// properties (nested font, references, text, order-dependent setters) to
// exercise the serializer.

#include "report/lyrclass.h"
#include "report/lyrcontracts.h"

#include <sys/resource.h>

#include <csignal>
#include <thread>

// Whether another thread holds the template-loading lock (the lock is
// re-entrant, so the holder itself could always take it again).
inline bool TemplateLockHeldElsewhere()
{
    bool free = false;
    std::thread probe([&free] {
        free = lyrTemplateLoadingLock().tryLock();
        if (free) lyrTemplateLoadingLock().unlock();
    });
    probe.join();
    return !free;
}

// While alive, files cannot grow beyond `bytes`: writes fail as on a full
// disk (EFBIG instead of the signal).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

class TlyrTestMemoView : public TlyrReportComponent {
    Q_OBJECT
    Q_PROPERTY(double Left READ Left WRITE SetLeft)
    Q_PROPERTY(double Top READ Top WRITE SetTop)
    Q_PROPERTY(double Width READ Width WRITE SetWidth)
    Q_PROPERTY(double Height READ Height WRITE SetHeight)
    Q_PROPERTY(TlyrFont *Font READ Font)
    Q_PROPERTY(bool ParentFont READ ParentFont WRITE SetParentFont)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(TlyrDataSet *DataSet READ DataSet WRITE SetDataSet)
    Q_PROPERTY(Kind Style READ Style WRITE SetStyle)
    Q_PROPERTY(QStringList Lines READ Lines WRITE SetLines)
    Q_CLASSINFO("Default:ParentFont", "true")
    Q_CLASSINFO("Default:Visible", "true")
    Q_CLASSINFO("Default:Style", "vsPlain")
public:
    enum Kind { vsPlain, vsBold, vsBoxed };
    Q_ENUM(Kind)
    Q_INVOKABLE explicit TlyrTestMemoView(QObject *owner = nullptr) : TlyrReportComponent(owner) {}
    TlyrDataSet *DataSet() const { return dataSet_; }
    void SetDataSet(TlyrDataSet *ds) { dataSet_ = ds; }
    Kind Style() const { return style_; }
    void SetStyle(Kind k) { style_ = k; }
    QStringList Lines() const { return lines_; }
    void SetLines(const QStringList &l) { lines_ = l; }
    bool IsTextObject() const override { return true; }
    bool IsView() const override { return true; }
    // Whether the template-loading lock was held when loading finished.
    void Loaded() override { LockHeldAtLoad = TemplateLockHeldElsewhere(); }
    bool LockHeldAtLoad = false;
    TlyrAlign GetAlign() const override { return align_; }
    void SetAlign(TlyrAlign a) { align_ = a; }
    QString ComponentText() const override { return text_; }
    void SetComponentText(const QString &t) override { text_ = t; }

private:
    QPointer<TlyrDataSet> dataSet_;
    TlyrAlign align_ = baNone;
    Kind style_ = vsPlain;
    QStringList lines_;
    QString text_;
};

// Columns computes ColumnWidth from PaperWidth; PaperWidth makes the paper
// custom (256); PaperSize 9 sets A4 width. Reading must apply them in
// declaration order.
class TtestPage : public TlyrPage {
    Q_OBJECT
    Q_PROPERTY(double PaperWidth READ PaperWidth WRITE SetPaperWidth)
    Q_PROPERTY(int PaperSize READ PaperSize WRITE SetPaperSize)
    Q_PROPERTY(int Columns READ Columns WRITE SetColumns)
    Q_PROPERTY(double ColumnWidth READ ColumnWidth WRITE SetColumnWidth)
    Q_CLASSINFO("Default:PaperSize", "9")
    Q_CLASSINFO("Default:Columns", "0")
public:
    Q_INVOKABLE explicit TtestPage(QObject *owner = nullptr) : TlyrPage(owner) {}
    double PaperWidth() const { return paperWidth_; }
    void SetPaperWidth(double w)
    {
        paperWidth_ = w;
        paperSize_ = 256;
    }
    int PaperSize() const { return paperSize_; }
    void SetPaperSize(int n)
    {
        paperSize_ = n;
        if (n == 9) paperWidth_ = 210;
    }
    int Columns() const { return columns_; }
    void SetColumns(int n)
    {
        columns_ = n;
        if (n > 0) columnWidth_ = paperWidth_ / n;
    }
    double ColumnWidth() const { return columnWidth_; }
    void SetColumnWidth(double w) { columnWidth_ = w; }

private:
    double paperWidth_ = 210;
    int paperSize_ = 9;
    int columns_ = 0;
    double columnWidth_ = 0;
};

class TtestBand : public TlyrReportComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TtestBand(QObject *owner = nullptr) : TlyrReportComponent(owner) {}
    bool IsBand() const override { return true; }
};

// Registers the stand-ins (once).
void RegisterTestObjects();

// An engine that builds nothing; tests override what they watch.
class NullEngine : public TlyrCustomEngine {
public:
    using TlyrCustomEngine::TlyrCustomEngine;
    void EndPage() override {}
    void NewColumn() override {}
    void NewPage() override {}
    void ShowBand(TlyrComponent *) override {}
    void ShowBand(const QMetaObject *) override {}
    double HeaderHeight() override { return 0; }
    double FooterHeight() override { return 0; }
    double FreeSpace() override { return 0; }
    KsValue GetAggregateValue(const QString &, const QString &, TlyrComponent *, int) override { return KsValue(0); }
    bool Run() override { return true; }
};
