vt_add_bench(fndsa_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fndsa_bench.cpp LIBS vt_fndsa)
