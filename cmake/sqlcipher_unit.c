/* The database engine's one translation unit: SQLCipher's amalgamation as it
 * was fetched, compiled with LIKE's and GLOB's search in place.
 *
 * After a '%' (or '*') the engine looks for the pattern's next character, in
 * either case, with strcspn().  The engine of 2016 scanned in its own loop;
 * the library call, once per row and column searched, made the goods lookup
 * (three "like '%code%'" over every item) slower than it was.  Shop texts are
 * a few bytes long: a scan compiled into the search stops at the same byte
 * for less.  Only that one call site uses strcspn.
 *
 * No system header may come before sqlite3.c: it sets the feature macros
 * (large files, GNU extensions) they are read with.  Hence builtin types. */

static __SIZE_TYPE__ velmoraScanTo(const char *text, const char *stops);
#define strcspn velmoraScanTo
#include "sqlite3.c"
#undef strcspn

/* strcspn(): the length of text's start that holds none of stops' bytes.
 * No library call even for longer stop lists: one in the search, however
 * rarely taken, costs it as much as the call it replaces. */
static inline __SIZE_TYPE__ velmoraScanTo(const char *text, const char *stops)
{
    const unsigned char a = (unsigned char)stops[0];
    const unsigned char b = a ? (unsigned char)stops[1] : 0;
    const unsigned char *p = (const unsigned char *)text;
    if (a && b && stops[2]) {
        for (; *p; ++p) {
            const char *q = stops;
            while (*q && (unsigned char)*q != *p) ++q;
            if (*q) break;
        }
    } else {
        while (*p && *p != a && *p != b) ++p;
    }
    return (__SIZE_TYPE__)(p - (const unsigned char *)text);
}
