vt_add_bench(vrf_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/vrf_bench.cpp LIBS valtorimesca_abi)
