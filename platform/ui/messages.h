#pragma once
// Every message box and question of the program goes through here, so tests
// can answer them and read back what was shown.

#include <QString>
#include <QStringList>
#include <functional>
#include <utility>
#include <vector>

class QWidget;

namespace ui {

enum class Icon { None, Information, Warning, Question, Error };
enum class Buttons { Ok, YesNo, YesNoCancel, OkCancel };
enum class Answer { Ok, Yes, No, Cancel };

struct Message {
    Message(QString text = {}, QString caption = {}, Icon icon = Icon::None, Buttons buttons = Buttons::Ok,
            QString details = {})
        : text(std::move(text)), caption(std::move(caption)), icon(icon), buttons(buttons), details(std::move(details))
    {}
    QString text;
    QString caption;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
    // Technical text behind a "详细信息" button (an SQLite message, a statement).
    QString details;
};

// The caption of plain messages (the application title).
QString appTitle();
void setAppTitle(const QString &title);

// The general form; the others are shorthands.
Answer show(const Message &m, QWidget *parent = nullptr);
// A plain message with the application title as caption.
void showMessage(const QString &text, QWidget *parent = nullptr);
void information(const QString &text, const QString &caption = QString(), QWidget *parent = nullptr);
void warning(const QString &text, const QString &caption = QStringLiteral("警告"), QWidget *parent = nullptr);
void error(const QString &text, const QString &caption = QStringLiteral("错误"), QWidget *parent = nullptr);
// Yes/No question; true for Yes.
bool ask(const QString &text, const QString &caption = QStringLiteral("提示"), QWidget *parent = nullptr);

// A question that wants a value back: a text, or a choice made in one of the
// standard dialogs. The value travels as text: a file path, a colour as
// "#rrggbb", a font as QFont::toString(), a print choice as "copies,from,to".
enum class InputKind { Text, OpenFile, SaveFile, Color, Font, Printer };
struct Input {
    InputKind kind = InputKind::Text;
    QString caption;
    QString prompt;
    QString value;   // the proposed value; the chosen one after a confirmed question
    QString filter;  // file dialogs, Qt's form: "文本 (*.txt);;所有文件 (*)"
    // The real dialog, for kinds this layer cannot show itself (printing).
    std::function<bool(Input &)> dialog;
};
// Asks; false when cancelled (value unchanged then).
bool askInput(Input &in, QWidget *parent = nullptr);
// A text question; false when cancelled.
bool askText(const QString &caption, const QString &prompt, QString &value, QWidget *parent = nullptr);

// Replaces the real message boxes while alive: every message is recorded and
// answered from the queue (or with defaultAnswer when it is empty).
class ScriptedMessages {
public:
    ScriptedMessages();
    ~ScriptedMessages();
    ScriptedMessages(const ScriptedMessages &) = delete;
    ScriptedMessages &operator=(const ScriptedMessages &) = delete;

    void answer(Answer a) { m_queue.push_back(a); }
    // The next value question's answer; cancelInput() cancels it. With none
    // queued, value questions are cancelled.
    void answerInput(const QString &value) { m_inputs.push_back({true, value}); }
    void cancelInput() { m_inputs.push_back({false, QString()}); }
    const std::vector<Input> &inputsAsked() const { return m_asked; }
    Answer defaultAnswer = Answer::Ok;  // for Ok boxes; Yes/No boxes take Yes unless queued

    const std::vector<Message> &shown() const { return m_shown; }
    QStringList texts() const;
    QString last() const { return m_shown.empty() ? QString() : m_shown.back().text; }
    int count() const { return int(m_shown.size()); }
    void clear() { m_shown.clear(); }

private:
    friend Answer show(const Message &, QWidget *);
    friend bool askInput(Input &, QWidget *);
    Answer take(const Message &m);
    bool takeInput(Input &in);
    std::vector<Message> m_shown;
    std::vector<Answer> m_queue;
    std::vector<std::pair<bool, QString>> m_inputs;
    std::vector<Input> m_asked;
    ScriptedMessages *m_previous = nullptr;
};

}  // namespace ui
