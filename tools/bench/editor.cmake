# Player editor: opening on a 19,999-line character file with full catalogue tables, and
# single edits on that file.
helmsman_benchmark(NAME editor_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/editor_bench.cc
  LIBS helmsman_editor qvcodec_core)
