#pragma once
#include "../exchange/Ansi.h"
