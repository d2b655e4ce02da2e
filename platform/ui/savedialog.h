#pragma once
// The small dialogs with one action button and one closing button
// ("保存"/"退出", "确认"/"退出", "验证"/"取消"): the buttons, the layout that
// puts the content above them, and the signal the opener listens to.

#include "platform/ui/form.h"

#include <QPushButton>

class QVBoxLayout;

namespace ui {

class SaveDialog : public Form {
    Q_OBJECT
public:
    QPushButton *BitBtn1;  // the action
    QPushButton *BitBtn2;  // closes

    virtual void BitBtn1Click() = 0;
    virtual void BitBtn2Click() { reject(); }

signals:
    // After the action succeeded, before the dialog closes.
    void saved();

protected:
    SaveDialog(QWidget *parent, const QString &caption, const QString &action = QStringLiteral("保存"),
               const QString &close = QStringLiteral("退出"));
    // Adds content above the buttons, in order.
    void addContent(QWidget *w, int stretch = 0);

private:
    QVBoxLayout *m_layout;
};

}  // namespace ui
