#include "platform/ui/messages.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>

namespace ui {

namespace {
QString g_title = QStringLiteral("Velmora会员管理软件");
ScriptedMessages *g_script = nullptr;
}  // namespace

QString appTitle()
{
    return g_title;
}
void setAppTitle(const QString &title)
{
    g_title = title;
}

QStringList ScriptedMessages::texts() const
{
    QStringList out;
    for (const auto &m : m_shown) out << m.text;
    return out;
}

ScriptedMessages::ScriptedMessages() : m_previous(g_script)
{
    g_script = this;
}
ScriptedMessages::~ScriptedMessages()
{
    g_script = m_previous;
}

Answer ScriptedMessages::take(const Message &m)
{
    m_shown.push_back(m);
    if (!m_queue.empty()) {
        Answer a = m_queue.front();
        m_queue.erase(m_queue.begin());
        return a;
    }
    return m.buttons == Buttons::Ok ? Answer::Ok : (m.buttons == Buttons::OkCancel ? Answer::Ok : Answer::Yes);
}

bool ScriptedMessages::takeInput(Input &in)
{
    m_asked.push_back(in);
    m_asked.back().dialog = nullptr;
    if (m_inputs.empty()) return false;
    const auto [ok, value] = m_inputs.front();
    m_inputs.erase(m_inputs.begin());
    if (ok) in.value = value;
    return ok;
}

bool askInput(Input &in, QWidget *parent)
{
    if (g_script) return g_script->takeInput(in);
    if (in.dialog) return in.dialog(in);
    if (!parent) parent = QApplication::activeWindow();
    const QString caption = in.caption.isEmpty() ? g_title : in.caption;
    QString chosen;
    switch (in.kind) {
    case InputKind::Text: {
        bool ok = false;
        chosen = QInputDialog::getText(parent, caption, in.prompt, QLineEdit::Normal, in.value, &ok);
        if (!ok) return false;
        break;
    }
    case InputKind::OpenFile:
        chosen = QFileDialog::getOpenFileName(parent, caption, in.value, in.filter);
        if (chosen.isEmpty()) return false;
        break;
    case InputKind::SaveFile:
        chosen = QFileDialog::getSaveFileName(parent, caption, in.value, in.filter);
        if (chosen.isEmpty()) return false;
        break;
    case InputKind::Color: {
        const QColor c = QColorDialog::getColor(QColor(in.value), parent, caption);
        if (!c.isValid()) return false;
        chosen = c.name();
        break;
    }
    case InputKind::Font: {
        QFont f;
        if (!in.value.isEmpty()) f.fromString(in.value);
        bool ok = false;
        f = QFontDialog::getFont(&ok, f, parent, caption);
        if (!ok) return false;
        chosen = f.toString();
        break;
    }
    case InputKind::Printer:
        return false;  // only through the caller's dialog
    }
    in.value = chosen;
    return true;
}

bool askText(const QString &caption, const QString &prompt, QString &value, QWidget *parent)
{
    Input in;
    in.caption = caption;
    in.prompt = prompt;
    in.value = value;
    if (!askInput(in, parent)) return false;
    value = in.value;
    return true;
}

Answer show(const Message &m, QWidget *parent)
{
    if (g_script) return g_script->take(m);
    QMessageBox box(parent ? parent : QApplication::activeWindow());
    box.setWindowTitle(m.caption.isEmpty() ? g_title : m.caption);
    box.setText(m.text);
    if (!m.details.isEmpty()) box.setDetailedText(m.details);
    switch (m.icon) {
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Icon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::None:
        break;
    }
    QPushButton *ok = nullptr, *yes = nullptr, *no = nullptr, *cancel = nullptr;
    switch (m.buttons) {
    case Buttons::Ok:
        ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        break;
    case Buttons::OkCancel:
        ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
        break;
    case Buttons::YesNo:
        yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
        no = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
        break;
    case Buttons::YesNoCancel:
        yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
        no = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
        cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
        break;
    }
    box.setDefaultButton(ok ? ok : yes);
    if (cancel)
        box.setEscapeButton(cancel);
    else if (no)
        box.setEscapeButton(no);
    // A box is as wide as its text; a longer caption would be cut short.  (Set
    // last: icons and buttons rebuild the box's layout.)
    // The window manager's title font is usually larger and bold; leave room
    // for its buttons too.
    QFont titleFont = box.font();
    titleFont.setBold(true);
    if (titleFont.pointSizeF() > 0) titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    const int titleWidth = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + 120;
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                      grid->columnCount());
    box.exec();
    QAbstractButton *clicked = box.clickedButton();
    if (clicked && clicked == yes) return Answer::Yes;
    if (clicked && clicked == no) return Answer::No;
    if (clicked && clicked == ok) return Answer::Ok;
    return m.buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
}

void showMessage(const QString &text, QWidget *parent)
{
    show({text, g_title, Icon::None, Buttons::Ok}, parent);
}

void information(const QString &text, const QString &caption, QWidget *parent)
{
    show({text, caption.isEmpty() ? g_title : caption, Icon::Information, Buttons::Ok}, parent);
}

void warning(const QString &text, const QString &caption, QWidget *parent)
{
    show({text, caption, Icon::Warning, Buttons::Ok}, parent);
}

void error(const QString &text, const QString &caption, QWidget *parent)
{
    show({text, caption, Icon::Error, Buttons::Ok}, parent);
}

bool ask(const QString &text, const QString &caption, QWidget *parent)
{
    return show({text, caption, Icon::Question, Buttons::YesNo}, parent) == Answer::Yes;
}

}  // namespace ui
