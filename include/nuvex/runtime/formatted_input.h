/* Placeholder: declarations follow with the implementation. */
#pragma once

#include "nuvex/runtime/common.h"
