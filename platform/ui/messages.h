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

// Replaces the real message boxes while alive: every message is recorded and
// answered from the queue (or with defaultAnswer when it is empty).
class ScriptedMessages {
public:
    ScriptedMessages();
    ~ScriptedMessages();
    ScriptedMessages(const ScriptedMessages &) = delete;
    ScriptedMessages &operator=(const ScriptedMessages &) = delete;

    void answer(Answer a) { m_queue.push_back(a); }
    Answer defaultAnswer = Answer::Ok;  // for Ok boxes; Yes/No boxes take Yes unless queued

    const std::vector<Message> &shown() const { return m_shown; }
    QStringList texts() const;
    QString last() const { return m_shown.empty() ? QString() : m_shown.back().text; }
    int count() const { return int(m_shown.size()); }
    void clear() { m_shown.clear(); }

private:
    friend Answer show(const Message &, QWidget *);
    Answer take(const Message &m);
    std::vector<Message> m_shown;
    std::vector<Answer> m_queue;
    ScriptedMessages *m_previous = nullptr;
};

}  // namespace ui
