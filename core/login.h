#pragma once
// The login window: user, password and business date; on success it fills
// the shared state, shows the main window and grants the user's menu rights.

#include "platform/ui/form.h"

class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextBrowser;
namespace ui {
class LookupComboBox;
}

class TfrmLogin : public ui::Form {
    Q_OBJECT
public:
    explicit TfrmLogin(QWidget *parent = nullptr);
    ~TfrmLogin() override;

    QTextBrowser *WebBrowser1 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr;
    ui::LookupComboBox *DBLookupComboBox1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QDateEdit *DateTimePicker1 = nullptr;
    QPushButton *BitBtn1 = nullptr;  // 登录
    QPushButton *BitBtn2 = nullptr;  // 退出

    // The local page shown at the top ("help/login.html" in the program's folder).
    static QString pagePath(const QString &folder);

    void FormCreate();
    void DBLookupComboBox1Click();
    void BitBtn1Click();
    void BitBtn2Click();
    void FormClose();

protected:
    void closeEvent(QCloseEvent *event) override;
    // A reject from outside (the window system) closes the window like "退出".
    void reject() override;
};

inline TfrmLogin *frmLogin = nullptr;

namespace velmora {
// A password field of the program: typed characters show as "@".
void maskPassword(QLineEdit *edit);
}  // namespace velmora
