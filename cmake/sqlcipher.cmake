# The database engine: SQLCipher's amalgamation, fetched (and checked against
# its published integrity) by tools/dev.sh setup, built here into a static
# library so that the program, the tests, the fuzzers and the sanitized build
# all run the same engine.  Nothing else may link a second SQLite.
set(VELMORA_SQLCIPHER_DIR ${CMAKE_SOURCE_DIR}/third_party/sqlcipher-4.5.5/src)
if(NOT EXISTS ${VELMORA_SQLCIPHER_DIR}/sqlite3.c)
  message(FATAL_ERROR "SQLCipher source missing in ${VELMORA_SQLCIPHER_DIR}: run bash tools/dev.sh setup")
endif()
find_package(OpenSSL REQUIRED COMPONENTS Crypto)
find_package(Threads REQUIRED)
# Compiled through sqlcipher_unit.c, which includes sqlite3.c unchanged.
add_library(velmora_sqlcipher STATIC ${CMAKE_CURRENT_LIST_DIR}/sqlcipher_unit.c)
set_target_properties(velmora_sqlcipher PROPERTIES AUTOMOC OFF)
# Its own headers come first, before any sqlite3.h of the system.
target_include_directories(velmora_sqlcipher BEFORE PUBLIC ${VELMORA_SQLCIPHER_DIR})
target_compile_definitions(velmora_sqlcipher
  PUBLIC SQLITE_HAS_CODEC
  PRIVATE
    SQLCIPHER_CRYPTO_OPENSSL
    SQLITE_TEMP_STORE=2           # temporary tables stay in memory, never unencrypted on disk
    SQLITE_SECURE_DELETE          # deleted rows are overwritten
    SQLITE_THREADSAFE=1
    SQLITE_OMIT_LOAD_EXTENSION    # no query may load code
    HAVE_USLEEP=1                 # busy waits sleep milliseconds, not whole seconds
    HAVE_FDATASYNC=1              # a commit syncs the data, not the file's times too
    HAVE_LOCALTIME_R=1
    HAVE_GMTIME_R=1
    HAVE_MALLOC_USABLE_SIZE=1
    HAVE_POSIX_FALLOCATE=1
    SQLITE_DEFAULT_MEMSTATUS=0    # no lock around every allocation for statistics nobody reads
    SQLITE_ENABLE_COLUMN_METADATA
    SQLITE_ENABLE_UNLOCK_NOTIFY
    SQLITE_ENABLE_UPDATE_DELETE_LIMIT
    SQLITE_ENABLE_FTS3
    SQLITE_ENABLE_RTREE
    SQLITE_SOUNDEX)
# Third-party code: its own warnings are not ours to fix.  Built position
# independent like everything here, but only ever linked statically: nothing
# replaces the engine's public functions, so its own calls to them (the value
# and result calls of LIKE, once per row and column searched) may be inlined
# rather than go through the symbol table as a shared library's must.
target_compile_options(velmora_sqlcipher PRIVATE -w -fno-semantic-interposition)
target_link_libraries(velmora_sqlcipher PUBLIC OpenSSL::Crypto Threads::Threads ${CMAKE_DL_LIBS} m)
