#pragma once
// Raw output of dot-matrix pages: each prepared page is laid out on its
// character grid (one cell per 9.6 x 17 layout units, the page margins
// included) and written line by line as printer text: GBK characters,
// escape commands for the font styles, the command objects' bytes where
// they stand, CR LF after each line and a form feed after each page.
//
// Font styles, in the order the bits go on and off:
//   bold ESC E / ESC F, italic ESC 4 / ESC 5, underline ESC - 1 / ESC - 0,
//   superscript ESC S 0, subscript ESC S 1 (both off: ESC T),
//   condensed SI / DC2, wide ESC W 1 / ESC W 0,
//   pitch 12 cpi ESC M, 15 cpi ESC g, back to 10 cpi ESC P.
// Text between objects and at line ends is written in the page's style.

#include <QByteArray>

class TlyrReportPage;

// The job's start: ESC @ (printer reset).
QByteArray lyrDMPJobStart();
// One page in the page's font style (FontStyle of its dot-matrix page),
// ending with its form feed.
QByteArray lyrDMPPageBytes(TlyrReportPage &page, int pageStyle);
// Bytes that switch the printer from one style set to another.
QByteArray lyrDMPStyleChange(int from, int to);
