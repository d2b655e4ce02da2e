#pragma once
// The member list "会员查询": twelve filters over the live members, counts
// and sums, the title sort, the export, and a popup that opens the windows
// of one member (each gated by the user's right to its menu item), enables,
// disables and deletes ("注销") members.

#include "core/ListFrame.h"
#include "platform/excel/exportlayout.h"

#include <functional>

class QAction;
class QCheckBox;
class QLineEdit;
namespace ui {
class LookupComboBox;
}

class TfrmMember_M : public velmora::TListFrame {
    Q_OBJECT
public:
    explicit TfrmMember_M(QWidget *parent = nullptr);
    ~TfrmMember_M() override;

    // Filters in the order their pieces are appended.
    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBox4, *CheckBox5, *CheckBox6, *CheckBox7, *CheckBox8,
            *CheckBox9, *CheckBox10, *CheckBox11, *CheckBox12;
    ui::LookupComboBox *DBLookupComboBox1;     // 会员分类
    QLineEdit *Edit1;                          // 会员卡号
    QLineEdit *Edit2;                          // 会员姓名 (or the pinyin code's start)
    ui::LookupComboBox *DBLookupComboBox2;     // 会员性别
    QLineEdit *Edit3, *Edit4, *Edit5, *Edit6;  // 联系方式, 介绍人, 联系地址, 备注
    ui::LookupComboBox *DBLookupComboBox3;     // 录入人
    QLineEdit *Edit7, *Edit8, *Edit9;          // 体貌特征, 爱好, 车牌

    // Popup, in order.
    QAction *C1, *F1, *N2, *F2, *N4, *F3, *N6, *M1, *Y1, *P1, *J1, *Z1, *Q1, *T1, *D1;

    void C1Click();  // card number to the clipboard
    void F1Click();  // 消费录入
    void N2Click();  // 查看消费记录
    void F2Click();  // 储值录入
    void N4Click();  // 查看储值记录
    void F3Click();  // 兑换录入
    void N6Click();  // 查看兑换记录
    void M1Click();  // 修改
    void Y1Click();  // 修改拼音码
    void P1Click();  // 密码管理
    void J1Click();  // 纪念日管理
    void Z1Click();  // 增加积分
    void Q1Click();  // 启用
    void T1Click();  // 停用
    void D1Click();  // 注销

    // Whether the user holds the main menu item of a number ("200");
    // by default the main window's item is visible.  Replaceable (tests).
    std::function<bool(const QString &mnum)> hasRight;

private:
    // Runs the window registered for one member when the right is held.
    void openForCard(const QString &mnum, const QString &key);
    // The list window of a menu item, opened on the selected card.
    void listForCard(const QString &mnum);
};

namespace members {
excel::ExportLayout memberListLayout();
}
