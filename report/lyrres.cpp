#include "report/lyrres.h"

#include "report/lyrgzip.h"
#include "script/ks_iconst.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>

#include <algorithm>

namespace {

QString idKey(const QString &id)
{
    return id.toLower();
}

struct HelpPage {
    const char *className;
    const char *page;
};

constexpr HelpPage kHelpPages[] = {
        {"TlyrDesignerForm", "Designer.htm"},
        {"TlyrOptionsEditor", "Designer_options.htm"},
        {"TlyrReportEditorForm", "Report_options.htm"},
        {"TlyrPageEditorForm", "Page_options.htm"},
        {"TlyrCrossEditorForm", "Cross_tab_reports.htm"},
        {"TlyrChartEditorForm", "Diagrams.htm"},
        {"TlyrSyntaxMemo", "Script.htm"},
        {"TlyrDialogPage", "Dialogue_forms.htm"},
        {"TlyrDialogComponent", "Data_access_components.htm"},
        {"TlyrVarEditorForm", "Variables.htm"},
        {"TlyrHighlightEditorForm", "Conditional_highlighting.htm"},
        {"TlyrSysMemoEditorForm", "Inserting_aggregate_function.htm"},
        {"TlyrFormatEditorForm", "Values_formatting.htm"},
        {"TlyrGroupEditorForm", "Report_with_groups.htm"},
        {"TlyrPictureEditorForm", "Picture_object.htm"},
        {"TlyrMemoEditorForm", "Text_object.htm"},
        {"TlyrSQLEditorForm", "TlyrADOQuery.htm"},
};

QMutex helpMutex;
TlyrHelpViewer &helpViewer()
{
    static TlyrHelpViewer viewer;
    return viewer;
}

}  // namespace

TlyrResources::TlyrResources()
{
    const QDir dir(lyrGetAppPath());
    const QFileInfoList files =
            dir.entryInfoList({QStringLiteral("*.lyc")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo &f : files) {
        QString name = f.fileName().toLower();
        name.chop(4);
        if (!name.isEmpty()) name[0] = name[0].toUpper();
        languages_.append(name);
    }
}

void TlyrResources::Add(const QString &id, const QString &text)
{
    const QString key = idKey(id);
    const auto it = names_.constFind(key);
    if (it != names_.constEnd()) {
        values_[it.value()] = text;
        return;
    }
    names_.insert(key, static_cast<int>(values_.size()));
    values_.append(text);
}

void TlyrResources::AddStrings(const QString &text)
{
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    for (const QString &line : lines) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0 || eq == line.size() - 1) continue;
        Add(line.left(eq), line.mid(eq + 1));
    }
}

QString TlyrResources::Get(const QString &id) const
{
    const auto it = names_.constFind(idKey(id));
    if (it == names_.constEnd()) return id;
    const QString &text = values_.at(it.value());
    return text.startsWith(u'!') ? text.mid(1) : text;
}

QString TlyrResources::Format(const QString &id, const QStringList &args) const
{
    QString text = Get(id);
    for (const QString &a : args) {
        const qsizetype p = text.indexOf(QLatin1String("%s"));
        const qsizetype d = text.indexOf(QLatin1String("%d"));
        const qsizetype at = p < 0 ? d : (d < 0 ? p : std::min(p, d));
        if (at < 0) break;
        text.replace(at, 2, a);
    }
    return text;
}

void TlyrResources::loadImages(TlyrImageList &list, const char *resourceName)
{
    const QByteArray bitmap = GZipDecompress(lyrProgramResource(QString::fromLatin1(resourceName)));
    const QImage strip = QImage::fromData(bitmap, "BMP");
    if (strip.isNull()) throw ElyrError(Get(QStringLiteral("clDecompressError")));
    lyrFillImageList(strip, list.Width, list.Height, list);
}

TlyrImageList &TlyrResources::ObjectImages()
{
    if (objects_.IsEmpty()) loadImages(objects_, "ObjectButtons");
    return objects_;
}

TlyrImageList &TlyrResources::PreviewButtonImages()
{
    if (preview_.IsEmpty()) loadImages(preview_, "PreviewButtons");
    return preview_;
}

void TlyrResources::SetObjectImages(const QImage &strip, bool clear)
{
    if (clear) objects_.Clear();
    lyrFillImageList(strip, 16, 16, objects_);
}

void TlyrResources::SetPreviewButtonImages(const QImage &strip, bool clear)
{
    if (clear) preview_.Clear();
    lyrFillImageList(strip, 16, 16, preview_);
}

const QStringList &TlyrResources::ScriptResourceIds()
{
    static const QStringList ids = {
            QStringLiteral("SLangNotFound"),      QStringLiteral("SInvalidLanguage"),
            QStringLiteral("SIdRedeclared"),      QStringLiteral("SUnknownType"),
            QStringLiteral("SIncompatibleTypes"), QStringLiteral("SIdUndeclared"),
            QStringLiteral("SClassRequired"),     QStringLiteral("SIndexRequired"),
            QStringLiteral("SStringError"),       QStringLiteral("SClassError"),
            QStringLiteral("SArrayRequired"),     QStringLiteral("SVarRequired"),
            QStringLiteral("SNotEnoughParams"),   QStringLiteral("STooManyParams"),
            QStringLiteral("SLeftCantAssigned"),  QStringLiteral("SForError"),
            QStringLiteral("SEventError"),
    };
    return ids;
}

void TlyrResources::UpdateScriptResources(const std::function<void(const QString &id, const QString &text)> &sink) const
{
    for (const QString &id : ScriptResourceIds()) sink(id, Get(id));
}

void TlyrResources::UpdateScriptResources() const
{
    UpdateScriptResources([](const QString &id, const QString &text) { ksSetCompilerMessage(id, text); });
}

QString TlyrResources::HelpTopic(const QString &className) const
{
    QString topic = lyrGetAppPath() + HelpFile;
    for (const HelpPage &p : kHelpPages) {
        if (className.compare(QLatin1String(p.className), Qt::CaseInsensitive) == 0) {
            topic += QStringLiteral("::/") + QLatin1String(p.page);
            break;
        }
    }
    return topic;
}

void TlyrResources::Help(const QString &className) const
{
    if (!QFileInfo::exists(lyrGetAppPath() + HelpFile)) return;
    lyrShowHelp(HelpTopic(className));
}

TlyrResources &lyrResources()
{
    static TlyrResources table = [] {
        TlyrResources t;
        t.AddStrings(QString::fromUtf8(lyrBuiltInResourceText()));
        return t;
    }();
    return table;
}

void lyrSetHelpViewer(TlyrHelpViewer viewer)
{
    QMutexLocker lock(&helpMutex);
    helpViewer() = std::move(viewer);
}

void lyrShowHelp(const QString &topic)
{
    TlyrHelpViewer viewer;
    {
        QMutexLocker lock(&helpMutex);
        viewer = helpViewer();
    }
    if (viewer) viewer(topic);
}
