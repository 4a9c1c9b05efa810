vt_add_bench(engine_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/engine_bench.cpp LIBS shrincs_engine)
