#pragma once
// The main window's background picture ("bj.jpg" in the program's folder)
// and the about box.

#include "platform/ui/form.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

class TfrmBImage : public ui::Form {
    Q_OBJECT
public:
    explicit TfrmBImage(QWidget *parent = nullptr);
    ~TfrmBImage() override;

    void BitBtn4Click();  // 打开
    void BitBtn1Click();  // 保存
    void BitBtn3Click();  // 清除

    QGroupBox *GroupBox1;
    QLabel *Label1;
    QLineEdit *Edit1;
    QPushButton *BitBtn1, *BitBtn2, *BitBtn3, *BitBtn4;
    // Where "bj.jpg" lives: the main window's folder.
    QString myFolder;

private:
    QString picturePath() const { return myFolder + QStringLiteral("bj.jpg"); }
};

class TfrmAbout : public ui::Form {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget *parent = nullptr);
    QLabel *ProductName, *Shop, *Version, *Site;
    QPushButton *OKButton;
};

inline TfrmBImage *frmBImage = nullptr;
