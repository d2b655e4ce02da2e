// The engine's limits in one place: how deep, how large and how long a
// script may grow before it is refused with an error instead of exhausting
// the stack, the memory or the user's patience.
#pragma once

#include <QtGlobal>

// Script calls nested deeper than this raise EStackOverflow (catchable).
constexpr int ksMaxCallDepth = 1000;
// Expression trees deeper than this are refused ("Expression too complex"):
// evaluation recurses once per level.
constexpr int ksMaxExpressionDepth = 1000;
// Nesting of grammar rules that pass 1 allows (deeper texts are refused with
// SProgramTooComplex instead of exhausting the stack).
constexpr int ksMaxRuleDepth = 1200;
// Nesting of the elements of a grammar document.
constexpr int ksMaxGrammarDepth = 200;
// Rule steps pass 1 may take per character of text, on top of a fixed
// allowance (real scripts need some 15 per character). The allowance grows
// with the text and has no cap of its own: a long ordinary script is
// bounded by the run's memory, which compiling counts, not by its length.
constexpr qint64 ksRuleStepsPerChar = 500;
constexpr qint64 ksRuleStepsBase = 200000;
constexpr qint64 ksRuleStepBudget(qint64 chars)
{
    return ksRuleStepsPerChar * chars + ksRuleStepsBase;
}
// Units included into units, at most this deep.
constexpr int ksMaxUnitDepth = 32;
// Largest unit file read from disk.
constexpr qint64 ksMaxUnitBytes = qint64(8) << 20;
// Elements a Variant array may hold (declared, VarArrayCreate, SetLength);
// more raise EOutOfMemory (each element takes 32 bytes: 512 MB in all).
constexpr qint64 ksMaxArrayElements = qint64(1) << 24;
// Heap one script run may add in all, strings, lists, streams, arrays and
// objects together (ks_budget.h); more raise EOutOfMemory.
constexpr qint64 ksMaxRunBytes = qint64(1) << 30;
// Nesting of a script XML document.
constexpr int ksMaxXMLDepth = 2000;
// Ancestors followed when a class chain is walked (a cycle must end).
constexpr int ksMaxClassAncestors = 100;
// Widths and precisions a Format specifier may ask for.
constexpr int ksMaxFormatWidth = 100000;
// Longest string a script may build, in characters (128 MB), and most a list
// of a script may hold (string and object lists, memory streams): its
// characters as bytes and an allowance per item. Past them an operation
// raises EOutOfMemory, which the script's try statement can catch, long
// before the process runs out of memory.
constexpr qint64 ksMaxStringLength = qint64(1) << 26;
constexpr qint64 ksMaxListBytes = qint64(1) << 27;
constexpr qint64 ksListItemBytes = 64;
