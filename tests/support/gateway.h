#pragma once

#include "tools/gateway/scriptedgateway.h"
