#pragma once
// The keyed table of every text the report library shows, the button image
// lists, the help file and the language files beside the program.

#include "report/lyrutils.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

class TlyrResources {
public:
    TlyrResources();

    // An existing id gets the new text in place; a new id is appended.
    void Add(const QString &id, const QString &text);
    // Adds every line "id=text" with a non-empty id and text.
    void AddStrings(const QString &text);
    // The text of id (a leading "!" removed), or id itself when unknown.
    // Ids compare without regard to case.
    QString Get(const QString &id) const;
    QString GetByNumber(int n) const { return Get(QString::number(n)); }
    // The text of id with each "%s" or "%d" in turn replaced by the next of args.
    QString Format(const QString &id, const QStringList &args) const;
    int Count() const { return static_cast<int>(values_.size()); }

    // Filled on first use from the program resources "ObjectButtons" and
    // "PreviewButtons" (gzip-framed bitmaps, 16 x 16 cells). A missing or
    // damaged resource raises EZDecompressionError, an undecodable bitmap
    // ElyrError.
    TlyrImageList &ObjectImages();
    TlyrImageList &PreviewButtonImages();
    void SetObjectImages(const QImage &strip, bool clear);
    void SetPreviewButtonImages(const QImage &strip, bool clear);
    // The further lists, created empty: two of 16 x 16 and one of 32 x 32.
    TlyrImageList &OtherImages(int index) { return index == 0 ? other0_ : other1_; }
    TlyrImageList &LargeImages() { return large_; }

    // The ids of the script compiler's messages, in order.
    static const QStringList &ScriptResourceIds();
    // Hands the text of each script message id to sink (the compiler's table).
    void UpdateScriptResources(const std::function<void(const QString &id, const QString &text)> &sink) const;
    // Copies them into the script compiler's message table.
    void UpdateScriptResources() const;

    QString HelpFile = QStringLiteral("LyrUser.chm");
    // Program folder + HelpFile, with "::/" + page for the known window
    // classes.
    QString HelpTopic(const QString &className) const;
    // Shows the topic through the help viewer; nothing without a viewer or
    // without the help file.
    void Help(const QString &className) const;

    // Language files "*.lyc" beside the program: "Name" for "name.lyc".
    const QStringList &Languages() const { return languages_; }

private:
    void loadImages(TlyrImageList &list, const char *resourceName);

    QHash<QString, int> names_;
    QStringList values_;
    TlyrImageList objects_, preview_, other0_, other1_, large_{32, 32};
    QStringList languages_;
};

TlyrResources &lyrResources();

// The built-in English table (id=text lines separated by CR LF).
const char *lyrBuiltInResourceText();
// An embedded program resource by name (empty when there is none).
QByteArray lyrProgramResource(const QString &name);

// The compiled-help viewer: none on this platform unless one is set.
using TlyrHelpViewer = std::function<void(const QString &topic)>;
void lyrSetHelpViewer(TlyrHelpViewer viewer);
void lyrShowHelp(const QString &topic);
