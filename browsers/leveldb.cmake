# LevelDB and Snappy, the libraries that read and write the browsers' shared site-data stores
# (Chromium's Local Storage, Session Storage and service-worker database: LevelDB tables with
# Snappy-compressed blocks). Both are unpacked at build time from Debian's source packages
# (scripts/leveldb-source) into the build tree; they are never part of the repository.
set(LEVELDB_DIR ${CMAKE_BINARY_DIR}/leveldb)
set(LEVELDB_SOURCES
  db/builder.cc db/db_impl.cc db/db_iter.cc db/dbformat.cc db/filename.cc db/log_reader.cc
  db/log_writer.cc db/memtable.cc db/table_cache.cc db/version_edit.cc db/version_set.cc
  db/write_batch.cc
  table/block.cc table/block_builder.cc table/filter_block.cc table/format.cc table/iterator.cc
  table/merger.cc table/table.cc table/table_builder.cc table/two_level_iterator.cc
  util/arena.cc util/bloom.cc util/cache.cc util/coding.cc util/comparator.cc util/crc32c.cc
  util/env.cc util/env_windows.cc util/filter_policy.cc util/hash.cc util/logging.cc
  util/options.cc util/status.cc helpers/memenv/memenv.cc)
set(SNAPPY_SOURCES snappy.cc snappy-sinksource.cc snappy-stubs-internal.cc)
list(TRANSFORM LEVELDB_SOURCES PREPEND ${LEVELDB_DIR}/leveldb/)
list(TRANSFORM SNAPPY_SOURCES PREPEND ${LEVELDB_DIR}/snappy/)
set(LEVELDB_PATCH ${CMAKE_CURRENT_SOURCE_DIR}/leveldb.patch)
add_custom_command(OUTPUT ${LEVELDB_SOURCES} ${SNAPPY_SOURCES} ${LEVELDB_DIR}/VERSION
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/leveldb-source ${LEVELDB_DIR} ${LEVELDB_PATCH}
  DEPENDS ${LEVELDB_PATCH}
  COMMENT "LevelDB and Snappy from Debian's source packages"
  VERBATIM)
add_custom_target(leveldb_source DEPENDS ${LEVELDB_DIR}/VERSION)

add_library(snappy STATIC ${SNAPPY_SOURCES})
add_dependencies(snappy leveldb_source)
target_include_directories(snappy PUBLIC ${LEVELDB_DIR}/snappy)
target_compile_definitions(snappy PRIVATE HAVE_CONFIG_H)
target_compile_options(snappy PRIVATE -w)

add_library(leveldb STATIC ${LEVELDB_SOURCES})
add_dependencies(leveldb leveldb_source)
target_include_directories(leveldb PUBLIC ${LEVELDB_DIR}/leveldb/include PRIVATE ${LEVELDB_DIR}/leveldb)
target_compile_definitions(leveldb PUBLIC LEVELDB_PLATFORM_WINDOWS=1 PRIVATE UNICODE _UNICODE)
# The library's own code wants the platform of today (its Windows environment uses calls newer
# than the project's floor, all present in every Windows that runs today's browsers).
target_compile_options(leveldb PRIVATE -w -U_WIN32_WINNT -D_WIN32_WINNT=0x0601 -UWINVER -DWINVER=0x0601)
target_link_libraries(leveldb PUBLIC snappy)
set_source_files_properties(${LEVELDB_SOURCES} ${SNAPPY_SOURCES} PROPERTIES GENERATED TRUE)
