// Shows a report of the sale document's layout (title, column heads, rows of
// eight columns, a total; Chinese texts) in the preview window and saves
// the window as PNG files: at 100 %, at page width, with the thumbnails and
// with a found text highlighted; then the print dialog and the page
// settings dialog of that report.
//   lyrpreviewshots OUTDIR
#include "../../tests/reportengine/preview_fixture.h"
#include "platform/ui/application.h"
#include "reportengine/lyrpreviewdialogs.h"
#include "reportengine/lyrprintdialog.h"

#include <QDir>
#include <QPixmap>
#include <QToolButton>

#include <cstdio>

namespace {

bool save(QWidget &form, const QString &dir, const char *name)
{
    QApplication::processEvents();
    const QString file = dir + QLatin1Char('/') + QString::fromLatin1(name);
    const bool ok = form.grab().save(file);
    std::printf("%s%s\n", qPrintable(file), ok ? "" : " (not written)");
    return ok;
}

}  // namespace

int main(int argc, char **argv)
{
    ui::Application app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: lyrpreviewshots OUTDIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);

    PreviewReport r(120);
    if (!r.prepare()) {
        std::fprintf(stderr, "the report did not build: %s\n", qPrintable(r.report->Errors().join(QLatin1Char('\n'))));
        return 1;
    }
    const auto form = r.openForm(QSize(1100, 800));
    bool ok = save(*form, dir, "preview_100.png");
    form->Preview->SetZoomMode(TlyrPreviewOptions::zmPageWidth);
    ok &= save(*form, dir, "preview_pagewidth.png");
    form->Preview->SetZoom(0.5);
    form->ThumbB->click();
    ok &= save(*form, dir, "preview_thumbnails.png");
    form->ThumbB->click();
    form->Preview->SetZoom(1);
    form->Preview->FindText(QStringLiteral("合计 123"), false, true);
    ok &= save(*form, dir, "preview_found.png");

    // Pages joined on A4 sheets, so that the sheet box is in use.
    r.report->PrintOptions()->PrintMode = TlyrPrintOptions::pmJoin;
    r.report->PrintOptions()->PrintOnSheet = 9;
    TlyrPrintDialog print(r.report.get(), &r.pages(), form.get());
    print.show();
    ok &= save(print, dir, "print_dialog.png");
    print.hide();
    TlyrPageSettingsForm settings(form.get());
    settings.SetPage(r.page, r.report.get());
    settings.show();
    ok &= save(settings, dir, "page_settings.png");
    settings.hide();
    return ok ? 0 : 1;
}
