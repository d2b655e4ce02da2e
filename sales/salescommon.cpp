#include "sales/salescommon.h"

#include "core/dm.h"
#include "platform/ui/messages.h"

#include <QDialog>
#include <QWidget>

namespace sales {

namespace {
ModalHook g_hook;
}

vdb::Connection &db()
{
    if (!frmDM) throw vdb::DbError(QStringLiteral("数据库未打开！"));
    return *frmDM->ADOConnection1();
}

int showModal(QDialog *dialog)
{
    if (g_hook) return g_hook(dialog);
    return dialog->exec();
}

ScopedModalHook::ScopedModalHook(ModalHook hook) : m_previous(std::move(g_hook))
{
    g_hook = std::move(hook);
}

ScopedModalHook::~ScopedModalHook()
{
    g_hook = std::move(m_previous);
}

void refuse(const QString &message, QWidget *focus)
{
    ui::showMessage(message, focus ? focus->window() : nullptr);
    if (focus) focus->setFocus();
}

bool checkedNumber(const QString &text, const QString &label, QWidget *field, double *out)
{
    double v = 0;
    if (!vdb::isSqlNumber(text, &v) || !std::isfinite(v)) {
        refuse(label + QStringLiteral(" 录入错误，请重新录入！"), field);
        return false;
    }
    if (out) *out = v;
    return true;
}

}  // namespace sales
