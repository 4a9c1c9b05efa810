vt_add_bench(ed25519_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ed25519_bench.cpp LIBS valtorimesca_core)
