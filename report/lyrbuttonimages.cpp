// Placeholder until the strip generator writes the real data.
#include "report/lyrres.h"
QByteArray lyrProgramResource(const QString&) { return QByteArray(); }
