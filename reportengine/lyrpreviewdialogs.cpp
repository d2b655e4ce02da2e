#include "reportengine/lyrpreviewdialogs.h"

#include "platform/ui/application.h"
#include "platform/ui/messages.h"
#include "report/lyrclass.h"
#include "report/lyrpage.h"
#include "report/lyrres.h"
#include "reportengine/lyrprogress.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QPainter>
#include <QSettings>
#include <QVBoxLayout>

namespace {

QString res(int id)
{
    return lyrResources().GetByNumber(id);
}

QString res(const char *id)
{
    return lyrResources().Get(QString::fromLatin1(id));
}

// OK and Cancel at the foot of a dialog; Enter is OK, Esc cancels.
void addOkCancel(ui::Form *form, QVBoxLayout *layout, QPushButton *&ok, QPushButton *&cancel)
{
    layout->addLayout(lyrOkCancelRow(form, ok, cancel));
    QObject::connect(ok, &QPushButton::clicked, form, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, form, &QDialog::reject);
}

// F1: the library's help page of the dialog.
bool helpKey(QKeyEvent *e, const char *className)
{
    if (e->key() != Qt::Key_F1 || e->modifiers() != Qt::NoModifier) return false;
    lyrResources().Help(QString::fromLatin1(className));
    return true;
}

// A sheet with lines of text, the picture of an orientation.
QPixmap sheetPicture(QSize sheet)
{
    QPixmap pm(sheet.width() + 1, sheet.height() + 1);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(0, 0, sheet.width(), sheet.height());
    p.setPen(Qt::gray);
    for (int y = 6; y < sheet.height() - 4; y += 4) p.drawLine(5, y, sheet.width() - 5, y);
    return pm;
}

}  // namespace

// ---------------------------------------------------------------- search

QString &TlyrSearchDialog::LastText()
{
    static QString text;
    return text;
}

TlyrSearchDialog::TlyrSearchDialog(QWidget *parent) : ui::Form(parent)
{
    setWindowTitle(res(300));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(res(301), this));
    TextE = new QLineEdit(this);
    layout->addWidget(TextE);
    ReplacePanel = new QWidget(this);
    auto *rl = new QVBoxLayout(ReplacePanel);
    rl->setContentsMargins(0, 0, 0, 0);
    ReplaceL = new QLabel(res(303), ReplacePanel);
    ReplaceE = new QLineEdit(ReplacePanel);
    rl->addWidget(ReplaceL);
    rl->addWidget(ReplaceE);
    ReplacePanel->hide();
    layout->addWidget(ReplacePanel);
    auto *options = new QGroupBox(res(302), this);
    auto *ol = new QVBoxLayout(options);
    TopCB = new QCheckBox(res(304), options);
    CaseCB = new QCheckBox(res(305), options);
    ol->addWidget(TopCB);
    ol->addWidget(CaseCB);
    layout->addWidget(options);
    addOkCancel(this, layout, OkB, CancelB);
    setInitialFocus(TextE);
}

void TlyrSearchDialog::keyPressEvent(QKeyEvent *e)
{
    if (!helpKey(e, "TlyrSearchDialog")) ui::Form::keyPressEvent(e);
}

void TlyrSearchDialog::FormShow()
{
    TextE->setText(LastText());
    TextE->setFocus();
    TextE->selectAll();
}

void TlyrSearchDialog::done(int result)
{
    if (result == QDialog::Accepted) LastText() = TextE->text();
    ui::Form::done(result);
}

// ---------------------------------------------------------------- page settings

QList<int> TlyrPageSettingsForm::PaperNumbers() const
{
    QList<int> out;
    for (const TlyrNamedCode &p : papers_) out << p.Code;
    return out;
}

int TlyrPageSettingsForm::chosenPaper() const
{
    const int i = SizeCB->currentIndex();
    return i >= 0 && i < static_cast<int>(papers_.size()) ? papers_[static_cast<size_t>(i)].Code : lyrCustomPaper;
}

TlyrPageSettingsForm::TlyrPageSettingsForm(QWidget *parent) : ui::Form(parent)
{
    setWindowTitle(res(400));
    auto *layout = new QVBoxLayout(this);
    auto unitLabel = [this] { return new QLabel(this); };

    auto *paper = new QGroupBox(res(403), this);
    auto *pl = new QGridLayout(paper);
    SizeCB = new QComboBox(paper);
    // The current printer's papers, its custom entry first: typing a size
    // picks that one.
    if (TlyrCustomPrinter *printer = lyrPrinters().Printer()) papers_ = printer->Papers;
    if (papers_.empty() || papers_.front().Code != lyrCustomPaper)
        papers_.insert(papers_.begin(), {res("prCustom"), lyrCustomPaper});
    for (const TlyrNamedCode &p : papers_) SizeCB->addItem(p.Name);
    pl->addWidget(SizeCB, 0, 0, 1, 3);
    WidthE = new QLineEdit(paper);
    HeightE = new QLineEdit(paper);
    UnitL1 = unitLabel();
    UnitL2 = unitLabel();
    pl->addWidget(new QLabel(res(401), paper), 1, 0);
    pl->addWidget(WidthE, 1, 1);
    pl->addWidget(UnitL1, 1, 2);
    pl->addWidget(new QLabel(res(402), paper), 2, 0);
    pl->addWidget(HeightE, 2, 1);
    pl->addWidget(UnitL2, 2, 2);
    layout->addWidget(paper);

    auto *orientation = new QGroupBox(res(404), this);
    auto *ol = new QGridLayout(orientation);
    PortraitRB = new QRadioButton(res(410), orientation);
    LandscapeRB = new QRadioButton(res(411), orientation);
    PortraitImg = new QLabel(orientation);
    PortraitImg->setPixmap(sheetPicture(QSize(30, 40)));
    LandscapeImg = new QLabel(orientation);
    LandscapeImg->setPixmap(sheetPicture(QSize(40, 30)));
    for (QLabel *l : {PortraitImg, LandscapeImg}) l->setFixedSize(44, 44);
    ol->addWidget(PortraitRB, 0, 0);
    ol->addWidget(LandscapeRB, 1, 0);
    ol->addWidget(PortraitImg, 0, 1, 2, 1);
    ol->addWidget(LandscapeImg, 0, 1, 2, 1);
    layout->addWidget(orientation);

    auto *margins = new QGroupBox(res(409), this);
    auto *ml = new QGridLayout(margins);
    MarginLeftE = new QLineEdit(margins);
    MarginTopE = new QLineEdit(margins);
    MarginRightE = new QLineEdit(margins);
    MarginBottomE = new QLineEdit(margins);
    UnitL3 = unitLabel();
    UnitL4 = unitLabel();
    UnitL5 = unitLabel();
    UnitL6 = unitLabel();
    const struct {
        int Id;
        QLineEdit *Edit;
        QLabel *Unit;
    } rows[] = {{405, MarginLeftE, UnitL3},
                {406, MarginTopE, UnitL4},
                {407, MarginRightE, UnitL5},
                {408, MarginBottomE, UnitL6}};
    int r = 0;
    for (const auto &row : rows) {
        ml->addWidget(new QLabel(res(row.Id), margins), r, 0);
        ml->addWidget(row.Edit, r, 1);
        ml->addWidget(row.Unit, r, 2);
        ++r;
    }
    layout->addWidget(margins);

    ApplyToCurRB = new QRadioButton(res(413), this);
    ApplyToAllRB = new QRadioButton(res(414), this);
    // Their own group: by parent alone they would share one with the
    // orientation buttons further down the form's tree.
    auto *apply = new QButtonGroup(this);
    apply->addButton(ApplyToCurRB);
    apply->addButton(ApplyToAllRB);
    ApplyToCurRB->setChecked(true);
    layout->addWidget(ApplyToCurRB);
    layout->addWidget(ApplyToAllRB);

    addOkCancel(this, layout, OKB, CancelB);

    ui::on(PortraitRB, &QRadioButton::clicked, this, [this] { OrientationClick(); });
    ui::on(LandscapeRB, &QRadioButton::clicked, this, [this] { OrientationClick(); });
    ui::on(SizeCB, &QComboBox::currentIndexChanged, this, [this] { SizeChange(); });
    ui::on(WidthE, &QLineEdit::textEdited, this, [this] { SizeTyped(); });
    ui::on(HeightE, &QLineEdit::textEdited, this, [this] { SizeTyped(); });
}

void TlyrPageSettingsForm::keyPressEvent(QKeyEvent *e)
{
    if (!helpKey(e, "TlyrPageSettingsForm")) ui::Form::keyPressEvent(e);
}

QString TlyrPageSettingsForm::toUnit(double mm) const
{
    // With "." whatever the locale, and no trailing zeros.
    QString s = QString::number(Unit == 1 ? mm / 25.4 : mm / 10, 'f', 2);
    while (s.contains(QLatin1Char('.')) && (s.endsWith(QLatin1Char('0')) || s.endsWith(QLatin1Char('.')))) s.chop(1);
    return s;
}

bool TlyrPageSettingsForm::fromUnit(const QLineEdit *edit, double &mm) const
{
    try {
        const double v = lyrStrToFloat(edit->text());
        mm = Unit == 1 ? v * 25.4 : v * 10;
        return mm >= 0;
    } catch (const std::exception &) {
        return false;
    }
}

void TlyrPageSettingsForm::SetPage(TlyrReportPage *page, TlyrReport *report)
{
    Page = page;
    Report = report;
    updating_ = true;
    Unit = 0;
    if (report) {
        if (auto ini = report->GetIniFile())
            Unit = ini->value(QStringLiteral("Form.TlyrDesignerForm/Units"), 0).toInt();
    }
    const QString unitText = Unit == 1 ? res("uInch") : res("uCm");
    for (QLabel *l : {UnitL1, UnitL2, UnitL3, UnitL4, UnitL5, UnitL6}) l->setText(unitText);
    // A size the printer does not know is the custom entry.
    const int index = PaperNumbers().indexOf(page->PaperSize());
    SizeCB->setCurrentIndex(index < 0 ? 0 : index);
    WidthE->setText(toUnit(page->PaperWidth()));
    HeightE->setText(toUnit(page->PaperHeight()));
    MarginLeftE->setText(toUnit(page->LeftMargin()));
    MarginTopE->setText(toUnit(page->TopMargin()));
    MarginRightE->setText(toUnit(page->RightMargin()));
    MarginBottomE->setText(toUnit(page->BottomMargin()));
    const bool landscape = page->Orientation() == poLandscape;
    LandscapeRB->setChecked(landscape);
    PortraitRB->setChecked(!landscape);
    PortraitImg->setVisible(!landscape);
    LandscapeImg->setVisible(landscape);
    updating_ = false;
}

void TlyrPageSettingsForm::OrientationClick()
{
    PortraitImg->setVisible(PortraitRB->isChecked());
    LandscapeImg->setVisible(LandscapeRB->isChecked());
    if (updating_) return;
    if (chosenPaper() == lyrCustomPaper) {
        // A custom paper turned over: its sides change places.
        double w = 0, h = 0;
        if (!fromUnit(WidthE, w) || !fromUnit(HeightE, h)) return;
        const bool wide = w > h;
        if (wide != LandscapeRB->isChecked()) {
            updating_ = true;
            WidthE->setText(toUnit(h));
            HeightE->setText(toUnit(w));
            updating_ = false;
        }
        return;
    }
    SizeChange();
}

void TlyrPageSettingsForm::SizeChange()
{
    if (updating_) return;
    const int paper = chosenPaper();
    double w = 0, h = 0;
    // A custom size keeps what was typed, the right way round.
    if (paper == lyrCustomPaper || !lyrGetPaperDimensions(paper, w, h)) return;
    if (LandscapeRB->isChecked()) std::swap(w, h);
    updating_ = true;
    WidthE->setText(toUnit(w));
    HeightE->setText(toUnit(h));
    updating_ = false;
}

void TlyrPageSettingsForm::SizeTyped()
{
    if (updating_) return;
    updating_ = true;
    SizeCB->setCurrentIndex(0);
    updating_ = false;
}

bool TlyrPageSettingsForm::Apply()
{
    if (!Page) return false;
    double w = 0, h = 0, l = 0, t = 0, r = 0, b = 0;
    if (!fromUnit(WidthE, w) || !fromUnit(HeightE, h) || !fromUnit(MarginLeftE, l) || !fromUnit(MarginTopE, t) ||
        !fromUnit(MarginRightE, r) || !fromUnit(MarginBottomE, b) || w <= 0 || h <= 0)
        return false;
    const int paper = chosenPaper();
    Page->SetOrientation(LandscapeRB->isChecked() ? poLandscape : poPortrait);
    // The size first, then the number: the page's own list of papers is
    // shorter than the printer's, and keeps the size for a number it lacks.
    // A size typed or kept under the custom entry takes the number of the
    // standard paper it matches, so a paper the printer does not list (an
    // A3 page on an A4 printer) keeps its number.
    Page->SetPaperWidth(w);
    Page->SetPaperHeight(h);
    if (paper != lyrCustomPaper) Page->SetPaperSize(paper);
    Page->SetLeftMargin(l);
    Page->SetTopMargin(t);
    Page->SetRightMargin(r);
    Page->SetBottomMargin(b);
    Page->AlignChildren();
    return true;
}

void TlyrPageSettingsForm::done(int result)
{
    if (result == QDialog::Accepted && !Apply()) {
        ui::warning(lyrResources().Get(QStringLiteral("clExprError")));
        return;
    }
    ui::Form::done(result);
}
