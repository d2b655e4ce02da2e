/* The database engine's one translation unit: SQLCipher's amalgamation as it
 * was fetched, with two costs the engine of 2016 did not have taken out of
 * the goods lookup and of every save (results and files are the same).
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
#define SQLITE_EXTRA_INIT velmoraEngineInit
#include "sqlite3.c"
#undef strcspn

/* strcspn(): the length of text's start that holds none of stops' bytes.
 * LIKE's stops are one byte, or a letter's two cases, which differ only in
 * bit 0x20: with that bit forced on both sides one comparison a byte finds
 * either.  No library call even for other stop lists: one in the search,
 * however rarely taken, costs it as much as the call it replaces. */
static inline __SIZE_TYPE__ velmoraScanTo(const char *text, const char *stops)
{
    const unsigned char a = (unsigned char)stops[0];
    const unsigned char b = a ? (unsigned char)stops[1] : 0;
    const unsigned char caseBit = (unsigned char)(a ^ b);
    const unsigned char *p = (const unsigned char *)text;
    if (a && (!b || ((caseBit == 0 || caseBit == 0x20) && !stops[2]))) {
        const unsigned char mask = b ? caseBit : 0;
        const unsigned char want = (unsigned char)(a | mask);
        while (*p && (unsigned char)(*p | mask) != want) ++p;
    } else {
        for (; *p; ++p) {
            const char *q = stops;
            while (*q && (unsigned char)*q != *p) ++q;
            if (*q) break;
        }
    }
    return (__SIZE_TYPE__)(p - (const unsigned char *)text);
}

/* A b-tree split that puts its new pages in order parks one of them, for a
 * moment, at the number of the page holding the locking byte, far past the
 * end of any shop's file.  The page cache keeps that as its largest page
 * number, and the commit, trimming the cache to the file's size, then walks
 * every slot of its hash table instead of the few past the end: with the
 * 64 MB cache the program opens with, a tenth of a sale's save.  The parked
 * page moves on within the same split, so the largest number is kept as it
 * was before it. */
static void velmoraRekey(sqlite3_pcache *p, sqlite3_pcache_page *page, unsigned int oldKey, unsigned int newKey)
{
    PCache1 *cache = (PCache1 *)p;
    const unsigned int parking = (unsigned int)(PENDING_BYTE / cache->szPage) + 1;
    pcache1EnterMutex(cache->pGroup);
    const unsigned int largest = cache->iMaxKey;
    pcache1LeaveMutex(cache->pGroup);
    pcache1Rekey(p, page, oldKey, newKey);
    if (newKey == parking && largest < newKey) {
        pcache1EnterMutex(cache->pGroup);
        cache->iMaxKey = largest > oldKey ? largest : oldKey;
        pcache1LeaveMutex(cache->pGroup);
    }
}

/* Run at the end of sqlite3_initialize(), before any cache exists. */
int velmoraEngineInit(const char *unused)
{
    (void)unused;
    if (sqlite3GlobalConfig.pcache2.xRekey == pcache1Rekey) sqlite3GlobalConfig.pcache2.xRekey = velmoraRekey;
    return SQLITE_OK;
}
