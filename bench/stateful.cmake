vt_add_bench(stateful_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/stateful_bench.cpp LIBS valtorimesca_core)
