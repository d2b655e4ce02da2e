// Ini files, graphics and the message functions and common dialogs as
// scripts use them; dialogs are answered through the hooks.
#include "ks_print.h"
#include "script/ks_idialogsrtti.h"
#include "script/ks_igraphicsrtti.h"
#include "script/ks_iinirtti.h"
#include "script/ks_runner.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

namespace {

QStringList RunText(const QString &text, const char *lang = "PascalScript")
{
    return ksRunScript(text, QLatin1String(lang)).Output;
}

QString ReadText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void WriteText(const QString &path, const QString &text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
}

// Hooks answering like a user, restored at the end of a test.
struct Answers {
    QStringList Shown;
    Answers()
    {
        ksDialogHooks().MessageDlg = [this](const QString &text, int type, int buttons) {
            Shown << QStringLiteral("%1|%2|%3").arg(text).arg(type).arg(buttons);
            return buttons & (1 << ksMbNo) ? int(ksMrNo) : int(ksMrOk);
        };
        ksDialogHooks().InputQuery = [this](const QString &caption, const QString &prompt, QString &value) {
            Shown << caption + QLatin1Char('|') + prompt + QLatin1Char('|') + value;
            if (prompt == QLatin1String("cancel")) return false;
            value = value + QStringLiteral("!");
            return true;
        };
        ksDialogHooks().Execute = [this](TCommonDialog *d) {
            Shown << ksClassNameOf(d) + QLatin1Char('|') + d->Title();
            if (auto *o = qobject_cast<TOpenDialog *>(d)) o->SetFileName(QStringLiteral("/chosen.txt"));
            return true;
        };
    }
    ~Answers() { ksDialogHooks() = KsDialogHooks(); }
};

TEST(KsIni, ReadWriteKeepsOrderAndComments)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.ini"));
    WriteText(path, QStringLiteral("; top\n[b]\nx=1\n; keep me\ny = two\n\n[a]\nz=3\n"));
    const QStringList out = RunText(
            QStringLiteral(
                    "var F: TIniFile; M: TMemIniFile; L: TStringList;\n"
                    "begin\n"
                    "  L := TStringList.Create; F := TIniFile.Create('%1');\n"
                    "  Out(F.ReadString('B', 'Y', 'none') + F.ReadString('b', 'q', 'none'));\n"
                    "  Out(F.ReadInteger('b', 'x', 0) + 1); Out(F.ReadInteger('b', 'y', 7));\n"
                    "  F.WriteString('b', 'w', 'new'); F.WriteInteger('a', 'z', 4); F.WriteBool('c', 'on', True);\n"
                    "  F.ReadSectionValuesEx('b', L); Out(L.CommaText);\n"
                    "  F.ReadSection('b', L); Out(L.CommaText);\n"
                    "  F.ReadSectionValues('a', L); Out(L.CommaText);\n"
                    "  F.ReadSections(L); Out(L.CommaText);\n"
                    "  Out(F.ReadBool('c', 'on', False)); Out(F.SectionExists('A')); Out(F.ValueExists('b', 'q'));\n"
                    "  Out(F.FileName = '%1');\n"
                    "  F.Free;\n"
                    "  M := TMemIniFile.Create('%1'); M.WriteString('a', 'mem', 'only');\n"
                    "  M.EraseSection('c'); M.GetStrings(L); Out(L.Count); M.Free;\n"
                    "  L.Free;\n"
                    "end.")
                    .arg(path));
    EXPECT_EQ(out, QStringList({"twonone", "2", "7", "1,two,new", "x,y,w", "z=4", "b,a,c", "True", "True", "False",
                                "True", "10"}));
    // the memory file never wrote the disk file
    EXPECT_EQ(ReadText(path), QStringLiteral("; top\n[b]\nx=1\n; keep me\ny = two\nw=new\n\n[a]\nz=4\n[c]\non=1\n"));
}

TEST(KsIni, StreamsAndRefusedPaths)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.ini"));
    const QString bad = dir.filePath(QStringLiteral("missing/dir/t.ini"));
    const QStringList out =
            RunText(QStringLiteral("var F: TIniFile; M: TMemIniFile; S, B: TMemoryStream; n: Integer;\n"
                                   "begin\n"
                                   "  S := TMemoryStream.Create; B := TMemoryStream.Create;\n"
                                   "  M := TMemIniFile.Create(''); M.WriteString('s', 'k', 'v');\n"
                                   "  B.Write('ab' + Chr(0) + Chr(255), 4); M.WriteBinaryStream('s', 'bin', B);\n"
                                   "  Out(M.ReadString('s', 'bin', ''));\n"
                                   "  B.Clear; Out(M.ReadBinaryStream('s', 'bin', B)); Out(B.Size);\n"
                                   "  M.SaveIniFileToStream(S); M.SaveIniFileToStream(nil);\n"
                                   "  F := TIniFile.Create('%1'); S.Position := 0; F.LoadIniFileFromStream(S);\n"
                                   "  Out(F.ReadString('s', 'k', '')); F.Free;\n"
                                   "  F := TIniFile.Create('%2');\n"
                                   "  Out(F.ReadString('s', 'k', 'default'));\n"
                                   "  try F.WriteString('s', 'k', 'v') except Out(ExceptionClassName) end;\n"
                                   "  F.Free; M.Free; S.Free; B.Free;\n"
                                   "end.")
                            .arg(path, bad));
    EXPECT_EQ(out, QStringList({"616200FF", "4", "4", "v", "default", "EFCreateError"}));
    EXPECT_EQ(ReadText(path), QStringLiteral("[s]\nk=v\nbin=616200FF\n"));
}

TEST(KsDialogs, MessagesAndQuestionsGoThroughTheHooks)
{
    Answers answers;
    const QStringList out =
            RunText(QStringLiteral("var s: String; D: TOpenDialog;\n"
                                   "begin\n"
                                   "  Out(MessageDlg('Sure?', mtConfirmation, [mbYes, mbNo], 0));\n"
                                   "  Out(MessageDlg('Done', mtInformation, [mbOK], 0));\n"
                                   "  s := 'x'; Out(InputQuery('Cap', 'Name', s)); Out(s);\n"
                                   "  s := 'y'; Out(InputQuery('Cap', 'cancel', s)); Out(s);\n"
                                   "  Out(InputBox('Cap', 'Box', 'd')); Out(InputBox('Cap', 'cancel', 'd'));\n"
                                   "  D := TOpenDialog.Create(nil); D.Title := 'Pick'; D.Filter := 'Text|*.txt';\n"
                                   "  Out(D.Execute); Out(D.FileName); D.Free;\n"
                                   "end."));
    EXPECT_EQ(out, QStringList({"7", "1", "True", "x!", "False", "y", "d!", "d", "True", "/chosen.txt"}));
    EXPECT_EQ(answers.Shown, QStringList({"Sure?|3|3", "Done|2|4", "Cap|Name|x", "Cap|cancel|y", "Cap|Box|d",
                                          "Cap|cancel|d", "TOpenDialog|Pick"}));
    TOpenDialog d;
    d.SetFilter(QStringLiteral("Text|*.txt;*.log|All|*.*"));
    EXPECT_EQ(d.QtFilter(), QStringLiteral("Text (*.txt *.log);;All (*.*)"));
}

// Without a hook the message box is Qt's: "Yes to All" and "All" are two
// buttons, each answering with its own result (mrYesToAll 10, mrAll 8).
TEST(KsDialogs, YesToAllAndAllAreTwoButtons)
{
    // Qt's button to press (NoButton: the one without a standard role, "All"), and the answer
    const std::pair<QMessageBox::StandardButton, const char *> picks[] = {
            {QMessageBox::YesToAll, "10"}, {QMessageBox::NoButton, "8"}, {QMessageBox::No, "7"}};
    for (const auto &[pick, expected] : picks) {
        SCOPED_TRACE(expected);
        QList<QMessageBox::StandardButton> seen;
        QTimer answer;  // until the box is up
        QObject::connect(&answer, &QTimer::timeout, [&, pick = pick] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            answer.stop();
            for (QAbstractButton *b : box->buttons()) seen << box->standardButton(b);
            for (QAbstractButton *b : box->buttons())
                if (box->standardButton(b) == pick) return b->click();
            box->reject();  // no such button
        });
        answer.start(5);
        const QStringList out = RunText(QStringLiteral("begin Out(MessageDlg('Replace?', mtConfirmation, "
                                                       "[mbYesToAll, mbAll, mbNo], 0)) end."));
        EXPECT_EQ(seen.size(), 3);
        EXPECT_EQ(seen.count(QMessageBox::NoButton), 1);  // "All"
        EXPECT_EQ(seen.count(QMessageBox::YesToAll), 1);
        EXPECT_EQ(out, QStringList({QLatin1String(expected)}));
    }
}

TEST(KsGraphics, BitmapsDrawAndFontsKeepTheirSettings)
{
    const QStringList out = RunText(QStringLiteral(
            "var B: TBitmap; F: TFont; P: TPicture;\n"
            "begin\n"
            "  B := TBitmap.Create; B.Width := 20; B.Height := 10;\n"
            "  Out(B.Canvas.Pixels[1, 1] = clWhite);\n"
            "  B.Canvas.Pixels[2, 3] := clRed; Out(B.Canvas.Pixels[2, 3] = clRed);\n"
            "  B.Canvas.Brush.Color := clBlue; B.Canvas.Pen.Color := clBlue; B.Canvas.Rectangle(10, 0, 20, 10);\n"
            "  Out(B.Canvas.Pixels[15, 5] = clBlue); Out(B.Canvas.Pixels[9, 5] = clWhite);\n"
            "  Out(B.Canvas.Pixels[50, 50]);\n"
            "  B.Canvas.Font.Size := 20; Out(B.Canvas.TextWidth('WWW') > B.Canvas.TextWidth('W'));\n"
            "  F := TFont.Create; F.Name := 'Serif'; F.Size := 12; F.Style := fsBold + fsItalic; F.Color := clGreen;\n"
            "  B.Canvas.Font.Assign(F); Out(B.Canvas.Font.Size); Out(B.Canvas.Font.Style); Out(B.Canvas.Font.Color = "
            "clGreen);\n"
            "  P := TPicture.Create; Out(P.Width);\n"
            "  Out(RGB(255, 0, 0) = clRed); Out(ColorToRGB(clBlue) = clBlue); Out(ColorToRGB(clWindow) >= 0);\n"
            "  F.Free; B.Free; P.Free;\n"
            "end."));
    EXPECT_EQ(out, QStringList({"True", "True", "True", "True", "-1", "True", "12", "3", "True", "0", "True", "True",
                                "True"}));
    EXPECT_EQ(ksColorToQColor(0x0000FF), QColor(Qt::red));
    EXPECT_EQ(ksQColorToColor(QColor(Qt::blue)), 0xFF0000);
}

}  // namespace
