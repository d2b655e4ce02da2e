#include "reportengine/lyrprintdialog.h"

#include "platform/ui/messages.h"
#include "platform/ui/application.h"
#include "report/lyrclass.h"
#include "report/lyrres.h"
#include "report/lyrutils.h"
#include "reportengine/lyrpreviewpages.h"
#include "reportengine/lyrprinter.h"
#include "reportengine/lyrprogress.h"

#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace {

QString res(const char *id)
{
    return lyrResources().Get(QString::fromLatin1(id));
}

QString resN(int n)
{
    return lyrResources().GetByNumber(n);
}

// The printer glyph of the preview's print button; none when the
// resource strip cannot be read.
QIcon printerGlyph()
{
    try {
        TlyrImageList &images = lyrResources().PreviewButtonImages();
        if (images.Count() > 2) return QIcon(QPixmap::fromImage(images.Image(2)));
    } catch (const std::exception &) {}
    return {};
}

// Pictures of the print modes: a page on a sheet, a page over two
// sheets, four pages on a sheet, a small page grown to the sheet.
QIcon printModeGlyph(int mode)
{
    QPixmap pm(24, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    const QColor page(90, 130, 200);
    switch (mode) {
    case 1:
        p.drawRect(1, 2, 10, 13);
        p.drawRect(12, 2, 10, 13);
        p.fillRect(4, 5, 16, 8, page);
        break;
    case 2:
        p.drawRect(6, 1, 11, 14);
        for (int i = 0; i < 4; ++i) p.fillRect(8 + (i % 2) * 4, 3 + (i / 2) * 6, 3, 4, page);
        break;
    case 3:
        p.drawRect(6, 1, 11, 14);
        p.fillRect(8, 3, 8, 11, page);
        p.setPen(Qt::white);
        p.drawLine(9, 12, 14, 5);
        break;
    default:
        p.drawRect(6, 1, 11, 14);
        p.fillRect(8, 3, 8, 11, page);
        break;
    }
    p.end();
    return QIcon(pm);
}

}  // namespace

TlyrPrintDialog::TlyrPrintDialog(TlyrReport *report, TlyrPreviewPages *pages, QWidget *parent)
    : ui::Form(parent), report_(report), pages_(pages)
{
    setObjectName(QStringLiteral("TlyrPrintDialog"));
    setWindowTitle(resN(200));
    auto *root = new QVBoxLayout(this);

    auto *printerBox = new QGroupBox(resN(201), this);
    auto *pg = new QGridLayout(printerBox);
    PrintersCB = new QComboBox(printerBox);
    PropButton = new QPushButton(resN(209), printerBox);
    // The print server offers no properties dialog of its drivers.
    PropButton->setEnabled(false);
    WhereL1 = new QLabel(printerBox);
    FileCB = new QCheckBox(resN(210), printerBox);
    pg->addWidget(new QLabel(resN(212), printerBox), 0, 0);
    pg->addWidget(PrintersCB, 0, 1);
    pg->addWidget(PropButton, 0, 2);
    pg->addWidget(new QLabel(resN(208), printerBox), 1, 0);
    pg->addWidget(WhereL1, 1, 1);
    pg->addWidget(FileCB, 1, 2);
    root->addWidget(printerBox);

    auto *middle = new QHBoxLayout;
    auto *pagesBox = new QGroupBox(resN(202), this);
    auto *pl = new QGridLayout(pagesBox);
    AllRB = new QRadioButton(resN(3), pagesBox);
    AllRB->setChecked(true);
    CurPageRB = new QRadioButton(resN(4), pagesBox);
    PageNumbersRB = new QRadioButton(resN(5), pagesBox);
    PageNumbersE = new QLineEdit(pagesBox);
    DescrL = new QLabel(resN(9), pagesBox);
    DescrL->setWordWrap(true);
    pl->addWidget(AllRB, 0, 0, 1, 2);
    pl->addWidget(CurPageRB, 1, 0, 1, 2);
    pl->addWidget(PageNumbersRB, 2, 0);
    pl->addWidget(PageNumbersE, 2, 1);
    pl->addWidget(DescrL, 3, 0, 1, 2);
    middle->addWidget(pagesBox);

    auto *copiesBox = new QGroupBox(resN(205), this);
    auto *cl = new QGridLayout(copiesBox);
    CopiesE = new QSpinBox(copiesBox);
    CopiesE->setRange(1, 9999);
    UpDown1 = CopiesE;
    CollateCB = new QCheckBox(resN(204), copiesBox);
    CollateCB->setChecked(true);
    CopiesPB = new QPushButton(copiesBox);
    CopiesPB->setFlat(true);
    CopiesPB->setIconSize(QSize(96, 40));
    cl->addWidget(new QLabel(resN(203), copiesBox), 0, 0);
    cl->addWidget(CopiesE, 0, 1);
    cl->addWidget(CopiesPB, 1, 0);
    cl->addWidget(CollateCB, 1, 1);
    middle->addWidget(copiesBox);
    root->addLayout(middle);

    auto *otherBox = new QGroupBox(resN(207), this);
    auto *ol = new QGridLayout(otherBox);
    PrintModeCB = new QComboBox(otherBox);
    PrintModeCB->setIconSize(QSize(24, 16));
    for (const char *id : {"pmDefault", "pmSplit", "pmJoin", "pmScale"})
        PrintModeCB->addItem(printModeGlyph(PrintModeCB->count()), res(id));
    PagPageSizeCB = new QComboBox(otherBox);
    PrintPagesCB = new QComboBox(otherBox);
    for (const char *id : {"ppAll", "ppOdd", "ppEven"}) PrintPagesCB->addItem(res(id));
    OrderCB = new QComboBox(otherBox);
    for (const char *id : {"poDirect", "poReverse"}) OrderCB->addItem(res(id));
    DuplexCB = new QComboBox(otherBox);
    for (const char *id : {"dupDefault", "dupVert", "dupHorz", "dupSimpl"}) DuplexCB->addItem(res(id));
    ol->addWidget(new QLabel(resN(213), otherBox), 0, 0);
    ol->addWidget(PrintModeCB, 0, 1);
    ol->addWidget(new QLabel(resN(214), otherBox), 1, 0);
    ol->addWidget(PagPageSizeCB, 1, 1);
    ol->addWidget(new QLabel(resN(206), otherBox), 2, 0);
    ol->addWidget(PrintPagesCB, 2, 1);
    ol->addWidget(new QLabel(resN(211), otherBox), 3, 0);
    ol->addWidget(OrderCB, 3, 1);
    ol->addWidget(new QLabel(resN(216), otherBox), 4, 0);
    ol->addWidget(DuplexCB, 4, 1);
    root->addWidget(otherBox);

    root->addLayout(lyrOkCancelRow(this, OkB, CancelB));

    TlyrPrinters &printers = lyrPrinters();
    const QIcon printerIcon = printerGlyph();
    for (const QString &name : printers.PrinterNames()) PrintersCB->addItem(printerIcon, name);
    savedPrinter_ = printers.PrinterIndex();
    PrintersCB->setCurrentIndex(savedPrinter_);
    PrintersCBClick();
    drawCopiesPicture();
    PageNumbersE->installEventFilter(this);

    ui::on(PrintersCB, qOverload<int>(&QComboBox::activated), this, [this] { PrintersCBClick(); });
    ui::on(PrintModeCB, qOverload<int>(&QComboBox::activated), this, [this] { PrintModeCBChange(); });
    ui::on(PageNumbersRB, &QRadioButton::clicked, this, [this] { PageNumbersRBClick(); });
    ui::on(CopiesPB, &QPushButton::clicked, this, [this] { CopiesPBClick(); });
    ui::on(CollateCB, &QCheckBox::toggled, this, [this] { CollateCBClick(); });
    ui::on(OkB, &QPushButton::clicked, this, [this] { OkBClick(); });
    ui::on(CancelB, &QPushButton::clicked, this, [this] { CancelBClick(); });
    AskFileName = [](QWidget *p) {
        return QFileDialog::getSaveFileName(p, resN(200), QString(),
                                            res("510").section(u'|', 0, 0) + QStringLiteral(" (*.prn)"));
    };
}

bool TlyrPrintDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == PageNumbersE && event->type() == QEvent::FocusIn) PageNumbersEEnter();
    return ui::Form::eventFilter(watched, event);
}

void TlyrPrintDialog::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_F1) {
        lyrResources().Help(QStringLiteral("TlyrPrintDialog"));
        return;
    }
    ui::Form::keyPressEvent(e);
}

void TlyrPrintDialog::FormShow()
{
    const TlyrPrintOptions &o = *report_->PrintOptions();
    CopiesE->setValue(o.Copies < 1 ? 1 : o.Copies);
    CollateCB->setChecked(o.Collate);
    PageNumbersE->setText(o.PageNumbers);
    if (!o.PageNumbers.isEmpty()) PageNumbersRB->setChecked(true);
    PrintPagesCB->setCurrentIndex(static_cast<int>(o.PrintPages));
    OrderCB->setCurrentIndex(o.Reverse ? 1 : 0);
    PrintModeCB->setCurrentIndex(static_cast<int>(o.PrintMode));
    PagPageSizeCB->setEnabled(o.PrintMode != TlyrPrintOptions::pmDefault);
    // One page a sheet prints on each page's own paper: the box says so.
    if (o.PrintMode == TlyrPrintOptions::pmDefault) PagPageSizeCB->setCurrentIndex(0);
    if (o.PrintMode != TlyrPrintOptions::pmDefault) {
        TlyrCustomPrinter *p = lyrPrinters().Printer();
        const int i = p ? p->PaperIndex(o.PrintOnSheet) : -1;
        // Papers[0] is the custom entry, which the box leaves out.
        PagPageSizeCB->setCurrentIndex(i > 0 ? i : 0);
    }
    drawCopiesPicture();
}

void TlyrPrintDialog::PrintersCBClick()
{
    TlyrPrinters &printers = lyrPrinters();
    printers.SetPrinterIndex(PrintersCB->currentIndex());
    TlyrCustomPrinter *p = printers.Printer();
    WhereL1->setText(p ? p->Port : QString());
    const QString chosen = PagPageSizeCB->currentText();
    PagPageSizeCB->clear();
    PagPageSizeCB->addItem(res("pgDefault"));
    if (p)
        for (const TlyrNamedCode &paper : p->Papers)
            if (paper.Code != lyrCustomPaper) PagPageSizeCB->addItem(paper.Name);
    const int again = PagPageSizeCB->findText(chosen);
    PagPageSizeCB->setCurrentIndex(again > 0 ? again : 0);
}

void TlyrPrintDialog::PrintModeCBChange()
{
    if (PrintModeCB->currentIndex() == 0) {
        PagPageSizeCB->setCurrentIndex(0);
        PagPageSizeCB->setEnabled(false);
        return;
    }
    PagPageSizeCB->setEnabled(true);
    if (PagPageSizeCB->currentIndex() == 0) {
        TlyrCustomPrinter *p = lyrPrinters().Printer();
        const int a4 = p ? p->PaperIndex(9) : -1;
        if (a4 > 0) PagPageSizeCB->setCurrentIndex(PagPageSizeCB->findText(p->Papers[static_cast<size_t>(a4)].Name));
    }
}

void TlyrPrintDialog::PageNumbersEEnter()
{
    PageNumbersRB->setChecked(true);
}

void TlyrPrintDialog::PageNumbersRBClick()
{
    PageNumbersE->setFocus();
}

void TlyrPrintDialog::CopiesPBClick()
{
    CollateCB->setChecked(!CollateCB->isChecked());
}

void TlyrPrintDialog::CollateCBClick()
{
    drawCopiesPicture();
}

void TlyrPrintDialog::drawCopiesPicture()
{
    // Two copies of pages 1-2-3: collated 123 123, uncollated 11 22 33.
    QPixmap pm(96, 40);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    const bool collate = CollateCB->isChecked();
    const int order[2][6] = {{1, 2, 3, 1, 2, 3}, {1, 1, 2, 2, 3, 3}};
    for (int i = 0; i < 6; ++i) {
        const QRect r(i * 15 + (i / 3) * 6, 6 + (i % 2) * 4, 12, 26);
        p.setBrush(Qt::white);
        p.setPen(Qt::black);
        p.drawRect(r);
        p.drawText(r, Qt::AlignCenter, QString::number(order[collate ? 0 : 1][i]));
    }
    p.end();
    CopiesPB->setIcon(QIcon(pm));
}

void TlyrPrintDialog::OkBClick()
{
    if (PageNumbersRB->isChecked()) {
        // A range text that does not read is refused here, not when the
        // pages are printed.
        QStringList list;
        bool ok = true;
        try {
            lyrParsePageNumbers(PageNumbersE->text(), list, 0);
        } catch (const std::exception &) {
            ok = false;
        }
        if (!ok || PageNumbersE->text().trimmed().isEmpty()) {
            ui::showMessage(resN(9), this);
            PageNumbersE->setFocus();
            return;
        }
    }
    TlyrCustomPrinter *printer = lyrPrinters().Printer();
    if (printer) printer->FileName.clear();
    if (FileCB->isChecked()) {
        QString name = AskFileName ? AskFileName(this) : QString();
        if (name.isEmpty()) {
            reject();
            return;
        }
        const QFileInfo fi(name);
        name = fi.path() + QLatin1Char('/') + fi.completeBaseName() + QStringLiteral(".prn");
        if (printer) printer->FileName = name;
    }
    TlyrPrintOptions &o = *report_->PrintOptions();
    o.Copies = CopiesE->value();
    o.Collate = CollateCB->isChecked();
    if (AllRB->isChecked())
        o.PageNumbers.clear();
    else if (CurPageRB->isChecked())
        o.PageNumbers = QString::number(pages_ ? pages_->CurPreviewPage : 1);
    else
        o.PageNumbers = PageNumbersE->text();
    o.PrintPages = static_cast<TlyrPrintOptions::TlyrPrintPages>(PrintPagesCB->currentIndex());
    DuplexOverride = DuplexCB->currentIndex();
    o.Reverse = OrderCB->currentIndex() == 1;
    o.PrintMode = static_cast<TlyrPrintOptions::PrintModeKind>(PrintModeCB->currentIndex());
    o.PrintOnSheet = printer ? printer->PaperNameToCode(PagPageSizeCB->currentText()) : lyrCustomPaper;
    accept();
}

void TlyrPrintDialog::CancelBClick()
{
    reject();
}

// Every way out without printing (Cancel, Esc, the close box, a file name
// not given) puts the printer chosen before back.
void TlyrPrintDialog::reject()
{
    lyrPrinters().SetPrinterIndex(savedPrinter_);
    ui::Form::reject();
}
