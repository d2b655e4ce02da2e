#pragma once
// The three import windows: members, goods and suppliers from sheet "Sheet1"
// of a workbook (.xls or .xlsx).  They share the whole build and the run of
// an import; each adds only what one sheet row becomes.
//
// An import runs in one transaction.  A cell that cannot be stored (a number
// that is not one, a date that is not one) stops the import at its row: the
// rows before it are kept and the message names the row and the column.  A
// database failure undoes the whole import.

#include "platform/excel/excelreader.h"
#include "platform/excel/excelsheet.h"
#include "platform/excel/excelsheetmodel.h"
#include "platform/ui/form.h"

#include <QStringList>
#include <atomic>
#include <functional>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;
namespace ui {
class LookupComboBox;
}

// Shown while a workbook is read: the reading runs on a thread of its own,
// so the program keeps answering, and "取消" (or Esc) stops it.
class TfrmReading : public ui::Form {
    Q_OBJECT
public:
    explicit TfrmReading(const QString &fileName, QWidget *parent = nullptr);
    QLabel *Label1 = nullptr;  // 正在读取 ...
    QProgressBar *ProgressBar1 = nullptr;
    QPushButton *BitBtn1 = nullptr;  // 取消

    using Reader = std::function<excel::ReadResult(const excel::ReadProgress &)>;
    // Shows the window, runs read on a worker thread and returns its result
    // once it ends (Cancelled when "取消" stopped it).
    excel::ReadResult run(const Reader &read);
    // "取消"
    void BitBtn1Click();
    bool cancelled() const { return m_cancelled; }
    void reject() override { BitBtn1Click(); }

    // Told each time a reading window has been shown; tests act on it there.
    static std::function<void(TfrmReading *)> &onShown();

private:
    std::atomic<bool> m_cancelled{false};
    std::atomic<int> m_percent{0};
};

class TfrmImport : public ui::Form {
    Q_OBJECT
public:
    QGroupBox *GroupBox1 = nullptr;  // 打开EXCEL文件
    QLabel *Label1 = nullptr;        // the hint naming the header order
    QPushButton *BitBtn1 = nullptr;  // 打开
    QGroupBox *GroupBox2 = nullptr;  // EXCEL数据
    QTableView *DBGrid1 = nullptr;
    QPushButton *BitBtn2 = nullptr;  // 导入
    QPushButton *BitBtn3 = nullptr;  // 退出
    excel::SheetModel ExcelData;

    // "打开": asks for a workbook, then myOpen.
    void BitBtn1Click();
    // Reads the workbook's Sheet1 into the grid, showing the reading window;
    // false (after a message) when it cannot be read, leaving "导入"
    // disabled, and false without one when the user cancelled the reading,
    // leaving what was shown before.
    bool myOpen(const QString &path);
    // Shows an already read sheet, as myOpen does.
    void setSheet(const excel::Sheet &sheet);
    // "导入"
    void BitBtn2Click();
    // "退出"
    void BitBtn3Click() { reject(); }

    const excel::Sheet &sheet() const { return ExcelData.sheet(); }

    // The file chooser of "打开" (caption, filter); replaced in tests.
    using FileChooser = std::function<QString(QWidget *parent, const QString &caption, const QString &filter)>;
    static FileChooser &fileChooser();
    // What reads the workbook, on the reading window's thread; replaced in tests.
    using WorkbookReader = std::function<excel::ReadResult(const QString &path, const excel::ReadProgress &)>;
    static WorkbookReader &workbookReader();

protected:
    struct Layout {
        QString caption;  // window caption
        QString what;     // "会员" in "成功导入 会员 数据 n 条！"
        QString hint;
        QStringList headers;  // every header the import reads
        QList<int> widths;    // grid column widths
        QString endsAt;       // the column whose empty cell ends the import ("" none)
    };
    TfrmImport(const Layout &layout, QWidget *parent);
    // Room for the member window's type box, between the data and the buttons.
    void addPanel(QWidget *panel);

    // Checks made before anything is written; false after showing why.
    virtual bool myCheck() { return true; }
    enum class RowResult { Imported, Skipped, End };
    // Writes one row (0-based data row).  Throws RowStop before writing
    // anything when a cell cannot be stored; a row left out returns skip().
    virtual RowResult importRow(int row) = 0;
    // Notes why the row is left out (the cell and why), told when the
    // import ends; returns Skipped.
    RowResult skip(int row, const QString &header, const QString &why);
    // A row without the name that makes it one: skipped, unless nothing at
    // all is in it (an empty row between the data is no row to tell of).
    RowResult emptyName(int row, const QString &header);

    struct RowStop {
        QString message;
    };
    // Cell readers for importRow: the text trimmed; a number ("0" when empty)
    // checked as one, and as not below 0 unless signed; solar and lunar
    // dates as stored ("" when empty), a lunar month and day without a year
    // taking the year of solar.  A cell whose value the workbook does not
    // hold (a formula without its result, an error value) stops the row.
    QString text(int row, const QString &header) const;
    // A card number, phone or goods code: the text, refused when a number
    // cell has lost its digits (Excel keeps 15, and shows more in exponent
    // form), since no one could ever enter what would be stored.
    QString code(int row, const QString &header) const;
    enum class Sign { Any, NotNegative };
    QString number(int row, const QString &header, Sign sign = Sign::NotNegative) const;
    QString solarDate(int row, const QString &header) const;
    QString lunarDate(int row, const QString &header, const QString &solar) const;
    // The next generated card or goods code.  draw is the data module's
    // numbering (a count of the rows already stored, plus one, after a prefix
    // of prefixLength characters); it is asked once per import, and every
    // row imported since counts one further, as a new draw would.  A number
    // some row of table already holds is passed over.
    QString nextNumber(const std::function<QString()> &draw, const QString &table, int prefixLength);
    // Throws RowStop naming the row, the column and its cell.
    [[noreturn]] void stop(int row, const QString &header, const QString &why) const;
    // "第 4 行“积分”列（H4）"
    QString cellAt(int row, const QString &header) const;
    // What is told when the import ends at the row's empty endsAt cell.
    QString endedAt(int row) const;

private:
    Layout m_layout;
    QString m_drawn;  // the number the data module gave, "" before
    int m_importedSince = 0;
    QStringList m_skipped;  // why each row left out was, in sheet order
};

class TfrmIn_M : public TfrmImport {
    Q_OBJECT
public:
    explicit TfrmIn_M(QWidget *parent = nullptr);
    QGroupBox *GroupBox3 = nullptr;  // 会员类型
    ui::LookupComboBox *DBLookupComboBox1 = nullptr;

protected:
    bool myCheck() override;
    RowResult importRow(int row) override;

private:
    QString m_zk, m_jfbl;
};

class TfrmIn_S : public TfrmImport {
    Q_OBJECT
public:
    explicit TfrmIn_S(QWidget *parent = nullptr);

protected:
    RowResult importRow(int row) override;
};

class TfrmIn_G : public TfrmImport {
    Q_OBJECT
public:
    explicit TfrmIn_G(QWidget *parent = nullptr);

protected:
    RowResult importRow(int row) override;
};
