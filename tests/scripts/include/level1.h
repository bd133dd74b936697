int level1 = 1;
#include "include/level2.h"
int after_level2;
