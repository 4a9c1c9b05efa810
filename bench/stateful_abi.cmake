vt_add_bench(stateful_abi_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/stateful_abi_bench.cpp LIBS valtorimesca_abi)
