# Player list generation: a full generation over a 20,000-character demo universe beside
# only decoding the same files with the codec, and the resident size of a process holding a
# full 20,001-record list.
helmsman_benchmark(NAME player_generation_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/player_generation_bench.cc
  LIBS helmsman_player_files helmsman_frmmain qvcodec_core gamefiles)
