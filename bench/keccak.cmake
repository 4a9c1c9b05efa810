vt_add_bench(keccak_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/keccak_bench.cpp LIBS vt_keccak)
