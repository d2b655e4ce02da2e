#pragma once
// Who may log in and what each user may open: the users list, one user's
// menu rights, and the change of one's own password.

#include "core/NameLists.h"

#include <QListWidget>

class TfrmUser : public TfrmNameList {
    Q_OBJECT
public:
    explicit TfrmUser(QWidget *parent = nullptr);
    ~TfrmUser() override;

    void L1Click();  // 权限管理

    QLabel *Label3, *Label4;  // the two hints
    QAction *L1;

    // The ID a new user gets: above every ID the table ever gave and every
    // user ID the rights hold, so a new user never takes over a deleted
    // user's ID or rights (also in databases whose ID column reuses numbers).
    static qint64 nextUserId(vdb::Connection &c);

protected:
    void insertRow(vdb::Connection &c, const QString &name, const QString &remark) override;
    void deleteRow(vdb::Connection &c, const QString &id) override;
    bool mayChange(const QString &name, const QString &action) override;
};

class TfrmLevel : public ui::Form {
    Q_OBJECT
public:
    explicit TfrmLevel(QWidget *parent = nullptr);
    ~TfrmLevel() override;

    // The user whose rights are edited: the captions and the hidden ID.
    void setUser(const QString &name, const QString &id);
    void FormShow() override;
    void BitBtn1Click();  // 保存

    QLabel *Label1;
    QGroupBox *GroupBox1;
    QListWidget *CheckListBox1;
    QLabel *Lab_UID;
    QPushButton *BitBtn1, *BitBtn2;

    // The check list's items in order, and which are checked.
    QStringList items() const;
    QStringList checkedNumbers() const;
    void setChecked(const QString &mnum, bool on);
};

class TfrmCPass : public ui::Form {
    Q_OBJECT
public:
    explicit TfrmCPass(QWidget *parent = nullptr);
    ~TfrmCPass() override;

    void BitBtn1Click();  // 确认

    QGroupBox *GroupBox1;
    QLineEdit *Edit1, *Edit2, *Edit3;  // old, new, confirmation
    QPushButton *BitBtn1, *BitBtn2;
};

inline TfrmUser *frmUser = nullptr;
inline TfrmLevel *frmLevel = nullptr;
inline TfrmCPass *frmCPass = nullptr;
