#include "hash_engine/treehash.hpp"
