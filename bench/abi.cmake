vt_add_bench(abi_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/abi_bench.cpp LIBS valtorimesca_abi)
