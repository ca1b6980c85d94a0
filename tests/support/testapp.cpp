#include "testapp.h"
