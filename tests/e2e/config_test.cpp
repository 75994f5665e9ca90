#include "tests/support/harness.h"
#include <gtest/gtest.h>
