#pragma once
// The find dialog and the page settings dialog of the preview.

#include "platform/ui/form.h"
#include "reportengine/lyrprinter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <vector>

class TlyrReport;
class TlyrReportPage;

class TlyrSearchDialog : public ui::Form {
    Q_OBJECT
public:
    explicit TlyrSearchDialog(QWidget *parent = nullptr);

    QLineEdit *TextE;
    QCheckBox *CaseCB;
    QCheckBox *TopCB;
    QPushButton *OkB;
    QPushButton *CancelB;
    QWidget *ReplacePanel;
    QLabel *ReplaceL;
    QLineEdit *ReplaceE;

    void FormShow() override;
    void done(int result) override;

    // The text of the last search, kept for the whole run.
    static QString &LastText();

protected:
    void keyPressEvent(QKeyEvent *e) override;
};

class TlyrPageSettingsForm : public ui::Form {
    Q_OBJECT
public:
    explicit TlyrPageSettingsForm(QWidget *parent = nullptr);

    QComboBox *SizeCB;
    QLineEdit *WidthE;
    QLineEdit *HeightE;
    QRadioButton *PortraitRB;
    QRadioButton *LandscapeRB;
    QLabel *PortraitImg;
    QLabel *LandscapeImg;
    QLineEdit *MarginLeftE;
    QLineEdit *MarginTopE;
    QLineEdit *MarginRightE;
    QLineEdit *MarginBottomE;
    QRadioButton *ApplyToCurRB;
    QRadioButton *ApplyToAllRB;
    QLabel *UnitL1, *UnitL2, *UnitL3, *UnitL4, *UnitL5, *UnitL6;
    QPushButton *OKB;
    QPushButton *CancelB;

    TlyrReportPage *Page = nullptr;
    TlyrReport *Report = nullptr;
    // 0 cm, 1 inch, 2 pixels, 3 characters (the last two shown as cm).
    int Unit = 0;

    // Fills the fields from the page (and the unit from the report's settings).
    void SetPage(TlyrReportPage *page, TlyrReport *report);
    void OrientationClick();
    void SizeChange();
    void SizeTyped();
    // Writes the fields back to the page; false (and nothing written) when a
    // number cannot be read.
    bool Apply();
    void done(int result) override;

    // Paper numbers in the order of SizeCB (the current printer's papers).
    QList<int> PaperNumbers() const;

protected:
    void keyPressEvent(QKeyEvent *e) override;

private:
    QString toUnit(double mm) const;
    bool fromUnit(const QLineEdit *edit, double &mm) const;
    int chosenPaper() const;
    bool updating_ = false;
    std::vector<TlyrNamedCode> papers_;
};
