#include "report/lyrclass.h"
#include "report/lyrband.h"
#include "report/lyrclassrtti.h"
#include "report/lyrdialogpage.h"
#include "report/lyrdrawtext.h"
#include "report/lyrframe.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "report/lyrview.h"

#include "report/lyrpropstream.h"
#include "report/lyrres.h"
#include "report/lyrxml.h"
#include "report/lyrxmlserializer.h"
#include "script/ks_iinterpreter.h"
#include "script/ks_istatements.h"
#include "script/ks_props.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaProperty>
#include <QSettings>
#include <QTimer>

#include <utility>

namespace {

// Tags the items the compiler adds to the report script.
const char compiledTag = 0;

QList<TlyrReport *> &liveReports()
{
    static QList<TlyrReport *> list;
    return list;
}

QString exceptionText(const std::exception &e)
{
    if (auto *l = dynamic_cast<const ElyrError *>(&e)) return l->Message();
    if (auto *k = dynamic_cast<const KsError *>(&e)) return k->Message;
    return QString::fromUtf8(e.what());
}

// "Datasets": DataSet (the component's name) and DataSetName.
class DatasetsAdapter : public TlyrCollectionAdapter {
public:
    DatasetsAdapter(TlyrReport *report, TlyrXMLSerializer *serializer) : report_(report), serializer_(serializer) {}
    int Count() const override { return report_->Datasets()->Count(); }
    QByteArray ItemToXML(int index) const override
    {
        TlyrDataSetItem *item = report_->Datasets()->Items(index);
        TlyrXMLItem x;
        if (item->DataSet()) x.AppendProp("DataSet", item->DataSet()->objectName());
        x.AppendProp("DataSetName", item->DataSetName());
        return x.Text;
    }
    QList<QPair<QByteArray, QVariant>> ItemProperties(int index) const override
    {
        TlyrDataSetItem *item = report_->Datasets()->Items(index);
        return {{"DataSet", item->DataSet() ? item->DataSet()->objectName() : QString()},
                {"DataSetName", item->DataSetName()}};
    }
    void Clear() override { report_->Datasets()->Clear(); }
    void AddFromXML(const QByteArray &attributes) override
    {
        TlyrXMLItem x;
        x.Text = attributes;
        add(x.Prop("DataSet"), x.Prop("DataSetName"));
    }
    void AddFromProperties(const QList<QPair<QByteArray, QVariant>> &properties) override
    {
        QString ref, name;
        for (const auto &[key, value] : properties) {
            if (key == "DataSet")
                ref = value.toString();
            else if (key == "DataSetName")
                name = value.toString();
        }
        add(ref, name);
    }

private:
    void add(const QString &ref, const QString &name)
    {
        TlyrDataSetItem *item = report_->Datasets()->Add();
        if (!name.isEmpty()) item->SetDataSetName(name, report_);
        if (ref.isEmpty()) return;
        TlyrReport *report = report_;
        TlyrXMLSerializer *s = serializer_;
        auto resolve = [report, item, ref, s] {
            TlyrReportDataSets *list = report->Datasets();
            for (int i = 0; i < list->Count(); ++i)
                if (list->Items(i) == item) {
                    if (auto *ds = qobject_cast<TlyrDataSet *>(s->FindReference(ref))) item->SetDataSet(ds);
                    return;
                }
        };
        if (serializer_)
            serializer_->AddFixup(resolve);
        else
            resolve();
    }
    TlyrReport *report_;
    TlyrXMLSerializer *serializer_;
};

// "Style": Name, Color, Font.* and the frame's attributes.
class StylesAdapter : public TlyrCollectionAdapter {
public:
    StylesAdapter(TlyrReport *report, TlyrXMLSerializer *serializer) : report_(report), serializer_(serializer) {}
    int Count() const override { return report_->Styles()->Count(); }
    QByteArray ItemToXML(int index) const override
    {
        TlyrStyleItem *item = report_->Styles()->Items(index);
        TlyrXMLItem x;
        x.AppendProp("Name", item->Name);
        if (item->Color != 0x1FFFFFFF) x.AppendProp("Color", QString::number(item->Color));
        QByteArray text = x.Text;
        TlyrXMLSerializer local(nullptr);
        text += local.ObjToXML(item->Font.get(), "Font.");
        text += local.ObjToXML(item->Frame.get(), "Frame.");
        return text;
    }
    QList<QPair<QByteArray, QVariant>> ItemProperties(int index) const override
    {
        TlyrStyleItem *item = report_->Styles()->Items(index);
        return {{"Name", item->Name}, {"Color", item->Color}};
    }
    void Clear() override { report_->Styles()->Clear(); }
    void AddFromXML(const QByteArray &attributes) override
    {
        TlyrStyleItem *item = report_->Styles()->Add();
        QByteArray fontText, frameText;
        TlyrAttributeScanner scan(attributes);
        while (scan.Next()) {
            const QByteArray name = scan.Name().toByteArray();
            if (name.compare("Name", Qt::CaseInsensitive) == 0)
                setName(item, scan.Value());
            else if (name.compare("Color", Qt::CaseInsensitive) == 0)
                item->Color = scan.Value().toInt();
            else if (name.startsWith("Font."))
                fontText += ' ' + name.mid(5) + "=\"" + scan.RawValue().toByteArray() + '"';
            else if (name.startsWith("Frame."))
                frameText += ' ' + name.mid(6) + "=\"" + scan.RawValue().toByteArray() + '"';
        }
        TlyrXMLSerializer local(nullptr);
        local.XMLToObj(fontText, item->Font.get());
        local.XMLToObj(frameText, item->Frame.get());
    }
    void AddFromProperties(const QList<QPair<QByteArray, QVariant>> &properties) override
    {
        TlyrStyleItem *item = report_->Styles()->Add();
        for (const auto &[key, value] : properties) {
            if (key == "Name")
                setName(item, value.toString());
            else if (key == "Color")
                item->Color = value.toInt();
        }
    }

private:
    void setName(TlyrStyleItem *item, const QString &name)
    {
        try {
            report_->Styles()->SetName(item, name);
        } catch (const ElyrError &e) {
            if (serializer_) serializer_->Errors << e.Message();
        }
    }
    TlyrReport *report_;
    TlyrXMLSerializer *serializer_;
};

}  // namespace

QString lyrBuildErrorText(const std::exception &e)
{
    if (auto *k = dynamic_cast<const KsError *>(&e); k && !k->SourcePos.isEmpty())
        return lyrResources().Format(QStringLiteral("clScrError"), {k->SourcePos, k->Message});
    return exceptionText(e);
}

QRecursiveMutex &lyrTemplateLoadingLock()
{
    static QRecursiveMutex lock;
    return lock;
}

TlyrEngineFactories &lyrEngineFactories()
{
    static TlyrEngineFactories f;
    return f;
}

TlyrCompatibilityHooks &lyrCompatibilityHooks()
{
    static TlyrCompatibilityHooks h;
    return h;
}

// Removes the entries of a freed dataset from every report's list.
void lyrNotifyDataSetRemoved(TlyrDataSet *ds)
{
    for (TlyrReport *r : liveReports()) {
        TlyrReportDataSets *list = r->Datasets();
        for (int i = list->Count() - 1; i >= 0; --i)
            if (list->Items(i)->DataSet() == ds) list->Delete(i);
        if (r->DataSet() == ds) r->SetDataSet(nullptr);
    }
}

// ---------------------------------------------------------------- contracts

bool TlyrCustomEngine::DoublePass() const
{
    return Report && Report->EngineOptions()->DoublePass();
}

void TlyrCustomEngine::StopReport()
{
    if (Report) Report->SetTerminated(true);
}

QString lyrPageNumberMark(bool logical)
{
    // Private-use characters: no data or template text holds them.
    return QChar(0xE000) + (logical ? QStringLiteral("Page") : QStringLiteral("Page#")) + QChar(0xE001);
}

QString lyrPageExpressionMark(int id)
{
    return QChar(0xE000) + QStringLiteral("=%1").arg(id) + QChar(0xE001);
}

TlyrCustomEngine *TlyrCustomOutline::Engine() const
{
    return PreviewPages ? PreviewPages->Engine : nullptr;
}

// ---------------------------------------------------------------- options

void lyrCopyProperties(const QObject &from, QObject &to, std::initializer_list<const char *> only)
{
    const QMetaObject *meta = from.metaObject();
    Q_ASSERT(to.metaObject()->inherits(meta));
    for (const char *name : only) Q_ASSERT_X(meta->indexOfProperty(name) >= 0, "lyrCopyProperties", name);
    for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
        const QMetaProperty p = meta->property(i);
        if (!p.isWritable() || !p.isStored()) continue;
        if (only.size() > 0 &&
            std::none_of(only.begin(), only.end(), [&p](const char *n) { return qstrcmp(n, p.name()) == 0; }))
            continue;
        p.write(&to, p.read(&from));
    }
}

void TlyrEngineOptions::Assign(const TlyrEngineOptions &o)
{
    lyrCopyProperties(o, *this);
}

void TlyrEngineOptions::Clear()
{
    lyrCopyProperties(TlyrEngineOptions(), *this, {"ConvertNulls", "DoublePass"});
}

void TlyrPreviewOptions::Assign(const TlyrPreviewOptions &o)
{
    lyrCopyProperties(o, *this);
}

void TlyrPreviewOptions::Clear()
{
    lyrCopyProperties(TlyrPreviewOptions(), *this,
                      {"OutlineExpand", "OutlineVisible", "OutlineWidth", "PagesInCache", "ThumbnailVisible"});
}

TlyrPrintOptions::TlyrPrintOptions() : Printer(lyrResources().Get(QStringLiteral("prDefault"))) {}

void TlyrPrintOptions::Assign(const TlyrPrintOptions &o)
{
    lyrCopyProperties(o, *this);
}

void TlyrPrintOptions::Clear()
{
    lyrCopyProperties(TlyrPrintOptions(), *this);
    Hidden = 0;
}

TlyrReportOptions::TlyrReportOptions(TlyrReport *report) : Report(report) {}

TlyrReportOptions::~TlyrReportOptions() = default;

TlyrPictureView *TlyrReportOptions::Picture() const
{
    if (!picture_) picture_ = std::make_unique<TlyrPictureView>();
    return picture_.get();
}

void TlyrReportOptions::Clear()
{
    lyrCopyProperties(TlyrReportOptions(Report), *this);
    EnteredPassword.clear();
    if (picture_) picture_->ClearPicture();
}

// ---------------------------------------------------------------- styles

TlyrStyleItem::TlyrStyleItem() : Font(std::make_unique<TlyrFont>()), Frame(std::make_unique<TlyrFrame>()) {}

TlyrStyleItem::~TlyrStyleItem() = default;

void TlyrStyleItem::Assign(const TlyrStyleItem &o)
{
    Name = o.Name;
    Color = o.Color;
    Font->Assign(*o.Font);
    Frame->Assign(*o.Frame);
}

TlyrStyleItem *TlyrStyles::Add()
{
    items_.push_back(std::make_unique<TlyrStyleItem>());
    return items_.back().get();
}

void TlyrStyles::SetName(TlyrStyleItem *item, const QString &name)
{
    for (const auto &other : items_)
        if (other.get() != item && QString::localeAwareCompare(other->Name.toUpper(), name.toUpper()) == 0)
            throw ElyrError(QStringLiteral("Duplicate name"));
    item->Name = name;
}

TlyrStyleItem *TlyrStyles::Find(const QString &name) const
{
    for (const auto &item : items_)
        if (item->Name.compare(name, Qt::CaseInsensitive) == 0) return item.get();
    return nullptr;
}

// ---------------------------------------------------------------- report

TlyrReport::TlyrReport(QObject *owner) : TlyrComponent(owner)
{
    lyrRegisterReportClasses();
    liveReports().append(this);
    datasets_ = std::make_unique<TlyrReportDataSets>(this);
    variables_ = std::make_unique<TlyrVariables>();
    script_ = std::make_unique<TksScript>();
    lyrRegisterClassRTTI();
    script_->AddRTTI();
    timer_ = new QTimer(this);
    timer_->setInterval(50);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] { PrepareReport(false); });
    engineOptions_ = new TlyrEngineOptions;
    engineOptions_->setParent(this);
    previewOptions_ = new TlyrPreviewOptions;
    previewOptions_->setParent(this);
    printOptions_ = new TlyrPrintOptions;
    printOptions_->setParent(this);
    reportOptions_ = new TlyrReportOptions(this);
    reportOptions_->setParent(this);
    iniFile_ = QStringLiteral("\\Software\\Lyrane");
    expressionCache_ = std::make_unique<TlyrExpressionCache>(script_.get());
    styles_ = std::make_unique<TlyrStyles>();
    installEngine();
    Clear();
}

TlyrReport::~TlyrReport()
{
    freeChildren();
    SetPreview(nullptr);
    liveReports().removeOne(this);
    expressionCache_.reset();
    // The pages point at the engine: they go first.
    progress_.reset();
    previewPages_.reset();
    engine_.reset();
}

void TlyrReport::SetTerminated(bool v)
{
    terminated_ = v;
    if (v) {
        script_->Terminate();
        ksRequestStop();  // also a script that never reaches its next statement
    }
}

void TlyrReport::AddError(const QString &text)
{
    const auto it = std::lower_bound(errors_.begin(), errors_.end(), text);
    if (it == errors_.end() || *it != text) errors_.insert(it, text);
}

void TlyrReport::AddErrors(const QStringList &lines)
{
    for (const QString &l : lines) AddError(l);
}

void TlyrReport::SetDataSet(TlyrDataSet *ds)
{
    dataSet_ = ds;
    dataSetName_ = ds ? ds->UserName() : QString();
}

QString TlyrReport::DataSetName() const
{
    return dataSet_ ? dataSet_->UserName() : dataSetName_;
}

void TlyrReport::SetDataSetName(const QString &name)
{
    dataSetName_ = name;
    dataSet_ = lyrFindDataSet(dataSet_.data(), name, this);
}

void TlyrReport::SetPreview(TlyrCustomPreview *value)
{
    if (!value && preview_) {
        preview_->Report = nullptr;
        preview_->PreviewPages = nullptr;
        previewForm_ = nullptr;
    }
    preview_ = value;
    if (value) {
        value->Report = this;
        value->PreviewPages = previewPages_.get();
        value->Init();
    }
}

void TlyrReport::Clear()
{
    CheckNotBuilding(QStringLiteral("清除模板"));
    // A new template replaces the whole tree: the ancestor's objects go too
    // (with the ancestor), or the next template would be merged into them.
    freeChildren();
    SetAncestor(false);
    datasets_->Clear();
    variables_->Clear();
    engineOptions_->Clear();
    previewOptions_->Clear();
    printOptions_->Clear();
    reportOptions_->Clear();
    styles_->Clear();
    dataSet_ = nullptr;
    dataSetName_.clear();
    dotMatrix_ = false;
    parentReport_.clear();
    parentReportObject_.reset();
    scriptLanguage_ = QStringLiteral("PascalScript");
    scriptText_ = {QStringLiteral("begin"), QString(), QStringLiteral("end.")};
    sysVariables_ = {QStringLiteral("Date"),  QStringLiteral("Time"),       QStringLiteral("Page"),
                     QStringLiteral("Page#"), QStringLiteral("TotalPages"), QStringLiteral("TotalPages#"),
                     QStringLiteral("Line"),  QStringLiteral("Line#"),      QStringLiteral("CopyName#")};
    onRunDialogs_.clear();
    onStartReport_.clear();
    onStopReport_.clear();
}

TlyrComponent *TlyrReport::FindByName(const QString &name) const
{
    if (name.compare(objectName(), Qt::CaseInsensitive) == 0 && !name.isEmpty()) return const_cast<TlyrReport *>(this);
    if (NameIndex) {
        auto it = NameIndex->constFind(name.toUpper());
        return it == NameIndex->constEnd() ? nullptr : it->data();
    }
    return FindObject(name);
}

QString TlyrReport::GetDescription() const
{
    return lyrResources().Get(QStringLiteral("obReport"));
}

TlyrPage *TlyrReport::Pages(int i) const
{
    return qobject_cast<TlyrPage *>(Objects().value(i));
}

std::unique_ptr<QSettings> TlyrReport::GetIniFile() const
{
    if (iniFile_.startsWith(QLatin1String("\\Software\\"))) {
        QString key = iniFile_.mid(10);
        key.replace(QLatin1Char('\\'), QLatin1Char('/'));
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, key);
    }
    return std::make_unique<QSettings>(iniFile_, QSettings::IniFormat);
}

QString TlyrReport::GetApplicationFolder() const
{
    if (IsDesigning()) return QDir::currentPath() + QLatin1Char('/');
    return lyrGetAppPath();
}

void TlyrReport::SetParentReport(const QString &value)
{
    parentReport_ = value;
    parentReportObject_.reset();
    if (value.isEmpty()) {
        for (TlyrComponent *c : AllObjects()) c->SetAncestor(false);
        SetAncestor(false);
        return;
    }
    QString path = value;
    if (!OnLoadTemplate) {
        // A relative name is taken from the program's folder.
        if (!QDir::isAbsolutePath(path) && !(path.size() > 1 && path.at(1) == QLatin1Char(':')))
            path = GetApplicationFolder() + path;
        if (!QFile::exists(path)) {
            AddError(QStringLiteral("找不到父报表模板 %1").arg(value));
            parentReport_ = value;
            return;
        }
        path = QFileInfo(path).absoluteFilePath();
    }
    // A template that is its own ancestor (directly or through others)
    // would load forever; so would the copy kept of it.
    static QStringList loading;
    if (loading.contains(path)) {
        AddError(QStringLiteral("父报表模板 %1 引用了它自己").arg(value));
        parentReport_ = value;
        return;
    }
    loading.append(path);
    const bool savedReloading = Reloading;
    Reloading = true;  // the ancestor's password was checked when it was saved
    struct Pop {
        bool &r;
        bool saved;
        ~Pop()
        {
            r = saved;
            loading.removeLast();
        }
    } pop{Reloading, savedReloading};
    const bool loaded = OnLoadTemplate ? OnLoadTemplate(this, value) : LoadFromFile(path);
    if (!loaded && PagesCount() == 0) {
        parentReport_ = value;
        return;
    }
    auto copy = std::make_unique<TlyrReport>();
    copy->OnLoadTemplate = OnLoadTemplate;
    copy->EngineOptions()->SetNewSilentMode(simSilent);
    copy->AssignAll(this);
    parentReportObject_ = std::move(copy);
    for (TlyrComponent *c : AllObjects()) c->SetAncestor(true);
    SetAncestor(true);
    parentReport_ = value;
}

bool TlyrReport::LoadFromFile(const QString &fileName, bool exceptionIfNotFound)
{
    CheckNotBuilding(QStringLiteral("载入模板"));
    // The file is opened before the template is dropped: a file that is not
    // there changes nothing.
    if (!QFileInfo(fileName).isFile() && !exceptionIfNotFound) return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) throw ElyrError(QStringLiteral("无法打开文件 %1").arg(fileName));
    Clear();
    FileName.clear();
    LoadFromStream(file);
    FileName = fileName;
    return !loadFailed_;
}

void TlyrReport::SaveToFile(const QString &fileName)
{
    lyrSaveFile(fileName, [this](QIODevice &file) { SaveToStream(file, true, false); });
}

QString TlyrReport::shiftPassword(const QString &text, int delta)
{
    // Characters beyond the 8-bit range are left as they are, so that the
    // shift stays reversible for any text.
    QString out = text;
    for (QChar &ch : out)
        if (ch.unicode() < 256) ch = QChar(static_cast<char16_t>((ch.unicode() + 256 + delta) % 256));
    return out;
}

void TlyrReport::CheckNotBuilding(const QString &action) const
{
    if (building_) throw ElyrError(QStringLiteral("报表正在生成，不能%1").arg(action));
}

void TlyrReport::LoadFromStream(QIODevice &stream)
{
    CheckNotBuilding(QStringLiteral("载入模板"));
    errors_.clear();
    loadFailed_ = false;
    TlyrEngineOptions savedEngine;
    savedEngine.Assign(*engineOptions_);
    TlyrPreviewOptions savedPreview;
    savedPreview.Assign(*previewOptions_);
    const QString savedIni = iniFile_;
    const QPointer<TlyrCustomPreview> savedPreviewControl = preview_;
    const bool savedOldStyle = oldStyleProgress_, savedShow = showProgress_, savedStore = storeInDFM_;
    const QString savedEntered = reportOptions_->EnteredPassword;
    QIODevice *savedLoadStream = LoadStream;
    LoadStream = &stream;
    try {
        bool done = false;
        if (lyrCompatibilityHooks().OnLoad) done = lyrCompatibilityHooks().OnLoad(this, stream);
        if (!done) TlyrComponent::LoadFromStream(stream);
    } catch (const std::exception &e) {
        AddError(exceptionText(e));
        loadFailed_ = true;
    }
    LoadStream = savedLoadStream;
    applyDataPageRule();
    const bool convertNulls = engineOptions_->ConvertNulls(), doublePass = engineOptions_->DoublePass();
    engineOptions_->Assign(savedEngine);
    engineOptions_->SetConvertNulls(convertNulls);
    engineOptions_->SetDoublePass(doublePass);
    const bool oe = previewOptions_->OutlineExpand, ov = previewOptions_->OutlineVisible;
    const int ow = previewOptions_->OutlineWidth, pc = previewOptions_->PagesInCache;
    previewOptions_->Assign(savedPreview);
    previewOptions_->OutlineExpand = oe;
    previewOptions_->OutlineVisible = ov;
    previewOptions_->OutlineWidth = ow;
    previewOptions_->PagesInCache = pc;
    iniFile_ = savedIni;
    if (preview_ != savedPreviewControl) SetPreview(savedPreviewControl.data());
    oldStyleProgress_ = savedOldStyle;
    showProgress_ = savedShow;
    storeInDFM_ = savedStore;
    reportOptions_->Password = shiftPassword(reportOptions_->Password, 10);
    if (reportOptions_->EnteredPassword.isEmpty()) reportOptions_->EnteredPassword = savedEntered;

    if (!Reloading && !engineOptions_->ThreadSafeMode() && !reportOptions_->Password.isEmpty() &&
        reportOptions_->Password != reportOptions_->EnteredPassword) {
        QString entered;
        const auto &ask = lyrEngineFactories().AskPassword;
        if (ask && ask(this, entered) && entered == reportOptions_->Password) {
            reportOptions_->EnteredPassword = entered;
        } else {
            Clear();
            return;
        }
    }
    if (!errors_.isEmpty() && !Reloading) reportErrors();
}

void TlyrReport::SaveToStream(QIODevice &stream, bool saveChildren, bool saveDefaultValues)
{
    const QString plain = reportOptions_->Password;
    reportOptions_->EnteredPassword = plain;
    reportOptions_->Password = shiftPassword(plain, -10);
    struct Restore {
        TlyrReportOptions *o;
        QString p;
        ~Restore() { o->Password = p; }
    } restore{reportOptions_, plain};
    TlyrComponent::SaveToStream(stream, saveChildren, saveDefaultValues);
}

void TlyrReport::WriteData(TlyrPropWriter &writer, TlyrXMLSerializer &serializer) const
{
    TlyrComponent::WriteData(writer, serializer);
    auto *self = const_cast<TlyrReport *>(this);
    if (datasets_->Count() > 0) {
        writer.WritePropName("Datasets");
        lyrWriteCollection(DatasetsAdapter(self, &serializer), writer, true);
    }
    if (variables_->Count() > 0) {
        writer.WritePropName("Variables");
        lyrWriteCollection(TlyrVariablesAdapter(*variables_), writer, true);
    }
    if (styles_->Count() > 0) {
        writer.WritePropName("Style");
        lyrWriteCollection(StylesAdapter(self, &serializer), writer, true);
    }
    if (const QByteArray &picture = reportOptions_->Picture()->PictureData(); !picture.isEmpty()) {
        writer.WritePropName("ReportOptions.Picture");
        writer.WriteLString(picture);
    }
}

bool TlyrReport::ReadData(const QByteArray &name, TlyrPropReader &reader, TlyrXMLSerializer &serializer)
{
    if (name == "Datasets") {
        DatasetsAdapter a(this, &serializer);
        lyrReadCollection(a, reader);
        return true;
    }
    if (name == "Variables") {
        TlyrVariablesAdapter a(*variables_);
        lyrReadCollection(a, reader);
        return true;
    }
    if (name == "Style") {
        StylesAdapter a(this, &serializer);
        lyrReadCollection(a, reader);
        return true;
    }
    if (name == "ReportOptions.Picture") {
        reportOptions_->Picture()->LoadPictureFromStream(reader.ReadRawString());
        return true;
    }
    return TlyrComponent::ReadData(name, reader, serializer);
}

void TlyrReport::applyDataPageRule()
{
    TlyrDataPage *dataPage = nullptr;
    QList<TlyrDialogComponent *> dialogs;
    for (TlyrComponent *c : AllObjects()) {
        if (!dataPage) dataPage = qobject_cast<TlyrDataPage *>(c);
        if (auto *d = qobject_cast<TlyrDialogComponent *>(c)) dialogs << d;
    }
    if (dataPage) return;
    dataPage = new TlyrDataPage(this);
    if (FindObject(QStringLiteral("Data")) || objectName().compare(QLatin1String("Data"), Qt::CaseInsensitive) == 0)
        dataPage->CreateUniqueName();
    else
        dataPage->SetNameUnchecked(QStringLiteral("Data"));
    MoveChild(dataPage, 0);
    int left = 60;
    for (TlyrDialogComponent *d : dialogs) {
        d->SetParent(dataPage);
        d->SetLeft(left);
        d->SetTop(20.0);
        left += 64;
    }
}

TlyrDataSet *TlyrReport::GetDataset(const QString &alias) const
{
    TlyrDataSetItem *item = datasets_->Find(alias);
    return item ? item->DataSet() : nullptr;
}

bool TlyrReport::GetDataSetAndField(const QString &complexName, TlyrDataSet *&dataSet, QString &field) const
{
    dataSet = nullptr;
    field.clear();
    const qsizetype at = complexName.indexOf(QStringLiteral(".\""));
    if (at <= 0) return false;
    dataSet = GetDataset(complexName.left(at));
    field = complexName.mid(at + 2);
    field.chop(1);
    return dataSet != nullptr && !field.isEmpty();
}

void TlyrReport::reportErrors()
{
    lyrReportError(engineOptions_->NewSilentMode(), lyrResources().Get(QStringLiteral("clErrors")) +
                                                            QStringLiteral("\r\n") +
                                                            errors_.join(QStringLiteral("\r\n")));
}

void TlyrReport::rebindScriptObjects()
{
    const auto byName = IndexByName();
    script_->ForEachItem([&](const QString &name, TksObject *item) {
        auto *v = dynamic_cast<TksVariable *>(item);
        if (!v || v->AddedBy != this || v->TypeCode != tcClass) return;
        QObject *target = nullptr;
        if (name.compare(QLatin1String("Report"), Qt::CaseInsensitive) == 0)
            target = this;
        else if (name.compare(QLatin1String("Engine"), Qt::CaseInsensitive) == 0)
            target = engine_.get();
        else if (name.compare(QLatin1String("Outline"), Qt::CaseInsensitive) == 0)
            target = previewPages_ ? previewPages_->Outline : nullptr;
        else
            target = byName.value(name.toUpper());
        v->Value = KsValue::FromObject(target);
    });
}

// The engine may be installed after the report was made: it is looked up
// again whenever a report prepares.
void TlyrReport::installEngine()
{
    TlyrEngineFactories &f = lyrEngineFactories();
    if (!engine_ && f.Engine) engine_.reset(f.Engine(this));
    if (!previewPages_ && f.PreviewPages) previewPages_.reset(f.PreviewPages(this));
    if (engine_) engine_->PreviewPages = previewPages_.get();
    if (previewPages_) previewPages_->Engine = engine_.get();
}

bool TlyrReport::PrepareReport(bool clearLastReport)
{
    if (building_) {
        // Called again from inside the run (a script, a timer while the
        // build processes messages): the running template must stay.
        AddError(QStringLiteral("报表正在生成，不能再次生成"));
        return false;
    }
    if (!engine_ || !previewPages_) {
        installEngine();
        if (script_) rebindScriptObjects();
    }
    if (clearLastReport && previewPages_) previewPages_->Clear();
    errors_.clear();
    terminated_ = false;
    bool result = false;
    for (int i = 0; i < datasets_->Count(); ++i)
        if (!datasets_->Items(i)->DataSet())
            AddError(lyrResources().Format(QStringLiteral("clDSNotExist"), {datasets_->Items(i)->DataSetName()}));
    if (!errors_.isEmpty()) {
        reportErrors();
        return false;
    }
    const QString savedPassword = reportOptions_->Password;
    QBuffer saved;
    const bool restore = engineOptions_->RestoreTemplate();
    // The template's datasets stay the same objects across the restore: the
    // program holds them and gave them its callbacks.
    QHash<QString, TlyrKeptObject> kept;
    if (restore) {
        saved.open(QIODevice::ReadWrite);
        reportOptions_->Password.clear();
        SaveToStream(saved, true, false);
        reportOptions_->Password = savedPassword;
        TlyrXMLSerializer all(nullptr);
        all.Owner = this;
        all.SerializeAll = true;
        for (TlyrComponent *c : AllObjects())
            if (qobject_cast<TlyrDataSet *>(c) && !c->objectName().isEmpty() && c->Objects().isEmpty())
                kept.insert(c->objectName().toUpper(), {c, all.ObjToXML(c)});
    }
    building_ = true;
    struct EndBuilding {
        bool &b;
        ~EndBuilding() { b = false; }
    } endBuilding{building_};
    // A script that loops long keeps the stop button, Esc and Cancel live.
    struct Poll {
        TksPollHook saved;
        ~Poll() { ksSetPollHook(std::move(saved)); }
    } poll{ksSetPollHook(engineOptions_->ThreadSafeMode() ? TksPollHook() : [this] { KeepResponsive(); })};
    // The script's main block, events and expressions of one build share
    // one memory budget.
    KsRunBudget budget;
    try {
        if (OnBeginDoc) OnBeginDoc();
        if (PrepareScript()) {
            if (script_->MainBlock->Count() > 0) script_->Execute();
            if (!engine_) {
                AddError(QStringLiteral("报表引擎未安装，无法生成报表"));
            } else if (engine_->Run()) {
                if (OnEndDoc) OnEndDoc();
                result = true;
            } else if (previewForm_) {
                previewForm_->Close();
            }
        }
    } catch (const std::exception &e) {
        AddError(lyrBuildErrorText(e));
    }
    building_ = false;
    script_->FreeCreatedObjects();  // the run is over
    if (restore) {
        const QStringList errors = errors_;
        saved.seek(0);
        Reloading = true;
        const QString entered = reportOptions_->EnteredPassword;
        // Out of the tree, so that the load does not free them; the run may
        // have freed or moved some.
        for (auto it = kept.begin(); it != kept.end();) {
            if (it->Object && it->Object->Report() == this && it->Object->Objects().isEmpty()) {
                it->Object->SetParent(nullptr);
                ++it;
            } else {
                it = kept.erase(it);
            }
        }
        KeptOnLoad = &kept;
        try {
            LoadFromStream(saved);
        } catch (const std::exception &e) {
            AddError(exceptionText(e));
        }
        KeptOnLoad = nullptr;
        // Any the template no longer placed go as the load would have freed them.
        for (const TlyrKeptObject &k : std::as_const(kept)) delete k.Object.data();
        Reloading = false;
        reportOptions_->Password = savedPassword;
        reportOptions_->EnteredPassword = entered;
        errors_ = errors;
        rebindScriptObjects();
    }
    if (!errors_.isEmpty()) {
        result = false;
        reportErrors();
    }
    return result;
}

void TlyrReport::ShowReport(bool clearLastReport)
{
    // Asked for by the report's own script while it is being built: the
    // build goes on and whoever started it shows it. Clearing the pages or
    // starting another build here would pull them from under this one.
    if (building_) return;
    if (clearLastReport && previewPages_) previewPages_->Clear();
    if (!oldStyleProgress_) {
        timer_->start();
        ShowPreparedReport();
    } else if (PrepareReport(false)) {
        ShowPreparedReport();
    }
}

void TlyrReport::ShowPreparedReport()
{
    previewForm_ = nullptr;
    if (preview_) {
        preview_->Report = this;
        preview_->PreviewPages = previewPages_.get();
        preview_->Init();
        return;
    }
    const auto &make = lyrEngineFactories().PreviewForm;
    if (!make) return;
    TlyrCustomPreviewForm *form = make(this);
    if (!form) return;
    previewForm_ = form;
    SetPreview(form->Preview());
    form->InitFromReport(this);
    if (OnPreview) OnPreview();
    if (previewOptions_->Modal) {
        form->ShowModal();
        if (preview_ == form->Preview()) SetPreview(nullptr);
        previewForm_ = nullptr;
        delete form;
    } else {
        form->Show();
    }
}

void TlyrReport::DoNotifyEvent(QObject *obj, const QString &eventName, bool runAlways)
{
    if (eventName.isEmpty() || !(runAlways || (engine_ && engine_->Running))) return;
    script_->CallFunction(eventName, KsValue::MakeList({KsValue::FromObject(obj)}));
}

void TlyrReport::DoParamEvent(const QString &eventName, KsValue &params, bool runAlways)
{
    if (eventName.isEmpty() || !(runAlways || (engine_ && engine_->Running))) return;
    script_->CallFunctionVar(eventName, params);
}

void TlyrReport::DoBeforePrint(TlyrReportComponent *obj)
{
    if (OnBeforePrintEvent) OnBeforePrintEvent(obj);
    DoNotifyEvent(obj, obj->OnBeforePrint());
}

void TlyrReport::DoAfterPrint(TlyrReportComponent *obj)
{
    if (OnAfterPrintEvent) OnAfterPrintEvent(obj);
    DoNotifyEvent(obj, obj->OnAfterPrint());
}

void TlyrReport::DoPreviewClick(TlyrReportComponent *view, int button, int shift, bool &modified)
{
    KsValue params = KsValue::MakeList({KsValue::FromObject(view), KsValue(button), KsValue(shift), KsValue(modified)});
    DoParamEvent(view->OnPreviewClick(), params, true);
    modified = params.Element(3).ToBool();
    if (OnClickObject) OnClickObject(view, button, shift, modified);
}

void TlyrReport::DoProgressStart(TlyrProgressType type)
{
    if (engineOptions_->ThreadSafeMode()) return;
    if (OnProgressStart) OnProgressStart(this, type, 0);
    if ((oldStyleProgress_ || type != ptRunning) && showProgress_) {
        progress_.reset();
        if (lyrEngineFactories().Progress) {
            progress_.reset(lyrEngineFactories().Progress(this));
            if (progress_) progress_->Show();
        }
    }
    if (preview_ && type == ptRunning) preview_->InternalOnProgressStart(this, type, 0);
    QCoreApplication::processEvents();
}

void TlyrReport::DoProgress(TlyrProgressType type, int progress)
{
    if (engineOptions_->ThreadSafeMode()) return;
    if (OnProgress) OnProgress(this, type, progress);
    if ((oldStyleProgress_ || type != ptRunning) && showProgress_ && progress_) {
        const char *id = type == ptRunning ? (engine_ && engine_->FinalPass ? "prRunning" : "prRunningFirst")
                                           : (type == ptExporting ? "prExporting" : "prPrinting");
        progress_->SetMessage(lyrResources().Format(QString::fromLatin1(id), {QString::number(progress)}));
        if (progress_->Terminated()) SetTerminated(true);
    }
    if (preview_ && type == ptRunning) preview_->InternalOnProgress(this, type, progress - 1);
    QCoreApplication::processEvents();
}

void TlyrReport::KeepResponsive()
{
    if (engineOptions_->ThreadSafeMode()) return;
    QCoreApplication::processEvents();
    if (progress_ && progress_->Terminated() && !terminated_) SetTerminated(true);
}

void TlyrReport::DoProgressStop(TlyrProgressType type)
{
    if (engineOptions_->ThreadSafeMode()) return;
    if (OnProgressStop) OnProgressStop(this, type, 0);
    if ((oldStyleProgress_ || type != ptRunning) && showProgress_) {
        progress_.reset();
    }
    if (preview_ && type == ptRunning) preview_->InternalOnProgressStop(this, type, 0);
    QCoreApplication::processEvents();
}

QString lyrExpandExpressions(TlyrReport *report, const QString &source, const QString &open, const QString &close,
                             const std::function<QString(const QString &expr)> &evaluate)
{
    qsizetype i = source.indexOf(open);
    if (i < 0 || close.isEmpty()) return source;
    // The values go into a new text: replacing each in place moved the rest
    // of the text once per expression.
    QString out;
    out.reserve(source.size());
    qsizetype done = 0;
    for (int count = 0; i >= 0; i = source.indexOf(open, i)) {
        if (report && ++count % 256 == 0) {
            report->KeepResponsive();
            if (report->Terminated()) break;
        }
        qsizetype end = i, begin = i;
        const QString expr = lyrGetBracketedTextW(source, open, close, end, begin);
        // An opening delimiter without its closing one: the text stays.
        if (end <= i || end >= source.size() ||
            QStringView(source).sliced(end - close.size() + 1, close.size()) != close)
            break;
        out += QStringView(source).sliced(done, i - done);
        out += evaluate(expr);
        done = i = end + 1;
    }
    out += QStringView(source).sliced(done);
    return out;
}

std::function<void(const QString &name)> &lyrSelectPrinterHook()
{
    static std::function<void(const QString &)> hook;
    return hook;
}

void TlyrReport::SelectPrinter()
{
    if (lyrSelectPrinterHook()) lyrSelectPrinterHook()(printOptions_->Printer);
}

void TlyrReport::SetProgressMessage(const QString &text)
{
    if (oldStyleProgress_ && engine_ && engine_->Running && showProgress_ && progress_) progress_->SetMessage(text);
    if (previewForm_) previewForm_->SetStatusText(text);
}

// ---------------------------------------------------------------- script

KsValue TlyrReport::callMacro(const QString &name, TksMethodHelper *caller)
{
    TksScript *running = caller->Prog ? caller->Prog : script_.get();
    auto arg = [&](int i) { return caller->GetParam(i).ToText(); };
    if (name == QLatin1String("IIF")) {
        const KsValue cond = Calc(arg(0), running);
        return Calc(ksEquals(cond, KsValue(true)) ? arg(1) : arg(2), running);
    }
    auto evalOrZero = [&](const QString &text) -> KsValue {
        const QString t = text.trimmed();
        return t.isEmpty() ? KsValue(0) : Calc(t, running);
    };
    const bool count = name == QLatin1String("COUNT");
    const QString expr = count ? QString() : arg(0);
    const KsValue band = evalOrZero(arg(count ? 0 : 1));
    const KsValue flags = evalOrZero(arg(count ? 1 : 2));
    if (!engine_) return KsValue::Null();
    TlyrComponent *bandObj = band.IsObject() ? qobject_cast<TlyrComponent *>(band.ToObject()) : nullptr;
    // A total printed where its band lands is the total it had when read.
    const QString key = QStringLiteral("%1(%2|%3|%4)").arg(name, expr, arg(count ? 0 : 1), arg(count ? 1 : 2));
    if (replaying_) {
        const auto it = replaying_->Values.constFind(key);
        if (it != replaying_->Values.constEnd()) return *it;
    }
    const KsValue value = engine_->GetAggregateValue(name, expr, bandObj, flags.ToInt());
    if (recording_) recording_->insert(key, value);
    return value;
}

bool TlyrReport::PrepareScript()
{
    pageExpressions_.clear();
    expressionCache_->Clear();
    expressionCache_->Language = scriptLanguage_;
    if (engine_) engine_->ObjectList.clear();
    script_->ClearItems(&compiledTag);
    script_->ClearItems(this);
    script_->AddedBy = this;
    script_->HostFlag = true;
    struct ResetTag {
        TksScript *s;
        ~ResetTag() { s->AddedBy = nullptr; }
    } reset{script_.get()};
    // The script keeps its names sorted: added in that order each goes to
    // the end instead of moving all the others (the first of a name in
    // tree order still wins).
    std::vector<std::pair<QString, TlyrComponent *>> named;
    for (TlyrComponent *c : AllObjects()) {
        c->SetDesigning(false);
        c->BeforeStartReport();
        if (!c->objectName().isEmpty()) named.emplace_back(c->objectName().toUpper(), c);
    }
    std::stable_sort(named.begin(), named.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[key, c] : named) script_->AddObject(c->objectName(), c);
    script_->AddObject(QStringLiteral("Report"), this);
    script_->AddObject(QStringLiteral("Engine"), engine_.get());
    script_->AddObject(QStringLiteral("Outline"), previewPages_ ? previewPages_->Outline : nullptr);
    script_->AddVariable(QStringLiteral("Value"), QStringLiteral("Variant"), KsValue::Null());
    script_->AddMethod(
            QStringLiteral("function Get(Name: String): Variant"),
            [this](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *caller) {
                const QString name = caller->GetParam(0).ToText();
                KsValue v = KsValue::Null();
                if (DoGetValue(name, v)) return v;
                const QString head = name.section(QLatin1Char('('), 0, 0).trimmed().toUpper();
                if (name.contains(QLatin1Char('(')) &&
                    (head == QLatin1String("SUM") || head == QLatin1String("MIN") || head == QLatin1String("MAX") ||
                     head == QLatin1String("AVG") || head == QLatin1String("COUNT")))
                    return Calc(name, caller->Prog);
                if (lyrCompatibilityHooks().OnUnresolved && lyrCompatibilityHooks().OnUnresolved(this, name, v))
                    return v;
                AddError(lyrResources().Get(QStringLiteral("clUnknownVar")) + QLatin1Char(' ') + name);
                return KsValue::Null();
            });
    script_->AddMethod(QStringLiteral("procedure Set(Name: String; Value: Variant)"),
                       [this](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *caller) {
                           variables_->SetVariable(caller->GetParam(0).ToText(),
                                                   ksToQVariant(caller->GetParam(1), QMetaType::UnknownType));
                           return KsValue();
                       });
    auto macro = [this](QObject *, const KsClassInfo *, const QString &method, TksMethodHelper *caller) {
        return callMacro(method.toUpper(), caller);
    };
    script_->AddMethod(QStringLiteral("macrofunction IIF(Expr: Boolean; TrueValue, FalseValue: Variant): Variant"),
                       macro);
    for (const char *f : {"SUM", "AVG", "MIN", "MAX"})
        script_->AddMethod(
                QStringLiteral("macrofunction %1(Expr: Variant; Band: Variant = 0; Flags: Integer = 0): Variant")
                        .arg(QLatin1String(f)),
                macro);
    script_->AddMethod(QStringLiteral("macrofunction COUNT(Band: Variant = 0; Flags: Integer = 0): Variant"), macro);
    for (const UserFunction &f : userFunctions_)
        script_->AddMethod(
                f.Declaration,
                [this](QObject *, const KsClassInfo *, const QString &method, TksMethodHelper *caller) {
                    QList<KsValue> params;
                    for (int i = 0; i < caller->ParamCount(); ++i) params << caller->GetParam(i);
                    if (!OnUserFunction) return KsValue::Null();
                    const KsValue result = OnUserFunction(method.toUpper(), params);
                    for (int i = 0; i < caller->ParamCount() && i < params.size(); ++i)
                        if (caller->Param(i)->IsVarParam) caller->SetParam(i, params[i]);
                    return result;
                },
                f.Category, f.Description);
    if (lyrCompatibilityHooks().OnPrepareScript) lyrCompatibilityHooks().OnPrepareScript(this);
    valueVariable_ = script_->FindLocal(QStringLiteral("Value"));
    script_->AddedBy = &compiledTag;
    script_->Lines = scriptText_;
    script_->SyntaxType = scriptLanguage_;
    const bool ok = script_->Compile();
    if (!ok) AddError(lyrResources().Format(QStringLiteral("clScrError"), {script_->ErrorPos, script_->ErrorMsg}));
    return ok;
}

void TlyrReport::AddFunction(const QString &declaration, const QString &category, const QString &description)
{
    userFunctions_.push_back({declaration, category, description});
}

void TlyrReport::DoBeforeConnect(TlyrCustomDatabase *database, bool &connected)
{
    if (OnBeforeConnect) OnBeforeConnect(database, connected);
}

bool TlyrReport::DoGetValue(const QString &name, KsValue &value)
{
    if (replaying_) {
        if (name.compare(QLatin1String("Page#"), Qt::CaseInsensitive) == 0 ||
            name.compare(QLatin1String("Page"), Qt::CaseInsensitive) == 0) {
            value = KsValue(name.endsWith(u'#') ? replayPage_ : replayLogicalPage_);
            PageNumberRead = true;
            return true;
        }
        const auto it = replaying_->Values.constFind(name.toUpper());
        if (it != replaying_->Values.constEnd()) {
            value = *it;
            return true;
        }
    }
    // A value that came from the page number (a variable reading it) is
    // read again, not noted.
    const bool readBefore = std::exchange(PageNumberRead, false);
    const bool found = lookUpValue(name, value);
    if (found && recording_ && !PageNumberRead) recording_->insert(name.toUpper(), value);
    PageNumberRead = PageNumberRead || readBefore;
    return found;
}

QString TlyrReport::DeferPageExpression(const QString &expression, std::function<QString(const KsValue &)> format)
{
    PageExpression e{expression, CurObject, std::move(format), {}};
    {
        QHash<QString, KsValue> *const saved = std::exchange(recording_, &e.Values);
        struct Restore {
            QHash<QString, KsValue> *&r, *s;
            ~Restore() { r = s; }
        } restore{recording_, saved};
        const bool read = PageNumberRead;
        Calc(expression);
        PageNumberRead = read;
    }
    pageExpressions_.push_back(std::move(e));
    return lyrPageExpressionMark(int(pageExpressions_.size()) - 1);
}

QString TlyrReport::PageExpressionText(int id, int page, int logicalPage)
{
    if (id < 0 || id >= int(pageExpressions_.size())) return QString();
    const PageExpression &e = pageExpressions_[size_t(id)];
    const PageExpression *const saved = std::exchange(replaying_, &e);
    const int savedPage = std::exchange(replayPage_, page),
              savedLogical = std::exchange(replayLogicalPage_, logicalPage);
    const QString savedObject = std::exchange(CurObject, e.Object);
    const bool read = PageNumberRead;
    QString text;
    try {
        text = e.Format(Calc(e.Expression));
    } catch (const std::exception &) {
        // The error is in the report's list already.
    }
    PageNumberRead = read;
    CurObject = savedObject;
    replaying_ = saved;
    replayPage_ = savedPage;
    replayLogicalPage_ = savedLogical;
    return text;
}

bool TlyrReport::lookUpValue(const QString &name, KsValue &value)
{
    value = KsValue::Null();
    if (lyrCompatibilityHooks().OnGetValue) {
        KsValue v;
        if (lyrCompatibilityHooks().OnGetValue(this, name, v) && !v.IsEmpty()) {
            value = v;
            return true;
        }
    }
    TlyrDataSet *ds = nullptr;
    QString field;
    if (GetDataSetAndField(name, ds, field)) {
        value = ds->GetValue(field);
        if (value.IsNull() && engineOptions_->ConvertNulls()) {
            switch (ds->GetFieldType(field)) {
            case TlyrDataSet::ftString:
                value = KsValue(QString());
                break;
            case TlyrDataSet::ftBoolean:
                value = KsValue(false);
                break;
            default:
                value = KsValue(0);
                break;
            }
        }
        return true;
    }
    // System variables are names like any other: any case finds them.
    int sys = -1;
    for (int i = 0; i < sysVariables_.size() && sys < 0; ++i)
        if (sysVariables_.at(i).compare(name, Qt::CaseInsensitive) == 0) sys = i;
    if (sys >= 0) {
        switch (sys) {
        case 0:
            value = engine_ ? KsValue::FromDate(engine_->StartDate) : KsValue::Null();
            break;
        case 1:
            value = engine_ ? KsValue::FromDate(engine_->StartTime) : KsValue::Null();
            break;
        case 2:
            value = previewPages_ ? KsValue(previewPages_->GetLogicalPageNo()) : KsValue::Null();
            PageNumberRead = true;
            break;
        case 3:
            value = previewPages_ ? KsValue(previewPages_->CurPage + 1) : KsValue::Null();
            PageNumberRead = true;
            break;
        case 4:
            value = previewPages_ ? KsValue(previewPages_->GetLogicalTotalPages()) : KsValue::Null();
            break;
        case 5:
            value = engine_ ? KsValue(engine_->TotalPages) : KsValue::Null();
            break;
        case 6:
            value = engine_ ? KsValue(engine_->CurLine) : KsValue::Null();
            break;
        case 7:
            value = engine_ ? KsValue(engine_->CurLineThrough) : KsValue::Null();
            break;
        default:
            value = ksFromQVariant(lyrGlobalVariables().Variables(QStringLiteral("CopyName0")));
            break;
        }
        return true;
    }
    if (OnGetValue) {
        KsValue v;
        OnGetValue(name, v);
        if (!v.IsEmpty()) {
            value = v;
            return true;
        }
    }
    const int vi = variables_->IndexOf(name);
    if (vi >= 0) {
        const QVariant raw = variables_->Items(vi)->Value;
        if (raw.typeId() != QMetaType::QString || raw.toString().contains(QStringLiteral("\r\n"))) {
            value = ksFromQVariant(raw);
            if (value.IsEmpty()) value = KsValue::Null();
            return true;
        }
        // A variable whose expression leads back to itself ends as Null.
        const QString key = name.toUpper();
        if (evaluating_.contains(key)) {
            AddError(QStringLiteral("报表变量 %1 的表达式引用了它自己").arg(name));
            value = KsValue::Null();
            return true;
        }
        evaluating_.append(key);
        struct Pop {
            QStringList &l;
            ~Pop() { l.removeLast(); }
        } pop{evaluating_};
        value = Calc(raw.toString());
        return true;
    }
    const int gi = lyrGlobalVariables().IndexOf(name);
    if (gi >= 0) {
        value = ksFromQVariant(lyrGlobalVariables().Items(gi)->Value);
        if (value.IsEmpty()) value = KsValue::Null();
        return true;
    }
    if (lyrCompatibilityHooks().OnUnresolved) return false;
    if (TksCustomVariable *v = script_->FindLocal(name)) {
        if (dynamic_cast<TksVariable *>(v)) {
            value = v->GetValue();
            return true;
        }
    }
    return false;
}

KsValue TlyrReport::Calc(const QString &expr, TksScript *script)
{
    KsValue value;
    if (DoGetValue(expr, value)) return value;
    QString error;
    // Outside a run (before PrepareScript, or after the template changed
    // its language) the cache follows the report's language.
    if (expressionCache_->Language != scriptLanguage_) {
        expressionCache_->Clear();
        expressionCache_->Language = scriptLanguage_;
    }
    expressionCache_->Calc(expr, error, value, script ? script : script_.get());
    if (!error.isEmpty()) {
        if (!CurObject.isEmpty()) error = CurObject + QStringLiteral(": ") + error;
        AddError(error);
        throw ElyrExpressionError(error);
    }
    return value;
}

// ---------------------------------------------------------------- expression cache

TlyrExpressionCache::~TlyrExpressionCache() = default;

QString TlyrExpressionCache::exprError(const QString &expr, const QString &message)
{
    return lyrResources().Get(QStringLiteral("clExprError")) + QStringLiteral(" '") + expr + QStringLiteral("': ") +
           message;
}

void TlyrExpressionCache::Clear()
{
    entries_.clear();
    compiles_ = 0;
}

void TlyrExpressionCache::Calc(const QString &expr, QString &errorMsg, KsValue &value, TksScript *script)
{
    errorMsg.clear();
    std::shared_ptr<Entry> entry;
    auto it = entries_.constFind(expr);
    if (it != entries_.constEnd()) {
        entry = *it;
    } else {
        const QString n = QString::number(compiles_++);
        const QString fn = QStringLiteral("ly3f") + n;
        auto s = std::make_unique<TksScript>();
        s->Parent = script;
        s->ExtendedIdentChars = true;
        s->SyntaxType = Language;
        QString text;
        if (Language == QLatin1String("PascalScript"))
            text = QStringLiteral("function %1: Variant; begin Result := %2 end; begin end.").arg(fn, expr);
        else if (Language == QLatin1String("C++Script"))
            text = QStringLiteral("Variant %1() { return %2; } {}").arg(fn, expr);
        else if (Language == QLatin1String("BasicScript"))
            text = QStringLiteral("function %1\r\nreturn %2\r\nend function").arg(fn, expr);
        else if (Language == QLatin1String("JScript"))
            text = QStringLiteral("function %1() { return %2; }").arg(fn, expr);
        s->Lines = text.split(QStringLiteral("\r\n"));
        if (!s->Compile()) {
            errorMsg = exprError(expr, s->ErrorMsg);
            value = KsValue::Null();
            return;
        }
        entry = std::make_shared<Entry>();
        entry->Func = dynamic_cast<TksProcVariable *>(s->FindLocal(fn));
        entry->Script = std::move(s);
        entries_.insert(expr, entry);
    }
    entry->Script->Parent = script;
    if (!entry->Func) {
        value = KsValue::Null();
        return;
    }
    const bool flag = script_->HostFlag;
    script_->HostFlag = false;
    struct Restore {
        TksScript *s;
        bool f;
        ~Restore() { s->HostFlag = f; }
    } restore{script_, flag};
    // A run-time error is told like a compile error; one of an expression
    // inside this one has been told already.
    try {
        value = entry->Func->GetValue();
    } catch (const ElyrExpressionError &) {
        throw;
    } catch (const std::bad_alloc &) {
        throw;
    } catch (const std::exception &e) {
        errorMsg = exprError(expr, exceptionText(e));
        value = KsValue::Null();
    }
}

// ---------------------------------------------------------------- registration

TlyrDrawText &TlyrReport::DrawTextObject()
{
    if (!drawText_) drawText_ = std::make_unique<TlyrDrawText>();
    return *drawText_;
}

void lyrRegisterReportClasses()
{
    static bool done = false;
    if (done) return;
    done = true;
    // From now on the compiler reports its errors in the table's words.
    lyrResources().UpdateScriptResources();
    ksRegisterClass(&TlyrFont::staticMetaObject, [](QObject *o) -> QObject * { return new TlyrFont(o); });
    ksRegisterClass(&TlyrEngineOptions::staticMetaObject);
    ksRegisterClass(&TlyrPreviewOptions::staticMetaObject);
    // The printer's name reads as the resource table has it.
    ksRegisterClass(&TlyrPrintOptions::staticMetaObject)
            ->SetDefault(QStringLiteral("Printer"), KsValue(TlyrPrintOptions().Printer));
    ksRegisterClass(&TlyrReportOptions::staticMetaObject);
    ksRegisterClass(&TlyrCustomEngine::staticMetaObject);
    ksRegisterClass<TlyrComponent>();
    ksRegisterClass<TlyrReportComponent>();
    ksRegisterClass<TlyrDialogComponent>();
    ksRegisterClass<TlyrPage>();
    ksRegisterClass<TlyrDataPage>();
    ksRegisterClass(&TlyrDataSet::staticMetaObject);
    ksRegisterClass<TlyrUserDataSet>();
    ksRegisterClass(&TlyrCustomDBDataSet::staticMetaObject);
    ksRegisterClass<TlyrDBDataset>();
    ksRegisterClass<TlyrReport>();
    // The drawing objects templates hold, each after the classes it derives
    // from (the units ask for this first, whichever of them is asked first).
    lyrRegisterFrameClasses();
    lyrRegisterViewClasses();
    lyrRegisterMemoClasses();
    lyrRegisterBandClasses();
    lyrRegisterPageClasses();
    lyrRegisterDialogPageClasses();
}
