#pragma once
// Backup and restore of the database.  Both copy through SQLite's online
// backup while the program keeps its connection open: the backup gets
// what is committed, the restore replaces the open database's content, so
// the running program sees the restored rows at once.

#include "platform/ui/form.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// The shared build: hints, a group box with a path field and "选择路径",
// the action button and "退出".
class TfrmDbCopy : public ui::Form {
    Q_OBJECT
public:
    TfrmDbCopy(const QString &caption, const QStringList &hints, const QString &fieldLabel, const QString &action,
               QWidget *parent);

    virtual void BitBtn1Click() = 0;  // the action
    virtual void BitBtn3Click() = 0;  // 选择路径

    QList<QLabel *> Hints;
    QGroupBox *GroupBox1;
    QLabel *Label1;
    QLineEdit *Edit1;
    QPushButton *BitBtn1, *BitBtn2, *BitBtn3;
};

class TfrmBackup : public TfrmDbCopy {
    Q_OBJECT
public:
    explicit TfrmBackup(QWidget *parent = nullptr);
    ~TfrmBackup() override;
    void BitBtn1Click() override;  // 备份
    void BitBtn3Click() override;
};

class TfrmRecover : public TfrmDbCopy {
    Q_OBJECT
public:
    explicit TfrmRecover(QWidget *parent = nullptr);
    ~TfrmRecover() override;
    void BitBtn1Click() override;  // 恢复
    void BitBtn3Click() override;
};

inline TfrmBackup *frmBackup = nullptr;
inline TfrmRecover *frmRecover = nullptr;
