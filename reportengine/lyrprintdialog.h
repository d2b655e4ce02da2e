#pragma once
// The print dialog: printer, pages, copies, print mode and sheet, odd/even
// pages, order and duplex for one print job of a report. OK writes the
// choices into the report's PrintOptions (and the printer's output file
// when printing to a file); Cancel changes nothing.

#include "platform/ui/form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <functional>

class TlyrReport;
class TlyrPreviewPages;

class TlyrPrintDialog : public ui::Form {
    Q_OBJECT
public:
    TlyrPrintDialog(TlyrReport *report, TlyrPreviewPages *pages, QWidget *parent = nullptr);

    QComboBox *PrintersCB;
    QLabel *WhereL1;
    QPushButton *PropButton;
    QCheckBox *FileCB;
    QRadioButton *AllRB, *CurPageRB, *PageNumbersRB;
    QLineEdit *PageNumbersE;
    QLabel *DescrL;
    // Digits only, at least 1; its arrows are the up-down control.
    QSpinBox *CopiesE;
    QSpinBox *UpDown1;
    QCheckBox *CollateCB;
    // The collated or uncollated picture; a click toggles CollateCB.
    QPushButton *CopiesPB;
    QComboBox *PrintModeCB;
    QComboBox *PagPageSizeCB;
    QComboBox *PrintPagesCB;
    QComboBox *OrderCB;
    QComboBox *DuplexCB;
    QPushButton *OkB, *CancelB;

    // The duplex choice of the last OK: 0 the pages' own, 1-3 vertical,
    // horizontal, simplex.
    int DuplexOverride = 0;
    // Asks for the output file; empty when cancelled. Replaceable in tests.
    std::function<QString(QWidget *parent)> AskFileName;

    void FormShow() override;
    void PrintersCBClick();
    void PrintModeCBChange();
    void PageNumbersEEnter();
    void PageNumbersRBClick();
    void CopiesPBClick();
    void CollateCBClick();
    void OkBClick();
    void CancelBClick();
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // F1 asks for the dialog's help topic (nothing shows without a viewer).
    void keyPressEvent(QKeyEvent *e) override;

private:
    void drawCopiesPicture();
    TlyrReport *report_;
    TlyrPreviewPages *pages_;
    int savedPrinter_ = -1;
    QString savedSheet_;
};
