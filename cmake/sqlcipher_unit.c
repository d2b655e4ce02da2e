/* The database engine's one translation unit: SQLCipher's amalgamation as it
 * was fetched, built as published, with one cost taken out of every save
 * (results and files are the same): the page cache's bound after a split.
 *
 * No system header may come before sqlite3.c: it sets the feature macros
 * (large files, GNU extensions) they are read with. */

#define SQLITE_EXTRA_INIT velmoraEngineInit
#include "sqlite3.c"

/* What follows reads the page cache's own structure and relies on how a
 * b-tree split renumbers its pages in this very engine: another version
 * must be checked against it (pcache1.c, balance_nonroot()) first. */
#if SQLITE_VERSION_NUMBER != 3042000
#error "cmake/sqlcipher_unit.c was written for SQLite 3.42.0 (SQLCipher 4.5.5); check its page-cache change against this engine"
#endif

/* A b-tree split that puts its new pages in order parks one of them, for a
 * moment, at the number of the page holding the locking byte, far past the
 * end of any shop's file.  The page cache keeps that as its largest page
 * number, and the commit, trimming the cache to the file's size, then walks
 * every slot of its hash table instead of the few past the end: with the
 * 64 MB cache the program opens with, a tenth of a sale's save.
 *
 * The bound is raised as usual when the page arrives there, and lowered
 * again only once it has left: to the largest number any other page had
 * before it arrived or was given since.  While a page stays parked the
 * bound stays high, so the cache is always trimmed whole.  One split runs
 * on one thread under the b-tree's lock, so what is kept for it is the
 * thread's own. */
static _Thread_local struct {
    sqlite3_pcache *cache; /* the cache with a parked page, or none */
    unsigned int bound;    /* the largest number of its other pages */
} velmoraParked;

static unsigned int velmoraParking(const PCache1 *cache)
{
    return (unsigned int)(PENDING_BYTE / cache->szPage) + 1;
}

static void velmoraRaise(unsigned int key)
{
    if (key > velmoraParked.bound) velmoraParked.bound = key;
}

static sqlite3_pcache_page *velmoraFetch(sqlite3_pcache *p, unsigned int key, int createFlag)
{
    if (velmoraParked.cache == p) {
        /* Asked for the parked number itself: the page may stay, and so does the bound. */
        if (key == velmoraParking((PCache1 *)p))
            velmoraParked.cache = 0;
        else
            velmoraRaise(key);
    }
    return pcache1Fetch(p, key, createFlag);
}

static void velmoraRekey(sqlite3_pcache *p, sqlite3_pcache_page *page, unsigned int oldKey, unsigned int newKey)
{
    PCache1 *cache = (PCache1 *)p;
    const unsigned int parking = velmoraParking(cache);
    if (newKey == parking) {
        pcache1EnterMutex(cache->pGroup);
        const unsigned int before = cache->iMaxKey;
        pcache1LeaveMutex(cache->pGroup);
        pcache1Rekey(p, page, oldKey, newKey);
        velmoraParked.cache = p;
        velmoraParked.bound = before;
        return;
    }
    pcache1Rekey(p, page, oldKey, newKey);
    if (velmoraParked.cache != p) return;
    velmoraRaise(newKey);
    if (oldKey != parking) return;
    /* The parked page has left; no page has a larger number than the bound
     * unless the cache holds numbers past the parking one (a file over a
     * gigabyte), and then its own bound is larger and stays. */
    velmoraParked.cache = 0;
    pcache1EnterMutex(cache->pGroup);
    if (cache->iMaxKey == parking) cache->iMaxKey = velmoraParked.bound;
    pcache1LeaveMutex(cache->pGroup);
}

/* Run at the end of sqlite3_initialize(), before any cache exists. */
int velmoraEngineInit(const char *unused)
{
    (void)unused;
    sqlite3_pcache_methods2 *m = &sqlite3GlobalConfig.pcache2;
    if (m->xRekey == pcache1Rekey && m->xFetch == pcache1Fetch) {
        m->xRekey = velmoraRekey;
        m->xFetch = velmoraFetch;
    }
    return SQLITE_OK;
}

/* The page cache's methods as the engine uses them, for the tests. */
void velmoraPageCacheMethods(sqlite3_pcache_methods2 *methods)
{
    sqlite3_initialize();
    *methods = sqlite3GlobalConfig.pcache2;
}
