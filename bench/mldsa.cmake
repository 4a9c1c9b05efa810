vt_add_bench(mldsa_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/mldsa_bench.cpp LIBS vt_mldsa valtorimesca_core)
target_include_directories(mldsa_bench PRIVATE ${CMAKE_SOURCE_DIR}/primitives/mldsa/src)
