#pragma once
// Birthday and anniversary reminders: TfrmSRTX "生日提醒" lists the members
// whose solar or lunar birthday falls in a month-day range, TfrmJNRTX
// "纪念日提醒" the anniversaries in a range; a range whose start comes after
// its end runs across the new year.  TfrmSound "提醒声音设置" replaces the
// reminder sound.  TfrmM_Q "会员清零" resets counters of the members listed.

#include "core/ListFrame.h"
#include "platform/excel/exportlayout.h"
#include "platform/ui/form.h"

#include <memory>

class QAction;
class QCheckBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QRadioButton;
namespace ui {
class LookupComboBox;
}
namespace vplatform {
class SoundPlayer;
}

namespace members {
// " AND (Mid(column,6,5) Between from AND to)", or both ends of the year
// when from comes after to; empty dates never match.
void monthDayRange(velmora::ListWhere &w, const QString &column, const QString &from, const QString &to);
excel::ExportLayout birthdayListLayout();
excel::ExportLayout anniversaryListLayout();
}  // namespace members

class TfrmSRTX : public velmora::TListFrame {
    Q_OBJECT
public:
    explicit TfrmSRTX(QWidget *parent = nullptr);

    QDateEdit *DateTimePicker1, *DateTimePicker2;
    QRadioButton *RadioButton1, *RadioButton2;  // 公历生日, 农历生日
    QAction *V1;

    void RadioButton1Click();
    void RadioButton2Click();
    void V1Click();
    // The start-up reminder: today's solar or lunar birthdays, no radio ticked.
    void showToday();

protected:
    bool filtersValid() override;
    void baseCondition(velmora::ListWhere &w) override;

private:
    bool m_today = false;
    QString m_orderColumn = QStringLiteral("theBir");
};

class TfrmJNRTX : public velmora::TListFrame {
    Q_OBJECT
public:
    explicit TfrmJNRTX(QWidget *parent = nullptr);

    QDateEdit *DateTimePicker1, *DateTimePicker2;
    QAction *V1;

    void myRef() { BitBtn1Click(); }
    void V1Click();
    // The start-up reminder: both dates on the business date.
    void showToday();

protected:
    bool filtersValid() override;
    void baseCondition(velmora::ListWhere &w) override;
};

class TfrmSound : public ui::Form {
    Q_OBJECT
public:
    // folder: the program's folder, ending in "/".
    explicit TfrmSound(const QString &folder, QWidget *parent = nullptr);
    ~TfrmSound() override;

    QLineEdit *Edit1;                          // the current sound
    QLineEdit *Edit2;                          // the chosen one
    QPushButton *Button1, *Button2, *Button3;  // 播放, 打开, 试听
    QPushButton *BitBtn1, *BitBtn2;            // 替换, 退出

    void Button1Click();
    void Button2Click();
    void Button3Click();
    void BitBtn1Click();

private:
    // Plays the file, or says why it cannot.
    void playOrSay(const QString &path);
    std::unique_ptr<vplatform::SoundPlayer> m_player;
};

class TfrmM_Q : public velmora::TListFrame {
    Q_OBJECT
public:
    explicit TfrmM_Q(QWidget *parent = nullptr);

    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBox4, *CheckBox5, *CheckBox6, *CheckBox7, *CheckBox8;
    ui::LookupComboBox *DBLookupComboBox1, *DBLookupComboBox2, *DBLookupComboBox3;
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit5;
    QAction *J1, *C1, *E1, *N1, *Z1;

    void J1Click();
    void C1Click();
    void E1Click();
    void N1Click();
    void Z1Click();

private:
    // Asks, then sets the column for every member of the last query.
    void reset(const QString &what, const QString &assignment);
};
