# Moderation: the four automatic filters of one inline-scan tick over 20,000 records, the
# unban check over 20,000 records with 1,000 timed bans, and a 10,000-line cheaters-log scan.
helmsman_benchmark(NAME moderation_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/moderation_bench.cc
  LIBS helmsman_moderation helmsman_frmmain)
