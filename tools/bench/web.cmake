# The web console's API over loopback HTTP against a console on the fake server library: a page
# of 100 of 20,000 players, a log line reaching an event stream, and the main timer's ticks
# with 50 streams open and 10 requests a second. The fakes are built with the tests.
if(TARGET helmsman_web_api AND TARGET helmsman_server_fakes)
  helmsman_benchmark(NAME web_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/web_bench.cc
    LIBS helmsman_web_api helmsman_server_fakes)
endif()
