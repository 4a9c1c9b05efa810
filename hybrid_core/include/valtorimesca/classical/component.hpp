#pragma once

#include "valtorimesca/component.hpp"
