// Messages of the compiler and the run time. They are variables so that the
// report library can replace them from its resource strings.
#pragma once

#include <QString>

extern QString SLangNotFound;  // "Language '%1' not found"
extern QString SInvalidLanguage;
extern QString SIdRedeclared;
extern QString SUnknownType;
extern QString SIncompatibleTypes;
extern QString SIdUndeclared;
extern QString SClassRequired;
extern QString SIndexRequired;
extern QString SStringError;
extern QString SClassError;  // "Class %1 does not have a default property"
extern QString SArrayRequired;
extern QString SVarRequired;
extern QString SNotEnoughParams;
extern QString STooManyParams;
extern QString SLeftCantAssigned;
extern QString SForError;
extern QString SEventError;
extern QString SStringIndexError;  // run time: character index out of range
// Compiler: a text past one of its limits; each names the limit: more
// memory than there is, rules nested too deeply, too many parsing steps,
// units included in units too deeply.
extern QString SProgramTooComplex;
extern QString SProgramTooDeep;  // "... more than %1 deep"
extern QString SProgramTooLong;  // "... more than %1 parsing steps"
extern QString SUnitsTooDeep;    // "... more than %1 deep"
// Compiler: array bounds with high < low - 1 or too many elements.
extern QString SArrayBoundsError;
// Compiler: a number literal that no value can hold.
extern QString SNumberOutOfRange;
// Compiler: a unit file that is missing, no regular file, or unreadable;
// one larger than the unit limit.
extern QString SUnitNotRead;
extern QString SUnitTooLarge;
// Run time: a string, a list, a Variant array or a whole run past the
// engine's limits.
extern QString SStringTooLong;  // "... more than %1 characters"
extern QString SListTooLarge;   // "... more than %1 MB"
extern QString SArrayTooLarge;  // "... more than %1 elements"
extern QString SRunTooLarge;    // "... more than %1 MB"

// Replaces the text of the compiler message named `id` (as the variables
// above, any case); a "%s" in the text becomes the engine's place marker.
// False when no message has that name.
bool ksSetCompilerMessage(const QString &id, const QString &text);
// A message followed by a name in quotes, one blank between them whether or
// not the message's text ends with one ("Undeclared identifier: 'x'").
QString ksNameMessage(const QString &message, const QString &name);
