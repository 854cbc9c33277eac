# What the Windows cross build takes from elsewhere than a package of the
# target system:
#  - SQLite, compiled from its amalgamation (QUELVAR_SQLITE_SOURCE_DIR, fetched
#    by scripts/fetch-sqlite.sh) into the target SQLite::SQLite3;
#  - CLI11 (header-only): Debian's headers, reached through a folder holding
#    only them, so the host's C library headers never shadow MinGW's;
#  - GoogleTest, compiled from Debian's sources (QUELVAR_GTEST_SOURCE_DIR).
set(QUELVAR_SQLITE_SOURCE_DIR "" CACHE PATH "folder with SQLite's sqlite3.c and sqlite3.h")
set(QUELVAR_CLI11_INCLUDE_DIR /usr/include CACHE PATH "folder holding CLI/CLI.hpp")
set(QUELVAR_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources (empty: no tests)")

if(NOT EXISTS "${QUELVAR_SQLITE_SOURCE_DIR}/sqlite3.c")
  message(FATAL_ERROR "QUELVAR_SQLITE_SOURCE_DIR must name the folder of sqlite3.c (scripts/fetch-sqlite.sh)")
endif()
enable_language(C)
add_library(quelvar_sqlite3 STATIC ${QUELVAR_SQLITE_SOURCE_DIR}/sqlite3.c)
target_include_directories(quelvar_sqlite3 SYSTEM PUBLIC ${QUELVAR_SQLITE_SOURCE_DIR})
target_compile_definitions(quelvar_sqlite3 PRIVATE SQLITE_THREADSAFE=1 SQLITE_DEFAULT_FOREIGN_KEYS=0
                           SQLITE_ENABLE_MATH_FUNCTIONS SQLITE_OMIT_LOAD_EXTENSION)
target_compile_options(quelvar_sqlite3 PRIVATE -w)
add_library(SQLite::SQLite3 ALIAS quelvar_sqlite3)

if(NOT EXISTS "${QUELVAR_CLI11_INCLUDE_DIR}/CLI/CLI.hpp")
  message(FATAL_ERROR "CLI11's headers are not in ${QUELVAR_CLI11_INCLUDE_DIR} (Debian package libcli11-dev)")
endif()
set(QUELVAR_CLI11_LINK_DIR ${CMAKE_BINARY_DIR}/_cli11)
file(MAKE_DIRECTORY ${QUELVAR_CLI11_LINK_DIR})
file(CREATE_LINK ${QUELVAR_CLI11_INCLUDE_DIR}/CLI ${QUELVAR_CLI11_LINK_DIR}/CLI SYMBOLIC)
add_library(quelvar_cli11 INTERFACE)
target_include_directories(quelvar_cli11 SYSTEM INTERFACE ${QUELVAR_CLI11_LINK_DIR})
add_library(CLI11::CLI11 ALIAS quelvar_cli11)
