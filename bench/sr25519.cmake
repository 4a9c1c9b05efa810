vt_add_bench(sr25519_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sr25519_bench.cpp LIBS valtorimesca_core vt::decaf)
