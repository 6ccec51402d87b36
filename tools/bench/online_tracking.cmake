# Online player tracking: the players-online update with 1,001 players online and 20,000
# records, and one tick of the inline scan with its character-file reads.
helmsman_benchmark(NAME online_tracking_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/online_tracking_bench.cc
  LIBS helmsman_online_tracking helmsman_player_files helmsman_frmmain qvcodec_core gamefiles)
